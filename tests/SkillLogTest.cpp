// The hidden-skill log generator: its lines read as a real server's, and agree with what it
// says it wrote; and the rank correlation the rating is measured with.
#include "tools/loggen/SkillLog.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/TestLog.h"

namespace barvik {
namespace {

TEST(SkillLogTest, LinesReadAsARealServersAndMatchTheGamesWritten) {
  const SkillLog log = GenerateSkillLog({7, 40, 20});
  EXPECT_EQ(GenerateSkillLog({7, 40, 20}).text, log.text);
  ASSERT_EQ(log.games.size(), 40u);

  int64_t kills = 0;  // K lines with another player as attacker
  int64_t results = 0;
  std::set<int> played;
  for (const SkillGame& game : log.games) {
    for (const SkillGamePlayer& p : game.players) {
      kills += p.kills + p.team_kills;
      played.insert(p.player);
      EXPECT_LE(p.team_seconds[0] + p.team_seconds[1], game.seconds);
      EXPECT_EQ(game.gametype == "dm", p.team_seconds[0] + p.team_seconds[1] == 0);
    }
    results += game.winner >= 0 ? 1 : 0;
  }
  testing::TempLog file(log.text);
  Workspace ws;
  std::vector<std::string> errors;
  ws.hooks.line_error = [&](const std::string& m) { errors.push_back(m); };
  ASSERT_TRUE(ws.RunAnalysis(file.path()));
  EXPECT_TRUE(errors.empty()) << errors.front();
  const ReportList& players = ws.List(ListId::Players);
  EXPECT_EQ(testing::Cell(players, kTotalRowCaption, "Kills"), std::to_string(kills));
  EXPECT_EQ(players.rows.size(), played.size() + 1);  // every player once, and the total row
  size_t inits = 0, wins = 0;
  for (size_t at = 0; (at = log.text.find("InitGame: ", at)) != std::string::npos; ++at) ++inits;
  for (size_t at = 0; (at = log.text.find(" W;", at)) != std::string::npos; ++at) ++wins;
  EXPECT_EQ(inits, 40u);
  EXPECT_EQ(static_cast<int64_t>(wins), results);
}

TEST(SkillLogTest, SpearmanCorrelationRanksTiesByTheirMean) {
  EXPECT_DOUBLE_EQ(SpearmanCorrelation({1, 2, 3, 4}, {10, 20, 30, 400}), 1.0);
  EXPECT_DOUBLE_EQ(SpearmanCorrelation({1, 2, 3}, {3, 2, 1}), -1.0);
  // Ranks 1.5, 1.5, 3 against 1, 2, 3.
  EXPECT_NEAR(SpearmanCorrelation({5, 5, 9}, {1, 2, 3}), 0.8660254037844386, 1e-12);
  EXPECT_DOUBLE_EQ(SpearmanCorrelation({1, 1}, {1, 2}), 0.0);
  EXPECT_DOUBLE_EQ(SpearmanCorrelation({1}, {1}), 0.0);
}

}  // namespace
}  // namespace barvik
