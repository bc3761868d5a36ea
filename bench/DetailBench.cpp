// The player detail on the large generated log: loading one player as a double click does
// (his indexed events and the fill), the scan alone, the weapon scan, the single pass that
// collects every player's events at once with the memory its event lists hold, and every
// player loaded from his index in turn.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/Workspace.h"
#include "bench/BenchLog.h"
#include "log/LogFile.h"
#include "stats/PlayerDetail.h"
#include "tools/support/AllPlayersEvents.h"

namespace barvik {
namespace {

// One analysed log for all benchmarks of this file.
Workspace& Analysed() {
  static Workspace* ws = [] {
    auto* w = new Workspace;
    w->RunAnalysis(BenchLogPath());
    return w;
  }();
  return *ws;
}

// A player from the middle of the players list (sorted by kills), and his names.
int MiddlePlayerRow(const Workspace& ws) {
  return static_cast<int>(ws.List(ListId::Players).rows.size() / 2);
}

std::vector<std::string> PlayerNames(const Workspace& ws) {
  std::vector<std::string> names;
  for (const Row& r : ws.List(ListId::Players).rows) {
    if (r.caption != kTotalRowCaption) names.push_back(r.caption);
  }
  return names;
}

size_t EventBytes(const PlayerEvents& e) {
  size_t bytes = 0;
  for (const EventGroup* g : {&e.weapons, &e.attack_locations, &e.victim_locations, &e.maps,
                              &e.game_types, &e.opponents, &e.turns}) {
    for (const auto& list : g->lists) bytes += list.capacity() * sizeof(KeyId);
  }
  return bytes;
}

void BM_LoadOnePlayer(benchmark::State& state) {
  Workspace& ws = Analysed();
  ws.SelectPlayerRow(MiddlePlayerRow(ws));
  const std::string name = ws.List(ListId::Players).SelectedRow()->caption;
  for (auto _ : state) {
    ws.ShowSelectedPlayer(name);
    benchmark::DoNotOptimize(ws.List(ListId::PlayerWeapon).rows.size());
  }
}
BENCHMARK(BM_LoadOnePlayer)->Unit(benchmark::kMillisecond);

void BM_CollectPlayerEvents(benchmark::State& state) {
  Workspace& ws = Analysed();
  const std::string name = PlayerNames(ws)[static_cast<size_t>(MiddlePlayerRow(ws))];
  for (auto _ : state) {
    PlayerEvents events;
    CollectPlayerEvents(*ws.log(), name, events, nullptr);
    benchmark::DoNotOptimize(events.weapons.lists.data());
  }
}
BENCHMARK(BM_CollectPlayerEvents)->Unit(benchmark::kMillisecond);

void BM_WeaponSelection(benchmark::State& state) {
  Workspace& ws = Analysed();
  ws.SelectPlayerRow(MiddlePlayerRow(ws));
  ws.ListViewPlayersDblClick();
  for (auto _ : state) {
    ws.SelectPlayerWeaponRow(1);
    benchmark::DoNotOptimize(ws.List(ListId::WeaponAccuracy).rows.size());
  }
}
BENCHMARK(BM_WeaponSelection)->Unit(benchmark::kMillisecond);

void BM_AllPlayersPass(benchmark::State& state) {
  Workspace& ws = Analysed();
  const std::vector<std::string> names = PlayerNames(ws);
  size_t bytes = 0;
  size_t pool_keys = 0;
  for (auto _ : state) {
    std::vector<PlayerEvents> all = CollectAllPlayersEvents(*ws.log(), names, nullptr);
    bytes = 0;
    for (const PlayerEvents& e : all) bytes += EventBytes(e);
    pool_keys = all.empty() ? 0 : all.front().pool->size();
    benchmark::DoNotOptimize(all.data());
  }
  const double file_bytes = static_cast<double>(std::filesystem::file_size(BenchLogPath()));
  state.counters["players"] = static_cast<double>(names.size());
  state.counters["event_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["file_MB"] = file_bytes / 1e6;
  state.counters["pool_keys"] = static_cast<double>(pool_keys);
}
BENCHMARK(BM_AllPlayersPass)->Unit(benchmark::kMillisecond);

// Every player from his index, one after the other, as the export loads them: the whole of
// the all-players detail without holding more than one player's lists.
void BM_AllPlayersFromIndex(benchmark::State& state) {
  Workspace& ws = Analysed();
  const std::vector<std::string> names = PlayerNames(ws);
  size_t entries = 0;
  for (auto _ : state) {
    entries = 0;
    for (const std::string& name : names) {
      PlayerEvents events;
      CollectPlayerEvents(*ws.log(), name, events, nullptr);
      entries += events.weapons.lists[0].size();
    }
    benchmark::DoNotOptimize(entries);
  }
  state.counters["players"] = static_cast<double>(names.size());
}
BENCHMARK(BM_AllPlayersFromIndex)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace barvik
