// The statistics pass and the five global tables, driven through an analysis run on small
// logs, checked cell by cell; the pass continued from the state an earlier run kept.
#include <gtest/gtest.h>

#include "log/LogFile.h"
#include "stats/Statistics.h"
#include "tests/TestLog.h"
#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

using testing::Captions;
using testing::Cell;
using testing::FindRow;
using testing::TempLog;

constexpr std::string_view kAll = kTotalRowCaption;

class StatisticsTest : public ::testing::Test {
 protected:
  // Analyses `text` with the two name options.
  void Analyse(const std::string& text, bool ignore_case = true, bool ignore_colors = true) {
    TempLog log(text);
    ws_.options().ignore_case = ignore_case;
    ws_.options().ignore_colors = ignore_colors;
    ws_.hooks.line_error = [this](const std::string& m) { errors_.push_back(m); };
    ASSERT_TRUE(ws_.RunAnalysis(log.path()));
  }
  const ReportList& Players() const { return ws_.List(ListId::Players); }
  const ReportList& Maps() const { return ws_.List(ListId::Maps); }
  const ReportList& Weapons() const { return ws_.List(ListId::Weapon); }
  const ReportList& GameTypes() const { return ws_.List(ListId::GType); }
  const ReportList& Locations() const { return ws_.List(ListId::Accuracy); }
  std::string P(std::string_view name, std::string_view column) const {
    return Cell(Players(), name, column);
  }

  Workspace ws_;
  std::vector<std::string> errors_;
};

TEST_F(StatisticsTest, KillsDeathsAndSuicides) {
  Analyse(
      "0:00 J;1;0;Bob\n0:00 J;2;1;Al\n"
      "0:01 K;1;0;axis;Bob;2;1;allies;Al;kar98k_mp;100;MOD;head\n"
      "0:02 K;1;0;axis;Bob;2;1;allies;Al;kar98k_mp;100;MOD;head\n"
      "0:03 K;2;1;allies;Al;1;0;axis;Bob;mp40_mp;100;MOD;torso_upper\n"
      "0:04 K;1;0;axis;Bob;-1;-1;world;;frag_mp;100;MOD;none\n"    // empty attacker
      "0:05 K;1;0;axis;Bob;1;0;axis;Bob;frag_mp;100;MOD;none\n");  // own attacker
  EXPECT_EQ(P("al", "Kills"), "2");
  EXPECT_EQ(P("al", "Deads"), "1");
  EXPECT_EQ(P("al", "Ratio"), "2.000");
  EXPECT_EQ(P("bob", "Kills"), "1");
  EXPECT_EQ(P("bob", "Deads"), "2");
  EXPECT_EQ(P("bob", "Suicides"), "2");
  EXPECT_EQ(P("bob", "Ratio"), "0.500");
  EXPECT_EQ(P(kAll, "Kills"), "3");
  EXPECT_EQ(P(kAll, "Suicides"), "2");
  EXPECT_EQ(Cell(Weapons(), "frag_mp", "Suicides"), "2");
  EXPECT_EQ(Cell(Weapons(), "frag_mp", "Kills"), "0");
  EXPECT_EQ(Cell(Locations(), "none", "Suicides"), "2");
  EXPECT_EQ(Cell(Locations(), "none", "Suicides[%]"), "100.00");
  EXPECT_TRUE(errors_.empty());
}

TEST_F(StatisticsTest, CaseVariantsOfOneNameAreDifferentAttackerAndVictim) {
  Analyse("0:00 J;1;0;Bob\n0:01 K;1;0;axis;Bob;2;1;allies;BOB;w;1;M;head\n",
          /*ignore_case=*/false);
  EXPECT_EQ(Captions(Players()), std::string(kAll) + "|Bob");
  EXPECT_EQ(P("Bob", "Kills"), "1");
  EXPECT_EQ(P("Bob", "Deads"), "1");
  EXPECT_EQ(Cell(Weapons(), "w", "Kills"), "1");
}

