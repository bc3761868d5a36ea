#include "stats/Games.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "core/AtomicReplace.h"
#include "core/FileError.h"
#include "core/ScratchFile.h"
#include "core/StableHash.h"
#include "log/LineFormat.h"

namespace barvik {

std::string_view EndingName(GameEnding ending) {
  switch (ending) {
    case GameEnding::Exit:
      return "exit";
    case GameEnding::Restart:
      return "restart";
    case GameEnding::Shutdown:
      return "shutdown";
    case GameEnding::NextGame:
      return "next game";
    case GameEnding::EndOfLog:
      return "end of log";
  }
  return "end of log";
}

std::string ComparedName(std::string_view name) {
  std::string scratch;
  return std::string(NormaliseText(name, true, true, scratch));
}

namespace {

constexpr uint32_t kNoNode = UINT32_MAX;

// Numbers packed seven bits a byte, low bits first; a byte's top bit says another follows.
// Writes into room the caller made (at most kMostBytes a number), so that a number costs no
// check of a vector's room.
class NumberWriter {
 public:
  static constexpr size_t kMostBytes = 10;  // of a 64-bit number

  explicit NumberWriter(uint8_t* at) : at_(at) {}

  void Put(uint64_t value) {
    while (value >= 0x80) {
      *at_++ = static_cast<uint8_t>(value | 0x80);
      value >>= 7;
    }
    *at_++ = static_cast<uint8_t>(value);
  }
  uint8_t* end() const { return at_; }

 private:
  uint8_t* at_;
};

// Bytes packed one game at a time: room is made once and kept from game to game, so packing
// neither zero-fills nor grows a vector per part.
class PackBuffer {
 public:
  // Room for `most` more numbers; Done tells where they ended.
  NumberWriter Room(size_t most) {
    const size_t need = used_ + most * NumberWriter::kMostBytes;
    if (need > bytes_.size()) bytes_.resize(std::max(need, bytes_.size() * 2));
    return NumberWriter(bytes_.data() + used_);
  }
  void Done(const NumberWriter& writer) {
    used_ = static_cast<size_t>(writer.end() - bytes_.data());
  }
  std::string_view bytes() const { return {reinterpret_cast<const char*>(bytes_.data()), used_}; }
  void Clear() { used_ = 0; }

 private:
  std::vector<uint8_t> bytes_;
  size_t used_ = 0;
};

uint64_t GetNumber(const uint8_t*& from) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t byte = *from++;
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return value;
  }
}

uint32_t GetNumber32(const uint8_t*& from) { return static_cast<uint32_t>(GetNumber(from)); }
constexpr int kSlots = 128;             // slots 0..127; negative slots are the world and vehicles
constexpr uint32_t kShortestGame = 60;  // seconds: a shorter piece is a restart or a warm-up

bool TiesByGuid(std::string_view guid) {
  return guid.size() >= 6 && guid.find_first_not_of('0') != std::string_view::npos;
}

// A time a node was in a game under a slot: [from, to) in seconds since the game's start.
struct Presence {
  uint32_t game;
  int slot;
  uint32_t from, to;
};

// A node's presences while the log is read, a few bytes each: every one but the last is packed
// as the next begins; the last stays open, so that the node's next stay in the same game and
// slot can widen it.
class PresenceLog {
 public:
  void Add(const Presence& p) {
    if (count_ > 0 && last_.game == p.game && last_.slot == p.slot) {
      last_.from = std::min(last_.from, p.from);
      last_.to = std::max(last_.to, p.to);
      return;
    }
    if (count_ > 0) Pack(last_);
    last_ = p;
    ++count_;
  }

  // Every presence in the order added; the log is left empty.
  std::vector<Presence> Take() {
    std::vector<Presence> all;
    all.reserve(count_);
    const uint8_t* at = bytes_.data();
    uint32_t game = 0;
    for (uint32_t i = 1; i < count_; ++i) {
      Presence p{};
      game += GetNumber32(at);
      p.game = game;
      p.slot = static_cast<int>(GetNumber32(at));
      p.from = GetNumber32(at);
      p.to = p.from + GetNumber32(at);
      all.push_back(p);
    }
    if (count_ > 0) all.push_back(last_);
    std::vector<uint8_t>().swap(bytes_);
    count_ = 0;
    packed_game_ = 0;
    return all;
  }

 private:
  // Games rise and `to` is above `from`; slots are those of players (0 and up).
  void Pack(const Presence& p) {
    std::array<uint8_t, 4 * NumberWriter::kMostBytes> bytes;
    NumberWriter out(bytes.data());
    out.Put(p.game - packed_game_);
    packed_game_ = p.game;
    out.Put(static_cast<uint32_t>(p.slot));
    out.Put(p.from);
    out.Put(p.to - p.from);
    bytes_.insert(bytes_.end(), bytes.data(), out.end());
  }

  std::vector<uint8_t> bytes_;  // all but the last
  Presence last_{};
  uint32_t count_ = 0;
  uint32_t packed_game_ = 0;  // the game of the last one packed
};

// A node is what the names of the log stand for before people are found: one per compared
// name, and one per stay of a nameless player (a default or blank name) and of a name that two
// slots of one game showed at the same time (two people may share a name).
struct Node {
  KeyId key = 0;
  uint32_t game = 0;  // for a stay node: where it was
  int slot = kNoSlot;
  bool stay = false;
  bool nameless = false;     // a stay under a default or blank name: no person, joined to none
  uint32_t parts = 0;        // the games it has a part in (a node left with none is no one)
  PresenceLog presence_log;  // while the log is read
  std::vector<Presence> presences;  // from presence_log, for finding people
};

using Intervals = std::vector<std::pair<uint32_t, uint32_t>>;  // [from, to) in seconds

constexpr uint32_t kNotInPlay = UINT32_MAX;
constexpr uint32_t kFullHealth = 100;

// One node's part in the current game.
struct NodePart {
  uint32_t node = kNoNode;
  Participant stats;  // person, seconds, played_seconds, first_at and last_at unset
  Intervals intervals;
  Intervals played;                 // his lives so far
  uint32_t life_from = kNotInPlay;  // when his current life began
  uint32_t health = kFullHealth;    // what the hits of this life left him
  uint64_t life_damage = 0;         // damage dealt since his last death
  // Damage dealt to any other person, the figures of a free-for-all: whether the game is one
  // may be known only at its end.
  uint64_t ffa_dealt = 0, ffa_life_damage = 0, ffa_most_life_damage = 0;
};

// A finished game's node part as read back from its packed form: the times of his stays
// joined where they meet, which covers the same seconds as the stays.
struct FinishedPart {
  uint32_t node = kNoNode;
  Participant stats;    // person, seconds, played_seconds, first_at and last_at unset
  bool stayed = false;  // some stay (possibly of no length) was recorded
  uint32_t first_at = 0, last_at = 0;
};

// Sorts the intervals and joins those of positive length where they overlap or meet, in place.
void JoinIntervals(Intervals& list) {
  if (!std::is_sorted(list.begin(), list.end())) std::sort(list.begin(), list.end());
  size_t joined = 0;
  for (const auto& [from, to] : list) {
    if (to <= from) continue;
    if (joined > 0 && from <= list[joined - 1].second) {
      list[joined - 1].second = std::max(list[joined - 1].second, to);
    } else {
      list[joined++] = {from, to};
    }
  }
  list.resize(joined);
}

// Packs a finished game's part: a few dozen bytes instead of a record with its own list.
void PackPart(NodePart& part, PackBuffer& into) {
  const Participant& s = part.stats;
  Intervals& list = part.intervals;
  const bool stayed = !list.empty();
  uint32_t first = 0, last = 0;
  if (stayed) {
    if (!std::is_sorted(list.begin(), list.end())) std::sort(list.begin(), list.end());
    first = list.front().first;
    for (const auto& interval : list) last = std::max(last, interval.second);
    JoinIntervals(list);
  }
  JoinIntervals(part.played);
  const auto slots = static_cast<uint64_t>(std::popcount(s.slot_bits[0])) +
                     static_cast<uint64_t>(std::popcount(s.slot_bits[1]));
  NumberWriter out = into.Room(2 + slots + s.team_seconds.size() + 9 + 3 + 2 * list.size() + 4 +
                               2 * part.played.size() + 2 * s.actions.size());
  out.Put(part.node);
  out.Put(slots);
  for (size_t word = 0; word < s.slot_bits.size(); ++word) {
    for (uint64_t bits = s.slot_bits[word]; bits != 0; bits &= bits - 1)
      out.Put(word * 64 + static_cast<uint64_t>(std::countr_zero(bits)));
  }
  for (uint32_t t : s.team_seconds) out.Put(t);
  for (uint64_t figure : {uint64_t{s.kills}, uint64_t{s.deaths}, uint64_t{s.suicides},
                          uint64_t{s.team_kills}, uint64_t{s.world_deaths}, uint64_t{s.head_shots},
                          s.damage_dealt, s.damage_taken, s.most_life_damage})
    out.Put(figure);
  if (!stayed) {
    out.Put(0);
  } else {
    out.Put(list.size() + 1);
    out.Put(first);
    out.Put(last - first);
    uint32_t reach = first;
    for (const auto& [from, to] : list) {
      out.Put(from - reach);
      out.Put(to - from);
      reach = to;
    }
  }
  out.Put(s.longest_life);
  out.Put(s.shortest_life == kNoLife ? 0 : uint64_t{s.shortest_life} + 1);
  out.Put(part.played.size());
  uint32_t reach = 0;
  for (const auto& [from, to] : part.played) {
    out.Put(from - reach);
    out.Put(to - from);
    reach = to;
  }
  out.Put(s.actions.size());
  for (const ActionCount& a : s.actions) {
    out.Put(a.word);
    out.Put(a.count);
  }
  into.Done(out);
}

