#include "app/Workspace.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "app/BusyGuard.h"
#include "core/AtomicReplace.h"
#include "core/NumberFormat.h"
#include "core/Text1252.h"
#include "log/CacheFolder.h"
#include "log/NameList.h"
#include "remote/Spool.h"
#include "stats/Captions.h"
#include "stats/Statistics.h"

namespace barvik {
namespace {

std::vector<Column> Cols(std::initializer_list<std::pair<const char*, int>> layout) {
  std::vector<Column> columns;
  for (const auto& [caption, width] : layout) columns.push_back({caption, width, Align::Right});
  columns.front().align = Align::Left;
  return columns;
}

constexpr int kD = kDefaultWidth;

std::array<ReportList, static_cast<size_t>(ListId::kCount)> MakeLists() {
  ReportList header = MakePlayersList();
  header.name = "ListViewPlayer";
  for (Column& c : header.columns) c.width = kAutoWidth;
  const std::initializer_list<std::pair<const char*, int>> body_location = {
      {caption::kBodyLocation, 200},  {caption::kKills, 55},           {caption::kKillsPercent, 55},
      {caption::kIDamages, 55},       {caption::kIDamagesPercent, 55}, {caption::kSuicides, 55},
      {caption::kSuicidesPercent, 55}};
  auto player_table = [](const char* first) {
    return Cols({{first, 200},
                 {caption::kKills, 55},
                 {caption::kKillsPercent, 55},
                 {caption::kDeads, 55},
                 {caption::kDeadsPercent, 55},
                 {caption::kRatio, 55},
                 {caption::kSuicides, 55},
                 {caption::kSuicidesPercent, kD},
                 {caption::kIDamages, 55},
                 {caption::kDamages, 55},
                 {caption::kBelTicks, 55}});
  };
  return {
      MakePlayersList(),
      MakeWeaponList(),
      MakeMapsList(),
      MakeGameTypeList(),
      MakeAccuracyList(),
      std::move(header),
      ReportList("ListViewPlayerWeapon", Cols({{caption::kWeapon, 145},
                                               {caption::kKills, 55},
                                               {caption::kKillsPercent, 55},
                                               {caption::kDeads, 55},
                                               {caption::kDeadsPercent, 55},
                                               {caption::kRatio, 55},
                                               {caption::kSuicides, 55},
                                               {caption::kIDamages, 55},
                                               {caption::kDamages, 55},
                                               {caption::kSelfDamagesWeapon, 55},
                                               {caption::kPickUp, 55}})),
      ReportList("ListViewWeaponAccuracy", Cols(body_location)),
      ReportList("ListViewPlayerGlobAccuracy", Cols(body_location)),
      ReportList("ListViewPlayerGlobEnemyAccuracy", Cols({{caption::kBodyLocation, 200},
                                                          {caption::kDeads, 55},
                                                          {caption::kDeadsPercent, 55},
                                                          {caption::kDamages, 55},
                                                          {caption::kDamagesPercent, 55}})),
      ReportList("ListViewPlayerMaps", player_table(caption::kMap)),
      ReportList("ListViewPlayerGameType", player_table(caption::kGameType)),
      ReportList("ListViewPlayerVictims", Cols({{caption::kPlayer, 200},
                                                {caption::kKills, 55},
                                                {caption::kKillsPercent, 55},
                                                {caption::kDeads, kD},
                                                {caption::kDeadsPercent, kD},
                                                {caption::kRatio, kD},
                                                {caption::kIDamages, 55},
                                                {caption::kDamages, 55}})),
      ReportList("ListViewPlayerTurnsRatio",
                 Cols({{caption::kTurn, 60},
                       {caption::kKills, 55},
                       {caption::kDeads, kD},
                       {caption::kRatio, kD}}),
                 /*turn_order=*/true),
  };
}

bool FileExists(const std::string& name) {
  std::error_code ec;
  auto status = std::filesystem::status(name, ec);
  return !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

}  // namespace

std::string UnrecognisedLogText(const std::string& file) {
  return file + ": no log lines recognised";
}

Workspace::Workspace(char decimal_separator)
    : lists_(MakeLists()), decimal_separator_(decimal_separator) {
  // First state: every figure on its first choice, the header without a player.
  FillFigure(FigureId::Overall, 0);
  FillFigure(FigureId::GlobAccuracy, 0);
  FillFigure(FigureId::WeaponAccuracy, 0);
  FillFigure(FigureId::GlobEnemyAccuracy, 0);
  ListViewPlayersSelectItem();
}

Workspace::~Workspace() = default;

void Workspace::SetStatus(int panel, std::string text) {
  status_[static_cast<size_t>(panel)] = std::move(text);
  if (hooks.status_changed) hooks.status_changed();
}

void Workspace::ShowStatus(std::string text) { SetStatus(kPanelActivity, std::move(text)); }

void Workspace::Busy(bool on) {
  if (hooks.busy) hooks.busy(on);
}

void Workspace::ListsChanged() {
  if (hooks.lists_changed) hooks.lists_changed();
}

std::string Workspace::ElapsedSince(std::chrono::steady_clock::time_point start) const {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  start)
                .count();
  return FormatSeconds(us, decimal_separator_);
}

std::string Workspace::UsableCacheFolder() const {
  if (!cache_folder.empty() && PrepareCacheFolder(cache_folder).empty()) return cache_folder;
  return {};
}

std::vector<TimeAnchor> Workspace::TimeAnchors() const {
  std::vector<TimeAnchor> anchors;
  if (!log_) return anchors;
  for (const LogFile::FileEnd& end : log_->file_ends()) {
    if (end.lines == 0) continue;
    const int64_t remote = remote::SpoolRemoteMtime(end.path);
    anchors.push_back({end.lines, remote >= 0 ? remote : end.mtime, TimeQuality::Estimated});
  }
  for (const ReadStretch& s : log_->stretches()) {
    anchors.push_back({s.lines, s.at, s.observed ? TimeQuality::Observed : TimeQuality::Estimated});
  }
  return anchors;
}

size_t Workspace::DateGames(GamesModel& model) const {
  if (!log_) return 0;
  ::barvik::DateGames(model, log_->events(), TimeAnchors(), clock, Zone::Of(clock));
  if (since == kNoDate && until == kNoDate) return 0;
  return KeepGamesBetween(model, since, until);
}

bool Workspace::RunAnalysis(const std::string& file_name) {
  return RunAnalysis(std::vector<std::string>{file_name});
}

bool Workspace::RunAnalysis(const std::vector<std::string>& files) {
  if (files.empty()) return false;
  for (const std::string& f : files) {
    if (!FileExists(f)) return false;
  }
  const auto start = std::chrono::steady_clock::now();
  html_enabled_ = true;
  server_name_.clear();
  loaded_name_.clear();
  ShowStatus("");
  options_.file = files.front();
  for (size_t i = 1; i < files.size(); ++i) options_.file += " " + files[i];
  SetStatus(kPanelFile, options_.file);

  for (ReportList& list : lists_) list.Clear();
  for (ListId id :
       {ListId::Players, ListId::Maps, ListId::Weapon, ListId::Accuracy, ListId::GType}) {
    List(id).ResetSort();
  }
  page_ = MainPage::Players;
  player_page_ = PlayerPage::WeaponUsage;
  FillFigure(FigureId::GlobAccuracy, 0);
  FillFigure(FigureId::WeaponAccuracy, 0);
  // The enemy figure is emptied too, so that it never shows the previous log's player.
  FillFigure(FigureId::GlobEnemyAccuracy, 0);
  ListViewPlayersSelectItem();
  ListsChanged();
  SetStatus(kPanelFile, options_.file);

  BusyGuard busy(hooks.busy);
  log_.reset();

  ShowStatus("Loading LOG File");
  {
    // Reading that takes more than a second reports its progress, once per percent.
    int shown_percent = -1;
    auto progress = [&](uint64_t done, uint64_t total) {
      if (!hooks.reading) return;
      if (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) return;
      const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
      if (percent == shown_percent) return;
      shown_percent = percent;
      hooks.reading(done, total);
    };
    log_ = std::make_unique<LogFile>(files, progress, cache_folder);
  }
  LogFile& log = *log_;

  ShowStatus("Reading Player Names");
  log.IgnoreCase = options_.ignore_case;
  log.IgnoreColors = options_.ignore_colors;
  {
    // The pass continues from the state the last run over these logs kept in the cache folder,
    // which it checks against the events: only the records after those it covered are walked.
    const std::string cache = UsableCacheFolder();
    const std::string state_file =
        cache.empty() ? std::string() : StatisticsStatePath(cache, files);
    const std::string kept =
        state_file.empty() ? std::string() : ReadOwnFile(state_file).value_or("");
    std::string next;
    ShowStatus("Reading Players Statistics");
    LogStatistics statistics =
        CountLogStatistics(log, kept, state_file.empty() ? nullptr : &next, hooks.line_error);
    if (!state_file.empty()) {
      if (next != kept) {
        ReplaceFileWhole(state_file, next);
      } else {
        utimensat(AT_FDCWD, state_file.c_str(), nullptr, 0);  // used: not to be pruned
      }
    }
    const NameList& names = statistics.names;
    PlayerCounters& counters = statistics.counters;
    EventLists& events = statistics.events;
    AddTotals(counters);
    FillPlayersTable(List(ListId::Players), names, counters, decimal_separator_);

    ShowStatus("Reading Used Maps List");
    ShowStatus("Reading Maps Statistics");
    FillGlobalTable(List(ListId::Maps), events.maps, *events.pool, kMapsLayout, decimal_separator_);
    ShowStatus("Reading Used Weapons List");
    ShowStatus("Reading Weapon Statistics");
    FillGlobalTable(List(ListId::Weapon), events.weapons, *events.pool, kWeaponLayout,
                    decimal_separator_);
    ShowStatus("Reading GameType List");
    ShowStatus("Reading GType Statistics");
    FillGlobalTable(List(ListId::GType), events.game_types, *events.pool, kGameTypeLayout,
                    decimal_separator_);
    ShowStatus("Reading Body Location List");
    ShowStatus("Reading Body Location Statistics");
    FillGlobalTable(List(ListId::Accuracy), events.locations, *events.pool, kAccuracyLayout,
                    decimal_separator_);

    FillFigure(FigureId::Overall, 0);
    ShowStatus("Flushing...");
  }
  page_ = MainPage::Players;
  player_page_ = PlayerPage::WeaponUsage;
  ShowStatus("Done");

  for (ListId id :
       {ListId::Players, ListId::Maps, ListId::Weapon, ListId::GType, ListId::Accuracy}) {
    List(id).ColumnClick(1, decimal_separator_);
  }
  server_name_ = log.HostName;
  ListsChanged();
  // A file of which no line was recognised is said where the log's path stands.
  if (!log.unrecognised_files().empty()) {
    std::string notice;
    for (const std::string& f : log.unrecognised_files()) {
      notice += (notice.empty() ? "" : "; ") + UnrecognisedLogText(f);
    }
    SetStatus(kPanelFile, std::move(notice));
  }
  SetStatus(kPanelElapsed, ElapsedSince(start));
  return true;
}

void Workspace::ColumnClick(ListId list, int column) {
  if (list == ListId::Player) return;  // the header list is never sorted
  ReportList& l = List(list);
  if (column < 0 || column >= static_cast<int>(l.columns.size())) return;
  l.ColumnClick(column, decimal_separator_);
  ListsChanged();
}

void Workspace::SelectPlayerRow(int row) {
  ReportList& players = List(ListId::Players);
  players.selected = (row >= 0 && row < static_cast<int>(players.rows.size())) ? row : -1;
  ListViewPlayersSelectItem();
}

void Workspace::ListViewPlayersSelectItem() {
  // The new header row exists (still empty) while the weapon figure is refilled, as the
  // window's handler does it; its radio button goes back to "Kills" too.
  ReportList& header = List(ListId::Player);
  header.Clear();
  header.rows.emplace_back();
  FillFigure(FigureId::WeaponAccuracy, 0);
  Row& row = header.rows.back();
  const Row* selected = List(ListId::Players).SelectedRow();
  if (selected != nullptr && selected->caption != kTotalRowCaption) {
    row = *selected;
  } else {
    row.caption = std::string(kSelectPlayerFirst);
  }
  ListsChanged();
}

void Workspace::TurnPage(MainPage page) {
  page_ = page;
  PageControlChange();
}

void Workspace::PageControlChange() {
  if (page_ != MainPage::SelectedPlayer) return;
  const Row* selected = List(ListId::Players).SelectedRow();
  if (selected == nullptr || selected->caption == kTotalRowCaption) return;
  if (selected->caption == loaded_name_) return;
  ShowSelectedPlayer(selected->caption);
}

void Workspace::ListViewPlayersDblClick() {
  const auto start = std::chrono::steady_clock::now();
  TurnPage(MainPage::SelectedPlayer);
  SetStatus(kPanelElapsed, ElapsedSince(start));
}

Workspace::FigureTitleText Workspace::FigureTitle(FigureId id) const {
  const ReportList& header = List(ListId::Player);
  FigureTitleText title;
  auto add_words = [&](std::string_view words) { title.text += words; };
  auto add_name = [&](const std::string& caption) {
    title.names.push_back({title.text.size(), caption.size()});
    title.text += UpperCopy(caption);
  };
  switch (id) {
    case FigureId::Overall:
      add_words("All players shot accuracy");
      break;
    case FigureId::GlobAccuracy:
      if (header.rows.empty()) break;
      add_words("Overall shot accuracy of player ");
      add_name(header.rows[0].caption);
      break;
    case FigureId::GlobEnemyAccuracy:
      if (header.rows.empty()) break;
      add_words("Overall enemy shot accuracy against a player ");
      add_name(header.rows[0].caption);
      break;
    case FigureId::WeaponAccuracy: {
      const Row* weapon = List(ListId::PlayerWeapon).SelectedRow();
      if (weapon == nullptr || header.rows.empty()) break;
      add_words("Shot accuracy of player ");
      add_name(header.rows[0].caption);
      add_words(" for weapon ");
      add_name(weapon->caption);
      break;
    }
  }
  return title;
}

void Workspace::FillFigure(FigureId id, int choice) {
  const auto& choices = FigureChoices(id);
  if (choice < 0 || choice >= static_cast<int>(choices.size())) return;
  static constexpr ListId kSource[] = {ListId::Accuracy, ListId::WeaponAccuracy,
                                       ListId::PlayerGlobAccuracy, ListId::PlayerGlobEnemyAccuracy};
  FigureState& figure = figures_[static_cast<size_t>(id)];
  const FigureChoice& c = choices[static_cast<size_t>(choice)];
  figure.choice = choice;
  FigureTitleText title = FigureTitle(id);
  FillBodyLocationFigure(figure, List(kSource[static_cast<size_t>(id)]), c.value_column,
                         c.percent_column, c.colour, std::move(title.text), decimal_separator_);
  figure.title_names = std::move(title.names);
}

void Workspace::FigureRadioClick(FigureId figure, int choice) { FillFigure(figure, choice); }

}  // namespace barvik
