// Reading logs: line splitting of files whose lines end in CR alone or in NUL runs (linear
// whatever the line ends), the streaming read that turns a generated log into events, for 1M,
// 2M and 4M lines, and the same through the event cache.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/BenchLog.h"
#include "log/LogFile.h"
#include "log/LogSource.h"

namespace barvik {
namespace {

struct CountLines : LineSink {
  void Line(std::string_view line) override {
    ++lines;
    bytes += line.size();
  }
  size_t lines = 0;
  size_t bytes = 0;
};

// `lines` lines of 60 bytes ending in `end`, fed in blocks of 1 MiB as a file is read.
void SplitLines(benchmark::State& state, const std::string& end) {
  const auto lines = static_cast<size_t>(state.range(0));
  std::string text;
  for (size_t i = 0; i < lines; ++i) text += std::string(60, 'x') + end;
  size_t count = 0;
  for (auto _ : state) {
    CountLines sink;
    LineSplitter splitter;
    for (size_t at = 0; at < text.size(); at += 1 << 20) {
      splitter.Feed(text.data() + at, std::min<size_t>(1 << 20, text.size() - at), sink);
    }
    splitter.Finish(sink);
    count = sink.lines;
  }
  state.counters["lines"] = static_cast<double>(count);
  state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

void BM_SplitLinesEndedByLf(benchmark::State& state) { SplitLines(state, "\n"); }
void BM_SplitLinesEndedByCr(benchmark::State& state) { SplitLines(state, "\r"); }
void BM_SplitLinesEndedByNulRuns(benchmark::State& state) {
  SplitLines(state, std::string("\0\0\0\0", 4));
}
BENCHMARK(BM_SplitLinesEndedByLf)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLinesEndedByCr)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLinesEndedByNulRuns)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// The events of a generated log read from its file; memory held by the events per log byte.
void BM_ReadLogToEvents(benchmark::State& state) {
  const std::string path = BenchLogPath(static_cast<size_t>(state.range(0)));
  const auto bytes = std::filesystem::file_size(path);
  size_t held = 0;
  for (auto _ : state) {
    LogFile log(path);
    held = log.events().MemoryBytes();
    benchmark::DoNotOptimize(log.LineCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["events_MB"] = static_cast<double>(held) / 1e6;
  state.counters["held_per_log_byte"] = static_cast<double>(held) / static_cast<double>(bytes);
}
BENCHMARK(BM_ReadLogToEvents)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Arg(4000000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Reading a generated log of 4,000,000 lines through the event cache: cold (the cache is
// filled), unchanged (every event from the cache), grown by 10,000 lines (the cached part's
// checksum checked, the cached events, then the new lines) and rotated (renamed to .1 beside
// a new empty log: its checksum checked, then its events from the cache). The log is a copy,
// so that growing it leaves the shared one alone.
enum class CacheCase { Cold, Unchanged, Grown, Rotated };

void ReadThroughTheCache(benchmark::State& state, CacheCase which) {
  namespace fs = std::filesystem;
  const fs::path work = fs::temp_directory_path() / "barvik-bench-cache";
  fs::remove_all(work);
  fs::create_directories(work);
  const std::string log = (work / "games_mp.log").string();
  fs::copy_file(BenchLogPath(4000000), log);
  const std::string tail = [] {
    std::ifstream in(BenchLogPath(10000), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }();
  const std::string cache = (work / "cache").string();
  CacheUse use;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(cache);
    if (which != CacheCase::Cold) {
      // The run before: fills the cache with the log as it stood.
      fs::resize_file(log, fs::file_size(BenchLogPath(4000000)));
      LogFile before({log}, {}, cache);
      if (which == CacheCase::Grown) std::ofstream(log, std::ios::app | std::ios::binary) << tail;
      if (which == CacheCase::Rotated) {
        fs::rename(log, log + ".1");
        std::ofstream(log, std::ios::binary);
      }
    }
    state.ResumeTiming();
    const std::vector<std::string> files = which == CacheCase::Rotated
                                               ? std::vector<std::string>{log + ".1", log}
                                               : std::vector<std::string>{log};
    LogFile after(files, {}, cache);
    state.PauseTiming();
    if (which == CacheCase::Rotated) fs::rename(log + ".1", log);
    state.ResumeTiming();
    use = after.cache_use();
    benchmark::DoNotOptimize(after.LineCount());
  }
  state.counters["MB_read"] = static_cast<double>(use.bytes_read) / 1e6;
  state.counters["MB_checked"] = static_cast<double>(use.bytes_checked) / 1e6;
  state.counters["cache_MB"] = [&] {
    double bytes = 0;
    for (const auto& e : fs::directory_iterator(cache)) bytes += static_cast<double>(e.file_size());
    return bytes / 1e6;
  }();
  fs::remove_all(work);
}

void BM_ReadThroughCacheCold(benchmark::State& state) {
  ReadThroughTheCache(state, CacheCase::Cold);
}
void BM_ReadThroughCacheUnchanged(benchmark::State& state) {
  ReadThroughTheCache(state, CacheCase::Unchanged);
}
void BM_ReadThroughCacheGrown(benchmark::State& state) {
  ReadThroughTheCache(state, CacheCase::Grown);
}
void BM_ReadThroughCacheRotated(benchmark::State& state) {
  ReadThroughTheCache(state, CacheCase::Rotated);
}
BENCHMARK(BM_ReadThroughCacheCold)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadThroughCacheUnchanged)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadThroughCacheGrown)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadThroughCacheRotated)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace barvik
