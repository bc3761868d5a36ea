// The ratings over a history of games: free-for-all by score, the team result, time shares,
// provisional people and the drift of those who stay away.
#include "stats/RatingHistory.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

RatedPlayer Ffa(std::string person, int score, int seconds = 600) {
  return {std::move(person), score, seconds, {}};
}

RatedPlayer OnTeams(std::string person, int score, std::vector<std::pair<std::string, int>> teams) {
  int seconds = 0;
  for (const auto& [team, s] : teams) seconds += s;
  return {std::move(person), score, seconds, std::move(teams)};
}

RatedGameInput Game(std::vector<RatedPlayer> players,
                    std::optional<std::string> winner = std::nullopt) {
  return {std::move(players), 600, std::move(winner)};
}

double Mu(const RatingHistory& history, const std::string& person) {
  return history.Find(person)->skill.mu;
}

TEST(RatingHistoryTest, FreeForAllRanksByScoreWithTies) {
  RatingHistory history;
  const auto changes = history.Add(Game({Ffa("a", 10), Ffa("b", 3), Ffa("c", 3), Ffa("d", -2)}));
  ASSERT_EQ(changes.size(), 4u);
  EXPECT_GT(Mu(history, "a"), Mu(history, "b"));
  EXPECT_DOUBLE_EQ(Mu(history, "b"), Mu(history, "c"));  // a tie moves both alike
  EXPECT_GT(Mu(history, "c"), Mu(history, "d"));
  // Fresh players with full time: what one wins the others lose.
  EXPECT_NEAR(Mu(history, "a") + Mu(history, "b") + Mu(history, "c") + Mu(history, "d"), 100.0,
              1e-9);
  EXPECT_EQ(changes[0].person, "a");
  EXPECT_DOUBLE_EQ(changes[0].before, 0.0);
  EXPECT_GT(changes[0].after, changes[3].after);
  // Beating the better rated moves one up more than beating the worse rated.
  RatingHistory strong = history, weak = history;
  strong.Add(Game({Ffa("d", 5), Ffa("a", 0)}));
  weak.Add(Game({Ffa("d", 5), Ffa("c", 0)}));
  EXPECT_GT(Mu(strong, "d"), Mu(weak, "d"));
}

TEST(RatingHistoryTest, TwoAgainstTwoCountsTheResultOnTopOfTheScores) {
  const RatedGameInput game =
      Game({OnTeams("a", 2, {{"axis", 600}}), OnTeams("b", 1, {{"axis", 600}}),
            OnTeams("c", 1, {{"allies", 600}}), OnTeams("d", 0, {{"allies", 600}})},
           "allies");
  RatingHistory with_result, without_result;
  with_result.Add(game);
  RatedGameInput no_result = game;
  no_result.winner.reset();
  without_result.Add(no_result);
  for (const char* loser : {"a", "b"}) {
    EXPECT_LT(Mu(with_result, loser), Mu(without_result, loser)) << loser;
  }
  for (const char* winner : {"c", "d"}) {
    EXPECT_GT(Mu(with_result, winner), Mu(without_result, winner)) << winner;
  }
  // The team update is shared alike by teammates of equal sigma.
  EXPECT_NEAR(Mu(with_result, "c") - Mu(without_result, "c"),
              Mu(with_result, "d") - Mu(without_result, "d"), 1e-9);
}

TEST(RatingHistoryTest, TimeSharesWeighTheUpdate) {
  auto gain = [](int seconds) {
    RatingHistory history;
    history.Add(Game({Ffa("a", 5, seconds), Ffa("b", 0), Ffa("c", -5)}));
    return Mu(history, "a") - 25.0;
  };
  EXPECT_NEAR(gain(300), 0.5 * gain(600), 1e-12);
  EXPECT_DOUBLE_EQ(gain(900), gain(600));  // longer than the game: clamped to the whole game
  RatingHistory absent;                    // no second played: not in the game at all
  EXPECT_EQ(absent.Add(Game({Ffa("a", 5, 0), Ffa("b", 0), Ffa("c", -5)})).size(), 2u);
  EXPECT_FALSE(absent.Find("a"));

  // A player on both teams counts for the one he spent longer on, weighted by that time.
  auto team_gain = [](std::vector<std::pair<std::string, int>> teams) {
    RatingHistory history;
    history.Add(Game({OnTeams("x", 0, std::move(teams)), OnTeams("y", 0, {{"axis", 600}}),
                      OnTeams("z", 0, {{"allies", 600}})},
                     "allies"));
    return Mu(history, "x") - 25.0;
  };
  const double switched = team_gain({{"axis", 100}, {"allies", 500}});
  EXPECT_GT(switched, 0.0);
  EXPECT_LT(switched, team_gain({{"allies", 600}}));
  EXPECT_LT(team_gain({{"axis", 500}, {"allies", 100}}), 0.0);
}

