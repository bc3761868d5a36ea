#include "stats/Games.h"

#include <gtest/gtest.h>

#include "report/GamesJson.h"
#include "stats/Awards.h"
#include "stats/GameRatings.h"
#include "tools/loggen/SkillLog.h"

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace barvik {
namespace {

EventStore StoreOf(std::initializer_list<std::string> lines) {
  EventStore store;
  for (const std::string& line : lines) store.AddLine(line);
  store.Finish();
  return store;
}

const std::string kTdm = "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\";
const std::string kDm = "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_two\\sv_hostname\\Srv\\";

// "MM:SS K;guid;slot;team;victim;guid;slot;team;attacker;weapon;damage;means;location"
std::string Hit(const std::string& stamp, char kind, int vslot, const std::string& vteam,
                const std::string& victim, int aslot, const std::string& ateam,
                const std::string& attacker, const std::string& location = "torso_upper",
                int damage = 50) {
  return stamp + " " + kind + ";1;" + std::to_string(vslot) + ";" + vteam + ";" + victim + ";2;" +
         std::to_string(aslot) + ";" + ateam + ";" + attacker + ";kar98k_mp;" +
         std::to_string(damage) + ";MOD_RIFLE_BULLET;" + location;
}

struct Built {
  EventStore store;
  GamesModel model;
  const Person& Of(const std::string& name) const {
    const PersonIndex p = model.FindPerson(store, name);
    EXPECT_NE(p, kNoPerson) << name;
    return model.people.at(p);
  }
  const Participant& In(size_t game, const std::string& name) const {
    const Participant* p = model.PlayerIn(model.games.at(game), model.FindPerson(store, name));
    EXPECT_NE(p, nullptr) << name;
    return *p;
  }
};

Built Build(std::initializer_list<std::string> lines, const PeopleRules& rules = {},
            const std::vector<std::string>& default_names = {}) {
  Built b{StoreOf(lines), {}};
  b.model = BuildGames(b.store, rules, {}, default_names);
  return b;
}

TEST(GamesTest, RenamesColoursAndSlotsFindOnePersonPerHuman) {
  const Built b = Build({
      kTdm,
      "  0:01 J;111111;3;^1pine - rainbows",
      Hit("  0:10", 'K', 4, "axis", "Al", 3, "allies", "^1pine - rainbows"),
      "  0:20 Weapon;111111;3;pine - rainbows;mp40_mp",  // no colour codes in this kind
      // Slot 3 shows a new name without a Q/J between: he renamed himself.
      Hit("  1:30", 'K', 4, "axis", "Al", 3, "allies", "pine - killin' gnatzee's"),
      "  2:00 ShutdownGame:",
      kTdm,
      // After the map change slot 3 belongs to someone else: no rename across games.
      Hit("  0:30", 'K', 4, "axis", "Al", 3, "allies", "Zed"),
      Hit("  1:30", 'K', 3, "allies", "Zed", 4, "axis", "Al"),
  });
  ASSERT_EQ(b.model.games.size(), 2u);
  const Person& pine = b.Of("pine - killin' gnatzee's");
  EXPECT_EQ(&pine, &b.Of("PINE - RAINBOWS"));
  EXPECT_EQ(pine.kills, 2u);
  EXPECT_EQ(pine.display, "^1pine - rainbows");  // the most used spelling, as written
  EXPECT_NE(&b.Of("Zed"), &pine);
  EXPECT_EQ(b.Of("Al").games, 2u);
  // Ids stay as the log grows.
  const Built first = Build({kTdm, "  0:01 J;111111;3;^1pine - rainbows",
                             Hit("  0:10", 'K', 4, "axis", "Al", 3, "allies", "pine - rainbows")});
  EXPECT_EQ(first.Of("pine - rainbows").id, pine.id);
  EXPECT_EQ(first.Of("Al").id, b.Of("Al").id);
  EXPECT_EQ(b.In(0, "pine - rainbows").seconds, 119u);  // 0:01 to the end at 2:00
  EXPECT_EQ(b.In(0, "pine - rainbows").team_seconds[1], 119u);
}

TEST(GamesTest, SharedNamesGuidsAndTheSameTimeRule) {
  const Built b = Build({
      kDm,
      "  0:01 J;5551234;1;Bob",
      "  0:02 J;7770000;2;Bob",     // a second Bob at the same time: another person
      "  0:03 J;5551234;3;Robert",  // Bob's GUID under another name, while Bob plays
      Hit("  1:00", 'K', 1, "", "Bob", 2, "", "Bob"),
      "  1:10 ShutdownGame:",
      kDm,
      "  0:01 J;9999999;1;Alice",
      "  0:02 J;9999999;2;Alicia",  // one GUID, two slots at once: two people
      "  0:05 J;0;4;Carl",
      "  0:06 Q;0;4;Carl",
      "  0:07 J;0;4;Carlos",  // GUID 0 ties nothing
      "  0:20 Q;5551234;5;Bobby",
      "  0:21 J;5551234;5;Bobby",  // Bob's GUID alone in a later game: Bob
      Hit("  1:30", 'K', 1, "", "Alice", 2, "", "Alicia"),
  });
  const GamesModel& m = b.model;
  EXPECT_EQ(m.games[0].players.size(), 3u);
  // The second Bob killed the first: two people named Bob, told apart.
  EXPECT_EQ(b.Of("Bob").deaths, 1u);
  EXPECT_EQ(b.Of("Bob").kills, 0u);
  EXPECT_EQ(b.Of("Bob").display, "Bob");
  EXPECT_EQ(std::count_if(m.people.begin(), m.people.end(),
                          [](const Person& p) { return p.display == "Bob (2)" && p.kills == 1; }),
            1);
  EXPECT_NE(&b.Of("Robert"), &b.Of("Bob"));
  EXPECT_NE(&b.Of("Alice"), &b.Of("Alicia"));
  EXPECT_NE(&b.Of("Carl"), &b.Of("Carlos"));
  EXPECT_EQ(&b.Of("Bobby"), &b.Of("Bob"));
}

// Slot 0 joined under the name slot 1 then joined with, and renamed himself later: slot 1 is
// that name's man all game, slot 0 the renamed man from his join on, and neither stay is tied
// by the shared name to the name's man of another game.
TEST(GamesTest, ANameTwoSlotsHoldAtOnceTiesNeitherStayByName) {
  const std::vector<std::string> first_game = {
      kTdm,
      "  0:00 J;0;0;Sergy(UKR)",
      "  0:36 J;0;1;Sergy(UKR)",
      Hit("  1:00", 'K', 0, "axis", "Sergy(UKR)", 1, "allies", "Sergy(UKR)"),
      Hit("  2:00", 'D', 1, "allies", "Sergy(UKR)", 0, "axis", "Sergy(UKR)", "head", 30),
      Hit("  4:14", 'K', 1, "allies", "Sergy(UKR)", 0, "axis", "Vandal"),
      Hit("  5:00", 'K', 0, "axis", "Vandal", 1, "allies", "Sergy(UKR)"),
      "  5:10 say;0;0;Vandal;gg",
      "  6:00 ShutdownGame:",
  };
  auto build = [](const std::vector<std::string>& a, const std::vector<std::string>& b) {
    Built built;
    for (const auto* part : {&a, &b})
      for (const std::string& line : *part) built.store.AddLine(line);
    built.store.Finish();
    built.model = BuildGames(built.store);
    return built;
  };
  const Built b =
      build(first_game, {
                            kTdm,
                            "  0:00 J;0;3;Sergy(UKR)",
                            Hit("  0:30", 'K', 5, "axis", "Al", 3, "allies", "Sergy(UKR)"),
                            "  1:30 J;0;4;Vandal",
                        });
  const Game& game = b.model.games.at(0);
  ASSERT_EQ(game.players.size(), 2u);
  const Participant* slot0 = nullptr;
  const Participant* slot1 = nullptr;
  for (const Participant& p : game.players)
    (p.SlotNumbers() == std::vector<int>{0} ? slot0 : slot1) = &p;
  ASSERT_TRUE(slot0 != nullptr && slot1 != nullptr);
  ASSERT_EQ(slot1->SlotNumbers(), std::vector<int>{1});
  // Slot 0 is Vandal from the start of the game, his first 254 s included.
  const Person& vandal = b.Of("Vandal");
  EXPECT_EQ(&b.model.people[slot0->person], &vandal);
  EXPECT_EQ(vandal.display, "Vandal");
  EXPECT_EQ(slot0->seconds, 360u);
  EXPECT_EQ(slot0->kills, 1u);
  EXPECT_EQ(slot0->deaths, 2u);
  EXPECT_EQ(slot0->damage_dealt, 80u);  // his hit of 30 and the killing hit, up to the health left
  EXPECT_EQ(vandal.games, 2u);
  // Slot 1 is one man all game, not the Sergy(UKR) of the second game.
  EXPECT_EQ(slot1->kills, 2u);
  EXPECT_EQ(slot1->deaths, 1u);
  EXPECT_EQ(slot1->seconds, 324u);
  const Person& other = b.Of("Sergy(UKR)");  // the first person of the name: the second game's
  EXPECT_NE(&b.model.people[slot1->person], &other);
  EXPECT_NE(&vandal, &other);
  EXPECT_EQ(other.games, 1u);
  EXPECT_EQ(other.kills, 1u);
  // Two people of one name: their rows tell them apart.
  EXPECT_EQ(other.display, "Sergy(UKR)");
  EXPECT_EQ(b.model.people[slot1->person].display, "Sergy(UKR) (2)");
  // Each kill is the right man's.
  std::vector<std::pair<PersonIndex, PersonIndex>> kills;  // attacker, victim
  for (const GameKill& k : game.kills) kills.emplace_back(k.attacker, k.victim);
  EXPECT_EQ(kills,
            (std::vector<std::pair<PersonIndex, PersonIndex>>{{slot1->person, slot0->person},
                                                              {slot0->person, slot1->person},
                                                              {slot1->person, slot0->person}}));
  // The ids of the first game's people stay as the log grows.
  const Built first = build(first_game, {});
  EXPECT_EQ(first.Of("Vandal").id, vandal.id);
  EXPECT_EQ(first.model.people.size(), 2u);
  for (const Person& p : first.model.people) {
    if (&p != &first.Of("Vandal")) {
      EXPECT_EQ(p.id, b.model.people[slot1->person].id);
    }
  }
}

// The first slot's stay of a shared name takes along what tied it to the name: its GUID and the
// rename that began it then tie that stay, not the name's man of other games.
TEST(GamesTest, AStayThatBecomesAloneKeepsItsGuidAndRename) {
  const Built b = Build({
      kDm,
      "  0:00 J;7777777;0;Bob",
      "  0:00 J;0;1;Xeno",
      Hit("  0:30", 'K', 5, "", "Al", 1, "", "Bob"),  // slot 1 renamed himself Bob
      "  1:00 ShutdownGame:",
      kDm,
      "  0:00 J;7777777;3;Bobby",  // slot 0's GUID: his, not the Bob of the next game
      "  1:00 ShutdownGame:",
      kDm,
      "  0:00 J;0;1;Bob",
      "  0:00 J;0;0;Zed",
      Hit("  0:10", 'K', 5, "", "Al", 0, "", "Cy"),  // Zed renamed himself Cy ...
      "  0:20 J;0;1;Cy",                             // ... the name another man then joins with
      "  1:00 ShutdownGame:",
      kDm,
      "  0:00 J;0;2;Cy",
  });
  const Game& first = b.model.games.at(0);
  auto in_slot = [](const Game& game, int slot) {
    for (const Participant& p : game.players) {
      if (p.SlotNumbers() == std::vector<int>{slot}) return p.person;
    }
    return kNoPerson;
  };
  const PersonIndex bobby = b.model.FindPerson(b.store, "Bobby");
  EXPECT_EQ(in_slot(first, 0), bobby);
  EXPECT_EQ(in_slot(first, 1), b.model.FindPerson(b.store, "Xeno"));
  EXPECT_EQ(b.model.people[bobby].games, 2u);
  const PersonIndex bob = in_slot(b.model.games.at(2), 1);
  EXPECT_NE(bob, bobby);
  EXPECT_EQ(b.model.people[bob].games, 1u);
  EXPECT_NE(b.model.people[bob].display, b.model.people[bobby].display);
  const PersonIndex zed = b.model.FindPerson(b.store, "Zed");
  EXPECT_EQ(in_slot(b.model.games.at(2), 0), zed);
  EXPECT_EQ(b.model.people[zed].games, 1u);
  EXPECT_NE(in_slot(b.model.games.at(3), 2), zed);
  EXPECT_NE(in_slot(b.model.games.at(3), 2), in_slot(b.model.games.at(2), 1));
}

// Default names and names blank without their colour codes are nobody: rows of their game
// alone, never people, never ranked or awarded.
TEST(GamesTest, DefaultAndBlankNamesMakeNoPerson) {
  const Built b = Build(
      {
          kTdm,
          "  0:00 J;0;0;Unknown Soldier",
          "  0:00 J;4444444;1;Al",
          "  0:00 J;0;3;Bo",
          "  0:05 J;4444444;2;^1^2",  // Al's GUID ties no blank name to him
          Hit("  0:10", 'K', 1, "allies", "Al", 0, "axis", "Unknown Soldier"),
          Hit("  0:20", 'K', 0, "axis", "Unknown Soldier", 1, "allies", "Al"),
          Hit("  0:30", 'K', 2, "axis", "^1^2", 1, "allies", "Al", "head"),
          Hit("  0:35", 'D', 3, "axis", "Bo", 2, "axis", "^1^2"),
          "  0:40 Q;0;0;Unknown Soldier",
          "  0:50 J;0;0;Unknown Soldier",  // another stay: another row
          "  0:55 say;0;0;Unknown Soldier;hi",
          Hit("  1:00", 'K', 0, "axis", "Unknown Soldier", 3, "axis", "Bo"),
          Hit("  1:05", 'K', 3, "axis", "Bo", 0, "axis", "Unknown Soldier"),  // a team kill
          "  1:10 J;0;0;Carl",  // slot 0 renamed: Carl is not the nameless one
          "  1:30 W;allies;1;Al",
          "  1:30 L;axis;0;Unknown Soldier;3;Bo",
          "  2:00 ShutdownGame:",
          kTdm,
          "  0:00 J;0;3;UNKNOWN SOLDIER",
          "  0:00 J;0;4;UnnamedPlayer",
          Hit("  0:10", 'K', 4, "", "UnnamedPlayer", 3, "", "UNKNOWN SOLDIER"),
          Hit("  1:10", 'K', 1, "allies", "Al", 4, "axis", "^7"),
      },
      {}, {"Unknown Soldier", "UnnamedPlayer"});
  const GamesModel& m = b.model;
  std::vector<std::string> people;
  for (const Person& p : m.people) people.push_back(p.display);
  EXPECT_EQ(people, (std::vector<std::string>{"Al", "Bo", "Carl"}));
  for (const char* name : {"Unknown Soldier", "^1^2", "UnnamedPlayer", "^7"})
    EXPECT_EQ(m.FindPerson(b.store, name), kNoPerson) << name;
  const Game& g = m.games[0];
  ASSERT_EQ(g.nameless.size(), 3u);
  std::vector<std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t>> rows;
  for (const NamelessPlayer& row : g.nameless)
    rows.emplace_back(b.store.texts().Text(row.name), row.figures.kills, row.figures.deaths,
                      row.figures.team_kills, row.figures.seconds);
  EXPECT_EQ(rows, (std::vector<std::tuple<std::string, uint32_t, uint32_t, uint32_t, uint32_t>>{
                      {"Unknown Soldier", 1, 1, 0, 40},
                      {"^1^2", 0, 1, 0, 115},
                      {"Unknown Soldier", 0, 1, 1, 20}}));
  EXPECT_EQ(b.In(0, "Al").kills, 2u);
  EXPECT_EQ(b.In(0, "Al").head_shots, 1u);
  EXPECT_EQ(b.In(0, "Al").deaths, 1u);
  EXPECT_EQ(b.In(0, "Bo").damage_taken, 100u);  // the hit of 50 and the killing hit for the rest
  EXPECT_EQ(b.In(0, "Bo").deaths, 1u);
  EXPECT_EQ(b.In(0, "Bo").team_kills, 1u);
  EXPECT_EQ(g.lost, std::vector<PersonIndex>{m.FindPerson(b.store, "Bo")});
  // Listed kills are those of people; a nameless killer is no one.
  std::vector<std::pair<PersonIndex, GameKill::Kind>> kills;
  for (const GameKill& k : g.kills) kills.emplace_back(k.attacker, k.kind);
  EXPECT_EQ(kills, (std::vector<std::pair<PersonIndex, GameKill::Kind>>{
                       {kNoPerson, GameKill::Kind::Kill}, {kNoPerson, GameKill::Kind::TeamKill}}));
  // A game of nameless players alone has no people in it.
  EXPECT_TRUE(m.games[1].players.size() == 1 && m.games[1].nameless.size() == 3);
  // Nobody nameless is rated or awarded.
  GameRatings ratings;
  RateGames(m, ratings);
  for (const auto& changes : ratings.changes) {
    for (const RatingChange& c : changes) {
      EXPECT_TRUE(std::any_of(m.people.begin(), m.people.end(),
                              [&](const Person& p) { return p.id == c.person; }));
    }
  }
  EXPECT_EQ(ratings.changes.at(0).size(), 3u);
  const AwardsModel awards = ComputeAwards(b.store, m);
  for (const AwardTable& table : awards.games)
    for (const AwardHolder& holder : table)
      EXPECT_TRUE(holder.person == kNoPerson || holder.person < m.people.size());
  EXPECT_EQ(awards.people.size(), m.people.size());
}

TEST(GamesTest, PeopleFileRulesOverrideTheLogs) {
  const PeopleFileResult file = ParsePeopleFile(
      "# corrections\n"
      "same; Ann ; Anna\n"
      "different; Bob; Bobby\r\n"
      "\n"
      "hide; Cam\n"
      "name; ann; The Queen\n");
  ASSERT_EQ(file.error, "");
  const Built b = Build(
      {
          kDm,
          "  0:01 J;5551234;1;Bob",
          "  0:01 J;0;2;Ann",
          "  0:02 J;0;3;Cam",
          "  0:40 Q;5551234;1;Bob",
          "  0:41 J;5551234;1;Bobby",  // the GUID would tie them; the file says no
          Hit("  1:30", 'K', 1, "", "Bobby", 2, "", "Ann"),
          kDm,
          Hit("  1:30", 'K', 1, "", "Bob", 2, "", "Anna"),
      },
      file.rules);
  EXPECT_EQ(&b.Of("Ann"), &b.Of("Anna"));
  EXPECT_EQ(b.Of("Anna").display, "The Queen");
  EXPECT_EQ(b.Of("Anna").kills, 2u);
  EXPECT_NE(&b.Of("Bob"), &b.Of("Bobby"));
  EXPECT_TRUE(b.Of("Cam").hidden);

  EXPECT_EQ(ParsePeopleFile("same; Ann\n").error, "line 1: \"same\" needs two or more names");
  EXPECT_EQ(ParsePeopleFile("# x\nmerge; a; b\n").error,
            "line 2: unknown rule \"merge\" (same, different, hide or name)");
}

// Rules that undo each other are errors naming both lines (names compared as the log's are),
// the one whose later line comes first; the file then gives no rules.
TEST(GamesTest, ContradictoryPeopleRulesNameBothLines) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"same; A; B\ndifferent; b; ^1a\n",
       "line 2: \"different\" keeps apart \"b\" and \"^1a\", which line 1 (\"same\") makes "
       "one person"},
      // Through a chain of "same" lines; the "different" line may come first.
      {"different; A; C\n# chain\nsame; A; B\nsame; B; C\n",
       "line 4: \"different\" of line 1 keeps apart \"A\" and \"C\", which lines 3 and 4 "
       "(\"same\") make "
       "one person"},
      {"name; Ann; Queen\nsame; Ann; Anna\nname; ANNA; Anna B.\n",
       "line 3: a second \"name\" for the person line 1 names"},
      {"name; Ann; Joe\nname; Bob; ^2joe\n",
       "line 2: \"name\" shows two people as \"^2joe\": line 1 shows another person so"},
      {"hide; Cam\nname; Ann; Cam\n",
       "line 2: \"name\" of line 2 shows a person as \"Cam\", a name of another person (line 1)"},
      {"same; Ann; Anna\nname; Ann; Queen\nhide; anna\n",
       "line 3: \"hide\" and \"name\" for one person (lines 2 and 3): a hidden person is shown "
       "under no name"},
      // The first problem by its later line.
      {"same; A; B\nname; X; Y\nname; x; Z\ndifferent; A; B\n",
       "line 3: a second \"name\" for the person line 2 names"},
  };
  for (const auto& [text, error] : cases) {
    const PeopleFileResult result = ParsePeopleFile(text);
    EXPECT_EQ(result.error, error) << text;
    EXPECT_TRUE(result.rules.same.empty() && result.rules.shown_as.empty()) << text;
  }
  // Rules that agree are no problem: a name shown as one of the person's own spellings, one
  // "name" beside "same" and "different" lines of other people.
  EXPECT_EQ(
      ParsePeopleFile("same; Ann; Anna\nname; ann; ANNA\ndifferent; Ann; Bob\nhide; Cam\n").error,
      "");
}

