// The report export with the real renderer (the window's widgets drawn off screen), at sizes
// that show how its cost grows: logs whose players only join, 1,000 / 4,000 / 16,000 of them
// (time per player should stay flat), and the ratio chart of one player with 2,000 / 4,000
// / 8,000 turns drawn into its image (time per point should stay flat); the export as the
// window runs it; an incremental export of an unchanged log with and without the render
// memo; and the window's check of all its lists, which grows with the players (an export in
// the window leaves the global lists out of it); and the export of logs of up to a million
// turns.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <QApplication>
#include <QImage>

#include "app/Workspace.h"
#include "ui/OffscreenImageSource.h"
#include "ui/Platform.h"
#include "ui/RatioChart.h"
#include "ui/TFormCAL.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

fs::path Scratch(const std::string& name) {
  return fs::temp_directory_path() / ("barvik-bench-" + std::to_string(getpid()) + "-" + name);
}

// A log of one turn in which `players` players join and nothing else happens.
std::string JoinOnlyLog(int players) {
  const fs::path path = Scratch("join" + std::to_string(players) + ".log");
  std::ofstream out(path, std::ios::binary);
  out << "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\\sv_hostname\\Bench\n";
  for (int i = 0; i < players; ++i) out << "  0:01 J;" << i << ";0;Player" << i << "\n";
  return path.string();
}

// A Workspace that analysed a join-only log of `players` and exports into a scratch folder;
// the log and the report go when it does.
struct JoinOnlyExport {
  explicit JoinOnlyExport(int players, const std::string& folder)
      : players(players), log(JoinOnlyLog(players)) {
    ws.RunAnalysis(log);
    ws.template_folder = fs::read_symlink("/proc/self/exe").parent_path().string();
    ws.options().dest_dir = Scratch(folder).string();
  }
  ~JoinOnlyExport() {
    ws.hooks = {};
    fs::remove_all(ws.options().dest_dir);
    fs::remove(log);
  }
  void CountPerPlayer(benchmark::State& state) const {
    state.counters["per_player"] =
        benchmark::Counter(static_cast<double>(players) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  }

  int players;
  std::string log;
  Workspace ws;
};

void BM_ExportPlayersWithRenderer(benchmark::State& state) {
  JoinOnlyExport run(static_cast<int>(state.range(0)), "report");
  OffscreenImageSource images(run.ws);
  for (auto _ : state) run.ws.ButtonHTMLClick(images);
  state.counters["players"] = run.players;
  run.CountPerPlayer(state);
}
BENCHMARK(BM_ExportPlayersWithRenderer)
    ->ArgName("players")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A log of `turns` game starts, two players killing each other in every third turn.
std::string ManyTurnsLog(int turns) {
  const fs::path path = Scratch("turns" + std::to_string(turns) + ".log");
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < turns; ++i) {
    out << "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\n";
    if (i % 3 == 0) out << "  0:01 K;1;1;axis;Bob;2;2;allies;Al;mp40_mp;50;MOD_RIFLE_BULLET;head\n";
  }
  return path.string();
}

