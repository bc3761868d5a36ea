// "Export stats to HTML": the whole report folder from the lists as they stand. The global
// pages first, then every row of ListViewPlayers loaded in display order as a double click
// would load it, with his seven pages and three images. Every player's events come from one
// walk over the log made before the loop; loading a player from them fills the same lists as
// a rescan would. The files are staged and reach the folder together once all were written,
// under the folder's lock.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "app/ImageFingerprint.h"
#include "app/SiteLists.h"
#include "app/Workspace.h"
#include "core/AtomicReplace.h"
#include "core/FileError.h"
#include "core/StableHash.h"
#include "core/Text1252.h"
#include "core/WorkerPool.h"
#include "log/CacheFolder.h"
#include "report/FriendlyNames.h"
#include "report/ImageSource.h"
#include "report/PageWriter.h"
#include "report/PngBatch.h"
#include "report/RenderMemo.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"
#include "report/SiteKeys.h"
#include "stats/GameRatings.h"
#include "stats/PlayerDetail.h"

namespace barvik {
namespace {

// Copies the template `from` over `to`. The copies are optional parts of the report: a
// missing template or a failed write leaves the export going without that file, so the copy
// is written here, where its failure can be let pass.
void CopyTemplate(const std::string& from, const std::string& to, ReportOutput& output) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(from, ec)) return;
  std::ifstream in(from, std::ios::binary);
  if (!in) return;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return;
  try {
    output.WriteHere(to, WithLogCharset(std::move(bytes)));
  } catch (const FileError&) {
  }
}

// The modern site beside the classic pages: its writer, with the global lists given for
// stats.json (see SiteWriter.h). The games model's pages come from WriteSiteModel.
std::unique_ptr<SiteWriter> StartSite(const Workspace& ws, const std::string& folder,
                                      const PageSettings& settings, ReportOutput& output) {
  SiteSettings site;
  site.report_folder = folder;
  site.template_folder = ws.template_folder;
  site.server_name = ws.server_name();
  site.build_text = ws.build_text;
  const FooterTime now = settings.clock ? settings.clock() : SystemFooterTime();
  site.generated = now.date + " " + now.time;
  site.timezone = ws.clock.timezone;
  site.decimal_separator = ws.decimal_separator();
  site.turns = ws.log() != nullptr ? ws.log()->TurnCount : 0;
  auto writer = std::make_unique<SiteWriter>(std::move(site), output);
  writer->WriteGlobal(SiteGlobalLists(ws));
  return writer;
}

const EventStore& EventsOf(const Workspace& ws) {
  static const EventStore no_events;
  return ws.log() != nullptr ? ws.log()->events() : no_events;
}

// The ratings of `model`, continued from the state kept in `state_file` and the state for the
// next run kept there. The new state goes to the file as it is made, compared with the old one
// on the way: written from the first byte that differs, else only touched (pruning goes by the
// time of the last use). Neither state is held whole beside the other.
ModelRatings RateAndKeep(const GamesModel& model, const EventStore& events,
                         const std::string& state_file, const RatingOptions& options) {
  std::string kept = ReadOwnFile(state_file).value_or("");
  ModelRatings ratings;
  size_t same = 0;  // bytes of the new state equal to the kept one's, while no byte differed
  bool differs = false;
  bool rated = false;
  std::exception_ptr failure;
  ReplaceFileStreamed(state_file, [&](const ByteSink& sink) {
    rated = true;
    bool written = true;
    auto put = [&](std::string_view piece) {
      if (!differs && std::string_view(kept).substr(same).starts_with(piece)) {
        same += piece.size();
        return;
      }
      if (!differs) written = sink(kept.data(), same);
      differs = true;
      written = written && sink(piece.data(), piece.size());
    };
    try {
      ratings = RateModel(model, events, kept, put, options);
    } catch (...) {
      failure = std::current_exception();
      return false;
    }
    if (!differs && same != kept.size()) written = sink(kept.data(), same);
    differs = differs || same != kept.size();
    return differs && written;  // an unchanged state gives up the new file
  });
  if (failure) std::rethrow_exception(failure);
  // No new file could be begun: the ratings are made all the same, and nothing is kept.
  if (!rated) return RateModel(model, events, kept, nullptr, options);
  if (!differs) utimensat(AT_FDCWD, state_file.c_str(), nullptr, 0);
  return ratings;
}