// Reads back a part PackPart wrote, appending its joined stays to `intervals` and his lives
// to `played`.
FinishedPart UnpackPart(const uint8_t*& from, Intervals& intervals, Intervals& played) {
  FinishedPart part;
  Participant& s = part.stats;
  part.node = GetNumber32(from);
  for (uint64_t n = GetNumber(from); n > 0; --n) {
    const uint64_t slot = GetNumber(from);
    s.slot_bits[slot / 64] |= uint64_t{1} << (slot % 64);
  }
  for (uint32_t& t : s.team_seconds) t = GetNumber32(from);
  for (uint32_t* figure :
       {&s.kills, &s.deaths, &s.suicides, &s.team_kills, &s.world_deaths, &s.head_shots})
    *figure = GetNumber32(from);
  s.damage_dealt = GetNumber(from);
  s.damage_taken = GetNumber(from);
  s.most_life_damage = GetNumber(from);
  const uint64_t stays = GetNumber(from);
  if (stays > 0) {
    part.stayed = true;
    part.first_at = GetNumber32(from);
    part.last_at = part.first_at + GetNumber32(from);
    uint32_t reach = part.first_at;
    for (uint64_t i = 1; i < stays; ++i) {
      const uint32_t begin = reach + GetNumber32(from);
      reach = begin + GetNumber32(from);
      intervals.emplace_back(begin, reach);
    }
  }
  s.longest_life = GetNumber32(from);
  const uint64_t shortest = GetNumber(from);
  s.shortest_life = shortest == 0 ? kNoLife : static_cast<uint32_t>(shortest - 1);
  uint32_t reach = 0;
  for (uint64_t lives = GetNumber(from); lives > 0; --lives) {
    const uint32_t begin = reach + GetNumber32(from);
    reach = begin + GetNumber32(from);
    played.emplace_back(begin, reach);
  }
  s.actions.resize(GetNumber(from));
  for (ActionCount& a : s.actions) {
    a.word = GetNumber32(from);
    a.count = GetNumber32(from);
  }
  return part;
}

// The finished games' packed parts, in the order of the games, from the moment each game ends
// until the people are known. On a long log they are most of the builder's memory, so they
// are set aside in a scratch file in chunks of whole games; a chunk the file does not take, and
// the last one, stay in memory. Read back in the order written, a chunk at a time.
class PackedGames {
 public:
  explicit PackedGames(const GamesScratch& scratch)
      : file_(scratch.folder), held_bytes_(scratch.held_bytes) {}

  // The next game's parts.
  void Add(std::string_view packed) {
    if (chunks_.empty() || chunks_.back().sealed) {
      chunks_.emplace_back();
      chunks_.back().first_game = games_.size();
    }
    Chunk& chunk = chunks_.back();
    chunk.held += packed;
    games_.push_back(chunk.held.size());
    if (chunk.held.size() < held_bytes_) return;
    chunk.sealed = true;
    if (const std::optional<uint64_t> at = file_.Append(chunk.held)) {
      chunk.file_at = *at;
      chunk.length = chunk.held.size();
      std::string().swap(chunk.held);
    } else {
      chunk.held.shrink_to_fit();  // held to the end: without its growth room
    }
  }

  // Game `game`'s parts; from game 0 up, each once. What came before it is let go. Throws
  // FileError when the scratch file cannot be read back.
  std::string_view Game(size_t game) {
    while (next_chunk_ < chunks_.size() && chunks_[next_chunk_].first_game <= game) {
      if (next_chunk_ > 0) std::string().swap(chunks_[next_chunk_ - 1].held);
      Chunk& chunk = chunks_[next_chunk_++];
      errno = 0;
      if (chunk.length > 0 && !ReadFileAt(file_.fd(), chunk.file_at, chunk.length, chunk.held)) {
        throw FileError("Cannot read back the games set aside in a temporary file",
                        errno != 0 ? std::strerror(errno) : "it is shorter than written");
      }
    }
    const Chunk& chunk = chunks_[next_chunk_ - 1];
    const size_t begin = game > chunk.first_game ? games_[game - 1] : 0;
    return std::string_view(chunk.held).substr(begin, games_[game] - begin);
  }

 private:
  struct Chunk {
    size_t first_game = 0;
    std::string held;      // the games' bytes while in memory
    bool sealed = false;   // no more games go into it
    uint64_t file_at = 0;  // where it lies in the scratch file, when it is there
    uint64_t length = 0;   // 0 when it is not
  };

  ScratchFile file_;
  size_t held_bytes_;
  std::vector<Chunk> chunks_;
  std::vector<size_t> games_;  // by game: the end of its bytes in its chunk
  size_t next_chunk_ = 0;      // the next chunk Game reads
};

// A stay of a node in a slot (or without one) in the current game.
struct Stay {
  uint32_t node = kNoNode;
  KeyId key = 0;      // the node's compared name
  uint32_t part = 0;  // the node's part in the game (an index into its parts)
  uint32_t from = 0;
  uint32_t team = kNoTeam;
  uint32_t team_since = 0;  // when his time on `team` began
  uint32_t team_seen = 0;   // his last line on `team`
  // What a stay of a slot tied to its node, undone when a second slot shows the same name and
  // the stay gets a node of its own: the lines counted under its first spelling, the rename
  // that began it and the GUID of its join (indexes into the builder's lists, or UINT32_MAX).
  uint32_t raw = 0;
  uint32_t lines = 0;
  uint32_t rename = UINT32_MAX;
  uint32_t guid = UINT32_MAX;  // setting id
  uint32_t guid_tie = UINT32_MAX;
};

// A well-mixed hash of a number: every bit of the result depends on every bit of `x`.
uint64_t Mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDu;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53u;
  x ^= x >> 33;
  return x;
}

// An index from items to their ids (0, 1, ...) by a hash of each item, with open addressing.
// The items themselves stay in the caller's array, so a slot holds 8 bytes.
class IdIndex {
 public:
  // The id of the item `same(id)` accepts among those whose hash is `hash`; if none, `fresh`
  // is added as that item's id and returned.
  template <typename Same>
  uint32_t FindOrAdd(uint64_t hash, uint32_t fresh, Same&& same) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const auto h = static_cast<uint32_t>(hash);
    for (size_t at = h & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1)) {
      Slot& slot = slots_[at];
      if (slot.id == 0) {
        slot = {h, fresh + 1};
        ++count_;
        return fresh;
      }
      if (slot.hash == h && same(slot.id - 1)) return slot.id - 1;
    }
  }

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t id = 0;  // id + 1; 0: the slot is empty
  };
  void Grow() {
    std::vector<Slot> old(std::max<size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.id == 0) continue;
      size_t at = slot.hash & (slots_.size() - 1);
      while (slots_[at].id != 0) at = (at + 1) & (slots_.size() - 1);
      slots_[at] = slot;
    }
  }

  std::vector<Slot> slots_;  // a power of two of them, at most half in use
  size_t count_ = 0;
};

// The stays without a slot of the current game, by compared name: found through an index by
// name, dropped by moving the last stay into the gap (their order means nothing).
class SlotlessStays {
 public:
  explicit SlotlessStays(size_t keys) : at_(keys, 0) {}

  Stay* Find(KeyId key) {
    const uint32_t at = at_[key];
    return at == 0 ? nullptr : &stays_[at - 1].second;
  }
  void Add(KeyId key, const Stay& stay) {
    stays_.emplace_back(key, stay);
    at_[key] = static_cast<uint32_t>(stays_.size());
  }
  void Drop(KeyId key) {
    const uint32_t at = at_[key] - 1;
    if (at + 1 != stays_.size()) {
      stays_[at] = stays_.back();
      at_[stays_[at].first] = at + 1;
    }
    stays_.pop_back();
    at_[key] = 0;
  }
  // Calls close(Stay&) on each stay, then drops them all.
  template <typename F>
  void Clear(F&& close) {
    for (auto& [key, stay] : stays_) {
      close(stay);
      at_[key] = 0;
    }
    stays_.clear();
  }

 private:
  std::vector<uint32_t> at_;  // by key: its stay's index + 1, 0 when it has none
  std::vector<std::pair<KeyId, Stay>> stays_;
};

// Union-find over nodes with the lists of presences kept at each root, so a union can be
// refused when the two sides were in one game at the same time in different slots.
class Groups {
 public:
  explicit Groups(std::vector<Node>& nodes) : nodes_(nodes), parent_(nodes.size()) {
    std::iota(parent_.begin(), parent_.end(), 0u);
    forbidden_.resize(nodes.size());
  }

  uint32_t Find(uint32_t x) {
    while (parent_[x] != x) {
      parent_[x] = parent_[parent_[x]];
      x = parent_[x];
    }
    return x;
  }

  // Keeps a and b apart from now on (the people file's "different").
  void Forbid(uint32_t a, uint32_t b) {
    forbidden_[a].push_back(b);
    forbidden_[b].push_back(a);
  }

  // Joins the groups of a and b unless they overlap in some game (when `check`) or were
  // declared different. Returns whether they are one group now.
  bool Join(uint32_t a, uint32_t b, bool check) {
    a = Find(a);
    b = Find(b);
    if (a == b) return true;
    if (Forbidden(a, b)) return false;
    if (check && Overlap(nodes_[a].presences, nodes_[b].presences)) return false;
    // The longer list takes the shorter one in. (A person's id comes from his earliest node,
    // whichever is the root.)
    if (nodes_[a].presences.size() < nodes_[b].presences.size()) std::swap(a, b);
    auto& into = nodes_[a].presences;
    auto& from = nodes_[b].presences;
    const size_t middle = into.size();
    // Grown by a quarter at a time, not doubled: these lists are the most memory the search of
    // people holds, and they are held beside every game's packed parts.
    if (const size_t need = middle + from.size(); need > into.capacity())
      into.reserve(std::max(need, into.capacity() + into.capacity() / 4));
    into.insert(into.end(), from.begin(), from.end());
    std::inplace_merge(into.begin(), into.begin() + static_cast<std::ptrdiff_t>(middle), into.end(),
                       Earlier);
    from.clear();
    from.shrink_to_fit();
    forbidden_[a].insert(forbidden_[a].end(), forbidden_[b].begin(), forbidden_[b].end());
    forbidden_[b].clear();
    parent_[b] = a;
    return true;
  }