TEST(GamesTest, KillKindsAndTheirSums) {
  const Built b = Build({
      kTdm,
      "  0:00 J;1;1;Al",
      "  0:00 J;2;2;Bo",
      "  0:00 J;3;3;Cy",
      Hit("  0:10", 'K', 2, "axis", "Bo", 1, "allies", "Al", "head"),  // a kill, a head shot
      Hit("  0:20", 'K', 3, "allies", "Cy", 1, "allies", "Al"),        // a team kill
      Hit("  0:30", 'K', 1, "allies", "Al", 1, "allies", "Al"),        // a suicide
      Hit("  0:40", 'K', 2, "axis", "Bo", -1, "world", ""),            // the world
      Hit("  0:50", 'K', -1, "", "horch_mp", 2, "axis", "Bo"),         // a vehicle: nobody died
      Hit("  0:55", 'K', 2, "axis", "Bo", -1, "", "shermantank_mp"),
      Hit("  0:56", 'D', 2, "axis", "Bo", 1, "allies", "Al", "head", 30),
      Hit("  0:57", 'D', 3, "allies", "Cy", 1, "allies", "Al", "head", 20),  // a team mate
      Hit("  0:58", 'D', 3, "allies", "Cy", -1, "world", "", "none", 5),
      kDm,
      // Free-for-all lines have empty teams: never a team kill.
      Hit("  0:10", 'K', 2, "", "Bo", 1, "", "Al"),
      Hit("  0:20", 'D', 2, "", "Bo", 1, "", "Al", "torso_lower", 40),
      Hit("  1:20", 'K', 1, "", "Al", 2, "", "Bo"),
      "  1:25 W;;1;Bo",
  });
  const Participant& al = b.In(0, "Al");
  EXPECT_EQ(al.kills, 1u);
  EXPECT_EQ(al.head_shots, 1u);
  EXPECT_EQ(al.team_kills, 1u);
  EXPECT_EQ(al.suicides, 1u);
  EXPECT_EQ(al.deaths, 1u);
  EXPECT_EQ(al.damage_dealt, 50u + 30u);  // the killing hit and a hit
  EXPECT_EQ(b.In(0, "Bo").world_deaths, 2u);
  EXPECT_EQ(b.In(0, "Bo").deaths, 3u);
  EXPECT_EQ(b.In(0, "Cy").damage_taken, 50u + 20u + 5u);  // killed by a team mate, two hits
  EXPECT_EQ(b.model.FindPerson(b.store, "horch_mp"), kNoPerson);
  EXPECT_EQ(b.model.FindPerson(b.store, "shermantank_mp"), kNoPerson);
  for (const Game& game : b.model.games) {
    uint32_t sum = 0;
    for (const Participant& p : game.players)
      sum += p.kills + p.team_kills + p.suicides + p.world_deaths;
    EXPECT_EQ(sum, game.kills.size());
  }
  EXPECT_EQ(b.In(1, "Al").kills, 1u);
  EXPECT_EQ(b.In(1, "Al").team_kills, 0u);
  EXPECT_EQ(b.In(1, "Al").damage_dealt, 50u + 40u);
  EXPECT_EQ(b.model.games[1].winner_person, b.model.FindPerson(b.store, "Bo"));
}

