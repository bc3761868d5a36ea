#include "ui/BarGauge.h"

#include <algorithm>
#include <cmath>

#include <QHash>
#include <QImage>
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

namespace {

// Draws a gauge of `size` showing `value`: it covers every pixel of its rectangle.
void DrawGauge(QPainter& p, QSize size, int value, const QString& text) {
  const QRect rect(QPoint(), size);
  const QRect frame = rect.adjusted(0, 0, -1, -1);
  const QRect inside = rect.adjusted(1, 1, -1, -1);
  p.fillRect(inside, Qt::white);
  const QRect bar(inside.left(), inside.top(), inside.width() * value / 100, inside.height());
  p.fillRect(bar, QColor(0, 0, 255));
  p.setPen(Qt::black);
  p.drawRect(frame);

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

// The look of a gauge of one size, font and value, drawn once. A figure shows eighteen gauges
// and an export draws thousands of figures, with at most 101 looks among them.
const QImage& GaugeLook(QSize size, const QFont& font, int value, const QString& text) {
  static QHash<QString, QImage> looks;
  const QString key =
      QString("%1x%2 %3 %4").arg(size.width()).arg(size.height()).arg(value).arg(font.key());
  auto it = looks.find(key);
  if (it == looks.end()) {
    QImage look(size, QImage::Format_RGB32);
    QPainter p(&look);
    p.setFont(font);
    DrawGauge(p, size, value, text);
    p.end();
    it = looks.insert(key, look);
  }
  return *it;
}

}  // namespace

void BarGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // The gauge is opaque, so a copy of its look at a whole-pixel offset is the same pixels as
  // drawing it again; anything scaled draws it afresh.
  const QTransform& to_device = p.deviceTransform();
  if (to_device.type() <= QTransform::TxTranslate && to_device.dx() == std::round(to_device.dx()) &&
      to_device.dy() == std::round(to_device.dy()) && p.device()->devicePixelRatio() == 1) {
    p.drawImage(QPoint(), GaugeLook(size(), font(), value_, Text()));
  } else {
    DrawGauge(p, size(), value_, Text());
  }
}

}  // namespace barvik
