// Reading logs: several files as one, gzip files (several members, damaged, truncated), the
// rotated set of a folder, and the progress of reading.
#include "log/LogSource.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/FileError.h"
#include "log/LogFile.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;
using testing::Gzip;

class LogFolder : public testing::TempFolderTest {
 protected:
  V Lines(const V& files) {
    struct Collect : LineSink {
      void Line(std::string_view line) override { lines.emplace_back(line); }
      V lines;
    } sink;
    ReadLogFiles(files, sink);
    return sink.lines;
  }
  std::string Name(const std::string& path) { return fs::path(path).filename().string(); }
};

TEST_F(LogFolder, EachFileEndsItsLastLine) {
  using namespace std::string_literals;
  const std::string a = Write("a", "a1\na2");  // no final line break
  const std::string empty = Write("empty", "");
  const std::string nuls = Write("nuls", "\0\0\0"s);
  const std::string cr = Write("cr", "c1\r");
  const std::string lf = Write("lf", "\nd1\n");  // its LF does not join the CR before it
  EXPECT_EQ(Lines({a, empty, nuls, cr, lf}), (V{"a1", "a2", "", "c1", "", "d1"}));
  EXPECT_EQ(Lines({empty}), V{});
}

TEST_F(LogFolder, GzipReadsLikeThePlainFileAlsoWithSeveralMembers) {
  const std::string text = "0:01 J;1;0;Bob\r\n0:02 Q;1;0;Bob\n0:03 say;1;0;Bob;hi";
  const std::string plain = Write("plain.log", text);
  const std::string one = Write("one.log.gz", Gzip(text));
  // Members split inside a line and inside a CR LF: the data is one text.
  const std::string two = Write(
      "two.log.gz", Gzip(text.substr(0, 15)) + Gzip(text.substr(15, 20)) + Gzip(text.substr(35)));
  const std::string named_plainly = Write("gzip-without-extension", Gzip(text));
  EXPECT_EQ(Lines({one}), Lines({plain}));
  EXPECT_EQ(Lines({two}), Lines({plain}));
  EXPECT_EQ(Lines({named_plainly}), Lines({plain}));
  EXPECT_EQ(Lines({plain}).size(), 3u);
}

TEST_F(LogFolder, DamagedOrTruncatedGzipIsReportedWithItsName) {
  std::string gz = Gzip(std::string(5000, 'x') + "\n0:01 J;1;0;Bob\n");
  const std::string truncated = Write("cut.log.gz", gz.substr(0, gz.size() / 2));
  std::string damaged_bytes = gz;
  damaged_bytes[damaged_bytes.size() / 2] ^= 0x55;
  damaged_bytes[damaged_bytes.size() / 2 + 1] ^= 0x55;
  const std::string damaged = Write("bad.log.gz", damaged_bytes);
  const std::string trailing = Write("trail.log.gz", gz + "garbage");
  for (const std::string& path : {truncated, damaged, trailing}) {
    try {
      LogFile log(path);
      ADD_FAILURE() << path << " read without error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Cannot read file " + path + ": ", 0), 0u) << e.what();
    }
  }
}

TEST_F(LogFolder, RotatedSetOldestFirstNumbersComparedAsNumbers) {
  Write("x.log", "");
  Write("x.log.1", "");
  Write("x.log.2.gz", Gzip(""));
  Write("x.log.9.gz", Gzip(""));
  Write("x.log.10.gz", Gzip(""));
  Write("notes.txt", "stray");
  Write("x.log.old", "stray");
  Write(".x.log.3", "hidden");
  fs::create_directories(dir_ / "x.log.4");  // a folder is no member
  V names;
  for (const std::string& f : RotatedLogFiles(dir_.string())) names.push_back(Name(f));
  EXPECT_EQ(names, (V{"x.log.10.gz", "x.log.9.gz", "x.log.2.gz", "x.log.1", "x.log"}));

  // Operands: files as given, a folder by its set.
  V expanded;
  for (const std::string& f : ExpandLogOperands({(dir_ / "notes.txt").string(), dir_.string()})) {
    expanded.push_back(Name(f));
  }
  EXPECT_EQ(expanded.front(), "notes.txt");
  EXPECT_EQ(expanded.size(), 6u);
}

TEST_F(LogFolder, FolderNotRotatedYetStandsForItsLiveLog) {
  auto set = [&] {
    V names;
    for (const std::string& f : RotatedLogFiles(dir_.string())) names.push_back(Name(f));
    return names;
  };
  auto refusal = [&] {
    try {
      RotatedLogFiles(dir_.string());
    } catch (const FileError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(refusal(), "Cannot open file " + dir_.string() + ": no log in it");
  Write("server.cfg", "");
  EXPECT_EQ(set(), V{"server.cfg"});  // the only file, whatever its name
  Write("games_mp.log", "");
  Write(".games_mp.log.swp", "");
  EXPECT_EQ(set(), V{"games_mp.log"});  // the only *.log beats other files
  Write("console.log", "");
  EXPECT_EQ(refusal(), "Cannot open file " + dir_.string() +
                           ": it holds several logs (console.log, games_mp.log); name the file "
                           "instead");
  // The first rotation: the numbered member names the set, other *.log files are ignored.
  fs::rename(dir_ / "games_mp.log", dir_ / "games_mp.log.1");
  EXPECT_EQ(set(), V{"games_mp.log.1"});
  Write("games_mp.log", "");
  EXPECT_EQ(set(), (V{"games_mp.log.1", "games_mp.log"}));
}

TEST_F(LogFolder, FolderWithSeveralRotatedLogsIsRefused) {
  Write("a.log.1", "");
  Write("b.log.1", "");
  try {
    RotatedLogFiles(dir_.string());
    ADD_FAILURE() << "two rotated logs accepted";
  } catch (const FileError& e) {
    EXPECT_NE(std::string(e.what()).find("(a.log, b.log)"), std::string::npos) << e.what();
  }
  fs::remove(dir_ / "b.log.1");
  Write("a.log.1.gz", Gzip(""));  // the same part twice
  EXPECT_THROW(RotatedLogFiles(dir_.string()), FileError);
}

TEST_F(LogFolder, ProgressCountsTheBytesOfAllInputs) {
  const std::string a = Write("a", std::string(3000, 'a'));
  const std::string b = Write("b", Gzip(std::string(3000, 'b')));
  const uint64_t total = fs::file_size(a) + fs::file_size(b);
  uint64_t last = 0;
  struct Ignore : LineSink {
    void Line(std::string_view) override {}
  } sink;
  ReadLogFiles({a, b}, sink, [&](uint64_t done, uint64_t all) {
    EXPECT_EQ(all, total);
    EXPECT_GE(done, last);
    last = done;
  });
  EXPECT_EQ(last, total);
  EXPECT_THROW(ReadLogFiles({a, (dir_ / "missing").string()}, sink), FileError);
}

}  // namespace
}  // namespace barvik
