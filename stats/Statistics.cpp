#include "stats/Statistics.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/NumberFormat.h"
#include "log/EventScan.h"
#include "log/LogFile.h"
#include "stats/Captions.h"

namespace barvik {

namespace {

// The statistics pass as a handler of the event walk.
class StatisticsPass {
 public:
  // `unlisted` (may be null), by key id: set for every name met in a counted record but not
  // listed.
  StatisticsPass(LogFile& log, const NameList& names, PlayerCounters& counters, EventLists& events,
                 std::vector<uint8_t>* unlisted = nullptr)
      : log_(log),
        forms_(log.Forms()),
        pool_(forms_.pool()),
        names_(names),
        counters_(counters),
        events_(events),
        unlisted_(unlisted) {}

  void operator()(const EventView& e, const ScanState& state) {
    first_ = second_ = NameForms::kEmpty;
    const uint32_t* ids = e.ids;
    switch (e.kind) {
      case LineKind::GameInit:
        log_.HostName = std::string(log_.events().settings().Text(state.host));
        ++log_.TurnCount;
        break;
      case LineKind::Join:
        Count(forms_.Name(ids[0]), kJoins);
        break;
      case LineKind::Quit:
        Count(forms_.Name(ids[0]), kQuits);
        break;
      case LineKind::Say:
        Count(forms_.Name(ids[0]), kSay);
        break;
      case LineKind::SayTeam:
        Count(forms_.Name(ids[0]), kSayTeam);
        break;
      case LineKind::Item:
        Count(forms_.Name(ids[0]), kItems);
        break;
      case LineKind::WeaponPickUp:
        // The weapon counts whether or not the player is listed.
        Append(events_.weapons, EventLists::kWeaponPickUp, forms_.Name(ids[1]));
        Count(forms_.Name(ids[0]), kWeaponPickUps);
        break;
      case LineKind::Action:
        Count(forms_.Name(ids[0]), kBelTicks);
        Append(events_.maps, EventLists::kMapBelTicks, state.map);
        break;
      case LineKind::Damage:
      case LineKind::Kill:
        Hit(e.kind == LineKind::Kill, ids, state);
        break;
      case LineKind::Win:
      case LineKind::Loss: {
        const Counter c = e.kind == LineKind::Win ? kWins : kLoses;
        for (uint32_t i = 0; i < e.count; ++i) {
          const KeyId name = forms_.Name(ids[i]);
          if (name == NameForms::kEmpty) break;  // normalising emptied it: the list ends
          const int r = Lookup(name);
          if (r >= 0) ++counters_.rows[static_cast<size_t>(r)][c];
        }
        break;
      }
      case LineKind::Other:
      case LineKind::GameEnd:
        break;
    }
  }

  std::string ErrorMessage(uint64_t line) const {
    const KeyPool& pool = forms_.pool();
    return LineErrorMessage("NAMES", line, last_lookup_, pool.Text(first_), pool.Text(second_));
  }

 private:
  int Lookup(KeyId name) {
    const int r = names_.FindKey(name);
    last_lookup_ = r;
    if (r < 0 && unlisted_ != nullptr && name < unlisted_->size()) (*unlisted_)[name] = 1;
    return r;
  }
  void Count(KeyId name, Counter c) {
    first_ = name;
    const int r = Lookup(name);
    if (r >= 0) ++counters_.rows[static_cast<size_t>(r)][c];
  }
  void Append(CountedGroup& group, size_t list, KeyId key) {
    group.Add(list, key, pool_.FoldedId(key));
  }

  void Hit(bool kill, const uint32_t* ids, const ScanState& state) {
    first_ = forms_.Name(ids[0]);   // victim
    second_ = forms_.Name(ids[1]);  // attacker
    const KeyId weapon = forms_.Name(ids[2]);
    const KeyId location = forms_.Name(ids[3]);
    const bool by_other = second_ != NameForms::kEmpty && second_ != first_;
    const int v = Lookup(first_);
    if (v >= 0) {
      CounterRow& row = counters_.rows[static_cast<size_t>(v)];
      if (kill) {
        ++row[by_other ? kDeads : kSuicides];
        Append(events_.maps, by_other ? EventLists::kMapKills : EventLists::kMapSuicides,
               state.map);
        Append(events_.weapons, by_other ? EventLists::kWeaponKills : EventLists::kWeaponSuicides,
               weapon);
        Append(events_.locations,
               by_other ? EventLists::kLocationKills : EventLists::kLocationSuicides, location);
        Append(events_.game_types,
               by_other ? EventLists::kGameTypeKills : EventLists::kGameTypeSuicides,
               state.game_type);
      } else if (by_other) {
        ++row[kDamages];
        Append(events_.maps, EventLists::kMapDamages, state.map);
        Append(events_.weapons, EventLists::kWeaponDamages, weapon);
        Append(events_.locations, EventLists::kLocationDamages, location);
        Append(events_.game_types, EventLists::kGameTypeDamages, state.game_type);
      } else {
        ++row[kSelfDamages];
      }
    }
    const int a = Lookup(second_);
    if (a >= 0 && second_ != first_) {
      ++counters_.rows[static_cast<size_t>(a)][kill ? kKills : kIDamages];
    }
  }

