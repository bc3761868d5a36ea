// Loading a player into the Workspace: percentage bases from the header row, the turns list
// and the chart, the reload rule of the player page, and the weapon selection.
#include <gtest/gtest.h>

#include "app/Workspace.h"
#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::Captions;
using testing::Cell;
using testing::TempLog;

const std::string kAll(kTotalRowCaption);

// Al's kills and deaths per turn: turn 0 (before any game initialisation) 2 kills, turn 1
// one each, turn 2 one death, turn 3 one kill; his kills come first in the log.
const char* kTurnsLog =
    "0:00 J;1;0;Bob\n0:00 J;2;1;Al\n"
    "0:00 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n"
    "0:00 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n"
    "0:01 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\\n"
    "0:02 K;1;0;axis;Bob;2;1;allies;Al;kar98k_mp;100;MOD;neck\n"
    "0:03 D;1;0;axis;Bob;2;1;allies;Al;kar98k_mp;10;MOD;left_foot\n"
    "0:03 K;2;1;allies;Al;1;0;axis;Bob;mp40_mp;100;MOD;torso_upper\n"
    "0:04 InitGame: \\g_gametype\\sd\\mapname\\mp_foy\\\n"
    "0:05 K;2;1;allies;Al;1;0;axis;Bob;mp40_mp;100;MOD;head\n"
    "0:06 InitGame: \\g_gametype\\sd\\mapname\\mp_foy\\\n"
    "0:07 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n";

class WorkspacePlayerTest : public ::testing::Test {
 protected:
  void Analyse(const std::string& text) {
    log_ = std::make_unique<TempLog>(text);
    ASSERT_TRUE(ws_.RunAnalysis(log_->path()));
  }
  // Selects the player's row and double-clicks it; counts the loads.
  void Open(std::string_view name) {
    const ReportList& players = ws_.List(ListId::Players);
    for (size_t i = 0; i < players.rows.size(); ++i) {
      if (players.rows[i].caption == name) ws_.SelectPlayerRow(static_cast<int>(i));
    }
    ws_.ListViewPlayersDblClick();
  }
  int Loads() const { return loads_; }
  const ReportList& List(ListId id) { return ws_.List(id); }
  std::string Points() const {
    std::string out;
    for (const ChartPoint& p : ws_.chart().points) {
      out += std::to_string(p.x) + ":" + std::to_string(p.y).substr(0, 5) + (p.blue ? "b " : "r ");
    }
    return out;
  }

  Workspace ws_;
  std::unique_ptr<TempLog> log_;
  int loads_ = 0;

  void SetUp() override {
    ws_.hooks.status_changed = [this] {
      if (ws_.status(kPanelActivity) == "Reading AL Statistics") ++loads_;
    };
  }
};

TEST_F(WorkspacePlayerTest, TurnsAboveTheThresholdOldestFirstWithTheirColours) {
  ws_.options().min_kills = "1";
  Analyse(kTurnsLog);
  Open("al");
  EXPECT_EQ(ws_.LabelLoadedName(), "al");
  EXPECT_EQ(ws_.status(kPanelActivity), "Done");
  const ReportList& turns = List(ListId::PlayerTurnsRatio);
  EXPECT_EQ(Captions(turns), "0000000|0000001|0000002|0000003");
  EXPECT_EQ(Cell(turns, "0000001", "Ratio"), "1.000");
  // "n/a" is drawn at 0; exactly 1.000 is blue.
  EXPECT_EQ(Points(), "0:0.000r 1:1.000b 2:0.000r 3:0.000r ");
  EXPECT_EQ(ws_.chart().title, "Ratio Chart for player AL (4 turns)");
  EXPECT_EQ(ws_.chart().xmax, 3);
  EXPECT_EQ(ws_.chart().ymax, 5);

  // Either count reaching the threshold keeps a turn; unreadable limits count 0 and 1000.
  ws_.options().min_kills = "2";
  ws_.options().max_ratio = "5.5";
  ws_.ShowSelectedPlayer("al");
  EXPECT_EQ(Captions(turns), "0000000");
  EXPECT_EQ(ws_.chart().title, "Ratio Chart for player AL (1 turns)");
  EXPECT_EQ(ws_.chart().ymax, 1000);
  ws_.options().min_kills = "lots";
  ws_.ShowSelectedPlayer("al");
  EXPECT_EQ(turns.rows.size(), 4u);
  ws_.options().min_kills = "10";
  ws_.ShowSelectedPlayer("al");
  EXPECT_TRUE(turns.rows.empty());
  EXPECT_TRUE(ws_.chart().points.empty());
  EXPECT_EQ(ws_.chart().title, "Ratio Chart for player AL (0 turns)");
}