 private:
  static bool Earlier(const Presence& x, const Presence& y) {
    return std::tie(x.game, x.from) < std::tie(y.game, y.from);
  }

  bool Forbidden(uint32_t a, uint32_t b) {
    for (uint32_t f : forbidden_[a]) {
      if (Find(f) == b) return true;
    }
    for (uint32_t f : forbidden_[b]) {
      if (Find(f) == a) return true;
    }
    return false;
  }

  // Whether the two lists (each sorted by game) hold presences in one game, in different
  // slots, at overlapping times.
  static bool Overlap(const std::vector<Presence>& x, const std::vector<Presence>& y) {
    size_t j0 = 0;
    for (const Presence& p : x) {
      while (j0 < y.size() && y[j0].game < p.game) ++j0;
      for (size_t j = j0; j < y.size() && y[j].game == p.game; ++j) {
        const Presence& q = y[j];
        if (q.slot != p.slot && p.from < q.to && q.from < p.to) return true;
      }
    }
    return false;
  }

  std::vector<Node>& nodes_;
  std::vector<uint32_t> parent_;
  std::vector<std::vector<uint32_t>> forbidden_;
};

class GameBuilder {
 public:
  GameBuilder(const EventStore& store, const NameForms& forms, const GamesScratch& scratch,
              const std::vector<std::string>& default_names)
      : packed_parts(scratch), store_(store), forms_(forms), slotless_(forms.pool().size()) {
    name_node_.assign(forms.pool().size(), kNoNode);
    slot_of_key_.assign(forms.pool().size(), -1);
    open_slots_of_key_.assign(forms.pool().size(), 0);
    shared_in_game_.assign(forms.pool().size(), 0);
    raw_counts.assign(store.texts().size(), 0);
    nameless_key_.assign(forms.pool().size(), false);
    for (KeyId key = 0; key < forms.pool().size(); ++key)
      nameless_key_[key] = forms.pool().Text(key).empty();
    for (const std::string& name : default_names) {
      const KeyId key = forms.pool().Find(ComparedName(name));
      if (key != KeyPool::kNone && key < nameless_key_.size()) nameless_key_[key] = true;
    }
  }

  void Run() {
    store_.ForEach([&](const EventView& e) { Event(e); });
    if (in_game_) EndGame(GameEnding::EndOfLog, store_.Here().words);
  }

  std::vector<Node> nodes;
  std::vector<Game> games;
  PackedGames packed_parts;  // by game: its node parts, PackPart's
  std::vector<std::pair<uint32_t, uint32_t>> renames;
  std::vector<uint32_t> winner_node;                         // by game
  std::vector<std::vector<uint32_t>> won_nodes, lost_nodes;  // by game: named by W / L lines
  std::unordered_map<uint32_t, uint32_t> guid_node;          // GUID setting id -> first node
  std::vector<std::pair<uint32_t, uint32_t>> guid_ties;
  // Lines per raw spelling under its name's node, and per (node, raw spelling) under others.
  std::vector<uint64_t> raw_counts;
  std::vector<std::pair<uint64_t, uint64_t>> spelling_counts;  // (node << 32) | raw, lines
  std::vector<uint32_t> name_node_;                            // by compared key

 private:
  void Event(const EventView& e) {
    // A damage line counts once the next line shows it was not the killing hit again.
    if (pending_.held) {
      pending_.held = false;
      if (e.kind != LineKind::Kill || !pending_.RepeatedBy(e)) ApplyDamage(pending_);
    }
    if (e.kind == LineKind::GameInit) {
      if (in_game_ && ContinuesGame(e)) {
        NextRound(e);
        return;
      }
      if (in_game_) EndGame(GameEnding::NextGame, e.position);
      StartGame(e);
      return;
    }
    if (!in_game_) return;  // before the first game
    Tick(e.time);
    switch (e.kind) {
      case LineKind::Join: {
        const int slot = JoinSlot(e);
        const uint32_t node = slot >= 0 ? Open(slot, e.ids[0]) : SeeByName(e.ids[0]);
        if (node != kNoNode) Guid(node, JoinGuid(e), slot >= 0 ? &slots_[slot] : nullptr);
        break;
      }
      case LineKind::Quit: {
        const int slot = JoinSlot(e);
        const KeyId key = forms_.Name(e.ids[0]);
        if (slot >= 0 && slots_[slot].node != kNoNode) {
          CountIn(slots_[slot], e.ids[0]);
          Close(slots_[slot], slot);
        } else if (Stay* stay = slotless_.Find(key)) {
          CountIn(*stay, e.ids[0]);
          Close(*stay, kNoSlot);
          slotless_.Drop(key);
        }
        break;
      }
      case LineKind::Say:
      case LineKind::SayTeam:
        SeeByName(e.ids[0]);
        break;
      case LineKind::Item:
      case LineKind::WeaponPickUp:
        if (const uint32_t node = SeeByName(e.ids[0]); node != kNoNode) InPlay(node);
        break;
      case LineKind::Action:
        if (const uint32_t node = SeeByName(e.ids[0]); node != kNoNode) {
          InPlay(node);
          AddAction(PartOf(node).stats.actions, ActionWord(e));
        }
        break;
      case LineKind::Damage:
      case LineKind::Kill:
        Hit(e);
        break;
      case LineKind::Win:
      case LineKind::Loss:
        for (uint32_t i = 0; i < e.count; ++i) {
          const uint32_t node = NodeOfName(e.ids[i]);
          if (node != kNoNode)
            (e.kind == LineKind::Win ? won_nodes : lost_nodes).back().push_back(node);
        }
        if (e.kind == LineKind::Win && e.count > 0) {
          const uint32_t team = TeamCodeOfField(store_.settings().Text(ResultTeam(e)));
          game_.winner_team = team;
          round_winner_ = team;
          winner_node.back() = team == kNoTeam ? NodeOfName(e.ids[0]) : kNoNode;
          last_win_node_ = NodeOfName(e.ids[0]);
        }
        break;
      case LineKind::GameEnd:
        if (!ended_) {
          ended_ = true;
          ending_ = static_cast<GameEndHow>(e.ids[0]) == GameEndHow::Exit ? GameEnding::Exit
                    : static_cast<GameEndHow>(e.ids[0]) == GameEndHow::Restart
                        ? GameEnding::Restart
                        : GameEnding::Shutdown;
          end_raw_ = last_raw_;
          end_at_ = now_;
        }
        break;
      default:
        break;
    }
  }

  void StartGame(const EventView& e) {
    in_game_ = true;
    ended_ = false;
    have_time_ = false;
    now_ = 0;
    game_ = Game{};
    game_.number = static_cast<uint32_t>(games.size() + 1);
    game_.map = e.ids[0];
    game_.game_type = e.ids[1];
    game_.server = e.ids[2];
    game_.first_position = e.position;
    ffa_type_ = store_.settings().Text(e.ids[1]) == "dm";
    kills_between_people_ = kills_with_teams_ = false;
    rounds_ = 0;
    round_from_ = 0;
    round_kills_ = 0;
    round_winner_ = kNoTeam;
    Tick(e.time);
    game_.start = have_time_ ? last_raw_ : 0;
    for (Stay& s : slots_) s = Stay{};
    part_count_ = 0;
    game_.kills.SetHows(hows_);
    winner_node.push_back(kNoNode);
    last_win_node_ = kNoNode;
    won_nodes.emplace_back();
    lost_nodes.emplace_back();
  }

  void EndGame(GameEnding ending, uint32_t end_position) {
    FlushDamage();
    if (!ended_) {
      ending_ = ending;
      end_raw_ = last_raw_;
      end_at_ = now_;
    }
    game_.ending = ending_;
    game_.end = have_time_ ? end_raw_ : 0;
    game_.seconds = end_at_;
    game_.end_position = end_position;
    // Every stay still open ends with the game.
    now_ = std::max(now_, end_at_);
    EndRound(end_at_);
    game_.rounds = std::max<uint32_t>(rounds_, 1);
    if (rounds_ <= 1) game_.round_wins = {};  // a game of one round has its result alone
    if (rounds_ > 1) {
      // A match of rounds goes to the team that won the most of them; a draw to nobody.
      const auto& wins = game_.round_wins;
      const uint32_t allies = wins[TeamCodeOfField("allies")];
      const uint32_t axis = wins[TeamCodeOfField("axis")];
      game_.winner_team = allies > axis   ? TeamCodeOfField("allies")
                          : axis > allies ? TeamCodeOfField("axis")
                                          : kNoTeam;
    }
    game_.ffa = ffa_type_ || (kills_between_people_ && !kills_with_teams_);
    if (game_.ffa) {
      // A free-for-all is won by a person: the first named by its last W line, whatever team
      // that line names.
      if (game_.winner_team != kNoTeam) winner_node.back() = last_win_node_;
      game_.winner_team = kNoTeam;
      game_.round_wins = {};
      // In a free-for-all the sides the lines name are those of the players' models.
      for (size_t i = 0; i < part_count_; ++i) {
        NodePart& part = parts_[i];
        part.stats.damage_dealt = part.ffa_dealt;
        part.stats.most_life_damage = part.ffa_most_life_damage;
        part.stats.team_seconds = {};
      }
    }
    // Packed, and held or set aside until the people are known.
    for (size_t i = 0; i < part_count_; ++i) PackPart(parts_[i], pack_);
    packed_parts.Add(pack_.bytes());
    pack_.Clear();
    game_.kills.ShrinkToFit();
    games.push_back(std::move(game_));
    in_game_ = false;
  }

