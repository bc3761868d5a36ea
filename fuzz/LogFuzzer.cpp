// libFuzzer target: arbitrary bytes as a server log through loading, the name list, the
// statistics pass, the global tables and their sorting. Any crash, hang, sanitizer report or
// broken table invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/ReportList.h"
#include "log/LogFile.h"
#include "log/NameList.h"
#include "log/Statistics.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace barvik;
  if (size == 0) return 0;
  // The first byte chooses the name options and the decimal separator.
  const uint8_t flags = data[0];
  LogFile log = LogFile::FromText(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  log.IgnoreCase = flags & 1;
  log.IgnoreColors = flags & 2;
  const char separator = (flags & 4) ? ',' : '.';

  NameList names = BuildNameList(log);
  PlayerCounters counters(names.size());
  EventLists events;
  CountPlayerStatistics(log, names, counters, events, [](const std::string&) { std::abort(); });
  AddTotals(counters);

  ReportList players = MakePlayersList();
  FillPlayersTable(players, names, counters, separator);
  Check(players.rows.size() == names.size() + 1);
  ReportList maps = MakeMapsList();
  FillGlobalTable(maps, events.maps, *events.pool, kMapsLayout, separator);
  ReportList weapons = MakeWeaponList();
  FillGlobalTable(weapons, events.weapons, *events.pool, kWeaponLayout, separator);
  ReportList types = MakeGameTypeList();
  FillGlobalTable(types, events.game_types, *events.pool, kGameTypeLayout, separator);
  ReportList locations = MakeAccuracyList();
  FillGlobalTable(locations, events.locations, *events.pool, kAccuracyLayout, separator);

  for (ReportList* list : {&players, &maps, &weapons, &types, &locations}) {
    for (const Row& row : list->rows) Check(row.cells.size() + 1 == list->columns.size());
    const size_t rows = list->rows.size();
    for (int column = 0; column < static_cast<int>(list->columns.size()); ++column) {
      list->ColumnClick(column, separator);
      list->ColumnClick(column, separator);
    }
    Check(list->rows.size() == rows);
  }
  return 0;
}
