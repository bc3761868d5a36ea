// How well the skill rating recovers the hidden skills of generated histories, against the
// kills-per-death ranking: Spearman's correlation over the players with 10 or more games, per
// seed, with the team result rated on top of the fights and without, and the median plus-minus
// of the players with 20 or more games.
// Usage: barvik-rating-agreement [SEEDS [GAMES [PLAYERS]]] (defaults 10, 300, 60).
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
      player.seconds = p.seconds;
      if (p.team_seconds[0] > 0) player.team_seconds.emplace_back("axis", p.team_seconds[0]);
      if (p.team_seconds[1] > 0) player.team_seconds.emplace_back("allies", p.team_seconds[1]);
      rated.players.push_back(std::move(player));
    }
    for (const auto& [killer, victim] : game.kills) {
      rated.duels.push_back({static_cast<uint32_t>(killer), static_cast<uint32_t>(victim)});
    }
    games.push_back(std::move(rated));
  }
  return games;
}

struct Agreement {
  size_t players = 0;       // with 10 or more games
  double rating = 0.0;      // shown skill, the log read into games and people
  double other = 0.0;       // the same with the team result rated (or not) unlike the default
  double mean = 0.0;        // mu alone, the same
  double as_written = 0.0;  // shown skill, from the games as the generator wrote them
  double kills_per_death = 0.0;
  double plus_minus = 0.0;  // median plus-minus of the players with 20 or more games
};

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const size_t half = values.size() / 2;
  return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

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
  RatingOptions other_options;
  other_options.team_result = !other_options.team_result;
  GameRatings other{RatingHistory(other_options), {}};
  RateGames(model, other);
  RatingHistory written;
  for (const RatedGameInput& game : GamesOf(log)) written.Add(game);

  std::vector<double> hidden, shown, shown_other, mu, direct, ratio, plus_minus;
  for (const HiddenPlayer& player : log.players) {
    const PersonIndex index = model.FindPerson(store, player.name);
    if (index == kNoPerson) continue;
    const Person& person = model.people[index];
    const auto rating = read.history.Find(person.id);
    if (!rating || rating->games < 10) continue;
    if (rating->games >= 20) plus_minus.push_back(rating->plus_minus);
    hidden.push_back(player.skill);
    shown.push_back(rating->shown);
    shown_other.push_back(other.history.Find(person.id)->shown);
    mu.push_back(rating->skill.mu);
    const auto as_written = written.Find(player.guid);
    direct.push_back(as_written ? as_written->shown : 0.0);
    ratio.push_back(static_cast<double>(person.kills) / std::max<uint32_t>(person.deaths, 1));
  }
  return {hidden.size(),
          SpearmanCorrelation(shown, hidden),
          SpearmanCorrelation(shown_other, hidden),
          SpearmanCorrelation(mu, hidden),
          SpearmanCorrelation(direct, hidden),
          SpearmanCorrelation(ratio, hidden),
          Median(plus_minus)};
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
  const bool team_result = barvik::RatingOptions().team_result;
  std::printf(
      "seed  players>=10  rating  (%s result)  (mu alone)  (as written)  kills/death  "
      "+-(20+ games)\n",
      team_result ? "without" : "with");
  barvik::Agreement sum;
  int ahead = 0;
  double lowest = 1.0;
  std::vector<double> plus_minus;
  for (int seed = 1; seed <= seeds; ++seed) {
    options.seed = static_cast<uint64_t>(seed);
    const barvik::Agreement a = barvik::Measure(barvik::GenerateSkillLog(options));
    std::printf("%4d  %11zu  %6.3f  %16.3f  %10.3f  %12.3f  %11.3f  %13.2f\n", seed, a.players,
                a.rating, a.other, a.mean, a.as_written, a.kills_per_death, a.plus_minus);
    sum.rating += a.rating;
    sum.other += a.other;
    lowest = std::min(lowest, a.rating);
    plus_minus.push_back(a.plus_minus);
    sum.mean += a.mean;
    sum.as_written += a.as_written;
    sum.kills_per_death += a.kills_per_death;
    ahead += a.rating > a.kills_per_death ? 1 : 0;
  }
  std::printf(
      "mean  %11s  %6.3f  %16.3f  %10.3f  %12.3f  %11.3f  %13.2f\nlowest rating %.3f; rating "
      "ahead on %d of %d seeds\n",
      "", sum.rating / seeds, sum.other / seeds, sum.mean / seeds, sum.as_written / seeds,
      sum.kills_per_death / seeds, barvik::Median(plus_minus), lowest, ahead, seeds);
  return 0;
}
