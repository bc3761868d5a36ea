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
            "\t8,77\t22,84\t2\tn/a\tAl\n"
            "\t-1,58\t24,18\t1\t0,000\tCy\n"
            "\t-2,94\t23,48\t2\t0,000\tBo\n\n"
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
                           "\t-1.58\t24.18\t1\t0.000\tCy\n\n"))
      << strict.out;
  const auto bad = RunTool({"ranking", "--inactive-after=-1", log.path()});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("'--inactive-after' takes a whole number of games"), std::string::npos);
  EXPECT_EQ(RunTool({"ranking", "--weapon", "x", log.path()}).status, 2);
  EXPECT_EQ(RunTool({"ranking"}).status, 2);
}

// Twenty team games of Al against Bo (Bo kills Al once, then Al kills Bo five times) and
// three free-for-alls: only the team game type has enough rated games for a ranking of its
// own, and 120 fights make both sure enough to be ranked there.
TEST(CliRankingTest, RanksAGameTypeApartOnlyFromTwentyRatedGamesAndFillsThePeopleAndGames) {
  std::string text;
  for (int g = 0; g < 23; ++g) {
    const bool team = g < 20;
    text += "  0:00 InitGame: \\g_gametype\\" + std::string(team ? "tdm" : "dm") +
            "\\mapname\\mp_a\\sv_hostname\\Srv\\\n";
    const std::string axis = team ? "axis" : "", allies = team ? "allies" : "";
    if (team)
      text += std::string("  0:59 K;0;1;")
                  .append(allies)
                  .append(";Al;0;2;")
                  .append(axis)
                  .append(";Bo;mp40_mp;100;MOD_MELEE;head\n");
    for (int k = 0; k < (team ? 5 : 1); ++k) {
      text += std::string("  1:00 K;0;2;")
                  .append(axis)
                  .append(";Bo;0;1;")
                  .append(allies)
                  .append(";Al;mp40_mp;100;MOD_MELEE;head\n");
    }
    text += "  2:00 ShutdownGame:\n";
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
  EXPECT_EQ(types[0].at("ranking")[0].at("kills"), 103);       // his totals, all game types
  EXPECT_EQ(types[0].at("ranking")[0].at("fights_won"), 100);  // those of tdm
  EXPECT_EQ(types[0].at("ranking")[0].at("fights_lost"), 20);
  EXPECT_NE(RunTool({"ranking", "--no-cache", log.path()}).out.find("[provisional tdm]\n"),
            std::string::npos);

  const auto people = RunTool({"people", "--no-cache", "--json", log.path()});
  ASSERT_EQ(people.status, 0) << people.err;
  nlohmann::json al;
  const nlohmann::json everyone = nlohmann::json::parse(people.out);
  for (const nlohmann::json& person : everyone.at("people")) {
    if (person.at("name") == "Al") al = person;
  }
  ASSERT_TRUE(al.is_object());
  EXPECT_EQ(al.at("rating").at("games"), 23);
  EXPECT_EQ(al.at("rating").at("rank"), 1);
  const nlohmann::json& first = al.at("awards").at(0);
  EXPECT_EQ(first.at("award"), "kill streak");
  EXPECT_EQ(first.at("value"), 5);
  EXPECT_EQ(first.at("held"), true);
  EXPECT_EQ(first.at("kind"), "honour");

  const auto games = RunTool({"games", "--no-cache", "--json", log.path()});
  ASSERT_EQ(games.status, 0) << games.err;
  const nlohmann::json change =
      nlohmann::json::parse(games.out).at("games")[0].at("players")[0].at("rating_change");
  EXPECT_EQ(change.at("before"), 0.0);
  // Each award of a game once, its kind and its runner-up: Bo's streak of one after Al's five.
  const nlohmann::json game_awards = nlohmann::json::parse(games.out).at("games")[0].at("awards");
  ASSERT_FALSE(game_awards.empty());
  EXPECT_EQ(game_awards[0].at("award"), "kill streak");
  EXPECT_EQ(game_awards[0].at("kind"), "honour");
  EXPECT_EQ(game_awards[0].at("value"), 5);
  EXPECT_EQ(game_awards[0].at("runner_up").at("value"), 1);
  EXPECT_GT(change.at("after").get<double>(), -1.0);
}

}  // namespace
}  // namespace barvik
