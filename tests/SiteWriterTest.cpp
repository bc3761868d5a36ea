// The pieces of the modern site: colour codes and escaping of names, the friendly-name table,
// the JSON form of cells, the figures' scales, and the pages of the games and people model
// (links, hidden people, escaping).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "log/LogFile.h"
#include "report/AwardsJson.h"
#include "report/FriendlyNames.h"
#include "report/GamesJson.h"
#include "report/JsonWriter.h"
#include "report/RankingJson.h"
#include "report/ReportFolder.h"
#include "report/SitePages.h"
#include "report/SiteText.h"
#include "report/SiteWriter.h"
#include "stats/Awards.h"
#include "tools/loggen/SkillLog.h"

namespace barvik {
namespace {

std::string VisibleText(const std::string& html) {
  return std::regex_replace(html, std::regex("<[^>]*>"), "");
}

TEST(SiteTextTest, ColourCodesBecomeRunsAndDisappearAsTheNameOptionRemovesThem) {
  EXPECT_EQ(ColouredNameHtml("^1red^7white"),
            "<span class=\"c1\">red</span><span class=\"c7\">white</span>");
  EXPECT_EQ(ColouredNameHtml("plain"), "plain");
  EXPECT_EQ(ColouredNameHtml("abc^"), "abc");  // a trailing "^"
  EXPECT_EQ(ColouredNameHtml("a^^b"), "ab");   // "^^" is one code
  EXPECT_EQ(ColouredNameHtml("^^1x"), "1x");   // ... so the "1" after it is text
  EXPECT_EQ(ColouredNameHtml("^xa^2b"), "a<span class=\"c2\">b</span>");
  EXPECT_EQ(ColouredNameHtml("^3<b>&\"'"), "<span class=\"c3\">&lt;b&gt;&amp;&quot;&#39;</span>");
  EXPECT_EQ(ColouredNameHtml("\xC4lf^1\x80"), "\xC3\x84lf<span class=\"c1\">\xE2\x82\xAC</span>");

  // What the reader sees is the name as the "Ignore colors" option counts it.
  LogFile log = LogFile::FromText("");
  log.IgnoreCase = false;
  log.IgnoreColors = true;
  for (const char* name : {"^1red^7white", "abc^", "a^^b", "^^1x", "^x^", "^^^", "x^1^2^3y"}) {
    EXPECT_EQ(VisibleText(ColouredNameHtml(name)), log.NormaliseName(name)) << name;
    EXPECT_EQ(WithoutColourCodes(name), log.NormaliseName(name)) << name;
  }
}

TEST(SiteTextTest, EveryByteOfTheCodePageBecomesValidUtf8) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Utf8FromLog(all);
  // nlohmann refuses invalid UTF-8 when dumping; a round trip proves the text is valid.
  EXPECT_EQ(Json::parse(Json(utf8).dump()).get<std::string>(), utf8);
  EXPECT_EQ(Utf8FromLog("\x80\x9F\xFF"), "\xE2\x82\xAC\xC5\xB8\xC3\xBF");
  EXPECT_EQ(Utf8FromLog("\x81"), "\xC2\x81");  // undefined in the code page: its C1 control
}

TEST(FriendlyNamesTest, TableLinesMatchWithoutCaseAndBadLinesAreSkipped) {
  const FriendlyNames table = FriendlyNames::Parse(
      "# comment\nweapon\tmp44_mp\tMP44\r\nmap\tMP_Foy\tFoy\nnonsense\tx\ty\n"
      "weapon\tonly-one-tab\ngametype\t\tEmpty raw\ncolumn\tDeads\tDeaths\n");
  ASSERT_NE(table.Find(NameKind::Weapon, "MP44_MP"), nullptr);
  EXPECT_EQ(*table.Find(NameKind::Weapon, "mp44_mp"), "MP44");
  EXPECT_EQ(*table.Find(NameKind::Map, "mp_foy"), "Foy");
  EXPECT_EQ(table.Find(NameKind::Map, "mp44_mp"), nullptr);  // kinds are apart
  EXPECT_EQ(*table.Find(NameKind::Column, "Deads"), "Deaths");
  EXPECT_EQ(table.size(), 3u);
  EXPECT_EQ(FriendlyNames::Load("/nonexistent").size(), 0u);
  // Default player names: a kind of their own, one field, apart from the friendly names.
  const FriendlyNames nobody = FriendlyNames::Parse(
      "default-name\tUnknown Soldier\r\ndefault-name\tNo One\tignored\ndefault-name\t\n"
      "default-name\nweapon\tUnknown Soldier\tx\n");
  EXPECT_EQ(nobody.default_names(), (std::vector<std::string>{"Unknown Soldier", "No One"}));
  EXPECT_EQ(nobody.size(), 1u);
  EXPECT_EQ(FriendlyNames::Load(BARVIK_TEMPLATE_DIR).default_names(),
            (std::vector<std::string>{"Unknown Soldier", "UnnamedPlayer"}));
}

TEST(FriendlyNamesTest, TheInstalledTableNamesTheStockWeaponsMapsAndGameTypes) {
  const FriendlyNames table = FriendlyNames::Load(BARVIK_TEMPLATE_DIR);
  ASSERT_NE(table.Find(NameKind::Weapon, "mp44_mp"), nullptr);
  EXPECT_EQ(*table.Find(NameKind::Weapon, "mp44_mp"), "MP44");
  EXPECT_EQ(*table.Find(NameKind::Map, "mp_uo_carentan"), "Carentan");
  EXPECT_EQ(*table.Find(NameKind::GameType, "ctf"), "Capture the flag");
  EXPECT_NE(table.Find(NameKind::Column, "I.Damages"), nullptr);
}

TEST(JsonCellTest, PlainNumbersOnlyBecomeNumbers) {
  EXPECT_EQ(CellJson("12", '.'), Json(12));
  EXPECT_EQ(CellJson("-3", '.'), Json(-3));
  EXPECT_DOUBLE_EQ(CellJson("1.057", '.').get<double>(), 1.057);
  EXPECT_DOUBLE_EQ(CellJson("1,057", ',').get<double>(), 1.057);
  for (const char* text :
       {"n/a", "err", "", " 12", "1e5", "1.", ".5", "1,5", "--1", "12a", "99999999999999999999"}) {
    EXPECT_TRUE(CellJson(text, '.').is_null()) << text;
  }

  ReportList list("L", {{"Name", kDefaultWidth, Align::Left}, {"Kills"}, {"Ratio"}});
  list.rows = {{std::string(kTotalRowCaption), {"3", "1.500"}}, {"a\tb", {"3", "n/a"}}};
  const Json json = ListJson(list, '.');
  EXPECT_EQ(json["columns"][0]["align"], "left");
  EXPECT_EQ(json["rows"][0]["total"], true);
  EXPECT_FALSE(json["rows"][1].contains("total"));
  EXPECT_EQ(json["rows"][1]["caption"], "a\tb");
  EXPECT_TRUE(json["rows"][1]["cells"][1].is_null());
  EXPECT_EQ(json["rows"][1]["texts"]["Ratio"], "n/a");
  EXPECT_FALSE(json["rows"][0].contains("texts"));
}

TEST(SiteFigureTest, ChartAxisFitsTheDataAndMarksOne) {
  const std::vector<LineChartPoint> games = {{"2", 12.0}, {"3", std::nullopt}, {"7", 0.5}};
  const std::string svg = LineChartSvg(games, "game", "K/D");
  // The top of the axis is the first round value above 12, every point lies inside the plot.
  EXPECT_NE(svg.find(">20.0</text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("class=\"ref\""), std::string::npos);
  for (const char* label : {">2</text>", ">3</text>", ">7</text>"}) {
    EXPECT_NE(svg.find(label), std::string::npos) << label;
  }
  const std::regex circle("cy=\"([0-9.]+)\"");
  int points = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), circle); it != std::sregex_iterator();
       ++it, ++points) {
    const double y = std::stod((*it)[1]);
    EXPECT_GE(y, 14.0);
    EXPECT_LE(y, 206.0);
  }
  EXPECT_EQ(points, 2);  // the game without a value has no point
  EXPECT_NE(svg.find("d=\"M44 91M628 201\""), std::string::npos);  // ... and breaks the line
  EXPECT_EQ(LineChartSvg({}, "game", "K/D"), "");

  // Small values keep a readable axis of at least 0 to 1.
  EXPECT_NE(LineChartSvg({{"1", 0.25}}, "game", "K/D").find(">1.00</text>"), std::string::npos);
  // A skill below 0 takes the axis down to a round step under it; no dashed line without one.
  const std::string skill = LineChartSvg({{"1", -11.4}, {"2", 2.6}}, "game", "skill", std::nullopt);
  EXPECT_NE(skill.find(">-15.0</text>"), std::string::npos);
  EXPECT_NE(skill.find(">5.0</text>"), std::string::npos);
  EXPECT_EQ(skill.find("class=\"ref\""), std::string::npos);
}

