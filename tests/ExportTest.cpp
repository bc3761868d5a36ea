// The report export from analysed logs with a fake image source: the file set, that every link
// and image of every page resolves inside the folder, the order of loading and rendering, the
// collision suffixes, escaping of log texts in titles, the folder text and the failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>

#include "app/Workspace.h"
#include "core/FileError.h"
#include "report/JsonWriter.h"
#include "report/PageWriter.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"
#include "tests/FakeImages.h"
#include "tests/MaskedReport.h"
#include "tests/TestLog.h"
#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using testing::FakeImages;
using testing::TempLog;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The report's files, without the folder's lock file.
std::set<std::string> FilesIn(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().filename() != kLockFileName) files.insert(e.path().filename().string());
  }
  return files;
}

// Every entry below a folder by its relative path, hidden ones included (the lock file left
// out), with its bytes and permission bits; a folder shows as "<folder>".
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> entries;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (e.path().filename() == kLockFileName) continue;
    const std::string bits = std::to_string(static_cast<int>(e.status().permissions())) + ":";
    entries[fs::relative(e.path(), folder).string()] =
        bits + (e.is_directory() ? "<folder>" : ReadBytes(e.path()));
  }
  return entries;
}

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("barvik-export-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    ws_.template_folder = BARVIK_TEMPLATE_DIR;
    ws_.build_text = "38";
    ws_.options().dest_dir = (root_ / "html").string();
  }
  void TearDown() override { fs::remove_all(root_); }

  void Analyse(const std::string& text) {
    log_ = std::make_unique<TempLog>(text);
    ASSERT_TRUE(ws_.RunAnalysis(log_->path()));
  }
  void Export() { ws_.ButtonHTMLClick(images_); }
  fs::path Out() const { return root_ / "html"; }
  std::vector<std::string> PlayerNames() const {
    std::vector<std::string> names;
    for (const Row& r : ws_.List(ListId::Players).rows) {
      if (r.caption != kTotalRowCaption) names.push_back(r.caption);
    }
    return names;
  }

  fs::path root_;
  Workspace ws_;
  FakeImages images_{ws_};
  std::unique_ptr<TempLog> log_;
};

const char* kSmallLog =
    "0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\sv_hostname\\Tom & <Jerry>\\\n"
    "0:01 J;1;0;Bob\n0:01 J;2;1;bob\n0:01 J;3;2;<b>x</b>\n"
    "0:02 K;1;0;axis;Bob;2;1;allies;bob;mp40_mp;100;MOD;head\n"
    "0:03 K;2;1;allies;bob;1;0;axis;Bob;kar98k_mp;100;MOD;torso_upper\n"
    "0:04 K;2;1;allies;bob;3;2;axis;<b>x</b>;kar98k_mp;100;MOD;head\n"
    "0:05 K;2;1;allies;bob;3;2;axis;<b>x</b>;kar98k_mp;100;MOD;head\n";

const char* kCollidingLog =
    "0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\sv_hostname\\S\\\n"
    "0:01 J;1;0;!\n0:01 J;2;1;33\n"
    "0:02 K;1;0;axis;!;2;1;allies;33;mp40_mp;100;MOD;head\n"
    "0:03 K;1;0;axis;!;2;1;allies;33;mp40_mp;100;MOD;head\n"
    "0:04 K;2;1;allies;33;1;0;axis;!;kar98k_mp;100;MOD;torso_upper\n";

