// How well the skill rating recovers the hidden skills of generated histories, against the
// kills-per-death ranking: Spearman's correlation over the players with 10 or more games, per
// seed. Usage: barvik-rating-agreement [SEEDS [GAMES [PLAYERS]]] (defaults 10, 300, 60).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "log/EventStore.h"
#include "stats/GameRatings.h"
#include "stats/Games.h"
#include "stats/RatingHistory.h"
#include "tools/loggen/SkillLog.h"

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
  size_t players = 0;       // with 10 or more games
  double rating = 0.0;      // shown skill, the log read into games and people
  double mean = 0.0;        // mu alone, the same
  double as_written = 0.0;  // shown skill, from the games as the generator wrote them
  double kills_per_death = 0.0;
};

Agreement Measure(const SkillLog& log) {
  EventStore store;
  for (size_t at = 0; at < log.text.size();) {
    const size_t end = log.text.find('\n', at);
    store.AddLine(std::string_view(log.text).substr(at, end - at));
    at = end == std::string::npos ? log.text.size() : end + 1;
  }
  store.Finish();
  const GamesModel model = BuildGames(store);
  GameRatings read;
  RateGames(model, read);
  RatingHistory written;
  for (const RatedGameInput& game : GamesOf(log)) written.Add(game);

  std::vector<double> hidden, shown, mu, direct, ratio;
  for (const HiddenPlayer& player : log.players) {
    const PersonIndex index = model.FindPerson(store, player.name);
    if (index == kNoPerson) continue;
    const Person& person = model.people[index];
    const auto rating = read.history.Find(person.id);
    if (!rating || rating->games < 10) continue;
    hidden.push_back(player.skill);
    shown.push_back(rating->shown);
    mu.push_back(rating->skill.mu);
    const auto as_written = written.Find(player.guid);
    direct.push_back(as_written ? as_written->shown : 0.0);
    ratio.push_back(static_cast<double>(person.kills) / std::max<uint32_t>(person.deaths, 1));
  }
  return {hidden.size(), SpearmanCorrelation(shown, hidden), SpearmanCorrelation(mu, hidden),
          SpearmanCorrelation(direct, hidden), SpearmanCorrelation(ratio, hidden)};
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
  std::printf("seed  players>=10  rating  (mu alone)  (as written)  kills/death\n");
  barvik::Agreement sum;
  int ahead = 0;
  for (int seed = 1; seed <= seeds; ++seed) {
    options.seed = static_cast<uint64_t>(seed);
    const barvik::Agreement a = barvik::Measure(barvik::GenerateSkillLog(options));
    std::printf("%4d  %11zu  %6.3f  %11.3f  %12.3f  %11.3f\n", seed, a.players, a.rating, a.mean,
                a.as_written, a.kills_per_death);
    sum.rating += a.rating;
    sum.mean += a.mean;
    sum.as_written += a.as_written;
    sum.kills_per_death += a.kills_per_death;
    ahead += a.rating > a.kills_per_death ? 1 : 0;
  }
  std::printf("mean  %11s  %6.3f  %11.3f  %12.3f  %11.3f\nrating ahead on %d of %d seeds\n", "",
              sum.rating / seeds, sum.mean / seeds, sum.as_written / seeds,
              sum.kills_per_death / seeds, ahead, seeds);
  return 0;
}