TEST_F(StatisticsTest, DamagesSelfDamagesAndUnlistedVictims) {
  Analyse(
      "0:00 J;1;0;Bob\n0:00 J;2;1;Al\n"
      "0:01 D;1;0;axis;Bob;2;1;allies;Al;mp40_mp;10;MOD;left_foot\n"
      "0:02 D;1;0;axis;Bob;-1;-1;world;;mp40_mp;10;MOD;left_foot\n"
      "0:03 D;1;0;axis;Bob;1;0;axis;Bob;mp40_mp;10;MOD;left_foot\n"
      "0:04 D;9;9;axis;Stranger;2;1;allies;Al;mp40_mp;10;MOD;head\n");
  EXPECT_EQ(P("bob", "Damages"), "1");
  EXPECT_EQ(P("bob", "Self Damages"), "2");
  EXPECT_EQ(P("al", "I.Damages"), "2");
  EXPECT_EQ(Cell(Weapons(), "mp40_mp", "Damages"), "1");
  EXPECT_EQ(FindRow(Locations(), "head"), nullptr);
  EXPECT_EQ(Cell(Locations(), "left_foot", "Damages[%]"), "100.00");
}

TEST_F(StatisticsTest, OtherCountersAndDuplicateWinners) {
  Analyse(
      "0:00 J;1;0;Bob\n0:01 Q;1;0;Bob\n0:02 say;1;0;Bob;hi\n0:03 sayteam;1;0;Bob;go\n"
      "0:04 Weapon;1;0;Bob;mp40_mp\n0:05 Item;1;0;Bob;item_health\n"
      "0:06 A;1;0;axis;Bob;bel_alive_tick\n0:07 A;1;0;axis;Bob;anything else\n"
      "0:08 W;axis;1;Bob;1;Bob\n0:09 L;allies;1;Bob;2;;3;Bob\n");
  for (auto [column, value] : std::vector<std::pair<const char*, const char*>>{{"Joins", "1"},
                                                                               {"Quits", "1"},
                                                                               {"Say", "1"},
                                                                               {"SayTeam", "1"},
                                                                               {"Weapon", "1"},
                                                                               {"Items", "1"},
                                                                               {"BEL Ticks", "2"},
                                                                               {"Wins", "2"},
                                                                               {"Loses", "1"},
                                                                               {"Ratio", "n/a"}}) {
    EXPECT_EQ(P("bob", column), value) << column;
  }
  EXPECT_EQ(Cell(Maps(), "NOT DEFINED", "BEL Ticks"), "2");
  EXPECT_EQ(Cell(Weapons(), "mp40_mp", "Pick Up"), "1");
}

TEST_F(StatisticsTest, MapsAndGameTypesFollowTheInitialisationLines) {
  Analyse(
      "0:00 J;1;0;Bob\n0:00 J;2;1;Al\n"
      "0:01 K;1;0;axis;Bob;2;1;allies;Al;w;1;M;head\n"
      "0:02 InitGame: \\g_gametype\\tdm\\mapname\\map_one\\sv_hostname\\Srv\\\n"
      "0:03 K;1;0;axis;Bob;2;1;allies;Al;w;1;M;head\n"
      "0:04 InitGame: \\g_gametype\\TDM\\mapname\\Map_One\\\n"
      "0:05 K;1;0;axis;Bob;2;1;allies;Al;w;1;M;head\n"
      "0:06 InitGame: \\sv_hostname\\Other\\\n"
      "0:07 D;1;0;axis;Bob;2;1;allies;Al;w;1;M;head\n");
  EXPECT_EQ(Cell(Maps(), "NOT DEFINED", "Kills"), "1");
  EXPECT_EQ(Cell(Maps(), "map_one", "Kills"), "2");  // "Map_One" counts in the same row
  EXPECT_EQ(FindRow(Maps(), "Map_One"), nullptr);
  EXPECT_EQ(Cell(Maps(), "map_one", "Kills[%]"), "66.67");
  EXPECT_EQ(Cell(Maps(), "n/a", "Kills"), "0");
  EXPECT_EQ(Cell(Maps(), "n/a", "Kills[%]"), "0.00");
  EXPECT_EQ(Cell(Maps(), "n/a", "Damages"), "1");
  EXPECT_EQ(Cell(GameTypes(), "tdm", "Kills"), "2");
  EXPECT_EQ(ws_.server_name(), "Other");
  EXPECT_EQ(ws_.log()->TurnCount, 3);
}

TEST_F(StatisticsTest, LogWithoutKillsHasNoKillPercentages) {
  Analyse(
      "0:00 J;1;0;Bob\n0:01 Weapon;1;0;Bob;colt_mp\n"
      "0:02 D;1;0;axis;Bob;2;1;allies;Al;mp40_mp;10;MOD;head\n");
  for (const ReportList* list : {&Maps(), &Weapons(), &GameTypes()}) {
    for (const Row& row : list->rows) {
      EXPECT_EQ(Cell(*list, row.caption, "Kills[%]"), "n/a") << list->name << row.caption;
    }
  }
  EXPECT_EQ(Cell(Weapons(), "colt_mp", "Pick Up"), "1");
  EXPECT_EQ(Cell(Weapons(), "colt_mp", "Damages"), "0");
}