TEST_F(ExportTest, EveryLinkAndImageOfTheReportResolvesInsideTheFolder) {
  LogGeneratorOptions options;
  options.lines = 4000;
  options.players = 12;
  Analyse(GenerateLog(options));
  ws_.SetPage(MainPage::Weapon);
  std::vector<std::string> progress;
  ws_.hooks.status_changed = [&] {
    if (progress.empty() || progress.back() != ws_.status(kPanelProgress)) {
      progress.push_back(ws_.status(kPanelProgress));
    }
  };
  Export();

  const std::vector<std::string> names = PlayerNames();
  ASSERT_GE(names.size(), 10u);
  const std::set<std::string> files = FilesIn(Out());
  // The site folder beside them; no temporary file left either.
  EXPECT_EQ(files.size(), 8 + 1 + 10 * names.size());
  for (const char* global : {"style.css", "index.html", "players.html", "weapon.html", "maps.html",
                             "gametype.html", "accuracy.html", "accuracy.png"}) {
    EXPECT_TRUE(files.contains(global)) << global;
  }
  const std::regex reference(R"re((?:href|src)="([^"]*)")re");
  size_t checked = 0;
  for (const std::string& file : files) {
    if (!file.ends_with(".html")) continue;
    const std::string page = ReadBytes(Out() / file);
    for (auto it = std::sregex_iterator(page.begin(), page.end(), reference);
         it != std::sregex_iterator(); ++it) {
      std::string target = (*it)[1];
      if (target.starts_with("http")) continue;
      if (target.starts_with("./")) target = target.substr(2);
      EXPECT_TRUE(fs::is_regular_file(Out() / target)) << file << " refers to " << target;
      ++checked;
    }
  }
  EXPECT_GT(checked, 20 * names.size());
  EXPECT_EQ(ws_.page(), MainPage::Weapon);  // the page in front when the export started
  // One step per player, the total row neither counted nor shown.
  const std::string of = " of " + std::to_string(names.size());
  ASSERT_EQ(progress.size(), names.size() + 1);  // after the analysis's empty text
  EXPECT_EQ(progress[1], "1" + of);
  EXPECT_EQ(progress.back(), std::to_string(names.size()) + of);
  EXPECT_EQ(ws_.status(kPanelFile),
            "Report written to " + fs::absolute(Out()).lexically_normal().string() + "/");
}

TEST_F(ExportTest, TheNumberOfThreadsChangesNoFileNorByte) {
  LogGeneratorOptions options;
  options.lines = 4000;
  options.players = 12;
  Analyse(GenerateLog(options));
  images_.by_state = true;
  ws_.export_threads = 1;
  Export();
  ws_.export_threads = 4;
  ws_.options().dest_dir = (root_ / "four").string();
  Export();
  EXPECT_EQ(testing::MaskedReport(root_ / "four"), testing::MaskedReport(Out()));
}

TEST_F(ExportTest, EachPlayersImagesAreRenderedWhileHeIsLoaded) {
  Analyse(kSmallLog);
  Export();
  std::vector<std::pair<ReportImage, std::string>> expected = {{ReportImage::Accuracy, ""}};
  for (const std::string& name : PlayerNames()) {
    expected.emplace_back(ReportImage::PlayerAccuracy, name);
    expected.emplace_back(ReportImage::EnemyAccuracy, name);
    expected.emplace_back(ReportImage::RatioChart, name);
  }
  EXPECT_EQ(images_.calls, expected);
  EXPECT_EQ(ws_.LabelLoadedName(), PlayerNames().back());
  EXPECT_EQ(ws_.List(ListId::Player).rows[0].caption, PlayerNames().back());
}

TEST_F(ExportTest, PlayersWhoseFilesCollideGetSuffixedFilesAndLinks) {
  // "!" and "33" both encode to the prefix "33".
  Analyse(kCollidingLog);
  Export();
  ASSERT_EQ(PlayerNames().size(), 2u);
  const std::string first = PlayerNames()[0];
  const std::string second = PlayerNames()[1];
  const std::string players = ReadBytes(Out() / "players.html");
  EXPECT_NE(players.find("<a href=\"33weapon.html\">" + first + "</a>"), std::string::npos);
  EXPECT_NE(players.find("<a href=\"33_2weapon.html\">" + second + "</a>"), std::string::npos);
  EXPECT_EQ(FilesIn(Out()).size(), 8u + 1u + 20u);
  // The second player's pages navigate among his own files and show his own rows.
  const std::string page = ReadBytes(Out() / "33_2maps.html");
  EXPECT_NE(page.find("href=\"33_2opponents.html\""), std::string::npos);
  EXPECT_NE(page.find("MAPS - Statistics of " + second + "</b>"), std::string::npos);
  EXPECT_NE(page.find("<td align=left>" + second + "</td>"), std::string::npos);
  EXPECT_NE(ReadBytes(Out() / "33_2accuracy.html").find("<img src=\"./33_2accuracy.png\""),
            std::string::npos);
  EXPECT_NE(ReadBytes(Out() / "33maps.html").find("MAPS - Statistics of " + first + "</b>"),
            std::string::npos);
}

TEST_F(ExportTest, PlayerAlreadyLoadedKeepsHisListsAsTheyStand) {
  Analyse(kCollidingLog);
  // The user loads the first player and re-sorts his weapon list before exporting.
  ws_.SelectPlayerRow(1);
  ws_.ListViewPlayersDblClick();
  ws_.ColumnClick(ListId::PlayerWeapon, 0);
  std::vector<std::string> order;
  for (const Row& r : ws_.List(ListId::PlayerWeapon).rows) order.push_back(r.caption);
  ASSERT_GE(order.size(), 3u);
  ASSERT_NE(order.front(), kTotalRowCaption);  // a reload would sort the total row first
  Export();
  const std::string page = ReadBytes(Out() / "33weapon.html");
  size_t at = 0;
  for (const std::string& caption : order) {
    at = page.find("<td align=left>" + caption + "</td>", at);
    ASSERT_NE(at, std::string::npos) << caption;
  }
}

TEST_F(ExportTest, LogTextsInTitlesAndListsAreEscaped) {
  Analyse(kSmallLog);
  Export();
  const std::string prefix = "60b62x6047b62";  // "<b>x</b>"
  const std::string page = ReadBytes(Out() / (prefix + "weapon.html"));
  EXPECT_NE(page.find("<b><i>Tom &amp; &lt;Jerry&gt;</i><br>WEAPON - Statistics of "
                      "&lt;B&gt;X&lt;/B&gt;</b>"),
            std::string::npos);
  EXPECT_EQ(page.find("<b>x</b>"), std::string::npos);
  EXPECT_NE(ReadBytes(Out() / "players.html")
                .find("<a href=\"" + prefix + "weapon.html\">&lt;b&gt;x&lt;/b&gt;</a>"),
            std::string::npos);
}

TEST_F(ExportTest, FolderTextWithBackslashesAndNoSeparator) {
  ws_.options().dest_dir = (root_ / "out").string() + "\\sub";
  Export();  // nothing analysed: the global pages with their heading rows only
  const std::set<std::string> expected = {"style.css",     "index.html",   "players.html",
                                          "weapon.html",   "maps.html",    "gametype.html",
                                          "accuracy.html", "accuracy.png", "site"};
  EXPECT_EQ(FilesIn(root_ / "out" / "sub"), expected);
  EXPECT_EQ(ReadBytes(root_ / "out" / "sub" / "style.css"),
            ReadBytes(fs::path(BARVIK_TEMPLATE_DIR) / "style.dat"));
}

TEST_F(ExportTest, FailuresStopTheExportWithTheirMessage) {
  {  // No folder at all: refused before anything is created.
    ws_.options().dest_dir = "";
    try {
      Export();
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot export the report: no output folder given");
    }
    EXPECT_TRUE(images_.calls.empty());
  }
  {  // Templates missing: the copies are skipped, the first page names its template.
    ws_.options().dest_dir = Out().string();
    ws_.template_folder = (root_ / "no-templates").string();
    try {
      Export();
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot open file " + (root_ / "no-templates" / "globhtml1.dat").string());
    }
    EXPECT_TRUE(FilesIn(Out()).empty());
    ws_.template_folder = BARVIK_TEMPLATE_DIR;
  }
  {  // A folder that cannot be created: the first page names its path.
    std::ofstream(root_ / "file") << "x";
    ws_.options().dest_dir = (root_ / "file" / "html").string();
    try {
      Export();
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()),
                "Cannot create file " + (root_ / "file" / "html").string() + "/players.html");
    }
  }
}

