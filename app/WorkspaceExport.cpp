// "Export stats to HTML": the whole report folder from the lists as they stand. The global
// pages first, then every row of ListViewPlayers loaded in display order as a double click
// would load it, with his seven pages and three images. Every player's events come from one
// walk over the log made before the loop; loading a player from them fills the same lists as
// a rescan would. The files are staged and reach the folder together once all were written,
// under the folder's lock.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "app/ImageFingerprint.h"
#include "app/SiteLists.h"
#include "app/Workspace.h"
#include "core/FileError.h"
#include "core/Text1252.h"
#include "log/CacheFolder.h"
#include "report/ImageSource.h"
#include "report/PageWriter.h"
#include "report/PngBatch.h"
#include "report/RenderMemo.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"

namespace barvik {
namespace {

// Copies the template `from` over `to`. The copies are optional parts of the report: a
// missing template or a failed write leaves the export going without that file.
void CopyTemplate(const std::string& from, const std::string& to, ReportOutput& output) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(from, ec)) return;
  std::ifstream in(from, std::ios::binary);
  if (!in) return;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return;
  try {
    output.Write(to, bytes);
  } catch (const FileError&) {
  }
}

// The modern site beside the classic pages: the games and people model's pages, and the same
// lists as the classic pages for stats.json (see SiteWriter.h).
std::unique_ptr<SiteWriter> StartSite(Workspace& ws, const std::string& folder,
                                      const PageSettings& settings, ReportOutput& output) {
  SiteSettings site;
  site.report_folder = folder;
  site.template_folder = ws.template_folder;
  site.server_name = ws.server_name();
  site.build_text = ws.build_text;
  const FooterTime now = settings.clock ? settings.clock() : SystemFooterTime();
  site.generated = now.date + " " + now.time;
  site.decimal_separator = ws.decimal_separator();
  site.turns = ws.log() != nullptr ? ws.log()->TurnCount : 0;
  auto writer = std::make_unique<SiteWriter>(std::move(site), output);
  writer->WriteGlobal(SiteGlobalLists(ws));
  const EventStore no_events;
  const EventStore& events = ws.log() != nullptr ? ws.log()->events() : no_events;
  const GamesModel model = BuildGames(events, ws.people_rules);
  writer->WriteGames(
      GameTexts(events), model,
      FiguresOf(model, ComputeAwards(events, model, writer->friendly().weapon_groups())));
  return writer;
}

}  // namespace

GlobalLists SiteGlobalLists(const Workspace& ws) {
  return {&ws.List(ListId::Players), &ws.List(ListId::Weapon), &ws.List(ListId::Maps),
          &ws.List(ListId::GType), &ws.List(ListId::Accuracy)};
}

PlayerLists SitePlayerLists(const Workspace& ws) {
  return {&ws.List(ListId::Player),
          &ws.List(ListId::PlayerWeapon),
          &ws.List(ListId::PlayerGlobAccuracy),
          &ws.List(ListId::PlayerGlobEnemyAccuracy),
          &ws.List(ListId::PlayerMaps),
          &ws.List(ListId::PlayerGameType),
          &ws.List(ListId::PlayerVictims),
          &ws.List(ListId::PlayerTurnsRatio)};
}

