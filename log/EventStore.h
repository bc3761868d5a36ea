// EventStore: a log as compact events, built from its lines in one streaming pass. Each line
// that some pass uses becomes one record of 32-bit words: a header (the line kind and the time
// stamp) and the ids of the raw texts the line carries, interned as written: names, weapons
// and hit locations in one pool; the map, game type and server name of game-initialisation
// lines, GUIDs, means of death and W/L teams in another. Lines of other kinds are kept only as
// a count, so every event knows its line index. No text is normalised here: NameForms maps raw
// ids to the normalised keys of one name-option state.
//
// Records, after the header word (kind in the low 8 bits, the time stamp in seconds in the high
// 24 bits, saturated at kMaxTime, kNoTime when the line has none):
//   GameInit      map, game type, server name (setting ids)
//   Join, Quit    name, GUID (setting id), slot (signed)
//   Say, SayTeam, Item, Action    name
//   WeaponPickUp  name, weapon
//   Damage, Kill  victim, attacker, weapon, location; then the means of death (setting id, low
//                 28 bits) with the victim's and attacker's team codes (2 bits each) above it;
//                 then the damage (low 16 bits) with the victim's and attacker's slots (signed
//                 bytes) above it
//   Win, Loss     count, the names of fields 4, 6, ... up to the first empty one, the team
//                 of field 2 (setting id)
//   GameEnd       how (GameEndHow)
//   (skip)        header only: the number of other lines in its high 24 bits
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "log/KeyPool.h"
#include "log/LineFormat.h"
#include "log/LineKind.h"
#include "log/LogSource.h"
#include "log/TextPool.h"

namespace barvik {

// A growable array of words. Large buffers live in a mapping of their own that grows by
// remapping pages, so growing never copies the words nor holds two copies at once.
class WordBuffer {
 public:
  WordBuffer() = default;
  WordBuffer(WordBuffer&& other) noexcept { *this = std::move(other); }
  WordBuffer& operator=(WordBuffer&& other) noexcept;
  WordBuffer(const WordBuffer&) = delete;
  WordBuffer& operator=(const WordBuffer&) = delete;
  ~WordBuffer() { Release(); }

  void Append(const uint32_t* words, size_t count);
  // Makes room for `count` more words and returns where they go; their values are unset.
  uint32_t* Extend(size_t count);
  void Truncate(size_t size) { size_ = std::min(size, size_); }
  void ShrinkToFit();
  const uint32_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void Release() noexcept;
  // Moves the words into a mapping of `bytes` (whole pages) of their own, or grows it.
  void Map(size_t bytes);

  uint32_t* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool mapped_ = false;  // data_ is a mapping of capacity_ words, else from malloc
};

// One event as the passes see it.
struct EventView {
  LineKind kind;
  const uint32_t* ids;  // raw ids in record order (Win/Loss: the names)
  uint32_t count;       // Win/Loss: the number of names
  uint32_t position;    // word position of the record
  uint64_t line;        // 0-based index of the line in the log
  uint32_t time;        // the time stamp in seconds, EventStore::kNoTime when there is none
};

// The game fields of a damage or kill event.
struct HitFields {
  uint32_t means;        // setting id of the means of death
  uint32_t victim_team;  // team codes (TeamCodeOfField)
  uint32_t attacker_team;
  int victim_slot;  // kNoSlot when the field was not a slot number
  int attacker_slot;
  uint32_t damage;
};

inline HitFields ReadHitFields(const EventView& e) {
  const uint32_t a = e.ids[4];
  const uint32_t b = e.ids[5];
  return {a & 0x0FFFFFFF,
          (a >> 28) & 3,
          (a >> 30) & 3,
          static_cast<int8_t>((b >> 16) & 0xFF),
          static_cast<int8_t>(b >> 24),
          b & 0xFFFF};
}

// The GUID (setting id) and slot of a join or quit event.
inline uint32_t JoinGuid(const EventView& e) { return e.ids[1]; }
inline int JoinSlot(const EventView& e) { return static_cast<int32_t>(e.ids[2]); }
// The team (setting id) of a Win or Loss event.
inline uint32_t ResultTeam(const EventView& e) { return e.ids[e.count]; }

class EventStore {
 public:
  static constexpr uint32_t kEmptyText = 0;  // the raw id of the empty text
  static constexpr uint32_t kNoTime = (1u << 24) - 1;
  static constexpr uint32_t kMaxTime = kNoTime - 1;

