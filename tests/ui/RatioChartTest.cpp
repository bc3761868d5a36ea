#include "tests/ui/UiTestSupport.h"
#include "ui/RatioChart.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QLineSeries>
#include <QTest>
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

TEST(RatioChartTest, RightClickAndEscapeBringTheFullViewBackAtOnce) {
  RatioChart chart;
  chart.resize(691, 357);
  chart.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  ChartState state;
  state.xmax = 20;
  state.ymax = 4;
  state.points = {{1, 0.5, false}, {10, 2.0, true}, {20, 1.0, true}};
  chart.Render(state);
  auto full_view = [&] {
    return chart.axis_x()->min() == 0 && chart.axis_x()->max() == 20 &&
           chart.axis_y()->min() == 0 && chart.axis_y()->max() == 4;
  };
  auto zoom_twice = [&] {
    const QRectF plot = chart.chart()->plotArea();
    chart.chart()->zoomIn(plot.adjusted(plot.width() / 4, 0, -plot.width() / 4, 0));
    chart.chart()->zoomIn(plot.adjusted(0, plot.height() / 4, 0, -plot.height() / 4));
    ASSERT_FALSE(full_view());
  };

  zoom_twice();
  QTest::mouseClick(chart.viewport(), Qt::RightButton, {}, chart.viewport()->rect().center());
  EXPECT_TRUE(full_view()) << chart.axis_x()->min() << ".." << chart.axis_x()->max();

  zoom_twice();
  QTest::keyClick(&chart, Qt::Key_Escape);
  EXPECT_TRUE(full_view()) << chart.axis_x()->min() << ".." << chart.axis_x()->max();
}

}  // namespace
}  // namespace barvik
