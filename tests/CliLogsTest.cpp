// barvik-cli over several logs: the result equals that of the one log made of the files in
// order (each ending its last line), whatever the files hold; a folder reads as its rotated
// set; a damaged compressed log stops the run before anything is written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/CliRun.h"
#include "tests/TempFolder.h"
#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using testing::Gzip;
using testing::RunTool;

class CliLogsTest : public testing::TempFolderTest {
 protected:
  static std::string Generated(uint64_t seed, size_t lines) {
    LogGeneratorOptions o;
    o.seed = seed;
    o.lines = lines;
    o.players = 9;
    o.lines_per_turn = 150;
    o.crlf = seed % 2 == 0;
    return GenerateLog(o);
  }

  // Standard error without the lines that name a file of which no line was recognised.
  static std::string WithoutNotices(const std::string& err) {
    std::istringstream lines(err);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
      if (!line.ends_with(": no log lines recognised")) kept += line + "\n";
    }
    return kept;
  }

  // Every output of tables and player (two players, a weapon) under all four name-option
  // states must be the same for `files` as for the single log `whole`.
  void ExpectSameResults(const std::vector<std::string>& files, const std::string& whole) {
    const std::vector<std::vector<std::string>> option_sets = {
        {}, {"--case-sensitive"}, {"--keep-colors"}, {"--case-sensitive", "--keep-colors"}};
    for (const auto& options : option_sets) {
      auto args = [&](std::vector<std::string> head, const std::vector<std::string>& logs,
                      std::vector<std::string> tail) {
        head.insert(head.end(), options.begin(), options.end());
        head.push_back("--");
        head.insert(head.end(), logs.begin(), logs.end());
        head.insert(head.end(), tail.begin(), tail.end());
        return head;
      };
      const auto one = RunTool(args({"tables"}, {whole}, {}));
      const auto several = RunTool(args({"tables"}, files, {}));
      ASSERT_EQ(one.status, 0) << one.err;
      EXPECT_EQ(several.status, 0) << several.err;
      EXPECT_EQ(several.out, one.out);
      // The third and the last player rows.
      std::vector<std::string> players;
      std::istringstream rows(one.out);
      std::string line;
      std::getline(rows, line);
      std::getline(rows, line);
      while (std::getline(rows, line) && !line.empty())
        players.push_back(line.substr(0, line.find('\t')));
      ASSERT_GE(players.size(), 3u);
      for (const std::string& player : {players[2], players.back()}) {
        const auto a = RunTool(args({"player", "--min-kills", "1"}, {whole}, {player}));
        const auto b = RunTool(args({"player", "--min-kills", "1"}, files, {player}));
        EXPECT_EQ(b.out, a.out) << player;
        EXPECT_EQ(WithoutNotices(b.err), a.err) << player;
      }
    }
  }
};

TEST_F(CliLogsTest, SeveralLogsGiveTheResultsOfTheirConcatenation) {
  using namespace std::string_literals;
  const std::string a = Generated(3, 900);
  const std::string b = Generated(4, 700);
  const std::string a_open = a + "0:09 K;1;0;axis;Al;2;1;allies;Ann;mp40;1;M;neck";  // no final end
  const std::string nuls = "\0\0\0\0"s;
  const std::vector<std::string> files = {
      Write("a.log", a_open), Write("b.log.gz", Gzip(b)), Write("empty.log", ""),
      Write("nuls.log", nuls), Write("c.log", "0:01 K;1;0;axis;Zed;2;1;allies;Al;mp40;1;M;head")};
  // One log: each file ends its last line; the NUL run is one (empty) line.
  const std::string whole = Write(
      "whole.log", a_open + "\n" + b + "\n" + "0:01 K;1;0;axis;Zed;2;1;allies;Al;mp40;1;M;head\n");
  ExpectSameResults(files, whole);
  // The NUL run holds no known line; the empty file beside logs with lines is no fault.
  EXPECT_EQ(RunTool({"tables", "--no-cache", "--", files[0], files[1], files[2], files[3]}).err,
            "barvik-cli: " + files[3] + ": no log lines recognised\n");
}

