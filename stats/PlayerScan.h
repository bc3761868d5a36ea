// The player scan as a handler of the event walk (ScanEvents, ScanEventsAt): what one or more
// followed players did and suffered, by the rules every player scan counts by. The one-player
// scan of the window and the report and the all-players pass the checks compare it with both
// run it, so that they cannot count differently.
//
// `Players` tells whom to follow: `players.Find(key)` gives the index of the followed player
// whose name is exactly the key's text, or -1; `players.Events(index)` his lists. The scan
// interns turn keys into the pool of `forms`; it keeps references to `forms` and `players`.
#pragma once

#include <cstdint>
#include <string>

#include "core/LineError.h"
#include "log/EventScan.h"
#include "log/EventStore.h"
#include "log/KeyPool.h"
#include "log/LineKind.h"
#include "stats/PlayerDetail.h"

namespace barvik {

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
  using P = PlayerEvents;

  static void Add(EventGroup& group, size_t list, KeyId key) { group.lists[list].push_back(key); }

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

}  // namespace barvik