  // Follows the clock: seconds since the game's start, never running back.
  void Tick(uint32_t time) {
    if (time == EventStore::kNoTime) return;
    if (!have_time_) {
      have_time_ = true;
    } else if (time >= last_raw_) {
      now_ += time - last_raw_;
    }
    last_raw_ = time;
  }

  uint32_t NewNode(KeyId key, int slot) {
    Node n;
    n.key = key;
    n.game = static_cast<uint32_t>(games.size());
    n.slot = slot;
    nodes.push_back(std::move(n));
    return static_cast<uint32_t>(nodes.size() - 1);
  }

  uint32_t NewStayNode(KeyId key, int slot) {
    const uint32_t n = NewNode(key, slot);
    nodes[n].stay = true;
    return n;
  }

  // The node a name stands for when it starts a stay in `slot` now. A name that two slots
  // show at once is no one's in particular for the rest of the game: each of its stays gets a
  // node of its own, that of the first slot too (SplitStay), and only a rename, a GUID or the
  // people file ties them to anyone.
  uint32_t NodeFor(KeyId key, int slot) {
    if (nameless_key_[key]) {
      const uint32_t n = NewStayNode(key, slot);
      nodes[n].nameless = true;
      return n;
    }
    const uint32_t game = static_cast<uint32_t>(games.size()) + 1;
    if (shared_in_game_[key] == game) return NewStayNode(key, slot);
    const int other = slot_of_key_[key];
    if (other >= 0 && other != slot) {
      shared_in_game_[key] = game;
      if (slots_[other].node == name_node_[key]) SplitStay(slots_[other]);
      return NewStayNode(key, slot);
    }
    uint32_t& named = name_node_[key];
    if (named == kNoNode) named = NewNode(key, kNoSlot);
    return named;
  }

  // Gives the open stay of a slot, until now its name's node, a node of its own: its part in
  // this game, the lines of its first spelling, the rename that began it and its GUID go with
  // it. (A part the name had in this game before the stay goes with it too.)
  void SplitStay(Stay& stay) {
    const uint32_t from = stay.node;
    const uint32_t to = NewStayNode(stay.key, static_cast<int>(&stay - slots_.data()));
    Part(to);  // sizes the part tables; the part made is given back below
    --part_count_;
    part_index_[to] = part_index_[from];
    part_game_[from] = UINT32_MAX;
    parts_[part_index_[to]].node = to;
    --nodes[from].parts;
    stay.node = to;
    if (stay.lines > 0) {
      raw_counts[stay.raw] -= std::min<uint64_t>(raw_counts[stay.raw], stay.lines);
      Count(to, stay.raw, stay.lines);
    }
    if (stay.rename != UINT32_MAX) {
      auto& pair = renames[stay.rename];
      recent_renames_[((uint64_t{pair.first} << 32 | pair.second) * 0x9E3779B97F4A7C15u) >> 52] =
          UINT64_MAX;
      pair.second = to;
    }
    if (stay.guid != UINT32_MAX) {
      if (auto it = guid_node.find(stay.guid); it != guid_node.end() && it->second == from)
        it->second = to;
      if (stay.guid_tie != UINT32_MAX) guid_ties[stay.guid_tie].second = to;
    }
    stay.lines = 0;
  }

  // The node of a name as a line without a slot shows it: its open stay, or a new stay
  // without a slot. kNoNode for the empty name.
  uint32_t SeeByName(uint32_t raw) {
    const KeyId key = forms_.Name(raw);
    if (store_.texts().Text(raw).empty()) return kNoNode;
    uint32_t node = kNoNode;
    if (const int slot = slot_of_key_[key]; slot >= 0) node = slots_[slot].node;
    if (node != kNoNode) {
      CountIn(slots_[slot_of_key_[key]], raw);
      return node;
    }
    if (Stay* stay = slotless_.Find(key)) {
      CountIn(*stay, raw);
      return stay->node;
    }
    Stay fresh;
    fresh.node = NodeFor(key, kNoSlot);
    fresh.key = key;
    fresh.from = now_;
    fresh.part = static_cast<uint32_t>(Part(fresh.node));
    fresh.raw = raw;
    CountIn(fresh, raw);
    slotless_.Add(key, fresh);
    return fresh.node;
  }

  // A name shown in `slot`: the stay goes on, a new stay begins, or the slot's player
  // renamed himself.
  uint32_t See(int slot, uint32_t raw, uint32_t team) {
    if (slot == kNoSlot) return SeeByName(raw);
    if (slot < 0 || store_.texts().Text(raw).empty()) return kNoNode;
    const KeyId key = forms_.Name(raw);
    Stay& stay = slots_[slot];
    if (stay.node == kNoNode) {
      Open(slot, raw);
    } else if (stay.key != key) {
      // No join or quit between: the same man under a new name.
      const uint32_t old = stay.node;
      CloseAt(stay, slot, now_);
      const uint32_t renamed = Open(slot, raw);
      // A pair met again changes nothing (refused once, refused always): kept once. A
      // nameless player's stay is tied to no one.
      if (!nodes[old].nameless && !nodes[renamed].nameless &&
          FirstRename((uint64_t{old} << 32) | renamed)) {
        renames.emplace_back(old, renamed);
        stay.rename = static_cast<uint32_t>(renames.size() - 1);
      }
    } else {
      CountIn(stay, raw);
    }
    if (team != kNoTeam && stay.team != team) {
      if (stay.team != kNoTeam) {
        // The lines do not say when he changed sides: halfway between his last line on the
        // old team and his first on the new one.
        const uint32_t change = stay.team_seen + (now_ - stay.team_seen) / 2;
        parts_[stay.part].stats.team_seconds[stay.team] += change - stay.team_since;
        stay.team_since = change;
      }
      stay.team = team;
    }
    if (team != kNoTeam) stay.team_seen = now_;
    return stay.node;
  }

  uint32_t Open(int slot, uint32_t raw) {
    Stay& stay = slots_[slot];
    if (stay.node != kNoNode) CloseAt(stay, slot, now_);
    const KeyId key = forms_.Name(raw);
    // A stay without a slot of the same name ends here: it was this player before his slot
    // was seen.
    uint32_t node = kNoNode;
    if (const Stay* before = slotless_.Find(key)) {
      node = before->node;
      stay.from = before->from;
      stay.raw = before->raw;
      stay.lines = before->lines;
      slotless_.Drop(key);
    } else {
      node = NodeFor(key, slot);
      stay.from = now_;
      stay.raw = raw;
    }
    stay.node = node;
    stay.key = key;
    stay.part = static_cast<uint32_t>(Part(node));
    stay.team = kNoTeam;
    stay.team_since = stay.from;
    if (slot_of_key_[key] < 0) slot_of_key_[key] = slot;
    ++open_slots_of_key_[key];
    NodePart& part = parts_[stay.part];
    part.health = kFullHealth;
    part.stats.slot_bits[static_cast<size_t>(slot) / 64] |= uint64_t{1} << (slot % 64);
    CountIn(stay, raw);
    return node;
  }

  void Close(Stay& stay, int slot) { CloseAt(stay, slot, now_); }

  void CloseAt(Stay& stay, int slot, uint32_t at) {
    // A stay opened after the game's end line (a line between it and the next game) ends
    // where it began.
    at = std::max({at, stay.from, stay.team_since});
    NodePart& part = parts_[stay.part];
    EndLife(part, at, false);
    if (!part.intervals.empty() && part.intervals.back().second == stay.from) {
      part.intervals.back().second = at;
    } else {
      part.intervals.emplace_back(stay.from, at);
    }
    if (stay.team != kNoTeam) part.stats.team_seconds[stay.team] += at - stay.team_since;
    if (slot >= 0) {
      const KeyId key = stay.key;
      --open_slots_of_key_[key];
      if (slot_of_key_[key] == slot) {
        // Another slot may show the same name (a second person of it).
        slot_of_key_[key] = -1;
        for (int s = 0; s < kSlots && open_slots_of_key_[key] > 0; ++s) {
          if (s != slot && slots_[s].node != kNoNode && slots_[s].key == key) {
            slot_of_key_[key] = s;
            break;
          }
        }
      }
      // One presence per game and slot: a name that comes back to its slot later in the
      // game widens the one it has, which keeps the lists as long as the games played.
      nodes[stay.node].presence_log.Add(
          {static_cast<uint32_t>(games.size()), slot, stay.from, std::max(at, stay.from + 1)});
    }
    stay = Stay{};
  }

