#include "stats/GameRatings.h"

#include <string>

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

}  // namespace barvik
