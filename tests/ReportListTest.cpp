#include "core/ReportList.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

class ReportListTest : public ::testing::Test {
 protected:
  ReportList list_{"ListViewTest",
                   {{"Name", kAutoWidth}, {"Kills", 55}, {"Ratio", 55}, {"Extra", 55}}};

  void Add(std::string caption, std::vector<std::string> cells) {
    list_.rows.push_back({std::move(caption), std::move(cells)});
  }
  void Click(int column) { list_.ColumnClick(column, '.'); }
  std::string Order() const {
    std::string order;
    for (const Row& r : list_.rows) order += (order.empty() ? "" : ",") + r.caption;
    return order;
  }
};

TEST_F(ReportListTest, ClicksToggleDescendingAndAscending) {
  Add("a", {"1", "0.500"});
  Add("b", {"3", "1.500"});
  Add("c", {"2", "n/a"});
  Click(1);
  EXPECT_EQ(Order(), "b,c,a");
  Click(1);
  EXPECT_EQ(Order(), "a,c,b");
  Click(1);
  EXPECT_EQ(Order(), "b,c,a");
  // Another column sorts descending at once.
  Click(2);
  EXPECT_EQ(Order(), "b,a,c");
  EXPECT_EQ(list_.sort.SortColumn, 2);
  EXPECT_EQ(list_.sort.ReverseColumn, 2);
}

TEST_F(ReportListTest, NotANumberSortsBelowEveryNumberByItsFirstByte) {
  Add("num", {"0", "-5.000"});
  Add("na", {"0", "n/a"});
  Add("bang", {"0", "!"});
  Add("high", {"0", "\xE9"});  // a negative signed byte sorts below "!"
  Click(2);
  EXPECT_EQ(Order(), "num,na,bang,high");
  Click(2);
  EXPECT_EQ(Order(), "high,bang,na,num");
}

TEST_F(ReportListTest, CaptionSortFoldsOnlyAsciiLettersAndPutsPrefixesFirst) {
  Add("bob", {});
  Add("Al", {});
  Add(std::string(kTotalRowCaption), {});
  Add("bo", {});
  Add("\xC9ric", {});
  Click(0);  // first click on the caption column: descending
  EXPECT_EQ(Order(), "\xC9ric,bob,bo,Al,   A  L  L");
  Click(0);
  EXPECT_EQ(Order(), "   A  L  L,Al,bo,bob,\xC9ric");
}

TEST_F(ReportListTest, TurnOrderListSortsItsCaptionAscendingFirst) {
  ReportList turns("ListViewPlayerTurnsRatio", {{"Turn", 60}, {"Kills", 55}}, true);
  for (const char* t : {"0000002", "0000000", "0000010"}) turns.rows.push_back({t, {"1"}});
  turns.ColumnClick(0, '.');
  EXPECT_EQ(turns.rows.front().caption, "0000000");
  EXPECT_EQ(turns.rows.back().caption, "0000010");
  turns.ColumnClick(0, '.');
  EXPECT_EQ(turns.rows.front().caption, "0000010");
  // Value columns behave as in every other list.
  turns.rows[0].cells[0] = "5";
  turns.ColumnClick(1, '.');
  EXPECT_EQ(turns.rows.front().cells[0], "5");
}

TEST_F(ReportListTest, SortIsStableKeepsTheSelectionAndSurvivesShortRows) {
  Add("first", {"1"});
  Add("short", {});
  Add("second", {"1"});
  Add("top", {"9"});
  list_.selected = 2;  // "second"
  Click(1);
  EXPECT_EQ(Order(), "top,first,second,short");
  ASSERT_NE(list_.SelectedRow(), nullptr);
  EXPECT_EQ(list_.SelectedRow()->caption, "second");
  Click(3);  // a column no row has
  EXPECT_EQ(list_.rows.size(), 4u);
}

TEST_F(ReportListTest, DecimalSeparatorOfTheLocaleIsUsedForValues) {
  Add("x", {"0", "1,500"});
  Add("y", {"0", "1,250"});
  list_.ColumnClick(2, ',');
  list_.ColumnClick(2, ',');
  EXPECT_EQ(Order(), "y,x");
}

}  // namespace
}  // namespace barvik