  LogFile& log_;
  const NameForms& forms_;
  const KeyPool& pool_;
  const NameList& names_;
  PlayerCounters& counters_;
  EventLists& events_;
  std::vector<uint8_t>* unlisted_;
  int64_t last_lookup_ = -1;
  KeyId first_ = NameForms::kEmpty;
  KeyId second_ = NameForms::kEmpty;
};

}  // namespace

void CountPlayerStatistics(LogFile& log, const NameList& names, PlayerCounters& counters,
                           EventLists& events, const LineErrorReporter& report_error) {
  events.pool = log.Forms().shared_pool();
  StatisticsPass pass(log, names, counters, events);
  ScanEvents(log, pass, report_error);
}

namespace {

constexpr uint64_t kStatisticsStateVersion = 1;

uint64_t NameOptionBits(const LogFile& log) {
  return (log.IgnoreCase ? 1u : 0u) | (log.IgnoreColors ? 2u : 0u);
}

// Takes the kept state into `out` (names, counters, event lists), the log's TurnCount and
// HostName and `unlisted` when it covers the leading records of the log and no name the
// records after them list was met unlisted before; gives where the walk goes on, or nothing.
std::optional<uint32_t> ContinueStatistics(LogFile& log, std::string_view kept, LogStatistics& out,
                                           std::vector<uint8_t>& unlisted) {
  KeptReader in{kept};
  if (in.Number() != kStatisticsStateVersion || in.Number() != NameOptionBits(log)) {
    return std::nullopt;
  }
  const uint64_t position = in.Number();
  const uint64_t texts = in.Number();
  const uint64_t settings = in.Number();
  const uint64_t hash = in.Number();
  if (!in.ok || position > log.events().EndPosition() || texts > UINT32_MAX ||
      settings > UINT32_MAX) {
    return std::nullopt;
  }
  const std::optional<uint64_t> now =
      log.PrefixHash(static_cast<uint32_t>(position), static_cast<uint32_t>(texts),
                     static_cast<uint32_t>(settings));
  if (!now || *now != hash) return std::nullopt;
  const uint64_t turns = in.Number();
  const std::string_view host = in.Text();
  const KeyPool& pool = log.Forms().pool();
  auto key_of = [&](std::string_view text) {
    const KeyId key = in.ok ? pool.Find(text) : KeyPool::kNone;
    return key != KeyPool::kNone && key < unlisted.size() ? key : KeyPool::kNone;
  };
  const uint64_t names = in.Number();
  if (!in.Room(names, uint64_t{8} * (1 + kCounterCount))) return std::nullopt;
  std::vector<CounterRow> rows(static_cast<size_t>(names));
  for (uint64_t r = 0; r < names; ++r) {
    const KeyId key = key_of(in.Text());
    // The same leading records hold the same names: one missing is a state not of them.
    if (key == KeyPool::kNone || out.names.AddKey(key) != static_cast<int>(r)) return std::nullopt;
    for (int64_t& count : rows[static_cast<size_t>(r)]) count = static_cast<int64_t>(in.Number());
  }
  const uint64_t unlisted_count = in.Number();
  if (!in.Room(unlisted_count, 8)) return std::nullopt;
  for (uint64_t i = 0; i < unlisted_count; ++i) {
    const KeyId key = key_of(in.Text());
    if (key == KeyPool::kNone) return std::nullopt;
    unlisted[key] = 1;
  }
  for (CountedGroup* group :
       {&out.events.maps, &out.events.weapons, &out.events.locations, &out.events.game_types}) {
    if (!group->Load(in, pool)) return std::nullopt;
  }
  if (!in.ok || !in.in.empty()) return std::nullopt;

  // A name the new records list that the earlier ones met unlisted: those earlier records
  // count now, in the players table and in the event lists, so the whole log is walked.
  const size_t kept_names = out.names.size();
  AddNames(log, static_cast<uint32_t>(position), out.names);
  if (out.names.size() > kept_names) {
    std::vector<uint8_t> unlisted_folded(pool.FoldedCount(), 0);
    for (KeyId key = 0; key < unlisted.size(); ++key) {
      if (unlisted[key] != 0) unlisted_folded[pool.FoldedId(key)] = 1;
    }
    for (size_t r = kept_names; r < out.names.size(); ++r) {
      if (unlisted_folded[pool.FoldedId(pool.Find(out.names[r]))] != 0) return std::nullopt;
    }
  }
  rows.resize(out.names.size() + 1, CounterRow{});
  out.counters.rows = std::move(rows);
  log.TurnCount = static_cast<int32_t>(turns);
  log.HostName = std::string(host);
  return static_cast<uint32_t>(position);
}

// The state for the next run after a pass over the whole log; empty when its hash cannot be had.
std::string StatisticsState(const LogFile& log, const LogStatistics& stats,
                            const std::vector<uint8_t>& unlisted) {
  const EventStore& events = log.events();
  const EventStore::Mark here = events.Here();
  const uint32_t position = events.EndPosition();
  const std::optional<uint64_t> hash = log.PrefixHash(position, here.texts, here.settings);
  if (!hash) return {};
  std::string out;
  for (uint64_t n :
       {kStatisticsStateVersion, NameOptionBits(log), uint64_t{position}, uint64_t{here.texts},
        uint64_t{here.settings}, *hash, static_cast<uint64_t>(log.TurnCount)}) {
    PutKeptNumber(out, n);
  }
  PutKeptText(out, log.HostName);
  PutKeptNumber(out, stats.names.size());
  for (size_t r = 0; r < stats.names.size(); ++r) {
    PutKeptText(out, stats.names[r]);
    for (int64_t count : stats.counters.rows[r]) PutKeptNumber(out, static_cast<uint64_t>(count));
  }
  const KeyPool& pool = log.Forms().pool();
  std::vector<KeyId> met;
  for (KeyId key = 0; key < unlisted.size(); ++key) {
    if (unlisted[key] != 0 && stats.names.FindKey(key) < 0) met.push_back(key);
  }
  PutKeptNumber(out, met.size());
  for (KeyId key : met) PutKeptText(out, pool.Text(key));
  for (const CountedGroup* group : {&stats.events.maps, &stats.events.weapons,
                                    &stats.events.locations, &stats.events.game_types}) {
    group->Save(out, pool);
  }
  return out;
}

}  // namespace

LogStatistics CountLogStatistics(LogFile& log, std::string_view kept, std::string* next_kept,
                                 const LineErrorReporter& report_error) {
  LogStatistics out;
  std::vector<uint8_t> unlisted(log.Forms().pool().size(), 0);
  std::optional<uint32_t> from;
  if (!kept.empty()) {
    out.names = NameList(log.Forms().shared_pool());
    from = ContinueStatistics(log, kept, out, unlisted);
  }
  if (!from) {
    out = LogStatistics{};
    std::fill(unlisted.begin(), unlisted.end(), 0);
    out.names = BuildNameList(log);
    out.counters = PlayerCounters(out.names.size());
    log.TurnCount = 0;
    log.HostName.clear();
  }
  out.continued = from.has_value();
  out.events.pool = log.Forms().shared_pool();
  bool failed = false;
  const LineErrorReporter report = [&](const std::string& message) {
    failed = true;
    if (report_error) report_error(message);
  };
  StatisticsPass pass(log, out.names, out.counters, out.events, &unlisted);
  if (from) {
    ScanEventsFrom(log, *from, pass, report);
  } else {
    ScanEvents(log, pass, report);
  }
  if (next_kept != nullptr)
    *next_kept = failed ? std::string() : StatisticsState(log, out, unlisted);
  return out;
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

void CountedGroup::Add(size_t list, KeyId key, KeyId folded) {
  if (folded >= slot_.size()) slot_.resize(folded + 1, 0);
  if (slot_[folded] == 0) {
    cells_.resize(cells_.size() + lists_);
    slot_[folded] = static_cast<uint32_t>(cells_.size() - lists_ + 1);
  }
  Cell& cell = cells_[slot_[folded] - 1 + list];
  if (cell.count++ == 0) {
    cell.first_seq = next_seq_[list];
    cell.form = key;
  }
  ++next_seq_[list];
}

std::vector<CountedGroup::Row> CountedGroup::Rows() const {
  struct Order {
    size_t list;
    uint64_t seq;
    size_t slot;
  };
  std::vector<Order> order;
  order.reserve(cells_.size() / lists_);
  for (size_t slot = 0; slot < cells_.size(); slot += lists_) {
    size_t j = 0;
    while (cells_[slot + j].count == 0) ++j;  // every slot has an entry in some list
    order.push_back({j, cells_[slot + j].first_seq, slot});
  }
  std::sort(order.begin(), order.end(), [](const Order& a, const Order& b) {
    return a.list != b.list ? a.list < b.list : a.seq < b.seq;
  });
  std::vector<Row> rows;
  rows.reserve(order.size());
  for (const Order& o : order) {
    Row row{cells_[o.slot + o.list].form, std::vector<int64_t>(lists_)};
    for (size_t j = 0; j < lists_; ++j) row.counts[j] = cells_[o.slot + j].count;
    rows.push_back(std::move(row));
  }
  return rows;
}

void CountedGroup::Save(std::string& out, const KeyPool& pool) const {
  PutKeptNumber(out, lists_);
  for (uint64_t seq : next_seq_) PutKeptNumber(out, seq);
  PutKeptNumber(out, cells_.size() / lists_);
  for (const Cell& cell : cells_) {
    PutKeptNumber(out, static_cast<uint64_t>(cell.count));
    PutKeptNumber(out, cell.first_seq);
    PutKeptText(out, cell.count > 0 ? pool.Text(cell.form) : std::string_view());
  }
}

bool CountedGroup::Load(KeptReader& in, const KeyPool& pool) {
  if (in.Number() != lists_ || !cells_.empty()) return false;
  for (uint64_t& seq : next_seq_) seq = in.Number();
  const uint64_t slots = in.Number();
  if (!in.Room(slots, 24 * lists_)) return false;
  for (uint64_t slot = 0; slot < slots; ++slot) {
    KeyId folded = KeyPool::kNone;
    for (size_t j = 0; j < lists_; ++j) {
      Cell cell;
      cell.count = static_cast<int64_t>(in.Number());
      cell.first_seq = in.Number();
      const std::string_view form = in.Text();
      if (!in.ok || cell.count < 0) return false;
      if (cell.count > 0) {
        cell.form = pool.Find(form);
        if (cell.form == KeyPool::kNone) return false;
        const KeyId f = pool.FoldedId(cell.form);
        if (folded != KeyPool::kNone && f != folded) return false;
        folded = f;
      }
      cells_.push_back(cell);
    }
    // Every slot has an entry in some list, and one slot per folded key.
    if (folded == KeyPool::kNone) return false;
    if (folded >= slot_.size()) slot_.resize(folded + 1, 0);
    if (slot_[folded] != 0) return false;
    slot_[folded] = static_cast<uint32_t>(cells_.size() - lists_ + 1);
  }
  return in.ok;
}

void FillGlobalTable(ReportList& list, const CountedGroup& group, const KeyPool& pool,
                     const std::vector<TableCell>& layout, char decimal_separator) {
  const std::vector<CountedGroup::Row> rows = group.Rows();
  std::vector<int64_t> totals(group.ListCount(), 0);
  for (const auto& row : rows) {
    for (size_t j = 0; j < row.counts.size(); ++j) totals[j] += row.counts[j];
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
  for (const auto& row : rows) add_row(std::string(pool.Text(row.key)), row.counts);
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
      Columns(caption::kName, kAutoWidth,
              {caption::kKills, caption::kDeads, caption::kRatio, caption::kSuicides,
               caption::kIDamages, caption::kDamages, caption::kSelfDamages, caption::kWins,
               caption::kLoses, caption::kBelTicks, caption::kWeapon, caption::kSay,
               caption::kSayTeam, caption::kJoins, caption::kQuits, caption::kItems},
              kDefaultWidth));
}

ReportList MakeWeaponList() {
  return ReportList("ListViewWeapon",
                    Columns(caption::kWeapon, 200,
                            {caption::kKills, caption::kKillsPercent, caption::kSuicides,
                             caption::kDamages, caption::kPickUp},
                            55));
}

ReportList MakeMapsList() {
  return ReportList("ListViewMaps",
                    Columns(caption::kMap, 200,
                            {caption::kKills, caption::kKillsPercent, caption::kSuicides,
                             caption::kDamages, caption::kBelTicks},
                            55));
}

ReportList MakeGameTypeList() {
  return ReportList("ListViewGType", Columns(caption::kGameType, 200,
                                             {caption::kKills, caption::kKillsPercent,
                                              caption::kSuicides, caption::kDamages},
                                             55));
}

ReportList MakeAccuracyList() {
  return ReportList("ListViewAccuracy", Columns(caption::kBodyLocation, 200,
                                                {caption::kKills, caption::kKillsPercent,
                                                 caption::kDamages, caption::kDamagesPercent,
                                                 caption::kSuicides, caption::kSuicidesPercent},
                                                55));
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
