// The player scans: which lists a kill, damage, pick-up or action line feeds for the victim
// and the attacker, the scan state (map, game type, turn), the weapon scan, the all-players
// pass against one scan per player, and the players' fingerprints continued from an earlier run.
#include "stats/PlayerDetail.h"

#include <gtest/gtest.h>

#include "log/LogFile.h"
#include "log/NameList.h"
#include "tools/loggen/LogGenerator.h"
#include "tools/support/AllPlayersEvents.h"

namespace barvik {
namespace {

using P = PlayerEvents;

// The texts of one list, joined by "|".
std::string Texts(const KeyPool& pool, const EventGroup& group, size_t list) {
  std::string out;
  for (KeyId id : group.lists[list]) {
    if (!out.empty()) out += '|';
    out += pool.Text(id);
  }
  return out;
}

constexpr EventGroup PlayerEvents::*kGroups[] = {
    &P::weapons, &P::attack_locations, &P::victim_locations,
    &P::maps,    &P::game_types,       &P::opponents,
    &P::turns};

// Every list of every group, as texts.
std::vector<std::string> AllTexts(const PlayerEvents& e) {
  std::vector<std::string> out;
  for (auto group : kGroups) {
    for (size_t j = 0; j < (e.*group).lists.size(); ++j) out.push_back(Texts(*e.pool, e.*group, j));
  }
  return out;
}

class PlayerScanTest : public ::testing::Test {
 protected:
  const PlayerEvents& Scan(const std::string& text, std::string_view name) {
    log_ = std::make_unique<LogFile>(LogFile::FromText(text));
    events_ = PlayerEvents{};
    CollectPlayerEvents(*log_, name, events_, [this](const std::string& m) { errors_ += m; });
    return events_;
  }
  std::string L(const EventGroup& group, size_t list) { return Texts(*events_.pool, group, list); }

