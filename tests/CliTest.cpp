// barvik-cli run in-process: exact output of "tables", and the exit codes and one-line
// messages of bad invocations.
#include "app/Cli.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/CliRun.h"
#include "tests/TestLog.h"

namespace barvik {
namespace {

using testing::TempLog;

using Result = testing::CliResult;
using testing::RunTool;

TEST(CliTest, TablesPrintsTheFiveListsExactly) {
  TempLog log(
      "0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\\n"
      "0:01 J;1;0;Bob\n0:01 J;2;1;^2Al\n"
      "0:02 K;1;0;axis;Bob;2;1;allies;^2Al;mp40_mp;100;MOD;head\n"
      "0:03 D;2;1;allies;^2Al;1;0;axis;Bob;kar98k_mp;10;MOD;neck\n"
      "0:04 K;2;1;allies;^2Al;2;1;allies;;kar98k_mp;10;MOD;neck\n");
  Result r = RunTool({"tables", log.path()}, ',');
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "[ListViewPlayers]\n"
            "Name\tKills\tDeads\tRatio\tSuicides\tI.Damages\tDamages\tSelf Damages\tWins\tLoses"
            "\tBEL Ticks\tWeapon\tSay\tSayTeam\tJoins\tQuits\tItems\n"
            // Equal kills keep the order of filling, so "al" stays above the total row.
            "al\t1\t0\tn/a\t1\t0\t1\t0\t0\t0\t0\t0\t0\t0\t1\t0\t0\n"
            "   A  L  L\t1\t1\t1,000\t1\t1\t1\t0\t0\t0\t0\t0\t0\t0\t2\t0\t0\n"
            "bob\t0\t1\t0,000\t0\t1\t0\t0\t0\t0\t0\t0\t0\t0\t1\t0\t0\n"
            "\n"
            "[ListViewWeapon]\n"
            "Weapon\tKills\tKills[%]\tSuicides\tDamages\tPick Up\n"
            "mp40_mp\t1\t100,00\t0\t0\t0\n"
            "   A  L  L\t1\t100,00\t1\t1\t0\n"
            "kar98k_mp\t0\t0,00\t1\t1\t0\n"
            "\n"
            "[ListViewMaps]\n"
            "Map\tKills\tKills[%]\tSuicides\tDamages\tBEL Ticks\n"
            "   A  L  L\t1\t100,00\t1\t1\t0\n"
            "mp_foy\t1\t100,00\t1\t1\t0\n"
            "\n"
            "[ListViewGType]\n"
            "Game Type\tKills\tKills[%]\tSuicides\tDamages\n"
            "   A  L  L\t1\t100,00\t1\t1\n"
            "tdm\t1\t100,00\t1\t1\n"
            "\n"
            "[ListViewAccuracy]\n"
            "Body Location\tKills\tKills[%]\tDamages\tDamages[%]\tSuicides\tSuicides[%]\n"
            "head\t1\t100,00\t0\t0,00\t0\t0,00\n"
            "   A  L  L\t1\t100,00\t1\t100,00\t1\t100,00\n"
            "neck\t0\t0,00\t1\t100,00\t1\t100,00\n"
            "\n");
}

// The bundled sample log's lists, pinned: any change to counting, formatting or sorting shows
// here first.
TEST(CliTest, SampleLogTablesAreUnchanged) {
  std::ifstream expected_file(BARVIK_TEST_DATA "/sample-tables.txt", std::ios::binary);
  std::stringstream expected;
  expected << expected_file.rdbuf();
  Result r = RunTool({"tables", BARVIK_SOURCE_DIR "/samples/sample.log"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, expected.str());
}

TEST(CliTest, NameOptionsKeepCaseAndColours) {
  TempLog log("0:01 J;1;0;^2Al\n0:02 J;1;0;^2AL\n");
  Result r = RunTool({"tables", "--keep-colors", "--case-sensitive", log.path()});
  EXPECT_NE(r.out.find("\n^2Al\t"), std::string::npos);
  EXPECT_EQ(r.out.find("^2AL"), std::string::npos);
}

TEST(CliTest, BadInvocationsExitWithTwoAndOneLine) {
  TempLog log("0:01 J;1;0;Al\n");
  const std::string empty_folder = log.path() + ".d";
  std::filesystem::create_directory(empty_folder);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"tables"},
       "barvik-cli: 'tables' takes LOG... (got 0 arguments); see 'barvik-cli --help'\n"},
      {{"player", log.path()},
       "barvik-cli: 'player' takes LOG... NAME (got 1 arguments); see 'barvik-cli --help'\n"},
      {{"tables", log.path(), "/no/b.log"}, "barvik-cli: no such log file: /no/b.log\n"},
      {{"tabels", "x"},
       "barvik-cli: unknown command 'tabels' (did you mean 'tables'?); see 'barvik-cli --help'\n"},
      {{"tables", "--keep-color", log.path()},
       "barvik-cli: unknown option '--keep-color' for 'tables' (did you mean "
       "'--keep-colors'?); see 'barvik-cli --help'\n"},
      {{"tables", "--min-kills", "3", log.path()},
       "barvik-cli: unknown option '--min-kills' for 'tables'; see 'barvik-cli --help'\n"},
      {{"player", log.path(), "Al", "--weapon"},
       "barvik-cli: option '--weapon' needs a value; see 'barvik-cli --help'\n"},
      {{"tables", "/no/such.log"}, "barvik-cli: no such log file: /no/such.log\n"},
      {{"tables", empty_folder},
       "barvik-cli: Cannot open file " + empty_folder + ": no log in it\n"},
      {{"export", "--wait", "soon", log.path(), "out"},
       "barvik-cli: option '--wait' takes a whole number of seconds from 0 to 86400, not 'soon'; "
       "see 'barvik-cli --help'\n"},
      {{"tables", "--wait", "1", log.path()},
       "barvik-cli: unknown option '--wait' for 'tables'; see 'barvik-cli --help'\n"},
      // Terminal escapes in what the user typed or the log holds never reach the terminal.
      {{"player", log.path(), "\x1b]0;owned\x07\x1b[2J"},
       "barvik-cli: no player row named '\\x1B]0;owned\\x07\\x1B[2J' in " + log.path() + "\n"},
      {{"tables", "/no/\x9b\xe9t\x7f.log"},
       "barvik-cli: no such log file: /no/\x9b\xe9t\\x7F.log\n"},
  };
  for (const Case& c : cases) {
    Result r = RunTool(c.args);
    EXPECT_EQ(r.status, kExitUsage) << c.args[0];
    EXPECT_EQ(r.err, c.message);
    EXPECT_EQ(r.out, "");
  }
  std::filesystem::remove(empty_folder);
  Result none = RunTool({});
  EXPECT_EQ(none.status, kExitUsage);
  EXPECT_NE(none.err.find("Usage: barvik-cli"), std::string::npos);
}

