// The statistics pass of an analysis run and the five global tables it feeds: one walk over
// the log counts fifteen figures per player and records every death, suicide, damage, action
// and pick-up as an entry in the event lists of maps, weapons, body locations and game types.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/LineError.h"
#include "core/ReportList.h"
#include "log/KeyPool.h"
#include "log/NameList.h"
#include "stats/KeptBytes.h"

namespace barvik {

class LogFile;

// The fifteen counters, in the order of the players table's columns after "Ratio" is removed.
enum Counter : int {
  kKills = 0,
  kDeads,
  kSuicides,
  kIDamages,
  kDamages,
  kSelfDamages,
  kWins,
  kLoses,
  kBelTicks,
  kWeaponPickUps,
  kSay,
  kSayTeam,
  kJoins,
  kQuits,
  kItems,
  kCounterCount
};

using CounterRow = std::array<int64_t, kCounterCount>;

// One row per NameList entry, then the total row last.
struct PlayerCounters {
  explicit PlayerCounters(size_t names) : rows(names + 1, CounterRow{}) {}
  std::vector<CounterRow> rows;
};

// A group of event lists kept as what the global tables need of them: for each key (folded:
// texts equal without regard to case are one key) its number of entries in each list, and
// where it was first met in each list, with the form met there. The table comes out as from
// the lists themselves: keys in first-met order list by list, captioned with the first form.
class CountedGroup {
 public:
  explicit CountedGroup(size_t lists) : lists_(lists), next_seq_(lists, 0) {}
  void Add(size_t list, KeyId key, KeyId folded);
  size_t ListCount() const { return lists_; }

  struct Row {
    KeyId key;                    // the form met first
    std::vector<int64_t> counts;  // by list
  };
  // The keys in first-met order, list by list.
  std::vector<Row> Rows() const;

  // The group as bytes (keys by their texts), and back for a pool that holds those texts; false
  // for bytes that do not read whole or name a text the pool lacks.
  void Save(std::string& out, const KeyPool& pool) const;
  bool Load(KeptReader& in, const KeyPool& pool);

 private:
  struct Cell {
    int64_t count = 0;
    uint64_t first_seq = 0;  // position of the first entry in its list
    KeyId form = 0;          // that entry's text
  };
  size_t lists_;
  std::vector<uint64_t> next_seq_;  // entries so far, by list
  std::vector<uint32_t> slot_;      // folded key -> its first cell + 1, 0 when not met
  std::vector<Cell> cells_;         // lists_ cells per slot
};

// The four groups; list order as in the global tables' count columns.
struct EventLists {
  enum MapList { kMapKills, kMapSuicides, kMapDamages, kMapBelTicks };
  enum WeaponList { kWeaponKills, kWeaponSuicides, kWeaponDamages, kWeaponPickUp };
  enum LocationList { kLocationKills, kLocationDamages, kLocationSuicides };
  enum GameTypeList { kGameTypeKills, kGameTypeSuicides, kGameTypeDamages };

  std::shared_ptr<KeyPool> pool;  // the log's keys, set by the pass
  CountedGroup maps{4};
  CountedGroup weapons{4};
  CountedGroup locations{3};
  CountedGroup game_types{3};
};

// The pass: counts into `counters`, appends to `events`, sets the log's HostName and
// TurnCount. A failure on one line is reported with the scan name "NAMES" and the pass goes
// on with the next line.
void CountPlayerStatistics(LogFile& log, const NameList& names, PlayerCounters& counters,
                           EventLists& events, const LineErrorReporter& report_error);

// The statistics pass of the whole log: the names (BuildNameList), their counters
// (CountPlayerStatistics, without the total row) and the event lists; the log's HostName and
// TurnCount are set.
struct LogStatistics {
  NameList names;
  PlayerCounters counters{0};
  EventLists events;
  bool continued = false;  // the pass went on from a kept state
};

// The statistics of the whole log, kept between runs. With `kept`, the state a former run's pass
// left (next_kept) over the same leading records (checked by their hash) and name options, only
// the records after those are walked; otherwise, or when a new line lists a name that the
// counted records before it met unlisted (its earlier records now count), the whole log. The
// results are the same either way. `next_kept` (may be null) gets the state for the next run:
// every listed name's counters, the event lists, the turn count and server name, and the names
// met unlisted; empty when a line failed, so that the next run walks and reports it again.
LogStatistics CountLogStatistics(LogFile& log, std::string_view kept, std::string* next_kept,
                                 const LineErrorReporter& report_error);

// Adds the column sums into the total row.
void AddTotals(PlayerCounters& counters);

// One row per name and the total row last: counters 0 and 1, the ratio, counters 2 to 14.
void FillPlayersTable(ReportList& list, const NameList& names, const PlayerCounters& counters,
                      char decimal_separator);

// A cell of a global table: the count of list `list`, or its percentage of the total.
struct TableCell {
  size_t list;
  bool percent;
};

// One row per key (first-met order), the total row last, then the first-rows rule. Counts
// are folded (case-insensitive), so case variants of a key count in one row.
void FillGlobalTable(ReportList& list, const CountedGroup& group, const KeyPool& pool,
                     const std::vector<TableCell>& layout, char decimal_separator);

// When the second row is the total row, the first row moves to the end.
void ApplyFirstRowsRule(ReportList& list);

// The columns and cell layouts of the five global tables.
ReportList MakePlayersList();
ReportList MakeMapsList();
ReportList MakeWeaponList();
ReportList MakeGameTypeList();
ReportList MakeAccuracyList();
extern const std::vector<TableCell> kMapsLayout;
extern const std::vector<TableCell> kWeaponLayout;
extern const std::vector<TableCell> kGameTypeLayout;
extern const std::vector<TableCell> kAccuracyLayout;

}  // namespace barvik
