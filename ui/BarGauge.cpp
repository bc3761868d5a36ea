#include "ui/BarGauge.h"

#include <algorithm>

#include <QPainter>

namespace barvik {

BarGauge::BarGauge(QWidget* parent) : QWidget(parent) {
  QFont font;
  font.setFamilies({"Verdana", "DejaVu Sans"});
  font.setPixelSize(9);  // 7 pt at 96 dpi
  setFont(font);
}

void BarGauge::SetValue(int value) {
  value = std::clamp(value, 0, 100);
  if (value == value_) return;
  value_ = value;
  update();
}

QString BarGauge::Text() const { return QString::number(value_) + '%'; }

void BarGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect frame = rect().adjusted(0, 0, -1, -1);
  const QRect inside = rect().adjusted(1, 1, -1, -1);
  p.fillRect(inside, Qt::white);
  const QRect bar(inside.left(), inside.top(), inside.width() * value_ / 100, inside.height());
  p.fillRect(bar, QColor(0, 0, 255));
  p.setPen(Qt::black);
  p.drawRect(frame);

  const QString text = Text();
  p.setClipRect(inside);
  p.setClipRegion(QRegion(inside).subtracted(bar));
  p.setPen(Qt::black);
  p.drawText(inside, Qt::AlignCenter, text);
  if (!bar.isEmpty()) {
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(inside, Qt::AlignCenter, text);
  }
}

}  // namespace barvik
