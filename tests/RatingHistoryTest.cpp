// The ratings over a history of games: fights rated in log order with tau once per game, the
// team result, certainty deciding who is ranked, and the drift of those who stay away.
#include "stats/RatingHistory.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

namespace barvik {
namespace {

RatedPlayer Ffa(std::string person, int seconds = 600) { return {std::move(person), seconds, {}}; }

RatedPlayer OnTeams(std::string person, std::vector<std::pair<std::string, int>> teams) {
  int seconds = 0;
  for (const auto& [team, s] : teams) seconds += s;
  return {std::move(person), seconds, std::move(teams)};
}

// A game of `players` whose fights are `fights` (winner, loser: indexes into `players`).
RatedGameInput Game(std::vector<RatedPlayer> players,
                    const std::vector<std::pair<uint32_t, uint32_t>>& fights = {},
                    std::optional<std::string> winner = std::nullopt) {
  RatedGameInput game{std::move(players), {}, 600, std::move(winner)};
  for (const auto& [w, l] : fights) game.duels.push_back({w, l});
  return game;
}

// "p" and a number (written so, g++ 12 gives a false -Wrestrict for "p" + std::to_string(n)).
std::string P(int n) {
  std::string name = std::to_string(n);
  name.insert(name.begin(), 'p');
  return name;
}

double Mu(const RatingHistory& history, const std::string& person) {
  return history.Find(person)->skill.mu;
}

// One game of the reference values: tau once per person, then the fights in order, tau 0.
TEST(RatingHistoryTest, OneGameOfFightsMatchesTheReferenceValues) {
  std::ifstream in(BARVIK_TEST_DATA "/rating-duels.json");
  ASSERT_TRUE(in);
  const nlohmann::json reference = nlohmann::json::parse(in);
  const nlohmann::json* game = nullptr;
  for (const nlohmann::json& c : reference.at("cases")) {
    if (c.at("case").get<std::string>().starts_with("one game")) game = &c;
  }
  ASSERT_NE(game, nullptr);
  std::vector<std::string> names;
  RatedGameInput input;
  auto index = [&](const std::string& name) {
    const auto it = std::find(names.begin(), names.end(), name);
    if (it != names.end()) return static_cast<uint32_t>(it - names.begin());
    names.push_back(name);
    input.players.push_back(Ffa(name));
    return static_cast<uint32_t>(names.size() - 1);
  };
  for (const nlohmann::json& duel : game->at("sequence")) {
    const uint32_t winner = index(duel[0]), loser = index(duel[1]);
    input.duels.push_back({winner, loser});
  }
  RatingHistory history;
  const auto changes = history.Add(input);
  ASSERT_EQ(changes.size(), 3u);
  for (const auto& [name, want] : game->at("output").items()) {
    SCOPED_TRACE(name);
    EXPECT_NEAR(history.Find(name)->skill.mu, want[0].get<double>(), 1e-9);
    EXPECT_NEAR(history.Find(name)->skill.sigma, want[1].get<double>(), 1e-9);
  }
  EXPECT_DOUBLE_EQ(changes[0].before, 0.0);
  EXPECT_DOUBLE_EQ(changes[0].after, ShownSkill(history.Find("alpha")->skill));
  const RatingRecord bravo = history.Find("bravo")->record;
  EXPECT_EQ(bravo.fights_won, 1);
  EXPECT_EQ(bravo.fights_lost, 1);
}

TEST(RatingHistoryTest, PeopleWithoutFightsOrTimeAndBrokenFights) {
  RatingHistory history;
  // Present without a fight: widened by tau, counted as a game; absent and without a fight: not
  // in the game; a fight names him all the same when his time is 0.
  const auto changes = history.Add(
      Game({Ffa("a"), Ffa("b"), Ffa("idle"), Ffa("gone", 0), Ffa("late", 0), Ffa("a", 0)},
           {{0, 1}, {4, 0}, {5, 1}, {0, 5}, {9, 0}, {2, 2}}));
  ASSERT_EQ(changes.size(), 4u);  // a, b, idle, late; a's second entry is a
  EXPECT_FALSE(history.Find("gone"));
  const PersonRating idle = *history.Find("idle");
  EXPECT_DOUBLE_EQ(idle.skill.mu, 25.0);
  EXPECT_NEAR(idle.skill.sigma, std::sqrt(25.0 * 25.0 / 9.0 + 25.0 * 25.0 / 90000.0), 1e-12);
  EXPECT_EQ(idle.games, 1);
  // a: won against b, lost to late, won against b (his second entry), and his fight against
  // himself is none; a fight naming no player is left out.
  EXPECT_EQ(history.Find("a")->record.fights_won, 2);
  EXPECT_EQ(history.Find("a")->record.fights_lost, 1);
  EXPECT_EQ(history.Find("late")->record.fights_won, 1);
  // Fewer than two people is no game.
  EXPECT_TRUE(history.Add(Game({Ffa("a"), Ffa("a")}, {{0, 1}})).empty());
  EXPECT_EQ(history.Games(), 1);
}

TEST(RatingHistoryTest, TheTeamResultMovesTheWinnersOnlyWhenRated) {
  const RatedGameInput game =
      Game({OnTeams("a", {{"axis", 600}}), OnTeams("b", {{"axis", 600}}),
            OnTeams("c", {{"allies", 600}}), OnTeams("d", {{"allies", 600}})},
           {{0, 2}, {1, 3}}, "allies");
  RatingOptions fights_only;
  fights_only.team_result = false;
  RatingHistory with_result, without_result(fights_only);
  with_result.Add(game);
  without_result.Add(game);
  for (const char* loser : {"a", "b"}) {
    EXPECT_LT(Mu(with_result, loser), Mu(without_result, loser)) << loser;
    EXPECT_EQ(with_result.Find(loser)->record.results_lost, 1) << loser;
  }
  for (const char* winner : {"c", "d"}) {
    EXPECT_GT(Mu(with_result, winner), Mu(without_result, winner)) << winner;
    EXPECT_EQ(without_result.Find(winner)->record.results_won, 1) << winner;
  }
  // A player on both teams counts for the one he spent longer on, weighted by that time.
  auto team_gain = [](std::vector<std::pair<std::string, int>> teams) {
    RatingHistory history;
    history.Add(Game({OnTeams("x", std::move(teams)), OnTeams("y", {{"axis", 600}}),
                      OnTeams("z", {{"allies", 600}})},
                     {}, "allies"));
    return Mu(history, "x") - 25.0;
  };
  const double switched = team_gain({{"axis", 100}, {"allies", 500}});
  EXPECT_GT(switched, 0.0);
  EXPECT_LT(switched, team_gain({{"allies", 600}}));
  EXPECT_LT(team_gain({{"axis", 500}, {"allies", 100}}), 0.0);
}

// A LAN evening: ten people, five games, everyone fights about 110 times; one latecomer
// fights ten times. Fights go to the better of two by a fixed pattern.
std::vector<RatedGameInput> Evening() {
  std::vector<RatedGameInput> games;
  uint32_t turn = 0;
  for (int g = 0; g < 5; ++g) {
    RatedGameInput game;
    game.seconds = 600;
    for (int p = 0; p < 10; ++p) game.players.push_back(Ffa(P(p)));
    if (g == 4) game.players.push_back(Ffa("late"));
    for (int f = 0; f < 110; ++f, ++turn) {  // every pair in turn, 2.4 times a game
      uint32_t a = 0, b = turn % 45 + 1;
      while (b > 9 - a) b -= 9 - a++;
      b += a;
      const bool upset = turn % 4 == 0;  // the weaker wins one fight in four
      game.duels.push_back(upset ? RatedDuel{b, a} : RatedDuel{a, b});
    }
    if (g == 4) {
      for (uint32_t f = 0; f < 10; ++f) game.duels.push_back({f % 2 ? 10u : f, f % 2 ? f : 10u});
    }
    games.push_back(std::move(game));
  }
  return games;
}

TEST(RatingHistoryTest, CertaintyDecidesWhoIsRanked) {
  RatingHistory history;
  for (const RatedGameInput& game : Evening()) history.Add(game);
  const auto ranking = history.Ranking();
  ASSERT_EQ(ranking.size(), 11u);
  for (int p = 0; p < 10; ++p) {
    const PersonRating r = *history.Find(P(p));
    EXPECT_GE(r.record.fights_won + r.record.fights_lost, 100) << p;
    EXPECT_FALSE(r.provisional) << p << " +-" << r.plus_minus;
    EXPECT_LE(r.plus_minus, history.options().provisional_plus_minus);
    EXPECT_GT(r.rank, 0);
  }
  const PersonRating late = *history.Find("late");
  EXPECT_TRUE(late.provisional) << late.plus_minus;
  EXPECT_EQ(late.rank, 0);
  EXPECT_EQ(ranking.back().person, "late");  // shown apart, after the ranked
  // The order follows the fights: p0 beats everyone above him most of the time.
  EXPECT_EQ(ranking[0].person, "p0");
  EXPECT_EQ(ranking[9].person, "p9");

  // The bound decides: a stricter one leaves everyone provisional after one evening.
  RatingOptions strict;
  strict.provisional_plus_minus = 3.0;
  RatingHistory sure(strict);
  for (const RatedGameInput& game : Evening()) sure.Add(game);
  for (const PersonRating& r : sure.Ranking()) EXPECT_TRUE(r.provisional) << r.person;
}

TEST(RatingHistoryTest, MissedGamesWidenSigmaUpToTheCapAndEndInInactivity) {
  RatingOptions options;
  options.inactive_after = 50;
  RatingHistory history(options);
  for (const RatedGameInput& game : Evening()) history.Add(game);
  const double sigma = history.Find("p0")->skill.sigma;
  for (int game = 0; game < 20; ++game) history.Add(Game({Ffa("b"), Ffa("c")}, {{0, 1}}));
  PersonRating away = *history.Find("p0");
  EXPECT_EQ(away.games_missed, 20);
  EXPECT_NEAR(away.skill.sigma * away.skill.sigma, sigma * sigma + 20 * options.drift, 1e-9);
  EXPECT_FALSE(away.inactive);
  EXPECT_GT(away.rank, 0);  // he drifts, but is still ranked

  for (int game = 0; game < 30; ++game) history.Add(Game({Ffa("b"), Ffa("c")}, {{0, 1}}));
  away = *history.Find("p0");
  EXPECT_TRUE(away.inactive);
  EXPECT_EQ(away.rank, 0);

  // Back after a long time: the drift stops at the newcomer's sigma; tau once for his game.
  RatingOptions fast = options;
  fast.drift = 100.0;
  RatingHistory drifting(fast);
  for (const RatedGameInput& game : Evening()) drifting.Add(game);
  drifting.Add(Game({Ffa("b"), Ffa("c")}, {{0, 1}}));
  EXPECT_DOUBLE_EQ(drifting.Find("p0")->skill.sigma, 25.0 / 3.0);
  const double mu = drifting.Find("p0")->skill.mu;
  const auto back = drifting.Add(Game({Ffa("p0"), Ffa("p1")}));
  EXPECT_NEAR(back[0].before, mu - 25.0, 1e-12);
  EXPECT_EQ(drifting.Find("p0")->games_missed, 0);
}

TEST(RatingHistoryTest, SavedStateContinuesExactlyAndDamagedStateIsRefused) {
  std::vector<RatedGameInput> games;
  for (uint32_t g = 0; g < 30; ++g) {
    std::string odd = "odd name\n:";  // ids are kept whatever bytes they hold
    odd += std::to_string(g % 3);
    std::string plain = "p";
    plain += std::to_string(g % 7);
    games.push_back(
        Game({OnTeams(plain, {{"axis", 600}}), OnTeams(odd, {{"allies", 400}}), Ffa("q", 300)},
             {{g % 3, (g + 1) % 3}, {1, 0}, {2, g % 2}}, g % 2 ? "axis" : "allies"));
  }
  RatingHistory whole, first;
  for (const RatedGameInput& game : games) whole.Add(game);
  for (int g = 0; g < 20; ++g) first.Add(games[static_cast<size_t>(g)]);
  const std::string saved = first.Save();
  std::optional<RatingHistory> continued = RatingHistory::Restore(saved);
  ASSERT_TRUE(continued);
  for (size_t g = 20; g < games.size(); ++g) continued->Add(games[g]);
  EXPECT_EQ(continued->Save(), whole.Save());

  RatingOptions other;
  other.drift = 0.5;
  EXPECT_FALSE(RatingHistory::Restore(saved, other));
  RatingOptions no_result;
  no_result.team_result = false;
  EXPECT_FALSE(RatingHistory::Restore(saved, no_result));
  RatingOptions bound;
  bound.provisional_plus_minus = 6.0;
  EXPECT_FALSE(RatingHistory::Restore(saved, bound));
  EXPECT_FALSE(RatingHistory::Restore(saved.substr(0, saved.size() - 3)));
  EXPECT_FALSE(RatingHistory::Restore(saved + "x"));
  std::string version = saved;
  version.replace(0, 16, "barvik-ratings 1");  // a state of the rating by score
  EXPECT_FALSE(RatingHistory::Restore(version));
  std::string damaged = saved;
  damaged[saved.find("11:odd name") + 20] = 'z';
  EXPECT_FALSE(RatingHistory::Restore(damaged));
  EXPECT_FALSE(RatingHistory::Restore(""));
}

}  // namespace
}  // namespace barvik