// The games model of `events`, continued from the one kept in `kept_file`, and the one to
// continue next time kept there: replaced when it changed, else only touched (pruning goes by
// the time of the last use). A file that cannot be read or written only costs the keeping.
GamesModel BuildAndKeepGames(const EventStore& events, const PeopleRules& rules,
                             const GamesScratch& scratch, const std::vector<std::string>& nobody,
                             const std::string& build, const std::string& kept_file,
                             KeptGamesOutcome& outcome) {
  const std::string kept = ReadOwnFile(kept_file).value_or("");
  std::string next;
  GamesModel model = ContinueGames(events, rules, scratch, nobody, build, kept, &next, &outcome);
  if (outcome.changed_kept) {
    ReplaceFileWhole(kept_file, next);
  } else {
    utimensat(AT_FDCWD, kept_file.c_str(), nullptr, 0);
  }
  return model;
}

// The games and people model's ratings and awards, and the site's pages and JSON made from
// them. Reads only the log's events and the workspace's settings, never the lists the player
// loop loads, so it runs beside that loop.
// `people_known` is called once the players' profiles are (SiteWriter::KnowPeople). What it
// has to tell goes into `notices`: the hooks write to the front end's stream, which the
// player loop writes to at the same time.
void WriteSiteModel(const Workspace& ws, const GamesModel& model, const std::string& folder,
                    SiteWriter& writer, RenderMemo* memo, const std::function<void()>& people_known,
                    std::vector<std::string>& notices) {
  const EventStore& events = EventsOf(ws);
  if (ws.games_outcome().use == KeptGamesUse::kRebuilt) {
    notices.push_back("the games of the whole history were built again: " + ws.games_outcome().why);
  }
  writer.KnowPeople(GameTexts(events), model);
  people_known();
  // The ratings continue from those the last export of this folder kept, so a run after a new
  // game rates that game only; the state is checked against the games, so the result is the
  // same as rating them all. Not kept in a cache folder others could write.
  std::string state_file;
  if (const std::string cache = ws.UsableCacheFolder(); !cache.empty()) {
    state_file = RatingsStatePath(cache, folder);
  }
  ModelRatings ratings = state_file.empty()
                             ? RateModel(model, events, "", nullptr, ws.rating_options)
                             : RateAndKeep(model, events, state_file, ws.rating_options);
  writer.WriteGames(GameTexts(events), model,
                    FiguresOf(std::move(ratings),
                              ComputeAwards(events, model, writer.friendly().weapon_groups())),
                    memo);
  for (const std::string& unnamed :
       SiteKeys(GameTexts(events), model, writer.friendly()).Unnamed()) {
    notices.push_back("no friendly name for " + unnamed + "; add it to " +
                      (std::filesystem::path(ws.template_folder) / "friendly-names.dat").string());
  }
}

// A chart as the render memo keeps it for a player left alone: everything but its x axis,
// which spans the whole log and is set anew each run. Lines of text: the title, the left axis
// maximum and the point count, then each point as x, the bits of y and blue.
std::string ChartText(const ChartState& chart) {
  std::string text = chart.title + "\n" + std::to_string(chart.ymax) + " " +
                     std::to_string(chart.points.size()) + "\n";
  for (const ChartPoint& p : chart.points) {
    text += std::to_string(p.x) + " " + std::to_string(std::bit_cast<uint64_t>(p.y)) +
            (p.blue ? " 1\n" : " 0\n");
  }
  return text;
}

// The chart of ChartText, or nothing when the text does not read whole.
std::optional<ChartState> ChartFromText(const std::string& text, int xmax) {
  std::istringstream in(text);
  ChartState chart;
  size_t count = 0;
  if (!std::getline(in, chart.title) || !(in >> chart.ymax >> count)) return std::nullopt;
  if (count > text.size()) return std::nullopt;
  chart.points.resize(count);
  for (ChartPoint& p : chart.points) {
    uint64_t bits = 0;
    int blue = 0;
    if (!(in >> p.x >> bits >> blue)) return std::nullopt;
    p.y = std::bit_cast<double>(bits);
    p.blue = blue != 0;
  }
  chart.xmax = xmax;
  return chart;
}

