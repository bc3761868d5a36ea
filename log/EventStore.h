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
//   GameInit      map, game type, server name, game name ("gamename": which game of the
//                 family wrote the log), the date cvars (ClockCvars) (setting ids); the
//                 line's Unix-seconds stamp (UnixStamp), 0 when it has none
//   Join, Quit    name, GUID (setting id), slot (signed)
//   Say, SayTeam, Item            name
//   Action        name, action word (setting id)
//   WeaponPickUp  name, weapon
//   Damage, Kill  victim, attacker, weapon, location; then the means of death (setting id, low
//                 28 bits) with the victim's and attacker's team codes (2 bits each) above it;
//                 then the damage (low 16 bits) with the victim's and attacker's slots (signed
//                 bytes) above it.
//   Win, Loss     count, the names of fields 4, 6, ... up to the first empty one, the team
//                 of field 2 (setting id)
//   GameEnd       how (GameEndHow)
//   (skip)        header only: the number of other lines in its high 24 bits
// The most frequent kinds are mostly kept compact instead, their kind code with kCompactFlag:
//   WeaponPickUp  2 words: name | weapon << 16 (both ids under 65536)
//   Join, Quit    2 words: the code of the (name, GUID) pair (low 24 bits, at most 65536
//                 codes) | slot byte << 24
//   Damage, Kill  4 words: victim | attacker << 16 (ids under 65536); the codes of the weapon
//                 (12 bits), location (8) and means (8) with the team codes above them; the
//                 damage word as above.
// A code numbers the distinct values (pairs) of its field in the order full records introduce
// them, so the first record of each new value, and every record whose values do not fit, is
// full; a reader walking the records in order rebuilds the codes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <utility>
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

// One event as the passes see it. The ids of a compact record are decoded into the view
// itself; a copy's ids then point into the copy.
struct EventView {
  static constexpr size_t kHeldWords = 6;

  EventView() = default;
  EventView(const EventView& other) { *this = other; }
  EventView& operator=(const EventView& other) {
    if (this == &other) return *this;
    kind = other.kind;
    ids = other.ids;
    count = other.count;
    position = other.position;
    line = other.line;
    time = other.time;
    if (other.ids == other.held) {
      std::copy_n(other.held, kHeldWords, held);
      ids = held;
    }
    return *this;
  }

  LineKind kind;
  const uint32_t* ids;        // raw ids in record order (Win/Loss: the names)
  uint32_t count;             // Win/Loss: the number of names
  uint32_t position;          // word position of the record
  uint64_t line;              // 0-based index of the line in the log
  uint32_t time;              // the time stamp in seconds, EventStore::kNoTime when there is none
  uint32_t held[kHeldWords];  // a compact record's words as the full record has them
};

// Numbers the distinct raw ids of one field of the hit records in order of first use, up to
// `limit` codes; ids from kMaxId on get none (so the table by id stays small).
class HitCodes {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kMaxId = 1u << 20;

  explicit HitCodes(uint32_t limit) : limit_(limit) {}
  // The code of `id`, a new one when it has none yet and there is room (`fresh` is set then);
  // kNone when there is none.
  uint32_t Code(uint32_t id, bool& fresh) {
    if (id < code_of_.size() && code_of_[id] != 0) return code_of_[id] - 1u;
    if (ids_.size() == limit_ || id >= kMaxId) return kNone;
    if (id >= code_of_.size()) code_of_.resize(id + 1, 0);
    ids_.push_back(id);
    code_of_[id] = static_cast<uint16_t>(ids_.size());
    fresh = true;
    return static_cast<uint32_t>(ids_.size() - 1);
  }
  uint32_t Id(uint32_t code) const { return ids_[code]; }
  uint32_t size() const { return static_cast<uint32_t>(ids_.size()); }
  size_t MemoryBytes() const { return ids_.capacity() * 4 + code_of_.capacity() * 2; }

 private:
  uint32_t limit_;
  std::vector<uint32_t> ids_;      // by code
  std::vector<uint16_t> code_of_;  // by id: its code + 1, 0 for none
};

// Numbers the distinct (name, GUID) pairs of the join and quit records in order of first use,
// up to kLimit codes.
class PairCodes {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint32_t kLimit = 1u << 16;

  // The code of the pair, a new one when it has none yet and there is room (`fresh` is set
  // then); kNone when there is none.
  uint32_t Code(uint32_t name, uint32_t guid, bool& fresh) {
    const uint64_t key = uint64_t{name} << 32 | guid;
    if (const auto it = code_of_.find(key); it != code_of_.end()) return it->second;
    if (pairs_.size() == kLimit) return kNone;
    const auto code = static_cast<uint32_t>(pairs_.size());
    pairs_.push_back(key);
    code_of_.emplace(key, code);
    fresh = true;
    return code;
  }
  uint32_t Name(uint32_t code) const { return static_cast<uint32_t>(pairs_[code] >> 32); }
  uint32_t Guid(uint32_t code) const { return static_cast<uint32_t>(pairs_[code]); }
  uint32_t size() const { return static_cast<uint32_t>(pairs_.size()); }
  size_t MemoryBytes() const {
    return pairs_.capacity() * 8 + code_of_.size() * 32 + code_of_.bucket_count() * 8;
  }

