#include "stats/Awards.h"

#include <algorithm>
#include <unordered_map>

#include "core/Text1252.h"

namespace barvik {

namespace {

constexpr std::array<std::string_view, kAwardCount> kNames = {
    "kill streak", "multi-kills",  "head hunter",   "bash",
    "grenadier",   "sniper",       "pistol",        "satchel",
    "tank ace",    "limb shots",   "first blood",   "nemesis",
    "vengeance",   "longest life", "shortest life", "most damage in one life",
    "traitor",     "lemming",      "winner"};

// The award of each weapon group, by WeaponGroup (None has none).
constexpr std::array<Award, 6> kGroupAward = {Award::kCount, Award::Grenadier, Award::Sniper,
                                              Award::Pistol, Award::Satchel,   Award::TankAce};

constexpr uint32_t kMultiKillSeconds = 2;

size_t Index(Award award) { return static_cast<size_t>(award); }

// How a figure over all games comes from the figures of each game.
enum class Over { Sum, Most, Least };
Over OverAllGames(size_t award) {
  switch (static_cast<Award>(award)) {
    case Award::KillStreak:
    case Award::Nemesis:
    case Award::LongestLife:
    case Award::MostDamage:
      return Over::Most;
    case Award::ShortestLife:
      return Over::Least;
    default:
      return Over::Sum;
  }
}

AwardFigures NoFigures() {
  AwardFigures figures{};
  figures[Index(Award::ShortestLife)] = kNoLife;
  return figures;
}

uint32_t Combined(size_t award, uint32_t a, uint32_t b) {
  switch (OverAllGames(award)) {
    case Over::Most:
      return std::max(a, b);
    case Over::Least:
      return std::min(a, b);
    case Over::Sum:
      break;
  }
  return a + b;
}

// Whether `value` of `person` goes before `holder` for `award`.
bool Before(const AwardHolder& holder, size_t award, PersonIndex person, uint32_t value) {
  if (holder.person == kNoPerson) return true;
  if (value == holder.value) return person < holder.person;
  return OverAllGames(award) == Over::Least ? value < holder.value : value > holder.value;
}

void Consider(AwardHolder& holder, size_t award, PersonIndex person, uint32_t value) {
  if (!HasFigure(static_cast<Award>(award), value)) return;
  if (Before(holder, award, person, value)) holder = {person, value};
}

// The same keeping the second best in `runner_up`: a new holder hands his place down.
void Consider(AwardHolder& holder, AwardHolder& runner_up, size_t award, PersonIndex person,
              uint32_t value) {
  if (!HasFigure(static_cast<Award>(award), value)) return;
  if (Before(holder, award, person, value)) {
    runner_up = holder;
    holder = {person, value};
  } else if (Before(runner_up, award, person, value)) {
    runner_up = {person, value};
  }
}

// Hit locations of the arms, hands, legs and feet are the sided ones.
bool IsLimb(std::string_view location) {
  return location.starts_with("left_") || location.starts_with("right_");
}

// The weapon groups by raw weapon id, looked up once per weapon.
class GroupOf {
 public:
  GroupOf(const EventStore& store, const WeaponGroups& groups) : store_(store), groups_(groups) {}
  WeaponGroup operator()(uint32_t weapon) {
    if (groups_.empty()) return WeaponGroup::None;
    auto [it, fresh] = known_.emplace(weapon, WeaponGroup::None);
    if (fresh) {
      const auto named = groups_.find(LowerCopy(store_.texts().Text(weapon)));
      if (named != groups_.end()) it->second = named->second;
    }
    return it->second;
  }