void Workspace::ButtonHTMLClick(ImageSource& images) {
  if (options_.dest_dir.empty()) {
    throw FileError("Cannot export the report: no output folder given");
  }
  const std::string folder = OutputFolderPrefix(options_.dest_dir);
  {
    // A folder that cannot be created makes the first page write fail with its path.
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
  }
  // One run at a time per folder; what a killed run left is cleared by the next one.
  ReportFolderLock lock(folder, export_wait_seconds, options_.dest_dir, hooks.waiting);
  if (lock.held()) StagingArea::RemoveLeftovers(folder);
  // Every file is written into the staging folder and moved into place at the end, so a
  // failure leaves the previous report whole. Without a staging folder (the folder cannot be
  // written) the files go straight to their places and the first one fails with its name.
  ReportOutput output(export_incremental);
  try {
    output.Stage(folder);
  } catch (const FileError&) {
  }
  const std::filesystem::path templates(template_folder);
  CopyTemplate((templates / "style.dat").string(), folder + "style.css", output);
  CopyTemplate((templates / "globhtml0.dat").string(), folder + "index.html", output);
  const MainPage remembered_page = page_;

  // The file prefix of every player for this run, known before "players.html" links them.
  ReportList& players = List(ListId::Players);
  std::vector<std::string> names;
  names.reserve(players.rows.size());
  for (const Row& row : players.rows) {
    if (row.caption != kTotalRowCaption) names.push_back(row.caption);
  }
  const StringMap<std::string> prefixes = AssignPlayerPrefixes(names);
  auto prefix_of = [&prefixes](std::string_view name) {
    auto it = prefixes.find(name);
    return it != prefixes.end() ? it->second : PlayerFilePrefix(name);
  };

  PageSettings settings;
  settings.template_folder = template_folder;
  settings.build_text = build_text;
  settings.player_prefix = prefix_of;
  settings.templates = std::make_shared<TemplateLines>();
  const std::string title_prefix = "<i>" + EscapeHtml(server_name_) + "</i>";
  auto page = [&](ListId list, std::string_view title, const std::string& file, bool links,
                  std::string_view image, const ReportList* header) {
    WriteHTMLPage(List(list), title_prefix + std::string(title), folder + file, links, image,
                  header, settings, output);
  };
  // An incremental export with a cache folder leaves an image whose fingerprint and file are
  // the ones the memo recorded; it neither draws nor encodes it (see RenderMemo.h). A full
  // export draws every image and records them, so the first incremental run after it has a
  // memo to go by.
  std::optional<RenderMemo> memo;
  const bool incremental = output.keeps_identical();
  // Not in a cache folder others could write: a planted memo would keep stale images.
  if (!cache_folder.empty() && PrepareCacheFolder(cache_folder).empty()) {
    memo.emplace(RenderMemoPath(cache_folder, folder), folder);
  }
  if (memo && !memo->enabled()) memo.reset();
  // The pictures are drawn here and encoded on worker threads, a batch at a time; each is
  // written (and recorded in the memo) here once encoded, in the order drawn.
  PngBatch encoder;
  auto image = [&](ReportImage which, const std::string& file) {
    std::optional<uint64_t> fingerprint;
    if (memo) fingerprint = ImageFingerprint(*this, which, images);
    if (fingerprint && incremental && memo->Reusable(file, *fingerprint)) {
      output.CountKept();
      return;
    }
    encoder.Add(folder + file, images.Render(which),
                [&, file, fingerprint](const std::string& png) {
                  output.Write(folder + file, png);
                  if (fingerprint) memo->Written(file, *fingerprint, png);
                });
  };

  page(ListId::Players, "<br>PLAYERS - Global Statistics", "players.html", true, "", nullptr);
  page(ListId::Weapon, "<br>WEAPON - Global Statistics", "weapon.html", false, "", nullptr);
  page(ListId::Maps, "<br>MAPS - Global Statistics", "maps.html", false, "", nullptr);
  page(ListId::GType, "<br>GAME TYPE - Global Statistics", "gametype.html", false, "", nullptr);
  page(ListId::Accuracy, "<br>SHOT ACCURACY - Global Statistics", "accuracy.html", false,
       "./accuracy.png", nullptr);
  image(ReportImage::Accuracy, "accuracy.png");
  const std::unique_ptr<SiteWriter> site = StartSite(*this, folder, settings, output);

  const ReportList* header = &List(ListId::Player);
  // "1 of 10" ... "10 of 10": the total row is neither counted nor exported.
  const std::string of_players = " of " + std::to_string(names.size());
  size_t exported = 0;
  for (size_t i = 0; i < players.rows.size(); ++i) {
    SelectPlayerRow(static_cast<int>(i));
    const std::string name = players.rows[i].caption;
    if (name == kTotalRowCaption) continue;

    // As a double click: the player page, the player loaded unless he already is, the time.
    const auto start = std::chrono::steady_clock::now();
    SetPage(MainPage::SelectedPlayer);
    // Each load visits only the player's own events (the log's player index), so the
    // export never holds more than one player's event lists.
    if (name != loaded_name_) ShowSelectedPlayer(name);
    SetStatus(kPanelElapsed, ElapsedSince(start));
    SetStatus(kPanelProgress, std::to_string(++exported) + of_players);
    if (hooks.exporting) hooks.exporting(exported, names.size());

    const std::string p = prefix_of(name);
    const std::string n = EscapeHtml(UpperCopy(name));
    page(ListId::PlayerWeapon, "<br>WEAPON - Statistics of " + n, p + "weapon.html", false, "",
         header);
    page(ListId::PlayerGlobAccuracy, "<br>OVERALL ACCURACY - Statistics of " + n,
         p + "accuracy.html", false, "./" + p + "accuracy.png", header);
    image(ReportImage::PlayerAccuracy, p + "accuracy.png");
    page(ListId::PlayerGlobEnemyAccuracy, "<br>OPPONENTS OVERALL ACCURACY - Statistics of " + n,
         p + "enemyaccuracy.html", false, "./" + p + "enemyaccuracy.png", header);
    image(ReportImage::EnemyAccuracy, p + "enemyaccuracy.png");
    page(ListId::PlayerMaps, "<br>MAPS - Statistics of " + n, p + "maps.html", false, "", header);
    page(ListId::PlayerGameType, "<br>GAME TYPE - Statistics of " + n, p + "gametype.html", false,
         "", header);
    page(ListId::PlayerVictims, "<br>OPPONENTS - Statistics of " + n, p + "opponents.html", false,
         "", header);
    page(ListId::PlayerTurnsRatio, "<br>RATIO CHART - Statistics of " + n, p + "ratiochart.html",
         false, "./" + p + "ratiochart.png", header);
    image(ReportImage::RatioChart, p + "ratiochart.png");
    site->WritePlayer(name, SitePlayerLists(*this));
  }
  encoder.Finish();
  site->Finish();
  output.Publish();
  export_counts_ = output.counts();
  if (memo) memo->Save();
  SetPage(remembered_page);
  // Where the report went, in the panel of the log's path.
  std::error_code ec;
  const std::filesystem::path written = std::filesystem::absolute(folder, ec);
  SetStatus(kPanelFile, "Report written to " + (ec ? folder : written.lexically_normal().string()));
}

}  // namespace barvik
