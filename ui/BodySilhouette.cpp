#include "ui/BodySilhouette.h"

#include <QPainter>
#include <QPainterPath>

namespace barvik {

BodySilhouette::BodySilhouette(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

QRectF BodySilhouette::Head() {
  // The middle 45 % of the width, the top 19 % of the height.
  const double width = kFrameWidth * 0.45;
  return QRectF((kFrameWidth - width) / 2, 0, width, kFrameHeight * 0.19);
}

QPolygonF BodySilhouette::Body() {
  // The left half, from the middle of the neck down the shoulder, round the hanging arm, down
  // the flank and round the leg to the crotch; the right half mirrors it.
  static const QPointF kLeftHalf[] = {
      {3325, 2750},  {2830, 2750},  {2800, 3350},   // neck
      {2200, 3520},  {1450, 3720},  {1080, 4000},   // shoulder
      {880, 4700},   {760, 5900},   {640, 7100},    // outer arm
      {520, 8050},   {400, 8500},   {360, 9050},    // wrist and hand
      {520, 9450},   {760, 9420},   {900, 9000},    // hand
      {1020, 8300},  {1180, 7100},  {1370, 5900},   // inner arm
      {1600, 4850},                                 // armpit
      {1750, 5900},  {1900, 7200},  {1850, 8000},   // flank and waist
      {1780, 8800},  {1700, 10300}, {1700, 11700},  // hip and thigh
      {1780, 12700}, {1640, 13900}, {1600, 14900},  // knee and shin
      {1120, 15450}, {980, 15850},  {1120, 16000},  // foot
      {2300, 16000}, {2380, 15300}, {2440, 14800},  // foot and ankle
      {2560, 13700}, {2750, 12650}, {2860, 11400},  // inner leg
      {3000, 10200}, {3160, 9750},  {3325, 9650},   // crotch
  };
  QPolygonF body;
  for (const QPointF& p : kLeftHalf) body << p;
  for (int i = static_cast<int>(std::size(kLeftHalf)) - 2; i >= 1; --i) {
    body << QPointF(kFrameWidth - kLeftHalf[i].x(), kLeftHalf[i].y());
  }
  return body;
}

void BodySilhouette::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(width() / kFrameWidth, height() / kFrameHeight);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 255, 0));
  p.drawEllipse(Head());
  p.drawPolygon(Body());
}

}  // namespace barvik
