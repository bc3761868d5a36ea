// export --site over generated logs of three servers sharing names: each server's report is
// its one-server export, the people and figures add up across servers, ranks per server and
// league agree with the rankings, and what the file no longer names leaves no pages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>
#include <regex>
#include <sstream>

#include "app/Cli.h"
#include "report/JsonWriter.h"
#include "report/ReportFolder.h"
#include "tests/FakeImages.h"
#include "tests/MaskedReport.h"
#include "tests/TempFolder.h"
#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using testing::MaskedReport;
using testing::ReadBytes;

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class SiteExportTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    for (uint64_t seed = 1; seed <= 3; ++seed) {
      LogGeneratorOptions o;
      o.seed = seed;
      o.lines = 2500;
      o.players = 8;
      o.lines_per_turn = 600;
      logs_.push_back(Write("log" + std::to_string(seed) + ".log", GenerateLog(o)));
    }
  }

  CliRun Cli(std::vector<std::string> args) const {
    CliEnvironment env;
    env.template_folder = BARVIK_TEMPLATE_DIR;
    env.make_image_source = [](Workspace&) { return std::make_unique<testing::FakeImages>(); };
    args.insert(args.begin() + 1, "--no-cache");
    std::ostringstream out, err;
    const int status = RunCli(args, out, err, env);
    return {status, out.str(), err.str()};
  }

  // A site file of the servers named, each "key:league" with the log of its number.
  std::string Site(const std::vector<std::string>& servers, const std::string& extra = "") {
    std::string text = "[site]\ntitle = \"Test site\"\n" + extra;
    for (const std::string& s : servers) {
      const std::string key = s.substr(0, s.find(':'));
      const std::string league = s.find(':') != std::string::npos ? s.substr(s.find(':') + 1) : "";
      text += "\n[[server]]\nkey = \"" + key + "\"\nlogs = [\"" + logs_[key.back() - '1'] + "\"]\n";
      if (!league.empty()) text += "league = \"" + league + "\"\n";
    }
    return Write("site.toml", text);
  }

  static Json JsonOf(const fs::path& path) { return Json::parse(ReadBytes(path)); }

  std::vector<std::string> logs_;
};

TEST_F(SiteExportTest, EachServerReportIsItsOneServerExport) {
  const fs::path out = dir_ / "out";
  const CliRun site = Cli({"export", "--site", Site({"s1", "s2:lan", "s3"}), out.string()});
  ASSERT_EQ(site.status, 0) << site.err;
  for (int i = 1; i <= 3; ++i) {
    const fs::path alone = dir_ / ("alone" + std::to_string(i));
    ASSERT_EQ(Cli({"export", logs_[i - 1], alone.string()}).status, 0);
    const auto expected = MaskedReport(alone);
    EXPECT_EQ(MaskedReport(out / "servers" / ("s" + std::to_string(i))), expected) << i;
    EXPECT_GT(expected.size(), 50u);
  }
  for (const char* file : {"index.html", "servers.json", "site.css", "leagues/all/people.html",
                           "leagues/all/ranking.html", "leagues/lan/people.json"}) {
    EXPECT_TRUE(fs::is_regular_file(out / file)) << file;
  }
  const Json servers = JsonOf(out / "servers.json").at("servers");
  ASSERT_EQ(servers.size(), 3u);
  EXPECT_EQ(servers[1].at("key"), "s2");
  EXPECT_EQ(servers[1].at("league"), "lan");
  EXPECT_EQ(servers[1].at("page"), "servers/s2/site/index.html");
  EXPECT_TRUE(fs::is_regular_file(out / servers[1].at("page").get<std::string>()));
  EXPECT_TRUE(servers[1].at("error").is_null());
  EXPECT_TRUE(fs::is_regular_file(out / servers[2].at("last_game").at("page").get<std::string>()));
}

