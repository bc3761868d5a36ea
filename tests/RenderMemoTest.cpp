// The render memo of incremental exports: an image whose state and file did not change is not
// drawn again, one whose state changed or whose file was touched is, a damaged or foreign memo
// means every image is drawn, and the folder always equals a fresh export's (footers aside).
// The fake pictures follow the state they show, so an image left from an older state would
// differ from the fresh export's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "app/Workspace.h"
#include "core/Text1252.h"
#include "log/LineFormat.h"
#include "report/PageWriter.h"
#include "report/RenderMemo.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"
#include "tests/FakeImages.h"
#include "tests/MaskedReport.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using testing::FakeImages;
using testing::MaskedReport;
using testing::ReadBytes;

// The image files drawn by `images`, by name in the folder.
std::set<std::string> DrawnFiles(const Workspace& ws, const FakeImages& images) {
  std::vector<std::string> names;
  for (const Row& row : ws.List(ListId::Players).rows) {
    if (row.caption != kTotalRowCaption) names.push_back(row.caption);
  }
  const StringMap<std::string> prefixes = AssignPlayerPrefixes(names);
  std::set<std::string> drawn;
  size_t charts = 0;
  for (const auto& [which, player] : images.calls) {
    if (which == ReportImage::Accuracy) {
      drawn.insert("accuracy.png");
      continue;
    }
    std::string name = player;
    if (which == ReportImage::RatioChart) {
      // A chart is drawn for a player left unloaded too: its title names him.
      const std::string& title = images.chart_titles.at(charts++);
      for (const std::string& candidate : names) {
        std::string words = "for player ";
        words += UpperCopy(candidate);
        words += " (";
        if (title.find(words) != std::string::npos) name = candidate;
      }
    }
    drawn.insert(prefixes.at(name) + (which == ReportImage::PlayerAccuracy  ? "accuracy.png"
                                      : which == ReportImage::EnemyAccuracy ? "enemyaccuracy.png"
                                                                            : "ratiochart.png"));
  }
  return drawn;
}

// The PNG files of a report folder, by name.
std::map<std::string, std::string> Images(const fs::path& folder) {
  std::map<std::string, std::string> images;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().extension() == ".png") images[e.path().filename()] = ReadBytes(e.path());
  }
  return images;
}

// The names whose bytes differ between two sets of images (or that only one holds).
std::set<std::string> Changed(const std::map<std::string, std::string>& before,
                              const std::map<std::string, std::string>& after) {
  std::set<std::string> changed;
  for (const auto& [name, bytes] : after) {
    auto it = before.find(name);
    if (it == before.end() || it->second != bytes) changed.insert(name);
  }
  return changed;
}