TEST(GamesTest, PackedKillsReadBackWhateverTheSizeOfTheirNumbers) {
  using Kind = GameKill::Kind;
  auto hows = std::make_shared<GameKills::Hows>();
  for (uint32_t i = 0; i < 300; ++i) hows->push_back({i, i + 1, 70000 + i});
  std::vector<PersonIndex> people(200);
  for (uint32_t i = 0; i < people.size(); ++i) people[i] = 1000000 + i * 7;
  struct Written {
    uint32_t at, how;
    Kind kind;
    uint32_t victim, attacker;
  };
  const std::vector<Written> written = {{0, 0, Kind::Kill, 0, 1},
                                        {5, 299, Kind::TeamKill, 150, 199},
                                        {200000, 130, Kind::Suicide, 40, 0},
                                        {200000, 1, Kind::World, 199, 0},
                                        {4000000000u, 128, Kind::Kill, 31, 32}};
  GameKills kills;
  kills.SetHows(hows);
  for (const Written& w : written) kills.Add(w.at, w.how, w.kind, w.victim, w.attacker);
  kills.SetPeople(people);
  ASSERT_EQ(kills.size(), written.size());
  size_t i = 0;
  for (const GameKill& k : kills) {
    const Written& w = written.at(i++);
    EXPECT_EQ(k.at, w.at);
    EXPECT_EQ(k.weapon, w.how);
    EXPECT_EQ(k.location, w.how + 1);
    EXPECT_EQ(k.means, 70000 + w.how);
    EXPECT_EQ(k.kind, w.kind);
    EXPECT_EQ(k.victim, people[w.victim]);
    EXPECT_EQ(k.attacker, w.kind == Kind::World     ? kNoPerson
                          : w.kind == Kind::Suicide ? people[w.victim]
                                                    : people[w.attacker]);
  }
  EXPECT_EQ(i, written.size());
}