TEST_F(SiteExportTest, OneServerSiteIsTheOneServerReport) {
  const fs::path out = dir_ / "out";
  const fs::path alone = dir_ / "alone";
  ASSERT_EQ(Cli({"export", "--site", Site({"s2"}), out.string()}).status, 0);
  ASSERT_EQ(Cli({"export", logs_[1], alone.string()}).status, 0);
  EXPECT_EQ(MaskedReport(out), MaskedReport(alone));
}

TEST_F(SiteExportTest, PeopleAndKillsAddUpAcrossServersWithRanksOnEach) {
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", Site({"s1", "s2", "s3"}), out.string()}).status, 0);
  const Json league = JsonOf(out / "leagues/all/people.json");
  auto kills = [](const Json& people) {
    int64_t sum = 0;
    for (const Json& p : people.at("people")) sum += p.at("kills").get<int64_t>();
    return sum;
  };
  int64_t per_server = 0;
  std::map<std::string, Json> rankings;
  for (const char* key : {"s1", "s2", "s3"}) {
    per_server += kills(JsonOf(out / "servers" / key / "site/people.json"));
    rankings[key] = JsonOf(out / "servers" / key / "site/ranking.json");
  }
  EXPECT_EQ(kills(league), per_server);
  // The generated logs share their host name: the lists tell the servers apart by their keys.
  const std::string index = ReadBytes(out / "index.html");
  for (const char* key : {"s1", "s2", "s3"}) {
    EXPECT_NE(index.find("</span></span> <small>" + std::string(key) + "</small>"),
              std::string::npos)
        << key;
  }
  // The generated logs share most of their names: one person per name in the league.
  const Json servers = JsonOf(out / "servers.json").at("servers");
  size_t most = 0;
  size_t sum = 0;
  for (const Json& s : servers) {
    most = std::max(most, s.at("people").get<size_t>());
    sum += s.at("people").get<size_t>();
  }
  EXPECT_GE(league.at("people").size(), most);
  EXPECT_LT(league.at("people").size(), sum);
  size_t everywhere = 0;
  const Json league_ranking = JsonOf(out / "leagues/all/ranking.json");
  size_t checked = 0;
  for (const Json& person : league.at("people")) {
    everywhere += person.at("servers") == Json({"s1", "s2", "s3"}) ? 1 : 0;
    const std::string profile =
        ReadBytes(out / "leagues/all" / person.at("page").get<std::string>());
    const std::string name = person.at("name").get<std::string>();
    for (const char* key : {"s1", "s2", "s3"}) {
      const Json& ranked = rankings[key].at("ranking");
      for (const Json& r : ranked) {
        if (r.at("name") != name) continue;
        const std::string rank = "Rank " + std::to_string(r.at("rank").get<int>()) + " of " +
                                 std::to_string(ranked.size());
        // His row of that server links his profile there and shows his rank there.
        const std::string link =
            "servers/" + std::string(key) + "/site/" + r.at("page").get<std::string>();
        const size_t row = profile.find(link);
        ASSERT_NE(row, std::string::npos) << name << " " << key;
        EXPECT_NE(profile.substr(row, profile.find("</tr>", row) - row).find(rank),
                  std::string::npos)
            << name << " " << key << " " << rank;
        ++checked;
      }
    }
    for (const Json& r : league_ranking.at("ranking")) {
      if (r.at("name") != name) continue;
      EXPECT_NE(
          profile.find("Rank " + std::to_string(r.at("rank").get<int>()) + " of " +
                       std::to_string(league_ranking.at("ranking").size()) + " in league all"),
          std::string::npos)
          << name;
    }
  }
  EXPECT_GE(everywhere, 5u);
  EXPECT_GT(checked, 8u);
  // Every game of the league names its server, the servers' games in the file's order.
  const Json games = JsonOf(out / "leagues/all/games.json").at("games");
  size_t s1_games = 0;
  for (const Json& g : games) s1_games += g.at("server") == "s1" ? 1 : 0;
  EXPECT_EQ(s1_games, JsonOf(out / "servers/s1/site/games.json").at("games").size());
  EXPECT_EQ(games.front().at("server"), "s1");
  EXPECT_EQ(games.back().at("server"), "s3");
  // The league's games page leads to each game's page in its server's report.
  const std::string list = ReadBytes(out / "leagues/all/games.html");
  const std::regex link("href=\"\\.\\./\\.\\./(servers/(s[123])/site/games/[0-9]+\\.html)\"");
  size_t links = 0;
  std::map<std::string, size_t> linked;
  for (std::sregex_iterator it(list.begin(), list.end(), link), end; it != end; ++it) {
    EXPECT_TRUE(fs::is_regular_file(out / (*it)[1].str())) << (*it)[1];
    ++linked[(*it)[2].str()];
    ++links;
  }
  EXPECT_EQ(links, games.size());
  EXPECT_EQ(linked["s1"], s1_games);
}

