#include "stats/GameRatings.h"

#include <string>
#include <unordered_map>

#include "log/LineFormat.h"

namespace barvik {

namespace {
constexpr uint32_t kAllies = 1;
constexpr uint32_t kAxis = 2;
}  // namespace

RatedGameInput RatingInputOf(const GamesModel& model, const Game& game) {
  RatedGameInput input;
  input.seconds = static_cast<int>(game.seconds);
  if (game.winner_team == kAllies || game.winner_team == kAxis) {
    input.winner = std::string(TeamNameOfCode(game.winner_team));
  }
  for (const Participant& p : game.players) {
    RatedPlayer player;
    player.person = model.people.at(p.person).id;
    player.score =
        static_cast<int>(p.kills) - static_cast<int>(p.deaths) - static_cast<int>(p.team_kills);
    player.seconds = static_cast<int>(p.seconds);
    for (uint32_t team : {kAllies, kAxis}) {
      if (p.team_seconds[team] > 0) {
        player.team_seconds.emplace_back(TeamNameOfCode(team), p.team_seconds[team]);
      }
    }
    input.players.push_back(std::move(player));
  }
  return input;
}

void RateGames(const GamesModel& model, GameRatings& state, std::optional<uint32_t> game_type) {
  for (size_t g = state.changes.size(); g < model.games.size(); ++g) {
    const Game& game = model.games[g];
    if (game.warmup || (game_type && game.game_type != *game_type)) {
      state.changes.emplace_back();
      continue;
    }
    state.changes.push_back(state.history.Add(RatingInputOf(model, game)));
  }
}

std::vector<GameTypeRatings> RateGameTypes(const GamesModel& model, int64_t min_games) {
  // Warm-ups are never rated, so a type with fewer other games cannot reach the bar: it is
  // not rated at all.
  std::vector<uint32_t> order;
  std::unordered_map<uint32_t, int64_t> candidates;
  for (const Game& game : model.games) {
    if (game.warmup) continue;
    if (candidates[game.game_type]++ == 0) order.push_back(game.game_type);
  }
  std::vector<GameTypeRatings> types;
  for (const uint32_t type : order) {
    if (candidates[type] < min_games) continue;
    GameTypeRatings rated;
    rated.game_type = type;
    RateGames(model, rated.ratings, type);
    if (rated.ratings.history.Games() >= min_games) types.push_back(std::move(rated));
  }
  return types;
}

}  // namespace barvik
