// The rating model: the reference values of a published implementation of the same paper for
// rankings of teams and for fights, the weights and the input it must not trip on.
#include "stats/Rating.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <map>
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

// The fights of the reference file: single fights, some after tau, and a sequence (tau 0).
TEST(RatingTest, FightsReproduceTheReferenceValues) {
  std::ifstream in(BARVIK_TEST_DATA "/rating-duels.json");
  ASSERT_TRUE(in);
  const nlohmann::json reference = nlohmann::json::parse(in);
  int cases = 0;
  for (const nlohmann::json& c : reference.at("cases")) {
    const std::string name = c.at("case").get<std::string>();
    SCOPED_TRACE(name);
    if (c.contains("input")) {
      std::array<Skill, 2> players;
      for (size_t t = 0; t < 2; ++t) {
        players[t] = {c.at("input").at(t).at(0).at(0), c.at("input").at(t).at(0).at(1)};
        if (name.find("tau") != std::string::npos) AddTau(players[t]);
      }
      const size_t winner = c.at("rank").at(0).get<int>() < c.at("rank").at(1).get<int>() ? 0 : 1;
      RateDuel(players[winner], players[1 - winner]);
      for (size_t t = 0; t < 2; ++t) {
        EXPECT_NEAR(players[t].mu, c.at("output").at(t).at(0).at(0).get<double>(), 1e-9) << t;
        EXPECT_NEAR(players[t].sigma, c.at("output").at(t).at(0).at(1).get<double>(), 1e-9) << t;
      }
      ++cases;
    } else if (!name.starts_with("one game")) {  // that one is a game: RatingHistoryTest
      std::map<std::string, Skill> players;
      for (const nlohmann::json& duel : c.at("sequence")) {
        RateDuel(players[duel[0].get<std::string>()], players[duel[1].get<std::string>()]);
      }
      for (const auto& [who, want] : c.at("output").items()) {
        EXPECT_NEAR(players[who].mu, want[0].get<double>(), 1e-9) << who;
        EXPECT_NEAR(players[who].sigma, want[1].get<double>(), 1e-9) << who;
      }
      ++cases;
    }
  }
  EXPECT_EQ(cases, 4);
  // Skills far apart: the certain winner moves by nothing, nothing overflows.
  Skill strong{1e6, 1}, weak{-1e6, 1};
  RateDuel(strong, weak);
  EXPECT_DOUBLE_EQ(strong.mu, 1e6);
  RateDuel(weak, strong);
  for (const Skill& s : {strong, weak}) {
    EXPECT_TRUE(std::isfinite(s.mu));
    EXPECT_GT(s.sigma, 0.0);
  }
  EXPECT_LT(strong.mu, 1e6);
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
