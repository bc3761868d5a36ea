// Workspace: the whole state of the main window as plain data, and every window handler as an
// operation on it. The Qt window renders this state and forwards user events here; the
// command-line tool, batch mode and the tests drive the same operations without a display.
//
// The Workspace owns the loaded LogFile and the server name from an analysis run until the
// next run replaces them. Report lists are the results store: every page, figure and HTML
// page reads them as they stand.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Figures.h"
#include "core/LineError.h"
#include "core/ReportList.h"
#include "log/LogFile.h"
#include "report/ReportFolder.h"
#include "stats/Clock.h"
#include "stats/GameDates.h"
#include "stats/Games.h"
#include "stats/KeptGames.h"
#include "stats/RatingHistory.h"

namespace barvik {

class ImageSource;

// Pages of PageControl, in tab order.
enum class MainPage { File = 0, Players, Weapon, Maps, GameType, Accuracy, SelectedPlayer };
// Pages of PageControlPlayer, in tab order.
enum class PlayerPage {
  WeaponUsage = 0,
  OverallAccuracy,
  EnemyAccuracy,
  Maps,
  GameType,
  Opponents,
  RatioChart
};

// The window's report lists.
enum class ListId {
  Players = 0,              // ListViewPlayers
  Weapon,                   // ListViewWeapon
  Maps,                     // ListViewMaps
  GType,                    // ListViewGType
  Accuracy,                 // ListViewAccuracy
  Player,                   // ListViewPlayer (the one-row header, never sorted)
  PlayerWeapon,             // ListViewPlayerWeapon
  WeaponAccuracy,           // ListViewWeaponAccuracy
  PlayerGlobAccuracy,       // ListViewPlayerGlobAccuracy
  PlayerGlobEnemyAccuracy,  // ListViewPlayerGlobEnemyAccuracy
  PlayerMaps,               // ListViewPlayerMaps
  PlayerGameType,           // ListViewPlayerGameType
  PlayerVictims,            // ListViewPlayerVictims
  PlayerTurnsRatio,         // ListViewPlayerTurnsRatio
  kCount
};

// Status bar panels.
enum StatusPanel {
  kPanelElapsed = 0,
  kPanelSpacer = 1,
  kPanelProgress = 2,
  kPanelActivity = 3,
  kPanelFile = 4,
  kPanelCount = 5
};

// The ratio chart (Chart1) as data.
struct ChartPoint {
  int x = 0;
  double y = 0;
  bool blue = false;  // blue when y >= 1.0, red below
};

struct ChartState {
  std::string title = "Ratio Chart";
  int xmax = 25;   // bottom axis maximum
  int ymax = 739;  // left axis maximum
  std::vector<ChartPoint> points;
};

// The controls of the "File" page, read when an action starts.
struct FileOptions {
  bool ignore_colors = true;  // CheckBoxNameIgnoreColor
  bool ignore_case = true;    // CheckBoxNameIgnoreCase
  std::string min_kills = "10";
  std::string max_ratio = "5";
  std::string dest_dir = "./html/";                                 // EditDestDir
  std::string file = "Click \"Open...\" button to open LOG file.";  // EditFile
};

inline constexpr std::string_view kSelectPlayerFirst = "Select player first";

// "FILE: no log lines recognised": what the programs say of an input of which not one line is
// of a known kind (LogFile::unrecognised_files). The analysis of it still succeeds.
std::string UnrecognisedLogText(const std::string& file);

class Workspace {
 public:
  // What the window (or a headless front end) does for the engine while it works.
  struct Hooks {
    std::function<void()> status_changed;  // a status text changed: repaint the bar now
    std::function<void(bool)> busy;        // hourglass cursor on (true) or off
    LineErrorReporter line_error;          // a scan failed on one line
    std::function<void()> lists_changed;   // rows of the lists were replaced or re-sorted
    // Reading the logs, once it has taken a second: bytes read of all inputs so far, of
    // their total size on disk; called once per percent.
    std::function<void(uint64_t done, uint64_t total)> reading;
    // Exporting: `done` players of `total` written (as the status text "done of total").
    std::function<void(uint64_t done, uint64_t total)> exporting;
    // Waiting for another run to let go of the report folder, called every few hundredths
    // of a second; may throw to give up waiting.
    std::function<void()> waiting;
    // Something for the admin to act on, found by an export and said once per export (never
    // a dialog): a map or weapon of the logs without a friendly name.
    std::function<void(const std::string&)> notice;
  };

