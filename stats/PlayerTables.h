// The tables of the selected-player page, filled from one player's events: weapon usage,
// body locations he hit and where he was hit, maps, game types, opponents, the per-turn
// kill/death ratio with its chart, and the body locations hit with one weapon.
//
// Percentages are taken of the player's global figures (the header row's cells), or of the
// weapon row's cells for the one-weapon table, never of a table's own sums; a base that is
// missing or not a whole number counts 0 and makes its percentages "n/a".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/ReportList.h"
#include "stats/PlayerDetail.h"

namespace barvik {

// The player's global figures that serve as percentage bases.
struct PlayerBases {
  int64_t kills = 0;
  int64_t deads = 0;
  int64_t suicides = 0;
  int64_t i_damages = 0;
  int64_t damages = 0;
};

// From the first row of the header list (columns "Kills", "Deads", "Suicides", "I.Damages",
// "Damages"); all 0 when the list has no row.
PlayerBases PlayerBasesFromHeader(const ReportList& header);

// The six tables. Each empties `list`, adds a row per key and the total row on top, then
// sorts by one click on column 1 under the list's current sort state (the caller resets it
// when a new player is shown).
void FillPlayerWeaponTable(ReportList& list, const PlayerEvents& events, const PlayerBases& bases,
                           char decimal_separator);
void FillPlayerGlobAccuracyTable(ReportList& list, const PlayerEvents& events,
                                 const PlayerBases& bases, char decimal_separator);
void FillPlayerGlobEnemyAccuracyTable(ReportList& list, const PlayerEvents& events,
                                      const PlayerBases& bases, char decimal_separator);
void FillPlayerMapsTable(ReportList& list, const PlayerEvents& events, const PlayerBases& bases,
                         char decimal_separator);
void FillPlayerGameTypeTable(ReportList& list, const PlayerEvents& events, const PlayerBases& bases,
                             char decimal_separator);
void FillPlayerVictimsTable(ReportList& list, const PlayerEvents& events, const PlayerBases& bases,
                            char decimal_separator);

// The one-weapon table: bases are the weapon row's "Kills", "I.Damages" and "Suicides" cells
// (`weapons` gives the column captions). Empties `list`, fills it with the total row on top,
// resets its sort state and sorts by one click on "Kills".
void ShowWeaponAccuracy(ReportList& list, const WeaponHits& hits, const ReportList& weapons,
                        const Row& weapon_row, char decimal_separator);

// The ratio chart as data: one point per row of the turns list.
struct TurnsChartPoint {
  int32_t x = 0;      // the turn number
  double y = 0;       // the row's ratio, 0 for "n/a"
  bool blue = false;  // y >= 1.0
};

struct TurnsChart {
  std::string title;
  int32_t xmax = 0;  // the log's turn count
  int32_t ymax = 0;
  std::vector<TurnsChartPoint> points;
};

// Fills the turns list (Kills, Deads, Ratio per turn key), drops the turns in which both
// Kills and Deads are below `min_kills` (a text that is not a whole number counts 0), sorts
// the rest oldest turn first and returns the chart drawn from them: titled after `player`,
// vertical axis up to `max_ratio` (1000 when it is not a whole number), horizontal axis up to
// `turn_count`.
TurnsChart ShowTurnsRatio(ReportList& list, const PlayerEvents& events, std::string_view min_kills,
                          std::string_view max_ratio, std::string_view player, int32_t turn_count,
                          char decimal_separator);

}  // namespace barvik