TEST_F(WorkspacePlayerTest, TablesSortedByTheirFirstValueColumnWithTheTotalOnTop) {
  Analyse(kTurnsLog);
  ws_.ColumnClick(ListId::PlayerMaps, 3);  // a sort state left from before must not matter
  Open("al");
  EXPECT_EQ(Captions(List(ListId::PlayerWeapon)), kAll + "|mp40_mp|kar98k_mp");
  EXPECT_EQ(Captions(List(ListId::PlayerMaps)), kAll + "|NOT DEFINED|mp_foy");
  EXPECT_EQ(Cell(List(ListId::PlayerMaps), "mp_foy", "Kills[%]"), "50.00");
  EXPECT_EQ(Captions(List(ListId::PlayerGlobEnemyAccuracy)), kAll + "|torso_upper|head");
  EXPECT_TRUE(List(ListId::PlayerTurnsRatio).rows.empty());  // none reaches 10
  for (ListId id : {ListId::PlayerWeapon, ListId::PlayerGlobAccuracy, ListId::PlayerMaps,
                    ListId::PlayerGameType, ListId::PlayerVictims}) {
    EXPECT_EQ(List(id).sort.ReverseColumn, 1) << List(id).name;
  }
  // The two figures of the page are drawn from the new lists.
  EXPECT_EQ(ws_.figure(FigureId::GlobAccuracy).cells[1].label, "  3");       // head
  EXPECT_EQ(ws_.figure(FigureId::GlobEnemyAccuracy).cells[3].label, "  1");  // torso_upper
}

TEST_F(WorkspacePlayerTest, PercentagesUseTheHeaderRowWhoseTextsMayNotBeNumbers) {
  Analyse(kTurnsLog);
  Open("al");
  EXPECT_EQ(Cell(List(ListId::PlayerWeapon), "mp40_mp", "Kills[%]"), "75.00");
  Row& header = ws_.List(ListId::Player).rows[0];
  header.cells[0] = "many";  // Kills
  header.cells[1] = "";      // Deads
  header.cells[4] = "8";     // I.Damages
  ws_.ShowSelectedPlayer("al");
  const ReportList& weapons = List(ListId::PlayerWeapon);
  EXPECT_EQ(Cell(weapons, "mp40_mp", "Kills[%]"), "n/a");
  EXPECT_EQ(Cell(weapons, "mp40_mp", "Deads[%]"), "n/a");
  EXPECT_EQ(Cell(weapons, kAll, "Kills[%]"), "100.00");
  EXPECT_EQ(Cell(List(ListId::PlayerGlobAccuracy), "left_foot", "I.Damages[%]"), "12.50");
}

TEST_F(WorkspacePlayerTest, PlayerPageReloadsOnlyForAnotherExactName) {
  Analyse(kTurnsLog);
  Open("al");
  EXPECT_EQ(Loads(), 1);
  Open("al");  // the loaded player again
  ws_.TurnPage(MainPage::Players);
  ws_.TurnPage(MainPage::SelectedPlayer);
  EXPECT_EQ(Loads(), 1);
  EXPECT_EQ(ws_.status(kPanelElapsed).back(), 's');

  Open(kAll);  // the total row loads nothing
  EXPECT_EQ(Loads(), 1);
  EXPECT_EQ(ws_.LabelLoadedName(), "al");

  ws_.ShowSelectedPlayer("AL");  // names differing in case are different players
  Open("al");
  EXPECT_EQ(Loads(), 3);

  ASSERT_TRUE(ws_.RunAnalysis(log_->path()));  // a new run forgets the loaded player
  EXPECT_EQ(ws_.LabelLoadedName(), "");
  Open("al");
  EXPECT_EQ(Loads(), 4);
}

