// The service's settings file, read by barvik-cli so that blanks and quotes survive.
#include "app/WatchSettings.h"

#include <gtest/gtest.h>

#include "CliRun.h"
#include "TempFolder.h"

namespace barvik {
namespace {

using Words = std::vector<std::string>;

TEST(WatchSettingsTest, QuotedWordsKeepTheirBlanksAndQuotes) {
  std::string error;
  const WatchSettings s = ParseWatchSettings(
      "# comment\n"
      "\n"
      "BARVIK_LOGS=/srv/a\\ b.log '/srv/it''s here/' \"/srv/\\\"q\\\" x/\" ftp://h/l.log\r\n"
      "export BARVIK_REPORT=\"/var/www/my stats/\"\n"
      "  BARVIK_OPTIONS=--every 120 --people '/etc/barvik/people file'\n",
      error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(s.logs, (Words{"/srv/a b.log", "/srv/its here/", "/srv/\"q\" x/", "ftp://h/l.log"}));
  EXPECT_EQ(s.report, "/var/www/my stats/");
  EXPECT_EQ(s.options, (Words{"--every", "120", "--people", "/etc/barvik/people file"}));
  // The example file's form, unquoted, reads as it always did.
  EXPECT_EQ(ParseWatchSettings(
                "BARVIK_LOGS=/a /b  # two logs\nBARVIK_REPORT=/r/\nBARVIK_OPTIONS=\n", error)
                .logs,
            (Words{"/a", "/b"}));
}

TEST(WatchSettingsTest, BadLinesAreNamed) {
  for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
           {"BARVIK_LOGS=/a\nBARVIK_LOG=/b\n", "line 2: unknown setting 'BARVIK_LOG'"},
           {"BARVIK_LOGS='/a\n", "line 1: a ' is not closed"},
           {"BARVIK_REPORT=/a b\n", "line 1: BARVIK_REPORT takes one folder"},
           {"just words\n", "line 1: no KEY=VALUE"}}) {
    std::string error;
    ParseWatchSettings(text, error);
    EXPECT_EQ(error.substr(0, message.size()), message) << text;
  }
}

class WatchSettingsFileTest : public testing::TempFolderTest {};

TEST_F(WatchSettingsFileTest, WatchTakesItsOperandsFromTheFile) {
  const std::string file =
      Write("s.conf", "BARVIK_LOGS='/no such/games mp.log'\nBARVIK_REPORT=\"/tmp/r r/\"\n");
  std::string error;
  EXPECT_EQ(ExpandWatchSettings({"watch", "--cache", "/c", "--settings", file}, error),
            (Words{"watch", "--cache", "/c", "--", "/no such/games mp.log", "/tmp/r r/"}));
  const testing::CliResult r = testing::RunTool({"watch", "--settings", file});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("no such log file: /no such/games mp.log"), std::string::npos) << r.err;
  const testing::CliResult bad = testing::RunTool({"watch", "--settings", Write("b", "X=1\n")});
  EXPECT_EQ(bad.status, kExitUsage);
  EXPECT_NE(bad.err.find("unknown setting 'X'"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace barvik