 private:
  std::vector<uint64_t> pairs_;  // by code: name << 32 | GUID
  std::unordered_map<uint64_t, uint32_t> code_of_;
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

// The date cvars (setting id of a ClockCvars text) and the Unix-seconds stamp (0: none) of a
// game-initialisation event.
inline uint32_t GameInitClock(const EventView& e) { return e.ids[4]; }
inline uint32_t GameInitUnixStamp(const EventView& e) { return e.ids[5]; }
// The action word (setting id) of an action event.
inline uint32_t ActionWord(const EventView& e) { return e.ids[1]; }
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
  // How the texts and settings of another store are numbered here once interned: the ids of
  // `other` give the ids of this store.
  struct Renumbering {
    std::vector<uint32_t> texts, settings;
  };
  Renumbering Adopt(const EventStore& other);
  // Appends the records of `other` in [begin, end) (positions that start records, or its end;
  // at its end, the lines after its last record too), the ids renumbered by `ids` (Adopt of
  // `other`): pieces of several stores put together in another order.
  void AppendRange(const EventStore& other, const Renumbering& ids, uint32_t begin, uint32_t end);
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
  // The same for the records in [begin, end) (word positions that start records, or the end
  // of the store); their `line` counts from 0 at `begin`.
  template <typename F>
  void ForEachIn(uint32_t begin, uint32_t end, F&& f) const;
  // Where the records end: the position after the last one.
  uint32_t EndPosition() const { return static_cast<uint32_t>(words_.size()); }
  // A hash of the records before `position` and of the first `texts` texts and `settings`
  // settings: the same for the same events read again, different when any of them changed.
  // Nothing when the store holds fewer words or texts than asked for.
  std::optional<uint64_t> PrefixHash(uint32_t position, uint32_t texts, uint32_t settings) const;
  // Calls f(raw name id, position) for the player of every pick-up and action event and the
  // victim and attacker (once when the same) of every damage and kill event, in log order:
  // what the player index lists, without decoding whole events.
  template <typename F>
  void ForEachPlayerName(F&& f) const;
  EventView At(uint32_t position) const;

 private:
  friend class EventStoreFile;  // the event cache's writer and checked reader

  static constexpr uint32_t kSkipKind = 13;
  static constexpr uint32_t kMaxSkip = (1u << 24) - 1;
  // Marks the kind code of a compact record.
  static constexpr uint32_t kCompactFlag = 0x80;
  static constexpr uint32_t kCompactWords = 4;  // of a hit; pick-ups and joins take 2
  static constexpr uint32_t kHitWords = 7;      // the longest record with a compact form
  static constexpr uint32_t kPairMask = (1u << 24) - 1;
  static size_t RecordWords(const uint32_t* record);
  // The words of a record (after the header) that are ids of `texts_` and of `settings_`:
  // [first, last) ranges, so that copying a record between stores can renumber them.
  struct IdWords {
    size_t text_first, text_last, setting_first, setting_last;
  };
  static IdWords IdsOf(const uint32_t* record);
  static constexpr uint32_t kMeansMask = 0x0FFFFFFF;
  static bool IsHit(uint32_t kind_code) {
    return kind_code == static_cast<uint32_t>(LineKind::Damage) ||
           kind_code == static_cast<uint32_t>(LineKind::Kill);
  }
  // Codes the values of the full record `r` (header first), taking new codes for new values.
  // Returns the number of words of its compact form, written to `packed`, when the record is
  // to be kept compact: its kind has one, every value coded before and every id fits; else 0.
  uint32_t Compact(const uint32_t* r, uint32_t (&packed)[kCompactWords]);
  // Appends the full record `r` of `size` words, compact if it can be.
  void AppendRecord(const uint32_t* r, size_t size);
  // Fills `e` with the record at `position`.
  void Decode(uint32_t position, EventView& e) const;
  // The record at `r` as full words: `r` itself, or a compact record decoded into `scratch`.
  const uint32_t* FullRecord(const uint32_t* r, uint32_t (&scratch)[kHitWords]) const;
  void Append(std::initializer_list<uint32_t> words);
  void FlushSkips();
  // The header word of a record of `kind` for `line`.
  static uint32_t Header(LineKind kind, std::string_view line);
  void AddSkipped(uint64_t count);

