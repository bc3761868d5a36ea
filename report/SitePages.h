// The pages of the site made from the games and people model (stats/Games.h): the home page,
// the people table, a profile per person, the list of games and a page per game, and the
// maps, weapons and game types with their top people. Paths are relative to site/:
//
//   index.html, people.html, games.html, ranking.html, awards.html, maps.html, weapons.html,
//   gametypes.html
//   people/ID.html (PersonPage), games/N.html (GamePage)
//
// Hidden people appear on no page: not in a table, a top list, a scoreboard or a search.
// Every log text is escaped. A game page depends only on its game and on the people in it (no
// export time stamp, the game's own server name), so an incremental export finds a finished
// game's page unchanged and leaves it alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report/FriendlyNames.h"
#include "stats/Awards.h"
#include "stats/GameRatings.h"
#include "stats/Games.h"

namespace barvik {

// What every page's header and footer show.
struct SiteFrame {
  std::string server_name;  // HostName, colour codes included
  std::string build_text = "N/A";
  std::string generated;  // date and time of the export
  std::string timezone;   // the zone dates show in (an IANA name; empty: the machine's)
};

// What the site shows beside the games model, computed from it: the skill ratings over all
// games and per game type (RateGames, RateGameTypes) and the awards (ComputeAwards).
struct ModelFigures {
  GameRatings ratings;
  std::vector<GameTypeRatings> game_types;
  AwardsModel awards;
};
// The ratings of `model` beside its `awards` (ComputeAwards of the same model).
ModelFigures FiguresOf(const GamesModel& model, AwardsModel awards);
// The same from ratings rated already (RateModel, which may continue a kept state).
ModelFigures FiguresOf(ModelRatings ratings, AwardsModel awards);

// Receives each finished page: its path relative to site/ and its bytes.
using SitePageSink = std::function<void(const std::string& path, const std::string& bytes)>;

// Asked before a profile or a game page is made, with its path and a fingerprint of everything
// it is made from (its part of the model, the ratings and awards it shows, the people it links
// as they are shown, the friendly names, the frame but for the time stamp): true when the page
// need not be made (an incremental export whose file of the page was made from the same).
using SitePageKeep = std::function<bool(const std::string& path, uint64_t fingerprint)>;

// Every page of the list above, each handed to `sink` once; with `keep`, the profiles and game
// pages it answers true for are left out.
void WriteModelPages(const GameTexts& texts, const GamesModel& model, const ModelFigures& figures,
                     const FriendlyNames& friendly, const SiteFrame& frame,
                     const SitePageSink& sink, const SitePageKeep& keep = {});

// The start of a page up to its navigation's links: `root` leads from the page's folder to
// the folder of site.css and index.html.
std::string SitePageStart(std::string_view title, std::string_view root,
                          std::string_view server_html);
// The start of a page up to <main>: `root` leads from the page's folder to site/.
// `server_html` is the server's name as HTML for the header.
std::string SitePageHead(std::string_view title, std::string_view root,
                         std::string_view server_html);
// The end of a page; with `generated` empty the footer carries no time stamp.
std::string SitePageFoot(const SiteFrame& frame, std::string_view root, bool time_stamp);

// The body-location heat map: `share(key)` gives the per cent of each location (the
// body-location keys, "none" included), drawn as an inline SVG.
std::string BodyFigureSvg(const std::function<double(std::string_view)>& share,
                          const FriendlyNames& friendly, std::string_view caption);

// A line chart of values over labelled points (the line breaks where a value is missing),
// with a dashed line at `reference` when there is one; empty for no points. The axis runs
// from 0, or from below the lowest value when one is negative.
struct LineChartPoint {
  std::string label;
  std::optional<double> value;
};
std::string LineChartSvg(const std::vector<LineChartPoint>& points, std::string_view x_caption,
                         std::string_view caption, std::optional<double> reference = 1.0);

}  // namespace barvik
