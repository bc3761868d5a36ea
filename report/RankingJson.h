// The JSON form of the skill ratings ("barvik-stats/2"): the ranking that `barvik-cli ranking
// --json` prints and the export writes as site/ranking.json, and the rating fields added to the
// people and games documents. Hidden people are left out. docs/json-format.md describes them.
#pragma once

#include <span>
#include <vector>

#include "report/JsonWriter.h"
#include "stats/GameRatings.h"
#include "stats/Games.h"

namespace barvik {

// {"format", "server", "ranking": [...], "provisional": [...], "inactive": [...],
// "game_types": [...]}, each entry {"rank", "person", "page", "name", "skill", "plus_minus",
// "mu", "sigma", "games", "kills", "deaths", "fights_won", "fights_lost", "results_won",
// "results_lost"}; "rank" is null outside the ranking; "provisional_plus_minus" the bound above
// which a person is provisional. Each of `game_types` gives {"gametype", "games", "ranking",
// "provisional", "inactive", "provisional_plus_minus"} (kills and deaths stay the person's
// totals; the fights count that type's games).
Json RankingJson(const GameTexts& texts, const GamesModel& model, const GameRatings& ratings,
                 std::span<const GameTypeRatings> game_types = {});

// A person of a ranking with his index in the model.
struct RankedPerson {
  PersonIndex person = kNoPerson;
  PersonRating rating;
};
// The ranking of `history` (RatingHistory::Ranking) without the hidden people, ranks counted
// among the people shown, so that the ranks run 1, 2, 3... on every page and document.
std::vector<RankedPerson> ShownRanking(const GamesModel& model, const RatingHistory& history);

// {"mu", "sigma", "skill", "games", "provisional", "rank", "plus_minus", "fights_won",
// "fights_lost"} (rank null when not ranked).
Json RatingJson(const PersonRating& rating);

// Adds "rating" to every person of a people document (PeopleJson), null for a person without a
// rated game, and "rating_change" ({"before", "after"} shown skill, null when the game was not
// rated) to every player of a games document (GamesJson).
void AddRatings(Json& people, const GamesModel& model, const GameRatings& ratings);
void AddRatingChanges(Json& games, const GamesModel& model, const GameRatings& ratings);
// The same for one game of a games document, from its `changes` (null: the game was not rated).
void AddGameRatingChanges(Json& game, const std::vector<RatingChange>* changes);

}  // namespace barvik
