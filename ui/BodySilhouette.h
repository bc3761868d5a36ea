// BodySilhouette: the green figure of a standing human body, seen from the front, that the
// body-location values are laid over. A vector drawing in a 6650 x 16000 frame (a head oval
// and one outline of body, arms and legs), stretched to the widget; transparent background.
#pragma once

#include <QPolygonF>
#include <QRectF>
#include <QWidget>

namespace barvik {

class BodySilhouette : public QWidget {
  Q_OBJECT

 public:
  explicit BodySilhouette(QWidget* parent = nullptr);

  static constexpr double kFrameWidth = 6650;
  static constexpr double kFrameHeight = 16000;
  // The two shapes in frame units.
  static QRectF Head();
  static QPolygonF Body();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace barvik
