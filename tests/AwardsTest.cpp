// Awards on a small game made for them: streaks end at a death and take no team kill, kills at
// most 2 seconds apart make a multi-kill and 3 seconds do not, vengeance, first blood, traitor
// and lemming.
#include "stats/Awards.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace barvik {
namespace {

std::string Kill(const std::string& stamp, const std::string& victim, const std::string& vteam,
                 int vslot, const std::string& attacker, const std::string& ateam, int aslot,
                 const std::string& location = "torso_upper") {
  return stamp + " K;0;" + std::to_string(vslot) + ";" + vteam + ";" + victim + ";0;" +
         std::to_string(aslot) + ";" + ateam + ";" + attacker + ";kar98k_mp;100;MOD_RIFLE_BULLET;" +
         location;
}

TEST(AwardsTest, StreaksMultiKillsAndRevengeFollowTheTimeline) {
  const std::vector<std::string> lines = {
      "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\",
      Kill("  0:10", "Bo", "axis", 2, "Al", "allies", 1),
      Kill("  0:12", "Cy", "axis", 3, "Al", "allies", 1),  // 2 seconds: a double kill
      Kill("  0:20", "Al", "allies", 1, "Bo", "axis", 2),  // Bo's revenge; Al's life ends at 2
      Kill("  0:30", "Bo", "axis", 2, "Al", "allies", 1),  // Al's revenge
      Kill("  0:33", "Cy", "axis", 3, "Al", "allies", 1, "head"),  // 3 seconds: no multi-kill
      Kill("  0:40", "Dee", "allies", 4, "Al", "allies", 1),       // a team kill: no streak
      Kill("  0:50", "Cy", "axis", 3, "Cy", "axis", 3),            // a suicide
      "  2:00 ShutdownGame:",
  };
  EventStore store;
  for (const std::string& line : lines) store.AddLine(line);
  store.Finish();
  const GamesModel model = BuildGames(store);
  const AwardsModel awards = ComputeAwards(store, model);
  const PersonIndex al = model.FindPerson(store, "Al");
  const PersonIndex bo = model.FindPerson(store, "Bo");
  const PersonIndex cy = model.FindPerson(store, "Cy");
  auto of = [&](PersonIndex p, Award a) { return awards.people.at(p)[static_cast<size_t>(a)]; };
  EXPECT_EQ(of(al, Award::KillStreak), 2u);
  EXPECT_EQ(of(al, Award::MultiKills), 1u);
  EXPECT_EQ(of(al, Award::FirstBlood), 1u);
  EXPECT_EQ(of(bo, Award::FirstBlood), 0u);
  EXPECT_EQ(of(al, Award::Vengeance), 1u);
  EXPECT_EQ(of(bo, Award::Vengeance), 1u);
  EXPECT_EQ(of(al, Award::Nemesis), 2u);
  EXPECT_EQ(of(al, Award::HeadHunter), 1u);
  EXPECT_EQ(of(al, Award::Traitor), 1u);
  EXPECT_EQ(of(cy, Award::Lemming), 1u);

  const AwardTable& game = awards.games.at(0);
  EXPECT_EQ(game[static_cast<size_t>(Award::KillStreak)].person, al);
  EXPECT_EQ(game[static_cast<size_t>(Award::Lemming)].person, cy);
  EXPECT_EQ(game[static_cast<size_t>(Award::Bash)].person, kNoPerson);  // nobody earned it
  EXPECT_EQ(awards.overall[static_cast<size_t>(Award::Vengeance)].person, std::min(al, bo));
}

}  // namespace
}  // namespace barvik
