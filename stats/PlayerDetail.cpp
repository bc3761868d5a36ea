#include "stats/PlayerDetail.h"

#include <exception>
#include <utility>

#include "log/EventScan.h"
#include "log/LogFile.h"
#include "stats/Statistics.h"

namespace barvik {
namespace {

using P = PlayerEvents;

void Add(EventGroup& group, size_t list, KeyId key) { group.lists[list].push_back(key); }

// The player scan as a handler of the event walk, shared by the one-player and the
// all-players scans so that both count by the same rules. `players.Find(key)` gives the index
// of the followed player whose name is exactly the key's text, or -1; `players.Events(index)`
// his lists.
template <typename Players>
class PlayerScan {
 public:
  PlayerScan(const NameForms& forms, Players& players)
      : forms_(forms), pool_(forms.pool()), players_(players) {
    turn_key_ = pool_.Intern(TurnKey(0));
  }

  void operator()(const EventView& e, const ScanState& state) {
    n1_ = n2_ = NameForms::kEmpty;
    switch (e.kind) {
      case LineKind::WeaponPickUp: {
        n1_ = forms_.Name(e.ids[0]);
        const int p = Find(n1_);
        if (p >= 0) Add(players_.Events(p).weapons, P::kWeaponPickUp, forms_.Name(e.ids[1]));
        break;
      }
      case LineKind::Action: {
        n1_ = forms_.Name(e.ids[0]);
        const int p = Find(n1_);
        if (p >= 0) {
          PlayerEvents& ev = players_.Events(p);
          Add(ev.maps, P::kPlaceBelTicks, state.map);
          Add(ev.game_types, P::kPlaceBelTicks, state.game_type);
        }
        break;
      }
      case LineKind::Kill:
      case LineKind::Damage:
        Hit(e.kind == LineKind::Kill, e.ids, state);
        break;
      default:
        break;
    }
  }

  std::string ErrorMessage(uint64_t line) const {
    return LineErrorMessage("PLAYER", line, last_lookup_, pool_.Text(n1_), pool_.Text(n2_));
  }

 private:
  int Find(KeyId name) {
    const int r = players_.Find(name);
    last_lookup_ = r;
    return r;
  }

  KeyId TurnKeyOf(int64_t turn) {
    if (turn != turn_) {
      turn_ = turn;
      turn_key_ = pool_.Intern(TurnKey(turn));
    }
    return turn_key_;
  }

  void Hit(bool kill, const uint32_t* ids, const ScanState& state) {
    n1_ = forms_.Name(ids[0]);  // victim
    n2_ = forms_.Name(ids[1]);  // attacker
    const int v = Find(n1_);
    // When the attacker is the victim, only the victim's side of the line counts.
    const int a = n2_ == n1_ ? -1 : Find(n2_);
    if (v < 0 && a < 0) return;
    const KeyId weapon = forms_.Name(ids[2]);
    const KeyId location = forms_.Name(ids[3]);
    if (v >= 0) {
      PlayerEvents& e = players_.Events(v);
      const bool by_other = n2_ != NameForms::kEmpty && n2_ != n1_;
      if (kill && by_other) {
        Add(e.weapons, P::kWeaponDeads, weapon);
        Add(e.victim_locations, P::kVictimDeads, location);
        Add(e.maps, P::kPlaceDeads, state.map);
        Add(e.game_types, P::kPlaceDeads, state.game_type);
        Add(e.opponents, P::kOpponentDeads, n2_);
        Add(e.turns, P::kTurnDeads, TurnKeyOf(state.turn));
      } else if (kill) {
        Add(e.weapons, P::kWeaponSuicides, weapon);
        Add(e.attack_locations, P::kAttackSuicides, location);
        Add(e.maps, P::kPlaceSuicides, state.map);
        Add(e.game_types, P::kPlaceSuicides, state.game_type);
      } else if (by_other) {
        Add(e.weapons, P::kWeaponDamages, weapon);
        Add(e.victim_locations, P::kVictimDamages, location);
        Add(e.maps, P::kPlaceDamages, state.map);
        Add(e.game_types, P::kPlaceDamages, state.game_type);
        Add(e.opponents, P::kOpponentDamages, n2_);
      } else {
        // A self damage reaches only the weapon table.
        Add(e.weapons, P::kWeaponSelfDamages, weapon);
      }
    }
    if (a >= 0) {
      PlayerEvents& e = players_.Events(a);
      if (kill) {
        Add(e.weapons, P::kWeaponKills, weapon);
        Add(e.attack_locations, P::kAttackKills, location);
        Add(e.maps, P::kPlaceKills, state.map);
        Add(e.game_types, P::kPlaceKills, state.game_type);
        Add(e.opponents, P::kOpponentKills, n1_);
        Add(e.turns, P::kTurnKills, TurnKeyOf(state.turn));
      } else {
        Add(e.weapons, P::kWeaponIDamages, weapon);
        Add(e.attack_locations, P::kAttackIDamages, location);
        Add(e.maps, P::kPlaceIDamages, state.map);
        Add(e.game_types, P::kPlaceIDamages, state.game_type);
        Add(e.opponents, P::kOpponentIDamages, n1_);
      }
    }
  }

