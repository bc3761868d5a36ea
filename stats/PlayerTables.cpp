#include "stats/PlayerTables.h"

#include <algorithm>

#include "core/NumberFormat.h"
#include "core/Text1252.h"
#include "stats/Captions.h"
#include "stats/DetailTable.h"

namespace barvik {
namespace {

using P = PlayerEvents;

int64_t CellNumber(const ReportList& list, const Row& row, std::string_view column) {
  return WholeNumberOr(ReportList::CellText(row, list.ColumnIndex(column)), 0);
}

void FillAndSort(ReportList& list, const EventGroup& group, const KeyPool& pool,
                 std::initializer_list<DetailCell> cells, const TotalRowSpec& total,
                 char decimal_separator) {
  FillDetailTable(list, group, pool, std::span<const DetailCell>(cells.begin(), cells.size()),
                  &total, decimal_separator);
  list.ColumnClick(1, decimal_separator);
}

// Maps and game types: the same columns after the caption.
void FillPlaceTable(ReportList& list, const EventGroup& group, const KeyPool& pool,
                    const PlayerBases& b, char decimal_separator) {
  FillAndSort(
      list, group, pool,
      {CountCell(P::kPlaceKills), PercentCell(P::kPlaceKills, b.kills), CountCell(P::kPlaceDeads),
       PercentCell(P::kPlaceDeads, b.deads), RatioCell(P::kPlaceKills, P::kPlaceDeads),
       CountCell(P::kPlaceSuicides), PercentCell(P::kPlaceSuicides, b.suicides),
       CountCell(P::kPlaceIDamages), CountCell(P::kPlaceDamages), CountCell(P::kPlaceBelTicks)},
      kTotalWithRatio, decimal_separator);
}

}  // namespace

PlayerBases PlayerBasesFromHeader(const ReportList& header) {
  PlayerBases b;
  if (header.rows.empty()) return b;
  const Row& row = header.rows.front();
  b.kills = CellNumber(header, row, caption::kKills);
  b.deads = CellNumber(header, row, caption::kDeads);
  b.suicides = CellNumber(header, row, caption::kSuicides);
  b.i_damages = CellNumber(header, row, caption::kIDamages);
  b.damages = CellNumber(header, row, caption::kDamages);
  return b;
}

void FillPlayerWeaponTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                           char decimal_separator) {
  FillAndSort(list, e.weapons, *e.pool,
              {CountCell(P::kWeaponKills), PercentCell(P::kWeaponKills, b.kills),
               CountCell(P::kWeaponDeads), PercentCell(P::kWeaponDeads, b.deads),
               RatioCell(P::kWeaponKills, P::kWeaponDeads), CountCell(P::kWeaponSuicides),
               CountCell(P::kWeaponIDamages), CountCell(P::kWeaponDamages),
               CountCell(P::kWeaponSelfDamages), CountCell(P::kWeaponPickUp)},
              kTotalWithRatio, decimal_separator);
}

void FillPlayerGlobAccuracyTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                                 char decimal_separator) {
  FillAndSort(list, e.attack_locations, *e.pool,
              {CountCell(P::kAttackKills), PercentCell(P::kAttackKills, b.kills),
               CountCell(P::kAttackIDamages), PercentCell(P::kAttackIDamages, b.i_damages),
               CountCell(P::kAttackSuicides), PercentCell(P::kAttackSuicides, b.suicides)},
              kTotalWithoutRatio, decimal_separator);
}

void FillPlayerGlobEnemyAccuracyTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                                      char decimal_separator) {
  FillAndSort(list, e.victim_locations, *e.pool,
              {CountCell(P::kVictimDeads), PercentCell(P::kVictimDeads, b.deads),
               CountCell(P::kVictimDamages), PercentCell(P::kVictimDamages, b.damages)},
              kTotalWithoutRatio, decimal_separator);
}

void FillPlayerMapsTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                         char decimal_separator) {
  FillPlaceTable(list, e.maps, *e.pool, b, decimal_separator);
}

void FillPlayerGameTypeTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                             char decimal_separator) {
  FillPlaceTable(list, e.game_types, *e.pool, b, decimal_separator);
}

void FillPlayerVictimsTable(ReportList& list, const PlayerEvents& e, const PlayerBases& b,
                            char decimal_separator) {
  FillAndSort(list, e.opponents, *e.pool,
              {CountCell(P::kOpponentKills), PercentCell(P::kOpponentKills, b.kills),
               CountCell(P::kOpponentDeads), PercentCell(P::kOpponentDeads, b.deads),
               RatioCell(P::kOpponentKills, P::kOpponentDeads), CountCell(P::kOpponentIDamages),
               CountCell(P::kOpponentDamages)},
              kTotalWithRatio, decimal_separator);
}

void ShowWeaponAccuracy(ReportList& list, const WeaponHits& hits, const ReportList& weapons,
                        const Row& weapon_row, char decimal_separator) {
  const int64_t kills = CellNumber(weapons, weapon_row, caption::kKills);
  const int64_t i_damages = CellNumber(weapons, weapon_row, caption::kIDamages);
  const int64_t suicides = CellNumber(weapons, weapon_row, caption::kSuicides);
  list.ResetSort();
  FillAndSort(list, hits.hits, hits.pool,
              {CountCell(WeaponHits::kKills), PercentCell(WeaponHits::kKills, kills),
               CountCell(WeaponHits::kIDamages), PercentCell(WeaponHits::kIDamages, i_damages),
               CountCell(WeaponHits::kSuicides), PercentCell(WeaponHits::kSuicides, suicides)},
              kTotalWithoutRatio, decimal_separator);
}

TurnsChart ShowTurnsRatio(ReportList& list, const PlayerEvents& events, std::string_view min_kills,
                          std::string_view max_ratio, std::string_view player, int32_t turn_count,
                          char decimal_separator) {
  const DetailCell cells[] = {CountCell(P::kTurnKills), CountCell(P::kTurnDeads),
                              RatioCell(P::kTurnKills, P::kTurnDeads)};
  FillDetailTable(list, events.turns, *events.pool, cells, nullptr, decimal_separator);

  // A turn stays when either of its counts reaches the threshold.
  const int32_t m = WholeNumberOr(min_kills, 0);
  std::erase_if(list.rows, [m](const Row& row) {
    return WholeNumberOr(ReportList::CellText(row, 1), 0) < m &&
           WholeNumberOr(ReportList::CellText(row, 2), 0) < m;
  });

  // Turn keys all have the same number of digits, so the text order is the turn order.
  list.ResetSort();
  list.ColumnClick(0, decimal_separator);

  TurnsChart chart;
  chart.title = "Ratio Chart for player " + UpperCopy(player) + " (" +
                std::to_string(list.rows.size()) + " turns)";
  chart.ymax = WholeNumberOr(max_ratio, 1000);
  chart.xmax = turn_count;
  chart.points.reserve(list.rows.size());
  for (const Row& row : list.rows) {
    TurnsChartPoint p;
    p.x = WholeNumberOr(row.caption, 0);
    p.y = ParseDecimal(ReportList::CellText(row, 3), decimal_separator).value_or(0.0);
    p.blue = p.y >= 1.0;
    chart.points.push_back(p);
  }
  return chart;
}

}  // namespace barvik
