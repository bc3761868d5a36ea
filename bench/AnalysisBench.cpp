// The analysis run on the large generated log: loading, names, the statistics pass and the
// five global tables, as "Open..." does it; and the games and people model beside it.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "app/Workspace.h"
#include "bench/BenchLog.h"
#include "log/LogFile.h"
#include "log/NameList.h"
#include "stats/Games.h"
#include "stats/Statistics.h"
#include "tools/loggen/SkillLog.h"

namespace barvik {
namespace {

void BM_AnalysisRun(benchmark::State& state) {
  const std::string path = BenchLogPath();
  const auto bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    Workspace ws;
    ws.RunAnalysis(path);
    benchmark::DoNotOptimize(ws.List(ListId::Players).rows.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["lines"] = 1000000;
}
BENCHMARK(BM_AnalysisRun)->Unit(benchmark::kMillisecond)->MinTime(3);

// The parts of the run, to see where its time goes.
void BM_LoadLog(benchmark::State& state) {
  const std::string path = BenchLogPath();
  for (auto _ : state) {
    LogFile log(path);
    benchmark::DoNotOptimize(log.LineCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(path)) *
                          state.iterations());
}
BENCHMARK(BM_LoadLog)->Unit(benchmark::kMillisecond);

void BM_NamesAndStatistics(benchmark::State& state) {
  LogFile log(BenchLogPath());
  log.IgnoreCase = true;
  log.IgnoreColors = true;
  for (auto _ : state) {
    NameList names = BuildNameList(log);
    PlayerCounters counters(names.size());
    EventLists events;
    CountPlayerStatistics(log, names, counters, events, nullptr);
    benchmark::DoNotOptimize(counters.rows.data());
  }
}
BENCHMARK(BM_NamesAndStatistics)->Unit(benchmark::kMillisecond);

// The games and people of the log, beside the whole analysis run above: what the games,
// people and person commands and the site add to it.
void BM_GamesAndPeople(benchmark::State& state) {
  LogFile log(BenchLogPath());
  size_t games = 0, people = 0;
  for (auto _ : state) {
    GamesModel model = BuildGames(log.events());
    games = model.games.size();
    people = model.people.size();
    benchmark::DoNotOptimize(model.people.data());
  }
  state.counters["games"] = static_cast<double>(games);
  state.counters["people"] = static_cast<double>(people);
}
BENCHMARK(BM_GamesAndPeople)->Unit(benchmark::kMillisecond);

// The same on a history whose players hold their slots as on a real server (about a million
// lines: 3,000 games of 300 players), beside the analysis run of that log. The log above lets
// 300 players share 32 slots at once, which makes every line a rename: the worst case.
const std::string& HistoryLogPath() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "barvik-bench-history-3000.log";
    if (!std::filesystem::exists(file)) {
      SkillLogOptions o;
      o.seed = 7;
      o.games = 3000;
      o.players = 300;
      std::ofstream(file, std::ios::binary) << GenerateSkillLog(o).text;
    }
    return file.string();
  }();
  return path;
}

void BM_HistoryAnalysisRun(benchmark::State& state) {
  for (auto _ : state) {
    Workspace ws;
    ws.RunAnalysis(HistoryLogPath());
    benchmark::DoNotOptimize(ws.List(ListId::Players).rows.size());
  }
}
BENCHMARK(BM_HistoryAnalysisRun)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_HistoryGamesAndPeople(benchmark::State& state) {
  LogFile log(HistoryLogPath());
  for (auto _ : state) {
    GamesModel model = BuildGames(log.events());
    benchmark::DoNotOptimize(model.people.data());
  }
}
BENCHMARK(BM_HistoryGamesAndPeople)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace
}  // namespace barvik
