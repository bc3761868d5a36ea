// BodyLocationFigure: one body-location figure of the window, a 233-pixel-wide group box with
// the body silhouette, eighteen value labels with their percentage gauges, a title and the
// radio buttons that choose what the figure shows. The same class serves all four figures;
// `FigureId` picks the names, captions and choices.
//
// It holds no data: Render() shows a FigureState exactly as the engine filled it. A click on
// a radio button is reported as ChoiceClicked (an index into FigureChoices); the window
// passes it to the engine, which refills the state.
#pragma once

#include <array>
#include <vector>

#include <QGroupBox>

#include "app/Figures.h"

class QLabel;
class QRadioButton;

namespace barvik {

class BarGauge;
class BodySilhouette;

class BodyLocationFigure : public QGroupBox {
  Q_OBJECT

 public:
  static constexpr int kWidth = 233;
  static constexpr int kImageHeight = 355;  // the part of the box that report images show

  explicit BodyLocationFigure(FigureId id, QWidget* parent = nullptr);
  BodyLocationFigure(const BodyLocationFigure&) = delete;
  BodyLocationFigure& operator=(const BodyLocationFigure&) = delete;

  void Render(const FigureState& state);

  // Report images show only the first choice's button: hides (or shows again) the others.
  void ShowOtherChoices(bool visible);

  FigureId id() const { return id_; }
  QLabel* ValueLabel(size_t cell) const { return labels_[cell]; }
  BarGauge* Gauge(size_t cell) const { return gauges_[cell]; }
  QLabel* TitleLabel() const { return title_; }
  // The button of choice `choice` (FigureChoices order, not screen order).
  QRadioButton* ChoiceButton(size_t choice) const { return buttons_[choice]; }

 signals:
  void ChoiceClicked(int choice);

 protected:
  // An etched frame whose top line runs through the middle of the caption, so the radio
  // buttons at the top sit inside the frame as laid out.
  void paintEvent(QPaintEvent* event) override;

 private:
  FigureId id_;
  BodySilhouette* silhouette_;
  std::array<QLabel*, kFigureCellCount> labels_{};
  std::array<BarGauge*, kFigureCellCount> gauges_{};
  QLabel* title_;
  std::vector<QRadioButton*> buttons_;  // by choice
};

}  // namespace barvik
