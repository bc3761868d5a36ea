#include "tests/ui/UiTestSupport.h"
#include "ui/RatioChart.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>

namespace barvik {
namespace {

TEST(RatioChartTest, StartsEmptyWithItsDesignAxes) {
  RatioChart chart;
  EXPECT_EQ(chart.objectName(), "Chart1");
  EXPECT_EQ(chart.chart()->title(), "Ratio Chart");
  EXPECT_EQ(chart.FootText(), "Server Turn");
  EXPECT_EQ(chart.series()->count(), 0);
  EXPECT_EQ(chart.axis_x()->max(), 25);
  EXPECT_EQ(chart.axis_y()->max(), 739);
  EXPECT_FALSE(chart.chart()->legend()->isVisible());
}

TEST(RatioChartTest, PointsKeepTheirColoursAndAReplacedChartForgetsThem) {
  RatioChart chart;
  ChartState state;
  state.title = "Ratio Chart for player <B>BOB</B> (3 turns)";
  state.xmax = 7;
  state.ymax = 5;
  state.points = {{1, 0.5, false}, {3, 1.0, true}, {6, 0, false}};
  chart.Render(state);

  ASSERT_EQ(chart.series()->count(), 3);
  EXPECT_EQ(chart.series()->at(1), QPointF(3, 1.0));
  auto colour = [&](int i) {
    return chart.series()->pointConfiguration(i).value(QXYSeries::PointConfiguration::Color);
  };
  EXPECT_EQ(colour(0).value<QColor>(), QColor(255, 0, 0));
  EXPECT_EQ(colour(1).value<QColor>(), QColor(0, 0, 255));
  EXPECT_EQ(chart.axis_x()->min(), 0);
  EXPECT_EQ(chart.axis_x()->max(), 7);
  EXPECT_EQ(chart.axis_y()->max(), 5);
  // The title is rich text in Qt: a name's markup is escaped.
  EXPECT_EQ(chart.chart()->title(), "Ratio Chart for player &lt;B&gt;BOB&lt;/B&gt; (3 turns)");

  state.points = {{2, 3.0, true}};
  chart.Render(state);
  ASSERT_EQ(chart.series()->count(), 1);
  EXPECT_EQ(colour(0).value<QColor>(), QColor(0, 0, 255));
  EXPECT_TRUE(chart.series()->pointConfiguration(1).isEmpty());
}

}  // namespace
}  // namespace barvik
