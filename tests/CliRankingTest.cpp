// barvik-cli ranking: the text and JSON forms on a small log.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/CliRun.h"
#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::RunTool;

std::string Kill(const std::string& stamp, const std::string& victim, int slot,
                 const std::string& attacker) {
  return stamp + " K;0;" + std::to_string(slot) + ";;" + victim + ";0;1;;" + attacker +
         ";kar98k_mp;100;MOD_RIFLE_BULLET;torso_upper\n";
}

// Two free-for-all games of ten minutes: Al beats Bo twice and Cy once; Zed joins as the
// second game ends.
const std::string kLog = "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_a\\sv_hostname\\Srv\\\n" +
                         Kill("  1:00", "Bo", 2, "Al") + Kill("  2:00", "Cy", 3, "Al") +
                         " 10:00 ShutdownGame:\n" +
                         "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_a\\sv_hostname\\Srv\\\n" +
                         Kill("  1:00", "Bo", 2, "Al") + " 10:00 J;0;3;Zed\n 10:00 ShutdownGame:\n";

TEST(CliRankingTest, PrintsTheRatedPeopleInTheirPartsAsTextAndJson) {
  testing::TempLog log(kLog);
  const auto text = RunTool({"ranking", "--no-cache", log.path()}, ',');
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out,
            "[ranking]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n\n"
            "[provisional]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n"
            "\t5,63\t23,95\t2\tn/a\tAl\n"
            "\t-0,49\t24,34\t1\t0,000\tCy\n"
            "\t-1,83\t23,60\t2\t0,000\tBo\n\n"
            "[inactive]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n\n");

  const auto json = RunTool({"ranking", "--no-cache", "--json", log.path()});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json document = nlohmann::json::parse(json.out);
  EXPECT_EQ(document.at("format"), "barvik-stats/2");
  EXPECT_EQ(document.at("server"), "Srv");
  ASSERT_EQ(document.at("provisional").size(), 3u);  // Zed played no second: no rated game
  EXPECT_TRUE(document.at("provisional")[0].at("rank").is_null());
  EXPECT_EQ(document.at("provisional")[0].at("kills"), 3);

  // Cy missed the last rated game: after one game without him he leaves the ranking.
  const auto strict = RunTool({"ranking", "--no-cache", "--inactive-after", "1", log.path()});
  ASSERT_EQ(strict.status, 0) << strict.err;
  EXPECT_TRUE(
      strict.out.ends_with("[inactive]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n"
                           "\t-0.49\t24.34\t1\t0.000\tCy\n\n"))
      << strict.out;
  const auto bad = RunTool({"ranking", "--inactive-after=-1", log.path()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("'--inactive-after' takes a whole number of games"), std::string::npos);
  EXPECT_EQ(RunTool({"ranking", "--weapon", "x", log.path()}).status, 2);
  EXPECT_EQ(RunTool({"ranking"}).status, 2);
}

// Twenty team games of Al against Bo and three free-for-alls: only the team game type has
// enough rated games for a ranking of its own.
TEST(CliRankingTest, RanksAGameTypeApartOnlyFromTwentyRatedGamesAndFillsThePeopleAndGames) {
  std::string text;
  for (int g = 0; g < 23; ++g) {
    const bool team = g < 20;
    text += "  0:00 InitGame: \\g_gametype\\" + std::string(team ? "tdm" : "dm") +
            "\\mapname\\mp_a\\sv_hostname\\Srv\\\n" + "  1:00 K;0;2;" + (team ? "axis" : "") +
            ";Bo;0;1;" + (team ? "allies" : "") +
            ";Al;mp40_mp;100;MOD_MELEE;head\n  2:00 ShutdownGame:\n";
  }
  testing::TempLog log(text);
  const auto ranking = RunTool({"ranking", "--no-cache", "--json", log.path()});
  ASSERT_EQ(ranking.status, 0) << ranking.err;
  const nlohmann::json types = nlohmann::json::parse(ranking.out).at("game_types");
  ASSERT_EQ(types.size(), 1u);
  EXPECT_EQ(types[0].at("gametype"), "tdm");
  EXPECT_EQ(types[0].at("games"), 20);
  ASSERT_EQ(types[0].at("ranking").size(), 2u);
  EXPECT_EQ(types[0].at("ranking")[0].at("name"), "Al");
  EXPECT_EQ(types[0].at("ranking")[0].at("kills"), 23);  // his totals, all game types
  EXPECT_NE(RunTool({"ranking", "--no-cache", log.path()}).out.find("[provisional tdm]\n"),
            std::string::npos);

  const auto people = RunTool({"people", "--no-cache", "--json", log.path()});
  ASSERT_EQ(people.status, 0) << people.err;
  const nlohmann::json al = nlohmann::json::parse(people.out).at("people")[1];
  ASSERT_EQ(al.at("name"), "Al");
  EXPECT_EQ(al.at("rating").at("games"), 23);
  EXPECT_EQ(al.at("rating").at("rank"), 1);
  const nlohmann::json& first = al.at("awards").at(0);
  EXPECT_EQ(first.at("award"), "kill streak");
  EXPECT_EQ(first.at("value"), 1);
  EXPECT_EQ(first.at("held"), true);

  const auto games = RunTool({"games", "--no-cache", "--json", log.path()});
  ASSERT_EQ(games.status, 0) << games.err;
  const nlohmann::json change =
      nlohmann::json::parse(games.out).at("games")[0].at("players")[0].at("rating_change");
  EXPECT_EQ(change.at("before"), 0.0);
  EXPECT_GT(change.at("after").get<double>(), -1.0);
}

}  // namespace
}  // namespace barvik