TEST_F(ExportTest, FailedExportLeavesThePreviousReportAsItWas) {
  Analyse(kSmallLog);
  Export();
  fs::permissions(Out() / "players.html", fs::perms(0640));
  const auto before = Snapshot(Out());
  const std::string old_players = ReadBytes(Out() / "players.html");
  // The next log has another player; the export fails at its player images.
  Analyse(std::string(kSmallLog) + "0:06 J;4;3;Dave\n");
  for (size_t fail_at : {0u, 4u}) {
    images_.calls.clear();
    images_.fail_at = fail_at;
    try {
      Export();
      FAIL() << "no error";
    } catch (const FileError& e) {
      EXPECT_EQ(e.reason(), "No space left on device");
    }
    EXPECT_EQ(Snapshot(Out()), before) << "failing at image " << fail_at;
  }
  // An image that fails on a worker thread, as it is encoded, fails the export the same way.
  images_.fail_at = SIZE_MAX;
  images_.bad_at = 5;
  EXPECT_THROW(Export(), std::invalid_argument);
  EXPECT_EQ(Snapshot(Out()), before);
  images_.bad_at = SIZE_MAX;
  // A run that succeeds replaces the pages, each keeping the permissions of the one before.
  images_.fail_at = SIZE_MAX;
  Export();
  EXPECT_NE(ReadBytes(Out() / "players.html"), old_players);
  EXPECT_EQ(fs::status(Out() / "players.html").permissions(), fs::perms(0640));
  EXPECT_TRUE(fs::exists(Out() / "daveweapon.html"));
  EXPECT_EQ(FilesIn(Out()).size(), 8u + 1u + 10u * PlayerNames().size());  // and site/
}

