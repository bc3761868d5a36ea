// How well the skill rating recovers the hidden skills of generated histories, against the
// kills-per-death ranking: Spearman's correlation over the players with 10 or more games, per
// seed. Usage: barvik-rating-agreement [SEEDS [GAMES [PLAYERS]]] (defaults 10, 300, 60).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/SkillLog.h"
#include "stats/RatingHistory.h"

namespace barvik {
namespace {

// The games as the generator wrote them, in the rating's input form.
std::vector<RatedGameInput> GamesOf(const SkillLog& log) {
  std::vector<RatedGameInput> games;
  for (const SkillGame& game : log.games) {
    RatedGameInput rated;
    rated.seconds = game.seconds;
    if (game.winner >= 0) rated.winner = game.winner == 0 ? "axis" : "allies";
    for (const SkillGamePlayer& p : game.players) {
      RatedPlayer player;
      player.person = log.players[static_cast<size_t>(p.player)].guid;
      player.score = p.kills - p.deaths - p.team_kills;
      player.seconds = p.seconds;
      if (p.team_seconds[0] > 0) player.team_seconds.emplace_back("axis", p.team_seconds[0]);
      if (p.team_seconds[1] > 0) player.team_seconds.emplace_back("allies", p.team_seconds[1]);
      rated.players.push_back(std::move(player));
    }
    games.push_back(std::move(rated));
  }
  return games;
}

struct Agreement {
  size_t players = 0;  // with 10 or more games
  double rating = 0.0;
  double mean = 0.0;  // the rating's mu alone
  double kills_per_death = 0.0;
};

Agreement Measure(const SkillLog& log) {
  RatingHistory history;
  for (const RatedGameInput& game : GamesOf(log)) history.Add(game);
  std::vector<int> kills(log.players.size()), deaths(log.players.size());
  for (const SkillGame& game : log.games) {
    for (const SkillGamePlayer& p : game.players) {
      kills[static_cast<size_t>(p.player)] += p.kills;
      deaths[static_cast<size_t>(p.player)] += p.deaths;
    }
  }
  std::vector<double> hidden, shown, mu, ratio;
  for (size_t i = 0; i < log.players.size(); ++i) {
    const auto rating = history.Find(log.players[i].guid);
    if (!rating || rating->games < 10) continue;
    hidden.push_back(log.players[i].skill);
    shown.push_back(rating->shown);
    mu.push_back(rating->skill.mu);
    ratio.push_back(static_cast<double>(kills[i]) / std::max(deaths[i], 1));
  }
  return {hidden.size(), SpearmanCorrelation(shown, hidden), SpearmanCorrelation(mu, hidden),
          SpearmanCorrelation(ratio, hidden)};
}

}  // namespace
}  // namespace barvik

int main(int argc, char** argv) {
  const int seeds = argc > 1 ? std::atoi(argv[1]) : 10;
  barvik::SkillLogOptions options;
  if (argc > 2) options.games = std::atoi(argv[2]);
  if (argc > 3) options.players = std::atoi(argv[3]);
  if (seeds < 1 || options.games < 1 || options.players < 2) {
    std::fprintf(stderr, "usage: barvik-rating-agreement [SEEDS [GAMES [PLAYERS]]]\n");
    return 2;
  }
  std::printf("seed  players>=10  rating  (mu alone)  kills/death\n");
  double sum_rating = 0.0, sum_mean = 0.0, sum_ratio = 0.0;
  int beaten = 0;
  for (int seed = 1; seed <= seeds; ++seed) {
    options.seed = static_cast<uint64_t>(seed);
    const barvik::Agreement a = barvik::Measure(barvik::GenerateSkillLog(options));
    std::printf("%4d  %11zu  %6.3f  %11.3f  %11.3f\n", seed, a.players, a.rating, a.mean,
                a.kills_per_death);
    sum_rating += a.rating;
    sum_mean += a.mean;
    sum_ratio += a.kills_per_death;
    beaten += a.rating > a.kills_per_death ? 1 : 0;
  }
  std::printf("mean  %11s  %6.3f  %11.3f  %11.3f\nrating ahead on %d of %d seeds\n", "",
              sum_rating / seeds, sum_mean / seeds, sum_ratio / seeds, beaten, seeds);
  return 0;
}