  void Hit(const EventView& e) {
    const HitFields f = ReadHitFields(e);
    // A free-for-all's lines name the side of each player's model: no side of his.
    const uint32_t victim_team = ffa_type_ ? kNoTeam : f.victim_team;
    const uint32_t attacker_team = ffa_type_ ? kNoTeam : f.attacker_team;
    uint32_t victim = See(f.victim_slot, e.ids[0], victim_team);
    if (victim == kNoNode) return;  // a vehicle or the world was hit
    const bool world = (f.attacker_slot < 0 && f.attacker_slot != kNoSlot) ||
                       store_.texts().Text(e.ids[1]).empty();
    const uint32_t attacker = world ? kNoNode : See(f.attacker_slot, e.ids[1], attacker_team);
    // The attacker's name may have been the victim's too: his slot then has a node of its own.
    if (f.victim_slot >= 0 && f.victim_slot < kSlots && f.victim_slot != f.attacker_slot &&
        slots_[f.victim_slot].node != kNoNode)
      victim = slots_[f.victim_slot].node;
    const bool self = attacker == victim;
    const bool other = attacker != kNoNode && !self;
    const bool enemy = other && (f.victim_team == kNoTeam ? f.attacker_team == kNoTeam
                                                          : f.attacker_team != f.victim_team &&
                                                                f.attacker_team != kNoTeam);
    InPlay(victim);
    if (other) InPlay(attacker);
    Damage hit;
    hit.victim = victim;
    hit.attacker = attacker;
    hit.other = other;
    hit.enemy = enemy;
    hit.damage = f.damage;
    if (e.kind == LineKind::Damage) {
      // Held until the next line: a kill line that repeats it is the same hit.
      std::copy_n(e.ids, hit.fields.size(), hit.fields.begin());
      hit.time = e.time;
      hit.held = true;
      pending_ = hit;
      return;
    }
    // The killing hit takes what health the hits of this life left him.
    NodePart& v = PartOf(victim);
    Deal(hit, std::min(f.damage, v.health));
    v.health = kFullHealth;
    v.life_damage = 0;  // every death ends a life
    v.ffa_life_damage = 0;
    EndLife(v, now_, true);
    ++round_kills_;
    if (other) {
      kills_between_people_ = true;
      if (f.victim_team != kNoTeam || f.attacker_team != kNoTeam) kills_with_teams_ = true;
    }
    const size_t victim_part = Part(victim);
    Participant& vs = parts_[victim_part].stats;
    ++vs.deaths;
    GameKill::Kind kind = GameKill::Kind::Kill;
    size_t attacker_part = victim_part;
    if (attacker == kNoNode) {
      kind = GameKill::Kind::World;
      ++vs.world_deaths;
    } else if (self) {
      kind = GameKill::Kind::Suicide;
      ++vs.suicides;
    } else if (!ffa_type_ && f.victim_team != kNoTeam && f.victim_team == f.attacker_team) {
      kind = GameKill::Kind::TeamKill;
      attacker_part = Part(attacker);
      ++parts_[attacker_part].stats.team_kills;
    } else {
      attacker_part = Part(attacker);
      Participant& a = parts_[attacker_part].stats;
      ++a.kills;
      if (store_.texts().Text(e.ids[3]) == "head") ++a.head_shots;
    }
    // The kills listed are those of people: a nameless victim's death shows in his row alone.
    if (nodes[victim].nameless) return;
    game_.kills.Add(now_, HowOf(e.ids[2], e.ids[3], f.means), kind,
                    static_cast<uint32_t>(victim_part), static_cast<uint32_t>(attacker_part));
  }

  // A hit between the nodes of the current game.
  struct Damage {
    uint32_t victim = kNoNode;
    uint32_t attacker = kNoNode;  // kNoNode: the world
    bool other = false;           // the attacker is another person
    bool enemy = false;           // ... of another team (or of none, in a free-for-all)
    uint32_t damage = 0;          // field 11
    // A held damage line: its texts and fields, and its time stamp.
    std::array<uint32_t, 6> fields{};
    uint32_t time = 0;
    bool held = false;

    // Whether kill line `e` carries the same fields at the same time.
    bool RepeatedBy(const EventView& e) const {
      return e.time == time && std::equal(fields.begin(), fields.end(), e.ids);
    }
  };

  // Counts a held damage line. A hit he survived takes at most a full health; when it takes
  // what this life's hits left him, he must have got health back that the log does not show
  // (a health pack, regeneration): his health is taken as full before it.
  void ApplyDamage(const Damage& hit) {
    NodePart& v = PartOf(hit.victim);
    const uint32_t amount = std::min(hit.damage, kFullHealth);
    if (amount >= v.health) v.health = kFullHealth;
    v.health = std::max<uint32_t>(v.health - amount, 1);  // he lived on
    Deal(hit, amount);
  }

  void Deal(const Damage& hit, uint32_t amount) {
    PartOf(hit.victim).stats.damage_taken += amount;
    if (!hit.other) return;
    NodePart& a = PartOf(hit.attacker);
    a.ffa_dealt += amount;
    a.ffa_life_damage += amount;
    a.ffa_most_life_damage = std::max(a.ffa_most_life_damage, a.ffa_life_damage);
    if (!hit.enemy) return;
    a.stats.damage_dealt += amount;
    a.life_damage += amount;
    a.stats.most_life_damage = std::max(a.stats.most_life_damage, a.life_damage);
  }

  void FlushDamage() {
    if (!pending_.held) return;
    pending_.held = false;
    ApplyDamage(pending_);
  }

  // A line shows the node in play: his life goes on, or one begins.
  void InPlay(uint32_t node) {
    NodePart& part = PartOf(node);
    if (part.life_from == kNotInPlay) part.life_from = now_;
  }

  // His life ends at `at`: by a death, or as he leaves or the game ends.
  static void EndLife(NodePart& part, uint32_t at, bool died) {
    if (part.life_from == kNotInPlay) return;
    const uint32_t from = part.life_from;
    at = std::max(at, from);
    part.life_from = kNotInPlay;
    Participant& s = part.stats;
    s.longest_life = std::max(s.longest_life, at - from);
    // A life of which only its last second is seen has no known length.
    if (died && at > from) s.shortest_life = std::min(s.shortest_life, at - from);
    if (at == from) return;
    if (!part.played.empty() && part.played.back().second >= from) {
      part.played.back().second = std::max(part.played.back().second, at);
    } else {
      part.played.emplace_back(from, at);
    }
  }

  // Whether a game-initialisation line goes on with the current game: a next round (the last
  // one ended in a shutdown or restart line, not an exit) or a restart of a piece shorter than
  // a minute, of the same map, game type and server, without the clock running back or
  // standing still for more than a minute between.
  bool ContinuesGame(const EventView& e) const {
    if (e.ids[0] != game_.map || e.ids[1] != game_.game_type || e.ids[2] != game_.server)
      return false;
    if (e.time == EventStore::kNoTime || !have_time_ || e.time < last_raw_ ||
        e.time - last_raw_ > kShortestGame) {
      return false;
    }
    const uint32_t round_end = ended_ ? end_at_ : now_;
    return (ended_ && ending_ != GameEnding::Exit) || round_end - round_from_ < kShortestGame;
  }

  void NextRound(const EventView& e) {
    FlushDamage();
    if (!ended_) end_at_ = now_;
    EndRound(end_at_);
    ended_ = false;
    Tick(e.time);
    round_from_ = now_;
  }

  // The round ends at `at`: every stay and life with it. A round counts unless it was a
  // restart (under a minute, without a kill).
  void EndRound(uint32_t at) {
    FlushDamage();
    for (int slot = 0; slot < kSlots; ++slot) {
      if (slots_[slot].node != kNoNode) CloseAt(slots_[slot], slot, at);
    }
    slotless_.Clear([&](Stay& stay) { CloseAt(stay, kNoSlot, at); });
    if (round_kills_ > 0 || at - std::min(at, round_from_) >= kShortestGame) {
      ++rounds_;
      if (round_winner_ != kNoTeam) ++game_.round_wins[round_winner_];
    }
    round_kills_ = 0;
    round_winner_ = kNoTeam;
  }

  // The number of a kill's weapon, hit location and means of death in the shared table.
  uint32_t HowOf(uint32_t weapon, uint32_t location, uint32_t means) {
    const auto fresh = static_cast<uint32_t>(hows_->size());
    const uint32_t how = how_index_.FindOrAdd(
        Mix(((uint64_t{weapon} << 32) | location) ^ Mix(means)), fresh, [&](uint32_t id) {
          const GameKills::How& h = (*hows_)[id];
          return h.weapon == weapon && h.location == location && h.means == means;
        });
    if (how == fresh) hows_->push_back({weapon, location, means});
    return how;
  }

  // Whether the pair (old << 32 | new node) is renamed for the first time. A log whose
  // players share slots renames on almost every line between a few pairs: those are found in
  // a small table of recent pairs before the set of all of them.
  bool FirstRename(uint64_t pair) {
    uint64_t& recent = recent_renames_[(pair * 0x9E3779B97F4A7C15u) >> 52];
    if (recent == pair) return false;
    recent = pair;
    const auto fresh = static_cast<uint32_t>(renames.size());
    return rename_index_.FindOrAdd(Mix(pair), fresh, [&](uint32_t id) {
      return ((uint64_t{renames[id].first} << 32) | renames[id].second) == pair;
    }) == fresh;
  }

  uint32_t NodeOfName(uint32_t raw) {
    const KeyId key = forms_.Name(raw);
    if (const int slot = slot_of_key_[key]; slot >= 0) return slots_[slot].node;
    if (const Stay* stay = slotless_.Find(key)) return stay->node;
    return name_node_[key];
  }

  // Ties a node by the GUID of its join; `stay`, the slot's stay the join began, notes it.
  void Guid(uint32_t node, uint32_t guid, Stay* stay) {
    if (nodes[node].nameless || !TiesByGuid(store_.settings().Text(guid))) return;
    if (stay != nullptr) stay->guid = guid;
    auto [it, fresh] = guid_node.emplace(guid, node);
    if (!fresh && it->second != node) {
      guid_ties.emplace_back(it->second, node);
      if (stay != nullptr) stay->guid_tie = static_cast<uint32_t>(guid_ties.size() - 1);
    }
  }

  void Count(uint32_t node, uint32_t raw, uint64_t lines = 1) {
    if (name_node_[forms_.Name(raw)] == node) {
      raw_counts[raw] += lines;
    } else {
      const uint64_t key = (static_cast<uint64_t>(node) << 32) | raw;
      const auto fresh = static_cast<uint32_t>(spelling_counts.size());
      const uint32_t id = spelling_index_.FindOrAdd(
          Mix(key), fresh, [&](uint32_t i) { return spelling_counts[i].first == key; });
      if (id == fresh) spelling_counts.emplace_back(key, 0);
      spelling_counts[id].second += lines;
    }
  }

  // Counts a line of a stay's node, and of the stay when it is its first spelling.
  void CountIn(Stay& stay, uint32_t raw) {
    Count(stay.node, raw);
    if (raw == stay.raw && stay.node == name_node_[stay.key]) ++stay.lines;
  }

  NodePart& PartOf(uint32_t node) { return parts_[Part(node)]; }

