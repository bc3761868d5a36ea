// The wall-clock start of every game (docs/dates.md). A server stamps its lines with its
// uptime, which starts again at every restart, so a game is placed, from the best source:
//   exact      a date cvar of its game-initialisation line (the named clock cvar or
//              "gamestartup": the server's start, to which the line's uptime adds;
//              "g_mapStartTime": the game's own start) or the line's Unix-seconds stamp;
//   observed   an anchor recorded while the log grew (when a stretch of its bytes was first
//              read), counted back by the uptime stamps of the same server run;
//   estimated  the same from a file's modification time (the time of its last line);
// the nearest anchor after the game's start in its server run places it.
//   unknown    otherwise: never a made-up date, never one counted across an uptime reset.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "log/EventStore.h"
#include "stats/Clock.h"
#include "stats/Games.h"

namespace barvik {

// A known wall-clock time of one line: the line `lines - 1` of the log (the last of the first
// `lines` lines) was written at `at` (Unix seconds).
struct TimeAnchor {
  uint64_t lines = 0;
  int64_t at = 0;
  TimeQuality quality = TimeQuality::Estimated;
};

// Sets every game's started_at and time_quality of `model`, from the store the model was
// built from, the anchors (any order) and the server's clock settings read in `zone`; then
// every person's first_seen and last_seen.
void DateGames(GamesModel& model, const EventStore& store, const std::vector<TimeAnchor>& anchors,
               const ClockSettings& clock, const Zone& zone);
// The same for the games that begin in the records [begin, end) of `store` alone, as if those
// were the whole log (the anchors count lines from `begin`): one server's games in a store of
// several servers' events. The other games and the people are left as they are.
void DateGamesIn(GamesModel& model, const EventStore& store, uint32_t begin, uint32_t end,
                 const std::vector<TimeAnchor>& anchors, const ClockSettings& clock,
                 const Zone& zone);

// Sets every person's first_seen and last_seen from the dated games he played in: his first
// line and the end of his last stay (kNoDate when he played in none).
void SetPeopleSeen(GamesModel& model);

// Keeps the games that started in [since, until) (kNoDate: no bound), leaving out every
// undated one; the people's totals, first and last games and dates then count the games
// kept, and a person left with none is hidden. Game numbers stay as they were. Returns the
// undated games left out.
size_t KeepGamesBetween(GamesModel& model, int64_t since, int64_t until);

}  // namespace barvik
