#include "ui/BodyLocationFigure.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QRadioButton>

#include "stats/Statistics.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/BarGauge.h"

namespace barvik {
namespace {

size_t CellOf(std::string_view key) {
  for (size_t i = 0; i < kFigureCellCount; ++i) {
    if (kFigureCells[i].key == key) return i;
  }
  return kFigureCellCount;
}

class BodyLocationFigureTest : public ::testing::Test {
 protected:
  BodyLocationFigureTest() : list_(MakeAccuracyList()) {}

  // Kills, Kills[%], Damages, Damages[%], Suicides, Suicides[%].
  void AddRow(std::string caption, std::string kills, std::string percent) {
    list_.rows.push_back({std::move(caption), {kills, percent, "7", "50.00", "1", "1.00"}});
  }
  void Fill(int choice, const std::string& title = "All players shot accuracy") {
    const FigureChoice& c = FigureChoices(FigureId::Overall)[static_cast<size_t>(choice)];
    FillBodyLocationFigure(state_, list_, c.value_column, c.percent_column, c.colour, title, '.');
    state_.choice = choice;
    figure_.Render(state_);
  }
  QLabel* Label(std::string_view key) { return figure_.ValueLabel(CellOf(key)); }
  BarGauge* Gauge(std::string_view key) { return figure_.Gauge(CellOf(key)); }

  ReportList list_;
  FigureState state_;
  BodyLocationFigure figure_{FigureId::Overall};
};

TEST_F(BodyLocationFigureTest, ValuesAndGaugesFollowTheCells) {
  AddRow("head", "0", "0.00");
  AddRow("neck", "many", "12.00");
  AddRow("torso_upper", "12", "37.90");
  AddRow("left_foot", "1234", "150.00");
  AddRow(std::string(kTotalRowCaption), "1246", "100.00");
  Fill(0);

  // A zero shows nothing at all.
  EXPECT_EQ(Label("head")->text(), "");
  EXPECT_TRUE(Gauge("head")->isHidden());
  // A value that is no whole number reads "err" and has no gauge.
  EXPECT_EQ(Label("neck")->text(), "err");
  EXPECT_TRUE(Gauge("neck")->isHidden());
  // Percentages are truncated and held within 0 to 100.
  EXPECT_EQ(Label("torso_upper")->text(), "  12");
  EXPECT_FALSE(Gauge("torso_upper")->isHidden());
  EXPECT_EQ(Gauge("torso_upper")->value(), 37);
  EXPECT_EQ(Gauge("torso_upper")->Text(), "37%");
  EXPECT_EQ(Label("left_foot")->text(), " 1 234");
  EXPECT_EQ(Gauge("left_foot")->value(), 100);
  EXPECT_EQ(Gauge(kTotalRowCaption)->value(), 100);
  // A location absent from the list shows nothing.
  EXPECT_EQ(Label("right_hand")->text(), "");
  EXPECT_TRUE(Gauge("right_hand")->isHidden());
  EXPECT_EQ(Label("torso_upper")->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(figure_.TitleLabel()->text(), "All players shot accuracy");
}

TEST_F(BodyLocationFigureTest, AnotherChoiceRecoloursAndChecksItsButton) {
  AddRow("torso_upper", "12", "37.90");
  Fill(1);
  EXPECT_EQ(Label("torso_upper")->text(), "  7");
  EXPECT_EQ(Gauge("torso_upper")->value(), 50);
  EXPECT_EQ(Label("torso_upper")->palette().color(QPalette::WindowText), QColor(255, 128, 0));
  EXPECT_TRUE(figure_.ChoiceButton(1)->isChecked());
  EXPECT_FALSE(figure_.ChoiceButton(0)->isChecked());
  Fill(0);
  EXPECT_TRUE(figure_.ChoiceButton(0)->isChecked());
}

TEST_F(BodyLocationFigureTest, LayoutNamesAndPlainTextTitles) {
  EXPECT_EQ(figure_.objectName(), "GroupBoxOverall");
  EXPECT_EQ(figure_.title(), "Body Location");
  EXPECT_EQ(figure_.width(), 233);
  // The cell table: "head" is Label3 / CGauge12 at (84,33) / (88,48), centred.
  QLabel* head = Label("head");
  EXPECT_EQ(head->objectName(), "Label3");
  EXPECT_EQ(head->geometry(), QRect(84, 33, 66, 16));
  EXPECT_EQ(head->toolTip(), "Head");
  EXPECT_TRUE(head->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(Gauge("head")->objectName(), "CGauge12");
  EXPECT_EQ(Gauge("head")->geometry(), QRect(88, 48, 59, 11));
  // The first choice is the lowest button, the others above it.
  EXPECT_EQ(figure_.ChoiceButton(0)->objectName(), "RadioButtonOverallKills");
  EXPECT_EQ(figure_.ChoiceButton(0)->geometry(), QRect(5, 45, 63, 17));
  EXPECT_EQ(figure_.ChoiceButton(2)->geometry(), QRect(5, 15, 76, 17));

  // A player name with markup stays text.
  Fill(0, "Overall shot accuracy of player <B>X</B>");
  EXPECT_EQ(figure_.TitleLabel()->textFormat(), Qt::PlainText);

  BodyLocationFigure enemy(FigureId::GlobEnemyAccuracy);
  EXPECT_EQ(enemy.objectName(), "GroupBox3");
  EXPECT_EQ(enemy.ChoiceButton(0)->text(), "Deads");
  EXPECT_EQ(enemy.ChoiceButton(0)->geometry(), QRect(5, 30, 63, 17));
  EXPECT_EQ(enemy.ValueLabel(CellOf(kTotalRowCaption))->objectName(), "Label83");
}

TEST_F(BodyLocationFigureTest, ClickOnAButtonReportsItsChoice) {
  int clicked = -1;
  QObject::connect(&figure_, &BodyLocationFigure::ChoiceClicked,
                   [&](int choice) { clicked = choice; });
  figure_.ChoiceButton(2)->click();
  EXPECT_EQ(clicked, 2);
}

// Gauges copy looks drawn once: a look must be the one of its own value and size, whatever
// was drawn before it.
TEST(BarGaugeTest, EachValueAndSizeHasItsOwnLook) {
  auto look = [](int value, QSize size) {
    BarGauge gauge;
    gauge.resize(size);
    gauge.SetValue(value);
    QImage image(size, QImage::Format_RGB32);
    gauge.render(&image);
    return image;
  };
  const QSize size(59, 11), wider(70, 11);
  std::vector<QImage> looks;
  for (int value = 0; value <= 100; ++value) looks.push_back(look(value, size));
  for (int value = 1; value <= 100; ++value) {
    EXPECT_NE(looks[static_cast<size_t>(value)], looks[static_cast<size_t>(value) - 1]) << value;
  }
  EXPECT_EQ(look(37, size), looks[37]);
  const QImage wide = look(37, wider);
  EXPECT_EQ(wide.size(), wider);
  // Its own width: the border and the white beyond the bar reach its right end.
  EXPECT_EQ(wide.pixel(69, 5), qRgb(0, 0, 0));
  EXPECT_EQ(wide.pixel(68, 1), qRgb(255, 255, 255));
  EXPECT_EQ(wide.pixel(1, 1), qRgb(0, 0, 255));
}

}  // namespace
}  // namespace barvik
