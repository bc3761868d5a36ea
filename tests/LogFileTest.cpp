#include "log/LogFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/FileError.h"

namespace barvik {
namespace {

// Collects the lines a reader gives.
struct LineList : LineSink {
  void Line(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

// The lines of `text` read as one file; also fed a byte at a time, which must split alike.
std::vector<std::string> Lines(const std::string& text) {
  LineList whole;
  LineList bytewise;
  LineSplitter a;
  a.Feed(text.data(), text.size(), whole);
  a.Finish(whole);
  LineSplitter b;
  for (char c : text) b.Feed(&c, 1, bytewise);
  b.Finish(bytewise);
  EXPECT_EQ(whole.lines, bytewise.lines) << "split differs across block boundaries";
  EXPECT_EQ(LogFile::FromText(text).LineCount(), whole.lines.size());
  return whole.lines;
}

using V = std::vector<std::string>;

TEST(LogFileLoadTest, LineEndsOfEveryKind) {
  EXPECT_EQ(Lines("a\nb\nc"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\nb\nc\n"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\r\nb\r\nc\r\n"), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\rb\r"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\n\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("a\n\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("\n"), (V{""}));
  EXPECT_EQ(Lines(""), V{});
}

TEST(LogFileLoadTest, NulRunEndsALineAndLoadingGoesOn) {
  using namespace std::string_literals;
  EXPECT_EQ(Lines("a\0\0\0b\nc"s), (V{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\n\0\0b"s), (V{"a", "", "b"}));
  EXPECT_EQ(Lines("a\r\0b"s), (V{"a", "b"}));  // as CR LF
  EXPECT_EQ(Lines("a\0"s), (V{"a"}));
  EXPECT_EQ(Lines("\0\0\0"s), (V{""}));
}

TEST(LogFileLoadTest, BytesAreKeptAsTheyAre) {
  EXPECT_EQ(Lines("  0:01 J;1;2;J\xE9r\xF4me\t \n"), (V{"  0:01 J;1;2;J\xE9r\xF4me\t "}));
}

TEST(LogFileLoadTest, MissingFileRaisesTheUsersMessage) {
  try {
    LogFile log("/nonexistent/dir/server.log");
    FAIL() << "no error";
  } catch (const FileError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/dir/server.log");
  }
  EXPECT_THROW(LogFile(std::filesystem::temp_directory_path().string()), FileError);
}

TEST(LogFileLoadTest, ReadsAFileFromDisk) {
  auto path = std::filesystem::temp_directory_path() / "barvik-logfile-test.log";
  { std::ofstream(path, std::ios::binary) << "  0:00 J;1;0;Bob\r\n  0:01 Q;1;0;Bob"; }
  LogFile log(path.string());
  ASSERT_EQ(log.LineCount(), 2u);
  LineList lines;
  ReadLogFiles({path.string()}, lines);
  EXPECT_EQ(lines.lines.back(), "  0:01 Q;1;0;Bob");
  EXPECT_EQ(log.TurnCount, 0);
  EXPECT_TRUE(log.HostName.empty());
  std::filesystem::remove(path);
}

TEST(LogFileFieldTest, NameNormalisation) {
  LogFile log = LogFile::FromText("");
  EXPECT_EQ(log.NormaliseName("^1Bob"), "^1Bob");
  log.IgnoreCase = true;
  log.IgnoreColors = true;
  EXPECT_EQ(log.NormaliseName("^1Big^7BOB"), "bigbob");
  EXPECT_EQ(log.NormaliseName("Bob^"), "bob");
  EXPECT_EQ(log.NormaliseName("^^1x"), "1x");
  EXPECT_EQ(log.NormaliseName("^1^2"), "");
  EXPECT_EQ(log.NormaliseName("^^^^"), "");
  EXPECT_EQ(log.NormaliseName(""), "");
  EXPECT_EQ(log.NormaliseName("J\xC9R\xD4ME 1"), "j\xE9r\xF4me 1");
  log.IgnoreCase = false;
  EXPECT_EQ(log.NormaliseName("^4Bo^b"), "Bo");
}

}  // namespace
}  // namespace barvik
