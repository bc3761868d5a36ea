// The JSON form of the games and people model, for other programs ("barvik-stats/2"): what
// `barvik-cli games --json` and `people --json` print and the export writes as
// site/games.json and site/people.json. Texts are UTF-8, converted from Windows-1252.
// docs/json-format.md describes the schema.
#pragma once

#include <string>
#include <string_view>

#include "report/JsonWriter.h"
#include "stats/Games.h"

namespace barvik {

inline constexpr std::string_view kGamesJsonFormat = "barvik-stats/2";

// Where the site keeps a game's and a person's page, relative to site/.
std::string GamePage(const Game& game);
// Whether the site makes a page for the game: not for one nobody played in (a server cycling
// maps while empty), whose page would say nothing; its "page" in games.json is null.
bool HasGamePage(const Game& game);
std::string PersonPage(const Person& person);

// {"format", "server", "games": [...]}.
Json GamesJson(const GameTexts& texts, const GamesModel& model);
// The same holding only the games [first, end) of the model.
Json GamesJson(const GameTexts& texts, const GamesModel& model, size_t first, size_t end);
// One game of that document.
Json GameJson(const GameTexts& texts, const GamesModel& model, const Game& game);
// {"format", "server", "people": [...]}, hidden people left out.
Json PeopleJson(const GameTexts& texts, const GamesModel& model);
// One person of the people document, with his games (id, page, map, his figures).
Json PersonJson(const GameTexts& texts, const GamesModel& model, PersonIndex person);

}  // namespace barvik
