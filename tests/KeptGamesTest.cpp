#include "stats/KeptGames.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

EventStore StoreOf(std::string_view text) {
  EventStore store;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    store.AddLine(text.substr(from, end - from));
    from = end + 1;
  }
  store.Finish();
  return store;
}

// The log's first `lines` lines.
std::string Head(const std::string& log, size_t lines) {
  size_t at = 0;
  for (size_t i = 0; i < lines && at != std::string::npos; ++i) {
    at = log.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return at == std::string::npos ? log : log.substr(0, at);
}

// One run: the model continued from `kept` (which becomes the next one to keep) checked
// against a build of the whole log.
KeptGamesOutcome Continue(const std::string& log, std::string& kept, const PeopleRules& rules = {},
                          const std::vector<std::string>& nobody = {}) {
  const EventStore store = StoreOf(log);
  KeptGamesOutcome outcome;
  std::string next;
  const GamesModel model =
      ContinueGames(store, rules, {}, nobody, "test build", kept, &next, &outcome);
  EXPECT_EQ(GamesModelBytes(model), GamesModelBytes(BuildGames(store, rules, {}, nobody)))
      << outcome.why;
  kept = std::move(next);
  return outcome;
}

const std::string kTdm =
    "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\\n";

// A kill at `stamp` of the player in slot `victim[0]` named `victim` + 1 by `killer` likewise.
std::string Kill(const std::string& stamp, const std::string& killer, const std::string& victim) {
  return "  " + stamp + " K;1;" + victim.substr(0, 1) + ";axis;" + victim.substr(1) + ";2;" +
         killer.substr(0, 1) + ";allies;" + killer.substr(1) +
         ";kar98k_mp;100;MOD_RIFLE_BULLET;head\n";
}

// A game of `minutes` in which each pair "1killer>2victim" (slot, name) kills once a minute.
std::string Game(const std::vector<std::string>& kills, int minutes = 3) {
  std::string g = kTdm;
  for (int m = 1; m <= minutes; ++m) {
    for (const std::string& k : kills) {
      const size_t gt = k.find('>');
      g += Kill(std::to_string(m) + ":00", k.substr(0, gt), k.substr(gt + 1));
    }
  }
  return g;
}

TEST(KeptGamesTest, GrowingLogIsContinuedAndEqualsAFreshBuild) {
  LogGeneratorOptions options;
  options.seed = 11;
  options.lines = 60000;
  options.players = 30;
  options.lines_per_turn = 1500;
  const std::string log = GenerateLog(options);
  std::string kept;
  EXPECT_EQ(Continue(Head(log, 20000), kept).use, KeptGamesUse::kNone);
  int continued = 0;
  // Cut anywhere: inside a game, between games, on the same length twice.
  for (size_t lines : {20000u, 20777u, 26000u, 26001u, 39000u, 39000u, 51234u, 60000u}) {
    const KeptGamesOutcome outcome = Continue(Head(log, lines), kept);
    if (outcome.use == KeptGamesUse::kContinued) {
      ++continued;
      EXPECT_GT(outcome.kept_games, 0u);
      EXPECT_GT(outcome.built_from, 0u);
    }
  }
  EXPECT_GE(continued, 6) << "known players in new games make no rebuild";
}

TEST(KeptGamesTest, NewPlayersAndTheirOwnRenamesAreContinued) {
  std::string kept;
  std::string log = Game({"1Al>2Bob", "2Bob>1Al"}) + Game({"1Al>2Bob"});
  Continue(log, kept);
  // Carl is new and renames himself to Dan: nobody earlier is joined.
  log += Game({"1Al>3Carl", "3Carl>1Al"}) + Kill("3:30", "3Dan", "1Al") + Game({"2Bob>1Al"});
  KeptGamesOutcome outcome = Continue(log, kept);
  EXPECT_EQ(outcome.use, KeptGamesUse::kContinued) << outcome.why;
  EXPECT_EQ(outcome.kept_games, 1u) << "the last game may grow: it is built again";
  // And comes back as Dan.
  outcome = Continue(log + Game({"3Dan>2Bob"}), kept);
  EXPECT_EQ(outcome.use, KeptGamesUse::kContinued) << outcome.why;
  EXPECT_EQ(outcome.kept_games, 3u);
}

TEST(KeptGamesTest, TwoNamesOfAnEarlierPersonInOneNewGameAreOnePlayer) {
  // Al became Carl in the first game: one person. In a later game Al plays, leaves, and comes
  // back as Carl: one player of that game, with the seconds of both.
  std::string kept;
  std::string log = Game({"1Al>2Bob"}, 1) + Kill("1:30", "1Carl", "2Bob") + Game({"2Bob>1Carl"});
  Continue(log, kept);
  log += Game({"1Al>2Bob"}, 2) + "  2:10 Q;1;1;Al\n  2:20 J;1;1;Carl\n" +
         Kill("2:30", "1Carl", "2Bob") + Game({"2Bob>1Al"});
  const KeptGamesOutcome outcome = Continue(log, kept);
  EXPECT_EQ(outcome.use, KeptGamesUse::kContinued) << outcome.why;
}

TEST(KeptGamesTest, NewLinesCountAndNameAsInAFreshBuild) {
  // A result line names Gus before he shows in that game: in a build of all lines he is
  // nobody there, and a name the new lines meet later must not make him the winner.
  std::string kept;
  std::string log = Game({"1Al>2Bob"});
  Continue(log, kept);
  log +=
      "  0:18 InitGame: \\g_gametype\\dm\\mapname\\mp_b\\sv_hostname\\S\n"
      "  6:10 W;allies;0;Gus\n" +
      Kill("6:54", "5Di", "3Gus") + Game({"2Bob>1Al"});
  EXPECT_EQ(Continue(log, kept).use, KeptGamesUse::kContinued);

  // Di, of a kept game, shares slot 0 with Bob in a new game: the line in which he died there
  // still counts for his spelling.
  kept.clear();
  log =
      " 10:45 InitGame: \\g_gametype\\dm\\mapname\\mp_a\\sv_hostname\\S\n"
      " 12:25 K;102;0;axis;Di;104;3;axis;al;kar98k_mp;50;MOD_RIFLE_BULLET;head\n" +
      Game({"3Carl>4Eve"});
  Continue(log, kept);
  log +=
      "  0:18 InitGame: \\g_gametype\\dm\\mapname\\mp_b\\sv_hostname\\S\n"
      "  4:46 K;101;1;;al;102;0;;Di;kar98k_mp;50;MOD_RIFLE_BULLET;head\n"
      "  6:00 J;102;0;Bob\n"
      "  6:26 J;102;2;Di\n"
      "  6:30 K;103;5;;Di;105;3;;Fox;kar98k_mp;50;MOD_RIFLE_BULLET;head\n";
  EXPECT_EQ(Continue(log + Game({"2Bob>1Al"}), kept).use, KeptGamesUse::kContinued);
}

TEST(KeptGamesTest, ChangesOfEarlierPeopleRebuildTheWholeHistory) {
  const std::string start =
      Game({"1Al>2Bob", "2Bob>1Al"}) + Game({"3Carl>4Dan", "4Dan>3Carl"}) + Game({"1Al>2Bob"});
  {
    // Slot 1 shows Carl without a quit between: Al renamed himself to an earlier person's name.
    std::string kept;
    Continue(start, kept);
    const std::string renamed = Game({"1Carl>2Bob"}, 1) + Kill("1:30", "1Al", "2Bob");
    const KeptGamesOutcome outcome =
        Continue(start + Game({"1Al>2Bob"}) + renamed + Game({"2Bob>1Al"}), kept);
    EXPECT_EQ(outcome.use, KeptGamesUse::kRebuilt);
  }
  {
    // An early game edited: Dan's kill is Bob's now.
    std::string kept;
    Continue(start + Game({"1Al>2Bob"}), kept);
    std::string edited = start + Game({"1Al>2Bob"});
    edited.replace(edited.find(";Dan;kar98k"), 5, ";Bob;");
    const KeptGamesOutcome outcome = Continue(edited + Game({"2Bob>1Al"}), kept);
    EXPECT_EQ(outcome.use, KeptGamesUse::kRebuilt);
    EXPECT_EQ(outcome.why, "the earlier records changed");
  }
  {
    // A log that shrank below the kept records.
    std::string kept;
    Continue(start + Game({"1Al>2Bob"}) + Game({"1Al>2Bob"}), kept);
    EXPECT_EQ(Continue(start, kept).use, KeptGamesUse::kRebuilt);
  }
  {
    // The people file joins Al and Carl, then no longer does; default names change.
    std::string kept;
    const std::string log = start + Game({"1Al>2Bob"});
    Continue(log, kept);
    PeopleRules rules;
    rules.same = {{"Al", "Carl"}};
    KeptGamesOutcome outcome = Continue(log, kept, rules);
    EXPECT_EQ(outcome.use, KeptGamesUse::kRebuilt);
    EXPECT_EQ(Continue(log + Game({"2Bob>1Al"}), kept, rules).use, KeptGamesUse::kContinued);
    EXPECT_EQ(Continue(log + Game({"2Bob>1Al"}), kept).use, KeptGamesUse::kRebuilt);
    EXPECT_EQ(Continue(log + Game({"2Bob>1Al"}), kept, {}, {"Dan"}).use, KeptGamesUse::kRebuilt);
  }
}

TEST(KeptGamesTest, DamagedOrForeignKeptModelIsNeverTrusted) {
  const std::string log = Game({"1Al>2Bob", "2Bob>1Al"}) + Game({"3Carl>4Dan"}) +
                          Game({"1Al>2Bob"}) + Game({"3Carl>1Al"});
  std::string good;
  Continue(log, good);
  ASSERT_GT(good.size(), 40u);
  for (size_t at : {size_t{0}, size_t{20}, good.size() / 2, good.size() - 9, good.size() - 1}) {
    std::string kept = good;
    kept[at] = static_cast<char>(kept[at] ^ 0x20);
    EXPECT_EQ(Continue(log, kept).use, KeptGamesUse::kRebuilt) << "byte " << at;
  }
  for (size_t size : {size_t{5}, good.size() / 3, good.size() - 1}) {
    std::string kept = good.substr(0, size);
    EXPECT_EQ(Continue(log, kept).use, KeptGamesUse::kRebuilt) << "cut to " << size;
  }
  // Kept for another log of the same length, and by another build.
  std::string other = good;
  std::string other_log = log;
  other_log.replace(other_log.find("Carl"), 4, "Cora");
  EXPECT_EQ(Continue(other_log, other).use, KeptGamesUse::kRebuilt);
  const EventStore store = StoreOf(log);
  KeptGamesOutcome outcome;
  ContinueGames(store, {}, {}, {}, "another build", good, nullptr, &outcome);
  EXPECT_EQ(outcome.use, KeptGamesUse::kRebuilt);
}

}  // namespace
}  // namespace barvik
