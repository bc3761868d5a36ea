#include "log/Statistics.h"

#include <string>

#include "core/NumberFormat.h"
#include "log/LogFile.h"

namespace barvik {

void CountPlayerStatistics(LogFile& log, const NameList& names, PlayerCounters& counters,
                           EventLists& events, const LineErrorReporter& report_error) {
  KeyPool& pool = events.pool;
  KeyId current_map = pool.Intern(kNotDefined);
  KeyId current_game_type = current_map;
  int64_t last_lookup = -1;
  std::string scratch[4];
  std::string_view f[13];
  std::vector<std::string> team;

  auto lookup = [&](std::string_view name) {
    int r = names.Find(name);
    last_lookup = r;
    return r;
  };
  auto append = [](EventGroup& group, size_t list, KeyId key) { group.lists[list].push_back(key); };

  for (size_t i = 0; i < log.LineCount(); ++i) {
    std::string_view first;
    std::string_view second;
    try {
      std::string_view line = log.Line(i);
      LogFile::GetFields(line, 13, f);
      switch (LogFile::KindOfField1(f[0])) {
        case LineKind::GameInit: {
          std::string_view field1 = f[0];
          current_map = pool.Intern(GameInitValue(field1, "\\mapname\\"));
          current_game_type = pool.Intern(GameInitValue(field1, "\\g_gametype\\"));
          log.HostName = std::string(GameInitValue(field1, "\\sv_hostname\\"));
          ++log.TurnCount;
          break;
        }
        case LineKind::Join:
        case LineKind::Quit:
        case LineKind::Say:
        case LineKind::SayTeam: {
          Counter c = kJoins;
          switch (LogFile::KindOfField1(f[0])) {
            case LineKind::Quit:
              c = kQuits;
              break;
            case LineKind::Say:
              c = kSay;
              break;
            case LineKind::SayTeam:
              c = kSayTeam;
              break;
            default:
              break;
          }
          first = log.NormaliseInto(f[3], scratch[0]);
          int r = lookup(first);
          if (r >= 0) ++counters.rows[static_cast<size_t>(r)][c];
          break;
        }
        case LineKind::WeaponPickUp: {
          first = log.NormaliseInto(f[3], scratch[0]);
          std::string_view weapon = log.NormaliseInto(f[4], scratch[1]);
          append(events.weapons, EventLists::kWeaponPickUp, pool.Intern(weapon));
          int r = lookup(first);
          if (r >= 0) ++counters.rows[static_cast<size_t>(r)][kWeaponPickUps];
          break;
        }
        case LineKind::Damage:
        case LineKind::Kill: {
          const bool kill = f[0][0] == 'K';
          first = log.NormaliseInto(f[4], scratch[0]);
          second = log.NormaliseInto(f[8], scratch[1]);
          std::string_view weapon = log.NormaliseInto(f[9], scratch[2]);
          std::string_view location = log.NormaliseInto(f[12], scratch[3]);
          const bool by_other = !second.empty() && second != first;
          int v = lookup(first);
          if (v >= 0) {
            CounterRow& row = counters.rows[static_cast<size_t>(v)];
            if (kill) {
              ++row[by_other ? kDeads : kSuicides];
              size_t list_m = by_other ? EventLists::kMapKills : EventLists::kMapSuicides;
              size_t list_w = by_other ? EventLists::kWeaponKills : EventLists::kWeaponSuicides;
              size_t list_l = by_other ? EventLists::kLocationKills : EventLists::kLocationSuicides;
              size_t list_g = by_other ? EventLists::kGameTypeKills : EventLists::kGameTypeSuicides;
              append(events.maps, list_m, current_map);
              append(events.weapons, list_w, pool.Intern(weapon));
              append(events.locations, list_l, pool.Intern(location));
              append(events.game_types, list_g, current_game_type);
            } else if (by_other) {
              ++row[kDamages];
              append(events.maps, EventLists::kMapDamages, current_map);
              append(events.weapons, EventLists::kWeaponDamages, pool.Intern(weapon));
              append(events.locations, EventLists::kLocationDamages, pool.Intern(location));
              append(events.game_types, EventLists::kGameTypeDamages, current_game_type);
            } else {
              ++row[kSelfDamages];
            }
          }
          int a = lookup(second);
          if (a >= 0 && second != first) {
            ++counters.rows[static_cast<size_t>(a)][kill ? kKills : kIDamages];
          }
          break;
        }
        case LineKind::Item: {
          first = log.NormaliseInto(f[3], scratch[0]);
          int r = lookup(first);
          if (r >= 0) ++counters.rows[static_cast<size_t>(r)][kItems];
          break;
        }
        case LineKind::Action: {
          first = log.NormaliseInto(f[4], scratch[0]);
          int r = lookup(first);
          if (r >= 0) ++counters.rows[static_cast<size_t>(r)][kBelTicks];
          append(events.maps, EventLists::kMapBelTicks, current_map);
          break;
        }
        case LineKind::Win:
        case LineKind::Loss: {
          Counter c = f[0][0] == 'W' ? kWins : kLoses;
          team.clear();
          log.ReadTeamResult(line, team);
          for (const std::string& name : team) {
            int r = lookup(name);
            if (r >= 0) ++counters.rows[static_cast<size_t>(r)][c];
          }
          break;
        }
        case LineKind::Other:
          break;
      }
    } catch (const std::exception&) {
      if (report_error) report_error(LineErrorMessage("NAMES", i, last_lookup, first, second));
    }
  }
}

void AddTotals(PlayerCounters& counters) {
  CounterRow& total = counters.rows.back();
  for (size_t r = 0; r + 1 < counters.rows.size(); ++r) {
    for (size_t k = 0; k < kCounterCount; ++k) total[k] += counters.rows[r][k];
  }
}

void FillPlayersTable(ReportList& list, const NameList& names, const PlayerCounters& counters,
                      char decimal_separator) {
  for (size_t r = 0; r < counters.rows.size(); ++r) {
    const CounterRow& c = counters.rows[r];
    Row row;
    row.caption = r < names.size() ? names[r] : std::string(kTotalRowCaption);
    row.cells.reserve(kCounterCount + 1);
    row.cells.push_back(std::to_string(c[kKills]));
    row.cells.push_back(std::to_string(c[kDeads]));
    row.cells.push_back(FormatRatio(c[kKills], c[kDeads], decimal_separator));
    for (size_t k = kSuicides; k < kCounterCount; ++k) row.cells.push_back(std::to_string(c[k]));
    list.rows.push_back(std::move(row));
  }
  ApplyFirstRowsRule(list);
}

void FillGlobalTable(ReportList& list, const EventGroup& group, const KeyPool& pool,
                     const std::vector<TableCell>& layout, char decimal_separator) {
  KeyTable table = CollectKeys(group, pool, group.lists.size());
  CountKeysFolded(group, pool, table);
  std::vector<int64_t> totals(group.lists.size(), 0);
  for (const auto& counts : table.counts) {
    for (size_t j = 0; j < counts.size(); ++j) totals[j] += counts[j];
  }
  auto add_row = [&](std::string caption, const std::vector<int64_t>& counts) {
    Row row;
    row.caption = std::move(caption);
    for (const TableCell& cell : layout) {
      row.cells.push_back(
          cell.percent ? FormatPercent(counts[cell.list], totals[cell.list], decimal_separator)
                       : std::to_string(counts[cell.list]));
    }
    list.rows.push_back(std::move(row));
  };
  for (size_t r = 0; r < table.keys.size(); ++r) {
    add_row(std::string(pool.Text(table.keys[r])), table.counts[r]);
  }
  add_row(std::string(kTotalRowCaption), totals);
  ApplyFirstRowsRule(list);
}

void ApplyFirstRowsRule(ReportList& list) {
  if (list.rows.size() >= 2 && list.rows[1].caption == kTotalRowCaption) {
    Row first = std::move(list.rows.front());
    list.rows.erase(list.rows.begin());
    list.rows.push_back(std::move(first));
  }
}

namespace {

std::vector<Column> Columns(std::string caption, int caption_width,
                            std::initializer_list<const char*> values, int value_width) {
  std::vector<Column> columns{{std::move(caption), caption_width, Align::Left}};
  for (const char* v : values) columns.push_back({v, value_width, Align::Right});
  return columns;
}

}  // namespace

ReportList MakePlayersList() {
  return ReportList(
      "ListViewPlayers",
      Columns("Name", kAutoWidth,
              {"Kills", "Deads", "Ratio", "Suicides", "I.Damages", "Damages", "Self Damages",
               "Wins", "Loses", "BEL Ticks", "Weapon", "Say", "SayTeam", "Joins", "Quits", "Items"},
              kDefaultWidth));
}

ReportList MakeWeaponList() {
  return ReportList(
      "ListViewWeapon",
      Columns("Weapon", 200, {"Kills", "Kills[%]", "Suicides", "Damages", "Pick Up"}, 55));
}

ReportList MakeMapsList() {
  return ReportList(
      "ListViewMaps",
      Columns("Map", 200, {"Kills", "Kills[%]", "Suicides", "Damages", "BEL Ticks"}, 55));
}

ReportList MakeGameTypeList() {
  return ReportList("ListViewGType",
                    Columns("Game Type", 200, {"Kills", "Kills[%]", "Suicides", "Damages"}, 55));
}

ReportList MakeAccuracyList() {
  return ReportList(
      "ListViewAccuracy",
      Columns("Body Location", 200,
              {"Kills", "Kills[%]", "Damages", "Damages[%]", "Suicides", "Suicides[%]"}, 55));
}

const std::vector<TableCell> kMapsLayout = {{EventLists::kMapKills, false},
                                            {EventLists::kMapKills, true},
                                            {EventLists::kMapSuicides, false},
                                            {EventLists::kMapDamages, false},
                                            {EventLists::kMapBelTicks, false}};
const std::vector<TableCell> kWeaponLayout = {{EventLists::kWeaponKills, false},
                                              {EventLists::kWeaponKills, true},
                                              {EventLists::kWeaponSuicides, false},
                                              {EventLists::kWeaponDamages, false},
                                              {EventLists::kWeaponPickUp, false}};
const std::vector<TableCell> kGameTypeLayout = {{EventLists::kGameTypeKills, false},
                                                {EventLists::kGameTypeKills, true},
                                                {EventLists::kGameTypeSuicides, false},
                                                {EventLists::kGameTypeDamages, false}};
const std::vector<TableCell> kAccuracyLayout = {
    {EventLists::kLocationKills, false},    {EventLists::kLocationKills, true},
    {EventLists::kLocationDamages, false},  {EventLists::kLocationDamages, true},
    {EventLists::kLocationSuicides, false}, {EventLists::kLocationSuicides, true}};

}  // namespace barvik