TEST(RatingHistoryTest, ProvisionalUntilTenGamesThenRanked) {
  RatingHistory history;
  for (int game = 0; game < 9; ++game) history.Add(Game({Ffa("a", 1), Ffa("b", 0)}));
  history.Add(Game({Ffa("a", 1), Ffa("c", 0)}));
  auto ranking = history.Ranking();
  ASSERT_EQ(ranking.size(), 3u);
  EXPECT_EQ(ranking[0].person, "a");
  EXPECT_EQ(ranking[0].rank, 1);
  EXPECT_FALSE(ranking[0].provisional);
  for (int i : {1, 2}) {  // shown apart, not ranked
    EXPECT_TRUE(ranking[i].provisional);
    EXPECT_EQ(ranking[i].rank, 0);
  }
  EXPECT_EQ(history.Find("b")->games, 9);
  // Fewer than two people is no game.
  EXPECT_TRUE(history.Add(Game({Ffa("a", 1), Ffa("a", 3)})).empty());
  EXPECT_EQ(history.Games(), 10);
}

TEST(RatingHistoryTest, MissedGamesWidenSigmaUpToTheCapAndEndInInactivity) {
  RatingOptions options;
  options.inactive_after = 50;
  RatingHistory history(options);
  for (int game = 0; game < 30; ++game) history.Add(Game({Ffa("a", 1), Ffa("b", 0)}));
  const double sigma = history.Find("a")->skill.sigma;
  for (int game = 0; game < 20; ++game) history.Add(Game({Ffa("b", 1), Ffa("c", 0)}));
  PersonRating away = *history.Find("a");
  EXPECT_EQ(away.games_missed, 20);
  EXPECT_NEAR(away.skill.sigma * away.skill.sigma, sigma * sigma + 20 * options.drift, 1e-9);
  EXPECT_FALSE(away.inactive);
  EXPECT_EQ(away.rank, 1);  // he drifts, but is still ranked

  for (int game = 0; game < 30; ++game) history.Add(Game({Ffa("b", 1), Ffa("c", 0)}));
  away = *history.Find("a");
  EXPECT_TRUE(away.inactive);
  EXPECT_EQ(away.rank, 0);

  // Back after a long time: the drift stops at the newcomer's sigma, and he is ranked again.
  RatingOptions fast = options;
  fast.drift = 100.0;
  RatingHistory drifting(fast);
  for (int game = 0; game < 10; ++game) drifting.Add(Game({Ffa("a", 1), Ffa("b", 0)}));
  drifting.Add(Game({Ffa("b", 1), Ffa("c", 0)}));
  EXPECT_DOUBLE_EQ(drifting.Find("a")->skill.sigma, 25.0 / 3.0);
  const double mu = drifting.Find("a")->skill.mu;
  const auto back = drifting.Add(Game({Ffa("a", 1), Ffa("b", 0)}));
  EXPECT_NEAR(back[0].before, mu - 25.0, 1e-12);
  EXPECT_EQ(drifting.Find("a")->games_missed, 0);
}

TEST(RatingHistoryTest, SavedStateContinuesExactlyAndDamagedStateIsRefused) {
  std::vector<RatedGameInput> games;
  for (int g = 0; g < 30; ++g) {
    std::string odd = "odd name\n:";  // ids are kept whatever bytes they hold
    odd += std::to_string(g % 3);
    std::string plain = "p";
    plain += std::to_string(g % 7);
    games.push_back(Game({OnTeams(plain, g % 5, {{"axis", 600}}),
                          OnTeams(odd, 2, {{"allies", 400}}), Ffa("q", -g % 4, 300)},
                         g % 2 ? "axis" : "allies"));
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
  EXPECT_FALSE(RatingHistory::Restore(saved.substr(0, saved.size() - 3)));
  EXPECT_FALSE(RatingHistory::Restore(saved + "x"));
  std::string version = saved;
  version.replace(0, 16, "barvik-ratings 2");
  EXPECT_FALSE(RatingHistory::Restore(version));
  std::string damaged = saved;
  damaged[saved.find("11:odd name") + 20] = 'z';
  EXPECT_FALSE(RatingHistory::Restore(damaged));
  EXPECT_FALSE(RatingHistory::Restore(""));
}

}  // namespace
}  // namespace barvik
