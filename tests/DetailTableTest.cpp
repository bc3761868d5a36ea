// Detail list filling: rows per key, exact counting under case-folded keys, percentage and
// ratio cells, and the total row on top with its sums.
#include "stats/DetailTable.h"

#include <gtest/gtest.h>

#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::Captions;
using testing::Cell;

const std::string kAll(kTotalRowCaption);

ReportList WeaponLikeList() {
  return ReportList(
      "L", {{"Weapon"}, {"Kills"}, {"Kills[%]"}, {"Deads"}, {"Deads[%]"}, {"Ratio"}, {"Pick Up"}});
}

// Kills, Kills[%] of `kills_base`, Deads, Deads[%] of `deads_base`, Ratio, Pick Up.
std::vector<DetailCell> WeaponLikeCells(int64_t kills_base, int64_t deads_base) {
  return {CountCell(0),    PercentCell(0, kills_base),
          CountCell(1),    PercentCell(1, deads_base),
          RatioCell(0, 1), CountCell(2)};
}

class DetailTableTest : public ::testing::Test {
 protected:
  void Add(size_t list, std::string_view key) { group_.lists[list].push_back(pool_.Intern(key)); }
  void Fill(int64_t kills_base, int64_t deads_base, char separator = '.') {
    auto cells = WeaponLikeCells(kills_base, deads_base);
    FillDetailTable(list_, group_, pool_, cells, &kTotalWithRatio, separator);
  }

  KeyPool pool_;
  EventGroup group_{3};
  ReportList list_ = WeaponLikeList();
};

TEST_F(DetailTableTest, EmptyGroupGivesOnlyTheTotalRow) {
  list_.rows.push_back({"stale", {}});
  Fill(0, 0);
  ASSERT_EQ(Captions(list_), kAll);
  EXPECT_EQ(list_.rows[0].cells,
            (std::vector<std::string>{"0", "100.00", "0", "100.00", "n/a", "0"}));
}

TEST_F(DetailTableTest, TotalRowSumsCountsAndTakesTheRatioOfItsSums) {
  for (int i = 0; i < 3; ++i) Add(0, "rifle");
  Add(1, "rifle");
  Add(1, "rifle");
  Add(0, "pistol");
  Add(2, "knife");
  Fill(40, 0, ',');
  // The total goes on top; rows follow in first-met order, list by list.
  EXPECT_EQ(Captions(list_), kAll + "|rifle|pistol|knife");
  EXPECT_EQ(list_.rows[1].cells, (std::vector<std::string>{"3", "7,50", "2", "n/a", "1,500", "0"}));
  EXPECT_EQ(Cell(list_, "pistol", "Ratio"), "n/a");
  // The percentage base of the deads is 0, yet the total shows 100; the ratio is 4 / 2.
  EXPECT_EQ(list_.rows[0].cells,
            (std::vector<std::string>{"4", "100,00", "2", "100,00", "2,000", "1"}));
}

TEST_F(DetailTableTest, KeysDifferingInCaseShareARowButCountExactly) {
  Add(0, "MP40");
  Add(0, "mp40");
  Add(0, "mp40");
  Add(1, "Mp40");
  Add(2, "mp40");
  Fill(3, 1);
  // One row, captioned with the first-met form; only entries written like it count.
  EXPECT_EQ(Captions(list_), kAll + "|MP40");
  EXPECT_EQ(list_.rows[1].cells, (std::vector<std::string>{"1", "33.33", "0", "0.00", "n/a", "0"}));
}

TEST(AddTotalRowTest, SumsReadCellsAsWholeNumbers) {
  ReportList list("L", {{"Map"}, {"Kills"}, {"Deads"}, {"X[%]"}, {"ratio"}, {"Notes"}});
  list.rows = {{"a", {"2", "1", "n/a", "2.000", "n/a"}},
               {"b", {" 3", "x", "5.00", "n/a", "7"}},
               {"c", {"1"}}};  // a short row adds nothing to the columns it lacks
  list.selected = 2;
  AddTotalRow(list, "T", 0, 1, '.');
  ASSERT_EQ(list.rows.size(), 4u);
  EXPECT_EQ(list.rows[0].caption, "T");
  // "ratio" is recognised in any letter case; "n/a" and "x" add 0.
  EXPECT_EQ(list.rows[0].cells, (std::vector<std::string>{"6", "1", "100.00", "6.000", "7"}));
  EXPECT_EQ(list.rows[list.selected].caption, "c");  // the selection follows its row

  ReportList no_ratio("L", {{"Loc"}, {"Kills"}, {"Ratio"}});
  no_ratio.rows = {{"a", {"4", "1.000"}}};
  AddTotalRow(no_ratio, "T", 0, -1, '.');
  EXPECT_EQ(no_ratio.rows[0].cells, (std::vector<std::string>{"4", "n/a"}));
}

}  // namespace
}  // namespace barvik
