// Awards from the games of a games model: per game and over all games, which person did most
// of something (docs/awards.md defines each), each an honour or a shame. Warm-ups are left out;
// team kills and suicides count only for the awards about them. A team's result is its own:
// no award names one person for what his team won or lost.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "log/EventStore.h"
#include "stats/Games.h"

namespace barvik {

enum class Award : uint8_t {
  KillStreak,    // most enemy kills in one life
  MultiKills,    // runs of two or more enemy kills, each at most 2 seconds after the one before
  HeadHunter,    // enemy kills at hit location "head"
  Bash,          // enemy kills by MOD_MELEE
  Grenadier,     // enemy kills with a weapon of the group "grenade"
  Sniper,        // ... "sniper"
  Pistol,        // ... "pistol"
  Satchel,       // ... "satchel"
  TankAce,       // ... "tank"
  LimbShots,     // enemy kills at an arm, hand, leg or foot
  FirstBlood,    // the game's first enemy kill
  Nemesis,       // most enemy kills against one opponent
  Vengeance,     // enemy kills of the person who killed him last
  LongestLife,   // seconds
  ShortestLife,  // seconds; the lowest figure holds it
  MostDamage,    // damage dealt in one life
  Traitor,       // team kills
  Lemming,       // suicides
  Winner,        // free-for-all games he won (a team game's result goes to the team)
  kCount
};
inline constexpr size_t kAwardCount = static_cast<size_t>(Award::kCount);
// "kill streak", "multi-kills", ...: the award's name in docs/awards.md.
std::string_view AwardName(Award award);
// An honour names who did well; a shame (the shortest life, team kills, suicides) who did not.
enum class AwardKind : uint8_t { Honour, Shame };
AwardKind KindOf(Award award);
// "honour" or "shame".
std::string_view KindName(AwardKind kind);

// The figure of nobody for `award`: 0, but for the shortest life, where 0 seconds is a figure.
uint32_t NoFigure(Award award);
// Whether `value` is a figure someone earned for `award`.
bool HasFigure(Award award, uint32_t value);

// The weapon groups the weapon awards count, as the friendly-names table assigns them.
enum class WeaponGroup : uint8_t { None, Grenade, Sniper, Pistol, Satchel, Tank };
// The group a table names by its word ("grenade", "sniper", "pistol", "satchel", "tank").
std::optional<WeaponGroup> WeaponGroupNamed(std::string_view word);
// Weapon names, letters in lower case (Windows-1252), to their group.
using WeaponGroups = std::unordered_map<std::string, WeaponGroup>;

// One person's figure for one award.
struct AwardHolder {
  PersonIndex person = kNoPerson;  // kNoPerson: nobody earned it
  uint32_t value = 0;
};

// Per award, its holder: the best figure (the highest; the lowest for the shortest life), the
// lower person index among equals.
using AwardTable = std::array<AwardHolder, kAwardCount>;
using AwardFigures = std::array<uint32_t, kAwardCount>;

struct AwardsModel {
  std::vector<AwardTable> games;  // per game of the model (all empty for a warm-up)
  // Per game, the runner-up of each award: the best figure of everyone but its holder (which
  // may equal the holder's), nobody when nobody else earned it.
  std::vector<AwardTable> runners_up;
  AwardTable overall;  // counts summed over the games; the others the best of one game
  // Per person (by index), his figure for each award over all games.
  std::vector<AwardFigures> people;
};

AwardsModel ComputeAwards(const EventStore& store, const GamesModel& model,
                          const WeaponGroups& groups = {});

// The people not hidden by the people file who share the best figure of `award` over all games,
// in the model's order; empty when none of them earned it. `overall` may name a hidden person:
// the pages and documents that leave him out give the award to these instead.
std::vector<PersonIndex> ShownHolders(const AwardsModel& awards, const GamesModel& model,
                                      Award award);

}  // namespace barvik