TEST_F(ExportTest, NothingIsWrittenThroughLinksInTheReportFolder) {
  Analyse(kSmallLog);
  Export();
  const auto before = Snapshot(Out());
  // Someone who may write the report folder points its site folder, or the lock, elsewhere.
  const fs::path elsewhere = root_ / "elsewhere";
  fs::create_directories(elsewhere);
  fs::rename(Out() / "site", root_ / "old-site");
  fs::create_directory_symlink(elsewhere, Out() / "site");
  try {
    Export();
    FAIL() << "the site was written through a link";
  } catch (const FileError& e) {
    EXPECT_EQ(e.reason(), "a symbolic link is in its way");
  }
  EXPECT_TRUE(fs::is_empty(elsewhere));
  fs::remove(Out() / "site");
  fs::rename(root_ / "old-site", Out() / "site");
  EXPECT_EQ(Snapshot(Out()), before);

  fs::remove(Out() / kLockFileName);
  fs::create_symlink(elsewhere / "planted", Out() / kLockFileName);
  EXPECT_THROW(Export(), ReportFolderBusy);  // exit status 3
  EXPECT_FALSE(fs::exists(elsewhere / "planted"));
  // A lock file that cannot be opened stops the run too, rather than letting it go unlocked.
  fs::remove(Out() / kLockFileName);
  fs::create_directory(Out() / kLockFileName);
  try {
    Export();
    FAIL() << "the run went on without the lock";
  } catch (const ReportFolderBusy& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot lock report folder " + Out().string());
  }
  fs::remove(Out() / kLockFileName);
  EXPECT_EQ(Snapshot(Out()), before);
}

