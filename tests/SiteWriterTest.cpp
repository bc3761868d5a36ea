// The pieces of the modern site: colour codes and escaping of names, the friendly-name table,
// the JSON form of cells, and the figures' scales.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "log/LogFile.h"
#include "report/FriendlyNames.h"
#include "report/JsonWriter.h"
#include "report/SiteText.h"
#include "report/SiteWriter.h"

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
  const std::string utf8 = Utf8From1252(all);
  // nlohmann refuses invalid UTF-8 when dumping; a round trip proves the text is valid.
  EXPECT_EQ(Json::parse(Json(utf8).dump()).get<std::string>(), utf8);
  EXPECT_EQ(Utf8From1252("\x80\x9F\xFF"), "\xE2\x82\xAC\xC5\xB8\xC3\xBF");
  EXPECT_EQ(Utf8From1252("\x81"), "\xC2\x81");  // undefined in the code page: its C1 control
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
}

TEST(FriendlyNamesTest, TheInstalledTableNamesTheStockWeaponsMapsAndGameTypes) {
  const FriendlyNames table = FriendlyNames::Load(BARVIK_TEMPLATE_DIR);
  ASSERT_NE(table.Find(NameKind::Weapon, "mp44_mp"), nullptr);
  EXPECT_EQ(*table.Find(NameKind::Weapon, "mp44_mp"), "MP44");
  EXPECT_EQ(*table.Find(NameKind::Map, "mp_uo_carentan"), "Carentan");
  EXPECT_EQ(*table.Find(NameKind::GameType, "ctf"), "Capture the flag");
  EXPECT_NE(table.Find(NameKind::Column, "I.Damages"), nullptr);

  ReportList weapons("ListViewWeapon", {{"Weapon"}, {"Kills"}});
  weapons.rows = {{"mp44_mp", {"3"}}, {"my_mod_gun<x>", {"2"}}};
  const NameKind kind = NameKind::Weapon;
  const std::string html = SiteTableHtml(weapons, table, &kind, nullptr, "", "w");
  EXPECT_NE(html.find("<span title=\"mp44_mp\">MP44</span>"), std::string::npos);
  EXPECT_NE(html.find(">my_mod_gun&lt;x&gt;<td>"), std::string::npos);  // unknown: as it is
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

TEST(SiteFigureTest, RatioAxisFitsTheDataAndMarksOne) {
  ReportList turns("ListViewPlayerTurnsRatio", {{"Turn"}, {"Kills"}, {"Deads"}, {"Ratio"}});
  turns.rows = {{"0000002", {"12", "1", "12.000"}},
                {"0000003", {"1", "0", "n/a"}},
                {"0000007", {"1", "2", "0.500"}}};
  const std::string svg = RatioChartSvg(turns, '.');
  // The top of the axis is the first round value above 12, every point lies inside the plot.
  EXPECT_NE(svg.find(">20.0</text>"), std::string::npos) << svg;
  EXPECT_NE(svg.find("class=\"ref\""), std::string::npos);
  for (const char* turn : {">2</text>", ">3</text>", ">7</text>"}) {
    EXPECT_NE(svg.find(turn), std::string::npos) << turn;
  }
  const std::regex circle("cy=\"([0-9.]+)\"");
  int points = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), circle); it != std::sregex_iterator();
       ++it, ++points) {
    const double y = std::stod((*it)[1]);
    EXPECT_GE(y, 14.0);
    EXPECT_LE(y, 206.0);
  }
  EXPECT_EQ(points, 2);  // the turn without deaths has no ratio to draw
  EXPECT_EQ(RatioChartSvg(ReportList("L", {{"Turn"}, {"Ratio"}}), '.'), "");

  // Small ratios keep a readable axis of at least 0 to 1.
  turns.rows = {{"0000001", {"1", "4", "0,250"}}};
  EXPECT_NE(RatioChartSvg(turns, ',').find(">1.00</text>"), std::string::npos);
}