TEST_F(SiteExportTest, LeaguesRateApart) {
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", Site({"s1:pub", "s2:lan"}), out.string()}).status, 0);
  const Json pub = JsonOf(out / "leagues/pub/people.json");
  for (const Json& p : pub.at("people")) EXPECT_EQ(p.at("servers"), Json({"s1"}));
  // A league of one server rates exactly that server's games.
  const Json lan = JsonOf(out / "leagues/lan/ranking.json").at("ranking");
  const Json own = JsonOf(out / "servers/s2/site/ranking.json").at("ranking");
  ASSERT_EQ(lan.size(), own.size());
  for (size_t i = 0; i < lan.size(); ++i) {
    EXPECT_EQ(lan[i].at("name"), own[i].at("name"));
    EXPECT_EQ(lan[i].at("skill"), own[i].at("skill"));
  }
}

TEST_F(SiteExportTest, SitePeopleFileHoldsOnEveryServer) {
  const fs::path out = dir_ / "out";
  Write("people.txt", "hide; Gunner6\nname; Wolf4; The Wolf\n");
  const std::string site = Site({"s1", "s2"}, "people = \"people.txt\"\n");
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  for (const fs::path& people :
       {out / "leagues/all/people.json", out / "servers/s1/site/people.json",
        out / "servers/s2/site/people.json"}) {
    const std::string text = ReadBytes(people);
    EXPECT_EQ(text.find("Gunner6"), std::string::npos) << people;
    EXPECT_NE(text.find("The Wolf"), std::string::npos) << people;
  }
  EXPECT_EQ(ReadBytes(out / "leagues/all/ranking.html").find("Gunner6"), std::string::npos);
  // The command line's people file stands for the servers without their own.
  const fs::path cli = dir_ / "cli";
  ASSERT_EQ(Cli({"export", "--people", (dir_ / "people.txt").string(), "--site", Site({"s1", "s2"}),
                 cli.string()})
                .status,
            0);
  EXPECT_EQ(ReadBytes(cli / "leagues/all/people.json").find("Gunner6"), std::string::npos);
  EXPECT_EQ(ReadBytes(cli / "servers/s2/site/people.json").find("Gunner6"), std::string::npos);
}