  EventStore();
  EventStore(EventStore&&) = default;
  EventStore& operator=(EventStore&&) = default;

  // Appends the event of one line (the line itself is not kept).
  void AddLine(std::string_view line);
  // Gives back the growth reserve once all lines are in.
  void Finish();

  // A point in the building of the store, as the cache records it.
  struct Mark {
    uint64_t words = 0;
    uint64_t lines = 0;
    uint32_t texts = 0;
    uint32_t settings = 0;
    uint32_t skipped = 0;
  };
  Mark Here() const;
  // Appends the events of `other`, built from the lines that follow this store's, exactly as
  // adding those lines here would have: the same records, text ids and line numbers.
  void AppendStore(const EventStore& other);
  // The same records, texts and line count (tests and the fuzzer).
  bool SameAs(const EventStore& other) const;

  uint64_t LineCount() const { return lines_; }
  // True when some line is of a known kind and carries a text: a lone "D" between the NUL
  // bytes of a binary file reads as a damage line of empty fields, and says nothing.
  bool HasKnownLines() const;
  const TextPool& texts() const { return texts_; }
  const TextPool& settings() const { return settings_; }
  // Word positions of the game-initialisation records, in log order.
  const std::vector<uint32_t>& game_inits() const { return game_inits_; }
  // The line index of the record at `position` (walks the records from the start).
  uint64_t LineAt(uint32_t position) const;
  // Bytes held, for the benchmarks.
  size_t MemoryBytes() const;

  // Calls f(const EventView&) for every event in log order.
  template <typename F>
  void ForEach(F&& f) const;
  EventView At(uint32_t position) const;

 private:
  friend class EventStoreFile;  // the event cache's writer and checked reader

  static constexpr uint32_t kSkipKind = 13;
  static constexpr uint32_t kMaxSkip = (1u << 24) - 1;
  static size_t RecordWords(const uint32_t* record);
  // The words of a record (after the header) that are ids of `texts_` and of `settings_`:
  // [first, last) ranges, so that copying a record between stores can renumber them.
  struct IdWords {
    size_t text_first, text_last, setting_first, setting_last;
  };
  static IdWords IdsOf(const uint32_t* record);
  static constexpr uint32_t kMeansMask = 0x0FFFFFFF;
  void Append(std::initializer_list<uint32_t> words);
  void FlushSkips();
  // The header word of a record of `kind` for `line`.
  static uint32_t Header(LineKind kind, std::string_view line);
  void AddSkipped(uint64_t count);

  WordBuffer words_;
  TextPool texts_;     // names, weapons, locations as written
  TextPool settings_;  // maps, game types, server names as written
  std::vector<uint32_t> game_inits_;
  std::vector<uint32_t> team_;  // scratch for a Win/Loss line
  uint64_t lines_ = 0;
  uint32_t skipped_ = 0;  // other lines since the last record
};

// Turns each line into its event as it is read.
class EventBuilder : public LineSink {
 public:
  explicit EventBuilder(EventStore& store) : store_(store) {}
  void Line(std::string_view line) override { store_.AddLine(line); }

 private:
  EventStore& store_;
};

// The map and game type of events before the first game-initialisation line.
inline constexpr std::string_view kNotDefined = "NOT DEFINED";

// The normalised keys of one name-option state: every raw name, weapon and location text
// normalised (case folded, colour codes removed as the options say) and interned in one
// KeyPool, together with the setting texts as written, "NOT DEFINED" and the turn keys the
// scans add. Changing an option takes another NameForms, never another reading of the log.
class NameForms {
 public:
  static constexpr KeyId kEmpty = 0;  // the key of the empty text

  NameForms(const EventStore& store, bool ignore_case, bool ignore_colors);