  explicit Workspace(char decimal_separator = '.');
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;
  ~Workspace();

  // --- Analysis run and global lists -----------------------------------------------------
  // Loads `file_name` and fills and sorts the five global lists. Returns false, changing
  // nothing, when no such file exists. Throws FileError when it cannot be read. A file of
  // which no line was recognised is named in the file panel of the status bar instead of
  // the path (see UnrecognisedLogText).
  bool RunAnalysis(const std::string& file_name);
  // The same for several files read in order as one log (each ending its last line); false
  // when one of them does not exist.
  bool RunAnalysis(const std::vector<std::string>& files);

  // A click on a column header of a list (the column-click handler of that list).
  void ColumnClick(ListId list, int column);

  // --- Player selection and detail ---------------------------------------------------------
  // Selects a row of ListViewPlayers (-1: none) and runs ListViewPlayersSelectItem.
  void SelectPlayerRow(int row);
  // The header list mirrors the selection; the weapon figure is refilled with "Kills".
  void ListViewPlayersSelectItem();

  // Switches PageControl from code: no page-change handling runs.
  void SetPage(MainPage page) { page_ = page; }
  void SetPlayerPage(PlayerPage page) { player_page_ = page; }
  // The user turned PageControl to `page`: switches and runs PageControlChange.
  void TurnPage(MainPage page);
  // Loads the selected player when the player page is active and he is not yet loaded.
  void PageControlChange();
  // Shows the player page, loads the selected player if needed, writes the elapsed time.
  void ListViewPlayersDblClick();
  // Rescans the log for one player and fills every list and the chart of the player page.
  void ShowSelectedPlayer(const std::string& name);

  // Selects a row of ListViewPlayerWeapon (-1: none) and runs the selection handler.
  void SelectPlayerWeaponRow(int row);
  void ListViewPlayerWeaponSelectItem();

  // --- Figures -------------------------------------------------------------------------------
  // A click on radio button `choice` (index into FigureChoices) of a figure: refills it.
  void FigureRadioClick(FigureId figure, int choice);

  // --- Report export ---------------------------------------------------------------------
  // "Export stats to HTML": writes the report into options().dest_dir; `images` renders the
  // figures and the chart of the current state. Throws FileError on a file failure (the
  // folder then holds the previous report unchanged) and ReportFolderBusy when another run
  // holds the folder for longer than export_wait_seconds.
  void ButtonHTMLClick(ImageSource& images);

  // --- State -------------------------------------------------------------------------------
  ReportList& List(ListId id) { return lists_[static_cast<size_t>(id)]; }
  const ReportList& List(ListId id) const { return lists_[static_cast<size_t>(id)]; }

  FileOptions& options() { return options_; }
  const FileOptions& options() const { return options_; }

  MainPage page() const { return page_; }
  PlayerPage player_page() const { return player_page_; }
  const std::string& status(int panel) const { return status_[static_cast<size_t>(panel)]; }
  const std::string& LabelLoadedName() const { return loaded_name_; }
  bool html_enabled() const { return html_enabled_; }
  const FigureState& figure(FigureId id) const { return figures_[static_cast<size_t>(id)]; }
  const ChartState& chart() const { return chart_; }
  const LogFile* log() const { return log_.get(); }
  const std::string& server_name() const { return server_name_; }
  // The files the last finished export wrote and left as they were.
  const WriteCounts& export_counts() const { return export_counts_; }
  // How the last finished export came by its games model: continued from the one the export
  // before kept in the cache folder, or built from the whole history (and why).
  const KeptGamesOutcome& games_outcome() const { return games_outcome_; }
  char decimal_separator() const { return decimal_separator_; }