  std::unique_ptr<LogFile> log_;
  PlayerEvents events_;
  std::string errors_;
};

TEST_F(PlayerScanTest, KillLinesByWhoKilledWhom) {
  const std::string log =
      "0:01 K;1;0;axis;Bob;2;1;allies;Al;mp40;100;MOD;head\n"           // Bob killed by Al
      "0:02 K;1;0;axis;Bob;;;;;nade;100;MOD;none\n"                     // suicide, no attacker
      "0:03 K;1;0;axis;Bob;1;0;axis;Bob;bazooka;100;MOD;torso_lower\n"  // suicide by his own hand
      "0:04 K;2;1;allies;Al;1;0;axis;Bob;kar98k;100;MOD;neck\n";        // Bob kills Al
  Scan(log, "Bob");
  const PlayerEvents& e = events_;
  EXPECT_EQ(L(e.weapons, P::kWeaponDeads), "mp40");
  EXPECT_EQ(L(e.weapons, P::kWeaponSuicides), "nade|bazooka");
  EXPECT_EQ(L(e.weapons, P::kWeaponKills), "kar98k");
  EXPECT_EQ(L(e.victim_locations, P::kVictimDeads), "head");
  EXPECT_EQ(L(e.attack_locations, P::kAttackSuicides), "none|torso_lower");
  EXPECT_EQ(L(e.attack_locations, P::kAttackKills), "neck");
  EXPECT_EQ(L(e.maps, P::kPlaceSuicides), "NOT DEFINED|NOT DEFINED");
  EXPECT_EQ(L(e.game_types, P::kPlaceKills), "NOT DEFINED");
  // Suicides never reach the opponents or the turns.
  EXPECT_EQ(L(e.opponents, P::kOpponentDeads), "Al");
  EXPECT_EQ(L(e.opponents, P::kOpponentKills), "Al");
  EXPECT_EQ(L(e.turns, P::kTurnKills), "0000000");
  EXPECT_EQ(L(e.turns, P::kTurnDeads), "0000000");

  // The same lines from Al's side: one death (by Bob) and one kill (of Bob).
  Scan(log, "Al");
  EXPECT_EQ(L(events_.weapons, P::kWeaponKills), "mp40");
  EXPECT_EQ(L(events_.weapons, P::kWeaponDeads), "kar98k");
  EXPECT_EQ(L(events_.weapons, P::kWeaponSuicides), "");
  EXPECT_TRUE(errors_.empty());
}

TEST_F(PlayerScanTest, DamageLinesByWhoHurtWhom) {
  Scan(
      "0:01 D;1;0;axis;Bob;2;1;allies;Al;mp40;10;MOD;head\n"
      "0:02 D;1;0;axis;Bob;;;;;nade;10;MOD;none\n"
      "0:03 D;1;0;axis;Bob;1;0;axis;Bob;bazooka;10;MOD;left_foot\n"
      "0:04 D;2;1;allies;Al;1;0;axis;Bob;kar98k;10;MOD;neck\n",
      "Bob");
  const PlayerEvents& e = events_;
  EXPECT_EQ(L(e.weapons, P::kWeaponDamages), "mp40");
  EXPECT_EQ(L(e.victim_locations, P::kVictimDamages), "head");
  EXPECT_EQ(L(e.opponents, P::kOpponentDamages), "Al");
  // Self damages reach the weapon table only.
  EXPECT_EQ(L(e.weapons, P::kWeaponSelfDamages), "nade|bazooka");
  EXPECT_EQ(L(e.attack_locations, P::kAttackSuicides), "");
  EXPECT_EQ(L(e.maps, P::kPlaceSuicides), "");
  EXPECT_EQ(L(e.weapons, P::kWeaponIDamages), "kar98k");
  EXPECT_EQ(L(e.attack_locations, P::kAttackIDamages), "neck");
  EXPECT_EQ(L(e.maps, P::kPlaceIDamages), "NOT DEFINED");
  EXPECT_EQ(L(e.opponents, P::kOpponentIDamages), "Al");
  EXPECT_EQ(L(e.turns, P::kTurnKills) + L(e.turns, P::kTurnDeads), "");
}

TEST_F(PlayerScanTest, TurnsMapsPickUpsAndActionsFollowTheLog) {
  Scan(
      "0:00 Weapon;1;0;Bob;colt\n"
      "0:01 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\\n"
      "0:02 A;1;0;axis;Bob;any action text\n"
      "0:03 Weapon;1;0;bob;luger\n"  // another letter case is another player
      "0:04 InitGame: \\sv_hostname\\x\\\n"
      "0:05 K;2;1;allies;Al;1;0;axis;Bob;kar98k;100;MOD;neck\n",
      "Bob");
  EXPECT_EQ(L(events_.weapons, P::kWeaponPickUp), "colt");
  EXPECT_EQ(L(events_.maps, P::kPlaceBelTicks), "mp_foy");
  EXPECT_EQ(L(events_.game_types, P::kPlaceBelTicks), "tdm");
  EXPECT_EQ(L(events_.maps, P::kPlaceKills), "n/a");
  EXPECT_EQ(L(events_.turns, P::kTurnKills), "0000002");
  EXPECT_EQ(TurnKey(12345678), "12345678");
}

TEST(WeaponHitsTest, CountsTheWeaponsKillsDamagesAndSuicidesOnly) {
  LogFile log = LogFile::FromText(
      "0:01 K;2;1;allies;Al;1;0;axis;Bob;mp40;100;MOD;head\n"    // kill
      "0:02 K;2;1;allies;Al;1;0;axis;Bob;kar98k;100;MOD;neck\n"  // another weapon
      "0:03 D;2;1;allies;Al;1;0;axis;Bob;mp40;10;MOD;left_foot\n"
      "0:04 K;1;0;axis;Bob;;;;;mp40;100;MOD;none\n"                   // suicide, no attacker
      "0:05 K;1;0;axis;Bob;2;1;allies;Al;mp40;100;MOD;torso_upper\n"  // killed by Al
      "0:06 D;1;0;axis;Bob;1;0;axis;Bob;mp40;10;MOD;right_hand\n"     // self damage
      "0:07 K;3;1;allies;Zed;2;1;allies;Al;mp40;100;MOD;head\n");
  WeaponHits hits;
  CollectWeaponHits(log, "Bob", "mp40", hits, nullptr);
  EXPECT_EQ(Texts(hits.pool, hits.hits, WeaponHits::kKills), "head");
  EXPECT_EQ(Texts(hits.pool, hits.hits, WeaponHits::kIDamages), "left_foot");
  EXPECT_EQ(Texts(hits.pool, hits.hits, WeaponHits::kSuicides), "none");
}

// One scan per player against the single pass, on logs with case variants, colour codes,
// 8-bit names, suicides, empty attackers and events before the first game initialisation.
TEST(AllPlayersPassTest, EqualsOneScanPerPlayer) {
  const std::string hand_made =
      "0:00 K;1;0;axis;Bob;2;1;allies;^1Al;mp40;100;MOD;head\n"
      "0:00 D;1;0;axis;BOB;2;1;allies;Al;mp40;100;MOD;head\n"
      "0:01 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\\\n"
      "0:02 K;1;0;axis;Bob;;;;;nade;100;MOD;none\n"
      "0:03 K;1;0;axis;Bob;1;0;axis;Bob;nade;100;MOD;none\n"
      "0:04 D;1;0;axis;Al;;;;;nade;100;MOD;none\n"
      "0:05 K;1;0;axis;Bob;1;0;axis;bob;Nade;100;MOD;NONE\n"
      "0:06 Weapon;1;0;Bob;colt\n0:07 A;1;0;axis;^2Al^7;bel\n";
  std::vector<std::string> logs = {hand_made};
  for (uint64_t seed : {3u, 4u}) {
    LogGeneratorOptions o;
    o.seed = seed;
    o.lines = 3000;
    o.players = 12;
    o.lines_per_turn = 400;
    logs.push_back(GenerateLog(o));
  }
  for (const std::string& text : logs) {
    for (int flags = 0; flags < 4; ++flags) {
      LogFile log = LogFile::FromText(text);
      log.IgnoreCase = flags & 1;
      log.IgnoreColors = flags & 2;
      std::vector<std::string> names = BuildNameList(log).Names();
      // Also a name given twice, an upper-case variant, one that never occurs, the empty one.
      names.push_back(names.front());
      names.push_back("BOB");
      names.push_back("nobody");
      names.push_back("");
      std::vector<PlayerEvents> all = CollectAllPlayersEvents(log, names, nullptr);
      ASSERT_EQ(all.size(), names.size());
      for (size_t i = 0; i < names.size(); ++i) {
        PlayerEvents one;
        CollectPlayerEvents(log, names[i], one, nullptr);
        EXPECT_EQ(AllTexts(all[i]), AllTexts(one)) << "player '" << names[i] << "' flags " << flags;
      }
    }
  }
}

// Fingerprints continued from the state kept over the same leading records equal those of a
// walk over the whole log, after a new turn and after lines inside the last turn (the turn, map
// and game type at the seam). A state of other records (an early line edited), of other name
// options, or a damaged one is not continued from, and the fingerprints are still right.
TEST(PlayerFingerprintsTest, ContinuedFromAnEarlierStateEqualsAWholeWalk) {
  LogGeneratorOptions o;
  o.seed = 5;
  o.lines = 3000;
  o.players = 12;
  o.lines_per_turn = 400;
  const std::string earlier =
      GenerateLog(o) + "9:00 K;1;0;axis;Bob;2;1;allies;Al;mp40;1;MOD;head\n";
  const std::string state = PlayerFingerprints(LogFile::FromText(earlier)).State();
  ASSERT_FALSE(state.empty());
  const std::string kill = "9:01 K;2;1;allies;Al;1;0;axis;Bob;kar98k;1;MOD;neck\n";
  const std::string new_turn = "9:02 InitGame: \\g_gametype\\sd\\mapname\\mp_new\\\n" + kill;

  auto expect_same = [&](const std::string& text, const std::string& given, bool flags,
                         bool continued, const char* what) {
    LogFile log = LogFile::FromText(text);
    log.IgnoreCase = flags;
    log.IgnoreColors = flags;
    const PlayerFingerprints whole(log);
    const PlayerFingerprints next(log, given);
    EXPECT_EQ(next.continued(), continued) << what;
    std::vector<std::string> names = BuildNameList(log).Names();
    ASSERT_GT(names.size(), 3u);
    names.push_back("nobody");
    for (const std::string& name : names) EXPECT_EQ(next.Of(name), whole.Of(name)) << what << name;
    // The state after either walk continues the same way next time.
    EXPECT_EQ(next.State(), whole.State()) << what;
  };
  expect_same(earlier, state, false, true, "nothing new");
  expect_same(earlier + kill + kill, state, false, true, "inside the last turn");
  expect_same(earlier + new_turn, state, false, true, "a new turn");
  expect_same(earlier + new_turn, state, true, false, "other name options");
  expect_same(earlier + kill, state.substr(0, state.size() - 3), false, false, "damaged");
  std::string edited = earlier;
  const size_t at = edited.find(";MOD;");
  ASSERT_NE(at, std::string::npos);
  edited.replace(at, 5, ";MOX;");
  expect_same(edited + kill, state, false, false, "an early line edited");
}

}  // namespace
}  // namespace barvik
