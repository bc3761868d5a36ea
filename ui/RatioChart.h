// RatioChart: the ratio chart of the player page (Chart1), a line chart of one series with
// a coloured point per turn, manual axis ranges, the title of the ChartState and the foot text
// "Server Turn" under the plot. Dragging a rectangle zooms; a right click or Escape brings
// the full view back at once. Render() shows a ChartState exactly; the chart keeps nothing
// else.
#pragma once

#include <QChartView>

#include "app/Workspace.h"

class QGraphicsSimpleTextItem;
class QLineSeries;
class QValueAxis;

namespace barvik {

class RatioChart : public QChartView {
  Q_OBJECT

 public:
  explicit RatioChart(QWidget* parent = nullptr);
  RatioChart(const RatioChart&) = delete;
  RatioChart& operator=(const RatioChart&) = delete;

  void Render(const ChartState& state);
  // Render(state) unless the chart shows that state already: a zoom then stays as it is.
  void Show(const ChartState& state);

  QLineSeries* series() const { return series_; }
  QValueAxis* axis_x() const { return axis_x_; }
  QValueAxis* axis_y() const { return axis_y_; }
  QString FootText() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PlaceFoot();

  QLineSeries* series_;
  QValueAxis* axis_x_;
  QValueAxis* axis_y_;
  QGraphicsSimpleTextItem* foot_;
  ChartState shown_state_;  // the state Show last rendered
  bool shown_ = false;      // Show has rendered once
};

}  // namespace barvik