TEST(SiteWriterTest, SpellingsAreCountedPerNameAsTheNameOptionsGiveIt) {
  LogFile log = LogFile::FromText(
      "0:01 J;1;0;^1Bob\n0:02 J;1;0;^1Bob\n0:03 J;1;0;BOB\n0:04 Q;1;0;^2bob\n0:05 J;2;1;x\n");
  log.IgnoreCase = true;
  log.IgnoreColors = true;
  const Spellings spellings = CollectSpellings(log);
  ASSERT_EQ(spellings.size(), 2u);
  const auto& bob = spellings.at("bob");
  ASSERT_EQ(bob.size(), 2u);  // quits are no spellings of their own
  EXPECT_EQ(bob[0], std::make_pair(std::string("^1Bob"), 2));
  EXPECT_EQ(bob[1], std::make_pair(std::string("BOB"), 1));
}

TEST(SiteWriterTest, StatsJsonOfASiteWithoutPlayersHasAnEmptyPlayersArray) {
  // The players' entries are spliced into the document's text: none must still parse.
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("barvik-site0-" + std::to_string(getpid()));
  fs::remove_all(folder);
  ReportList empty("L", {{"Key"}, {"Kills"}});
  SiteSettings settings;
  settings.report_folder = folder.string() + "/";
  SiteWriter site(settings);
  site.WriteGlobal({&empty, &empty, &empty, &empty, &empty});
  site.Finish();
  std::ifstream in(folder / "site" / "stats.json");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(folder);
  ASSERT_TRUE(text.ends_with("\"players\":[]}\n")) << text;
  EXPECT_TRUE(Json::parse(text)["players"].empty());
}

TEST(SiteWriterTest, HomeRanksPlayersAndLeavesOutRatiosOfFewKills) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / ("barvik-site-" + std::to_string(getpid()));
  fs::remove_all(folder);
  ReportList players("ListViewPlayers", {{"Name"}, {"Kills"}, {"Ratio"}});
  players.rows = {{std::string(kTotalRowCaption), {"125", "1.000"}},
                  {"many", {"100", "1.250"}},
                  {"lucky", {"5", "5.000"}},
                  {"steady", {"20", "2.000"}}};
  ReportList empty("L", {{"Key"}, {"Kills"}});
  ReportList given("ListViewPlayerGlobAccuracy", {{"Body Location"}, {"Kills"}, {"Kills[%]"}});
  given.rows = {{"head", {"7", "7.00"}}};
  const StringMap<std::string> prefixes = {
      {"many", "many"}, {"lucky", "lucky"}, {"steady", "steady"}};
  SiteSettings settings;
  settings.report_folder = folder.string() + "/";
  settings.server_name = "^1Red ^7Server";
  settings.prefixes = &prefixes;
  SiteWriter site(settings);
  site.WriteGlobal({&players, &empty, &empty, &empty, &empty});
  for (const char* name : {"many", "lucky", "steady"}) {
    site.WritePlayer(name, {&empty, &empty, &given, &empty, &empty, &empty, &empty, &empty});
  }
  site.Finish();

  std::ifstream in(folder / "site" / "index.html");
  const std::string home((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove_all(folder);
  const size_t kills = home.find("<h2>Most kills</h2>");
  const size_t ratio = home.find("<h2>Best ratio");
  const size_t heads = home.find("<h2>Most head shots</h2>");
  ASSERT_TRUE(kills < ratio && ratio < heads) << home;
  const std::string by_kills = VisibleText(home.substr(kills, ratio - kills));
  EXPECT_LT(by_kills.find("many"), by_kills.find("steady"));
  EXPECT_LT(by_kills.find("steady"), by_kills.find("lucky"));
  const std::string by_ratio = VisibleText(home.substr(ratio, heads - ratio));
  EXPECT_LT(by_ratio.find("steady"), by_ratio.find("many"));
  EXPECT_EQ(by_ratio.find("lucky"), std::string::npos);  // 5 kills are too few to rank
  EXPECT_NE(home.find("<a href=\"p/lucky.html\">lucky</a> <span class=\"num\">7</span>"),
            std::string::npos);
  EXPECT_NE(home.find("<span class=\"c1\">Red </span><span class=\"c7\">Server</span>"),
            std::string::npos);
  EXPECT_NE(home.find("<title>Statistics - Red Server</title>"), std::string::npos);
}

}  // namespace
}  // namespace barvik
