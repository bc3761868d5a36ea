// The selected-player page of the Workspace: loading a player's detail (from a rescan of the
// log or from events the export collected for everybody at once) and the weapon selection.
#include <chrono>
#include <functional>
#include <string>

#include "app/BusyGuard.h"
#include "app/Workspace.h"
#include "core/Text1252.h"
#include "stats/PlayerDetail.h"
#include "stats/PlayerTables.h"

namespace barvik {

// The steps of a player load before and after its scan.
class PlayerDetailFiller {
 public:
  // LabelLoadedName and the status text; the player page's eight lists get their sort state
  // reset, so each fill's own click gives its initial order.
  static void Begin(Workspace& ws, const std::string& name) {
    ws.loaded_name_ = name;
    ws.ShowStatus("Reading " + UpperCopy(name) + " Statistics");
  }

  static void ResetSorts(Workspace& ws) {
    for (ListId id : {ListId::PlayerWeapon, ListId::WeaponAccuracy, ListId::PlayerGlobAccuracy,
                      ListId::PlayerGlobEnemyAccuracy, ListId::PlayerMaps, ListId::PlayerGameType,
                      ListId::PlayerVictims, ListId::PlayerTurnsRatio}) {
      ws.List(id).ResetSort();
    }
  }

  // The six tables, the two figures that show them, the turns list and the chart.
  static void Fill(Workspace& ws, const PlayerEvents& events) {
    const char sep = ws.decimal_separator_;
    const ReportList& header = ws.List(ListId::Player);
    const PlayerBases bases = PlayerBasesFromHeader(header);

    FillPlayerWeaponTable(ws.List(ListId::PlayerWeapon), events, bases, sep);
    // The refill dropped the weapon selection, and with it the weapon's location list.
    ws.ListViewPlayerWeaponSelectItem();
    FillPlayerGlobAccuracyTable(ws.List(ListId::PlayerGlobAccuracy), events, bases, sep);
    ws.FillFigure(FigureId::GlobAccuracy, 0);
    FillPlayerGlobEnemyAccuracyTable(ws.List(ListId::PlayerGlobEnemyAccuracy), events, bases, sep);
    ws.FillFigure(FigureId::GlobEnemyAccuracy, 0);
    FillPlayerMapsTable(ws.List(ListId::PlayerMaps), events, bases, sep);
    FillPlayerGameTypeTable(ws.List(ListId::PlayerGameType), events, bases, sep);
    FillPlayerVictimsTable(ws.List(ListId::PlayerVictims), events, bases, sep);

    const std::string player = header.rows.empty() ? "" : header.rows.front().caption;
    TurnsChart turns =
        ShowTurnsRatio(ws.List(ListId::PlayerTurnsRatio), events, ws.options_.min_kills,
                       ws.options_.max_ratio, player, ws.log_ ? ws.log_->TurnCount : 0, sep);
    ChartState& chart = ws.chart_;
    chart.title = std::move(turns.title);
    chart.xmax = turns.xmax;
    chart.ymax = turns.ymax;
    chart.points.clear();
    for (const TurnsChartPoint& p : turns.points) chart.points.push_back({p.x, p.y, p.blue});
  }
};

void Workspace::ShowSelectedPlayer(const std::string& name) {
  PlayerDetailFiller::Begin(*this, name);
  {
    BusyGuard busy(hooks.busy);
    PlayerDetailFiller::ResetSorts(*this);
    PlayerEvents events;
    if (log_) CollectPlayerEvents(*log_, name, events, hooks.line_error);
    PlayerDetailFiller::Fill(*this, events);
  }
  ShowStatus("Done");
  ListsChanged();
}

void Workspace::SelectPlayerWeaponRow(int row) {
  ReportList& weapons = List(ListId::PlayerWeapon);
  weapons.selected = (row >= 0 && row < static_cast<int>(weapons.rows.size())) ? row : -1;
  ListViewPlayerWeaponSelectItem();
}

void Workspace::ListViewPlayerWeaponSelectItem() {
  const auto start = std::chrono::steady_clock::now();
  const ReportList& weapons = List(ListId::PlayerWeapon);
  const Row* selected = weapons.SelectedRow();
  if (selected == nullptr) {
    List(ListId::WeaponAccuracy).Clear();
    ListsChanged();
    return;
  }
  if (selected->caption == kTotalRowCaption) return;
  // The weapon rows are those of the loaded player, so his name is scanned for, not the
  // header's, which follows the players list's selection (it may show the total row's
  // "Select player first" while the page still shows the loaded player).
  const std::string& player = loaded_name_;
  const std::string weapon = selected->caption;
  ShowStatus("Reading " + weapon + " Weapon Statistics for " + player);
  {
    BusyGuard busy(hooks.busy);
    WeaponHits hits;
    if (log_) CollectWeaponHits(*log_, player, weapon, hits, hooks.line_error);
    ShowWeaponAccuracy(List(ListId::WeaponAccuracy), hits, weapons, *selected, decimal_separator_);
    FillFigure(FigureId::GlobAccuracy, 0);
    FillFigure(FigureId::WeaponAccuracy, figure(FigureId::WeaponAccuracy).choice);
  }
  ShowStatus("Done");
  SetStatus(kPanelElapsed, ElapsedSince(start));
  ListsChanged();
}

}  // namespace barvik
