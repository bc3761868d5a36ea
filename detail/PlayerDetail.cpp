#include "detail/PlayerDetail.h"

#include <exception>
#include <utility>

#include "core/StringHash.h"
#include "log/LogFile.h"
#include "log/Statistics.h"

namespace barvik {
namespace {

using P = PlayerEvents;

void Add(EventGroup& group, size_t list, KeyId key) { group.lists[list].push_back(key); }

// The walk shared by the one-player and the all-players scans, so that both count by the
// same rules. `players.Find(name)` gives the index of the followed player whose name is
// exactly `name`, or -1; `players.Events(index)` his lists. Texts are interned into `pool`.
template <typename Players>
void ScanPlayerEvents(const LogFile& log, KeyPool& pool, Players& players,
                      const LineErrorReporter& report_error) {
  KeyId map = pool.Intern(kNotDefined);
  KeyId game_type = map;
  int64_t turn = 0;
  KeyId turn_key = pool.Intern(TurnKey(turn));
  int64_t last_lookup = -1;
  std::string scratch[4];
  std::string_view f[13];
  auto find = [&](std::string_view name) {
    int r = players.Find(name);
    last_lookup = r;
    return r;
  };

  for (size_t i = 0; i < log.LineCount(); ++i) {
    std::string_view n1;
    std::string_view n2;
    try {
      LogFile::GetFields(log.Line(i), 13, f);
      const LineKind kind = LogFile::KindOfField1(f[0]);
      switch (kind) {
        case LineKind::GameInit:
          map = pool.Intern(GameInitValue(f[0], "\\mapname\\"));
          game_type = pool.Intern(GameInitValue(f[0], "\\g_gametype\\"));
          turn_key = pool.Intern(TurnKey(++turn));
          break;
        case LineKind::WeaponPickUp: {
          n1 = log.NormaliseInto(f[3], scratch[0]);
          int p = find(n1);
          if (p >= 0) {
            KeyId weapon = pool.Intern(log.NormaliseInto(f[4], scratch[1]));
            Add(players.Events(p).weapons, P::kWeaponPickUp, weapon);
          }
          break;
        }
        case LineKind::Action: {
          n1 = log.NormaliseInto(f[4], scratch[0]);
          int p = find(n1);
          if (p >= 0) {
            PlayerEvents& e = players.Events(p);
            Add(e.maps, P::kPlaceBelTicks, map);
            Add(e.game_types, P::kPlaceBelTicks, game_type);
          }
          break;
        }
        case LineKind::Kill:
        case LineKind::Damage: {
          const bool kill = kind == LineKind::Kill;
          n1 = log.NormaliseInto(f[4], scratch[0]);  // victim
          n2 = log.NormaliseInto(f[8], scratch[1]);  // attacker
          const int v = find(n1);
          // When the attacker is the victim, only the victim's side of the line counts.
          const int a = n2 == n1 ? -1 : find(n2);
          if (v < 0 && a < 0) break;
          const KeyId weapon = pool.Intern(log.NormaliseInto(f[9], scratch[2]));
          const KeyId location = pool.Intern(log.NormaliseInto(f[12], scratch[3]));
          if (v >= 0) {
            PlayerEvents& e = players.Events(v);
            const bool by_other = !n2.empty() && n2 != n1;
            if (kill && by_other) {
              Add(e.weapons, P::kWeaponDeads, weapon);
              Add(e.victim_locations, P::kVictimDeads, location);
              Add(e.maps, P::kPlaceDeads, map);
              Add(e.game_types, P::kPlaceDeads, game_type);
              Add(e.opponents, P::kOpponentDeads, pool.Intern(n2));
              Add(e.turns, P::kTurnDeads, turn_key);
            } else if (kill) {
              Add(e.weapons, P::kWeaponSuicides, weapon);
              Add(e.attack_locations, P::kAttackSuicides, location);
              Add(e.maps, P::kPlaceSuicides, map);
              Add(e.game_types, P::kPlaceSuicides, game_type);
            } else if (by_other) {
              Add(e.weapons, P::kWeaponDamages, weapon);
              Add(e.victim_locations, P::kVictimDamages, location);
              Add(e.maps, P::kPlaceDamages, map);
              Add(e.game_types, P::kPlaceDamages, game_type);
              Add(e.opponents, P::kOpponentDamages, pool.Intern(n2));
            } else {
              // A self damage reaches only the weapon table.
              Add(e.weapons, P::kWeaponSelfDamages, weapon);
            }
          }
          if (a >= 0) {
            PlayerEvents& e = players.Events(a);
            if (kill) {
              Add(e.weapons, P::kWeaponKills, weapon);
              Add(e.attack_locations, P::kAttackKills, location);
              Add(e.maps, P::kPlaceKills, map);
              Add(e.game_types, P::kPlaceKills, game_type);
              Add(e.opponents, P::kOpponentKills, pool.Intern(n1));
              Add(e.turns, P::kTurnKills, turn_key);
            } else {
              Add(e.weapons, P::kWeaponIDamages, weapon);
              Add(e.attack_locations, P::kAttackIDamages, location);
              Add(e.maps, P::kPlaceIDamages, map);
              Add(e.game_types, P::kPlaceIDamages, game_type);
              Add(e.opponents, P::kOpponentIDamages, pool.Intern(n1));
            }
          }
          break;
        }
        default:
          break;
      }
    } catch (const std::exception&) {
      if (report_error) report_error(LineErrorMessage("PLAYER", i, last_lookup, n1, n2));
    }
  }
}

class OnePlayer {
 public:
  OnePlayer(std::string_view name, PlayerEvents& events) : name_(name), events_(events) {}
  int Find(std::string_view name) const { return name == name_ ? 0 : -1; }
  PlayerEvents& Events(int) { return events_; }