  size_t Part(uint32_t node) {
    if (node >= part_game_.size()) {
      part_game_.resize(nodes.size(), UINT32_MAX);
      part_index_.resize(nodes.size());
    }
    const auto game = static_cast<uint32_t>(games.size());
    if (part_game_[node] != game) {
      part_game_[node] = game;
      part_index_[node] = static_cast<uint32_t>(part_count_);
      // The parts of earlier games are reused, their lists keeping their room.
      if (part_count_ == parts_.size()) parts_.emplace_back();
      NodePart& part = parts_[part_count_++];
      ++nodes[node].parts;
      part.node = node;
      part.stats = Participant{};
      part.intervals.clear();
      part.played.clear();
      part.life_from = kNotInPlay;
      part.health = kFullHealth;
      part.life_damage = 0;
      part.ffa_dealt = part.ffa_life_damage = part.ffa_most_life_damage = 0;
    }
    return part_index_[node];
  }

  const EventStore& store_;
  const NameForms& forms_;
  bool in_game_ = false;
  bool ended_ = false;
  bool have_time_ = false;
  uint32_t last_raw_ = 0;
  uint32_t now_ = 0;
  uint32_t end_raw_ = 0;
  uint32_t end_at_ = 0;
  GameEnding ending_ = GameEnding::EndOfLog;
  Game game_;
  bool ffa_type_ = false;  // the game type is dm
  bool kills_between_people_ = false;
  bool kills_with_teams_ = false;  // some kill between two people named a team
  uint32_t rounds_ = 0;            // rounds counted so far
  uint32_t round_from_ = 0;        // when the current round began
  uint32_t round_kills_ = 0;
  uint32_t round_winner_ = kNoTeam;   // the team of its last W line
  uint32_t last_win_node_ = kNoNode;  // the first name of the game's last W line
  Damage pending_;                    // a damage line held until the next line
  std::array<Stay, kSlots> slots_{};
  std::vector<int> slot_of_key_;             // a slot whose stay has that compared name, or -1
  std::vector<uint16_t> open_slots_of_key_;  // how many slots show that compared name
  std::vector<uint32_t> shared_in_game_;     // the game (index + 1) two slots showed it at once
  std::vector<bool> nameless_key_;           // a default name, or blank without colour codes
  SlotlessStays slotless_;
  // Each node's part in the current game: valid where part_game_ is the game's index. The
  // first part_count_ are this game's; those after them wait to be reused.
  std::vector<NodePart> parts_;
  size_t part_count_ = 0;
  PackBuffer pack_;
  IdIndex rename_index_;    // of `renames`
  IdIndex spelling_index_;  // of `spelling_counts`
  std::array<uint64_t, 4096> recent_renames_ = [] {
    std::array<uint64_t, 4096> none{};
    none.fill(UINT64_MAX);  // no pair: nodes are below UINT32_MAX
    return none;
  }();
  std::vector<uint32_t> part_game_;
  std::vector<uint32_t> part_index_;
  std::shared_ptr<GameKills::Hows> hows_ = std::make_shared<GameKills::Hows>();
  IdIndex how_index_;  // of hows_
};

// Adds the counted figures of `from` (a participant) to `into` (a participant or a person).
template <typename Into>
void AddFigures(Into& into, const Participant& from) {
  into.kills += from.kills;
  into.deaths += from.deaths;
  into.suicides += from.suicides;
  into.team_kills += from.team_kills;
  into.world_deaths += from.world_deaths;
  into.head_shots += from.head_shots;
  into.damage_dealt += from.damage_dealt;
  into.damage_taken += from.damage_taken;
}

std::string PersonId(const Node& node, std::string_view compared) {
  StableHash h;
  h.Text(compared);
  if (node.stay)
    h.Number(node.game).Number(static_cast<uint64_t>(static_cast<int64_t>(node.slot) + 1000));
  static constexpr char kHex[] = "0123456789abcdef";
  uint64_t v = h.value();
  std::string id(12, '0');
  for (int i = 11; i >= 0; --i, v >>= 4) id[static_cast<size_t>(i)] = kHex[v & 15];
  return id;
}

// Room the seconds count of one game keeps for the next.
struct SecondsScratch {
  std::vector<uint64_t> bits;
  std::vector<uint64_t> ordered;
  std::vector<uint32_t> run_starts;
};

// Adds to each player's `field` the seconds his stays (player, from << 32 | to) cover, counted once
// where they overlap. The seconds are marked in a bit set per player, unless the game's clock
// spans far more seconds than it has stays: then each player's stays are sorted by start
// (those of one part come sorted and apart) and walked.
void CountSeconds(const std::vector<std::pair<uint32_t, uint64_t>>& stays,
                  const std::vector<uint32_t>& parts_of_player, std::vector<Participant>& players,
                  SecondsScratch& scratch, uint32_t Participant::*field = &Participant::seconds) {
  uint32_t last = 0;
  for (const auto& stay : stays) last = std::max(last, static_cast<uint32_t>(stay.second));
  const size_t words = last / 64 + 1;
  if (players.size() * words <= 4 * stays.size() + 1024) {
    scratch.bits.assign(players.size() * words, 0);
    for (const auto& [player, stay] : stays) {
      const auto from = static_cast<uint32_t>(stay >> 32);
      const auto to = static_cast<uint32_t>(stay);
      if (to <= from) continue;
      uint64_t* bits = scratch.bits.data() + player * words;
      const size_t first = from / 64, end = (to - 1) / 64;
      const uint64_t head = ~uint64_t{0} << (from % 64);
      const uint64_t tail = ~uint64_t{0} >> (63 - (to - 1) % 64);
      if (first == end) {
        bits[first] |= head & tail;
        continue;
      }
      bits[first] |= head;
      std::fill(bits + first + 1, bits + end, ~uint64_t{0});
      bits[end] |= tail;
    }
    for (size_t player = 0; player < players.size(); ++player) {
      uint32_t seconds = 0;
      for (size_t w = player * words; w < (player + 1) * words; ++w)
        seconds += static_cast<uint32_t>(std::popcount(scratch.bits[w]));
      players[player].*field += seconds;
    }
    return;
  }
  // A counting sort by player, then each player's stays by start.
  std::vector<uint32_t>& run_starts = scratch.run_starts;
  std::vector<uint64_t>& ordered = scratch.ordered;
  run_starts.assign(players.size() + 1, 0);
  for (const auto& stay : stays) ++run_starts[stay.first + 1];
  for (size_t i = 1; i < run_starts.size(); ++i) run_starts[i] += run_starts[i - 1];
  ordered.resize(stays.size());
  for (const auto& [player, stay] : stays) ordered[run_starts[player]++] = stay;
  for (size_t player = 0, begin = 0; player < players.size(); ++player) {
    const size_t end = run_starts[player];  // moved to its run's end above
    if (parts_of_player[player] > 1) {
      std::sort(ordered.begin() + static_cast<std::ptrdiff_t>(begin),
                ordered.begin() + static_cast<std::ptrdiff_t>(end));
    }
    uint32_t reach = 0;
    uint32_t& seconds = players[player].*field;
    for (size_t i = begin; i < end; ++i) {
      const auto from = std::max(static_cast<uint32_t>(ordered[i] >> 32), reach);
      const auto to = static_cast<uint32_t>(ordered[i]);
      if (to > from) {
        seconds += to - from;
        reach = to;
      }
    }
    begin = end;
  }
}

// Follows each shown person's display name with " (2)", " (3)", ... when an earlier shown
// person's looks the same (compared without colour codes and case).
void TellApartDisplayNames(std::vector<Person>& people) {
  std::unordered_map<std::string, uint32_t> seen;
  std::vector<Person*> later;
  for (Person& p : people) {
    if (p.hidden) continue;
    if (seen[ComparedName(p.display)]++ > 0) later.push_back(&p);
  }
  if (later.empty()) return;
  std::unordered_map<std::string, uint32_t> number;
  for (Person* p : later) {
    const std::string compared = ComparedName(p->display);
    uint32_t& n = number[compared];
    // A suffixed name may itself be another person's: the next free number is taken.
    std::string shown;
    do {
      shown = p->display + " (" + std::to_string(++n + 1) + ")";
    } while (seen.count(ComparedName(shown)) > 0);
    seen[ComparedName(shown)] = 1;
    p->display = std::move(shown);
  }
}

}  // namespace

namespace {

// The rules of a people file with the lines they came from, checked against each other once
// the file is read: a rule that undoes another is an error that names both lines.
class RuleLines {
 public:
  void Same(const std::vector<std::string>& names, size_t line) {
    for (const std::string& name : names) {
      same_lines_[ComparedName(name)].push_back(line);
      Mention(name, line);
    }
    for (size_t i = 1; i < names.size(); ++i) Join(names[0], names[i]);
  }
  void Different(const std::vector<std::string>& names, size_t line) {
    different_.push_back({names, line});
    for (const std::string& name : names) Mention(name, line);
  }
  void Hide(const std::string& name, size_t line) {
    hidden_.push_back({name, line});
    Mention(name, line);
  }
  void Name(const std::string& spelling, const std::string& shown, size_t line) {
    named_.push_back({spelling, shown, line});
    Mention(spelling, line);
  }