TEST_F(SiteExportTest, RenamedHostKeepsItsServer) {
  // The second half of server 1's history under another sv_hostname.
  const std::string renamed =
      std::regex_replace(ReadBytes(logs_[0]), std::regex("Barvik \\^7Test Server"), "Renamed");
  logs_[0] = Write("log1.log", renamed);
  const fs::path out = dir_ / "out";
  const std::string site = Site({"s1", "s2"});
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  const Json servers = JsonOf(out / "servers.json").at("servers");
  EXPECT_EQ(servers[0].at("key"), "s1");
  EXPECT_EQ(servers[0].at("name"), "^1Renamed");
  // A name given in the file (UTF-8) is shown as written.
  const std::string named =
      Write("named.toml",
            "[[server]]\nkey = \"s1\"\nname = \"Öffentlich\"\n"
            "logs = [\"" +
                logs_[0] + "\"]\n" +
                ReadBytes(site).substr(ReadBytes(site).find("[[server]]\nkey = \"s2\"")));
  ASSERT_EQ(Cli({"export", "--site", named, out.string()}).status, 0);
  EXPECT_EQ(JsonOf(out / "servers.json").at("servers")[0].at("name"), "Öffentlich");
  EXPECT_NE(ReadBytes(out / "index.html").find("Öffentlich"), std::string::npos);
  std::vector<std::string> folders;
  for (const auto& e : fs::directory_iterator(out / "servers")) {
    folders.push_back(e.path().filename().string());
  }
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<std::string>{"s1", "s2"}));
}

TEST_F(SiteExportTest, ServerLeftOutOfTheFileLeavesNoPages) {
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", Site({"s1", "s2", "s3:lan"}), out.string()}).status, 0);
  ASSERT_TRUE(fs::is_directory(out / "servers/s3"));
  ASSERT_TRUE(fs::is_directory(out / "leagues/lan"));
  ASSERT_EQ(Cli({"export", "--site", Site({"s1", "s2"}), out.string()}).status, 0);
  EXPECT_FALSE(fs::exists(out / "servers/s3"));
  EXPECT_FALSE(fs::exists(out / "leagues/lan"));
  EXPECT_EQ(JsonOf(out / "servers.json").at("servers").size(), 2u);
  EXPECT_EQ(ReadBytes(out / "index.html").find("s3"), std::string::npos);
}

TEST_F(SiteExportTest, OnlyTheServerWhoseLogsChangedIsExportedAgain) {
  const fs::path out = dir_ / "out";
  const std::string site = Site({"s1", "s2"});
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  const auto time_of = [&](const char* file) { return fs::last_write_time(out / file); };
  const auto s1 = time_of("servers/s1/players.html");
  const auto s2 = time_of("servers/s2/players.html");
  const auto index = time_of("index.html");
  const CliRun again = Cli({"export", "--site", site, out.string()});
  EXPECT_EQ(again.status, 0);
  EXPECT_NE(again.err.find("no server's logs changed"), std::string::npos) << again.err;
  EXPECT_EQ(time_of("index.html"), index);
  // Server 1's log grows: its report and the site's files are made again, server 2's not.
  std::ofstream(logs_[0], std::ios::app) << ReadBytes(logs_[0]).substr(0, 20000);
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  EXPECT_NE(time_of("servers/s1/players.html"), s1);
  EXPECT_EQ(time_of("servers/s2/players.html"), s2);
  // A server folder removed by hand is made again.
  fs::remove_all(out / "servers/s2");
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  EXPECT_TRUE(fs::is_regular_file(out / "servers/s2/players.html"));
  // Other dates to keep change what every server shows.
  const auto s2_made = time_of("servers/s2/players.html");
  const CliRun since = Cli({"export", "--since", "2000-01-01", "--site", site, out.string()});
  EXPECT_EQ(since.status, 0);
  EXPECT_EQ(since.err.find("no server's logs changed"), std::string::npos) << since.err;
  EXPECT_NE(time_of("servers/s2/players.html"), s2_made);
}

TEST_F(SiteExportTest, AServerKeyedSiteIsUnchangedWhenItsLogIs) {
  const std::string site =
      Write("keyed.toml", "[[server]]\nkey = \"site\"\nlogs = [\"" + logs_[0] +
                              "\"]\n[[server]]\nkey = \"b\"\nlogs = [\"" + logs_[1] + "\"]\n");
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  const CliRun again = Cli({"export", "--site", site, out.string()});
  EXPECT_NE(again.err.find("no server's logs changed"), std::string::npos) << again.err;
}