TEST_F(StatisticsTest, BodyLocationsInFirstMetOrderKillsThenDamagesThenSuicides) {
  Analyse(
      "0:00 J;1;0;Bob\n0:00 J;2;1;Al\n"
      "0:01 K;1;0;a;Bob;-1;-1;w;;w;1;M;none\n"
      "0:02 D;1;0;a;Bob;2;1;b;Al;w;1;M;neck\n"
      "0:03 K;1;0;a;Bob;2;1;b;Al;w;1;M;head\n"
      "0:04 K;1;0;a;Bob;2;1;b;Al;w;1;M;torso_lower\n");
  // Sorted by kills afterwards; equal rows keep the collected order.
  EXPECT_EQ(Captions(Locations()), std::string(kAll) + "|head|torso_lower|neck|none");
  EXPECT_EQ(Cell(Locations(), kAll, "Suicides[%]"), "100.00");
}

TEST_F(StatisticsTest, OnePlayerPutsTheTotalRowFirst) {
  Analyse("0:00 J;1;0;Bob\n");
  EXPECT_EQ(Captions(Players()), std::string(kAll) + "|bob");
  EXPECT_EQ(Captions(Maps()), std::string(kAll));
}

TEST_F(StatisticsTest, NameLikeTheTotalRowNeverCountsIntoIt) {
  // Only win and item lines name it, so it is no player; the total row must stay a sum.
  Analyse("0:00 J;1;0;Bob\n0:00 J;2;0;Al\n0:01 W;t;1;   a  l  l\n0:02 Item;1;0;   A  L  L\n");
  EXPECT_EQ(P(kAll, "Wins"), "0");
  EXPECT_EQ(P(kAll, "Items"), "0");
}

TEST_F(StatisticsTest, RealServerQuirksLoadWithoutErrors) {
  Analyse(
      "  0:00 J;1;0;Bob\r\n  0:00 J;2;1;Al\r\n"
      "  0:01 K;1;0;axis;Bob;2;1;allies;Al;w;1;M;head;extra;fields;of;a;mod\r\n"
      "  0:02 Spawn;1;0;Bob\r\n  0:03 Use;2;1;Al;door\r\n"
      "say;1;0;Bob;chat without a time stamp\r\n"
      "  0:04 A;1;0;axis;Bob;bel_alive_tick;42\r\n"
      "  0:05 J;3;2;J\xE9r\xF4me\r\n  0:06 K;1;0;axis;Bob;3;2;allies;J\xC9R\xD4ME;w;1;M;neck\r\n");
  EXPECT_TRUE(errors_.empty());
  EXPECT_EQ(P("al", "Kills"), "1");
  EXPECT_EQ(P("bob", "BEL Ticks"), "1");
  EXPECT_EQ(P("j\xE9r\xF4me", "Kills"), "1");
  // The untimed line takes "say;1;0;Bob;chat" for its time stamp: it is of no known kind.
  EXPECT_EQ(P(kAll, "Say"), "0");
}

TEST(StatisticsEquivalenceTest, CrlfAndLfLogsGiveTheSameTables) {
  LogGeneratorOptions o;
  o.lines = 4000;
  o.players = 25;
  std::string lf = GenerateLog(o);
  o.crlf = true;
  std::string crlf = GenerateLog(o);
  Workspace a, b;
  TempLog la(lf), lb(crlf);
  ASSERT_TRUE(a.RunAnalysis(la.path()));
  ASSERT_TRUE(b.RunAnalysis(lb.path()));
  for (ListId id :
       {ListId::Players, ListId::Weapon, ListId::Maps, ListId::GType, ListId::Accuracy}) {
    ASSERT_EQ(a.List(id).rows.size(), b.List(id).rows.size());
    for (size_t r = 0; r < a.List(id).rows.size(); ++r) {
      EXPECT_EQ(a.List(id).rows[r].caption, b.List(id).rows[r].caption);
      EXPECT_EQ(a.List(id).rows[r].cells, b.List(id).rows[r].cells);
    }
  }
  // The total row is the sum of the players' rows.
  const ReportList& players = a.List(ListId::Players);
  int64_t kills = 0;
  for (const Row& r : players.rows) {
    if (r.caption != kAll) kills += std::stoll(r.cells[0]);
  }
  EXPECT_EQ(std::to_string(kills), Cell(players, kAll, "Kills"));
}