TEST(GamesTest, OnePersonsOverlappingStaysUnderTwoNamesCountOnce) {
  PeopleRules rules;
  rules.same = {{"Ann", "Anna"}};
  // The second game's clock spans far more seconds than it has stays, which counts them
  // another way.
  const Built b =
      Build({kTdm, "  0:00 J;1000001;1;Ann", "  0:10 J;1000002;2;Anna", "  0:30 Q;1000001;1;Ann",
             "  0:50 Q;1000002;2;Anna", "  1:00 J;1000001;1;Ann", "  1:20 Q;1000001;1;Ann",
             "  1:40 J;1000003;3;Cy", kTdm, "  0:00 J;1000001;1;Ann", "  0:10 J;1000002;2;Anna",
             "  0:30 Q;1000001;1;Ann", "  0:50 Q;1000002;2;Anna", "2000:00 J;1000001;1;Ann",
             "2000:20 Q;1000001;1;Ann", "2000:40 J;1000003;3;Cy"},
            rules);
  const Participant& ann = b.In(0, "Anna");
  EXPECT_EQ(ann.seconds, 70u);  // [0, 50) and [60, 80)
  EXPECT_EQ(ann.first_at, 0u);
  EXPECT_EQ(ann.last_at, 80u);
  EXPECT_EQ(ann.SlotNumbers(), (std::vector<int>{1, 2}));
  EXPECT_EQ(b.In(1, "Anna").seconds, 70u);  // [0, 50) and [120000, 120020)
  EXPECT_EQ(b.In(1, "Anna").last_at, 120020u);
}

