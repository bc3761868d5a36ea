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

TEST(LogFileFieldTest, FieldsFollowTheTimeStamp) {
  const std::string_view join = "  0:00 J;12345;3;Bob";
  EXPECT_EQ(LogFile::GetField(join, 1), "J");
  EXPECT_EQ(LogFile::GetField(join, 4), "Bob");
  EXPECT_EQ(LogFile::GetField(join, 5), "");
  EXPECT_EQ(LogFile::GetField(join, 50), "");
  EXPECT_EQ(LogFile::GetLineKind(join), LineKind::Join);
  // Blanks inside fields stay; tabs are ordinary characters.
  EXPECT_EQ(LogFile::GetField("1:00   say;1;2; Bob ;hi there", 4), " Bob ");
  EXPECT_EQ(LogFile::GetField("1:00\tK;x", 1), "x");  // no blank: only the last character
}

TEST(LogFileFieldTest, ShortAndBlankFreeLines) {
  EXPECT_EQ(LogFile::GetField("", 1), "");
  EXPECT_EQ(LogFile::GetField("K", 1), "K");
  EXPECT_EQ(LogFile::GetLineKind("K"), LineKind::Kill);
  EXPECT_EQ(LogFile::GetField("abcW", 1), "W");
  EXPECT_EQ(LogFile::GetField("abcW", 2), "");
  EXPECT_EQ(LogFile::GetField("abc;", 1), "");
  EXPECT_EQ(LogFile::GetField(" 12:00", 1), "0");
  EXPECT_EQ(LogFile::GetField("12:00 ", 1), " ");  // steps stop at the last character
  EXPECT_EQ(LogFile::GetField("0:01 a;;c;", 2), "");
  EXPECT_EQ(LogFile::GetField("0:01 a;;c;", 3), "c");
  EXPECT_EQ(LogFile::GetField("0:01 a;;c;", 4), "");
  std::string_view fields[6];
  LogFile::GetFields("0:01 a;b;;d", 6, fields);
  for (int n = 1; n <= 6; ++n) {
    EXPECT_EQ(fields[n - 1], LogFile::GetField("0:01 a;b;;d", n)) << n;
  }
}

TEST(LogFileFieldTest, KindsAreExactKeywords) {
  struct Case {
    const char* line;
    LineKind kind;
  } cases[] = {
      {"0:00 Q;1;2;x", LineKind::Quit},
      {"0:00 say;1;2;x;hi", LineKind::Say},
      {"0:00 sayteam;1;2;x", LineKind::SayTeam},
      {"0:00 Weapon;1;2;x;w", LineKind::WeaponPickUp},
      {"0:00 D;1", LineKind::Damage},
      {"0:00 Item;1;2;x", LineKind::Item},
      {"0:00 A;1;2;t;x;bel", LineKind::Action},
      {"0:00 W;t;1;x", LineKind::Win},
      {"0:00 L;t;1;x", LineKind::Loss},
      {"0:00 k;1", LineKind::Other},
      {"0:00 Say;1", LineKind::Other},
      {"0:00 WEAPON;1", LineKind::Other},
      {"0:00 Spawn;1;2;x", LineKind::Other},
      {"0:00 J ;1", LineKind::Other},
      {"0:00 InitGame: \\mapname\\map_one", LineKind::GameInit},
      {"0:00 InitGame:", LineKind::GameInit},
      {"0:00 InitGame \\mapname\\x", LineKind::Other},
      {"0:00 InitGam", LineKind::Other},
      {"0:00 InitGame:x;K", LineKind::GameInit},
  };
  for (const Case& c : cases) EXPECT_EQ(LogFile::GetLineKind(c.line), c.kind) << c.line;
}

TEST(LogFileFieldTest, HitFieldsAndNormalisation) {
  LogFile log = LogFile::FromText("");
  const std::string line = "12:00 K;1;2;red;Bob;3;4;blue;Al;rifle_a;100;MOD_X;head";
  Hit hit = log.ReadHit(line);
  EXPECT_EQ(hit.victim, "Bob");
  EXPECT_EQ(hit.attacker, "Al");
  EXPECT_EQ(hit.weapon, "rifle_a");
  EXPECT_EQ(hit.location, "head");
  log.IgnoreCase = true;
  hit = log.ReadHit("12:00 K;1;2;red;Bob;3;4;blue;AL;Rifle_A;100;MOD_X;HEAD");
  EXPECT_EQ(hit.attacker, "al");
  EXPECT_EQ(hit.weapon, "rifle_a");
  EXPECT_EQ(hit.location, "head");
  EXPECT_EQ(log.ReadHit("12:00 K;1;2;red;Bob;3;4;blue;;rifle_a").attacker, "");
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

TEST(LogFileFieldTest, TeamResultsStopAtTheFirstEmptyName) {
  LogFile log = LogFile::FromText("");
  std::vector<std::string> names;
  log.ReadTeamResult("12:00 W;red;1;Bob;2;Al;3;;4;Zed", names);
  EXPECT_EQ(names, (V{"Bob", "Al"}));
  log.IgnoreColors = true;
  names.clear();
  log.ReadTeamResult("12:00 L;red;1;Bob;2;^1;3;Zed", names);  // a name of colours only
  EXPECT_EQ(names, (V{"Bob"}));
  names = {"kept"};
  log.ReadTeamResult("12:00 W;red;1;Bob;2;Bob", names);
  EXPECT_EQ(names, (V{"kept", "Bob", "Bob"}));
}

TEST(LogFileFieldTest, GameInitValues) {
  auto v = LogFile::ReadGameInit(
      "0:00 InitGame: \\g_gametype\\gt_a\\mapname\\map_one\\sv_hostname\\My Server\\x\\1");
  EXPECT_EQ(v.map, "map_one");
  EXPECT_EQ(v.game_type, "gt_a");
  EXPECT_EQ(v.server_name, "My Server");
  v = LogFile::ReadGameInit("0:00 InitGame: \\mapname\\map_one\\g_gametype\\gt_b");
  EXPECT_EQ(v.map, "map_one");
  EXPECT_EQ(v.game_type, "");
  EXPECT_EQ(v.server_name, "n/a");
  // The line's own ";" ends field 1.
  v = LogFile::ReadGameInit("0:00 InitGame: \\sv_hostname\\A;B\\mapname\\m\\");
  EXPECT_EQ(v.server_name, "");
  EXPECT_EQ(v.map, "n/a");
}

}  // namespace
}  // namespace barvik