// The five tables, the turn count and the server name of a pass, as text.
std::string Dump(const LogFile& log, LogStatistics s) {
  AddTotals(s.counters);
  std::vector<ReportList> lists = {MakePlayersList(), MakeMapsList(), MakeWeaponList(),
                                   MakeGameTypeList(), MakeAccuracyList()};
  FillPlayersTable(lists[0], s.names, s.counters, '.');
  FillGlobalTable(lists[1], s.events.maps, *s.events.pool, kMapsLayout, '.');
  FillGlobalTable(lists[2], s.events.weapons, *s.events.pool, kWeaponLayout, '.');
  FillGlobalTable(lists[3], s.events.game_types, *s.events.pool, kGameTypeLayout, '.');
  FillGlobalTable(lists[4], s.events.locations, *s.events.pool, kAccuracyLayout, '.');
  std::string out = std::to_string(log.TurnCount) + " " + log.HostName + "\n";
  for (const ReportList& list : lists) {
    for (const Row& row : list.rows) {
      out += row.caption;
      for (const std::string& cell : row.cells) out += "|" + cell;
      out += "\n";
    }
  }
  return out;
}

// The pass continued from the state kept after `earlier` gives the tables of a whole pass:
// after lines in the last turn, a new turn on another map and server, a new name. A name the
// new lines list whose earlier lines counted unlisted (a damage's victim, a pick-up), other
// name options, an early line edited and a damaged state make it walk the whole log.
TEST(KeptStatisticsTest, ContinuedPassEqualsAWholePass) {
  LogGeneratorOptions o;
  o.seed = 9;
  o.lines = 3000;
  o.players = 12;
  o.lines_per_turn = 400;
  const std::string earlier = GenerateLog(o) +
                              "9:00 D;1;0;axis;Bob;7;0;allies;Dan;mp40;10;MOD;head\n"
                              "9:00 Weapon;8;0;Eve;colt\n"
                              "9:00 K;1;0;axis;Bob;2;1;allies;Al;mp40;100;MOD;head\n";
  std::string state;
  {
    LogFile log = LogFile::FromText(earlier);
    log.IgnoreCase = log.IgnoreColors = true;
    CountLogStatistics(log, {}, &state, nullptr);
  }
  ASSERT_FALSE(state.empty());
  auto expect = [&](const std::string& text, std::string_view given, bool flags, bool continued,
                    const char* what) {
    LogFile whole_log = LogFile::FromText(text);
    LogFile next_log = LogFile::FromText(text);
    for (LogFile* log : {&whole_log, &next_log}) log->IgnoreCase = log->IgnoreColors = flags;
    std::string whole_state;
    std::string next_state;
    const LogStatistics whole = CountLogStatistics(whole_log, {}, &whole_state, nullptr);
    const LogStatistics next = CountLogStatistics(next_log, given, &next_state, nullptr);
    EXPECT_EQ(next.continued, continued) << what;
    EXPECT_EQ(Dump(next_log, next), Dump(whole_log, whole)) << what;
    EXPECT_EQ(next_state, whole_state) << what;
  };
  const std::string kill = "9:01 K;2;1;allies;Al;1;0;axis;BOB;kar98k;100;MOD;neck\n";
  const std::string turn =
      "9:02 InitGame: \\g_gametype\\sd\\mapname\\mp_new\\sv_hostname\\Later\\\n" + kill;
  expect(earlier, state, true, true, "nothing new");
  expect(earlier + kill + kill, state, true, true, "inside the last turn");
  expect(earlier + turn + "9:03 J;9;0;Newcomer\n", state, true, true, "a new turn and name");
  expect(earlier + turn + "9:03 J;7;0;Dan\n", state, true, false, "a victim listed later");
  expect(earlier + kill + "9:03 say;8;0;Eve;hi\n", state, true, false, "a picker listed later");
  expect(earlier + kill, state, false, false, "other name options");
  expect(earlier + kill, std::string_view(state).substr(0, state.size() - 1), true, false,
         "damaged");
  std::string edited = earlier;
  edited.replace(edited.find(";MOD;"), 5, ";MOX;");
  expect(edited + kill, state, true, false, "an early line edited");
}

}  // namespace
}  // namespace barvik
