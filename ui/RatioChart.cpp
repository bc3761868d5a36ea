#include "ui/RatioChart.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include <QChart>
#include <QGraphicsLayout>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>

#include "ui/QtText.h"

namespace barvik {
namespace {

constexpr int kFootHeight = 16;  // room under the axis labels for the foot text

// A step of 1, 2 or 5 times a power of ten that divides 0..max into at most about 8 parts.
double NiceStep(double max) {
  if (max <= 0) return 1;
  const double raw = max / 8;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return std::max(1.0, m * power);
  }
  return std::max(1.0, 10 * power);
}

// Sets the axis to 0..max with its nice step; an empty range (no turns, a top ratio of 0)
// shows as 0..1, since the chart cannot place anything on an axis of no length and would
// draw what its previous state left. The axis makes a tick item for every step of its range
// at each change, so the step is never smaller than the range needs on the way (a million
// turns with the last chart's step of 1 would make a million).
void SetRange(QValueAxis* axis, int max) {
  const int top = max > 0 ? max : 1;
  const double step = NiceStep(top);
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(0);
  axis->setTickInterval(
      std::max(step, NiceStep(static_cast<int>(std::min<qreal>(axis->max(), INT_MAX)))));
  axis->setRange(0, top);
  axis->setTickInterval(step);
}

}  // namespace

// The chart is handed to the view's constructor, which owns it: a chart set later would leave
// the view's own default chart to nobody.
RatioChart::RatioChart(QWidget* parent) : QChartView(new QChart(), parent) {
  setObjectName("Chart1");
  QChart* chart = this->chart();
  chart->legend()->hide();
  chart->setBackgroundRoundness(0);
  chart->setBackgroundBrush(palette().window());
  chart->setBackgroundPen(Qt::NoPen);
  chart->setPlotAreaBackgroundVisible(false);  // the back wall is transparent
  chart->layout()->setContentsMargins(0, 0, 0, 0);
  chart->setAnimationOptions(QChart::NoAnimation);
  QFont title_font;
  title_font.setFamilies({"Arial", "Liberation Sans"});
  title_font.setPixelSize(11);
  chart->setTitleFont(title_font);

  series_ = new QLineSeries(chart);
  series_->setObjectName("Series1");
  QPen pen(QColor(255, 0, 0));
  pen.setWidth(2);
  series_->setPen(pen);
  series_->setPointsVisible(true);
  series_->setMarkerSize(3);
  chart->addSeries(series_);

  axis_x_ = new QValueAxis(chart);
  axis_y_ = new QValueAxis(chart);
  for (QValueAxis* axis : {axis_x_, axis_y_}) {
    axis->setLabelFormat("%g");
    axis->setLabelsFont(title_font);
    axis->setMinorTickCount(0);
  }
  chart->addAxis(axis_x_, Qt::AlignBottom);
  chart->addAxis(axis_y_, Qt::AlignLeft);
  series_->attachAxis(axis_x_);
  series_->attachAxis(axis_y_);

  foot_ = new QGraphicsSimpleTextItem(QStringLiteral("Server Turn"), chart);
  QFont foot_font;
  foot_font.setFamilies({"Arial", "Liberation Sans"});
  foot_font.setPixelSize(11);  // 8 pt at 96 dpi
  foot_font.setBold(true);
  foot_->setFont(foot_font);
  foot_->setBrush(QColor(255, 0, 0));

  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
  setFocusPolicy(Qt::StrongFocus);  // Escape reaches it after a click
  setFrameShape(QFrame::NoFrame);
  Render(ChartState{});
}

QString RatioChart::FootText() const { return foot_->text(); }

void RatioChart::Render(const ChartState& state) {
  QChart* c = chart();
  c->zoomReset();
  c->setTitle(ToQString(state.title).toHtmlEscaped());
  QList<QPointF> points;
  points.reserve(static_cast<qsizetype>(state.points.size()));
  for (const ChartPoint& p : state.points) points.append(QPointF(p.x, p.y));
  // All point colours in one call: one per point would redo the series' drawing data each
  // time, a cost that grows with the square of the points.
  QHash<int, QHash<QXYSeries::PointConfiguration, QVariant>> colours;
  colours.reserve(static_cast<qsizetype>(state.points.size()));
  for (size_t i = 0; i < state.points.size(); ++i) {
    const QColor colour = state.points[i].blue ? QColor(0, 0, 255) : QColor(255, 0, 0);
    colours.insert(static_cast<int>(i), {{QXYSeries::PointConfiguration::Color, colour}});
  }
  series_->clearPointsConfiguration();
  series_->replace(points);
  series_->setPointsConfiguration(colours);
  SetRange(axis_x_, state.xmax);
  SetRange(axis_y_, state.ymax);
  PlaceFoot();
}

void RatioChart::Show(const ChartState& state) {
  auto same_points = [](const std::vector<ChartPoint>& a, const std::vector<ChartPoint>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].blue != b[i].blue) return false;
    }
    return true;
  };
  if (shown_ && state.title == shown_state_.title && state.xmax == shown_state_.xmax &&
      state.ymax == shown_state_.ymax && same_points(state.points, shown_state_.points)) {
    return;
  }
  Render(state);
  shown_state_ = state;
  shown_ = true;
}

void RatioChart::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  PlaceFoot();
}

void RatioChart::mouseReleaseEvent(QMouseEvent* event) {
  // The view's own right click only undoes one zoom step.
  if (event->button() == Qt::RightButton) {
    chart()->zoomReset();
    event->accept();
    return;
  }
  QChartView::mouseReleaseEvent(event);
}

void RatioChart::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && chart()->isZoomed()) {
    chart()->zoomReset();
    event->accept();
    return;
  }
  QChartView::keyPressEvent(event);
}

void RatioChart::PlaceFoot() {
  QChart* c = chart();
  // Margins of 0 except 1 % on the right; the bottom keeps room for the foot text.
  const int right = static_cast<int>(std::lround(width() * 0.01));
  c->setMargins(QMargins(0, 0, right, kFootHeight));
  const QRectF foot = foot_->boundingRect();
  foot_->setPos((c->size().width() - foot.width()) / 2,
                c->size().height() - kFootHeight + (kFootHeight - foot.height()) / 2);
}

}  // namespace barvik