// What every player's files are made from besides his own lists: the options, the server
// name and build text in the titles and footers, the page templates and how the figures are
// drawn. std::nullopt when the image source cannot tell the latter (every player is drawn).
std::optional<StableHash> PlayerFilesContext(const Workspace& ws, ImageSource& images) {
  StableHash hash;
  hash.Number(kRenderFormatVersion).Text(ws.server_name()).Text(ws.build_text);
  hash.Text(ws.maker_address);
  hash.Number(static_cast<uint8_t>(ws.decimal_separator()));
  const FileOptions& o = ws.options();
  hash.Number(o.ignore_case ? 1 : 0).Number(o.ignore_colors ? 1 : 0);
  hash.Text(o.min_kills).Text(o.max_ratio);
  for (ReportImage image : {ReportImage::PlayerAccuracy, ReportImage::EnemyAccuracy}) {
    const std::optional<std::string> context = images.RenderContext(image);
    if (!context) return std::nullopt;
    hash.Text(*context);
  }
  for (const char* name : {"globhtml1.dat", "globhtml2.dat", "globhtml3.dat", "globhtml4.dat",
                           "globhtml5.dat", "globhtml6.dat"}) {
    std::ifstream in(std::filesystem::path(ws.template_folder) / name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    hash.Number(in.bad() || !in.eof() ? 1 : 0).Text(bytes);
  }
  return hash;
}

// The fingerprint of one player's files: the context, his name and file prefix, his header
// row (his players-list row) and his events.
uint64_t PlayerFilesFingerprint(StableHash hash, const std::string& name, const std::string& prefix,
                                const ReportList& header, uint64_t events) {
  hash.Text(name).Text(prefix).Number(events).Number(header.rows.size());
  for (const Row& row : header.rows) {
    hash.Text(row.caption).Number(row.cells.size());
    for (const std::string& cell : row.cells) hash.Text(cell);
  }
  return hash.value();
}

}  // namespace