 private:
  const EventStore& store_;
  const WeaponGroups& groups_;
  std::unordered_map<uint32_t, WeaponGroup> known_;
};

// One person's figures while a game's timeline is walked.
struct Tally {
  AwardFigures figures = NoFigures();
  uint32_t streak = 0;     // enemy kills in this life
  uint32_t run = 0;        // enemy kills in the current multi-kill run
  uint32_t last_kill = 0;  // time of his last enemy kill
  PersonIndex killed_by = kNoPerson;
  std::unordered_map<PersonIndex, uint32_t> kills_of;  // enemy kills per victim
};

std::vector<std::pair<PersonIndex, Tally>> TallyGame(const EventStore& store, const Game& game,
                                                     GroupOf& group_of) {
  std::unordered_map<PersonIndex, Tally> tallies;
  bool first_blood = true;
  for (const GameKill& kill : game.kills) {
    Tally& victim = tallies[kill.victim];
    victim.streak = 0;  // every death ends a life
    victim.run = 0;
    if (kill.kind == GameKill::Kind::Suicide) ++victim.figures[Index(Award::Lemming)];
    if (kill.kind == GameKill::Kind::TeamKill) {
      ++tallies[kill.attacker].figures[Index(Award::Traitor)];
    }
    if (kill.kind != GameKill::Kind::Kill) {
      victim.killed_by = kNoPerson;
      continue;
    }
    Tally& attacker = tallies[kill.attacker];
    auto& f = attacker.figures;
    f[Index(Award::KillStreak)] = std::max(f[Index(Award::KillStreak)], ++attacker.streak);
    const bool in_run = attacker.run > 0 && kill.at - attacker.last_kill <= kMultiKillSeconds;
    attacker.run = in_run ? attacker.run + 1 : 1;
    if (attacker.run == 2) ++f[Index(Award::MultiKills)];  // a run counts once, at its second
    attacker.last_kill = kill.at;
    const std::string_view location = store.texts().Text(kill.location);
    if (location == "head") ++f[Index(Award::HeadHunter)];
    if (IsLimb(location)) ++f[Index(Award::LimbShots)];
    if (store.settings().Text(kill.means) == "MOD_MELEE") ++f[Index(Award::Bash)];
    if (const Award award = kGroupAward.at(static_cast<size_t>(group_of(kill.weapon)));
        award != Award::kCount) {
      ++f[Index(award)];
    }
    if (first_blood) ++f[Index(Award::FirstBlood)];
    first_blood = false;
    f[Index(Award::Nemesis)] = std::max(f[Index(Award::Nemesis)], ++attacker.kills_of[kill.victim]);
    if (attacker.killed_by == kill.victim) ++f[Index(Award::Vengeance)];
    victim.killed_by = kill.attacker;
  }
  for (const Participant& p : game.players) {
    Tally& tally = tallies[p.person];
    // His lives as the model tells them: from his first line in play to his death, his quit or
    // the game's end.
    tally.figures[Index(Award::LongestLife)] = p.longest_life;
    tally.figures[Index(Award::ShortestLife)] = p.shortest_life;
    tally.figures[Index(Award::MostDamage)] =
        static_cast<uint32_t>(std::min<uint64_t>(p.most_life_damage, UINT32_MAX - 1));
    tally.figures[Index(Award::Winner)] = p.person == game.winner_person ? 1 : 0;
  }
  std::vector<std::pair<PersonIndex, Tally>> sorted(tallies.begin(), tallies.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return sorted;
}

}  // namespace

std::string_view AwardName(Award award) { return kNames.at(Index(award)); }

AwardKind KindOf(Award award) {
  switch (award) {
    case Award::ShortestLife:
    case Award::Traitor:
    case Award::Lemming:
      return AwardKind::Shame;
    default:
      return AwardKind::Honour;
  }
}

std::string_view KindName(AwardKind kind) { return kind == AwardKind::Shame ? "shame" : "honour"; }

uint32_t NoFigure(Award award) { return NoFigures().at(Index(award)); }

bool HasFigure(Award award, uint32_t value) { return value != NoFigure(award); }

std::optional<WeaponGroup> WeaponGroupNamed(std::string_view word) {
  static constexpr std::array<std::pair<std::string_view, WeaponGroup>, 5> kWords = {{
      {"grenade", WeaponGroup::Grenade},
      {"sniper", WeaponGroup::Sniper},
      {"pistol", WeaponGroup::Pistol},
      {"satchel", WeaponGroup::Satchel},
      {"tank", WeaponGroup::Tank},
  }};
  for (const auto& [name, group] : kWords) {
    if (name == word) return group;
  }
  return std::nullopt;
}

AwardsModel ComputeAwards(const EventStore& store, const GamesModel& model,
                          const WeaponGroups& groups) {
  AwardsModel awards;
  awards.people.assign(model.people.size(), NoFigures());
  GroupOf group_of(store, groups);
  for (const Game& game : model.games) {
    AwardTable& table = awards.games.emplace_back();
    AwardTable& runners_up = awards.runners_up.emplace_back();
    if (game.warmup) continue;
    for (const auto& [person, tally] : TallyGame(store, game, group_of)) {
      if (person == kNoPerson || person >= model.people.size()) continue;
      auto& overall = awards.people[person];
      for (size_t a = 0; a < kAwardCount; ++a) {
        Consider(table[a], runners_up[a], a, person, tally.figures[a]);
        overall[a] = Combined(a, overall[a], tally.figures[a]);
      }
    }
  }
  for (PersonIndex p = 0; p < awards.people.size(); ++p) {
    for (size_t a = 0; a < kAwardCount; ++a) Consider(awards.overall[a], a, p, awards.people[p][a]);
  }
  return awards;
}

std::vector<PersonIndex> ShownHolders(const AwardsModel& awards, const GamesModel& model,
                                      Award award) {
  const size_t a = Index(award);
  AwardHolder best;
  for (PersonIndex p = 0; p < awards.people.size() && p < model.people.size(); ++p) {
    if (!model.people[p].hidden) Consider(best, a, p, awards.people[p][a]);
  }
  std::vector<PersonIndex> holders;
  for (PersonIndex p = 0; best.person != kNoPerson && p < awards.people.size(); ++p) {
    if (!model.people[p].hidden && awards.people[p][a] == best.value) holders.push_back(p);
  }
  return holders;
}

}  // namespace barvik