// The pages of the model of a small log, by path.
class SitePagesTest : public ::testing::Test {
 protected:
  void Build(const std::vector<std::string>& lines, const PeopleRules& rules = {}) {
    for (const std::string& line : lines) store_.AddLine(line);
    store_.Finish();
    const FriendlyNames friendly = FriendlyNames::Load(BARVIK_TEMPLATE_DIR);
    model_ = BuildGames(store_, rules, {}, friendly.default_names());
    figures_ = FiguresOf(model_, ComputeAwards(store_, model_, friendly.weapon_groups()));
    WriteModelPages(store_, model_, figures_, friendly, {"^1Srv", "7", "2026-12-09 03:30", "UTC"},
                    [&](const std::string& path, const std::string& bytes) {
                      EXPECT_TRUE(pages_.emplace(path, bytes).second) << path << " twice";
                    });
  }
  std::string PageOf(std::string_view spelling) const {
    const PersonIndex p = model_.FindPerson(store_, spelling);
    EXPECT_NE(p, kNoPerson) << spelling;
    return p == kNoPerson ? "" : PersonPage(model_.people[p]);
  }
  void ExpectLinksResolveAndNo(const std::string& hidden) const;

  EventStore store_;
  GamesModel model_;
  ModelFigures figures_;
  std::map<std::string, std::string> pages_;
};

