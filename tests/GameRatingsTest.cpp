// The games model in the rating's input form: scores, team time and results as the rating
// needs them, warm-ups left out, rating game by game as a log grows, and the JSON fields.
#include "stats/GameRatings.h"

#include "core/StableHash.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "tools/loggen/SkillLog.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace barvik {
namespace {

EventStore StoreOf(const std::vector<std::string>& lines) {
  EventStore store;
  for (const std::string& line : lines) store.AddLine(line);
  store.Finish();
  return store;
}

std::string Kill(const std::string& stamp, const std::string& victim, const std::string& vteam,
                 int vslot, const std::string& attacker, const std::string& ateam, int aslot) {
  return stamp + " K;0;" + std::to_string(vslot) + ";" + vteam + ";" + victim + ";0;" +
         std::to_string(aslot) + ";" + ateam + ";" + attacker +
         ";kar98k_mp;100;MOD_RIFLE_BULLET;torso_upper";
}

const std::vector<std::string> kTeamGame = {
    "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_one\\sv_hostname\\Srv\\",
    "  0:00 J;0;1;Al",
    "  0:00 J;0;2;Bo",
    "  0:00 J;0;3;Cy",
    Kill("  1:00", "Bo", "axis", 2, "Al", "allies", 1),
    Kill("  2:00", "Cy", "allies", 3, "Al", "allies", 1),  // a team kill
    Kill("  3:00", "Al", "allies", 1, "Bo", "axis", 2),
    Kill("  6:00", "Al", "allies", 1, "Cy", "axis", 3),  // Cy has changed sides
    " 10:00 W;axis;0;Bo;0;Cy",
    " 10:00 L;allies;0;Al",
    " 10:00 ExitLevel: executed",
    "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_two\\sv_hostname\\Srv\\",
    Kill("  0:10", "Bo", "", 2, "Al", "", 1),  // a warm-up: ten seconds
    " 0:20 ShutdownGame:",
};

TEST(GameRatingsTest, FightsTeamTimeAndResultComeFromTheGame) {
  const EventStore store = StoreOf(kTeamGame);
  const GamesModel model = BuildGames(store);
  ASSERT_EQ(model.games.size(), 2u);
  const RatedGameInput input = RatingInputOf(model, model.games[0]);
  EXPECT_EQ(input.seconds, 600);
  EXPECT_EQ(input.winner, "axis");
  auto of = [&](const std::string& name) {
    const std::string& id = model.people.at(model.FindPerson(store, name)).id;
    for (const RatedPlayer& p : input.players) {
      if (p.person == id) return p;
    }
    ADD_FAILURE() << name;
    return RatedPlayer{};
  };
  // Each kill of an enemy is a fight, in log order; the team kill is none.
  std::vector<std::pair<std::string, std::string>> fights;
  for (const RatedDuel& duel : input.duels) {
    fights.emplace_back(input.players.at(duel.winner).person, input.players.at(duel.loser).person);
  }
  const std::string al = of("Al").person, bo = of("Bo").person, cy = of("Cy").person;
  EXPECT_EQ(fights,
            (std::vector<std::pair<std::string, std::string>>{{al, bo}, {bo, al}, {cy, al}}));
  const auto cy_teams = of("Cy").team_seconds;
  ASSERT_EQ(cy_teams.size(), 2u);
  // Last seen on allies at 2:00, first on axis at 6:00: he changed sides halfway, at 4:00.
  EXPECT_EQ(cy_teams[0], (std::pair<std::string, int>("allies", 240)));
  EXPECT_EQ(cy_teams[1], (std::pair<std::string, int>("axis", 360)));

  GameRatings ratings;
  RateGames(model, ratings);
  ASSERT_EQ(ratings.changes.size(), 2u);
  EXPECT_EQ(ratings.changes[0].size(), 3u);
  EXPECT_TRUE(ratings.changes[1].empty());  // the warm-up
  EXPECT_EQ(ratings.history.Games(), 1);
}

// A free-for-all whose kill feed ranks its people: the ranking after it follows the feed, not
// the order of joining, and suicides and falls change nobody's skill.
TEST(GameRatingsTest, OneGamesRankingFollowsItsKillFeed) {
  const std::vector<std::string> names = {"Dee", "Cal", "Bea", "Ace"};  // joined weakest first
  std::vector<std::string> lines = {
      "  0:00 InitGame: \\g_gametype\\dm\\mapname\\mp_one\\sv_hostname\\Srv\\"};
  for (size_t i = 0; i < names.size(); ++i) {
    std::string join = "  0:00 J;0;";
    join += std::to_string(i);
    lines.push_back(join + ";" + names[i]);
  }
  // Ace wins every fight, Bea all but those against Ace, and so on down to Dee.
  int minute = 1;
  for (int round = 0; round < 3; ++round) {
    for (size_t w = 3; w > 0; --w) {
      for (size_t l = 0; l < w; ++l) {
        std::string stamp = " ";
        stamp += std::to_string(minute++);
        lines.push_back(Kill(stamp + ":00", names[l], "", static_cast<int>(l), names[w], "",
                             static_cast<int>(w)));
      }
    }
  }
  const size_t ends_at = lines.size();
  lines.push_back(" 90:00 ExitLevel: executed");
  auto ranking = [&names](const std::vector<std::string>& log) {
    const EventStore store = StoreOf(log);
    const GamesModel model = BuildGames(store);
    GameRatings ratings;
    RateGames(model, ratings);
    std::map<std::string, std::string> name_of;  // id -> name
    for (const std::string& name : names)
      name_of[model.people.at(model.FindPerson(store, name)).id] = name;
    std::vector<std::pair<std::string, double>> order;
    for (const PersonRating& r : ratings.history.Ranking()) {
      order.emplace_back(name_of.at(r.person), r.skill.mu);
    }
    return order;
  };
  const auto order = ranking(lines);
  ASSERT_EQ(order.size(), 4u);
  EXPECT_EQ(order[0].first, "Ace");
  EXPECT_EQ(order[1].first, "Bea");
  EXPECT_EQ(order[2].first, "Cal");
  EXPECT_EQ(order[3].first, "Dee");

  std::vector<std::string> with_deaths = lines;  // Dee falls, Bea blows himself up
  with_deaths.insert(with_deaths.begin() + static_cast<std::ptrdiff_t>(ends_at),
                     {" 80:00 K;0;0;;Dee;-1;-1;world;;none;100000;MOD_FALLING;none",
                      " 81:00 K;0;2;;Bea;0;2;;Bea;mk1britishfrag_mp;200;MOD_GRENADE_SPLASH;none"});
  EXPECT_EQ(ranking(with_deaths), order);
}

TEST(GameRatingsTest, RatingTheNewGamesOnlyGivesTheWholeHistorysRatings) {
  std::vector<std::string> lines = kTeamGame;
  lines.resize(11);  // the team game alone
  GameRatings grown;
  RateGames(BuildGames(StoreOf(lines)), grown);
  for (const std::string& line : kTeamGame) lines.push_back(line);  // it is played twice more
  const GamesModel model = BuildGames(StoreOf(lines));
  RateGames(model, grown);
  GameRatings whole;
  RateGames(model, whole);
  EXPECT_EQ(grown.history.Save(), whole.history.Save());
  EXPECT_EQ(grown.changes.size(), model.games.size());
}

// Everything a ModelRatings holds, as text to compare.
std::string Everything(const ModelRatings& ratings, const EventStore& store) {
  std::ostringstream out;
  auto put = [&](const GameRatings& r) {
    out << r.history.Save();
    for (const auto& game : r.changes) {
      for (const RatingChange& c : game)
        out << c.person << ' ' << c.before << ' ' << c.after << ';';
      out << '\n';
    }
  };
  put(ratings.all);
  for (const GameTypeRatings& type : ratings.types) {
    out << store.settings().Text(type.game_type) << '\n';
    put(type.ratings);
  }
  return out.str();
}

TEST(GameRatingsTest, KeptRatingsContinueOnlyWhereTheirGamesAreTheLogsFirstGames) {
  SkillLogOptions options;
  options.games = 40;
  options.players = 14;
  const std::string log = GenerateSkillLog(options).text;
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  // About half of the history, cut in the middle of a game (after a kill).
  size_t cut = lines.size() / 2;
  while (lines.at(cut).find(" K;") == std::string::npos) ++cut;
  const std::vector<std::string> first(lines.begin(),
                                       lines.begin() + static_cast<std::ptrdiff_t>(cut) + 1);

  // A run on the first half keeps its state; the log then grows to the whole history.
  const EventStore half = StoreOf(first);
  const GamesModel half_model = BuildGames(half);
  std::string kept;
  RateModel(half_model, half, "", &kept);
  ASSERT_EQ(half_model.games.back().ending, GameEnding::EndOfLog) << "the half cuts a game";

  const EventStore whole = StoreOf(lines);
  const GamesModel model = BuildGames(whole);
  const ModelRatings fresh = RateModel(model, whole, "");
  std::string kept_again;
  const ModelRatings continued = RateModel(model, whole, kept, &kept_again);
  EXPECT_EQ(continued.kept_games, half_model.games.size() - 1) << "the cut game is rated anew";
  EXPECT_EQ(Everything(continued, whole), Everything(fresh, whole));
  EXPECT_GE(fresh.types.size(), 2u);
  std::string kept_fresh;
  RateModel(model, whole, "", &kept_fresh);
  EXPECT_EQ(kept_again, kept_fresh);

  // Kept ratings of games that are not the log's first games now are not used: an early kill
  // line gone, a damaged or foreign text, a state made with other options.
  std::vector<std::string> changed = lines;
  for (size_t i = 0; i < changed.size(); ++i) {
    if (changed[i].find(" K;") != std::string::npos) {
      changed.erase(changed.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  const EventStore other = StoreOf(changed);
  const GamesModel other_model = BuildGames(other);
  const ModelRatings redone = RateModel(other_model, other, kept);
  EXPECT_EQ(redone.kept_games, 0u);
  EXPECT_EQ(Everything(redone, other), Everything(RateModel(other_model, other, ""), other));
  std::string one_digit = kept;  // a skill in the middle of the state, one digit off
  const size_t digit = one_digit.find_first_of("123456789", one_digit.size() / 2);
  one_digit[digit] = one_digit[digit] == '9' ? '8' : static_cast<char>(one_digit[digit] + 1);
  for (const std::string& bad :
       {kept.substr(0, kept.size() / 2), kept + "x", std::string("barvik-model-ratings 1\n"),
        std::string("anything"), one_digit}) {
    EXPECT_EQ(RateModel(model, whole, bad).kept_games, 0u);
  }
  std::string other_options = kept;
  const size_t options_at = other_options.find("barvik-ratings 2\n");
  ASSERT_NE(options_at, std::string::npos);
  other_options.replace(options_at + 17, 2, "26");  // mu 26 instead of 25
  EXPECT_EQ(RateModel(model, whole, other_options).kept_games, 0u);
}

// The kept text is made a piece at a time with its hash: a long one must still be taken
// back whole. A text of an older format (hashed whole, with its length; or of the rating by
// score) is ignored.
TEST(GameRatingsTest, ALongKeptStateIsContinuedAndAnOlderFormatIgnored) {
  SkillLogOptions options;
  options.games = 600;
  options.players = 14;
  std::vector<std::string> lines;
  std::istringstream in(GenerateSkillLog(options).text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const EventStore store = StoreOf(lines);
  const GamesModel model = BuildGames(store);
  std::string kept;
  RateModel(model, store, "", &kept);
  ASSERT_GT(kept.size(), 3u * 64 * 1024) << "the text is made in several pieces";
  EXPECT_EQ(RateModel(model, store, kept).kept_games, model.games.size() - 1);

  std::string older = kept.substr(0, kept.rfind("check "));
  std::string by_score = older;  // the state of the rating by score, sealed as kept now
  older.replace(0, older.find('\n'), "barvik-model-ratings 1");
  older += "check " + std::to_string(StableHash().Text(older).value()) + " \n";
  EXPECT_EQ(RateModel(model, store, older).kept_games, 0u);
  by_score.replace(0, by_score.find('\n'), "barvik-model-ratings 2");
  by_score += "check " + std::to_string(StableHash().Bytes(by_score).value()) + " \n";
  EXPECT_EQ(RateModel(model, store, by_score).kept_games, 0u);
}

TEST(GameRatingsTest, JsonDocumentsGainTheRatingsOfTheirPeopleAndGames) {
  const EventStore store = StoreOf(kTeamGame);
  const GamesModel model = BuildGames(store);
  GameRatings ratings;
  RateGames(model, ratings);

  Json people = PeopleJson(store, model);
  AddRatings(people, model, ratings);
  ASSERT_EQ(people.at("people").size(), 3u);
  for (const Json& person : people.at("people")) {
    const Json& rating = person.at("rating");
    EXPECT_EQ(rating.at("games"), 1) << person.at("id");
    EXPECT_EQ(rating.at("provisional"), true);
    EXPECT_TRUE(rating.at("rank").is_null());
  }

  Json games = GamesJson(store, model);
  AddRatingChanges(games, model, ratings);
  for (const Json& player : games.at("games")[0].at("players")) {
    EXPECT_EQ(player.at("rating_change").at("before"), 0.0);
    EXPECT_NE(player.at("rating_change").at("after"), 0.0);
  }
  for (const Json& player : games.at("games")[1].at("players")) {
    EXPECT_TRUE(player.at("rating_change").is_null());  // the warm-up is not rated
  }
  const Json ranking = RankingJson(store, model, ratings);
  EXPECT_EQ(ranking.at("provisional").size(), 3u);
  EXPECT_TRUE(ranking.at("ranking").empty());
}

}  // namespace
}  // namespace barvik
