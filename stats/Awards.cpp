#include "stats/Awards.h"

#include <algorithm>
#include <unordered_map>

namespace barvik {

namespace {

constexpr std::array<std::string_view, kAwardCount> kNames = {
    "kill streak", "multi-kills", "head hunter", "bash",   "first blood",
    "nemesis",     "vengeance",   "traitor",     "lemming"};

constexpr uint32_t kMultiKillSeconds = 2;

size_t Index(Award award) { return static_cast<size_t>(award); }

// Whether an award's figure over all games is the best of one game rather than a sum.
bool BestOfOneGame(size_t award) {
  return award == Index(Award::KillStreak) || award == Index(Award::Nemesis);
}

void Consider(AwardHolder& holder, PersonIndex person, uint32_t value) {
  if (value == 0) return;
  if (value > holder.value || (value == holder.value && person < holder.person)) {
    holder = {person, value};
  }
}

// One person's figures while a game's timeline is walked.
struct Tally {
  std::array<uint32_t, kAwardCount> figures{};
  uint32_t streak = 0;     // enemy kills in this life
  uint32_t run = 0;        // enemy kills in the current multi-kill run
  uint32_t last_kill = 0;  // time of his last enemy kill
  PersonIndex killed_by = kNoPerson;
  std::unordered_map<PersonIndex, uint32_t> kills_of;  // enemy kills per victim
};

std::vector<std::pair<PersonIndex, Tally>> TallyGame(const EventStore& store, const Game& game) {
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
    if (store.texts().Text(kill.location) == "head") ++f[Index(Award::HeadHunter)];
    if (store.settings().Text(kill.means) == "MOD_MELEE") ++f[Index(Award::Bash)];
    if (first_blood) ++f[Index(Award::FirstBlood)];
    first_blood = false;
    f[Index(Award::Nemesis)] = std::max(f[Index(Award::Nemesis)], ++attacker.kills_of[kill.victim]);
    if (attacker.killed_by == kill.victim) ++f[Index(Award::Vengeance)];
    victim.killed_by = kill.attacker;
  }
  std::vector<std::pair<PersonIndex, Tally>> sorted(tallies.begin(), tallies.end());
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return sorted;
}

}  // namespace

std::string_view AwardName(Award award) { return kNames.at(Index(award)); }

bool HasFigure(Award /*award*/, uint32_t value) { return value != 0; }

AwardsModel ComputeAwards(const EventStore& store, const GamesModel& model) {
  AwardsModel awards;
  awards.people.resize(model.people.size());
  for (const Game& game : model.games) {
    AwardTable& table = awards.games.emplace_back();
    if (game.warmup) continue;
    for (const auto& [person, tally] : TallyGame(store, game)) {
      if (person == kNoPerson || person >= model.people.size()) continue;
      auto& overall = awards.people[person];
      for (size_t a = 0; a < kAwardCount; ++a) {
        Consider(table[a], person, tally.figures[a]);
        overall[a] = BestOfOneGame(a) ? std::max(overall[a], tally.figures[a])
                                      : overall[a] + tally.figures[a];
      }
    }
  }
  for (PersonIndex p = 0; p < awards.people.size(); ++p) {
    for (size_t a = 0; a < kAwardCount; ++a) Consider(awards.overall[a], p, awards.people[p][a]);
  }
  return awards;
}

}  // namespace barvik
