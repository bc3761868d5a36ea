// The selected player's scans: one walk over the loaded log that collects everything one
// player did and suffered as keyed event lists (weapons, hit locations given and taken, maps,
// game types, opponents, turns), from his records in the log's index, and the walk for the
// body locations hit with one weapon.
//
// A player is his normalised name exactly as it stands in the caption of his players-list
// row; every name read from a line is normalised by the log's name options and compared with
// it exactly (case-sensitive). A failure while one line is handled is reported through the
// reporter with the line's index and the scan goes on with the next line; what the line had
// already added stays.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/LineError.h"
#include "core/StableHash.h"
#include "log/KeyPool.h"

namespace barvik {

class LogFile;

// The seven groups of one player's events; list order is the order of the count columns of
// the group's table. Entries are ids of `pool`, which several PlayerEvents may share (the
// all-players pass interns each text once for everybody).
struct PlayerEvents {
  enum WeaponList {
    kWeaponKills,
    kWeaponDeads,
    kWeaponSuicides,
    kWeaponIDamages,
    kWeaponDamages,
    kWeaponSelfDamages,
    kWeaponPickUp
  };
  enum AttackLocationList { kAttackKills, kAttackIDamages, kAttackSuicides };
  enum VictimLocationList { kVictimDeads, kVictimDamages };
  // Maps and game types share one layout.
  enum PlaceList {
    kPlaceKills,
    kPlaceDeads,
    kPlaceSuicides,
    kPlaceIDamages,
    kPlaceDamages,
    kPlaceBelTicks
  };
  enum OpponentList { kOpponentKills, kOpponentDeads, kOpponentIDamages, kOpponentDamages };
  enum TurnList { kTurnKills, kTurnDeads };

  std::shared_ptr<KeyPool> pool = std::make_shared<KeyPool>();
  EventGroup weapons{7};
  EventGroup attack_locations{3};
  EventGroup victim_locations{2};
  EventGroup maps{6};
  EventGroup game_types{6};
  EventGroup opponents{4};
  EventGroup turns{2};
};

// The key of turn n: n with at least seven digits, zero-padded ("0000000" before the first
// game-initialisation line).
std::string TurnKey(int64_t turn);

// Appends the events of `name` to `events` (normally empty). Scan name "PLAYER".
void CollectPlayerEvents(const LogFile& log, std::string_view name, PlayerEvents& events,
                         const LineErrorReporter& report_error);

// Fingerprints of everything CollectPlayerEvents would read for each name met as a player: for
// each of his records, its kind, turn, map and game type and the normalised texts of the names,
// weapon and location it carries. Equal fingerprints (in this run or a later one, whatever the
// logs' text ids) mean equal event lists, so an export may leave the files made from them
// alone. Made in one walk over the log for all the names at once, without building any list.
//
// The walk may start where an earlier run's stopped: State() gives, as bytes, every name's
// fingerprint so far with what it covered (the records, texts and settings of the store up to
// its end, by their hash, and the name options). Given that state, a store whose leading
// records are those is walked from where it ended only; a state of other records or options,
// or one that does not read whole, is ignored and the whole store walked. Either way the
// fingerprints are the same.
class PlayerFingerprints {
 public:
  explicit PlayerFingerprints(const LogFile& log, std::string_view earlier_state = {});
  // The fingerprint of `name` (that of a player without events for a name never met).
  uint64_t Of(std::string_view name) const;
  // The state to continue from in a later run.
  std::string State() const;
  // True when the walk continued from the state given.
  bool continued() const { return continued_; }

 private:
  // Takes the fingerprints of `state` when it covers the leading records of the store; gives
  // where the walk goes on, or nothing.
  std::optional<uint32_t> Continue(std::string_view state);

  const LogFile& log_;
  std::vector<int32_t> slot_of_key_;  // by key id: the index in hashes_, or -1
  std::vector<KeyId> key_of_slot_;
  std::vector<StableHash> hashes_;
  bool continued_ = false;
};

// The body locations one player hit with one weapon: Kills, I.Damages and Suicides, each
// entry the hit location of the line.
struct WeaponHits {
  enum List { kKills, kIDamages, kSuicides };
  KeyPool pool;
  EventGroup hits{3};
};

// Fills `hits` for `player` and `weapon` (both compared exactly with the normalised line
// fields). Counts by the same rules as CollectPlayerEvents, so a weapon's location counts
// add up to its weapon row. Scan name "PLAYER WEAPON".
void CollectWeaponHits(const LogFile& log, std::string_view player, std::string_view weapon,
                       WeaponHits& hits, const LineErrorReporter& report_error);

}  // namespace barvik
