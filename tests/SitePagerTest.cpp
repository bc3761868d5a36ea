// Long histories on the site: thousands of short games and games nobody played in, a person
// with hundreds of games, rankings of hundreds of people. Every page stays under its budget and
// every game and person stays reachable from the first page of his list by its links alone.
#include "report/SitePager.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "log/EventStore.h"
#include "report/FriendlyNames.h"
#include "report/GamesJson.h"
#include "report/SitePages.h"
#include "stats/Awards.h"

namespace barvik {
namespace {

// No page of the site may pass this, whatever the history.
constexpr size_t kPageBudget = size_t{200} * 1000;

TEST(SitePagerTest, PagesAreNamedAfterTheListAndLinkTheirNeighbours) {
  EXPECT_EQ(ListPageFile("games", 0), "games.html");
  EXPECT_EQ(ListPageFile("games", 1), "games-2.html");
  EXPECT_EQ(PagerHtml("games", 0, 1, "Pages"), "");  // one page: no pager
  const ListPages rows{401, 200};
  EXPECT_EQ(rows.count(), 3u);
  EXPECT_EQ(rows.first(2), 400u);
  EXPECT_EQ(rows.end(2), 401u);
  EXPECT_EQ((ListPages{0, 200}.count()), 1u);  // an empty list still has its first page

  // From page 6 of 20: the first, the previous, two either side, the last and the next; not
  // itself and nothing far away.
  const std::string pager = PagerHtml("games", 5, 20, "Pages of games");
  for (const char* file : {"games.html", "games-5.html", "games-4.html", "games-8.html",
                           "games-20.html", "games-7.html"}) {
    EXPECT_NE(pager.find(std::string("href=\"") + file + "\""), std::string::npos) << file;
  }
  for (const char* file : {"games-6.html", "games-3.html", "games-9.html", "games-19.html"}) {
    EXPECT_EQ(pager.find(std::string("href=\"") + file + "\""), std::string::npos) << file;
  }
  EXPECT_NE(pager.find("<span aria-current=\"page\">6</span>"), std::string::npos);
  EXPECT_NE(pager.find("rel=\"next\">"), std::string::npos);
  // The last page has no next, the first no previous.
  EXPECT_EQ(PagerHtml("games", 19, 20, "x").find("rel=\"next\""), std::string::npos);
  EXPECT_EQ(PagerHtml("games", 0, 20, "x").find("rel=\"prev\""), std::string::npos);
}

const std::string kInit = "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\sv_hostname\\Srv\\";

std::string Kill(int victim_slot, const std::string& victim, int slot, const std::string& killer) {
  return "  0:30 K;1;" + std::to_string(victim_slot) + ";axis;" + victim + ";2;" +
         std::to_string(slot) + ";allies;" + killer + ";kar98k_mp;100;MOD_RIFLE_BULLET;head";
}

class LongHistoryTest : public ::testing::Test {
 protected:
  void Build() {
    store_.Finish();
    model_ = BuildGames(store_, {});
    const FriendlyNames friendly = FriendlyNames::Load(BARVIK_TEMPLATE_DIR);
    figures_ = FiguresOf(model_, ComputeAwards(store_, model_, friendly.weapon_groups()));
    WriteModelPages(store_, model_, figures_, friendly, {"Srv", "7", "2026-12-10 19:00", "UTC"},
                    [&](const std::string& path, const std::string& bytes) {
                      EXPECT_TRUE(pages_.emplace(path, bytes).second) << path << " twice";
                    });
  }
  void AddGame(const std::vector<std::string>& lines) {
    store_.AddLine(kInit);
    for (const std::string& line : lines) store_.AddLine(line);
    store_.AddLine("  1:00 ShutdownGame:");
  }
  // The pages reached from `start` by following links to pages whose path `follow` accepts,
  // and every page linked from them (followed or not), by path relative to the site.
  std::set<std::string> Reached(const std::string& start, const std::regex& follow) const {
    const std::regex reference(R"re(href="([^"#]*))re");
    std::set<std::string> seen = {start}, linked;
    std::vector<std::string> queue = {start};
    while (!queue.empty()) {
      const std::string path = queue.back();
      queue.pop_back();
      const auto page = pages_.find(path);
      if (page == pages_.end()) {
        ADD_FAILURE() << path << " is linked but was not made";
        continue;
      }
      const std::string folder =
          path.find('/') == std::string::npos ? "" : path.substr(0, path.find('/') + 1);
      for (auto it = std::sregex_iterator(page->second.begin(), page->second.end(), reference);
           it != std::sregex_iterator(); ++it) {
        std::string target = (*it)[1];
        target =
            target.rfind("../", 0) == 0 ? target.substr(3) : std::string(folder).append(target);
        linked.insert(target);
        if (std::regex_match(target, follow) && seen.insert(target).second) queue.push_back(target);
      }
    }
    return linked;
  }
  void ExpectEveryPageWithinBudget() const {
    for (const auto& [path, html] : pages_) EXPECT_LE(html.size(), kPageBudget) << path;
  }

  EventStore store_;
  GamesModel model_;
  ModelFigures figures_;
  std::map<std::string, std::string> pages_;
};

TEST_F(LongHistoryTest, ThousandsOfShortAndEmptyGamesAreEachReachableFromTheFirstPage) {
  // A server cycling maps while empty between short games of three regulars: Al plays them all.
  for (int g = 0; g < 1500; ++g) {
    AddGame({});
    const std::string other = g % 2 ? "Pine" : "Oak";
    AddGame({"  0:01 J;0;1;Al", "  0:01 J;0;2;" + other, Kill(1, "Al", 2, other)});
  }
  Build();
  ExpectEveryPageWithinBudget();
  // A game nobody played in is no game: the model keeps the played ones alone.
  ASSERT_EQ(model_.games.size(), 1500u);
  EXPECT_EQ(GameJson(store_, model_, model_.games[0])["page"], GamePage(model_.games[0]));

  // Every played game from games.html through the list's own pages.
  const std::set<std::string> listed = Reached("games.html", std::regex(R"(games(-\d+)?\.html)"));
  size_t played = 0;
  for (const auto& game : model_.games) {
    if (game.players.empty()) {
      EXPECT_EQ(listed.count(GamePage(game)), 0u) << game.number;
      continue;
    }
    ++played;
    EXPECT_EQ(listed.count(GamePage(game)), 1u) << game.number;
    EXPECT_EQ(pages_.count(GamePage(game)), 1u) << game.number;
  }
  EXPECT_EQ(played, 1500u);
  EXPECT_GT(pages_.count("games-8.html"), 0u);  // 1500 games are several pages

  // Al's 1500 games from his profile through his own pages; Pine's half of them from his.
  for (const char* name : {"Al", "Pine"}) {
    const PersonIndex p = model_.FindPerson(store_, name);
    ASSERT_NE(p, kNoPerson);
    const std::string profile = PersonPage(model_.people[p]);
    const std::set<std::string> his =
        Reached(profile, std::regex("people/" + model_.people[p].id + R"((-\d+)?\.html)"));
    size_t games = 0;
    for (const auto& game : model_.games) {
      if (model_.PlayerIn(game, p) == nullptr) continue;
      ++games;
      EXPECT_EQ(his.count(GamePage(game)), 1u) << name << " game " << game.number;
    }
    EXPECT_EQ(games, name == std::string("Al") ? 1500u : 750u);
  }
}

TEST_F(LongHistoryTest, TheRankingAndThePeopleOfHundredsLeadToEveryPerson) {
  // 450 newcomers, each with one game against the regular Al, who loses every fight: a fight
  // whose loser was expected to lose says little, so all of them stay provisional, Al too.
  for (int n = 0; n < 450; ++n) {
    const std::string name = "New" + std::to_string(n);
    AddGame({"  0:01 J;0;1;Al", "  0:01 J;0;2;" + name, Kill(2, name, 1, "Al")});
  }
  Build();
  ExpectEveryPageWithinBudget();
  const std::string& ranking = pages_.at("ranking.html");
  // The first rows of the provisional people, and a link to all of them.
  EXPECT_NE(ranking.find("href=\"ranking-provisional.html\">All 451 provisional people"),
            std::string::npos);
  const std::set<std::string> reached =
      Reached("ranking.html", std::regex(R"(ranking(-provisional(-\d+)?)?\.html)"));
  for (PersonIndex p = 0; p < model_.people.size(); ++p) {
    const std::string name = model_.people[p].display;
    if (name == "Al") continue;
    EXPECT_EQ(reached.count(PersonPage(model_.people[p])), 1u) << name;
  }
  EXPECT_EQ(pages_.count("ranking-provisional-3.html"), 1u);
  EXPECT_EQ(pages_.count("ranking-provisional-4.html"), 0u);
  // Everybody from the people table, over its two pages.
  const std::set<std::string> people = Reached("people.html", std::regex(R"(people(-\d+)?\.html)"));
  for (const Person& person : model_.people) {
    EXPECT_EQ(people.count(PersonPage(person)), 1u) << person.display;
  }
  EXPECT_EQ(pages_.count("people-2.html"), 1u);
}

}  // namespace
}  // namespace barvik
