// The skill ratings of a games model: its rated games (warm-ups left out) fed in log order to a
// RatingHistory, with each game's changes of shown skill kept for its players. Persons are
// rated by their ids, so a person's rating follows him across renames.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stats/Games.h"
#include "stats/RatingHistory.h"

namespace barvik {

// One game of the model in the rating's input form: every kill between two people of different
// sides (any two in a free-for-all) as a fight the killer won, in log order (team kills,
// suicides and deaths by the world are none), seconds played and on allies and axis (other team
// codes take no part in the result), the winning team if a W line named allies or axis.
RatedGameInput RatingInputOf(const GamesModel& model, const Game& game);

struct GameRatings {
  RatingHistory history;
  // Per game of the model (by index), its players' changes in the order of Game::players;
  // empty for a game that was not rated.
  std::vector<std::vector<RatingChange>> changes;
};

// Rates the games after the first `state.changes.size()` of the model (all of them for a new
// state), those of game type `game_type` only when it is given.
void RateGames(const GamesModel& model, GameRatings& state,
               std::optional<uint32_t> game_type = std::nullopt);

// The ratings of one game type's games alone.
struct GameTypeRatings {
  uint32_t game_type = 0;  // setting id
  GameRatings ratings;
};

// One rating per game type with at least `min_games` rated games, in the order of each type's
// first game. A person's rating there counts only the games of that type.
std::vector<GameTypeRatings> RateGameTypes(const GamesModel& model, int64_t min_games = 20,
                                           const RatingOptions& options = {});

// The ratings over all games and of every game type a run shows, kept between runs so that a
// run after a new game rates that game only.
struct ModelRatings {
  GameRatings all;
  std::vector<GameTypeRatings> types;  // every type with a game that is no warm-up, in order of
                                       // its first such game, whatever its number of games
  size_t kept_games = 0;               // games taken rated from the kept state
};

// Rates every game of `model`. `kept` is the text an earlier run saved (empty: none): when the
// games it covers are this model's first games, each with the same rating input, and it was
// made with the same options, those games are taken as rated and only the games after them are
// rated; any other text is ignored and every game is rated. The ratings are the same either way.
// When `save` is given it receives the text to keep for the next run: the state after every
// game but the last (which grows with the log until the next game starts), with a hash of the
// text so that a damaged value is refused rather than continued.
ModelRatings RateModel(const GamesModel& model, const GameTexts& texts, std::string_view kept,
                       std::string* save = nullptr, const RatingOptions& options = {});
// The same, with the text to keep given to `save` a piece at a time, in order, as it is made
// (the text of a long history weighs megabytes).
using KeptSink = std::function<void(std::string_view piece)>;
ModelRatings RateModel(const GamesModel& model, const GameTexts& texts, std::string_view kept,
                       const KeptSink& save, const RatingOptions& options = {});

// The game types of `types` (ModelRatings::types) with at least `min_games` rated games: what
// RateGameTypes gives.
std::vector<GameTypeRatings> ShownGameTypes(std::vector<GameTypeRatings> types,
                                            int64_t min_games = 20);

}  // namespace barvik