// Names seen without a slot at once, one of them then taking a slot, each keep the start of
// their own stay; a rename is refused for two names seen at once in an earlier game, after
// both were seen again.
TEST(GamesTest, OpenStaysAndEarlierGamesKeepNamesApart) {
  const Built b = Build({
      kDm, "  0:00 say;1;1;Al;hi", "  0:10 say;2;2;Bo;hi", "  0:20 say;3;3;Cy;hi",
      "  0:30 J;1;1;Al",  // his stay without a slot goes on in slot 1
      "  0:40 say;5;5;Ed;hi", "  0:50 J;3;3;Cy",
      "  1:00 J;4;2;Di",  // beside Al in another slot
      "  1:40 say;2;2;Bo;bye", kDm, "  0:05 J;1;4;Al",
      Hit("  0:30", 'K', 4, "", "Di", 6, "", "Fay"),  // slot 4 shows Di: a rename, refused
  });
  EXPECT_EQ(b.In(0, "Al").seconds, 100u);
  EXPECT_EQ(b.In(0, "Bo").seconds, 90u);
  EXPECT_EQ(b.In(0, "Cy").seconds, 80u);
  EXPECT_EQ(b.In(0, "Di").seconds, 40u);
  EXPECT_EQ(b.In(0, "Ed").seconds, 60u);
  EXPECT_EQ(b.In(0, "Cy").SlotNumbers(), std::vector<int>{3});
  EXPECT_TRUE(b.In(0, "Ed").SlotNumbers().empty());
  EXPECT_NE(&b.Of("Al"), &b.Of("Di"));
  EXPECT_EQ(b.Of("Di").games, 2u);
}

TEST(GamesTest, EndingsWarmUpsAndClockResets) {
  const Built b = Build({
      "  0:00 J;1;1;Early",  // before any game: in none
      kTdm,
      Hit("  0:10", 'K', 2, "axis", "Bo", 1, "allies", "Al"),
      " 99:59 say;1;1;Al;gg",
      "100:30 W;allies;1;Al",
      "100:30 L;axis;2;Bo",
      "100:31 ExitLevel: executed",
      Hit("100:35", 'D', 5, "axis", "Late", 1, "allies", "Al"),  // after the end line
      "100:36 ShutdownGame:",
      kTdm,  // 0:00: the server restarted
      Hit("  0:10", 'K', 2, "axis", "Bo", 1, "allies", "Al"),
      Hit("  0:40", 'K', 2, "axis", "Bo", 1, "allies", "Al"),
      "  0:50 RestartGame:",
      kDm,
      "  0:05 J;1;1;Al",
      "  7:00 J;2;2;Bo",
      "  0:20 say;1;1;Al;clock ran back",  // the length goes on from here
      "  1:00 say;1;1;Al;the end",
  });
  const auto& g = b.model.games;
  ASSERT_EQ(g.size(), 3u);
  EXPECT_EQ(b.model.FindPerson(b.store, "Early"), kNoPerson);
  EXPECT_EQ(g[0].ending, GameEnding::Exit);
  EXPECT_EQ(g[0].end, 6031u);
  EXPECT_EQ(g[0].seconds, 6031u);
  EXPECT_EQ(g[0].winner_team, 1u);
  EXPECT_EQ(b.In(0, "Late").seconds, 0u);
  EXPECT_EQ(b.In(0, "Late").team_seconds[2], 0u);
  EXPECT_FALSE(g[0].warmup);
  EXPECT_EQ(g[1].ending, GameEnding::Restart);
  EXPECT_TRUE(g[1].warmup);  // 50 seconds
  EXPECT_EQ(g[2].ending, GameEnding::EndOfLog);
  EXPECT_EQ(g[2].seconds, 420u + 40u);
  EXPECT_EQ(b.In(2, "Bo").seconds, 40u);
}