  // The first contradiction, by the later of its two lines: "line N: ..."; empty if none.
  std::string FirstProblem() {
    std::vector<std::pair<size_t, std::string>> problems;
    auto put = [&](size_t later, std::string why) { problems.emplace_back(later, std::move(why)); };
    for (const auto& [names, line] : different_) {
      for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = i + 1; j < names.size(); ++j) {
          if (Group(names[i]) != Group(names[j])) continue;
          const std::string same = SameLines(names[i], names[j]);
          const size_t later = std::max(line, LastSameLine(names[i], names[j]));
          put(later,
              LineText(later) + "\"different\"" +
                  (later == line ? "" : " of line " + std::to_string(line)) + " keeps apart \"" +
                  names[i] + "\" and \"" + names[j] + "\", which " + same + " (\"same\") " +
                  (same.find(" and ") != std::string::npos ? "make" : "makes") + " one person");
        }
      }
    }
    for (size_t a = 0; a < named_.size(); ++a) {
      for (size_t b = a + 1; b < named_.size(); ++b) {
        const Named& x = named_[a];
        const Named& y = named_[b];
        const size_t later = std::max(x.line, y.line);
        const size_t earlier = std::min(x.line, y.line);
        if (Group(x.spelling) == Group(y.spelling)) {
          put(later, LineText(later) + "a second \"name\" for the person line " +
                         std::to_string(earlier) + " names");
        } else if (ComparedName(x.shown) == ComparedName(y.shown)) {
          put(later, LineText(later) + "\"name\" shows two people as \"" + y.shown + "\": line " +
                         std::to_string(earlier) + " shows another person so");
        }
      }
      // Shown under the name of another person the file names.
      const Named& x = named_[a];
      if (auto it = mentioned_.find(ComparedName(x.shown));
          it != mentioned_.end() && Group(it->first) != Group(x.spelling)) {
        {
          const size_t other = it->second;
          put(std::max(x.line, other), LineText(std::max(x.line, other)) + "\"name\" of line " +
                                           std::to_string(x.line) + " shows a person as \"" +
                                           x.shown + "\", a name of another person (line " +
                                           std::to_string(other) + ")");
        }
      }
      for (const auto& [name, line] : hidden_) {
        if (Group(name) != Group(x.spelling)) continue;
        const size_t later = std::max(line, x.line);
        put(later, LineText(later) + "\"hide\" and \"name\" for one person (lines " +
                       std::to_string(std::min(line, x.line)) + " and " + std::to_string(later) +
                       "): a hidden person is shown under no name");
      }
    }
    if (problems.empty()) return "";
    return std::min_element(problems.begin(), problems.end(),
                            [](const auto& p, const auto& q) { return p.first < q.first; })
        ->second;
  }

 private:
  struct Named {
    std::string spelling, shown;
    size_t line;
  };
  static std::string LineText(size_t line) { return "line " + std::to_string(line) + ": "; }

  std::string Group(const std::string& name) {
    std::string at = ComparedName(name);
    for (auto it = parent_.find(at); it != parent_.end() && it->second != at; it = parent_.find(at))
      at = it->second;
    return at;
  }
  void Join(const std::string& a, const std::string& b) {
    const std::string x = Group(a), y = Group(b);
    if (x != y) parent_[y] = x;
    parent_.emplace(x, x);
  }
  // The first `same` line of each name: "line 2", or "lines 2 and 3".
  std::string SameLines(const std::string& a, const std::string& b) {
    const size_t x = same_lines_[ComparedName(a)].front();
    const size_t y = same_lines_[ComparedName(b)].front();
    if (x == y) return "line " + std::to_string(x);
    return "lines " + std::to_string(std::min(x, y)) + " and " + std::to_string(std::max(x, y));
  }
  size_t LastSameLine(const std::string& a, const std::string& b) {
    return std::max(same_lines_[ComparedName(a)].front(), same_lines_[ComparedName(b)].front());
  }

  void Mention(const std::string& name, size_t line) {
    mentioned_.emplace(ComparedName(name), line);
  }

  std::unordered_map<std::string, std::string> parent_;    // compared name -> one joined to it
  std::unordered_map<std::string, size_t> mentioned_;      // compared name -> its first line
  std::map<std::string, std::vector<size_t>> same_lines_;  // compared name -> its same lines
  std::vector<std::pair<std::vector<std::string>, size_t>> different_;
  std::vector<std::pair<std::string, size_t>> hidden_;
  std::vector<Named> named_;
};

}  // namespace

PeopleFileResult ParsePeopleFile(std::string_view text) {
  PeopleFileResult result;
  RuleLines lines;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
      const size_t semi = line.find(';', at);
      std::string_view field =
          line.substr(at, semi == std::string_view::npos ? line.npos : semi - at);
      while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
      while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.remove_suffix(1);
      fields.emplace_back(field);
      if (semi == std::string_view::npos) break;
      at = semi + 1;
    }
    const std::string& verb = fields[0];
    if (verb.empty() && fields.size() == 1) continue;  // a blank line
    if (!verb.empty() && verb[0] == '#') continue;
    std::vector<std::string> names(fields.begin() + 1, fields.end());
    std::erase_if(names, [](const std::string& n) { return n.empty(); });
    auto fail = [&](const std::string& why) {
      result.error = "line " + std::to_string(number) + ": " + why;
      return result;
    };
    if (verb == "same" || verb == "different") {
      if (names.size() < 2) return fail("\"" + verb + "\" needs two or more names");
      if (verb == "same") {
        lines.Same(names, number);
      } else {
        lines.Different(names, number);
      }
      (verb == "same" ? result.rules.same : result.rules.different).push_back(std::move(names));
    } else if (verb == "hide") {
      if (names.empty()) return fail("\"hide\" needs a name");
      for (auto& n : names) {
        lines.Hide(n, number);
        result.rules.hidden.push_back(std::move(n));
      }
    } else if (verb == "name") {
      if (names.size() != 2) return fail("\"name\" needs a spelling and the name to show");
      lines.Name(names[0], names[1], number);
      result.rules.shown_as.emplace_back(std::move(names[0]), std::move(names[1]));
    } else {
      return fail("unknown rule \"" + verb + "\" (same, different, hide or name)");
    }
  }
  result.error = lines.FirstProblem();
  if (!result.error.empty()) result.rules = {};
  return result;
}

