// Awards on small games made for them: streaks end at a death and take no team kill, kills at
// most 2 seconds apart make a multi-kill and 3 seconds do not, vengeance, first blood, traitor
// and lemming; weapon groups from the friendly-names table, limb shots, lives and their
// damage; a team's result goes to no one person; honours and shames; runners-up.
#include "stats/Awards.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "report/FriendlyNames.h"

namespace barvik {
namespace {

std::string Kill(const std::string& stamp, const std::string& victim, const std::string& vteam,
                 int vslot, const std::string& attacker, const std::string& ateam, int aslot,
                 const std::string& location = "torso_upper",
                 const std::string& weapon = "kar98k_mp", const std::string& kind = "K") {
  return stamp + " " + kind + ";0;" + std::to_string(vslot) + ";" + vteam + ";" + victim + ";0;" +
         std::to_string(aslot) + ";" + ateam + ";" + attacker + ";" + weapon + ";" +
         (kind == "K" ? "100" : "30") + ";MOD_RIFLE_BULLET;" + location;
}

// A log's games and people; calling it finds a person by name.
struct Played {
  explicit Played(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) store.AddLine(line);
    store.Finish();
    model = BuildGames(store);
  }
  PersonIndex operator()(std::string_view name) const { return model.FindPerson(store, name); }
  EventStore store;
  GamesModel model;
};

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
  const Played game(lines);
  const AwardsModel awards = ComputeAwards(game.store, game.model);
  const PersonIndex al = game("Al"), bo = game("Bo"), cy = game("Cy");
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

  const AwardTable& table = awards.games.at(0);
  EXPECT_EQ(table[static_cast<size_t>(Award::KillStreak)].person, al);
  EXPECT_EQ(table[static_cast<size_t>(Award::Lemming)].person, cy);
  EXPECT_EQ(table[static_cast<size_t>(Award::Bash)].person, kNoPerson);  // nobody earned it
  EXPECT_EQ(awards.overall[static_cast<size_t>(Award::Vengeance)].person, std::min(al, bo));
  // Each award once, with its runner-up: Bo's streak of one is second to Al's two.
  const AwardTable& second = awards.runners_up.at(0);
  EXPECT_EQ(second[static_cast<size_t>(Award::KillStreak)].person, bo);
  EXPECT_EQ(second[static_cast<size_t>(Award::KillStreak)].value, 1u);
  EXPECT_EQ(second[static_cast<size_t>(Award::Lemming)].person, kNoPerson);  // Cy alone
}

// A team game names nobody winner or loser for his team's result; a free-for-all names its
// winner. Honours and shames: the shortest life, team kills and suicides are no honour.
TEST(AwardsTest, ResultsGoToTheTeamAndShamesAreNoHonours) {
  const std::vector<std::string> lines = {
      "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\",
      Kill("  0:10", "Bo", "axis", 2, "Al", "allies", 1),
      Kill("  0:20", "Cy", "axis", 3, "Al", "allies", 1),
      "  1:59 W;allies;0;Al",
      "  1:59 L;axis;0;Bo;0;Cy",
      "  2:00 ShutdownGame:",
      "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\\sv_hostname\\Srv\\",
      Kill("  0:10", "Al", "", 1, "Cy", "", 3),
      Kill("  0:20", "Bo", "", 2, "Cy", "", 3),
      "  1:59 W;;0;Cy",
      "  1:59 L;;0;Al;0;Bo",
      "  2:00 ShutdownGame:",
  };
  const Played game(lines);
  ASSERT_EQ(game.model.games.size(), 2u);
  const AwardsModel awards = ComputeAwards(game.store, game.model);
  const size_t winner = static_cast<size_t>(Award::Winner);
  EXPECT_EQ(awards.games.at(0)[winner].person, kNoPerson);  // the team game: nobody alone
  EXPECT_EQ(awards.games.at(1)[winner].person, game("Cy"));
  EXPECT_EQ(awards.runners_up.at(1)[winner].person, kNoPerson);  // one winner, no second
  EXPECT_EQ(awards.overall[winner].person, game("Cy"));
  EXPECT_EQ(awards.people.at(game("Al"))[winner], 0u);
  for (size_t a = 0; a < kAwardCount; ++a) EXPECT_NE(AwardName(static_cast<Award>(a)), "loser");
  for (Award shame : {Award::ShortestLife, Award::Traitor, Award::Lemming}) {
    EXPECT_EQ(KindOf(shame), AwardKind::Shame) << AwardName(shame);
  }
  for (Award honour : {Award::KillStreak, Award::LongestLife, Award::Winner, Award::Nemesis}) {
    EXPECT_EQ(KindOf(honour), AwardKind::Honour) << AwardName(honour);
  }
}