  // Where the report templates are read from (the program's folder).
  std::string template_folder = ".";
  // Where the program keeps its caches between runs: the events of the logs read (see
  // log/CacheFolder.h) and an incremental export's render memo; empty: none. The programs set
  // the user's cache folder; tests leave it empty.
  std::string cache_folder;
  // The cache folder when it is set and this user's alone (made if missing), else empty: what
  // is kept there steers later runs, so a folder others could write is not used.
  std::string UsableCacheFolder() const;
  // Where the games' builder sets finished games aside: the usable cache folder, else the
  // system's temporary folder.
  GamesScratch GamesScratchSpace() const { return {UsableCacheFolder()}; }
  // The player names that stand for nobody ("Unknown Soldier"): the default-name lines of the
  // friendly-names table of the template folder, for the games' builder.
  std::vector<std::string> DefaultPlayerNames() const;
  // The build text of the page footers and the caption.
  std::string build_text = "N/A";
  // The maker's web address the page footers link to and the window shows; empty: none.
  std::string maker_address;
  // How long an export waits for another run to let go of the report folder.
  double export_wait_seconds = 0;
  // An incremental export: a file whose bytes would change at most in their time stamp is
  // left as it is (see ReportOutput), and an image the render memo knows is not drawn.
  bool export_incremental = false;
  // The worker threads an export encodes images and writes files on (0: one per core but
  // the one the export's own thread draws on, at least one). The files and their bytes do
  // not depend on it.
  unsigned export_threads = 0;
  // After an export the player page shows the last player, loaded, as a full export leaves
  // it. A caller that shows nothing afterwards (the command line) turns it off, so that an
  // incremental export that left the last player's files alone does not load him for nobody.
  bool export_loads_last_player = true;
  // An admin's corrections of who is who (--people FILE) for the games and people the site
  // and the games, people and person commands show.
  PeopleRules people_rules;
  // How the skill ratings of the site and of the games, people and ranking commands are made
  // (--inactive-after GAMES).
  RatingOptions rating_options;
  // How the server's clock is read (--timezone, --clock-cvar): the games' dates and the
  // zone the site shows them in.
  ClockSettings clock;
  // The span of the history the games model keeps (--since, --until): UTC bounds, since
  // inclusive, until exclusive; kNoDate for none.
  int64_t since = kNoDate;
  int64_t until = kNoDate;

  // The known times of the last run's lines: each log file's last line at its modification
  // time (a remote log's as its server reported it) and the observed reading times the event
  // cache kept (docs/dates.md).
  std::vector<TimeAnchor> TimeAnchors() const;
  // Dates the games of `model` (built from the last run's log) and keeps those of the span
  // (since, until); returns the undated games that the span left out.
  size_t DateGames(GamesModel& model) const;
  // The undated games the last export's span left out.
  size_t undated_left_out() const { return undated_left_out_; }

  Hooks hooks;

 private:
  void ShowStatus(std::string text);  // status panel 3, repainted at once
  void SetStatus(int panel, std::string text);
  void Busy(bool on);
  void ListsChanged();
  void FillFigure(FigureId id, int choice);
  struct FigureTitleText {
    std::string text;
    std::vector<TextSpan> names;  // the player's and the weapon's names within `text`
  };
  FigureTitleText FigureTitle(FigureId id) const;
  std::string ElapsedSince(std::chrono::steady_clock::time_point start) const;

  // Fills the player lists, the figures and the chart for `name` from a finished scan. Shared
  // by ShowSelectedPlayer and the export, which computes every player in one pass.
  friend class PlayerDetailFiller;

  std::array<ReportList, static_cast<size_t>(ListId::kCount)> lists_;
  FileOptions options_;
  MainPage page_ = MainPage::File;
  PlayerPage player_page_ = PlayerPage::WeaponUsage;
  std::array<std::string, kPanelCount> status_;
  WriteCounts export_counts_;
  KeptGamesOutcome games_outcome_;
  std::string loaded_name_;  // LabelLoadedName: whose detail the player page shows
  bool html_enabled_ = false;
  std::array<FigureState, 4> figures_;
  ChartState chart_;
  std::unique_ptr<LogFile> log_;  // the last run's log
  std::string server_name_;       // HostName of the last run's log
  char decimal_separator_;
  std::atomic<size_t> undated_left_out_{0};  // by the last export's site
};

}  // namespace barvik