GamesModel BuildGames(const EventStore& store, const PeopleRules& rules,
                      const GamesScratch& scratch, const std::vector<std::string>& default_names) {
  const NameForms forms(store, true, true);
  GameBuilder b(store, forms, scratch, default_names);
  b.Run();
  std::vector<Node>& nodes = b.nodes;
  for (Node& node : nodes) node.presences = node.presence_log.Take();

  // The people file's spellings, as nodes (default names name nobody).
  auto node_of = [&](const std::string& spelling) -> uint32_t {
    const KeyId key = forms.pool().Find(ComparedName(spelling));
    if (key == KeyPool::kNone || key >= b.name_node_.size()) return kNoNode;
    return b.name_node_[key];
  };
  Groups groups(nodes);
  for (const auto& list : rules.different) {
    for (size_t i = 0; i < list.size(); ++i) {
      for (size_t j = i + 1; j < list.size(); ++j) {
        const uint32_t x = node_of(list[i]);
        const uint32_t y = node_of(list[j]);
        if (x != kNoNode && y != kNoNode && x != y) groups.Forbid(x, y);
      }
    }
  }
  for (const auto& list : rules.same) {
    uint32_t first = kNoNode;
    for (const std::string& spelling : list) {
      const uint32_t n = node_of(spelling);
      if (n == kNoNode) continue;
      if (first == kNoNode) {
        first = n;
      } else {
        groups.Join(first, n, false);
      }
    }
  }
  for (auto [a, c] : b.renames) groups.Join(a, c, true);
  for (auto [a, c] : b.guid_ties) groups.Join(a, c, true);
  // The presences served the joins alone.
  for (Node& node : nodes) std::vector<Presence>().swap(node.presences);

  // People in order of their first node (nodes are made in order of first appearance) that
  // was in a game: a name whose only stays got nodes of their own is no one. A nameless
  // player is no one either.
  GamesModel model;
  std::vector<PersonIndex> person_of_root(nodes.size(), kNoPerson);
  std::vector<PersonIndex> person_of(nodes.size(), kNoPerson);
  for (uint32_t n = 0; n < nodes.size(); ++n) {
    if (nodes[n].nameless || nodes[n].parts == 0) continue;
    const uint32_t root = groups.Find(n);
    if (person_of_root[root] == kNoPerson) {
      person_of_root[root] = static_cast<PersonIndex>(model.people.size());
      Person p;
      p.id = PersonId(nodes[n], forms.pool().Text(nodes[n].key));
      model.people.push_back(std::move(p));
    }
    person_of[n] = person_of_root[root];
  }
  for (uint32_t n = 0; n < nodes.size(); ++n) {
    if (!nodes[n].nameless && nodes[n].parts == 0) person_of[n] = person_of_root[groups.Find(n)];
  }
  // Ids that collide get a suffix, in order of first appearance.
  {
    std::unordered_map<std::string, uint32_t> seen;
    for (Person& p : model.people) {
      const uint32_t count = seen[p.id]++;
      if (count > 0) p.id += "-" + std::to_string(count + 1);
    }
  }
  std::unordered_map<uint32_t, Spelling> nameless_spelling;  // by node: its most used
  auto add_spelling = [&](uint32_t node, uint32_t raw, uint64_t count) {
    if (nodes[node].nameless) {
      Spelling& most = nameless_spelling[node];
      if (count > most.count || (count == most.count && raw < most.raw)) most = {raw, count};
      return;
    }
    if (person_of[node] == kNoPerson) return;
    Person& p = model.people[person_of[node]];
    auto it = std::find_if(p.spellings.begin(), p.spellings.end(),
                           [&](const Spelling& s) { return s.raw == raw; });
    if (it == p.spellings.end()) {
      p.spellings.push_back({raw, count});
    } else {
      it->count += count;
    }
  };
  for (uint32_t raw = 0; raw < b.raw_counts.size(); ++raw) {
    if (b.raw_counts[raw] > 0) add_spelling(b.name_node_[forms.Name(raw)], raw, b.raw_counts[raw]);
  }
  for (const auto& [node_raw, count] : b.spelling_counts) {
    add_spelling(static_cast<uint32_t>(node_raw >> 32), static_cast<uint32_t>(node_raw), count);
  }
  for (Person& p : model.people) {
    std::sort(p.spellings.begin(), p.spellings.end(), [](const Spelling& x, const Spelling& y) {
      return x.count != y.count ? x.count > y.count : x.raw < y.raw;
    });
    if (!p.spellings.empty()) p.display = store.texts().Text(p.spellings[0].raw);
  }
  for (const std::string& spelling : rules.hidden) {
    if (const uint32_t n = node_of(spelling); n != kNoNode && person_of[n] != kNoPerson)
      model.people[person_of[n]].hidden = true;
  }
  for (const auto& [spelling, shown] : rules.shown_as) {
    if (const uint32_t n = node_of(spelling); n != kNoNode && person_of[n] != kNoPerson)
      model.people[person_of[n]].display = shown;
  }
  TellApartDisplayNames(model.people);

  // Each game's parts, person by person.
  model.games = std::move(b.games);
  std::vector<uint32_t> player_of(model.people.size(), UINT32_MAX);  // in the current game
  std::vector<std::pair<uint32_t, uint64_t>> stays_of_players;       // player, from << 32 | to
  std::vector<std::pair<uint32_t, uint64_t>> lives_of_players;       // likewise
  SecondsScratch seconds_scratch;
  Intervals stays, lives;
  uint32_t kept_games = 0;
  std::vector<bool> stayed;
  std::vector<uint32_t> parts_of_player;
  for (size_t g = 0; g < model.games.size(); ++g) {
    Game& game = model.games[g];
    stays_of_players.clear();
    lives_of_players.clear();
    stayed.clear();
    parts_of_player.clear();
    std::vector<PersonIndex> people_of_parts;  // the kills' people
    const std::string_view packed = b.packed_parts.Game(g);
    const auto* const end = reinterpret_cast<const uint8_t*>(packed.data() + packed.size());
    for (const auto* at = reinterpret_cast<const uint8_t*>(packed.data()); at != end;) {
      stays.clear();
      lives.clear();
      const FinishedPart part = UnpackPart(at, stays, lives);
      const PersonIndex person = person_of[part.node];
      people_of_parts.push_back(person);
      if (person == kNoPerson) {
        // A nameless player's stay: a row of its own, its stays apart by construction.
        NamelessPlayer& row = game.nameless.emplace_back();
        row.name = nameless_spelling[part.node].raw;
        row.figures = part.stats;
        row.figures.first_at = part.first_at;
        row.figures.last_at = part.last_at;
        for (const auto& [from, to] : stays) row.figures.seconds += to - from;
        continue;
      }
      uint32_t& player = player_of[person];
      const auto index = static_cast<uint32_t>(player == UINT32_MAX ? game.players.size() : player);
      for (const auto& [from, to] : stays)
        stays_of_players.emplace_back(index, (uint64_t{from} << 32) | to);
      for (const auto& [from, to] : lives)
        lives_of_players.emplace_back(index, (uint64_t{from} << 32) | to);
      if (player == UINT32_MAX) {
        player = index;
        parts_of_player.push_back(1);
        game.players.push_back(part.stats);
        game.players.back().person = person;
        game.players.back().first_at = part.first_at;
        game.players.back().last_at = part.last_at;
        stayed.push_back(part.stayed);
        continue;
      }
      ++parts_of_player[player];
      Participant& into = game.players[player];
      const Participant& s = part.stats;
      for (size_t word = 0; word < into.slot_bits.size(); ++word)
        into.slot_bits[word] |= s.slot_bits[word];
      for (size_t t = 0; t < into.team_seconds.size(); ++t)
        into.team_seconds[t] += s.team_seconds[t];
      AddFigures(into, s);
      into.most_life_damage = std::max(into.most_life_damage, s.most_life_damage);
      into.longest_life = std::max(into.longest_life, s.longest_life);
      into.shortest_life = std::min(into.shortest_life, s.shortest_life);
      for (const ActionCount& a : s.actions) AddAction(into.actions, a.word, a.count);
      if (part.stayed) {
        into.first_at = stayed[player] ? std::min(into.first_at, part.first_at) : part.first_at;
        into.last_at = std::max(into.last_at, part.last_at);
        stayed[player] = true;
      }
    }
    for (const Participant& p : game.players) player_of[p.person] = UINT32_MAX;
    game.kills.SetPeople(std::move(people_of_parts));
    CountSeconds(stays_of_players, parts_of_player, game.players, seconds_scratch);
    CountSeconds(lives_of_players, parts_of_player, game.players, seconds_scratch,
                 &Participant::played_seconds);
    for (auto [nodes_of, into] :
         {std::pair{&b.won_nodes[g], &game.won}, {&b.lost_nodes[g], &game.lost}}) {
      for (const uint32_t node : *nodes_of) {
        if (person_of[node] != kNoPerson) into->push_back(person_of[node]);
      }
      std::sort(into->begin(), into->end());
      into->erase(std::unique(into->begin(), into->end()), into->end());
    }
    if (b.winner_node[g] != kNoNode) game.winner_person = person_of[b.winner_node[g]];
    std::sort(game.players.begin(), game.players.end(),
              [&game](const Participant& x, const Participant& y) {
                if (game.ffa && FreeForAllScore(x) != FreeForAllScore(y))
                  return FreeForAllScore(x) > FreeForAllScore(y);
                return x.kills != y.kills ? x.kills > y.kills : x.person < y.person;
              });
    std::stable_sort(game.nameless.begin(), game.nameless.end(),
                     [](const NamelessPlayer& x, const NamelessPlayer& y) {
                       return x.figures.kills > y.figures.kills;
                     });
    // A game with nobody in it is none: it keeps no number.
    if (game.players.empty()) continue;
    game.number = ++kept_games;
    game.warmup = game.seconds < kShortestGame || game.players.size() < 2;
    for (const Participant& p : game.players) {
      Person& person = model.people[p.person];
      if (person.games == 0) person.first_game = game.number;
      person.last_game = game.number;
      ++person.games;
      AddFigures(person, p);
      person.seconds += p.seconds;
      person.played_seconds += p.played_seconds;
      for (const ActionCount& a : p.actions) {
        AddAction(person.actions, a.word, a.count);
        AddAction(game.actions, a.word, a.count);
      }
    }
  }
  std::erase_if(model.games, [](const Game& game) { return game.players.empty(); });
  model.has_games = !model.games.empty();
  if (model.has_games) model.server = model.games.back().server;
  return model;
}

PersonIndex GamesModel::FindPerson(const EventStore& store, std::string_view spelling) const {
  const std::string wanted = ComparedName(spelling);
  for (PersonIndex i = 0; i < people.size(); ++i) {
    for (const Spelling& s : people[i].spellings) {
      if (ComparedName(store.texts().Text(s.raw)) == wanted) return i;
    }
  }
  return kNoPerson;
}

void AddAction(std::vector<ActionCount>& actions, uint32_t word, uint32_t count) {
  auto at = std::lower_bound(actions.begin(), actions.end(), word,
                             [](const ActionCount& a, uint32_t w) { return a.word < w; });
  if (at == actions.end() || at->word != word) at = actions.insert(at, {word, 0});
  at->count += count;
}

int64_t FreeForAllScore(const Participant& p) {
  return int64_t{p.kills} - p.suicides - p.world_deaths;
}

std::vector<int> Participant::SlotNumbers() const {
  std::vector<int> numbers;
  for (size_t word = 0; word < slot_bits.size(); ++word) {
    for (uint64_t bits = slot_bits[word]; bits != 0; bits &= bits - 1)
      numbers.push_back(static_cast<int>(word * 64) + std::countr_zero(bits));
  }
  return numbers;
}

// A kill: the seconds since the last one, its `how`, victim * 4 + kind, and the attacker when
// he is neither the victim nor the world.
void GameKills::Add(uint32_t at, uint32_t how, GameKill::Kind kind, uint32_t victim,
                    uint32_t attacker) {
  std::array<uint8_t, 4 * NumberWriter::kMostBytes> kill;
  NumberWriter out(kill.data());
  out.Put(at - last_at_);
  last_at_ = at;
  out.Put(how);
  out.Put(uint64_t{victim} * 4 + static_cast<uint64_t>(kind));
  if (kind == GameKill::Kind::Kill || kind == GameKill::Kind::TeamKill) out.Put(attacker);
  bytes_.insert(bytes_.end(), kill.data(), out.end());
  ++count_;
}

void GameKills::SetPeople(std::vector<PersonIndex> people) { people_ = std::move(people); }

GameKills::Iterator::Iterator(const GameKills* kills, size_t at)
    : kills_(kills), at_(at), next_(at) {
  if (at_ < kills_->bytes_.size()) Read();
}

GameKills::Iterator& GameKills::Iterator::operator++() {
  at_ = next_;
  if (at_ < kills_->bytes_.size()) Read();
  return *this;
}

void GameKills::Iterator::Read() {
  const uint8_t* const start = kills_->bytes_.data();
  const uint8_t* from = start + at_;
  auto person = [&](uint64_t local) {
    return local < kills_->people_.size() ? kills_->people_[local] : kNoPerson;
  };
  kill_.at += GetNumber32(from);
  const How& how = (*kills_->hows_)[GetNumber(from)];
  kill_.weapon = how.weapon;
  kill_.location = how.location;
  kill_.means = how.means;
  const uint64_t victim = GetNumber(from);
  kill_.kind = static_cast<GameKill::Kind>(victim & 3);
  kill_.victim = person(victim >> 2);
  kill_.attacker = kill_.kind == GameKill::Kind::World     ? kNoPerson
                   : kill_.kind == GameKill::Kind::Suicide ? kill_.victim
                                                           : person(GetNumber(from));
  next_ = static_cast<size_t>(from - start);
}

const Participant* GamesModel::PlayerIn(const Game& game, PersonIndex person) const {
  for (const Participant& p : game.players) {
    if (p.person == person) return &p;
  }
  return nullptr;
}

}  // namespace barvik