TEST(AwardsTest, WeaponGroupsLimbsLivesDamageAndResultsAreCounted) {
  const std::vector<std::string> lines = {
      "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\",
      "  0:00 J;0;2;Bo",
      "  0:00 J;0;3;Cy",
      "  0:05 J;0;1;Al",
      Kill("  0:08", "Bo", "axis", 2, "Al", "allies", 1, "torso_upper", "luger_mp", "D"),
      Kill("  0:09", "Bo", "axis", 2, "Al", "allies", 1, "torso_upper", "luger_mp", "D"),
      Kill("  0:10", "Bo", "axis", 2, "Al", "allies", 1, "left_foot", "MK1BritishFrag_mp"),
      Kill("  0:20", "Al", "allies", 1, "Bo", "axis", 2, "head", "LUGER_MP"),
      Kill("  0:30", "Bo", "axis", 2, "Al", "allies", 1, "torso_upper", "luger_mp", "D"),
      "  1:59 W;allies;0;Al",
      "  1:59 L;axis;0;Bo;0;Nobody",
      "  2:00 ShutdownGame:",
  };
  const Played game(lines);
  const FriendlyNames table = FriendlyNames::Parse(
      "weapon\tmk1britishfrag_mp\t\tgrenade\nweapon\tluger_mp\tLuger\tpistol\n"
      "weapon\tkar98k_mp\tKar98k\tbogus\nmap\tmp_one\tOne\tsniper\n");
  EXPECT_EQ(table.weapon_groups().size(), 2u);  // no bogus group, no group of a map
  ASSERT_NE(table.Find(NameKind::Weapon, "luger_mp"), nullptr);
  EXPECT_EQ(*table.Find(NameKind::Weapon, "luger_mp"), "Luger");  // the group is no part of it
  const AwardsModel awards = ComputeAwards(game.store, game.model, table.weapon_groups());
  const PersonIndex al = game("Al"), bo = game("Bo"), cy = game("Cy");
  auto of = [&](PersonIndex p, Award a) { return awards.people.at(p)[static_cast<size_t>(a)]; };
  const struct {
    PersonIndex person;
    Award award;
    uint32_t figure;
  } figures[] = {
      {al, Award::Grenadier, 1},
      {al, Award::LimbShots, 1},
      {bo, Award::Pistol, 1},
      {bo, Award::LimbShots, 0},
      {al, Award::ShortestLife, 12},  // his first hit 0:08 to 0:20
      {bo, Award::ShortestLife, 2},   // first hit 0:08, killed 0:10
      {bo, Award::LongestLife, 100},  // his kill at 0:20 to the game's end
      // His first life's two hits and the 40 of health they left Bo, which the kill took.
      {al, Award::MostDamage, 100},
      {al, Award::Winner, 0},  // his team won: no award of his alone
  };
  for (const auto& f : figures) {
    EXPECT_EQ(of(f.person, f.award), f.figure) << AwardName(f.award) << " of " << f.person;
  }
  EXPECT_FALSE(HasFigure(Award::ShortestLife, of(cy, Award::ShortestLife)));  // never died
  auto holder = [&](Award a) { return awards.overall[static_cast<size_t>(a)].person; };
  EXPECT_EQ(holder(Award::ShortestLife), bo);  // the lowest figure holds it
  EXPECT_EQ(holder(Award::LongestLife), bo);   // Cy joined and was never seen in play
  EXPECT_EQ(of(cy, Award::LongestLife), 0u);
  EXPECT_EQ(holder(Award::Sniper), kNoPerson);

  // Without a table no weapon counts for a group.
  EXPECT_EQ(
      ComputeAwards(game.store, game.model).people.at(al)[static_cast<size_t>(Award::Grenadier)],
      0u);
}

}  // namespace
}  // namespace barvik