const std::string kTdm = "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\sv_hostname\\Srv\\";

// "MM:SS K;guid;slot;team;victim;guid;slot;team;attacker;weapon;damage;means;location"
std::string Kill(const std::string& stamp, int vslot, const std::string& victim, int aslot,
                 const std::string& attacker, const std::string& location = "head") {
  return stamp + " K;1;" + std::to_string(vslot) + ";axis;" + victim + ";2;" +
         std::to_string(aslot) + ";allies;" + attacker + ";kar98k_mp;100;MOD_RIFLE_BULLET;" +
         location;
}

TEST_F(SitePagesTest, EveryLinkLeadsToAPageAndHiddenPeopleAppearNowhere) {
  PeopleRules rules;
  rules.hidden = {"Spy"};
  Build({kTdm, "  0:01 J;0;1;Al", "  0:01 J;0;2;^1Pine", "  0:01 J;0;3;Spy",
         Kill("  1:00", 1, "Al", 2, "^1Pine"), Kill("  1:10", 1, "Al", 3, "Spy"),
         // Pine renames himself: one person, found by either name.
         Kill("  1:20", 1, "Al", 2, "pine - toyotas<3"), "  2:00 ShutdownGame:", kTdm,
         "  0:01 J;0;1;Al", Kill("  2:00", 3, "Spy", 1, "Al", "torso_upper")},
        rules);
  for (const char* page :
       {"index.html", "people.html", "games.html", "ranking.html", "awards.html", "maps.html",
        "weapons.html", "gametypes.html", "games/1.html", "games/2.html"}) {
    EXPECT_EQ(pages_.count(page), 1u) << page;
  }
  EXPECT_EQ(PageOf("Pine"), PageOf("pine - toyotas<3"));
  EXPECT_EQ(pages_.count(PageOf("Pine")), 1u);
  EXPECT_EQ(pages_.count(PageOf("Spy")), 0u);
  ExpectLinksResolveAndNo("Spy");
  // The people search finds Pine by his other spelling.
  EXPECT_NE(pages_.at("people.html").find("data-n=\"pine - toyotas&lt;3\""), std::string::npos);
  // Al's death by the hidden Spy still counts, but Spy is no opponent of his.
  const std::string& al = pages_.at(PageOf("Al"));
  EXPECT_NE(al.find("<dt>Deaths<dd>3</div>"), std::string::npos);
  // A game page carries no time stamp; the other pages do.
  EXPECT_EQ(pages_.at("games/1.html").find("2026-12-09"), std::string::npos);
  EXPECT_NE(pages_.at("people.html").find("2026-12-09"), std::string::npos);
}