  const NameForms& forms_;
  KeyPool& pool_;
  Players& players_;
  int64_t last_lookup_ = -1;
  KeyId n1_ = NameForms::kEmpty;
  KeyId n2_ = NameForms::kEmpty;
  int64_t turn_ = 0;
  KeyId turn_key_;
};

class OnePlayer {
 public:
  OnePlayer(KeyId name, PlayerEvents& events) : name_(name), events_(events) {}
  int Find(KeyId name) const { return name == name_ ? 0 : -1; }
  PlayerEvents& Events(int) { return events_; }

 private:
  KeyId name_;
  PlayerEvents& events_;
};

class AllPlayers {
 public:
  AllPlayers(const std::vector<int>& index, std::vector<PlayerEvents>& events)
      : index_(index), events_(events) {}
  int Find(KeyId name) const { return name < index_.size() ? index_[name] : -1; }
  PlayerEvents& Events(int index) { return events_[static_cast<size_t>(index)]; }

 private:
  const std::vector<int>& index_;  // by key
  std::vector<PlayerEvents>& events_;
};

void ShrinkToFit(EventGroup& group) {
  for (auto& list : group.lists) list.shrink_to_fit();
}

// The records in which a name normalising exactly to `name` takes part, in log order.
std::vector<uint32_t> PositionsOf(const LogFile& log, KeyId name) {
  if (name == KeyPool::kNone) return {};
  return log.Index().Merge(log.Forms().RawOf(name));
}

}  // namespace

std::string TurnKey(int64_t turn) {
  std::string digits = std::to_string(turn);
  if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
  return digits;
}

void CollectPlayerEvents(const LogFile& log, std::string_view name, PlayerEvents& events,
                         const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  events.pool = forms.shared_pool();
  const KeyId key = forms.pool().Find(name);
  OnePlayer player(key, events);
  PlayerScan<OnePlayer> scan(forms, player);
  ScanEventsAt(log, PositionsOf(log, key), scan, report_error);
}

std::vector<PlayerEvents> CollectAllPlayersEvents(const LogFile& log,
                                                  const std::vector<std::string>& names,
                                                  const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  std::vector<PlayerEvents> events(names.size());
  for (PlayerEvents& e : events) e.pool = forms.shared_pool();

  // Exact names; a name given again is filled from its first occurrence afterwards.
  std::vector<int> index(forms.pool().size(), -1);
  std::vector<std::pair<size_t, size_t>> repeats;  // (position, first position)
  for (size_t i = 0; i < names.size(); ++i) {
    const KeyId key = forms.pool().Find(names[i]);
    if (key == KeyPool::kNone) continue;  // never on a line: no events
    if (index[key] < 0) {
      index[key] = static_cast<int>(i);
    } else {
      repeats.emplace_back(i, static_cast<size_t>(index[key]));
    }
  }

  AllPlayers players(index, events);
  PlayerScan<AllPlayers> scan(forms, players);
  ScanEvents(log, scan, report_error);

  // The lists are kept until the report has used them all: give back the growth reserve.
  for (PlayerEvents& e : events) {
    for (EventGroup* g : {&e.weapons, &e.attack_locations, &e.victim_locations, &e.maps,
                          &e.game_types, &e.opponents, &e.turns}) {
      ShrinkToFit(*g);
    }
  }
  for (auto [i, first] : repeats) events[i] = events[first];
  return events;
}

namespace {

// The weapon scan as a handler: the player's kills, inflicted damages and suicides with one
// weapon, by hit location.
class WeaponScan {
 public:
  WeaponScan(const NameForms& forms, KeyId player, KeyId weapon, WeaponHits& hits)
      : forms_(forms), player_(player), weapon_(weapon), hits_(hits) {}

  void operator()(const EventView& e, const ScanState&) {
    victim_ = attacker_ = NameForms::kEmpty;
    if (e.kind != LineKind::Kill && e.kind != LineKind::Damage) return;
    victim_ = forms_.Name(e.ids[0]);
    attacker_ = forms_.Name(e.ids[1]);
    WeaponHits::List list;
    if (victim_ == player_) {
      // Damage the player did to himself, and his deaths by others, are not his hits.
      const bool by_other = attacker_ != NameForms::kEmpty && attacker_ != victim_;
      if (e.kind == LineKind::Damage || by_other) return;
      list = WeaponHits::kSuicides;
    } else if (attacker_ == player_) {
      list = e.kind == LineKind::Kill ? WeaponHits::kKills : WeaponHits::kIDamages;
    } else {
      return;
    }
    if (forms_.Name(e.ids[2]) != weapon_) return;
    Add(hits_.hits, list, hits_.pool.Intern(forms_.pool().Text(forms_.Name(e.ids[3]))));
  }

  std::string ErrorMessage(uint64_t line) const {
    const KeyPool& pool = forms_.pool();
    return LineErrorMessage("PLAYER WEAPON", line, -1, pool.Text(victim_), pool.Text(attacker_));
  }

 private:
  const NameForms& forms_;
  KeyId player_;
  KeyId weapon_;
  WeaponHits& hits_;
  KeyId victim_ = NameForms::kEmpty;
  KeyId attacker_ = NameForms::kEmpty;
};

}  // namespace

void CollectWeaponHits(const LogFile& log, std::string_view player, std::string_view weapon,
                       WeaponHits& hits, const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  const KeyId player_key = forms.pool().Find(player);
  const KeyId weapon_key = forms.pool().Find(weapon);
  if (weapon_key == KeyPool::kNone) return;
  WeaponScan scan(forms, player_key, weapon_key, hits);
  ScanEventsAt(log, PositionsOf(log, player_key), scan, report_error);
}

}  // namespace barvik
