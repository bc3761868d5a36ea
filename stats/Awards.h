// Awards from the kill timelines of a games model: per game and over all games, which person
// did most of something (docs/awards.md defines each). Warm-ups are left out; team kills and
// suicides count only for the awards about them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "log/EventStore.h"
#include "stats/Games.h"

namespace barvik {

enum class Award : uint8_t {
  KillStreak,  // most enemy kills in one life
  MultiKills,  // runs of two or more enemy kills, each at most 2 seconds after the one before
  HeadHunter,  // enemy kills at hit location "head"
  Bash,        // enemy kills by MOD_MELEE
  FirstBlood,  // the game's first enemy kill
  Nemesis,     // most enemy kills against one opponent
  Vengeance,   // enemy kills of the person who killed him last
  Traitor,     // team kills
  Lemming,     // suicides
  kCount
};
inline constexpr size_t kAwardCount = static_cast<size_t>(Award::kCount);
// "kill streak", "multi-kills", ...: the award's name in docs/awards.md.
std::string_view AwardName(Award award);
// Whether `value` is a figure someone earned for `award` (0 earns nothing).
bool HasFigure(Award award, uint32_t value);

// One person's figure for one award.
struct AwardHolder {
  PersonIndex person = kNoPerson;  // kNoPerson: nobody earned it
  uint32_t value = 0;
};

// Per award, its holder: the highest figure, the lower person index among equals.
using AwardTable = std::array<AwardHolder, kAwardCount>;

struct AwardsModel {
  std::vector<AwardTable> games;  // per game of the model (all empty for a warm-up)
  AwardTable overall;             // counts summed over the games; streak and nemesis the best
                                  // of one game
  // Per person (by index), his figure for each award over all games.
  std::vector<std::array<uint32_t, kAwardCount>> people;
};

AwardsModel ComputeAwards(const EventStore& store, const GamesModel& model);

}  // namespace barvik