class RenderMemoTest : public testing::TempFolderTest {
 protected:
  // Writes the log as a server would have: its time is that of its last line, the server
  // having started at a fixed moment, so the games' dates, estimated from it, stay as they
  // were whatever second the test runs in.
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = TempFolderTest::Write(name, bytes);
    if (name.ends_with(".log")) {
      const size_t end = bytes.find_last_not_of('\n');
      const size_t begin = bytes.rfind('\n', end);
      const std::string_view last =
          std::string_view(bytes).substr(begin == std::string::npos ? 0 : begin + 1,
                                         end - (begin == std::string::npos ? 0 : begin + 1) + 1);
      const auto stamp = std::chrono::seconds(StampSeconds(last).value_or(0));
      fs::last_write_time(path, fs::file_time_type(std::chrono::hours(24 * 20000)) + stamp);
    }
    return path;
  }
  void SetUp() override {
    TempFolderTest::SetUp();
    sample_ = ReadBytes(BARVIK_SOURCE_DIR "/samples/sample.log");
    ASSERT_GT(sample_.size(), 1000u);
    log_ = Write("games_mp.log", sample_);
    report_ = dir_ / "report";
    cache_ = (dir_ / "cache" / "barvik").string();
  }

  struct Run {
    std::set<std::string> drawn;
    std::set<std::string> loaded;  // the players loaded, as the status names them
    size_t written = 0;
    size_t kept = 0;
  };

  // An export of the log into `folder`: incremental with the memo folder `cache` (none when
  // empty) unless `incremental` is false.
  Run Export(const fs::path& folder, const std::string& cache, bool incremental = true,
             std::optional<std::string> context = "fake") const {
    Workspace ws('.');
    ws.template_folder = BARVIK_TEMPLATE_DIR;
    ws.cache_folder = cache;
    ws.people_rules = people_;
    EXPECT_TRUE(ws.RunAnalysis({log_}));
    ws.options().dest_dir = folder.string();
    FakeImages images(ws);
    images.by_state = true;
    images.context = std::move(context);
    Run run;
    ws.export_incremental = incremental;
    ws.export_loads_last_player = load_last_player_;
    ws.hooks.status_changed = [&] {
      const std::string& text = ws.status(kPanelActivity);
      if (text.starts_with("Reading ") && text.ends_with(" Statistics")) {
        run.loaded.insert(text.substr(8, text.size() - 19));
      }
    };
    ws.ButtonHTMLClick(images);
    run.drawn = DrawnFiles(ws, images);
    if (incremental) {
      run.written = ws.export_counts().written;
      run.kept = ws.export_counts().kept;
    }
    return run;
  }

  // What a fresh export of the log into a new folder holds. Its events come through the same
  // event cache, which keeps when each stretch of the log was first read: the games' dates
  // depend on that history.
  std::map<std::string, std::string> Fresh() const {
    const fs::path fresh = dir_ / "fresh";
    fs::remove_all(fresh);
    Export(fresh, cache_, false);
    return MaskedReport(fresh);
  }

  // The memo files in the memo folder.
  // The render memos in the cache folder (the event cache keeps its files there too).
  std::vector<fs::path> MemoFiles() const {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(cache_)) {
      if (e.path().filename().string().starts_with("render-")) files.push_back(e.path());
    }
    return files;
  }

  // The site's profiles and game pages, each with its last byte changed in place (size and
  // modification time kept): a page an export does not make keeps the mark.
  std::vector<fs::path> MarkSitePages() const {
    std::vector<fs::path> pages;
    for (const char* folder : {"games", "people"}) {
      for (const auto& e : fs::directory_iterator(report_ / "site" / folder)) {
        const auto time = fs::last_write_time(e.path());
        std::string bytes = ReadBytes(e.path());
        bytes.back() = '#';
        std::ofstream(e.path(), std::ios::binary) << bytes;
        fs::last_write_time(e.path(), time);
        pages.push_back(e.path());
      }
    }
    return pages;
  }

  // The pages of `marked` that still carry the mark, given their last byte back (size and
  // modification time kept).
  std::set<std::string> LeftAlone(const std::vector<fs::path>& marked) const {
    std::set<std::string> left;
    for (const fs::path& page : marked) {
      std::string bytes = ReadBytes(page);
      if (bytes.empty() || bytes.back() != '#') continue;
      bytes.back() = '\n';
      const auto time = fs::last_write_time(page);
      std::ofstream(page, std::ios::binary) << bytes;
      fs::last_write_time(page, time);
      left.insert(fs::relative(page, report_ / "site").string());
    }
    return left;
  }

  std::string sample_;
  std::string log_;
  fs::path report_;
  std::string cache_;
  PeopleRules people_;            // the people file's rules of every export
  bool load_last_player_ = true;  // export_loads_last_player of every export
};

