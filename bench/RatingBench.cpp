// The skill ratings and awards of the large generated logs: rating the whole history of games,
// one new game after a kept state, and the awards, against the analysis run (the `tables` time)
// they may add to.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "bench/BenchLog.h"
#include "log/LogFile.h"
#include "stats/Awards.h"
#include "stats/GameRatings.h"
#include "stats/Games.h"

namespace barvik {
namespace {

std::pair<std::unique_ptr<LogFile>, GamesModel>& LogAndModel(size_t lines) {
  static std::map<size_t, std::pair<std::unique_ptr<LogFile>, GamesModel>> models;
  auto& entry = models[lines];
  if (!entry.first) {
    entry.first = std::make_unique<LogFile>(BenchLogPath(lines));
    entry.second = BuildGames(entry.first->events());
  }
  return entry;
}

const GamesModel& ModelOf(size_t lines) { return LogAndModel(lines).second; }

void BM_RateAllGames(benchmark::State& state) {
  const GamesModel& model = ModelOf(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    GameRatings ratings;
    RateGames(model, ratings);
    benchmark::DoNotOptimize(ratings.history.Games());
  }
  state.counters["games"] = static_cast<double>(model.games.size());
  state.counters["people"] = static_cast<double>(model.people.size());
}
BENCHMARK(BM_RateAllGames)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

// A kept state (saved as text and restored, as between two runs) and the last game rated.
void BM_RateOneNewGame(benchmark::State& state) {
  const GamesModel& model = ModelOf(static_cast<size_t>(state.range(0)));
  GamesModel all_but_last = model;
  all_but_last.games.pop_back();
  GameRatings base;
  RateGames(all_but_last, base);
  const std::string saved = base.history.Save();
  for (auto _ : state) {
    GameRatings next{*RatingHistory::Restore(saved), base.changes};
    RateGames(model, next);
    benchmark::DoNotOptimize(next.history.Games());
  }
}
BENCHMARK(BM_RateOneNewGame)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

// What an export does for the ratings: over all games and per game type, with the state to keep
// for the next run; from nothing (range 1: 0) or after a run that kept the state before the
// last game (range 1: 1), the state read, checked against the games and continued.
void BM_RateModel(benchmark::State& state) {
  const auto& [log, model] = LogAndModel(static_cast<size_t>(state.range(0)));
  const GameTexts texts(log->events());
  GamesModel all_but_last = model;
  all_but_last.games.pop_back();
  std::string kept;
  if (state.range(1) != 0) RateModel(all_but_last, texts, "", &kept);
  for (auto _ : state) {
    std::string save;
    const ModelRatings ratings = RateModel(model, texts, kept, &save);
    benchmark::DoNotOptimize(ratings.kept_games);
  }
  state.counters["kept_bytes"] = static_cast<double>(kept.size());
}
BENCHMARK(BM_RateModel)
    ->Args({1000000, 0})
    ->Args({1000000, 1})
    ->Args({4000000, 0})
    ->Args({4000000, 1})
    ->Unit(benchmark::kMillisecond);

// Every award per game and over all games (the stock weapons have no groups here: the group
// awards cost the same lookups either way).
void BM_ComputeAwards(benchmark::State& state) {
  const auto& [log, model] = LogAndModel(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    const AwardsModel awards = ComputeAwards(log->events(), model);
    benchmark::DoNotOptimize(&awards);
  }
}
BENCHMARK(BM_ComputeAwards)->Arg(1000000)->Arg(4000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace barvik
