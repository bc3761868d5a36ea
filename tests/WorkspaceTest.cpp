// The analysis run as the window sees it: state before and after, status texts, sort states,
// selection of the player header, and the figures filled from the lists.
#include "app/Workspace.h"

#include <gtest/gtest.h>

#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::Captions;
using testing::TempLog;

const char* kLog =
    "0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\sv_hostname\\^1Clan Server\\\n"
    "0:01 J;1;0;Bob\n0:01 J;2;1;Al\n0:01 J;3;2;Zed\n"
    "0:02 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n"
    "0:03 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n"
    "0:04 K;2;1;allies;Al;1;0;axis;Bob;kar98k_mp;100;MOD;torso_upper\n"
    "0:05 K;3;2;allies;Zed;1;0;axis;Bob;kar98k_mp;100;MOD;head\n"
    "0:06 D;3;2;allies;Zed;2;1;allies;Al;mp40_mp;10;MOD;left_foot\n";

TEST(WorkspaceTest, FirstStateBeforeAnyRun) {
  Workspace ws;
  EXPECT_FALSE(ws.html_enabled());
  EXPECT_EQ(ws.page(), MainPage::File);
  EXPECT_EQ(ws.options().file, "Click \"Open...\" button to open LOG file.");
  ASSERT_EQ(ws.List(ListId::Player).rows.size(), 1u);
  EXPECT_EQ(ws.List(ListId::Player).rows[0].caption, "Select player first");
  EXPECT_EQ(ws.chart().title, "Ratio Chart");
  for (FigureId f : {FigureId::Overall, FigureId::WeaponAccuracy, FigureId::GlobAccuracy,
                     FigureId::GlobEnemyAccuracy}) {
    EXPECT_EQ(ws.figure(f).choice, 0);
    for (const FigureCell& c : ws.figure(f).cells) {
      EXPECT_TRUE(c.label.empty());
      EXPECT_FALSE(c.gauge_visible);
    }
  }
  EXPECT_EQ(ws.figure(FigureId::GlobAccuracy).title, "");
  EXPECT_EQ(ws.figure(FigureId::Overall).title, "All players shot accuracy");
}

TEST(WorkspaceTest, RunFillsSortsAndReports) {
  TempLog log(kLog);
  Workspace ws;
  std::vector<std::string> activity;
  ws.hooks.status_changed = [&] {
    if (activity.empty() || activity.back() != ws.status(kPanelActivity)) {
      activity.push_back(ws.status(kPanelActivity));
    }
  };
  int busy_depth = 0;
  ws.hooks.busy = [&](bool on) { busy_depth += on ? 1 : -1; };
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  EXPECT_EQ(busy_depth, 0);
  EXPECT_TRUE(ws.html_enabled());
  EXPECT_EQ(ws.page(), MainPage::Players);
  EXPECT_EQ(ws.status(kPanelActivity), "Done");
  EXPECT_EQ(ws.status(kPanelFile), log.path());
  EXPECT_EQ(ws.options().file, log.path());
  EXPECT_EQ(ws.status(kPanelElapsed).back(), 's');
  EXPECT_EQ(ws.server_name(), "^1Clan Server");
  EXPECT_EQ(activity.front(), "");
  EXPECT_NE(std::find(activity.begin(), activity.end(), "Reading Players Statistics"),
            activity.end());
  EXPECT_EQ(activity.back(), "Done");
  // Every global list sorted by "Kills", largest first, after one click.
  const ReportList& players = ws.List(ListId::Players);
  EXPECT_EQ(Captions(players), "   A  L  L|bob|al|zed");  // equal rows keep their order
  EXPECT_EQ(players.sort.SortColumn, 1);
  EXPECT_EQ(players.sort.ReverseColumn, 1);
  EXPECT_EQ(Captions(ws.List(ListId::Weapon)), "   A  L  L|mp40_mp|kar98k_mp");
  // The overall figure shows the kills per location.
  const FigureState& overall = ws.figure(FigureId::Overall);
  EXPECT_EQ(overall.cells[1].label, "  3");  // head
  EXPECT_EQ(overall.cells[1].gauge, 75);
  EXPECT_TRUE(overall.cells[1].gauge_visible);
  EXPECT_EQ(overall.cells[17].label, "  4");  // the total row feeds "Overall"
  EXPECT_EQ(overall.cells[17].gauge, 100);
  EXPECT_EQ(overall.cells[15].label, "");  // right_foot: no row
}

TEST(WorkspaceTest, UserClicksToggleAfterTheRunsOwnClick) {
  TempLog log(kLog);
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  ws.ColumnClick(ListId::Players, 1);
  EXPECT_EQ(Captions(ws.List(ListId::Players)), "zed|bob|al|   A  L  L");
  ws.ColumnClick(ListId::Players, 2);  // "Deads" after "Kills": descending at once
  EXPECT_EQ(ws.List(ListId::Players).rows.front().caption, "   A  L  L");
  EXPECT_EQ(ws.List(ListId::Players).rows[1].caption, "bob");
  ws.ColumnClick(ListId::Players, 99);  // no such column: nothing happens
}