TEST_F(ExportTest, LongAndDottedNamesGetFilesTheServerCanHoldAndServe) {
  const std::string letters(300, 'a');
  const std::string marks(120, '!');  // each "!" takes two bytes ("33")
  const std::string fits(kMaxPrefixBytes, 'f');
  Analyse(
      "0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\\sv_hostname\\S\\\n"
      "0:01 J;1;0;" +
      letters + "\n0:01 J;2;1;" + letters + "b\n0:01 J;3;2;" + marks + "\n0:01 J;4;3;" + fits +
      "\n0:01 J;5;4;.\n0:01 J;6;5;..x\n");
  Export();
  const std::set<std::string> files = FilesIn(Out());
  EXPECT_EQ(files.size(), 8u + 1u + 6u * 10u);  // and site/
  std::set<std::string> prefixes;
  for (const std::string& file : files) {
    EXPECT_LE(file.size() + kTemporaryNameExtra, kMaxFileNameBytes) << file;
    EXPECT_NE(file[0], '.') << file;
    if (file.ends_with("opponents.html")) prefixes.insert(file.substr(0, file.size() - 14));
  }
  EXPECT_EQ(prefixes.size(), 6u);        // the two long names stay apart
  EXPECT_TRUE(prefixes.contains(fits));  // a name whose files fit keeps its prefix
  EXPECT_TRUE(prefixes.contains("46"));
  EXPECT_TRUE(prefixes.contains("46.x"));
  // The long names keep their start, and players.html links the files that were written.
  const std::string players = ReadBytes(Out() / "players.html");
  const std::regex link(R"re(href="([^"]*)")re");
  size_t player_links = 0;
  for (auto it = std::sregex_iterator(players.begin(), players.end(), link);
       it != std::sregex_iterator(); ++it) {
    const std::string target = (*it)[1];
    if (target.starts_with("http")) continue;
    EXPECT_TRUE(files.contains(target)) << target;
    player_links += std::find(kGlobalReportFiles.begin(), kGlobalReportFiles.end(), target) ==
                    kGlobalReportFiles.end();
  }
  EXPECT_EQ(player_links, 6u);
  EXPECT_EQ(std::count_if(prefixes.begin(), prefixes.end(),
                          [](const std::string& p) { return p.starts_with("aaaaaaaaaa"); }),
            2);
}

// The modern site beside the classic pages.

// Every page of the site under `site`, by its path relative to it.
std::vector<fs::path> SitePages(const fs::path& site) {
  std::vector<fs::path> pages;
  for (const auto& e : fs::recursive_directory_iterator(site)) {
    if (e.path().extension() == ".html") pages.push_back(fs::relative(e.path(), site));
  }
  return pages;
}

TEST_F(ExportTest, SiteLinksResolveInsideTheReportAndStatsHoldEveryPlayer) {
  LogGeneratorOptions options;
  options.lines = 4000;
  options.players = 12;
  Analyse(GenerateLog(options));
  Export();

  const fs::path site = Out() / "site";
  const std::vector<fs::path> pages = SitePages(site);
  const std::vector<std::string> names = PlayerNames();
  const Json people = Json::parse(ReadBytes(site / "people.json"));
  const Json games = Json::parse(ReadBytes(site / "games.json"));
  ASSERT_GT(people["people"].size(), 0u);
  ASSERT_GT(games["games"].size(), 0u);
  EXPECT_EQ(pages.size(), 8 + people["people"].size() + games["games"].size());
  // The ratings and awards as the CLI prints them, and the ranking beside them.
  EXPECT_TRUE(people["people"][0].contains("rating") && people["people"][0].contains("awards"));
  EXPECT_TRUE(games["games"][0].contains("awards"));
  EXPECT_TRUE(games["games"][0]["players"][0].contains("rating_change"));
  EXPECT_EQ(Json::parse(ReadBytes(site / "ranking.json"))["format"], "barvik-stats/2");
  const std::regex reference(R"re((?:href|src)="([^"#]*)(#[^"]*)?")re");
  for (const fs::path& page : pages) {
    const std::string text = ReadBytes(site / page);
    EXPECT_NE(text.find("<meta name=\"viewport\""), std::string::npos) << page;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), reference);
         it != std::sregex_iterator(); ++it) {
      const std::string target = (*it)[1];
      if (target.empty()) continue;  // a link within the page
      EXPECT_EQ(target.find(':'), std::string::npos) << page << " leaves the folder: " << target;
      const fs::path resolved = fs::weakly_canonical(site / page.parent_path() / target);
      EXPECT_TRUE(fs::is_regular_file(resolved)) << page << " refers to " << target;
      EXPECT_TRUE(resolved.string().starts_with(fs::weakly_canonical(Out()).string())) << target;
    }
  }

  const Json stats = Json::parse(ReadBytes(site / "stats.json"));
  EXPECT_EQ(stats["format"], std::string(kJsonFormat));
  EXPECT_EQ(stats["lists"]["ListViewPlayers"]["rows"].size(),
            ws_.List(ListId::Players).rows.size());
  ASSERT_EQ(stats["players"].size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(stats["players"][i]["name"], names[i]);
    EXPECT_EQ(stats["players"][i]["lists"].size(), 8u);
    // A name of a person points at his profile.
    if (stats["players"][i].contains("profile")) {
      EXPECT_TRUE(fs::is_regular_file(site / stats["players"][i]["profile"].get<std::string>()));
    }
  }
}

TEST_F(ExportTest, SitePagesEscapeLogTextsAndNameThemInTheirTitles) {
  Analyse(kSmallLog);
  Export();
  const fs::path site = Out() / "site";
  for (const fs::path& page : SitePages(site)) {
    const std::string text = ReadBytes(site / page);
    EXPECT_EQ(text.find("<b>x</b>"), std::string::npos) << page;
    EXPECT_EQ(text.find("<Jerry>"), std::string::npos) << page;
    EXPECT_NE(text.find(" - Tom &amp; &lt;Jerry&gt;</title>"), std::string::npos) << page;
  }
  std::string page;
  const Json people = Json::parse(ReadBytes(site / "people.json"));
  for (const Json& person : people["people"]) {
    if (person["name"] == "<b>x</b>") page = person["page"].get<std::string>();
  }
  ASSERT_NE(page, "");
  EXPECT_NE(
      ReadBytes(site / page).find("<title>&lt;b&gt;x&lt;/b&gt; - Tom &amp; &lt;Jerry&gt;</title>"),
      std::string::npos);
  EXPECT_NE(ReadBytes(Out() / "index.html").find("href=\"site/index.html\""), std::string::npos);
}

}  // namespace
}  // namespace barvik
