// The site file: what it gives, and every fault named with its line and column.
#include "app/SiteFile.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

std::string ErrorOf(const std::string& text) { return ParseSiteFile(text, "/etc/s.toml").error; }

TEST(SiteFileTest, ReadsServersLeaguesAndPaths) {
  const SiteFileRead read = ParseSiteFile(R"([site]
title = "Our UO servers"
report = "/var/www/stats/"
encoding = "windows-1252"
timezone = "Europe/Berlin"

[[server]]
key = "public"
name = "^1Public ^7TDM"
logs = ["sftp://stats@game1.example.net/cod/uo/games_mp.log", "old/games_mp.log"]
league = "public"
people = "people.txt"
clock_cvar = "g_date"

[[server]]
key = "lan"
logs = "/srv/lan/logs/"
)",
                                          "/etc/barvik/site.toml");
  ASSERT_EQ(read.error, "");
  const SiteConfig& site = read.site;
  EXPECT_EQ(site.title, "Our UO servers");
  EXPECT_EQ(site.report, "/var/www/stats/");
  EXPECT_EQ(site.encoding, "windows-1252");
  EXPECT_EQ(site.timezone, "Europe/Berlin");
  ASSERT_EQ(site.servers.size(), 2u);
  const SiteServer& pub = site.servers[0];
  EXPECT_EQ(pub.key, "public");
  EXPECT_EQ(pub.name, "^1Public ^7TDM");
  // URLs stay as written; relative paths are taken from the site file's folder.
  EXPECT_EQ(pub.logs,
            (std::vector<std::string>{"sftp://stats@game1.example.net/cod/uo/games_mp.log",
                                      "/etc/barvik/old/games_mp.log"}));
  EXPECT_EQ(pub.people, "/etc/barvik/people.txt");
  EXPECT_EQ(pub.clock_cvar, "g_date");
  const SiteServer& lan = site.servers[1];
  EXPECT_EQ(lan.logs, std::vector<std::string>{"/srv/lan/logs/"});
  EXPECT_EQ(lan.league, kDefaultLeague);
  EXPECT_EQ(lan.people, std::nullopt);
  EXPECT_EQ(site.Leagues(), (std::vector<std::string>{"public", std::string(kDefaultLeague)}));
}

TEST(SiteFileTest, SitePeopleFileServesServersWithoutTheirOwn) {
  const SiteFileRead read = ParseSiteFile(R"([site]
people = "all.txt"
[[server]]
key = "a"
logs = ["a.log"]
[[server]]
key = "b"
logs = ["b.log"]
people = "/b.txt"
)",
                                          "/s/site.toml");
  ASSERT_EQ(read.error, "");
  EXPECT_EQ(read.site.servers[0].people, "/s/all.txt");
  EXPECT_EQ(read.site.servers[1].people, "/b.txt");
}

TEST(SiteFileTest, FaultsNameTheirLineAndColumn) {
  {  // a server without its key: the line of its table
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n\n[[server]]\nlogs = [\"b\"]\n"),
              "/etc/s.toml:5:1: a [[server]] without its 'key'");
  }
  {  // two servers with one key: the second one's line, and the first's
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n[[server]]\nkey = \"a\"\n"
                      "logs = [\"b\"]\n"),
              "/etc/s.toml:4:1: a second server with the key 'a' (the first is on line 1)");
  }
  {  // an unknown field, at its key
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n  leage = \"x\"\n"),
              "/etc/s.toml:4:3: unknown field 'leage' in [[server]] (it takes 'key', 'name', "
              "'logs', 'league', 'people', 'timezone' or 'clock_cvar')");
    EXPECT_EQ(
        ErrorOf("[site]\ntitel = \"x\"\n[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n").substr(0, 50),
        "/etc/s.toml:2:1: unknown field 'titel' in [site] (");
    EXPECT_EQ(ErrorOf("[servers]\n"),
              "/etc/s.toml:1:2: unknown field 'servers' in the site file (it takes 'site' or "
              "'server')");
  }
  {  // values of the wrong type
    EXPECT_EQ(ErrorOf("[[server]]\nkey = 7\nlogs = [\"a\"]\n"),
              "/etc/s.toml:2:7: 'key' takes a text in quotes");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = [\"a\", 3]\n"),
              "/etc/s.toml:3:14: 'logs' takes a text in quotes");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = {x = 1}\n"),
              "/etc/s.toml:3:8: 'logs' takes a list of texts in quotes");
    EXPECT_EQ(ErrorOf("site = 3\n[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n"),
              "/etc/s.toml:1:8: 'site' is a table: [site]");
    EXPECT_EQ(ErrorOf("[server]\nkey = \"a\"\n"),
              "/etc/s.toml:1:1: 'server' is a list of tables: [[server]]");
  }
  {  // keys and leagues name folders and URLs
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"../x\"\nlogs = [\"a\"]\n"),
              "/etc/s.toml:2:7: a server's key takes lower-case letters, digits, '-' and '_' (at "
              "most 64), not '../x'");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = [\"a\"]\nleague = \"\"\n").substr(0, 35),
              "/etc/s.toml:4:10: a league takes lo");
  }
  {  // a zone the machine does not know
    EXPECT_EQ(
        ErrorOf("[site]\ntimezone = \"Mars/Olympus\"\n[[server]]\nkey = \"a\"\nlogs = [\"a\"]\n"),
        "/etc/s.toml:2:12: unknown time zone 'Mars/Olympus'");
  }
  {  // no servers, no logs, a syntax error
    EXPECT_EQ(ErrorOf("[site]\ntitle = \"x\"\n"),
              "/etc/s.toml:1:1: no [[server]] in the site file");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\n"),
              "/etc/s.toml:1:1: server 'a' without its 'logs'");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\"\nlogs = []\n"),
              "/etc/s.toml:3:8: 'logs' names no log");
    EXPECT_EQ(ErrorOf("[[server]]\nkey = \"a\nlogs = [\"a\"]\n").substr(0, 17),
              "/etc/s.toml:2:9: ");
  }
  EXPECT_EQ(ReadSiteFile("/nonexistent/site.toml").error,
            "cannot read the site file '/nonexistent/site.toml'");
}

}  // namespace
}  // namespace barvik