// The engines log the killing hit on the K line alone, and field 11 holds the weapon's raw
// damage: each hit counts what health it could take.
TEST(GamesTest, TheKillingHitCountsUpToTheHealthLeft) {
  const Built b = Build({
      kTdm,
      "  0:00 J;1;1;Al",
      "  0:00 J;2;2;Bo",
      Hit("  0:10", 'D', 2, "axis", "Bo", 1, "allies", "Al", "torso_upper", 30),
      Hit("  0:11", 'D', 2, "axis", "Bo", 1, "allies", "Al", "torso_upper", 30),
      Hit("  0:12", 'K', 2, "axis", "Bo", 1, "allies", "Al", "head", 135),     // 40 were left
      Hit("  0:20", 'K', 1, "allies", "Al", 2, "axis", "Bo", "head", 100000),  // a full 100
      // A K line that repeats the D line just before it is that same hit, counted once.
      Hit("  0:30", 'D', 2, "axis", "Bo", 1, "allies", "Al", "torso_lower", 60),
      Hit("  0:30", 'K', 2, "axis", "Bo", 1, "allies", "Al", "torso_lower", 60),
      // Hits he lived through that add up to more than his health: he got health back.
      Hit("  0:40", 'D', 1, "allies", "Al", 2, "axis", "Bo", "torso_upper", 60),
      Hit("  0:41", 'D', 1, "allies", "Al", 2, "axis", "Bo", "torso_upper", 60),
      Hit("  0:42", 'K', 1, "allies", "Al", 2, "axis", "Bo", "head", 135),  // 40 left
      // The world's hits count as damage taken, up to a full health.
      Hit("  0:50", 'D', 2, "axis", "Bo", -1, "world", "", "none", 300),
      "  1:30 ShutdownGame:",
  });
  const Participant& al = b.In(0, "Al");
  const Participant& bo = b.In(0, "Bo");
  EXPECT_EQ(al.damage_dealt, 30u + 30u + 40u + 60u);
  EXPECT_EQ(bo.damage_dealt, 100u + 60u + 60u + 40u);
  EXPECT_EQ(al.damage_taken, bo.damage_dealt);
  EXPECT_EQ(bo.damage_taken, al.damage_dealt + 100u);
  EXPECT_EQ(al.kills, 2u);
  EXPECT_EQ(al.most_life_damage, 100u);  // his first life: the two hits and the kill
  EXPECT_EQ(bo.most_life_damage, 160u);  // his life from 0:20 on
  EXPECT_EQ(b.Of("Al").damage_dealt, al.damage_dealt);
}

// Deathmatch K lines carry no teams, its D lines the side of each player's model: no team
// tables, every hit between two people counts, and the sums stay exact.
TEST(GamesTest, FreeForAllCountsEveryHitBetweenPeopleAndRanksByScore) {
  const std::string gun = "skorpion_silencer_mp";
  auto line = [&](const std::string& stamp, char kind, int vslot, const std::string& vteam,
                  const std::string& victim, int aslot, const std::string& ateam,
                  const std::string& attacker, int damage) {
    return stamp + " " + kind + ";1;" + std::to_string(vslot) + ";" + vteam + ";" + victim + ";2;" +
           std::to_string(aslot) + ";" + ateam + ";" + attacker + ";" + gun + ";" +
           std::to_string(damage) + ";MOD_PISTOL_BULLET;torso_upper";
  };
  auto game = [&](const std::string& type) {
    return std::vector<std::string>{
        " 40:00 InitGame: \\g_gametype\\" + type + "\\mapname\\mp_two\\sv_hostname\\Srv\\",
        " 40:01 J;1;4;AI|kipsate",
        " 40:01 J;2;6;AI|N!ckname",
        " 40:01 J;3;7;Cy",
        line(" 42:37", 'D', 4, "allies", "AI|kipsate", 6, "allies", "AI|N!ckname", 20),
        line(" 42:38", 'K', 4, "", "AI|kipsate", 6, "", "AI|N!ckname", 45),  // takes 45 of 80
        line(" 42:50", 'D', 6, "axis", "AI|N!ckname", 7, "allies", "Cy", 30),
        line(" 43:00", 'K', 7, "", "Cy", 4, "", "AI|kipsate", 200),     // takes his 100
        line(" 43:10", 'D', 7, "allies", "Cy", 7, "allies", "Cy", 10),  // his own grenade
        line(" 43:20", 'K', 4, "", "AI|kipsate", -1, "", "", 100000),   // a fall
        line(" 43:25", 'K', 4, "", "AI|kipsate", -1, "", "", 100000),   // and another
        line(" 43:30", 'K', 7, "", "Cy", 6, "", "AI|N!ckname", 50),
        line(" 43:40", 'K', 6, "", "AI|N!ckname", 6, "", "AI|N!ckname", 50),  // a suicide
        " 44:50 W;allies;6;AI|N!ckname;7;Cy",  // a team named in a free-for-all
        " 45:00 ShutdownGame:",
    };
  };
  std::vector<std::string> lines = game("dm");
  for (const std::string& l : game("gg")) lines.push_back(l);  // a type of no known kind
  EventStore store;
  for (const std::string& l : lines) store.AddLine(l);
  store.Finish();
  const GamesModel model = BuildGames(store);
  ASSERT_EQ(model.games.size(), 2u);
  for (const Game& g : model.games) {
    EXPECT_TRUE(g.ffa);
    uint64_t dealt = 0, taken = 0;
    for (const Participant& p : g.players) {
      dealt += p.damage_dealt;
      taken += p.damage_taken;
      EXPECT_EQ(p.team_seconds, (std::array<uint32_t, 4>{})) << p.person;
      EXPECT_EQ(p.team_kills, 0u);
    }
    // Taken from people: all taken less the falls (100 each), Cy's own grenade (10) and
    // N!ckname's own hit (the 50 left him).
    EXPECT_EQ(dealt, taken - 200u - 10u - 50u);
    EXPECT_EQ(dealt, 20u + 45u + 30u + 100u + 50u + 50u - 50u);  // the suicide deals nothing
    // By score: N!ckname 2 - 1, Cy 0, kipsate 1 - 2 (most kills would put kipsate ahead of
    // Cy).
    ASSERT_EQ(g.players.size(), 3u);
    EXPECT_EQ(g.players[0].person, model.FindPerson(store, "AI|N!ckname"));
    EXPECT_EQ(g.players[1].person, model.FindPerson(store, "Cy"));
    EXPECT_EQ(g.players[2].person, model.FindPerson(store, "AI|kipsate"));
    EXPECT_EQ(g.winner_team, 0u);
    EXPECT_EQ(g.winner_person, g.players[0].person);
  }
  // A team game keeps its rules: a hit between two people of one side is no damage dealt.
  const Built team = Build({kTdm, Hit("  0:10", 'D', 2, "axis", "Bo", 1, "axis", "Al", "head", 20),
                            Hit("  0:20", 'K', 3, "allies", "Cy", 1, "axis", "Al")});
  EXPECT_FALSE(team.model.games[0].ffa);
  EXPECT_EQ(team.In(0, "Al").damage_dealt, 50u);
  EXPECT_EQ(team.In(0, "Bo").damage_taken, 20u);
}