 private:
  std::string_view name_;
  PlayerEvents& events_;
};

class AllPlayers {
 public:
  AllPlayers(const StringMap<int>& index, std::vector<PlayerEvents>& events)
      : index_(index), events_(events) {}
  int Find(std::string_view name) const {
    auto it = index_.find(name);
    return it == index_.end() ? -1 : it->second;
  }
  PlayerEvents& Events(int index) { return events_[static_cast<size_t>(index)]; }

 private:
  const StringMap<int>& index_;
  std::vector<PlayerEvents>& events_;
};

void ShrinkToFit(EventGroup& group) {
  for (auto& list : group.lists) list.shrink_to_fit();
}

}  // namespace

std::string TurnKey(int64_t turn) {
  std::string digits = std::to_string(turn);
  if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
  return digits;
}

void CollectPlayerEvents(const LogFile& log, std::string_view name, PlayerEvents& events,
                         const LineErrorReporter& report_error) {
  OnePlayer player(name, events);
  ScanPlayerEvents(log, *events.pool, player, report_error);
}

std::vector<PlayerEvents> CollectAllPlayersEvents(const LogFile& log,
                                                  const std::vector<std::string>& names,
                                                  const LineErrorReporter& report_error) {
  auto pool = std::make_shared<KeyPool>();
  std::vector<PlayerEvents> events(names.size());
  for (PlayerEvents& e : events) e.pool = pool;

  // Exact names; a name given again is filled from its first occurrence afterwards.
  StringMap<int> index;
  std::vector<std::pair<size_t, size_t>> repeats;  // (position, first position)
  for (size_t i = 0; i < names.size(); ++i) {
    auto [it, inserted] = index.try_emplace(names[i], static_cast<int>(i));
    if (!inserted) repeats.emplace_back(i, static_cast<size_t>(it->second));
  }

  AllPlayers players(index, events);
  ScanPlayerEvents(log, *pool, players, report_error);

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

void CollectWeaponHits(const LogFile& log, std::string_view player, std::string_view weapon,
                       WeaponHits& hits, const LineErrorReporter& report_error) {
  std::string scratch[4];
  std::string_view f[13];
  for (size_t i = 0; i < log.LineCount(); ++i) {
    std::string_view victim;
    std::string_view attacker;
    try {
      LogFile::GetFields(log.Line(i), 13, f);
      const LineKind kind = LogFile::KindOfField1(f[0]);
      if (kind != LineKind::Kill && kind != LineKind::Damage) continue;
      victim = log.NormaliseInto(f[4], scratch[0]);
      attacker = log.NormaliseInto(f[8], scratch[1]);
      WeaponHits::List list;
      if (victim == player) {
        // Damage the player did to himself, and his deaths by others, are not his hits.
        const bool by_other = !attacker.empty() && attacker != victim;
        if (kind == LineKind::Damage || by_other) continue;
        list = WeaponHits::kSuicides;
      } else if (attacker == player) {
        list = kind == LineKind::Kill ? WeaponHits::kKills : WeaponHits::kIDamages;
      } else {
        continue;
      }
      if (log.NormaliseInto(f[9], scratch[2]) != weapon) continue;
      Add(hits.hits, list, hits.pool.Intern(log.NormaliseInto(f[12], scratch[3])));
    } catch (const std::exception&) {
      if (report_error) report_error(LineErrorMessage("PLAYER WEAPON", i, -1, victim, attacker));
    }
  }
}

}  // namespace barvik