TEST_F(CliLogsTest, FileWithoutAKnownLineIsNamedAndGivesTheEmptyResult) {
  const auto empty_result = RunTool({"tables", "--no-cache", Write("empty.log", "")});
  EXPECT_EQ(empty_result.status, kExitOk);
  // A file alone is named even when it is empty.
  EXPECT_EQ(empty_result.err,
            "barvik-cli: " + (dir_ / "empty.log").string() + ": no log lines recognised\n");
  // Between a binary file's NUL bytes a lone "D" or "K" reads as a line of that kind with
  // empty fields: no sign of a log.
  std::string binary = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 37) % 256);
  binary += std::string("\0D\0K\n\0W;;\0", 10);
  const std::string bin = Write("core.bin", binary);
  for (const char* cache : {"--no-cache", "--cache"}) {
    std::vector<std::string> args = {"tables", cache};
    if (std::string(cache) == "--cache") args.push_back((dir_ / "cache").string());
    args.push_back(bin);
    for (int run = 0; run < 2; ++run) {  // read, then (with the cache) taken from it
      const auto r = RunTool(args);
      EXPECT_EQ(r.status, kExitOk);
      EXPECT_EQ(r.out, empty_result.out);
      EXPECT_EQ(r.err, "barvik-cli: " + bin + ": no log lines recognised\n") << cache;
    }
  }
  // A live log just rotated is empty: no fault while the rotated member holds lines.
  Write("rot/games_mp.log.1", Generated(30, 200));
  Write("rot/games_mp.log", "");
  const auto rotated = RunTool({"tables", "--no-cache", (dir_ / "rot").string()});
  EXPECT_EQ(rotated.status, kExitOk);
  EXPECT_EQ(rotated.err, "");
}

TEST_F(CliLogsTest, FolderReadsItsRotatedSetOldestFirst) {
  std::string parts[4];
  for (int i = 0; i < 4; ++i) parts[i] = Generated(10 + static_cast<uint64_t>(i), 500);
  Write("rot/games_mp.log.10.gz", Gzip(parts[0]));
  Write("rot/games_mp.log.9.gz", Gzip(parts[1]));
  Write("rot/games_mp.log.1", parts[2]);
  Write("rot/games_mp.log", parts[3]);
  Write("rot/readme.txt", "0:01 J;1;0;Stray\n");
  const std::string whole = Write("whole.log", parts[0] + parts[1] + parts[2] + parts[3]);
  ExpectSameResults({(dir_ / "rot").string()}, whole);
}

TEST_F(CliLogsTest, TruncatedGzipStopsTheExportBeforeAnythingIsWritten) {
  const std::string gz = Gzip(Generated(5, 2000));
  const std::string cut = Write("cut.log.gz", gz.substr(0, gz.size() - 40));
  const std::string out = (dir_ / "report").string();
  const auto r = RunTool({"export", Write("ok.log", Generated(6, 100)), cut, out});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_EQ(r.err.rfind("barvik-cli: Cannot read file " + cut + ": ", 0), 0u) << r.err;
  EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line";
  EXPECT_FALSE(fs::exists(out));
  EXPECT_EQ(RunTool({"tables", cut}).status, kExitUsage);
}

TEST_F(CliLogsTest, TheCacheOptionsChooseTheFolderOrNone) {
  const std::string log = Write("games_mp.log", Generated(21, 1500));
  const std::string cache = (dir_ / "cache").string();
  const auto fresh = RunTool({"tables", "--no-cache", log});
  ASSERT_EQ(fresh.status, 0) << fresh.err;
  for (int run = 0; run < 2; ++run) {  // filling the cache, then from it
    const auto cached = RunTool({"tables", "--cache", cache, log});
    EXPECT_EQ(cached.status, 0) << cached.err;
    EXPECT_EQ(cached.out, fresh.out);
  }
  size_t files = 0;
  for (const auto& e : fs::directory_iterator(cache)) files += e.path().extension() == ".events";
  EXPECT_EQ(files, 1u);
  const auto both = RunTool({"tables", "--cache", cache, "--no-cache", log});
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.err.find("exclude each other"), std::string::npos) << both.err;
  EXPECT_EQ(RunTool({"tables", "--cache=", log}).status, 2);
}

}  // namespace
}  // namespace barvik
