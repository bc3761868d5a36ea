// BarGauge: the small horizontal percentage gauge of a body-location figure: a blue bar on a
// white background inside a single border, range 0 to 100, with "N%" centred over it (dark
// on the white part, white on the bar).
#pragma once

#include <QWidget>

namespace barvik {

class BarGauge : public QWidget {
  Q_OBJECT

 public:
  explicit BarGauge(QWidget* parent = nullptr);

  // Held within 0 to 100.
  void SetValue(int value);
  int value() const { return value_; }
  QString Text() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int value_ = 0;
};

}  // namespace barvik
