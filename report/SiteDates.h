// The dates on the site's pages: a game's start, a person's first and last seen, his games by
// month, the home page's last 30 days and the activity charts (games and people per day, a
// punch card of hour by weekday). Times show in the server's zone; nothing here makes up a
// date for an undated game, which is left out of every count by date.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stats/Clock.h"
#include "stats/Games.h"
#include "stats/RatingHistory.h"

namespace barvik {

// <time> of a game's start ("2025-12-09 21:00", "~" before an estimated one, its quality as
// its title); empty for an undated game.
std::string StartedHtml(const Game& game, const Zone& zone);
// <time> of a day ("2025-12-09"); empty for kNoDate.
std::string DayHtml(int64_t at, const Zone& zone);

// One person's games in one month of the server's zone.
struct MonthTally {
  int year = 0;
  unsigned month = 0;
  uint32_t games = 0, kills = 0, deaths = 0;
};
// Every person's months with games (by person index), oldest first: one pass over the games.
std::vector<std::vector<MonthTally>> MonthsByPerson(const GamesModel& model, const Zone& zone);
// A profile's "Games by month" section; empty when he has no dated game.
std::string MonthsHtml(const std::vector<MonthTally>& months);

// The home page's block of the 30 days up to the last dated game: its games, the people in
// them and the best by skill change (`changes`: per game, GameRatings::changes). Empty when
// no game has a date. `root` leads to site/ from the page.
std::string RecentHtml(const GamesModel& model,
                       const std::vector<std::vector<RatingChange>>& changes, const Zone& zone,
                       std::string_view root);
// The activity over the whole history: games and people (the server's population) per day
// of the server's zone, and a punch card of the games begun by hour and weekday. Empty when
// no game has a date.
std::string ActivityHtml(const GamesModel& model, const Zone& zone);

}  // namespace barvik
