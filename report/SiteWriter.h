// The modern face of the report: a small UTF-8 web site in the "site" folder of the report
// folder. Its pages are made from the games and people model (see SitePages.h for the list);
// beside them the model's JSON ("site/games.json", "site/people.json", see GamesJson.h, with
// the ratings and awards, and "site/ranking.json", see RankingJson.h) and
// the per-name report lists the classic pages are made from ("site/stats.json", see
// JsonWriter.h), each player there pointing at the profile of his person.
//
//   site/site.css, site/site.js   copied from the template folder
//
// Pages are complete without their script; every log text is escaped; no page refers to
// anything outside the report folder.
//
// Use: construct, WriteGlobal once, WriteGames once, WritePlayer for every player after his
// lists are loaded, then Finish, which ends stats.json. Every file goes through
// the ReportOutput given; a failure throws FileError("Cannot create file <path>") and leaves that
// file as it was.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/ReportList.h"
#include "core/StringHash.h"
#include "report/FriendlyNames.h"
#include "report/JsonWriter.h"
#include "report/SitePages.h"
#include "stats/Games.h"

namespace barvik {

class RenderMemo;
class ReportFileStream;
class ReportOutput;

// The folder of the site inside the report folder.
inline constexpr std::string_view kSiteFolder = "site/";

struct SiteSettings {
  std::string report_folder;  // the export folder as a path prefix ending in "/" (or empty)
  std::string template_folder = ".";
  std::string server_name;  // HostName, colour codes included
  std::string build_text = "N/A";
  std::string generated;  // date and time of the export, shown in the footers
  std::string timezone;   // the zone the games' dates show in (empty: the machine's)
  char decimal_separator = '.';
  int turns = 0;  // game-initialisation lines of the log
};

struct GlobalLists {
  const ReportList* players = nullptr;
  const ReportList* weapons = nullptr;
  const ReportList* maps = nullptr;
  const ReportList* game_types = nullptr;
  const ReportList* locations = nullptr;
};

struct PlayerLists {
  const ReportList* header = nullptr;  // the one-row player header
  const ReportList* weapons = nullptr;
  const ReportList* given = nullptr;  // body locations he hit
  const ReportList* taken = nullptr;  // body locations he was hit at
  const ReportList* maps = nullptr;
  const ReportList* game_types = nullptr;
  const ReportList* opponents = nullptr;
  const ReportList* turns = nullptr;
};

class SiteWriter {
 public:
  // `output` must outlive the writer.
  SiteWriter(SiteSettings settings, ReportOutput& output);
  SiteWriter(const SiteWriter&) = delete;
  SiteWriter& operator=(const SiteWriter&) = delete;
  // Without Finish (a failure), stats.json is left unwritten.
  ~SiteWriter();

  // The style sheet and the script; the global lists for stats.json.
  void WriteGlobal(const GlobalLists& lists);
  // Every page of the site, games.json, people.json and ranking.json, from `model` and the
  // ratings and awards computed from it. With a `memo`, each profile and game page and each
  // game's entry of games.json is recorded there with the fingerprint of what it is made from;
  // an output that keeps identical files (an incremental export) then leaves a page unmade
  // whose record still holds (RenderMemo::KeepPage) and takes a game's entry from the memo.
  void WriteGames(const GameTexts& texts, const GamesModel& model, const ModelFigures& figures,
                  RenderMemo* memo = nullptr);
  // The profile of every shown person's names, for the players' entries of stats.json: known
  // from the model alone, before its pages are made. WriteGames calls it unless it was.
  void KnowPeople(const GameTexts& texts, const GamesModel& model);
  // The weapon groups of the friendly-names table, for the awards.
  const FriendlyNames& friendly() const { return friendly_; }
  // The lists of `name` as they stand now, written into stats.json.
  void WritePlayer(const std::string& name, const PlayerLists& lists);
  // The same in two steps: the lists as stats.json holds them, and a player's entry from that
  // text (kept by an incremental export for a player whose lists did not change).
  std::string PlayerListsText(const PlayerLists& lists) const;
  void WritePlayer(const std::string& name, std::string_view lists_text);
  // stats.json.
  void Finish();
  // Removes the profile and game pages ("*.html" in site/people and site/games) that the last
  // WriteGames neither wrote nor kept: those of people now hidden or merged into others, and
  // of games no longer in the log. Without it a hidden person's old profile would stay
  // published. Only after the run's files are in place; nothing without WriteGames. Returns
  // the pages removed.
  size_t RemoveStalePages() const;

 private:
  void Write(std::string_view relative_path, std::string bytes) const;
  std::unique_ptr<ReportFileStream> Open(std::string_view relative_path) const;
  // stats.json, begun on first use.
  ReportFileStream& Stats();
  // games.json into `text` with each game's entry recorded in `memo`, and taken from the file
  // the last export left when its record holds (an incremental export).
  void WriteGamesJsonWithMemo(const GameTexts& texts, const GamesModel& model,
                              const ModelFigures& figures, RenderMemo& memo,
                              ReportFileStream& text) const;

  SiteSettings settings_;
  ReportOutput& output_;
  FriendlyNames friendly_;
  StringMap<std::string> profiles_;  // compared name -> the page of its shown person
  bool people_known_ = false;
  Json global_json_;  // the global lists until stats.json is begun
  // stats.json, begun with the global lists and written a player at a time.
  std::unique_ptr<ReportFileStream> stats_;
  size_t players_written_ = 0;
  std::optional<std::unordered_set<std::string>>
      model_pages_;  // the pages of WriteGames, relative to the site
};

}  // namespace barvik