// The people file is UTF-8 (a byte-order mark or not) or, when it is not, the log's code page;
// anything but a regular file is refused at once.
TEST(CliTest, ThePeopleFileIsReadAsUtf8AndOnlyFromARegularFile) {
  TempLog log(
      "0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_foy\\sv_hostname\\Srv\\\n"
      "0:01 J;2;0;J\xf6rg\n0:01 J;3;1;Al\n"
      "0:30 K;1;1;;Al;2;0;;J\xf6rg;mp40_mp;100;MOD_X;head\n");
  const std::string people = log.path() + ".people";
  auto listed = [&](const std::string& text) {
    std::ofstream(people, std::ios::binary | std::ios::trunc) << text;
    return RunTool({"people", "--people", people, log.path()});
  };
  for (const std::string& text :
       {std::string("hide; J\xC3\xB6rg\n"), std::string("\xEF\xBB\xBFhide; J\xC3\xB6rg\r\n"),
        std::string("hide; J\xF6rg\n")}) {  // Windows-1252 as before
    const Result r = listed(text);
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out.find("rg\t"), std::string::npos) << text << r.out;
    EXPECT_NE(r.out.find("\tAl\t"), std::string::npos) << r.out;
  }
  const Result cyrillic = listed("# ok\nhide; \xD0\x90l\n");
  EXPECT_EQ(cyrillic.status, kExitUsage);
  EXPECT_EQ(cyrillic.err, "barvik-cli: people file '" + people +
                              "', line 2: a character the log's code page cannot write (no name "
                              "of the log has it); see 'barvik-cli --help'\n");
  std::filesystem::remove(people);
  ASSERT_EQ(mkfifo(people.c_str(), 0600), 0);
  const Result fifo = RunTool({"people", "--people", people, log.path()});
  EXPECT_EQ(fifo.status, kExitUsage);
  EXPECT_EQ(fifo.err, "barvik-cli: option '--people': cannot read '" + people +
                          "' (not a regular file); see 'barvik-cli --help'\n");
  std::filesystem::remove(people);
  const Result missing = RunTool({"people", "--people", people, log.path()});
  EXPECT_EQ(missing.err, "barvik-cli: option '--people': cannot read '" + people +
                             "' (No such file or directory); see 'barvik-cli --help'\n");
}