  KeyId Name(uint32_t raw) const { return names_[raw]; }
  KeyId Setting(uint32_t raw) const { return settings_[raw]; }
  KeyId NotDefined() const { return not_defined_; }
  KeyPool& pool() const { return *pool_; }
  const std::shared_ptr<KeyPool>& shared_pool() const { return pool_; }
  // The raw ids whose normalised form is exactly `key`.
  std::span<const uint32_t> RawOf(KeyId key) const;

 private:
  std::shared_ptr<KeyPool> pool_;
  std::vector<KeyId> names_;     // by raw name id
  std::vector<KeyId> settings_;  // by raw setting id
  KeyId not_defined_;
  mutable std::vector<uint32_t> raw_start_;  // by key: where its raw ids begin in raw_ids_
  mutable std::vector<uint32_t> raw_ids_;
};

// For each raw name, the records in which it is the player of a pick-up or action line, or
// the victim or attacker of a damage or kill line: a player's scan visits only those.
class PlayerIndex {
 public:
  explicit PlayerIndex(const EventStore& store);
  // The positions of every raw id of `raws`, in log order, each once.
  std::vector<uint32_t> Merge(std::span<const uint32_t> raws) const;

 private:
  // Appends the positions of `raw`, in log order.
  void AppendPositions(uint32_t raw, std::vector<uint32_t>& out) const;

  std::vector<uint64_t> start_;  // by raw id: where its list begins in bytes_
  std::vector<uint8_t> bytes_;   // every raw id's positions, packed (see the constructor)
};

// The map, game type and turn at an event: what the game-initialisation lines before it set.
struct ScanState {
  KeyId map;
  KeyId game_type;
  int64_t turn = 0;
  uint32_t host = 0;  // raw setting id of the server name; valid once turn > 0
};

inline size_t EventStore::RecordWords(const uint32_t* r) {
  switch (static_cast<LineKind>(r[0] & 0xFF)) {
    case LineKind::GameInit:
    case LineKind::Join:
    case LineKind::Quit:
      return 4;
    case LineKind::WeaponPickUp:
      return 3;
    case LineKind::Damage:
    case LineKind::Kill:
      return 7;
    case LineKind::Win:
    case LineKind::Loss:
      return 3 + r[1];
    case LineKind::Other:
      return 1;
    default:
      return (r[0] & 0xFF) == kSkipKind ? 1 : 2;
  }
}

inline EventStore::IdWords EventStore::IdsOf(const uint32_t* r) {
  switch (static_cast<LineKind>(r[0] & 0xFF)) {
    case LineKind::GameInit:
      return {0, 0, 1, 4};
    case LineKind::Join:
    case LineKind::Quit:
      return {1, 2, 2, 3};
    case LineKind::WeaponPickUp:
      return {1, 3, 0, 0};
    case LineKind::Damage:
    case LineKind::Kill:
      return {1, 5, 5, 6};  // the means word also holds the team codes
    case LineKind::Win:
    case LineKind::Loss:
      return {2, 2 + size_t{r[1]}, 2 + size_t{r[1]}, 3 + size_t{r[1]}};
    case LineKind::GameEnd:
      return {0, 0, 0, 0};
    default:
      return (r[0] & 0xFF) == kSkipKind ? IdWords{0, 0, 0, 0} : IdWords{1, 2, 0, 0};
  }
}

inline EventView EventStore::At(uint32_t position) const {
  const uint32_t* r = words_.data() + position;
  const auto kind = static_cast<LineKind>(r[0] & 0xFF);
  const uint32_t time = r[0] >> 8;
  if (kind == LineKind::Win || kind == LineKind::Loss)
    return {kind, r + 2, r[1], position, 0, time};
  return {kind, r + 1, 0, position, 0, time};
}

template <typename F>
void EventStore::ForEach(F&& f) const {
  const uint32_t* w = words_.data();
  const size_t n = words_.size();
  uint64_t line = 0;
  for (size_t p = 0; p < n;) {
    if ((w[p] & 0xFF) == kSkipKind) {
      line += w[p] >> 8;
      ++p;
      continue;
    }
    EventView e = At(static_cast<uint32_t>(p));
    e.line = line++;
    f(e);
    p += RecordWords(w + p);
  }
}

}  // namespace barvik