TEST_F(WorkspacePlayerTest, CaseVariantKeysCountOnlyTheirOwnFormWhenCaseIsKept) {
  ws_.options().ignore_case = false;
  Analyse(
      "0:00 J;1;0;Bob\n"
      "0:01 K;2;1;allies;Al;1;0;axis;Bob;MP40;100;MOD;head\n"
      "0:02 K;2;1;allies;Al;1;0;axis;Bob;mp40;100;MOD;Head\n"
      "0:03 K;2;1;allies;Al;1;0;axis;Bob;mp40;100;MOD;head\n");
  Open("Bob");
  const ReportList& weapons = List(ListId::PlayerWeapon);
  EXPECT_EQ(Captions(weapons), kAll + "|MP40");
  EXPECT_EQ(Cell(weapons, "MP40", "Kills"), "1");
  EXPECT_EQ(Cell(weapons, "MP40", "Kills[%]"), "33.33");
  EXPECT_EQ(Cell(List(ListId::PlayerGlobAccuracy), "head", "Kills"), "2");
}

TEST_F(WorkspacePlayerTest, WeaponSelectionShowsItsLocations) {
  Analyse(kTurnsLog);
  Open("al");
  const ReportList& weapons = List(ListId::PlayerWeapon);
  const ReportList& locations = List(ListId::WeaponAccuracy);
  ws_.SelectPlayerWeaponRow(2);  // kar98k_mp
  EXPECT_EQ(Captions(locations), kAll + "|neck|left_foot");
  EXPECT_EQ(Cell(locations, "left_foot", "I.Damages[%]"), "100.00");
  EXPECT_EQ(Cell(locations, "neck", "Suicides[%]"), "n/a");
  EXPECT_EQ(ws_.figure(FigureId::WeaponAccuracy).title,
            "Shot accuracy of player AL for weapon KAR98K_MP");
  EXPECT_EQ(ws_.status(kPanelActivity), "Done");
  ws_.ColumnClick(ListId::WeaponAccuracy, 1);  // ascending

  ws_.SelectPlayerWeaponRow(1);  // mp40_mp: sorted by Kills, largest first, again
  EXPECT_EQ(weapons.rows[1].caption, "mp40_mp");
  EXPECT_EQ(Captions(locations), kAll + "|head");
  EXPECT_EQ(Cell(locations, "head", "Kills"), "3");
  EXPECT_EQ(locations.sort.ReverseColumn, 1);

  ws_.SelectPlayerWeaponRow(0);  // the total row changes nothing
  EXPECT_EQ(Captions(locations), kAll + "|head");
  ws_.SelectPlayerWeaponRow(-1);
  EXPECT_TRUE(locations.rows.empty());

  ws_.SelectPlayerWeaponRow(1);
  ws_.ShowSelectedPlayer("al");  // a reload drops the weapon selection and its list
  EXPECT_EQ(weapons.selected, -1);
  EXPECT_TRUE(locations.rows.empty());
}

// The header follows the players list, so it may name nobody while the page still shows
// the loaded player: a weapon row then still shows that player's hits.
TEST_F(WorkspacePlayerTest, WeaponSelectionScansTheLoadedPlayerNotTheHeader) {
  Analyse(kTurnsLog);
  Open("al");
  ws_.TurnPage(MainPage::Players);
  ws_.SelectPlayerRow(0);  // the total row
  ASSERT_EQ(List(ListId::Player).rows[0].caption, "Select player first");
  ws_.TurnPage(MainPage::SelectedPlayer);
  ws_.SelectPlayerWeaponRow(1);
  EXPECT_EQ(Cell(List(ListId::WeaponAccuracy), "head", "Kills"), "3");
}

}  // namespace
}  // namespace barvik
