// The ratings of a server's people over its history of rated games, game after game. In each
// game every kill between two people of different sides is a fight the killer won, rated in log
// order; team games with a result may also rate the winning team against the others
// (docs/ratings.md says how and why). The state is kept: adding the games after the last one
// continues it exactly as a run over the whole history would. Pure computation over plain
// input: no I/O, no log.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "stats/Rating.h"

namespace barvik {

// One person in one rated game, as the games model knows him.
struct RatedPlayer {
  std::string person;                                     // the person's id: stable across runs
  int seconds = 0;                                        // seconds played in the game
  std::vector<std::pair<std::string, int>> team_seconds;  // seconds on each team; none: ffa
};

// One kill between two people of different sides (any two in a free-for-all): a fight the
// killer won. Indexes into RatedGameInput::players.
struct RatedDuel {
  uint32_t winner = 0;
  uint32_t loser = 0;
};

struct RatedGameInput {
  std::vector<RatedPlayer> players;   // a person listed twice counts once (his first entry)
  std::vector<RatedDuel> duels;       // in log order; a duel naming no player or one person
                                      // twice is left out
  int seconds = 0;                    // the game's length; 0 or less: everyone weighs 1
  std::optional<std::string> winner;  // the winning team of a team game, if the logs say
};

struct RatingOptions {
  RatingModel model;
  double drift = (25.0 / 300.0) * (25.0 / 300.0);  // sigma^2 added per rated game missed
  // A person is provisional (shown apart, not ranked) while his plus-minus (3 sigma, the drift
  // for missed games included) is above this bound.
  double provisional_plus_minus = 9.0;
  // Whether a team game's result is rated as well, the winning team against the others.
  bool team_result = true;
  int inactive_after = 1000;  // rated games without him: out of the ranking; 0: never
};

// What a person's rating is made of: his fights won and lost, and the results of the team games
// he played (counted whether or not the result is rated), over his rated games.
struct RatingRecord {
  int64_t fights_won = 0;
  int64_t fights_lost = 0;
  int64_t results_won = 0;
  int64_t results_lost = 0;
};

// A person's rating as shown: the drift for the games he missed applied.
struct PersonRating {
  std::string person;
  Skill skill;
  double shown = 0.0;       // mu - 3 sigma
  double plus_minus = 0.0;  // 3 sigma
  int games = 0;            // rated games played
  int games_missed = 0;     // rated games since his last one
  RatingRecord record;
  bool provisional = false;
  bool inactive = false;
  int rank = 0;  // 1 = best; 0: not ranked (provisional or inactive)
};

// One person's shown skill before and after one game.
struct RatingChange {
  std::string person;
  double before = 0.0;
  double after = 0.0;
};

class RatingHistory {
 public:
  explicit RatingHistory(RatingOptions options = {}) : options_(options) {}

  // Rates the next game and returns each of its people's change of shown skill, in the
  // order of its first entries per person (those who played a second of it or fought). A game
  // with fewer than two such people is no rated game: it changes nothing and returns no change.
  std::vector<RatingChange> Add(const RatedGameInput& game);

  // Every person met so far: the ranked by shown skill (best first, rank 1...), then the
  // provisional, then the inactive, each part by shown skill.
  std::vector<PersonRating> Ranking() const;
  std::optional<PersonRating> Find(const std::string& person) const;
  // His shown skill after each game he played, oldest first.
  const std::vector<double>* SkillHistory(const std::string& person) const;

  // The state as text, to be kept between runs: Restore of it with the same options continues
  // exactly where this one stands. Restore gives nothing for text it does not fully recognise
  // (another version, other options, damage): the caller then rates the history anew.
  std::string Save() const;
  static std::optional<RatingHistory> Restore(std::string_view text, RatingOptions options = {});

  int64_t Games() const { return games_; }
  const RatingOptions& options() const { return options_; }

 private:
  struct State {
    Skill skill;
    int games = 0;
    int64_t last_game = -1;  // index of his last rated game
    RatingRecord record;
    std::vector<double> history;
  };
  PersonRating Shown(const std::string& id, const State& state) const;
  Skill Drifted(const State& state) const;
  double WeightOf(int seconds, int game_seconds) const;
  void RateResult(const RatedGameInput& game, const std::vector<const RatedPlayer*>& players,
                  std::vector<Skill>& skills) const;

  RatingOptions options_;
  std::unordered_map<std::string, State> people_;
  int64_t games_ = 0;  // rated games added
};

}  // namespace barvik