// A free-for-all has one scoreboard by score and no team tables, though its D lines name
// sides; a match of rounds shows its rounds, and objective actions show on the game and
// profile pages.
TEST_F(SitePagesTest, FreeForAllRoundsAndObjectivesShowOnTheirPages) {
  const std::string sd = "InitGame: \\g_gametype\\sd\\mapname\\mp_foy\\sv_hostname\\Srv\\";
  Build({"  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_foy\\sv_hostname\\Srv\\",
         "  0:01 J;0;1;Al",
         "  0:01 J;0;2;Bo",
         "  0:10 D;1;1;allies;Al;2;2;allies;Bo;kar98k_mp;20;MOD_RIFLE_BULLET;head",
         "  0:20 K;1;1;;Al;2;2;;Bo;kar98k_mp;135;MOD_RIFLE_BULLET;head",
         "  2:00 ShutdownGame:",
         "  3:00 " + sd,
         "  3:01 J;0;1;Al",
         "  3:01 J;0;2;Bo",
         Kill("  3:10", 2, "Bo", 1, "Al"),
         "  3:11 A;0;1;allies;Al;bomb_plant;1,2,3;4;stand",
         "  3:12 W;allies;0;Al",
         "  3:20 ShutdownGame:",
         "  3:20 " + sd,
         "  3:21 J;0;1;Al",
         "  3:21 J;0;2;Bo",
         Kill("  3:40", 1, "Al", 2, "Bo"),
         "  3:41 A;0;2;axis;Bo;bomb_defuse;1,2,3;4;stand",
         "  3:42 A;0;2;axis;Bo;hq_capture;1,2,3;4;stand",
         "  3:43 W;axis;0;Bo",
         "  5:00 ExitLevel: executed",
         "  5:00 ShutdownGame:"});
  ASSERT_EQ(model_.games.size(), 2u);
  const std::string& ffa = pages_.at("games/1.html");
  EXPECT_EQ(ffa.find("<h2>Allies"), std::string::npos);
  EXPECT_EQ(ffa.find("Without a team"), std::string::npos);
  EXPECT_NE(ffa.find("<h2>Players</h2>"), std::string::npos);
  EXPECT_NE(ffa.find(">Score<th>Kills"), std::string::npos);
  // Bo's hit on Al counts though both models were on one side: 20, then the 80 left.
  EXPECT_NE(ffa.find("<td>1<td>1<td>0<td>1.00<td>0<td>0<td>1<td>100<td>"), std::string::npos);
  const std::string& match = pages_.at("games/2.html");
  EXPECT_NE(match.find("<dt>Rounds<dd>2</div>"), std::string::npos);
  EXPECT_NE(match.find("<dt>Round wins<dd>Allies 1, Axis 1</div>"), std::string::npos);
  EXPECT_NE(match.find("<h2>Allies</h2>"), std::string::npos);
  EXPECT_NE(match.find("<h2>Objectives</h2>"), std::string::npos);
  EXPECT_NE(match.find("<th>Bomb planted<th>Bomb defused<th>hq_capture"), std::string::npos);
  const std::string& bo = pages_.at(PageOf("Bo"));
  EXPECT_NE(bo.find("<dt>Bomb defused<dd>1</div>"), std::string::npos);
  EXPECT_NE(bo.find("<dt>hq_capture<dd>1</div>"), std::string::npos);
  EXPECT_EQ(pages_.at(PageOf("Al")).find("Bomb defused"), std::string::npos);
  ExpectLinksResolveAndNo("Spy");
}