TEST_F(SiteExportTest, DamagedPeopleOfAServerReportNeitherStopNorInjectTheSite) {
  const fs::path out = dir_ / "out";
  const std::string site = Site({"s1", "s2"});
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  // Server 1's report is left as it is by the next run, whose league pages read its people.
  const fs::path people = out / "servers/s1/site/people.json";
  Json document = JsonOf(people);
  Json& list = document.at("people");
  ASSERT_GE(list.size(), 3u);
  list.at(0)["page"] = 5;
  list.at(1)["page"] = "x\"><script>alert(1)</script>";
  list.at(2)["spellings"] = Json::array({Json{{"name", 7}}});
  std::ofstream(people, std::ios::binary | std::ios::trunc) << document.dump();
  std::ofstream(logs_[1], std::ios::app) << ReadBytes(logs_[1]).substr(0, 20000);
  const CliRun run = Cli({"export", "--site", site, out.string()});
  EXPECT_EQ(run.status, 0) << run.err;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(out / "leagues")) {
    if (e.is_regular_file()) {
      EXPECT_EQ(ReadBytes(e.path()).find("<script>"), std::string::npos) << e.path();
    }
  }
}

TEST_F(SiteExportTest, CommandLineFaults) {
  const std::string site = Site({"s1", "s2"});
  {  // the logs come from the file
    const CliRun run = Cli({"export", "--site", site, logs_[0], (dir_ / "out").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("'export --site FILE' takes at most DIR"), std::string::npos) << run.err;
  }
  {  // no report folder anywhere
    const CliRun run = Cli({"export", "--site", site});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("needs DIR, or 'report' under [site]"), std::string::npos) << run.err;
  }
  {  // the file's report folder
    const CliRun run = Cli(
        {"export", "--site", Site({"s1", "s2"}, "report = \"" + (dir_ / "r").string() + "\"\n")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir_ / "r/servers.json"));
  }
  {  // the site's folder held by another run
    const fs::path busy = dir_ / "busy";
    fs::create_directories(busy);
    const ReportFolderLock held(busy.string() + "/", 0, busy.string());
    ASSERT_TRUE(held.held());
    const CliRun run = Cli({"export", "--site", site, busy.string()});
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_FALSE(fs::exists(busy / "servers"));
  }
  {  // a fault of the file, with its place
    const std::string bad = Write("bad.toml", "[[server]]\nkey = \"a\"\nlogs = [\"x\"]\nfoo = 1\n");
    const CliRun run = Cli({"ranking", "--site", bad});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find(bad + ":4:1: unknown field 'foo'"), std::string::npos) << run.err;
  }
  {  // a missing log of one server: the others are exported, the failure told and returned
    const std::string missing =
        Write("m.toml", "[[server]]\nkey = \"a\"\nlogs = [\"" + logs_[0] +
                            "\"]\n[[server]]\nkey = \"b\"\nlogs = [\"/nonexistent.log\"]\n");
    const CliRun run = Cli({"export", "--site", missing, (dir_ / "m").string()});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("no such log file: /nonexistent.log"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir_ / "m/servers/a/players.html"));
    const Json servers = JsonOf(dir_ / "m/servers.json").at("servers");
    EXPECT_EQ(servers[1].at("error"), "its logs could not be read");
  }
}

TEST_F(SiteExportTest, PeopleGamesAndRankingCommandsCoverTheLeagues) {
  const std::string site = Site({"s1", "s2:lan"});
  const CliRun people = Cli({"people", "--site", site});
  ASSERT_EQ(people.status, 0) << people.err;
  EXPECT_NE(people.out.find("[People all]\n"), std::string::npos);
  EXPECT_NE(people.out.find("[People lan]\n"), std::string::npos);
  EXPECT_NE(people.out.find("\ts1\n"), std::string::npos);
  const CliRun games = Cli({"games", "--site", site, "--json"});
  ASSERT_EQ(games.status, 0) << games.err;
  const Json leagues = Json::parse(games.out).at("leagues");
  ASSERT_EQ(leagues.size(), 2u);
  EXPECT_EQ(leagues[1].at("league"), "lan");
  EXPECT_EQ(leagues[1].at("games")[0].at("server"), "s2");
  const CliRun ranking = Cli({"ranking", "--site", site});
  ASSERT_EQ(ranking.status, 0) << ranking.err;
  EXPECT_NE(ranking.out.find("[league lan]\n\n[ranking]\n"), std::string::npos);
}