// The export of a log of 10,000 / 100,000 / 1,000,000 turns, the ratio axis topped at 5 or
// at 10,000,000: the time per turn should stay flat, whatever the top.
void BM_ExportManyTurns(benchmark::State& state) {
  const int turns = static_cast<int>(state.range(0));
  const std::string log = ManyTurnsLog(turns);
  Workspace ws;
  ws.RunAnalysis(log);
  ws.template_folder = fs::read_symlink("/proc/self/exe").parent_path().string();
  ws.options().dest_dir = Scratch("turns-report").string();
  ws.options().max_ratio = std::to_string(state.range(1));
  OffscreenImageSource images(ws);
  for (auto _ : state) ws.ButtonHTMLClick(images);
  state.counters["per_turn"] =
      benchmark::Counter(static_cast<double>(turns) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  fs::remove_all(ws.options().dest_dir);
  fs::remove(log);
}
BENCHMARK(BM_ExportManyTurns)
    ->ArgNames({"turns", "max_ratio"})
    ->Args({10000, 5})
    ->Args({100000, 5})
    ->Args({1000000, 5})
    ->Args({1000000, 10000000})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// An incremental export of an unchanged log into the folder of an earlier one, with the
// render memo (memo:1: no image drawn, only pages made and compared) and without it
// (memo:0: every image drawn and compared); the time per player should stay flat.
void BM_IncrementalExportUnchanged(benchmark::State& state) {
  JoinOnlyExport run(static_cast<int>(state.range(0)), "incremental-report");
  const fs::path cache = Scratch("incremental-cache");
  if (state.range(1) != 0) run.ws.cache_folder = cache.string();
  OffscreenImageSource images(run.ws);
  run.ws.export_incremental = true;
  run.ws.ButtonHTMLClick(images);
  for (auto _ : state) run.ws.ButtonHTMLClick(images);
  fs::remove_all(cache);
  run.CountPerPlayer(state);
}
BENCHMARK(BM_IncrementalExportUnchanged)
    ->ArgNames({"players", "memo"})
    ->Args({250, 0})
    ->Args({250, 1})
    ->Args({1000, 1})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The export as the window runs it, its hooks bringing the window up to date after every
// player: the time per player should stay flat here too.
void BM_WindowExport(benchmark::State& state) {
  JoinOnlyExport run(static_cast<int>(state.range(0)), "window-report");
  TFormCAL form(run.ws, TFormCAL::Mode::kOffscreen);
  form.ConnectHooks();
  form.Sync();
  for (auto _ : state) form.ButtonHTMLClick();
  run.CountPerPlayer(state);
}
BENCHMARK(BM_WindowExport)
    ->ArgName("players")
    ->Arg(1000)
    ->Arg(4000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// The window brought up to date when nothing changed, as its hooks do after every player an
// export loads in the window: every list is checked for changes.
void BM_WindowSyncUnchanged(benchmark::State& state) {
  const int players = static_cast<int>(state.range(0));
  const std::string log = JoinOnlyLog(players);
  Workspace ws;
  ws.RunAnalysis(log);
  TFormCAL form(ws, TFormCAL::Mode::kOffscreen);
  form.Sync();
  for (auto _ : state) form.Sync();
  fs::remove(log);
}
BENCHMARK(BM_WindowSyncUnchanged)
    ->ArgName("players")
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(16000)
    ->Unit(benchmark::kMicrosecond);

void BM_RatioChartImage(benchmark::State& state) {
  const int turns = static_cast<int>(state.range(0));
  ChartState chart_state;
  chart_state.xmax = turns;
  chart_state.ymax = 5;
  uint32_t noise = 7;
  for (int i = 1; i <= turns; ++i) {
    noise = noise * 1103515245u + 12345u;
    const double ratio = static_cast<double>((noise >> 16) % 3000) / 1000.0;
    chart_state.points.push_back({i, ratio, ratio >= 1.0});
  }
  // A player's chart as the export draws it: a chart that showed another player before.
  RatioChart chart;
  chart.resize(691, 357);
  const ChartState other;
  for (auto _ : state) {
    state.PauseTiming();
    chart.Render(other);
    state.ResumeTiming();
    chart.Render(chart_state);
    QImage image = chart.grab().toImage();
    benchmark::DoNotOptimize(image.constBits());
  }
  state.counters["per_point"] =
      benchmark::Counter(static_cast<double>(turns) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RatioChartImage)
    ->ArgName("turns")
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace barvik

int main(int argc, char** argv) {
  barvik::UseOffscreenPlatform(argc, argv);
  barvik::QuietQtMessages("barvik_render_bench");
  QApplication app(argc, argv);
  QApplication::setStyle("Fusion");
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