TEST(WorkspaceTest, MissingFileChangesNothing) {
  TempLog log(kLog);
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  const auto before = Captions(ws.List(ListId::Players));
  const std::string status = ws.status(kPanelFile);
  EXPECT_FALSE(ws.RunAnalysis("/no/such/file.log"));
  EXPECT_EQ(Captions(ws.List(ListId::Players)), before);
  EXPECT_EQ(ws.status(kPanelFile), status);
  Workspace fresh;
  EXPECT_FALSE(fresh.RunAnalysis("/no/such/file.log"));
  EXPECT_FALSE(fresh.html_enabled());
}

TEST(WorkspaceTest, SecondRunReplacesEverythingAndRereadsTheOptions) {
  TempLog log(kLog);
  TempLog other("0:00 J;1;0;Solo\n");
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  ws.SelectPlayerRow(1);
  const LogFile* first_log = ws.log();
  ws.options().ignore_case = false;  // read at the next run only
  EXPECT_EQ(ws.List(ListId::Players).rows[1].caption, "bob");
  ASSERT_TRUE(ws.RunAnalysis(other.path()));
  EXPECT_NE(ws.log(), nullptr);
  (void)first_log;
  EXPECT_EQ(Captions(ws.List(ListId::Players)), "   A  L  L|Solo");
  EXPECT_EQ(ws.List(ListId::Players).selected, -1);
  EXPECT_EQ(ws.List(ListId::Player).rows[0].caption, "Select player first");
  EXPECT_EQ(ws.LabelLoadedName(), "");
  EXPECT_EQ(ws.server_name(), "");
  EXPECT_EQ(ws.List(ListId::Weapon).rows.size(), 1u);
}

TEST(WorkspaceTest, HeaderMirrorsTheSelection) {
  TempLog log(kLog);
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  ws.SelectPlayerRow(1);  // "bob"
  const ReportList& header = ws.List(ListId::Player);
  ASSERT_EQ(header.rows.size(), 1u);
  EXPECT_EQ(header.rows[0].caption, "bob");
  EXPECT_EQ(header.rows[0].cells, ws.List(ListId::Players).rows[1].cells);
  ws.SelectPlayerRow(0);  // the total row
  EXPECT_EQ(header.rows[0].caption, "Select player first");
  EXPECT_TRUE(header.rows[0].cells.empty());
  ws.SelectPlayerRow(1);
  ws.SelectPlayerRow(-1);
  EXPECT_EQ(header.rows[0].caption, "Select player first");
}

TEST(WorkspaceTest, FigureChoicesTakeTheirColumnsAndColours) {
  TempLog log(kLog);
  Workspace ws;
  ASSERT_TRUE(ws.RunAnalysis(log.path()));
  ws.FigureRadioClick(FigureId::Overall, 1);  // "Damages"
  const FigureState& f = ws.figure(FigureId::Overall);
  EXPECT_EQ(f.choice, 1);
  EXPECT_EQ(f.cells[16].label, "  1");  // left_foot: one damage
  EXPECT_EQ(f.cells[16].colour, kOrange);
  EXPECT_EQ(f.cells[1].label, "");  // head: no damage shows nothing, although it has a row
  EXPECT_FALSE(f.cells[1].gauge_visible);
  ws.FigureRadioClick(FigureId::Overall, 7);  // no such button: nothing happens
  EXPECT_EQ(ws.figure(FigureId::Overall).choice, 1);
}

TEST(FigureTest, LabelsAndGaugesFromTheSourceCells) {
  ReportList source("ListViewAccuracy", {{"Body Location", 200}, {"Kills", 55}, {"Kills[%]", 55}});
  source.rows = {{"head", {"1234", "37.9"}},   {"neck", {"0", "0.00"}},
                 {"torso_upper", {"x", "10"}}, {"torso_lower", {"5", "n/a"}},
                 {"none", {"7", "250.00"}},    {"right_hand", {"3", "-4"}},
                 {"head", {"99", "99"}},       {"Left_foot", {"9", "9"}}};
  FigureState f;
  FillBodyLocationFigure(f, source, 1, 2, kBlue, "T", '.');
  EXPECT_EQ(f.title, "T");
  EXPECT_EQ(f.cells[1].label, " 1 234");  // the first "head" row wins
  EXPECT_EQ(f.cells[1].gauge, 37);
  EXPECT_EQ(f.cells[2].label, "");
  EXPECT_FALSE(f.cells[2].gauge_visible);
  EXPECT_EQ(f.cells[3].label, "err");
  EXPECT_FALSE(f.cells[3].gauge_visible);
  EXPECT_EQ(f.cells[4].label, "  5");
  EXPECT_FALSE(f.cells[4].gauge_visible);  // unreadable percentage hides the gauge
  EXPECT_EQ(f.cells[0].gauge, 100);
  EXPECT_EQ(f.cells[13].gauge, 0);
  EXPECT_EQ(f.cells[16].label, "");  // captions match exactly
  EXPECT_EQ(f.cells[0].colour, kBlue);
}

}  // namespace
}  // namespace barvik