TEST_F(RenderMemoTest, UnchangedLogDrawsNoImageAndLeavesEveryFile) {
  const Run first = Export(report_, cache_);
  const size_t images = Images(report_).size();
  EXPECT_EQ(first.drawn.size(), images) << "no memo yet: every image drawn";
  ASSERT_EQ(MemoFiles().size(), 1u);
  struct stat st {};
  ASSERT_EQ(stat(cache_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // Back-dated, so that a file rewritten within the same second is still told apart; the memo
  // then records other times than the files have, so this export draws again and records
  // them.
  const auto old_time = fs::last_write_time(report_ / "players.html") - std::chrono::hours(1);
  for (const auto& e : fs::recursive_directory_iterator(report_)) {
    if (e.is_regular_file()) fs::last_write_time(e.path(), old_time);
  }
  EXPECT_EQ(Export(report_, cache_).drawn.size(), images);

  const Run second = Export(report_, cache_);
  EXPECT_TRUE(second.drawn.empty()) << *second.drawn.begin();
  EXPECT_EQ(second.written, 0u);
  EXPECT_GT(second.kept, images);
  for (const auto& e : fs::recursive_directory_iterator(report_)) {
    if (e.is_regular_file() && e.path().filename() != kLockFileName) {
      EXPECT_EQ(fs::last_write_time(e.path()), old_time) << e.path();
    }
  }
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

TEST_F(RenderMemoTest, OnlyImagesWhoseStateChangedAreDrawnAgain) {
  Export(report_, cache_);
  const auto before = Images(report_);
  // One more kill of Ghost 8 by Gunner 1 in the last turn: the turn count stays.
  const std::string kill =
      "131:34 K;699646647;8;allies;Ghost 8;521638527;1;axis;Gunner 1;kar98k_mp;76;"
      "MOD_PISTOL_BULLET;head\n";
  const size_t at = sample_.find(kill);
  ASSERT_NE(at, std::string::npos);
  Write("games_mp.log", std::string(sample_).insert(at, kill));

  const Run run = Export(report_, cache_);
  const auto after = Images(report_);
  EXPECT_EQ(run.drawn, Changed(before, after)) << "drawn are exactly the images that changed";
  EXPECT_FALSE(run.drawn.empty());
  EXPECT_LT(run.drawn.size(), 8u);
  const std::string victim = PlayerFilePrefix("Ghost 8");
  const std::string killer = PlayerFilePrefix("Gunner 1");
  for (const std::string& name : run.drawn) {
    EXPECT_TRUE(name == "accuracy.png" || name.rfind(victim, 0) == 0 || name.rfind(killer, 0) == 0)
        << name;
  }
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

TEST_F(RenderMemoTest, PlayersWhoseEventsDidNotChangeAreNeitherLoadedNorWritten) {
  const Run first = Export(report_, cache_);
  EXPECT_GE(first.loaded.size(), 10u);
  const auto before = Images(report_);
  // A new turn in which Gunner 1 kills Ghost 8: every chart's axis grows by one turn.
  const size_t init = sample_.rfind(" InitGame: ");
  ASSERT_NE(init, std::string::npos);
  const std::string turn = "140:00" + sample_.substr(init, sample_.find('\n', init) - init + 1) +
                           "140:01 K;699646647;8;allies;Ghost 8;521638527;1;axis;Gunner 1;"
                           "kar98k_mp;76;MOD_PISTOL_BULLET;head\n";
  Write("games_mp.log", sample_ + turn);

  const Run run = Export(report_, cache_);
  // And the last player, loaded at the end as a full export leaves him.
  EXPECT_TRUE(run.loaded.contains("GHOST 8") && run.loaded.contains("GUNNER 1"));
  EXPECT_LE(run.loaded.size(), 3u);
  EXPECT_EQ(run.drawn, Changed(before, Images(report_)));
  const auto after = Images(report_);
  const std::set<std::string> changed = Changed(before, after);
  const std::string victim = PlayerFilePrefix("Ghost 8");
  const std::string killer = PlayerFilePrefix("Gunner 1");
  for (const auto& [name, bytes] : after) {
    // The others' figures stay; every chart is drawn on the longer axis.
    if (name.starts_with(victim) || name.starts_with(killer) || name == "accuracy.png") continue;
    EXPECT_EQ(changed.contains(name), name.ends_with("ratiochart.png")) << name;
  }
  EXPECT_EQ(MaskedReport(report_), Fresh());
  const Run again = Export(report_, cache_);
  EXPECT_TRUE(again.drawn.empty()) << *again.drawn.begin();
  // A caller that shows nothing afterwards has nobody loaded for it.
  load_last_player_ = false;
  const Run unshown = Export(report_, cache_);
  EXPECT_TRUE(unshown.loaded.empty()) << *unshown.loaded.begin();
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

// A profile or game page is made again exactly when something it shows changed: a page left
// alone from older inputs would differ from the fresh export's.
TEST_F(RenderMemoTest, SitePagesAreMadeOnlyWhenWhatTheyShowChanged) {
  const size_t init = sample_.rfind(" InitGame: ");
  ASSERT_NE(init, std::string::npos);
  const std::string kill =
      "131:34 K;699646647;8;allies;Ghost 8;521638527;1;axis;Gunner 1;kar98k_mp;76;"
      "MOD_PISTOL_BULLET;head\n";
  const size_t late = sample_.find(kill);
  ASSERT_NE(late, std::string::npos);
  const std::string new_game = "140:00" +
                               sample_.substr(init, sample_.find('\n', init) - init + 1) +
                               "140:01 " + kill.substr(7);
  Export(report_, cache_);
  // An incremental export of `log` after marking the pages: the pages it left alone.
  size_t pages = 0;
  auto left_alone = [&](const std::string& log) {
    Write("games_mp.log", log);
    const std::vector<fs::path> marked = MarkSitePages();
    pages = marked.size();
    Export(report_, cache_);
    return LeftAlone(marked);
  };
  EXPECT_EQ(left_alone(sample_).size(), pages) << "unchanged";

  std::set<std::string> left = left_alone(std::string(sample_).insert(late, kill));
  EXPECT_TRUE(left.contains("games/1.html"));
  EXPECT_FALSE(left.contains("games/15.html")) << "late lines in the last game";
  EXPECT_EQ(MaskedReport(report_), Fresh());

  left = left_alone(sample_ + new_game);
  EXPECT_TRUE(left.contains("games/1.html"));
  EXPECT_FALSE(left.contains("people/058274ccd5fd.html")) << "a new game: Gunner 1's profile";
  EXPECT_EQ(MaskedReport(report_), Fresh());

  people_.shown_as = {{"Gunner 1", "Gunny"}};
  left = left_alone(sample_ + new_game);
  EXPECT_FALSE(left.empty());
  EXPECT_LT(left.size(), pages - 10) << "a renamed person: the pages that link him";
  EXPECT_EQ(MaskedReport(report_), Fresh());

  // A hidden person's profile goes with him; files of others in the site's folders stay.
  people_.hidden = {"Ghost 8"};
  const fs::path profile = report_ / "site" / "people" / "de996d923969.html";
  ASSERT_TRUE(fs::exists(profile));
  std::ofstream(report_ / "site" / "people" / "notes.txt") << "the admin's";
  left_alone(sample_ + new_game);
  EXPECT_FALSE(fs::exists(profile));
  EXPECT_TRUE(fs::remove(report_ / "site" / "people" / "notes.txt"));
  EXPECT_EQ(MaskedReport(report_), Fresh()) << "a hidden person: off every page and entry";
}

// The memo vouches for a site page or games.json only while the file is the one it recorded.
TEST_F(RenderMemoTest, DeletedTouchedOrChangedSiteFilesAreMadeAgain) {
  Export(report_, cache_);
  const fs::path site = report_ / "site";
  fs::remove(site / "games" / "3.html");
  const fs::path profile = site / "people" / "058274ccd5fd.html";
  fs::last_write_time(profile, fs::last_write_time(profile) - std::chrono::seconds(5));
  std::string games = ReadBytes(site / "games.json");
  ASSERT_GT(games.size(), 1000u);
  games.replace(games.size() / 2, 40, 20, ' ');  // shorter: the entries' places are wrong
  std::ofstream(site / "games.json", std::ios::binary) << games;
  // And a page changed in place, its size and time kept, with the log grown: still left
  // alone when its inputs did not change, so the mark stays.
  const std::vector<fs::path> marked = MarkSitePages();
  Write("games_mp.log", sample_ + sample_.substr(sample_.rfind(" InitGame: ") - 6));
  Export(report_, cache_);
  EXPECT_TRUE(LeftAlone(marked).contains("games/1.html"));
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

TEST_F(RenderMemoTest, APlayerWhosePageWasDeletedOrTouchedIsWrittenAgain) {
  Export(report_, cache_);
  const std::string ghost = PlayerFilePrefix("Ghost 8");
  const std::string gunner = PlayerFilePrefix("Gunner 1");
  fs::remove(report_ / (ghost + "maps.html"));
  fs::last_write_time(
      report_ / (gunner + "weapon.html"),
      fs::last_write_time(report_ / (gunner + "weapon.html")) - std::chrono::seconds(5));
  const Run run = Export(report_, cache_);
  EXPECT_TRUE(run.loaded.contains("GHOST 8") && run.loaded.contains("GUNNER 1"));
  EXPECT_LE(run.loaded.size(), 3u);
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

TEST_F(RenderMemoTest, TouchedRewrittenOrDeletedImagesAreDrawnAgain) {
  Export(report_, cache_);
  const auto images = Images(report_);
  ASSERT_GE(images.size(), 4u);
  auto it = images.begin();
  const std::string touched = (it++)->first;
  const std::string deleted = (it++)->first;
  const std::string rewritten = (it++)->first;
  fs::last_write_time(report_ / touched,
                      fs::last_write_time(report_ / touched) - std::chrono::seconds(5));
  fs::remove(report_ / deleted);
  // Other bytes written in place, its size, time and inode kept: only its bytes tell.
  {
    const fs::path path = report_ / rewritten;
    const auto time = fs::last_write_time(path);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(20);
    file.put('\x55');
    file.close();
    fs::last_write_time(path, time);
  }
  EXPECT_EQ(Export(report_, cache_).drawn, (std::set<std::string>{touched, deleted, rewritten}));
  EXPECT_EQ(MaskedReport(report_), Fresh());
  EXPECT_TRUE(Export(report_, cache_).drawn.empty()) << "the drawn ones were recorded";
}

TEST_F(RenderMemoTest, DamagedOrForeignMemoIsIgnored) {
  Export(report_, cache_);
  ASSERT_EQ(MemoFiles().size(), 1u);
  const fs::path memo = MemoFiles()[0];
  const std::string good = ReadBytes(memo);
  const size_t images = Images(report_).size();
  // Another folder's memo under this folder's name.
  const fs::path other = dir_ / "other";
  const std::string other_cache = (dir_ / "other-cache").string();
  Export(other, other_cache);
  for (const auto& e : fs::directory_iterator(other_cache)) {
    if (e.path().filename().string().starts_with("render-"))
      fs::copy_file(e.path(), dir_ / "foreign");
  }
  const std::string foreign = ReadBytes(dir_ / "foreign");

  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 1;
  const std::map<std::string, std::string> damaged = {
      {"empty", ""},
      {"truncated", good.substr(0, good.size() - 9)},
      {"one bit flipped", flipped},
      {"longer", good + "x"},
      {"foreign", foreign},
  };
  for (const auto& [what, bytes] : damaged) {
    std::ofstream(memo, std::ios::binary | std::ios::trunc) << bytes;
    EXPECT_EQ(Export(report_, cache_).drawn.size(), images) << what;
    EXPECT_EQ(MaskedReport(report_), Fresh()) << what;
  }
  EXPECT_TRUE(Export(report_, cache_).drawn.empty()) << "a sound memo was written again";
}

TEST_F(RenderMemoTest, WithoutAMemoEveryImageIsDrawn) {
  Export(report_, cache_);
  const size_t images = Images(report_).size();
  // No memo folder given.
  EXPECT_EQ(Export(report_, "").drawn.size(), images);
  // Not incremental: every image is drawn, and recorded, so an incremental export after a
  // full one draws nothing.
  EXPECT_EQ(Export(report_, cache_, false).drawn.size(), images);
  EXPECT_TRUE(Export(report_, cache_).drawn.empty());
  // A source that cannot name what its pictures depend on.
  EXPECT_EQ(Export(report_, cache_, true, std::nullopt).drawn.size(), images);
  // Another context (a new toolkit, other fonts) makes every fingerprint another.
  Export(report_, cache_);
  EXPECT_EQ(Export(report_, cache_, true, "other fonts").drawn.size(), images);
  // A memo folder that cannot be made: no memo, and the export still succeeds.
  Write("not-a-folder", "");
  const std::string blocked = (dir_ / "not-a-folder" / "barvik").string();
  EXPECT_EQ(Export(report_, blocked).drawn.size(), images);
  EXPECT_EQ(Export(report_, blocked).drawn.size(), images);
  EXPECT_EQ(MaskedReport(report_), Fresh());
}

TEST_F(RenderMemoTest, FailedExportKeepsTheEarlierMemo) {
  Export(report_, cache_);
  const std::string memo_before = ReadBytes(MemoFiles().at(0));
  Write("games_mp.log", sample_ + sample_);  // every image changes
  fs::remove(report_ / "site" / "stats.json");
  fs::create_directory(report_ / "site" / "stats.json");  // the site cannot be published
  EXPECT_THROW(Export(report_, cache_), FileError);
  EXPECT_EQ(ReadBytes(MemoFiles().at(0)), memo_before);
  fs::remove_all(report_ / "site" / "stats.json");
  Write("games_mp.log", sample_);
  EXPECT_TRUE(Export(report_, cache_).drawn.empty()) << "the earlier images are all still there";
}

// The memo file is written a piece at a time: records longer than a piece, and pieces ending
// at odd places, must read back whole and pass the file's hash. The players' lists wait in
// files, not in memory: those of a written player in a file of the memo's folder, those of a
// kept player in the memo file read, which the memo saved by then has replaced.
TEST_F(RenderMemoTest, RecordsLongerThanAWritePieceReadBackWhole) {
  const std::string cache = (dir_ / "cache").string();
  fs::create_directories(cache);
  fs::create_directories(report_);
  Write("report/bob.html", "page");
  const std::string memo_file = cache + "/render.memo";
  std::map<std::string, std::string> lists;
  {
    RenderMemo memo(memo_file, report_.string());
    std::vector<size_t> sizes = {65531, 200003};
    for (size_t k = 1; k < 400; ++k) sizes.push_back(k * k % 997);
    for (const size_t size : sizes) {
      RenderMemo::PlayerRecord record;
      record.fingerprint = size;
      record.pages = {"bob.html"};
      for (size_t i = 0; i < size; ++i) record.site_lists += static_cast<char>('a' + i % 23);
      record.chart = record.site_lists.substr(size / 3);
      const std::string name = "p" + std::to_string(size);
      lists[name] = record.site_lists;
      memo.WrittenPlayer(name, std::move(record));
    }
    memo.Save();
  }
  for (int round = 0; round < 2; ++round) {
    RenderMemo memo(memo_file, report_.string());
    for (const auto& [name, text] : lists) {
      std::string read;
      const RenderMemo::PlayerRecord* record = memo.ReusablePlayer(name, text.size(), read);
      ASSERT_NE(record, nullptr) << name << " in round " << round;
      EXPECT_EQ(read, text);
      EXPECT_EQ(record->chart, text.substr(text.size() / 3));
    }
    memo.Save();
  }
}

// A field of the state that the drawing reads and the fingerprint missed would leave an
// image of an older state in place.
TEST(ImageFingerprintTest, EveryFieldTheDrawingReadsChangesIt) {
  auto figure_hash = [](const FigureState& figure) {
    StableHash hash;
    AddFigureState(hash, figure);
    return hash.value();
  };
  FigureState figure;
  figure.title = "Bob with mp40";
  figure.title_names = {{0, 3}, {9, 4}};
  figure.cells[3].label = "12";
  figure.cells[3].gauge = 40;
  figure.cells[3].gauge_visible = true;
  const uint64_t base = figure_hash(figure);
  auto vary = [&](const char* what, auto change) {
    FigureState changed = figure;
    change(changed);
    EXPECT_NE(figure_hash(changed), base) << what;
  };
  vary("choice", [](FigureState& f) { f.choice = 1; });
  vary("title", [](FigureState& f) { f.title = "Bob with mp44"; });
  vary("name span", [](FigureState& f) { f.title_names[1].length = 3; });
  vary("name count", [](FigureState& f) { f.title_names.pop_back(); });
  vary("label", [](FigureState& f) { f.cells[3].label = "13"; });
  vary("label moved", [](FigureState& f) { std::swap(f.cells[3], f.cells[4]); });
  vary("colour", [](FigureState& f) { f.cells[3].colour = kBlue; });
  vary("gauge", [](FigureState& f) { f.cells[3].gauge = 41; });
  vary("gauge hidden", [](FigureState& f) { f.cells[3].gauge_visible = false; });

  auto chart_hash = [](const ChartState& chart) {
    StableHash hash;
    AddChartState(hash, chart);
    return hash.value();
  };
  ChartState chart;
  chart.points = {{1, 0.5, false}, {2, 1.5, true}};
  const uint64_t chart_base = chart_hash(chart);
  auto vary_chart = [&](const char* what, auto change) {
    ChartState changed = chart;
    change(changed);
    EXPECT_NE(chart_hash(changed), chart_base) << what;
  };
  vary_chart("title", [](ChartState& c) { c.title = "Ratio Chart for player BOB"; });
  vary_chart("xmax", [](ChartState& c) { c.xmax = 26; });
  vary_chart("ymax", [](ChartState& c) { c.ymax = 5; });
  vary_chart("x", [](ChartState& c) { c.points[0].x = 3; });
  vary_chart("y", [](ChartState& c) { c.points[0].y = 0.25; });
  vary_chart("colour", [](ChartState& c) { c.points[1].blue = false; });
  vary_chart("one point less", [](ChartState& c) { c.points.pop_back(); });
  // Texts carry their length: moving a byte from one text to the next is seen.
  EXPECT_NE(StableHash().Text("ab").Text("c").value(), StableHash().Text("a").Text("bc").value());
  EXPECT_NE(StableHash().Bytes("a").value(),
            StableHash().Bytes(std::string_view("a\0", 2)).value());
}

}  // namespace
}  // namespace barvik