// A life starts at the first line that shows him in play, not at his join; it ends at his
// death, his quit or the game's end.
TEST(GamesTest, LivesAndTimePlayedCountOnlyTimeInPlay) {
  const Built b = Build({
      " 30:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\",
      " 30:00 J;1;1;Ann",
      " 30:00 J;2;2;Zed",
      " 38:37 J;3;3;Idle",
      " 38:40 say;3;3;Idle;hi",
      Hit(" 43:00", 'D', 1, "axis", "Ann", 2, "allies", "Zed", "torso_upper", 10),
      Hit(" 44:03", 'K', 2, "allies", "Zed", 1, "axis", "Ann"),
      " 44:38 Q;2;2;Zed",
      " 46:54 J;2;2;Zed",
      " 47:54 Q;2;2;Zed",
      " 48:19 J;2;2;Zed",
      " 49:19 Q;2;2;Zed",
      " 52:25 J;2;2;Zed",
      " 54:48 Q;2;2;Zed",
      Hit(" 59:40", 'K', 3, "allies", "Idle", -1, "world", "", "none", 500),  // fell at last
      " 60:08 J;2;2;Zed",
      Hit(" 60:53", 'K', 2, "allies", "Zed", 1, "axis", "Ann"),
      " 61:00 Weapon;1;1;Ann;kar98k_mp",
      " 62:00 ShutdownGame:",
  });
  const Participant& zed = b.In(0, "Zed");
  EXPECT_EQ(zed.longest_life, 63u);   // 43:00 to 44:03
  EXPECT_EQ(zed.shortest_life, 63u);  // the life seen only as he died has no length
  EXPECT_EQ(zed.played_seconds, 63u);
  EXPECT_GT(zed.seconds, zed.played_seconds);  // in the game, in play or not
  const Participant& idle = b.In(0, "Idle");
  EXPECT_EQ(idle.longest_life, 0u);
  EXPECT_EQ(idle.played_seconds, 0u);
  EXPECT_EQ(idle.shortest_life, kNoLife);
  // Ann: in play from 43:00 to the game's end, never killed.
  EXPECT_EQ(b.In(0, "Ann").longest_life, 19u * 60u);
  EXPECT_EQ(b.In(0, "Ann").played_seconds, 19u * 60u);
  for (const Participant& p : b.model.games[0].players) EXPECT_LE(p.longest_life, p.played_seconds);
  EXPECT_EQ(b.Of("Ann").played_seconds, 19u * 60u);
}

// Rounds of one map are one game; a restart under a minute joins the game it restarts; a game
// with nobody in it is none.
TEST(GamesTest, RoundsAndRestartsMakeOneGameAndEmptyGamesNone) {
  const std::string sd = "\\g_gametype\\sd\\mapname\\mp_toujane\\sv_hostname\\Srv\\";
  auto init = [](const std::string& stamp, const std::string& settings) {
    return stamp + " InitGame: " + settings;
  };
  std::vector<std::string> lines;
  const char* const winners[] = {"allies", "axis", "allies", "allies"};
  for (int round = 0; round < 4; ++round) {
    const std::string at = "  " + std::to_string(round) + ":";
    lines.push_back(init(at + "00", sd));
    lines.push_back(at + "00 J;0;0;Sergy(UKR)");
    lines.push_back(at + "00 J;0;1;Bo");
    const bool allies = std::string(winners[round]) == "allies";
    lines.push_back(allies ? Hit(at + "20", 'K', 1, "axis", "Bo", 0, "allies", "Sergy(UKR)")
                           : Hit(at + "20", 'K', 0, "allies", "Sergy(UKR)", 1, "axis", "Bo"));
    lines.push_back(at + "21 W;" + winners[round] + ";0;" + (allies ? "Sergy(UKR)" : "Bo"));
    if (round == 3) lines.push_back(at + "30 ExitLevel: executed");
    lines.push_back(at + "30 ShutdownGame:");
  }
  for (const std::string& l : {
           // A stub, then a 15-second piece restarted into the game it begins.
           init(" 30:10", "\\g_gametype\\tdm\\mapname\\mp_two\\sv_hostname\\Srv\\"),
           std::string(" 30:13 ShutdownGame:"),
           init(" 40:00", "\\g_gametype\\tdm\\mapname\\mp_two\\sv_hostname\\Srv\\"),
           std::string(" 40:00 J;0;0;Sergy(UKR)"),
           std::string(" 40:01 J;0;1;Bo"),
           init(" 40:15", "\\g_gametype\\tdm\\mapname\\mp_two\\sv_hostname\\Srv\\"),
           Hit(" 45:00", 'K', 1, "axis", "Bo", 0, "allies", "Sergy(UKR)"),
           std::string(" 60:00 ShutdownGame:"),
           // 21 minutes with nobody in them; then the same map again after an exit.
           init(" 70:00", "\\g_gametype\\dm\\mapname\\mp_creek\\sv_hostname\\Srv\\"),
           std::string(" 91:00 ExitLevel: executed"),
           std::string(" 91:00 ShutdownGame:"),
       })
    lines.push_back(l);
  EventStore store;
  for (const std::string& l : lines) store.AddLine(l);
  store.Finish();
  const GamesModel model = BuildGames(store);
  ASSERT_EQ(model.games.size(), 2u);
  const Game& match = model.games[0];
  EXPECT_EQ(match.rounds, 4u);
  EXPECT_EQ(match.round_wins[TeamCodeOfField("allies")], 3u);
  EXPECT_EQ(match.round_wins[TeamCodeOfField("axis")], 1u);
  EXPECT_EQ(match.winner_team, TeamCodeOfField("allies"));
  EXPECT_EQ(match.ending, GameEnding::Exit);
  EXPECT_FALSE(match.warmup);
  EXPECT_EQ(match.players.size(), 2u);
  const Game& restarted = model.games[1];
  EXPECT_EQ(restarted.number, 2u);
  EXPECT_EQ(restarted.rounds, 1u);  // the restarted piece is no round
  EXPECT_EQ(restarted.seconds, 20u * 60u);
  EXPECT_EQ(model.people[model.FindPerson(store, "Bo")].games, 2u);
  EXPECT_EQ(model.people[model.FindPerson(store, "Sergy(UKR)")].kills, 4u);

  const Json json = GameJson(GameTexts(store), model, match);
  EXPECT_EQ(json["rounds"], 4);
  EXPECT_EQ(json["round_wins"].dump(), R"({"allies":3,"axis":1})");
}