TEST_F(SiteExportTest, EachServerDatesItsGamesInItsOwnZone) {
  // One log whose server started at 20:00 local time, read by two servers of the site: one in
  // Berlin, one in the site's zone (UTC).
  const std::string log =
      Write("dated.log",
            "  0:00 InitGame: \\g_gametype\\dm\\gamestartup\\12/09/26 20:00:00\\mapname\\mp_a\n"
            "  0:10 K;1;1;;Al;2;2;;Bob;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  1:10 K;2;2;;Bob;1;1;;Al;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  1:30 ShutdownGame:\n");
  const std::string site = Write("dated.toml",
                                 "[site]\ntimezone = \"UTC\"\n"
                                 "[[server]]\nkey = \"berlin\"\nlogs = [\"" +
                                     log +
                                     "\"]\ntimezone = \"Europe/Berlin\"\n"
                                     "[[server]]\nkey = \"utc\"\nlogs = [\"" +
                                     log + "\"]\n");
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  const auto start = [&](const std::string& key) {
    return JsonOf(out / "servers" / key / "site/games.json").at("games").at(0).at("started_at");
  };
  EXPECT_EQ(start("berlin"), "2026-12-09T19:00:00Z");
  EXPECT_EQ(start("utc"), "2026-12-09T20:00:00Z");
  // The league of both holds each server's game with that server's date.
  const Json league = JsonOf(out / "leagues/all/games.json").at("games");
  ASSERT_EQ(league.size(), 2u);
  EXPECT_EQ(league.at(0).at("started_at"), "2026-12-09T19:00:00Z");
  EXPECT_EQ(league.at(1).at("started_at"), "2026-12-09T20:00:00Z");
  EXPECT_EQ(league.at(1).at("time_quality"), "exact");
  EXPECT_NE(ReadBytes(out / "leagues/all/games.html").find("2026-12-09 20:00"), std::string::npos);
  // The command line's zone goes before the file's.
  const fs::path again = dir_ / "again";
  ASSERT_EQ(Cli({"export", "--timezone", "Asia/Tokyo", "--site", site, again.string()}).status, 0);
  EXPECT_EQ(JsonOf(again / "servers/utc/site/games.json").at("games").at(0).at("started_at"),
            "2026-12-09T11:00:00Z");
  // --since is read in the site's zone: 03:30 in Tokyo is 18:30 UTC, before the Berlin game
  // (19:00 UTC) and after the other server's, now in Tokyo too (11:00 UTC).
  std::string tokyo = ReadBytes(site);
  tokyo.replace(tokyo.find("\"UTC\""), 5, "\"Asia/Tokyo\"");
  const fs::path since = dir_ / "since";
  ASSERT_EQ(Cli({"export", "--since", "2026-12-10 03:30", "--site", Write("tokyo.toml", tokyo),
                 since.string()})
                .status,
            0);
  const Json kept = JsonOf(since / "leagues/all/games.json").at("games");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept.at(0).at("server"), "berlin");
}