TEST_F(SitePagesTest, NamelessPlayersAreRowsOfTheirGameAndNoOnesPage) {
  Build({kTdm, "  0:01 J;0;1;Al", "  0:01 J;0;2;Bo", "  0:01 J;0;3;Unknown Soldier",
         "  0:01 J;0;4;^1^2", Kill("  1:00", 1, "Al", 3, "Unknown Soldier"),
         Kill("  1:10", 3, "Unknown Soldier", 1, "Al"), Kill("  1:20", 4, "^1^2", 2, "Bo"),
         Kill("  1:30", 2, "Bo", 4, "^1^2"), "  2:00 ShutdownGame:"});
  ASSERT_EQ(model_.people.size(), 2u);
  ExpectLinksResolveAndNo("a name nobody has");
  const std::string& game = pages_.at("games/1.html");
  const size_t table = game.find("<h2>Without a name of their own</h2>");
  ASSERT_NE(table, std::string::npos);
  EXPECT_NE(game.find("<tr><th><span class=\"coloured\">Unknown Soldier</span><td>1<td>1", table),
            std::string::npos);
  EXPECT_NE(game.find("<tr><th><i>a blank name</i><td>1<td>1", table), std::string::npos);
  for (const char* page : {"people.html", "ranking.html", "awards.html", "index.html"})
    EXPECT_EQ(pages_.at(page).find("Unknown Soldier"), std::string::npos) << page;
}

TEST_F(SitePagesTest, RanksAndAwardsGoToThePeopleShownAndEachGameShowsItsChanges) {
  // 20 games of one type: a ranking per type beside the one over all; the hidden Spy, best of
  // all, takes no rank, so Pine is first of two.
  PeopleRules rules;
  rules.hidden = {"Spy"};
  std::vector<std::string> lines;
  for (int game = 0; game < 20; ++game) {
    lines.insert(lines.end(), {kTdm, "  0:01 J;0;1;Al", "  0:01 J;0;2;Pine", "  0:01 J;0;3;Spy"});
    for (const char* minute : {"  0:", "  1:"}) {  // enough fights for sure skills
      for (int second : {30, 31})
        lines.push_back(Kill(minute + std::to_string(second), 1, "Al", 2, "Pine"));
      for (int second : {40, 41})
        lines.push_back(Kill(minute + std::to_string(second), 2, "Pine", 3, "Spy"));
      for (int second : {50, 51})
        lines.push_back(Kill(minute + std::to_string(second), 1, "Al", 3, "Spy"));
      lines.push_back(Kill(minute + std::to_string(55), 3, "Spy", 1, "Al"));
    }
    lines.push_back("  2:00 ShutdownGame:");
  }
  Build(lines, rules);
  ExpectLinksResolveAndNo("Spy");
  const std::string& ranking = pages_.at("ranking.html");
  // Each game type's ranking is a page of its own, linked from the ranking.
  EXPECT_NE(ranking.find("href=\"ranking-t-tdm.html\""), std::string::npos);
  EXPECT_NE(pages_.at("ranking-t-tdm.html").find("<tr><td>1<th><a href=\"" + PageOf("Pine")),
            std::string::npos);
  EXPECT_NE(ranking.find("<tr><td>1<th><a href=\"" + PageOf("Pine")), std::string::npos);
  EXPECT_EQ(ranking.find("<tr><td>3<th>"), std::string::npos);
  EXPECT_NE(pages_.at(PageOf("Pine")).find("<dt>Rank<dd>1 of 2</div>"), std::string::npos);
  EXPECT_NE(pages_.at(PageOf("Pine")).find("id=\"skill\""), std::string::npos);
  // Each player's change of shown skill in the first game, and where it led.
  const std::string& first = pages_.at("games/1.html");
  EXPECT_NE(first.find("<span class=\"num\">+"), std::string::npos);
  EXPECT_NE(first.find("</span> <small>to "), std::string::npos);
  // The hidden Spy had the best streak; among the people shown Pine holds it.
  const std::string& awards = pages_.at("awards.html");
  const size_t streak = awards.find("id=\"kill-streak\"");
  ASSERT_NE(streak, std::string::npos);
  EXPECT_EQ(awards.find("<a href", streak), awards.find("<a href=\"" + PageOf("Pine"), streak));
}

TEST_F(SitePagesTest, ProvisionalPeopleAreListedApartWithTheirRatedGames) {
  Build({kTdm, "  0:01 J;0;1;Al", "  0:01 J;0;2;Pine", Kill("  0:30", 1, "Al", 2, "Pine"),
         "  2:00 ShutdownGame:"});
  const std::string& ranking = pages_.at("ranking.html");
  EXPECT_NE(ranking.find("<h3>Provisional</h3>"), std::string::npos);
  EXPECT_NE(ranking.find("not yet sure to &plusmn;9.0"), std::string::npos);
  const std::string& al = pages_.at(PageOf("Al"));
  EXPECT_NE(al.find("<dt>Provisional<dd>ranked at &plusmn;9.0 or less"), std::string::npos);
  // Why he stands there: one fight lost, against Pine.
  EXPECT_NE(al.find("<p class=\"why\">From 0 fights won and 1 lost in 1 rated game; most against "),
            std::string::npos);
  // The game page shows the change and where it led, without hovering.
  EXPECT_NE(pages_.at("games/1.html").find("<td><span class=\"num\">-"), std::string::npos);
}

