// A log folder before its first rotation (a game server's usual start: only games_mp.log in
// it) read by barvik-cli: tables and export as of the live log itself, and watch going on
// across the first rotation without reading the rotated lines again.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "app/Cli.h"
#include "report/ImageSource.h"
#include "tests/CliRun.h"
#include "tests/FakeImages.h"
#include "tests/MaskedReport.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using testing::MaskedReport;
using testing::ReadBytes;
using testing::RunTool;

using testing::FakeImages;

CliEnvironment ExportEnvironment() {
  CliEnvironment env;
  env.template_folder = BARVIK_TEMPLATE_DIR;
  env.make_image_source = [](Workspace&) { return std::make_unique<FakeImages>(); };
  return env;
}

class LiveLogFolderTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    const std::string sample = ReadBytes(BARVIK_SOURCE_DIR "/samples/sample.log");
    // The sample up to its last turn is the log so far; the last turn comes after rotation.
    const size_t cut = sample.rfind('\n', sample.rfind(" InitGame:"));
    ASSERT_NE(cut, std::string::npos);
    before_ = sample.substr(0, cut + 1);
    after_ = sample.substr(cut + 1);
    logs_ = dir_ / "logs";
    live_ = Write("logs/games_mp.log", before_);
    Write("logs/.games_mp.log.swp", "an editor's file");
  }

  int Export(const std::vector<std::string>& logs, const fs::path& report) const {
    std::vector<std::string> args = {"export", "--no-cache"};
    args.insert(args.end(), logs.begin(), logs.end());
    args.push_back(report.string());
    std::ostringstream out, err;
    return RunCli(args, out, err, ExportEnvironment());
  }

  std::string before_, after_;
  fs::path logs_;
  std::string live_;
};

TEST_F(LiveLogFolderTest, TablesAndExportOfTheFolderAreThoseOfTheLiveLog) {
  const auto of_file = RunTool({"tables", "--no-cache", live_});
  const auto of_folder = RunTool({"tables", "--no-cache", logs_.string()});
  ASSERT_EQ(of_file.status, kExitOk) << of_file.err;
  EXPECT_EQ(of_folder.status, kExitOk) << of_folder.err;
  EXPECT_EQ(of_folder.err, "");
  EXPECT_EQ(of_folder.out, of_file.out);

  ASSERT_EQ(Export({live_}, dir_ / "of-file"), kExitOk);
  ASSERT_EQ(Export({logs_.string()}, dir_ / "of-folder"), kExitOk);
  EXPECT_EQ(MaskedReport(dir_ / "of-folder"), MaskedReport(dir_ / "of-file"));

  // A second log beside it: which one is meant cannot be guessed.
  Write("logs/console.log", "");
  const auto two = RunTool({"tables", "--no-cache", logs_.string()});
  EXPECT_EQ(two.status, kExitUsage);
  EXPECT_EQ(two.err, "barvik-cli: Cannot open file " + logs_.string() +
                         ": it holds several logs (console.log, games_mp.log); name the file "
                         "instead\n");
}

// Waits up to twenty seconds for `done`.
template <typename Condition>
bool WaitFor(Condition done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

TEST_F(LiveLogFolderTest, WatchGoesOnAcrossTheFirstRotationReadingOnlyTheNewLog) {
  const fs::path report = dir_ / "report";
  const fs::path status_file = dir_ / "watch.err";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::ofstream err(status_file);
    std::ostringstream out;
    const int status = RunCli({"watch", "--every", "1", "--cache", (dir_ / "cache").string(),
                               logs_.string(), report.string()},
                              out, err, ExportEnvironment());
    err.flush();
    _exit(status);
  }
  auto status_lines = [&] {
    std::vector<std::string> lines;
    std::istringstream text(ReadBytes(status_file));
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
  };
  const bool first = WaitFor([&] { return status_lines().size() >= 1; });
  if (first) {
    // logrotate's way: the live log renamed, a new one started.
    fs::rename(live_, logs_ / "games_mp.log.1");
    std::ofstream(live_, std::ios::binary) << after_;
  }
  // "...: N lines read (B new bytes), ...": after the rotation every line counts once, and
  // the runs since the first read the new live log alone.
  const std::regex counts(R"(: (\d+) lines read \((\d+) new bytes\))");
  const auto line_count = [](const std::string& text) {
    return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
  };
  const uint64_t all_lines = line_count(before_) + line_count(after_);
  auto runs = [&] {
    std::vector<std::pair<uint64_t, uint64_t>> found;  // lines, new bytes
    for (const std::string& line : status_lines()) {
      std::smatch m;
      if (std::regex_search(line, m, counts))
        found.emplace_back(std::stoull(m[1]), std::stoull(m[2]));
    }
    return found;
  };
  const bool second = first && WaitFor([&] {
                        const auto r = runs();
                        return r.size() >= 2 && r.back().first == all_lines;
                      });
  kill(child, SIGTERM);
  int status = -1;
  const bool ended = WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; });
  if (!ended) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
  }
  ASSERT_TRUE(first) << "no first export";
  ASSERT_TRUE(second) << "the rotation was not exported: " << ReadBytes(status_file);
  EXPECT_TRUE(ended) << "watch did not stop on SIGTERM";
  const auto r = runs();
  EXPECT_EQ(r.front(), std::make_pair(line_count(before_), uint64_t{before_.size()}));
  uint64_t read_since = 0;
  for (size_t i = 1; i < r.size(); ++i) read_since += r[i].second;
  EXPECT_EQ(read_since, after_.size());

  // The report is that of the rotated set read whole.
  ASSERT_EQ(Export({(logs_ / "games_mp.log.1").string(), live_}, dir_ / "fresh"), kExitOk);
  EXPECT_EQ(MaskedReport(report), MaskedReport(dir_ / "fresh"));
}

}  // namespace
}  // namespace barvik
