// The games' dates: clock texts as servers write them, time zones, the span arguments, games
// placed from date cvars, Unix stamps and known lines (never across an uptime reset), and the
// event cache's record of when each stretch of a log was first read.
#include "stats/GameDates.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Workspace.h"
#include "log/EventCache.h"
#include "log/LineFormat.h"
#include "report/GamesJson.h"
#include "report/SiteDates.h"

namespace barvik {
namespace {

std::optional<int64_t> Local(std::string_view text) {
  const std::optional<ClockReading> r = ClockValue(text);
  if (!r || r->utc) return std::nullopt;
  return r->seconds;
}

TEST(GameDatesTest, ClockTextsOfEveryFormReadAsTheSameTimeAndImpossibleOnesNot) {
  const int64_t t = 1765310400;  // 2025-12-09 20:00:00
  EXPECT_EQ(Local("12/09/25 20:00:00"), t);
  EXPECT_EQ(Local("12/09/2025 20:00:00"), t);
  EXPECT_EQ(Local("2025-12-09 20:00:00"), t);
  EXPECT_EQ(Local("2025-12-09T20:00:00"), t);
  EXPECT_EQ(Local("Tue Dec  9 20:00:00 2025"), t);
  EXPECT_EQ(Local("Tue Dec 09 20:00:00 2025"), t);
  EXPECT_EQ(Local("01/01/99 00:00:00"), 915148800);  // 1999, not 2099
  EXPECT_EQ(Local("02/29/24 12:00:00"), 1709208000);
  ASSERT_TRUE(ClockValue("1765310400"));
  EXPECT_TRUE(ClockValue("1765310400")->utc);
  for (const char* bad : {"02/29/25 12:00:00", "13/01/25 00:00:00", "12/09/25 24:00:00",
                          "12/09/25 20:00", "12/9/25 20:00:00", "2025-12-09", "20:00:00", "1.0",
                          "12345678", "Tue Dex  9 20:00:00 2025", "", "yes"}) {
    EXPECT_FALSE(ClockValue(bad)) << bad;
  }
}

TEST(GameDatesTest, OnlyDateCvarsAreKeptAndFoundWithoutCase) {
  const std::string cvars = ClockCvars(
      "InitGame: \\g_gametype\\dm\\gamestartup\\12/09/25 20:00:00\\mapname\\mp_a"
      "\\g_mapStartTime\\Tue Dec  9 20:30:00 2025\\sv_hostname\\S");
  EXPECT_EQ(cvars, "gamestartup\\12/09/25 20:00:00\\g_mapStartTime\\Tue Dec  9 20:30:00 2025");
  EXPECT_EQ(ClockCvarValue(cvars, "GameStartUp"), "12/09/25 20:00:00");
  EXPECT_EQ(ClockCvarValue(cvars, "g_mapstarttime"), "Tue Dec  9 20:30:00 2025");
  EXPECT_EQ(ClockCvarValue(cvars, "mapname"), "");
  EXPECT_EQ(ClockCvars("InitGame: \\mapname\\mp_a\\g_gametype\\dm"), "");
  EXPECT_EQ(UnixStamp("1765310400 InitGame: \\mapname\\mp_a"), 1765310400u);
  EXPECT_FALSE(UnixStamp(" 12:34 InitGame:"));
  EXPECT_FALSE(UnixStamp("176531040 J;1;2;Bob"));  // nine digits: an uptime
}

TEST(GameDatesTest, ZonesFollowTheirClockChangesAndSpansReadInThem) {
  const Zone berlin = Zone::Of({"Europe/Berlin", ""});
  EXPECT_EQ(berlin.ToUtc(*Local("2025-12-09 20:00:00")), 1765310400 - 3600);              // CET
  EXPECT_EQ(berlin.ToUtc(*Local("2025-07-01 12:00:00")), *Local("2025-07-01 10:00:00"));  // CEST
  // 02:30 on the spring-forward night does not exist: read with the winter offset.
  EXPECT_EQ(berlin.ToUtc(*Local("2025-03-30 02:30:00")), *Local("2025-03-30 01:30:00"));
  // 02:30 on the fall-back night happens twice: the first one.
  EXPECT_EQ(berlin.ToUtc(*Local("2025-10-26 02:30:00")), *Local("2025-10-26 00:30:00"));
  EXPECT_EQ(LocalText(1765310400, berlin), "2025-12-09 21:00");
  EXPECT_EQ(IsoUtc(1765310400), "2025-12-09T20:00:00Z");
  EXPECT_THROW(Zone::Of({"Mars/Olympus", ""}), ClockError);

  EXPECT_EQ(ParseDateBound("2025-12-09", berlin, false), 1765234800);  // midnight CET
  EXPECT_EQ(ParseDateBound("2025-12-09", berlin, true), 1765234800 + 86400);
  EXPECT_EQ(ParseDateBound("2025-12-09Z", berlin, false), 1765238400);
  EXPECT_EQ(ParseDateBound("2025-12-09 21:00", berlin, false), 1765310400);
  EXPECT_EQ(ParseDateBound("2025-12-09T20:00:00Z", berlin, true), 1765310401);
  for (const char* bad : {"2025-13-01", "09.12.2025", "2025-12-09 25:00", "", "yesterday"}) {
    EXPECT_THROW(ParseDateBound(bad, berlin, false), ClockError) << bad;
  }
}

const char* const kInit = "InitGame: \\g_gametype\\dm\\mapname\\mp_a\\sv_hostname\\S";

std::string Kill(const std::string& stamp, const std::string& victim, const std::string& attacker) {
  return stamp + " K;1;1;;" + victim + ";2;2;;" + attacker + ";kar98k_mp;50;MOD_RIFLE_BULLET;head";
}

// A game of Al and Bob from `start` (an uptime stamp) to a minute and a half later.
std::string AGame(const std::string& start, const std::string& init_extra = "") {
  const int minutes = std::stoi(start);
  auto at = [&](int seconds) {
    const int t = minutes * 60 + seconds;
    return std::to_string(t / 60) + ":" + (t % 60 < 10 ? "0" : "") + std::to_string(t % 60);
  };
  return " " + at(0) + " " + kInit + init_extra + "\n" + Kill(" " + at(10), "Al", "Bob") + "\n" +
         Kill(" " + at(70), "Bob", "Al") + "\n" + " " + at(90) + " ShutdownGame:\n";
}

struct Dated {
  EventStore store;
  GamesModel model;
};

Dated DateOf(const std::string& text, const std::vector<TimeAnchor>& anchors,
             const ClockSettings& clock = {"UTC", ""}) {
  Dated d;
  EventBuilder builder(d.store);
  LineSplitter splitter;
  splitter.Feed(text.data(), text.size(), builder);
  splitter.Finish(builder);
  d.store.Finish();
  d.model = BuildGames(d.store);
  DateGames(d.model, d.store, anchors, clock, Zone::Of(clock));
  return d;
}

uint64_t LinesOf(const std::string& text) {
  return static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(GameDatesTest, DateCvarsAndUnixStampsGiveExactStartsToTheSecond) {
  // The server started at 20:00 Berlin time; its second game began 10 minutes later.
  const std::string text = AGame("0", "\\gamestartup\\12/09/25 20:00:00") +
                           AGame("10", "\\gamestartup\\12/09/25 20:00:00") +
                           AGame("0", "\\g_mapStartTime\\Wed Dec 10 08:00:00 2025") +
                           AGame("0", "\\start\\2025-12-11 08:00:00") + "1765500000 " + kInit +
                           "\n" + Kill("1765500010", "Al", "Bob") + "\n";
  const Dated d = DateOf(text, {}, {"Europe/Berlin", "start"});
  ASSERT_EQ(d.model.games.size(), 5u);
  EXPECT_EQ(d.model.games[0].started_at, 1765306800);
  EXPECT_EQ(d.model.games[1].started_at, 1765306800 + 600);
  EXPECT_EQ(d.model.games[2].started_at, 1765350000);  // 08:00 CET
  EXPECT_EQ(d.model.games[3].started_at, 1765436400);  // the named cvar
  EXPECT_EQ(d.model.games[4].started_at, 1765500000);
  for (const Game& g : d.model.games) EXPECT_EQ(g.time_quality, TimeQuality::Exact);
  // Al's first line is 10 seconds into the first game, his last the end of the last one.
  const Person& al = d.model.people[d.model.FindPerson(d.store, "Al")];
  EXPECT_EQ(al.first_seen, 1765306800 + 10);
  EXPECT_EQ(GameJson(d.store, d.model, d.model.games[0])["started_at"], "2025-12-09T19:00:00Z");
  EXPECT_EQ(GameJson(d.store, d.model, d.model.games[0])["time_quality"], "exact");
}

TEST(GameDatesTest, AFileTimePlacesTheGamesOfItsLastServerRunOnly) {
  // Two games, a restart (the uptime runs back), two more; the file's last line at T.
  const std::string text = AGame("0") + AGame("5") + AGame("0") + AGame("30");
  const int64_t t = 1765310400;
  const Dated d = DateOf(text, {{LinesOf(text), t, TimeQuality::Estimated}});
  ASSERT_EQ(d.model.games.size(), 4u);
  EXPECT_EQ(d.model.games[0].time_quality, TimeQuality::Unknown);
  EXPECT_EQ(d.model.games[0].started_at, kNoDate);
  EXPECT_EQ(d.model.games[1].time_quality, TimeQuality::Unknown);
  // The last line is at 31:30 of uptime: the last game began 90 s before T.
  EXPECT_EQ(d.model.games[3].started_at, t - 90);
  EXPECT_EQ(d.model.games[3].time_quality, TimeQuality::Estimated);
  EXPECT_EQ(d.model.games[2].started_at, t - (31 * 60 + 30));
  EXPECT_EQ(GameJson(d.store, d.model, d.model.games[0])["started_at"], nullptr);
}

TEST(GameDatesTest, AnObservedLineBeatsAFileTimeAndAnExactDateBeatsBoth) {
  const std::string first = AGame("0") + AGame("5");
  const std::string text = first + AGame("10", "\\gamestartup\\12/09/25 20:00:00");
  const uint64_t after_first = LinesOf(AGame("0"));
  const Dated d = DateOf(text, {{LinesOf(text), 2'000'000'000, TimeQuality::Estimated},
                                {after_first, 1'000'000'000, TimeQuality::Observed}});
  EXPECT_EQ(d.model.games[0].time_quality, TimeQuality::Observed);
  EXPECT_EQ(d.model.games[0].started_at, 1'000'000'000 - 90);
  // Only the observed line at the end of the first game lies before the second: the file's.
  EXPECT_EQ(d.model.games[1].time_quality, TimeQuality::Estimated);
  EXPECT_EQ(d.model.games[2].time_quality, TimeQuality::Exact);
  EXPECT_EQ(d.model.games[2].started_at, 1765310400 + 600);
}

TEST(GameDatesTest, ASpanKeepsDatedGamesAndCountsThePeopleOfThoseAlone) {
  const std::string text = AGame("0") + AGame("0", "\\gamestartup\\12/09/25 20:00:00") +
                           AGame("0", "\\gamestartup\\12/10/25 20:00:00") +
                           AGame("0", "\\gamestartup\\12/11/25 20:00:00");
  Dated d = DateOf(text, {});
  const Zone utc = Zone::Utc();
  const size_t undated = KeepGamesBetween(d.model, ParseDateBound("2025-12-10", utc, false),
                                          ParseDateBound("2025-12-10", utc, true));
  EXPECT_EQ(undated, 1u);
  ASSERT_EQ(d.model.games.size(), 1u);
  EXPECT_EQ(d.model.games[0].number, 3u);
  const Person& al = d.model.people[d.model.FindPerson(d.store, "Al")];
  EXPECT_EQ(al.games, 1u);
  EXPECT_EQ(al.kills, 1u);
  EXPECT_EQ(al.first_game, 3u);
  EXPECT_GE(al.last_seen, 1765396800 + 70);  // his last kill, at least
  EXPECT_LE(al.last_seen, 1765396800 + 90);
}

TEST(GameDatesTest, PagesShowTheServersZoneAndCountMonthsInIt) {
  // Server start 23:30 UTC on 31 January: already 1 February in Berlin.
  const std::string text = AGame("0", "\\gamestartup\\01/31/26 23:30:00") + AGame("0");
  Dated d = DateOf(text, {{LinesOf(text), 1770000000, TimeQuality::Estimated}});
  const Zone berlin = Zone::Of({"Europe/Berlin", ""});
  EXPECT_EQ(StartedHtml(d.model.games[0], berlin),
            "<time datetime=\"2026-01-31T23:30:00Z\" title=\"exact\">2026-02-01 00:30</time>");
  EXPECT_NE(StartedHtml(d.model.games[1], berlin).find(">~2026-"), std::string::npos);
  const auto months = MonthsByPerson(d.model, berlin);
  const PersonIndex al = d.model.FindPerson(d.store, "Al");
  ASSERT_EQ(months[al].size(), 1u);
  EXPECT_EQ(months[al][0].month, 2u);
  EXPECT_EQ(months[al][0].games, 2u);
  EXPECT_EQ(MonthsByPerson(d.model, Zone::Utc())[al].size(), 2u);
  EXPECT_NE(ActivityHtml(d.model, berlin).find("<circle"), std::string::npos);

  // Nothing dated: no block, no chart, no date made up.
  Dated undated = DateOf(AGame("0"), {});
  EXPECT_EQ(StartedHtml(undated.model.games[0], berlin), "");
  EXPECT_EQ(RecentHtml(undated.model, {}, berlin, ""), "");
  EXPECT_EQ(ActivityHtml(undated.model, berlin), "");

  // A start read wrong, thousands of years on: the per-day charts cover the last year only.
  const std::string far = AGame("0", "\\gamestartup\\01/31/26 23:30:00") +
                          AGame("0", "\\g_mapStartTime\\12/31/9999 20:00:00");
  Dated wrong = DateOf(far, {});
  ASSERT_NE(wrong.model.games[1].started_at, kNoDate);
  const std::string activity = ActivityHtml(wrong.model, berlin);
  EXPECT_LT(activity.size(), 100'000u);
  EXPECT_NE(activity.find("the last year"), std::string::npos);
}

// A log file in a folder of its own, with its cache folder beside it.
class GameDatesFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("barvik-dates-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "cache");
    std::filesystem::permissions(dir_ / "cache", std::filesystem::perms::owner_all);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Log() const { return (dir_ / "games.log").string(); }
  std::string Cache() const { return (dir_ / "cache").string(); }
  void Append(const std::string& text, int64_t mtime) {
    std::ofstream(Log(), std::ios::app) << text;
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ::utimensat(AT_FDCWD, Log().c_str(), times, 0);
  }
  std::filesystem::path dir_;
};

TEST_F(GameDatesFileTest, TheLastGameOfAFileEndsAtItsModificationTime) {
  const int64_t t = 1765310400;
  Append(AGame("0") + AGame("0") + AGame("5"), t);
  Workspace ws;
  ws.clock = {"UTC", ""};
  ASSERT_TRUE(ws.RunAnalysis(Log()));
  GamesModel model = BuildGames(ws.log()->events());
  ws.DateGames(model);
  ASSERT_EQ(model.games.size(), 3u);
  EXPECT_EQ(model.games[0].time_quality, TimeQuality::Unknown);
  const Game& last = model.games[2];
  EXPECT_EQ(last.time_quality, TimeQuality::Estimated);
  EXPECT_EQ(last.started_at + last.seconds, t);
}

TEST_F(GameDatesFileTest, AGrowingLogReadAgainGivesItsNewGamesObservedDates) {
  const int64_t t = 1765310400;
  Append(AGame("0"), t);
  Workspace ws;
  ws.clock = {"UTC", ""};
  ws.cache_folder = Cache();
  ASSERT_TRUE(ws.RunAnalysis(Log()));
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  Append(AGame("5"), t);  // a copied file's old time: the reading time tells
  ASSERT_TRUE(ws.RunAnalysis(Log()));
  GamesModel model = BuildGames(ws.log()->events());
  ws.DateGames(model);
  ASSERT_EQ(model.games.size(), 2u);
  EXPECT_EQ(model.games[0].time_quality, TimeQuality::Estimated);
  EXPECT_EQ(model.games[0].started_at, t - 90);  // still from the first reading
  const Game& grown = model.games[1];
  EXPECT_EQ(grown.time_quality, TimeQuality::Observed);
  EXPECT_GE(grown.started_at + grown.seconds, before);
  EXPECT_LE(grown.started_at + grown.seconds, static_cast<int64_t>(std::time(nullptr)));
}

TEST_F(GameDatesFileTest, TheCacheRecordsWhenEachStretchWasFirstReadAndKeepsIt) {
  const int64_t t = 1765310400;
  Append(AGame("0"), t);
  EventStore first;
  const CacheUse read = ReadThroughCache({Log()}, Cache(), first);
  ASSERT_EQ(read.stretches.size(), 1u);
  EXPECT_FALSE(read.stretches[0].observed);  // a first reading knows the file time only
  EXPECT_EQ(read.stretches[0].at, t);
  // The log grows; its new lines were written by now.
  const int64_t before = static_cast<int64_t>(std::time(nullptr));
  Append(AGame("5"), before + 3600);  // a file time after the reading says nothing
  EventStore grown;
  const CacheUse grew = ReadThroughCache({Log()}, Cache(), grown);
  ASSERT_EQ(grew.files_grown, 1u);
  ASSERT_EQ(grew.stretches.size(), 2u);
  EXPECT_EQ(grew.stretches[0].at, t);
  EXPECT_TRUE(grew.stretches[1].observed);
  EXPECT_GE(grew.stretches[1].at, before);
  EXPECT_LE(grew.stretches[1].at, static_cast<int64_t>(std::time(nullptr)));
  EXPECT_EQ(grew.stretches[1].lines, grown.LineCount());
  // Taken unchanged from the cache (base and delta), the stretches are the same.
  EventStore again;
  const CacheUse reused = ReadThroughCache({Log()}, Cache(), again);
  EXPECT_EQ(reused.files_reused, 1u);
  ASSERT_EQ(reused.stretches.size(), 2u);
  EXPECT_EQ(reused.stretches[1].at, grew.stretches[1].at);
}

// Two small growths kept in one delta after the base: the second reading keeps the first
// growth's stretch, as a later reading of the same lines from the cache gives it (a delta's
// split point counts the lines after its base's; read as the whole log's, every stretch before
// was dropped and the games of the first growth lost their dates in that one run).
TEST_F(GameDatesFileTest, ASecondGrowthIntoTheDeltaKeepsTheStretchesBefore) {
  const int64_t t = 1765310400;
  std::string games;
  for (int i = 0; i < 40; ++i) games += AGame(std::to_string(i * 2));
  Append(games, t);
  EventStore first;
  ASSERT_EQ(ReadThroughCache({Log()}, Cache(), first).stretches.size(), 1u);
  const int64_t now = static_cast<int64_t>(std::time(nullptr));
  Append(AGame("100"), now - 20);
  EventStore once;
  const CacheUse grew = ReadThroughCache({Log()}, Cache(), once);
  ASSERT_EQ(grew.files_grown, 1u);
  ASSERT_EQ(grew.stretches.size(), 2u);
  Append(AGame("102"), now - 10);
  EventStore twice;
  const CacheUse grew_again = ReadThroughCache({Log()}, Cache(), twice);
  ASSERT_EQ(grew_again.files_grown, 1u);
  ASSERT_EQ(grew_again.stretches.size(), 3u);
  EventStore again;
  const CacheUse reused = ReadThroughCache({Log()}, Cache(), again);
  EXPECT_EQ(reused.files_reused, 1u);
  ASSERT_EQ(reused.stretches.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(grew_again.stretches[i].lines, reused.stretches[i].lines) << i;
    EXPECT_EQ(grew_again.stretches[i].at, reused.stretches[i].at) << i;
    EXPECT_EQ(grew_again.stretches[i].observed, reused.stretches[i].observed) << i;
  }
  EXPECT_EQ(grew_again.stretches[1].at, grew.stretches[1].at);
}

}  // namespace
}  // namespace barvik