// Every link and anchor of every page leads to a page or a row of one; `hidden` is nowhere.
void SitePagesTest::ExpectLinksResolveAndNo(const std::string& hidden) const {
  const std::regex reference(R"re((?:href|src)="([^"#]*)(#([^"]*))?")re");
  for (const auto& [path, html] : pages_) {
    EXPECT_EQ(html.find(hidden), std::string::npos) << path;  // hidden: not even searchable
    EXPECT_EQ(html.find("toyotas<3"), std::string::npos) << path;
    const std::string root = path.find('/') == std::string::npos ? "" : "../";
    for (auto it = std::sregex_iterator(html.begin(), html.end(), reference);
         it != std::sregex_iterator(); ++it) {
      std::string target = (*it)[1];
      if (target.empty()) continue;  // within the page
      ASSERT_TRUE(target.starts_with(root)) << path << ": " << target;
      target = target.substr(root.size());
      if (target.ends_with(".html") && target != "../index.html") {
        ASSERT_EQ(pages_.count(target), 1u) << path << " links " << target;
        // A link to a row of a page finds that row.
        if ((*it)[3].matched) {
          EXPECT_NE(pages_.at(target).find("id=\"" + std::string((*it)[3]) + "\""),
                    std::string::npos)
              << path << " links " << (*it)[0];
        }
      } else {
        EXPECT_TRUE(target == "site.css" || target == "site.js" || target.ends_with(".json") ||
                    target == "../index.html")
            << path << ": " << target;
      }
    }
  }
}

TEST(SiteWriterTest, StatsJsonOfASiteWithoutPlayersHasAnEmptyPlayersArray) {
  // The players' entries are spliced into the document's text: none must still parse.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("barvik-site0-" + std::to_string(getpid()));
  fs::remove_all(folder);
  ReportList empty("L", {{"Key"}, {"Kills"}});
  SiteSettings settings;
  settings.report_folder = folder.string() + "/";
  ReportOutput output;
  SiteWriter site(settings, output);
  site.WriteGlobal({&empty, &empty, &empty, &empty, &empty});
  site.Finish();
  std::ifstream in(folder / "site" / "stats.json");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(folder);
  ASSERT_TRUE(text.ends_with("\"players\":[]}\n")) << text;
  EXPECT_TRUE(Json::parse(text)["players"].empty());
}

TEST(SiteWriterTest, GamesJsonPutTogetherInPartsEqualsTheDumpOfTheWholeDocument) {
  // No games, and more games than one part holds with a short last part.
  namespace fs = std::filesystem;
  for (int games : {0, 150}) {
    EventStore store;
    if (games > 0) {
      SkillLogOptions options;
      options.games = games;
      options.players = 12;
      std::istringstream lines(GenerateSkillLog(options).text);
      for (std::string line; std::getline(lines, line);) store.AddLine(line);
    }
    store.Finish();
    const GamesModel model = BuildGames(store);
    const FriendlyNames friendly = FriendlyNames::Load(BARVIK_TEMPLATE_DIR);
    const ModelFigures figures =
        FiguresOf(model, ComputeAwards(store, model, friendly.weapon_groups()));
    const fs::path folder =
        fs::temp_directory_path() / ("barvik-games-json-" + std::to_string(getpid()));
    fs::remove_all(folder);
    SiteSettings settings;
    settings.report_folder = folder.string() + "/";
    ReportOutput output;
    SiteWriter(settings, output).WriteGames(store, model, figures);
    std::ifstream in(folder / "site" / "games.json");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove_all(folder);

    Json whole = GamesJson(store, model);
    AddRatingChanges(whole, model, figures.ratings);
    AddGameAwards(whole, model, figures.awards);
    EXPECT_EQ(whole["games"].size(), static_cast<size_t>(games));
    EXPECT_EQ(text, whole.dump() + "\n") << games << " games";
  }
}

}  // namespace
}  // namespace barvik