  WordBuffer words_;
  TextPool texts_;     // names, weapons, locations as written
  TextPool settings_;  // maps, game types, server names as written
  std::vector<uint32_t> game_inits_;
  HitCodes weapons_{1u << 12};  // the codes of compact hit records
  HitCodes locations_{1u << 8};
  HitCodes means_{1u << 8};
  PairCodes joins_;             // the codes of compact join and quit records
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
  std::vector<uint8_t> bits_;    // by raw id: the Rice parameter of its list
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
  if ((r[0] & kCompactFlag) != 0) return IsHit(r[0] & 0x7F) ? kCompactWords : 2;
  switch (static_cast<LineKind>(r[0] & 0xFF)) {
    case LineKind::GameInit:
      return 7;
    case LineKind::Join:
    case LineKind::Quit:
      return 4;
    case LineKind::WeaponPickUp:
    case LineKind::Action:
      return 3;
    case LineKind::Damage:
    case LineKind::Kill:
      return kHitWords;
    case LineKind::Win:
    case LineKind::Loss:
      return 3 + r[1];
    case LineKind::Other:
      return 1;
    default:
      return (r[0] & 0xFF) == kSkipKind ? 1 : 2;
  }
}

// Of a full record only.
inline EventStore::IdWords EventStore::IdsOf(const uint32_t* r) {
  switch (static_cast<LineKind>(r[0] & 0xFF)) {
    case LineKind::GameInit:
      return {0, 0, 1, 6};
    case LineKind::Join:
    case LineKind::Quit:
      return {1, 2, 2, 3};
    case LineKind::WeaponPickUp:
      return {1, 3, 0, 0};
    case LineKind::Action:
      return {1, 2, 2, 3};
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

inline void EventStore::Decode(uint32_t position, EventView& e) const {
  const uint32_t* r = words_.data() + position;
  const uint32_t code = r[0] & 0xFF;
  e.time = r[0] >> 8;
  e.position = position;
  e.line = 0;
  e.count = 0;
  if ((code & kCompactFlag) != 0) {
    e.kind = static_cast<LineKind>(code & ~kCompactFlag);
    e.ids = e.held;
    switch (e.kind) {
      case LineKind::WeaponPickUp:
        e.held[0] = r[1] & 0xFFFF;
        e.held[1] = r[1] >> 16;
        return;
      case LineKind::Join:
      case LineKind::Quit:
        e.held[0] = joins_.Name(r[1] & kPairMask);
        e.held[1] = joins_.Guid(r[1] & kPairMask);
        e.held[2] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(r[1] >> 24)));
        return;
      default:
        e.held[0] = r[1] & 0xFFFF;
        e.held[1] = r[1] >> 16;
        e.held[2] = weapons_.Id(r[2] & 0xFFF);
        e.held[3] = locations_.Id((r[2] >> 12) & 0xFF);
        e.held[4] = means_.Id((r[2] >> 20) & 0xFF) | (r[2] & ~kMeansMask);
        e.held[5] = r[3];
        return;
    }
  }
  e.kind = static_cast<LineKind>(code);
  if (e.kind == LineKind::Win || e.kind == LineKind::Loss) {
    e.ids = r + 2;
    e.count = r[1];
  } else {
    e.ids = r + 1;
  }
}

inline EventView EventStore::At(uint32_t position) const {
  EventView e;
  Decode(position, e);
  return e;
}

template <typename F>
void EventStore::ForEach(F&& f) const {
  ForEachIn(0, static_cast<uint32_t>(words_.size()), std::forward<F>(f));
}

template <typename F>
void EventStore::ForEachIn(uint32_t begin, uint32_t end, F&& f) const {
  const uint32_t* w = words_.data();
  const size_t n = std::min<size_t>(end, words_.size());
  uint64_t line = 0;
  EventView e;
  for (size_t p = begin; p < n;) {
    const uint32_t code = w[p] & 0xFF;
    if (code == kSkipKind) {
      line += w[p] >> 8;
      ++p;
      continue;
    }
    Decode(static_cast<uint32_t>(p), e);
    e.line = line++;
    f(e);
    p += RecordWords(w + p);
  }
}

template <typename F>
void EventStore::ForEachPlayerName(F&& f) const {
  const uint32_t* w = words_.data();
  const size_t n = words_.size();
  for (size_t p = 0; p < n;) {
    const uint32_t code = w[p] & 0xFF;
    const auto position = static_cast<uint32_t>(p);
    if ((code & kCompactFlag) != 0) {
      const LineKind kind = static_cast<LineKind>(code & ~kCompactFlag);
      if (kind == LineKind::WeaponPickUp) {
        f(w[p + 1] & 0xFFFF, position);
        p += 2;
      } else if (kind == LineKind::Join || kind == LineKind::Quit) {
        p += 2;
      } else {
        f(w[p + 1] & 0xFFFF, position);
        if ((w[p + 1] & 0xFFFF) != w[p + 1] >> 16) f(w[p + 1] >> 16, position);
        p += kCompactWords;
      }
      continue;
    }
    switch (static_cast<LineKind>(code)) {
      case LineKind::WeaponPickUp:
      case LineKind::Action:
        f(w[p + 1], position);
        break;
      case LineKind::Damage:
      case LineKind::Kill:
        f(w[p + 1], position);
        if (w[p + 2] != w[p + 1]) f(w[p + 2], position);
        break;
      default:
        break;
    }
    p += RecordWords(w + p);
  }
}

}  // namespace barvik
