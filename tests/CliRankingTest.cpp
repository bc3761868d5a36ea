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

  EXPECT_EQ(RunTool({"ranking", "--weapon", "x", log.path()}).status, 2);
  EXPECT_EQ(RunTool({"ranking"}).status, 2);
}

}  // namespace
}  // namespace barvik