TEST(GamesTest, ObjectiveActionsCountPerGameAndPerson) {
  auto action = [](const std::string& stamp, const std::string& name, const std::string& word) {
    return stamp + " A;0;2;axis;" + name + ";" + word + ";937.288,-13990.9,369.249;-176.924;stand";
  };
  const std::string ctf = "  0:00 InitGame: \\g_gametype\\ctf\\mapname\\mp_one\\sv_hostname\\S\\";
  const Built b = Build({
      ctf,
      "  0:00 J;0;2;Jaymz-Imp...",
      "  0:00 J;0;3;Bo",
      action("  1:00", "Jaymz-Imp...", "ctf_take"),
      action("  1:40", "Jaymz-Imp...", "ctf_captured"),
      action("  2:00", "Jaymz-Imp...", "ctf_take"),
      action("  2:10", "Bo", "ctf_returned"),
      action("  2:20", "Bo", "odd_word"),
      "  3:00 ShutdownGame:",
      ctf,
      "  0:00 J;0;2;Jaymz-Imp...",
      "  0:00 J;0;3;Bo",
      action("  1:00", "Jaymz-Imp...", "ctf_take"),
      "  3:00 ShutdownGame:",
  });
  const GameTexts texts(b.store);
  auto words = [&](const std::vector<ActionCount>& actions) {
    std::string out;
    for (const ActionCount& a : actions)
      out += std::string(texts.Setting(a.word)) + "=" + std::to_string(a.count) + " ";
    return out;
  };
  EXPECT_EQ(words(b.model.games[0].actions),
            "ctf_take=2 ctf_captured=1 ctf_returned=1 odd_word=1 ");
  EXPECT_EQ(words(b.In(0, "Bo").actions), "ctf_returned=1 odd_word=1 ");
  EXPECT_EQ(words(b.Of("Jaymz-Imp...").actions), "ctf_take=3 ctf_captured=1 ");
  // An action shows him in play: his life ran from his first action to the game's end.
  EXPECT_EQ(b.In(0, "Jaymz-Imp...").played_seconds, 120u);
  const Json person = PersonJson(texts, b.model, b.model.FindPerson(b.store, "Jaymz-Imp..."));
  EXPECT_EQ(person["person"]["actions"].dump(), R"({"ctf_take":3,"ctf_captured":1})");
  EXPECT_EQ(GameJson(texts, b.model, b.model.games[1])["actions"].dump(), R"({"ctf_take":1})");
}

EventStore StoreOfText(const std::string& text) {
  EventStore store;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    store.AddLine(std::string_view(text).substr(start, end - start));
  }
  store.Finish();
  return store;
}

// A generated history records what it wrote: every game and every player's figures in it.
TEST(GamesTest, AGeneratedHistoryReadsBackAsItWasWritten) {
  const SkillLog log = GenerateSkillLog({11, 60, 24});
  const EventStore store = StoreOfText(log.text);
  const GamesModel model = BuildGames(store);
  ASSERT_EQ(model.games.size(), log.games.size());
  for (size_t g = 0; g < log.games.size(); ++g) {
    const SkillGame& written = log.games[g];
    const Game& read = model.games[g];
    EXPECT_EQ(store.settings().Text(read.game_type), written.gametype);
    EXPECT_EQ(read.seconds, static_cast<uint32_t>(written.seconds)) << g;
    EXPECT_EQ(read.winner_team, written.winner < 0 ? 0u : written.winner == 0 ? 2u : 1u) << g;
    for (const SkillGamePlayer& w : written.players) {
      const Participant* p =
          model.PlayerIn(read, model.FindPerson(store, log.players[w.player].name));
      ASSERT_NE(p, nullptr) << log.players[w.player].name;
      EXPECT_EQ(p->kills, static_cast<uint32_t>(w.kills)) << g;
      EXPECT_EQ(p->deaths, static_cast<uint32_t>(w.deaths)) << g;
      EXPECT_EQ(p->team_kills, static_cast<uint32_t>(w.team_kills)) << g;
      EXPECT_EQ(p->seconds, static_cast<uint32_t>(w.seconds)) << g;
      // The lines do not tell when a player changed sides; the reading splits the time
      // between the last line on one team and the first on the other. Only hits tell his
      // team: a player without any has none.
      if (p->team_seconds[1] + p->team_seconds[2] == 0) continue;
      EXPECT_EQ(p->team_seconds[1] + p->team_seconds[2],
                static_cast<uint32_t>(w.team_seconds[0] + w.team_seconds[1]));
      EXPECT_NEAR(p->team_seconds[2], w.team_seconds[0], 60) << g;
    }
  }
}

// Every figure of every game and person, and each kill's people, as text.
std::string Dump(const GamesModel& model) {
  std::string out;
  auto put = [&out](uint64_t n) { out += std::to_string(n) + ' '; };
  for (const Game& game : model.games) {
    put(game.number);
    for (const Participant& p : game.players) {
      for (uint64_t n : {uint64_t{p.person}, p.slot_bits[0], uint64_t{p.team_seconds[1]},
                         uint64_t{p.team_seconds[2]}, uint64_t{p.kills}, uint64_t{p.deaths},
                         uint64_t{p.team_kills}, p.damage_dealt, p.most_life_damage,
                         uint64_t{p.seconds}, uint64_t{p.first_at}, uint64_t{p.last_at}})
        put(n);
    }
    for (const GameKill& kill : game.kills) {
      put(kill.attacker);
      put(kill.victim);
    }
    out += '\n';
  }
  for (const Person& p : model.people) out += p.id + ' ' + p.display + '\n';
  return out;
}

// The finished games set aside on disk (one per chunk, a few per chunk) or, when the folder
// cannot take them, kept in memory, read back to the same model.
TEST(GamesTest, GamesSetAsideReadBackTheSame) {
  const EventStore store = StoreOfText(GenerateSkillLog({5, 40, 16}).text);
  const std::string whole = Dump(BuildGames(store));
  ASSERT_GT(whole.size(), 1000u);
  const std::string folder = std::filesystem::temp_directory_path().string();
  for (const GamesScratch& scratch : {GamesScratch{folder, 1}, GamesScratch{folder, 3000},
                                      GamesScratch{"/nonexistent/folder", 1}}) {
    EXPECT_EQ(Dump(BuildGames(store, {}, scratch)), whole)
        << scratch.folder << " " << scratch.held_bytes;
  }
}

}  // namespace
}  // namespace barvik