TEST(CliTest, GamesPeopleAndPersonFollowThePeopleFile) {
  TempLog log(
      "0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_foy\\sv_hostname\\^1Srv\\\n"
      "0:01 J;123456;0;^2B\xf6"
      "b\n0:01 J;2;1;Al\n"
      "0:30 K;1;1;;Al;2;0;;^2B\xf6"
      "b;mp40_mp;100;MOD_X;head\n"
      "1:30 K;1;1;;Al;2;0;;Bobby;mp40_mp;100;MOD_X;head\n"
      "1:40 W;;123456;Bobby\n1:41 ExitLevel: executed\n");
  const std::string people = log.path() + ".people";
  std::ofstream(people) << "name; bobby; Robert\n";
  Result games = RunTool({"games", "--json", "--people", people, log.path()});
  ASSERT_EQ(games.status, kExitOk) << games.err;
  EXPECT_NE(games.out.find("\"format\": \"barvik-stats/2\""), std::string::npos);
  EXPECT_NE(games.out.find("\"server\": \"^1Srv\""), std::string::npos);
  EXPECT_NE(games.out.find("\"ended\": \"exit\""), std::string::npos);
  const std::string bob = std::string("b\xf6") + "b";  // "b" after "\xf6" would join the escape
  Result person = RunTool({"person", "--people", people, log.path(), bob});
  ASSERT_EQ(person.status, kExitOk) << person.err;
  // The rename made one person of both names, shown under the file's name for him.
  EXPECT_NE(person.out.find("\tRobert\t1\t2\t"), std::string::npos) << person.out;
  Result json = RunTool({"people", "--json", log.path()});
  EXPECT_NE(json.out.find("\"name\": \"^2B\u00f6b\""), std::string::npos) << json.out;

  std::ofstream(people) << "same; Al\n";
  Result bad = RunTool({"people", "--people", people, log.path()});
  EXPECT_EQ(bad.status, kExitUsage);
  EXPECT_EQ(bad.err, "barvik-cli: people file '" + people +
                         "', line 1: \"same\" needs two or more names; see 'barvik-cli --help'\n");
  Result nobody = RunTool({"person", log.path(), "Alf"});
  EXPECT_EQ(nobody.status, kExitUsage);
  EXPECT_EQ(nobody.err,
            "barvik-cli: nobody named 'Alf' in " + log.path() + " (did you mean 'al'?)\n");
  std::filesystem::remove(people);
}

TEST(CliTest, HelpGoesToStandardOutput) {
  Result r = RunTool({"tables", "--help"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("--case-sensitive"), std::string::npos);
  EXPECT_NE(r.out.find("default 10"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

TEST(CliTest, UnreadableLogIsReportedWithTheFileMessage) {
  // /proc/self/mem opens but cannot be read from its start by any user, root included; a
  // file without read permission cannot be read but by root.
  std::vector<std::string> paths = {"/proc/self/mem"};
  TempLog log("0:01 J;1;0;Al\n");
  std::filesystem::permissions(log.path(), std::filesystem::perms::none);
  if (::access(log.path().c_str(), R_OK) != 0) paths.push_back(log.path());
  for (const std::string& path : paths) {
    Result r = RunTool({"tables", path});
    EXPECT_EQ(r.status, kExitUsage) << path;
    EXPECT_EQ(r.err, "barvik-cli: Cannot open file " + path + "\n");
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace barvik
