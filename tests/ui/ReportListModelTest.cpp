#include "tests/ui/UiTestSupport.h"
#include "ui/ReportListModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

namespace barvik {
namespace {

ReportList SmallList() {
  return ReportList("ListViewTest", {{"Name", 100, Align::Left}, {"Kills", 55, Align::Right}});
}

TEST(ReportListModelTest, ReadsTheListThroughTheCodePage) {
  ReportList list = SmallList();
  ReportListModel model(list);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  list.rows.resize(2);
  list.rows[0].caption = "\x80uro\xE9";
  list.rows[0].cells.push_back("3");
  list.rows[1].caption = "short";
  EXPECT_TRUE(model.Refresh());

  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(model.columnCount(), 2);
  // 0x80 is the euro sign in Windows-1252 (Latin-1 would make it a control character).
  EXPECT_EQ(model.index(0, 0).data().toString(), QString::fromUtf8("\u20ACuro\u00E9"));
  EXPECT_EQ(model.index(0, 1).data().toString(), "3");
  EXPECT_EQ(model.index(1, 1).data().toString(), "");  // a short row reads empty
  EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Kills");
  EXPECT_TRUE(model.index(0, 0).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
  EXPECT_TRUE(model.index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
              Qt::AlignRight);
  EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(ReportListModelTest, ResetsOnlyWhenTheListChanged) {
  ReportList list = SmallList();
  ReportListModel model(list);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  int resets = 0;
  QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });

  list.rows = {{"a", {"1"}}, {"b", {"2"}}};
  EXPECT_TRUE(model.Refresh());
  EXPECT_FALSE(model.Refresh());
  list.rows[1].cells = {"3"};  // same size, other text
  EXPECT_TRUE(model.Refresh());
  EXPECT_EQ(resets, 2);

  // A sort is a layout change, not a reset, and leaves nothing to refresh.
  model.Sort([&] { list.ColumnClick(1, '.'); });
  EXPECT_EQ(model.index(0, 0).data().toString(), "b");
  EXPECT_FALSE(model.Refresh());
  EXPECT_EQ(resets, 2);
}

}  // namespace
}  // namespace barvik
