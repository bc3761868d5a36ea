// The modern face of the report: a small UTF-8 web site in the "site" folder of the report
// folder, made from the same report lists the classic pages are made from, plus the whole
// analysis as "site/stats.json".
//
//   site/index.html     home: the server, what the log covers, top lists, body locations
//   site/players.html   every player in one table with a search box and sorting
//   site/weapons.html, site/maps.html, site/gametypes.html   the other global lists
//   site/p/P.html       one profile per player, P his file prefix of the classic pages
//   site/site.css, site/site.js   copied from the template folder
//   site/stats.json     every list (see JsonWriter.h)
//
// Pages are complete without their script; every log text is escaped; no page refers to
// anything outside the report folder. The figures are inline SVG drawn from the numbers.
//
// Use: construct, WriteGlobal once, WritePlayer for every player after his lists are
// loaded, then Finish, which writes the pages that need every player (home, stats.json).
// Every file goes through WriteFileAtomically; a failure throws FileError("Cannot create file
// <path>") and leaves that file as it was.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ReportList.h"
#include "core/StringHash.h"
#include "report/FriendlyNames.h"
#include "report/JsonWriter.h"
#include "stats/Spellings.h"

namespace barvik {

// The folder of the site inside the report folder, and of the profiles inside the site.
inline constexpr std::string_view kSiteFolder = "site/";
inline constexpr std::string_view kProfileFolder = "p/";

struct SiteSettings {
  std::string report_folder;  // the export folder as a path prefix ending in "/" (or empty)
  std::string template_folder = ".";
  std::string server_name;  // HostName, colour codes included
  std::string build_text = "N/A";
  std::string generated;  // date and time of the export, shown in the footers
  char decimal_separator = '.';
  int turns = 0;  // game-initialisation lines of the log
  // The file prefix of every player of this export; a name not in it gets no profile link.
  const StringMap<std::string>* prefixes = nullptr;
  // The spellings of every name, shown on the profiles.
  Spellings spellings;
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
  explicit SiteWriter(SiteSettings settings);
  SiteWriter(const SiteWriter&) = delete;
  SiteWriter& operator=(const SiteWriter&) = delete;

  // The global pages, the style sheet and the script.
  void WriteGlobal(const GlobalLists& lists);
  // The profile of `name` from his lists as they stand now.
  void WritePlayer(const std::string& name, const PlayerLists& lists);
  // The home page and stats.json.
  void Finish();

  // The profile file of `name` relative to the site folder ("p/bob.html"), empty when he has
  // none in this export.
  std::string ProfilePath(std::string_view name) const;

 private:
  struct Ranked {
    std::string name;
    double value = 0;
  };

  std::string PageHead(std::string_view title, std::string_view root) const;
  std::string PageFoot(std::string_view root, bool script) const;
  void Write(std::string_view relative_path, std::string_view bytes) const;

  SiteSettings settings_;
  FriendlyNames friendly_;
  GlobalLists global_;
  std::vector<Ranked> head_shots_;  // per player: kills with a hit to the head
  Json global_json_;
  std::string players_json_text_;  // the players' entries of stats.json, comma-separated
};

// Pieces of the pages, public for the tests.

// A table of `list`: the total row in a body of its own before the others; `kind` gives the
// caption column friendly names; with `prefixes` the captions link to the players' profiles
// (`link_root` + prefix + ".html"); `row_anchors` gives each row an id ("<id>-<prefix of its
// caption>") for links from other pages.
std::string SiteTableHtml(const ReportList& list, const FriendlyNames& friendly,
                          const NameKind* kind, const StringMap<std::string>* prefixes,
                          std::string_view link_root, std::string_view id,
                          bool row_anchors = false);

// The body-location heat map of `list` (rows named by the body-location keys) for the column
// `column`, as an inline SVG.
std::string BodyFigureSvg(const ReportList& list, std::string_view column,
                          const FriendlyNames& friendly, char decimal_separator,
                          std::string_view caption);

// The line chart of the "Ratio" column of the turns list, as an inline SVG; empty for a list
// without rows.
std::string RatioChartSvg(const ReportList& turns, char decimal_separator);

}  // namespace barvik
