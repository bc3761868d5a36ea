// The awards in the people and games documents ("barvik-stats/2"): what each person did most
// of, over all games and in each game. docs/json-format.md describes the fields.
#pragma once

#include "report/JsonWriter.h"
#include "stats/Awards.h"
#include "stats/Games.h"

namespace barvik {

// Adds "awards" to every person of a people document (PeopleJson): one entry {"award", "kind",
// "value", "held"} per award he has a figure for over all games, in the order of docs/awards.md;
// "held" tells whether he holds it over all games.
void AddAwards(Json& people, const GamesModel& model, const AwardsModel& awards);

// Adds "awards" to every game of a games document (GamesJson): one entry {"award", "kind",
// "person", "value", "runner_up"} per award someone earned in that game, in the order of
// docs/awards.md; empty for a warm-up. "kind" is "honour" or "shame"; "runner_up" is
// {"person", "value"}, null when nobody else (or a hidden person) is second. An award held by a
// hidden person is left out.
void AddGameAwards(Json& games, const GamesModel& model, const AwardsModel& awards);
// The same for one game of a games document, from its `table` and `runners_up` (null: no awards,
// no runners-up).
void AddAwardsOfGame(Json& game, const GamesModel& model, const AwardTable* table,
                     const AwardTable* runners_up = nullptr);

}  // namespace barvik