std::vector<std::string> Workspace::DefaultPlayerNames() const {
  return FriendlyNames::Load(template_folder).default_names();
}

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
  // The games model needs only the events, and the site's thread waits for it before all
  // else: begun here, it is built while this thread writes the global pages. In an export
  // that finds most files unchanged that thread sets the run's length. Waited for last.
  // With a cache folder the model the last export of this folder kept is continued with the
  // games of the new lines alone (see KeptGames.h), and the model to continue next time kept.
  games_outcome_ = {};
  std::future<GamesModel> games_model = std::async(
      std::launch::async,
      [this, &folder, scratch = GamesScratchSpace(), nobody = DefaultPlayerNames()] {
        const std::string cache = UsableCacheFolder();
        GamesModel model =
            cache.empty()
                ? BuildGames(EventsOf(*this), people_rules, scratch, nobody)
                : BuildAndKeepGames(EventsOf(*this), people_rules, scratch, nobody, build_text,
                                    KeptGamesPath(cache, folder), games_outcome_);
        undated_left_out_ = DateGames(model);
        return model;
      });
  // Every file is written into the staging folder and moved into place at the end, so a
  // failure leaves the previous report whole. Without a staging folder (the folder cannot be
  // written) the files go straight to their places and the first one fails with its name.
  // The files are written on worker threads (the same workers encode the images), kept for
  // the whole run. Declared before the output, which waits for its writes as it goes. By
  // default one core is left to this thread, which draws every image: on two cores a second
  // worker only contended with it (1M-line export: 2.8-3.2 s wall with one worker against
  // 3.0-3.7 s with two).
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  WorkerPool workers(export_threads != 0 ? export_threads : std::max(1u, cores - 1));
  ReportOutput output(export_incremental);
  try {
    output.Stage(folder);
  } catch (const FileError&) {
  }
  output.WriteOn(workers);
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
  settings.maker_address = maker_address;
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
  if (const std::string cache = UsableCacheFolder(); !cache.empty()) {
    memo.emplace(RenderMemoPath(cache, folder), folder);
  }
  if (memo && !memo->enabled()) memo.reset();
  // The pictures are drawn here and encoded on the workers, a batch at a time; each is handed
  // to the output (and recorded in the memo) here once encoded, in the order drawn.
  PngBatch encoder(workers);
  auto image = [&](ReportImage which, const std::string& file) {
    std::optional<uint64_t> fingerprint;
    if (memo) fingerprint = ImageFingerprint(*this, which, images);
    if (fingerprint && incremental && memo->Reusable(file, *fingerprint)) {
      output.CountKept();
      return fingerprint;
    }
    encoder.Add(folder + file, images.Render(which), [&, file, fingerprint](std::string png) {
      if (fingerprint) memo->Written(file, *fingerprint, png);
      output.Write(folder + file, std::move(png));
    });
    return fingerprint;
  };
  // A player whose files are made from what made them last time is neither loaded nor
  // written in an incremental export: only his chart is drawn again (its x axis spans the
  // whole log) and his stats.json entry comes from the memo. Every export with a memo records
  // its players for the next one.
  std::optional<StableHash> player_context;
  std::optional<PlayerFingerprints> player_fingerprints;
  if (memo && log_) {
    player_context = PlayerFilesContext(*this, images);
    if (player_context) {
      // Continued from the last export's state: only the records after those it covered are
      // hashed (the state is checked against the store, so the fingerprints are the same).
      player_fingerprints.emplace(*log_, memo->kept_fingerprints());
      memo->KeepFingerprints(player_fingerprints->State());
    }
  }

  page(ListId::Players, "<br>PLAYERS - Global Statistics", "players.html", true, "", nullptr);
  page(ListId::Weapon, "<br>WEAPON - Global Statistics", "weapon.html", false, "", nullptr);
  page(ListId::Maps, "<br>MAPS - Global Statistics", "maps.html", false, "", nullptr);
  page(ListId::GType, "<br>GAME TYPE - Global Statistics", "gametype.html", false, "", nullptr);
  page(ListId::Accuracy, "<br>SHOT ACCURACY - Global Statistics", "accuracy.html", false,
       "./accuracy.png", nullptr);
  image(ReportImage::Accuracy, "accuracy.png");
  const std::unique_ptr<SiteWriter> site = StartSite(*this, folder, settings, output);
  // The site's model runs on a thread of its own while the players are exported here; with
  // the memo, its parts whose inputs did not change are not made again in an incremental
  // export (SiteWriter::WriteGames). A player's stats.json entry names his profile, known
  // once the model's people are, early in that thread, so the entries made before then wait,
  // in order. Declared after what it uses: leaving early waits for it.
  std::promise<void> people_promise;
  std::future<void> people = people_promise.get_future();
  std::vector<std::string> site_notices;  // told here once the site's thread is done
  std::future<void> site_model =
      std::async(std::launch::async,
                 [this, &games_model, &folder, &site, &memo, &people_promise, &site_notices] {
                   bool known = false;
                   try {
                     const GamesModel model = games_model.get();
                     WriteSiteModel(
                         *this, model, folder, *site, memo ? &*memo : nullptr,
                         [&] {
                           known = true;
                           people_promise.set_value();
                         },
                         site_notices);
                   } catch (...) {
                     // The entries waiting for the people stop with the model's own failure.
                     if (!known) people_promise.set_exception(std::current_exception());
                     throw;
                   }
                 });
  std::vector<std::pair<std::string, std::string>> waiting_entries;
  auto write_waiting_entries = [&] {
    people.get();  // the model's failure, if any, stops the export here
    for (const auto& [n, l] : waiting_entries) site->WritePlayer(n, std::string_view(l));
    waiting_entries = {};
  };
  auto site_entry = [&](const std::string& name, const std::string& lists) {
    if (people.valid() && people.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      write_waiting_entries();
    }
    if (people.valid()) {
      waiting_entries.emplace_back(name, lists);
    } else {
      site->WritePlayer(name, std::string_view(lists));
    }
  };

  const ReportList* header = &List(ListId::Player);
  // Leaves the player's pages and figures as they are when the memo's record of him is
  // still true; draws his chart on this run's axis and gives the site his kept lists.
  auto leave_player = [&](const std::string& name, const std::string& p, uint64_t fingerprint) {
    std::string lists;
    const RenderMemo::PlayerRecord* record = memo->ReusablePlayer(name, fingerprint, lists);
    if (record == nullptr) return false;
    std::optional<ChartState> chart =
        ChartFromText(record->chart, log_ != nullptr ? log_->TurnCount : 0);
    if (!chart) return false;
    chart_ = std::move(*chart);
    image(ReportImage::RatioChart, p + "ratiochart.png");
    site_entry(name, lists);
    for (size_t k = 0; k < record->pages.size() + record->images.size(); ++k) {
      output.CountKept();
    }
    return true;
  };
  // "1 of 10" ... "10 of 10": the total row is neither counted nor exported.
  const std::string of_players = " of " + std::to_string(names.size());
  size_t exported = 0;
  for (size_t i = 0; i < players.rows.size(); ++i) {
    SelectPlayerRow(static_cast<int>(i));
    const std::string name = players.rows[i].caption;
    if (name == kTotalRowCaption) continue;

    auto progressed = [&] {
      SetStatus(kPanelProgress, std::to_string(++exported) + of_players);
      if (hooks.exporting) hooks.exporting(exported, names.size());
    };
    const std::string p = prefix_of(name);
    std::optional<uint64_t> fingerprint;
    if (player_fingerprints) {
      fingerprint =
          PlayerFilesFingerprint(*player_context, name, p, *header, player_fingerprints->Of(name));
    }
    if (fingerprint && incremental && leave_player(name, p, *fingerprint)) {
      progressed();
      continue;
    }
    // As a double click: the player page, the player loaded unless he already is, the time.
    const auto start = std::chrono::steady_clock::now();
    SetPage(MainPage::SelectedPlayer);
    // Each load visits only the player's own events (the log's player index), so the
    // export never holds more than one player's event lists.
    if (name != loaded_name_) ShowSelectedPlayer(name);
    SetStatus(kPanelElapsed, ElapsedSince(start));
    progressed();

    const std::string n = EscapeHtml(UpperCopy(name));
    RenderMemo::PlayerRecord record;
    page(ListId::PlayerWeapon, "<br>WEAPON - Statistics of " + n, p + "weapon.html", false, "",
         header);
    page(ListId::PlayerGlobAccuracy, "<br>OVERALL ACCURACY - Statistics of " + n,
         p + "accuracy.html", false, "./" + p + "accuracy.png", header);
    const std::optional<uint64_t> accuracy = image(ReportImage::PlayerAccuracy, p + "accuracy.png");
    page(ListId::PlayerGlobEnemyAccuracy, "<br>OPPONENTS OVERALL ACCURACY - Statistics of " + n,
         p + "enemyaccuracy.html", false, "./" + p + "enemyaccuracy.png", header);
    const std::optional<uint64_t> enemy =
        image(ReportImage::EnemyAccuracy, p + "enemyaccuracy.png");
    page(ListId::PlayerMaps, "<br>MAPS - Statistics of " + n, p + "maps.html", false, "", header);
    page(ListId::PlayerGameType, "<br>GAME TYPE - Statistics of " + n, p + "gametype.html", false,
         "", header);
    page(ListId::PlayerVictims, "<br>OPPONENTS - Statistics of " + n, p + "opponents.html", false,
         "", header);
    page(ListId::PlayerTurnsRatio, "<br>RATIO CHART - Statistics of " + n, p + "ratiochart.html",
         false, "./" + p + "ratiochart.png", header);
    image(ReportImage::RatioChart, p + "ratiochart.png");
    std::string lists = site->PlayerListsText(SitePlayerLists(*this));
    site_entry(name, lists);
    if (fingerprint && accuracy && enemy) {
      record.fingerprint = *fingerprint;
      record.images = {{p + "accuracy.png", *accuracy}, {p + "enemyaccuracy.png", *enemy}};
      record.chart = ChartText(chart_);
      record.site_lists = std::move(lists);
      for (std::string_view base : kPlayerFileBases) {
        if (base.ends_with(".html")) record.pages.push_back(p + std::string(base));
      }
      memo->WrittenPlayer(name, std::move(record));
    }
  }
  // The window shows the last player as a full export leaves him, loaded.
  if (export_loads_last_player && !names.empty() && names.back() != loaded_name_) {
    SetPage(MainPage::SelectedPlayer);
    ShowSelectedPlayer(names.back());
  }
  site_model.get();  // its failure, if any, stops the export here
  if (hooks.notice) {
    for (const std::string& notice : site_notices) hooks.notice(notice);
  }
  if (people.valid()) write_waiting_entries();
  encoder.Finish();
  site->Finish();
  output.Publish();
  // Only once the new pages are in place: a run that fails before leaves the old site whole.
  site->RemoveStalePages();
  export_counts_ = output.counts();
  if (memo) memo->Save();
  SetPage(remembered_page);
  // Where the report went, in the panel of the log's path.
  std::error_code ec;
  const std::filesystem::path written = std::filesystem::absolute(folder, ec);
  SetStatus(kPanelFile, "Report written to " + (ec ? folder : written.lexically_normal().string()));
}

}  // namespace barvik
