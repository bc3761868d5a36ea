// Reading a log's events into games: who was in which game, in which slot and team, for how
// long, and what each did there, each name's stays kept as nodes for the people to be found.
#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <numeric>

#include "log/LineFormat.h"
#include "stats/GameParts.h"

namespace barvik::gamebuild {
namespace {

bool TiesByGuid(std::string_view guid) {
  return guid.size() >= 6 && guid.find_first_not_of('0') != std::string_view::npos;
}

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

class GameBuilder : public GameParts {
 public:
  GameBuilder(const EventStore& store, const NameForms& forms, const GamesScratch& scratch,
              const std::vector<std::string>& default_names, const GamesRange& range)
      : GameParts(scratch),
        store_(store),
        forms_(forms),
        range_(range),
        slotless_(forms.pool().size()) {
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
    const uint32_t end = std::min(range_.to, store_.EndPosition());
    store_.ForEachIn(range_.from, end, [&](const EventView& e) { Event(e); });
    if (!in_game_) return;
    if (end == store_.EndPosition()) {
      EndGame(GameEnding::EndOfLog, end);
      return;
    }
    // The records after the range begin with a game-initialisation line: it ends the last
    // game as in a build of all records, unless it goes on with it.
    if (ContinuesGame(store_.At(end))) {
      cut_inside_game = true;
      cut_game_start = game_.first_position;
    }
    EndGame(GameEnding::NextGame, end);
  }

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
      // Where one server's events end, so does its log.
      if (in_game_) {
        EndGame(IsServerBoundary(e) ? GameEnding::EndOfLog : GameEnding::NextGame, e.position);
      }
      if (IsServerBoundary(e)) {
        in_game_ = false;
        return;
      }
      StartGame(e);
      return;
    }
    if (!in_game_) return;  // before the first game, or between two servers' events
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
          if (std::string name = Unresolved(e.ids[i], node); !name.empty()) {
            unresolved.push_back(
                {game_.first_position,
                 e.kind == LineKind::Win ? GamesPiece::Named::kWon : GamesPiece::Named::kLost,
                 std::move(name)});
          }
        }
        if (e.kind == LineKind::Win && e.count > 0) {
          const uint32_t team = TeamCodeOfField(store_.settings().Text(ResultTeam(e)));
          game_.winner_team = team;
          round_winner_ = team;
          winner_node.back() = team == kNoTeam ? NodeOfName(e.ids[0]) : kNoNode;
          last_win_node_ = NodeOfName(e.ids[0]);
          last_win_name_ = Unresolved(e.ids[0], last_win_node_);
          winner_name_ = team == kNoTeam ? last_win_name_ : std::string();
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
    last_win_name_.clear();
    winner_name_.clear();
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
      if (game_.winner_team != kNoTeam) {
        winner_node.back() = last_win_node_;
        winner_name_ = last_win_name_;
      }
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
    if (winner_node.back() == kNoNode && !winner_name_.empty())
      unresolved.push_back({game_.first_position, GamesPiece::Named::kWinner, winner_name_});
    // Packed, and held or set aside until the people are known.
    for (size_t i = 0; i < part_count_; ++i) PackPart(parts_[i], pack_);
    packed_parts->Add(pack_.bytes());
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
    n.game = range_.games_before + static_cast<uint32_t>(games.size());
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
  bool IsServerBoundary(const EventView& e) const {
    return store_.settings().Text(e.ids[0]).empty() && store_.settings().Text(e.ids[1]).empty() &&
           store_.settings().Text(e.ids[2]) == kServerBoundaryName;
  }

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

  // The compared name of `raw` when NodeOfName found no node for it (a player only earlier
  // records knew, in a build of a range), else empty.
  std::string Unresolved(uint32_t raw, uint32_t node) const {
    if (node != kNoNode || store_.texts().Text(raw).empty()) return {};
    return std::string(forms_.pool().Text(forms_.Name(raw)));
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
  GamesRange range_;
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
  // Their compared names when they had no node in the range (see Unresolved).
  std::string last_win_name_;
  std::string winner_name_;
  Damage pending_;  // a damage line held until the next line
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

}  // namespace

GameParts ReadGameParts(const EventStore& store, const NameForms& forms,
                        const GamesScratch& scratch, const std::vector<std::string>& default_names,
                        const GamesRange& range) {
  GameBuilder b(store, forms, scratch, default_names, range);
  b.Run();
  return GameParts(std::move(b));
}

}  // namespace barvik::gamebuild