TEST_F(SiteExportTest, LeagueGamesOfSeveralServersFollowOneAnotherByTheirStart) {
  // Server a started games at 20:00 and 22:00, server b at 21:00; b's first game was before
  // an uptime reset and has no date: it goes first, then each game when it began.
  const std::string a =
      Write("a.log",
            "  0:00 InitGame: \\g_gametype\\dm\\gamestartup\\12/09/26 20:00:00\\mapname\\mp_a\n"
            "  0:10 K;1;1;;Al;2;2;;Bob;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  1:30 ShutdownGame:\n"
            "  0:00 InitGame: \\g_gametype\\dm\\gamestartup\\12/09/26 22:00:00\\mapname\\mp_a\n"
            "  0:10 K;1;1;;Al;2;2;;Bob;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  0:20 K;1;1;;Al;2;2;;Bob;kar98k_mp;50;MOD_RIFLE_BULLET;head\n");
  const std::string b =
      Write("b.log",
            " 50:00 InitGame: \\g_gametype\\dm\\mapname\\mp_b\n"
            " 50:10 J;1;1;Cy\n"
            " 50:20 K;1;1;;Cy;2;2;;Bob;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            " 51:30 ShutdownGame:\n"
            "  0:00 InitGame: \\g_gametype\\dm\\gamestartup\\12/09/26 21:00:00\\mapname\\mp_b\n"
            "  0:10 K;2;2;;Bob;1;1;;Cy;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  0:20 K;2;2;;Bob;1;1;;Cy;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  0:30 K;2;2;;Bob;1;1;;Cy;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
            "  1:30 ShutdownGame:\n");
  const std::string site =
      Write("ordered.toml", "[[server]]\nkey = \"a\"\nlogs = [\"" + a +
                                "\"]\n[[server]]\nkey = \"b\"\nlogs = [\"" + b + "\"]\n");
  const fs::path out = dir_ / "out";
  ASSERT_EQ(Cli({"export", "--site", site, out.string()}).status, 0);
  const Json games = JsonOf(out / "leagues/all/games.json").at("games");
  ASSERT_EQ(games.size(), 4u);
  std::vector<std::string> servers, starts;
  std::vector<int> kills;
  for (const Json& g : games) {
    servers.push_back(g.at("server"));
    starts.push_back(g.at("started_at").is_null() ? "-" : std::string(g.at("started_at")));
    int k = 0;
    for (const Json& p : g.at("players")) k += p.at("kills").get<int>();
    kills.push_back(k);
  }
  EXPECT_EQ(servers, (std::vector<std::string>{"b", "a", "b", "a"}));
  EXPECT_EQ(starts, (std::vector<std::string>{"-", "2026-12-09T20:00:00Z", "2026-12-09T21:00:00Z",
                                              "2026-12-09T22:00:00Z"}));
  // Each game moved whole, with its own lines: the join before b's first kill included.
  EXPECT_EQ(kills, (std::vector<int>{1, 1, 3, 2}));
  // The games list leads to each game's page by its number on its own server.
  const std::string list = ReadBytes(out / "leagues/all/games.html");
  const size_t a2 = list.find("servers/a/site/games/2.html");
  const size_t b2 = list.find("servers/b/site/games/2.html");
  const size_t a1 = list.find("servers/a/site/games/1.html");
  ASSERT_NE(a2, std::string::npos);
  EXPECT_LT(a2, b2);  // newest first
  EXPECT_LT(b2, a1);

  // --since keeps the league's later games, each still leading to its page on its server.
  const fs::path since = dir_ / "since";
  ASSERT_EQ(
      Cli({"export", "--since", "2026-12-09T20:30:00Z", "--site", site, since.string()}).status, 0);
  const Json kept = JsonOf(since / "leagues/all/games.json").at("games");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept.at(0).at("started_at"), "2026-12-09T21:00:00Z");
  const std::string kept_list = ReadBytes(since / "leagues/all/games.html");
  for (const std::string page : {"servers/a/site/games/2.html", "servers/b/site/games/2.html"}) {
    EXPECT_NE(kept_list.find(page), std::string::npos) << page;
    EXPECT_TRUE(fs::exists(since / page)) << page;
  }
  EXPECT_EQ(kept_list.find("games/1.html"), std::string::npos);
}

}  // namespace
}  // namespace barvik
