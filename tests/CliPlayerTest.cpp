// "barvik-cli player" run in-process: the exact lists and chart of one player, and the exit
// status and one-line message when the player or the weapon is not there.
#include <gtest/gtest.h>

#include <sstream>

#include "app/Cli.h"
#include "tests/CliRun.h"
#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::TempLog;

using Result = testing::CliResult;
using testing::RunTool;

const char* kLog =
    "0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\\n"
    "0:01 J;1;0;Al\n0:01 J;2;1;Bob\n"
    "0:02 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD;head\n"
    "0:03 K;2;1;allies;Al;1;0;axis;Bob;kar98k_mp;100;MOD;neck\n"
    "0:04 D;1;0;axis;Bob;2;1;allies;Al;mp40_mp;10;MOD;head\n";

TEST(CliPlayerTest, PrintsThePlayersListsAndChartExactly) {
  TempLog log(kLog);
  Result r = RunTool({"player", "--min-kills", "1", "--weapon", "mp40_mp", log.path(), "al"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "[ListViewPlayer]\n"
            "Name\tKills\tDeads\tRatio\tSuicides\tI.Damages\tDamages\tSelf Damages\tWins\tLoses\t"
            "BEL Ticks\tWeapon\tSay\tSayTeam\tJoins\tQuits\tItems\n"
            "al\t1\t1\t1.000\t0\t1\t0\t0\t0\t0\t0\t0\t0\t0\t1\t0\t0\n"
            "\n"
            "[ListViewPlayerWeapon]\n"
            "Weapon\tKills\tKills[%]\tDeads\tDeads[%]\tRatio\tSuicides\tI.Damages\tDamages\t"
            "SelfDamages\tPick Up\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t1.000\t0\t1\t0\t0\t0\n"
            "mp40_mp\t1\t100.00\t0\t0.00\tn/a\t0\t1\t0\t0\t0\n"
            "kar98k_mp\t0\t0.00\t1\t100.00\t0.000\t0\t0\t0\t0\t0\n"
            "\n"
            "[ListViewWeaponAccuracy]\n"
            "Body Location\tKills\tKills[%]\tI.Damages\tI.Damages[%]\tSuicides\tSuicides[%]\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t0\t100.00\n"
            "head\t1\t100.00\t1\t100.00\t0\tn/a\n"
            "\n"
            "[ListViewPlayerGlobAccuracy]\n"
            "Body Location\tKills\tKills[%]\tI.Damages\tI.Damages[%]\tSuicides\tSuicides[%]\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t0\t100.00\n"
            "head\t1\t100.00\t1\t100.00\t0\tn/a\n"
            "\n"
            "[ListViewPlayerGlobEnemyAccuracy]\n"
            "Body Location\tDeads\tDeads[%]\tDamages\tDamages[%]\n"
            "   A  L  L\t1\t100.00\t0\t100.00\n"
            "neck\t1\t100.00\t0\tn/a\n"
            "\n"
            "[ListViewPlayerMaps]\n"
            "Map\tKills\tKills[%]\tDeads\tDeads[%]\tRatio\tSuicides\tSuicides[%]\tI.Damages\t"
            "Damages\tBEL Ticks\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t1.000\t0\t100.00\t1\t0\t0\n"
            "mp_foy\t1\t100.00\t1\t100.00\t1.000\t0\tn/a\t1\t0\t0\n"
            "\n"
            "[ListViewPlayerGameType]\n"
            "Game Type\tKills\tKills[%]\tDeads\tDeads[%]\tRatio\tSuicides\tSuicides[%]\t"
            "I.Damages\tDamages\tBEL Ticks\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t1.000\t0\t100.00\t1\t0\t0\n"
            "tdm\t1\t100.00\t1\t100.00\t1.000\t0\tn/a\t1\t0\t0\n"
            "\n"
            "[ListViewPlayerVictims]\n"
            "Player\tKills\tKills[%]\tDeads\tDeads[%]\tRatio\tI.Damages\tDamages\n"
            "   A  L  L\t1\t100.00\t1\t100.00\t1.000\t1\t0\n"
            "bob\t1\t100.00\t1\t100.00\t1.000\t1\t0\n"
            "\n"
            "[ListViewPlayerTurnsRatio]\n"
            "Turn\tKills\tDeads\tRatio\n"
            "0000001\t1\t1\t1.000\n"
            "\n"
            "[Chart1]\n"
            "title\tRatio Chart for player AL (1 turns)\n"
            "xmax\t1\n"
            "ymax\t5\n"
            "point\t1\t1.000\tblue\n"
            "\n");
}

TEST(CliPlayerTest, MissingPlayerOrWeaponIsAUsageError) {
  TempLog log(kLog);
  {
    Result r = RunTool({"player", log.path(), "zed"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "barvik-cli: no player row named 'zed' in " + log.path() + "\n");
  }
  {
    Result r = RunTool({"player", log.path(), std::string(kTotalRowCaption)});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err, "barvik-cli: no player row named '   A  L  L' in " + log.path() + "\n");
  }
  {
    Result r = RunTool({"player", "--weapon", "ak47", log.path(), "al"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "barvik-cli: player 'al' has no weapon row named 'ak47'\n");
  }
  {
    Result r = RunTool({"player", "--weapon", std::string(kTotalRowCaption), log.path(), "al"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_EQ(r.err, "barvik-cli: player 'al' has no weapon row named '   A  L  L'\n");
  }
}

TEST(CliPlayerTest, NameIsFoldedByTheNameOptionsLikeTheRows) {
  TempLog log(
      "0:01 J;1;0;^1Mangled ^7One\n0:01 J;2;1;Bob\n"
      "0:02 K;1;0;axis;Bob;2;1;allies;^1Mangled ^7One;mp40_mp;100;MOD;head\n");
  const std::string rows_of_mangled = RunTool({"player", log.path(), "mangled one"}).out;
  ASSERT_NE(rows_of_mangled.find("\nmangled one\t1\t"), std::string::npos) << rows_of_mangled;
  for (const char* name : {"Mangled One", "^1Mangled One", "MANGLED ^7ONE"}) {
    Result r = RunTool({"player", log.path(), name});
    EXPECT_EQ(r.status, kExitOk) << name << ": " << r.err;
    EXPECT_EQ(r.out, rows_of_mangled) << name;
  }
  // The options that keep case and colours keep the lookup exact.
  EXPECT_EQ(RunTool({"player", "--case-sensitive", log.path(), "Mangled One"}).status, kExitOk);
  EXPECT_EQ(RunTool({"player", "--keep-colors", log.path(), "^1mangled ^7one"}).status, kExitOk);
  Result exact = RunTool({"player", "--case-sensitive", log.path(), "mangled one"});
  EXPECT_EQ(exact.status, kExitUsage);
  EXPECT_EQ(exact.err, "barvik-cli: no player row named 'mangled one' in " + log.path() +
                           " (did you mean 'Mangled One'?)\n");
}

TEST(CliPlayerTest, MisspeltNameGetsUpToThreeCloseRows) {
  TempLog log(
      "0:01 J;1;0;Wolf1\n0:01 J;2;1;Wolf2\n0:01 J;3;2;Wolf3\n0:01 J;4;3;Wolf4\n"
      "0:01 J;5;4;Bob\n0:01 J;6;5;Sniper\n");
  Result wolf = RunTool({"player", log.path(), "Wolf"});
  EXPECT_EQ(wolf.status, kExitUsage);
  EXPECT_EQ(wolf.out, "");
  EXPECT_EQ(wolf.err, "barvik-cli: no player row named 'Wolf' in " + log.path() +
                          " (did you mean 'wolf1', 'wolf2' or 'wolf3'?)\n");
  EXPECT_EQ(
      RunTool({"player", log.path(), "snipre"}).err,
      "barvik-cli: no player row named 'snipre' in " + log.path() + " (did you mean 'sniper'?)\n");
  // Nothing close: no guess.
  EXPECT_EQ(RunTool({"player", log.path(), "quartermaster"}).err,
            "barvik-cli: no player row named 'quartermaster' in " + log.path() + "\n");
}

}  // namespace
}  // namespace barvik
