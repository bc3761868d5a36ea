// The rating model: the reference values of a published implementation of the same paper, the
// weights and the input it must not trip on.
#include "stats/Rating.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

namespace barvik {
namespace {

TEST(RatingTest, ReproducesTheReferenceValues) {
  std::ifstream in(BARVIK_TEST_DATA "/rating-reference.json");
  ASSERT_TRUE(in);
  const nlohmann::json reference = nlohmann::json::parse(in);
  int cases = 0;
  for (const nlohmann::json& c : reference.at("cases")) {
    SCOPED_TRACE(c.at("case").get<std::string>());
    if (c.contains("value")) {
      EXPECT_NEAR(ShownSkill(Skill{}), c.at("value").get<double>(), 1e-9);
      continue;
    }
    std::vector<RatedTeam> teams;
    for (size_t t = 0; t < c.at("input").size(); ++t) {
      RatedTeam team;
      team.rank = c.at("rank").at(t).get<int>();
      for (const nlohmann::json& p : c.at("input").at(t)) team.players.push_back({p[0], p[1]});
      teams.push_back(team);
    }
    RateGame(teams);
    for (size_t t = 0; t < teams.size(); ++t) {
      for (size_t p = 0; p < teams[t].players.size(); ++p) {
        const nlohmann::json& want = c.at("output").at(t).at(p);
        EXPECT_NEAR(teams[t].players[p].mu, want[0].get<double>(), 1e-9) << t << "/" << p;
        EXPECT_NEAR(teams[t].players[p].sigma, want[1].get<double>(), 1e-9) << t << "/" << p;
      }
    }
    ++cases;
  }
  EXPECT_EQ(cases, 4);
}

// A weight scales the player's change of mu and of sigma^2, and only his.
TEST(RatingTest, WeightScalesTheShareOfTheUpdate) {
  auto duel = [](double weight) {
    std::vector<RatedTeam> teams{{{Skill{}}, 1, {weight}}, {{Skill{}}, 2, {}}};
    RateGame(teams);
    return teams;
  };
  const auto full = duel(1.0);
  const auto half = duel(0.5);
  const auto none = duel(0.0);
  EXPECT_NEAR(half[0].players[0].mu - 25.0, 0.5 * (full[0].players[0].mu - 25.0), 1e-12);
  EXPECT_GT(half[0].players[0].sigma, full[0].players[0].sigma);
  EXPECT_DOUBLE_EQ(none[0].players[0].mu, 25.0);
  // tau still widens a player who took no part in the ranking's outcome.
  EXPECT_GT(none[0].players[0].sigma, 25.0 / 3.0);
  EXPECT_DOUBLE_EQ(half[1].players[0].mu, full[1].players[0].mu);
  // Out-of-range weights are clamped, NaN counts as no share.
  EXPECT_DOUBLE_EQ(duel(7.0)[0].players[0].mu, full[0].players[0].mu);
  EXPECT_DOUBLE_EQ(duel(std::nan(""))[0].players[0].mu, 25.0);
}

TEST(RatingTest, DegenerateGamesChangeNothingAndHugeSkillsStayFinite) {
  {  // one team, or a second team without players
    std::vector<RatedTeam> teams{{{Skill{}, Skill{}}, 1, {}}, {{}, 2, {}}};
    RateGame(teams);
    EXPECT_DOUBLE_EQ(teams[0].players[0].mu, 25.0);
    EXPECT_DOUBLE_EQ(teams[0].players[0].sigma, 25.0 / 3.0);
  }
  {  // means far apart: exp(mu / c) overflows, or every term below the best underflows
    std::vector<RatedTeam> teams{
        {{Skill{1e6, 1}}, 1, {}}, {{Skill{-1e6, 1}}, 2, {}}, {{Skill{-1e6, 1}}, 3, {}}};
    RateGame(teams);
    for (const RatedTeam& team : teams) {
      EXPECT_TRUE(std::isfinite(team.players[0].mu));
      EXPECT_TRUE(std::isfinite(team.players[0].sigma));
    }
  }
}

}  // namespace
}  // namespace barvik
