// The game builder's parts, shared by the files that make the games model: the nodes that the
// log's names stand for before people are found, their presences, and each finished game's
// node parts packed into a few bytes until the people are known. Internal to stats/.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/AtomicReplace.h"
#include "core/FileError.h"
#include "core/ScratchFile.h"
#include "stats/Games.h"

namespace barvik::gamebuild {

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

inline uint64_t GetNumber(const uint8_t*& from) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const uint8_t byte = *from++;
    value |= static_cast<uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return value;
  }
}

inline uint32_t GetNumber32(const uint8_t*& from) { return static_cast<uint32_t>(GetNumber(from)); }
constexpr int kSlots = 128;             // slots 0..127; negative slots are the world and vehicles
constexpr uint32_t kShortestGame = 60;  // seconds: a shorter piece is a restart or a warm-up

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
void JoinIntervals(Intervals& list);
// Packs a finished game's part: a few dozen bytes instead of a record with its own list.
void PackPart(NodePart& part, PackBuffer& into);
// Reads back a part PackPart wrote, appending its joined stays to `intervals` and his lives
// to `played`.
FinishedPart UnpackPart(const uint8_t*& from, Intervals& intervals, Intervals& played);

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

// What reading the log's events leaves for finding the people: the nodes, what ties them, and
// the games with their node parts.
struct GameParts {
  explicit GameParts(const GamesScratch& scratch)
      : packed_parts(std::make_unique<PackedGames>(scratch)) {}

  std::vector<Node> nodes;
  std::vector<Game> games;
  std::unique_ptr<PackedGames> packed_parts;  // by game: its node parts, PackPart's
  std::vector<std::pair<uint32_t, uint32_t>> renames;
  std::vector<uint32_t> winner_node;                         // by game
  std::vector<std::vector<uint32_t>> won_nodes, lost_nodes;  // by game: named by W / L lines
  std::unordered_map<uint32_t, uint32_t> guid_node;          // GUID setting id -> first node
  std::vector<std::pair<uint32_t, uint32_t>> guid_ties;
  // Lines per raw spelling under its name's node, and per (node, raw spelling) under others.
  std::vector<uint64_t> raw_counts;
  std::vector<std::pair<uint64_t, uint64_t>> spelling_counts;  // (node << 32) | raw, lines
  std::vector<uint32_t> name_node_;                            // by compared key
  // The record at the range's end goes on with the range's last game, which began at
  // cut_game_start (see GamesPiece).
  bool cut_inside_game = false;
  uint32_t cut_game_start = 0;
  std::vector<GamesPiece::Named> unresolved;  // names result lines named without a node
};

// Reads the events of `range` of the store into games and nodes; `default_names` name nobody.
GameParts ReadGameParts(const EventStore& store, const NameForms& forms,
                        const GamesScratch& scratch, const std::vector<std::string>& default_names,
                        const GamesRange& range = {});

}  // namespace barvik::gamebuild
