#include "stats/GameDates.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>

#include "log/LineFormat.h"

namespace barvik {
namespace {

// Where a record stands in the log's uptime: which server run (the count of times the
// stamps ran back before it) and its stamp (the last one seen when it has none).
struct RunPoint {
  uint64_t run = 0;
  uint32_t stamp = EventStore::kNoTime;
};

// The exact start of a game from its game-initialisation record, if it carries one.
std::optional<int64_t> ExactStart(const EventStore& store, const EventView& init, uint32_t uptime,
                                  const ClockSettings& clock, const Zone& zone) {
  const std::string_view cvars = store.settings().Text(GameInitClock(init));
  // A server-start cvar: the game began its uptime later.
  for (const std::string_view key :
       {std::string_view(clock.clock_cvar), std::string_view("gamestartup")}) {
    if (key.empty() || cvars.empty()) continue;
    const std::optional<ClockReading> r = ClockValue(ClockCvarValue(cvars, key));
    if (!r || uptime == EventStore::kNoTime) continue;
    return (r->utc ? r->seconds : zone.ToUtc(r->seconds)) + int64_t{uptime};
  }
  if (!cvars.empty()) {
    if (const std::optional<ClockReading> r = ClockValue(ClockCvarValue(cvars, "g_mapStartTime"))) {
      return r->utc ? r->seconds : zone.ToUtc(r->seconds);
    }
  }
  if (const uint32_t unix_stamp = GameInitUnixStamp(init); unix_stamp != 0) {
    return int64_t{unix_stamp};
  }
  return std::nullopt;
}

}  // namespace

void DateGames(GamesModel& model, const EventStore& store,
               const std::vector<TimeAnchor>& given_anchors, const ClockSettings& clock,
               const Zone& zone) {
  DateGamesIn(model, store, 0, store.EndPosition(), given_anchors, clock, zone);
  SetPeopleSeen(model);
}

void DateGamesIn(GamesModel& model, const EventStore& store, uint32_t begin, uint32_t end,
                 const std::vector<TimeAnchor>& given_anchors, const ClockSettings& clock,
                 const Zone& zone) {
  // The games of the range: [first, first + n) of the model's.
  const auto by_start = [](const Game& g, uint32_t position) {
    return g.first_position < position;
  };
  const size_t first = static_cast<size_t>(
      std::lower_bound(model.games.begin(), model.games.end(), begin, by_start) -
      model.games.begin());
  const size_t n =
      static_cast<size_t>(std::lower_bound(model.games.begin() + static_cast<std::ptrdiff_t>(first),
                                           model.games.end(), end, by_start) -
                          model.games.begin()) -
      first;
  const std::span<Game> games(model.games.data() + first, n);
  struct GameTime {
    int64_t started_at = kNoDate;
    TimeQuality quality = TimeQuality::Unknown;
  };
  std::vector<GameTime> times(n);
  std::vector<RunPoint> starts(n);
  std::vector<uint64_t> first_lines(n, 0);

  // Each anchor placed in the uptime: the run and stamp of the last stamped line before it.
  std::vector<TimeAnchor> anchors = given_anchors;
  std::sort(anchors.begin(), anchors.end(),
            [](const TimeAnchor& a, const TimeAnchor& b) { return a.lines < b.lines; });
  std::vector<std::optional<RunPoint>> anchored(anchors.size());

  RunPoint here;
  bool stamped = false;  // a stamped line was seen
  size_t next_anchor = 0;
  size_t next_game = 0;
  auto settle_anchors = [&](uint64_t line) {
    // Anchors that end before `line`.
    for (; next_anchor < anchors.size() && anchors[next_anchor].lines <= line; ++next_anchor) {
      if (stamped) anchored[next_anchor] = here;
    }
  };
  store.ForEachIn(begin, end, [&](const EventView& e) {
    settle_anchors(e.line);
    if (e.time != EventStore::kNoTime) {
      if (stamped && e.time < here.stamp) ++here.run;
      here.stamp = e.time;
      stamped = true;
    }
    while (next_game < n && games[next_game].first_position < e.position) ++next_game;
    if (next_game < n && games[next_game].first_position == e.position) {
      starts[next_game] = here;
      first_lines[next_game] = e.line;
      if (!stamped) starts[next_game].stamp = EventStore::kNoTime;
      if (e.kind == LineKind::GameInit) {
        const uint32_t uptime = e.time;
        if (const std::optional<int64_t> exact = ExactStart(store, e, uptime, clock, zone)) {
          times[next_game] = {*exact, TimeQuality::Exact};
        }
      }
    }
  });
  settle_anchors(UINT64_MAX);

  // The rest from the nearest anchor at or after the game's start in the same server run (the
  // stretch it is in; the best known of several at one line): one sweep from the end of the
  // log back, anchors before games at the same line (an anchor at a game's first line is
  // after its start). The nearest, not the best: a game placed once from the stretch it was
  // read in keeps its date as the log grows.
  struct Item {
    uint64_t line;
    bool game;
    size_t index;
  };
  std::vector<Item> items;
  items.reserve(n + anchors.size());
  for (size_t a = 0; a < anchors.size(); ++a) {
    if (anchored[a]) items.push_back({anchors[a].lines - 1, false, a});
  }
  for (size_t g = 0; g < n; ++g) {
    if (times[g].quality != TimeQuality::Exact && starts[g].stamp != EventStore::kNoTime) {
      items.push_back({first_lines[g], true, g});
    }
  }
  std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
    return a.line != b.line ? a.line > b.line : !a.game && b.game;
  });
  std::optional<size_t> best;  // an anchor of the run being swept
  for (const Item& item : items) {
    if (!item.game) {
      const RunPoint p = *anchored[item.index];
      if (best && anchored[*best]->run != p.run) best.reset();
      // The nearest line after the game, the best known of those at one line.
      if (!best || anchors[item.index].lines < anchors[*best].lines ||
          anchors[item.index].quality > anchors[*best].quality) {
        best = item.index;
      }
      continue;
    }
    const RunPoint start = starts[item.index];
    if (!best || anchored[*best]->run != start.run) continue;
    const RunPoint at = *anchored[*best];
    times[item.index] = {anchors[*best].at - (int64_t{at.stamp} - int64_t{start.stamp}),
                         anchors[*best].quality};
  }
  for (size_t g = 0; g < n; ++g) {
    games[g].started_at = times[g].started_at;
    games[g].time_quality = times[g].quality;
  }
}

void SetPeopleSeen(GamesModel& model) {
  for (Person& p : model.people) p.first_seen = p.last_seen = kNoDate;
  for (const Game& game : model.games) {
    if (game.started_at == kNoDate) continue;
    for (const Participant& p : game.players) {
      if (p.person >= model.people.size()) continue;
      Person& person = model.people[p.person];
      const int64_t from = game.started_at + p.first_at;
      const int64_t to = game.started_at + p.last_at;
      if (person.first_seen == kNoDate || from < person.first_seen) person.first_seen = from;
      if (person.last_seen == kNoDate || to > person.last_seen) person.last_seen = to;
    }
  }
}

size_t KeepGamesBetween(GamesModel& model, int64_t since, int64_t until) {
  size_t undated = 0;
  std::erase_if(model.games, [&](const Game& g) {
    if (g.started_at == kNoDate) {
      ++undated;
      return true;
    }
    return (since != kNoDate && g.started_at < since) ||
           (until != kNoDate && g.started_at >= until);
  });
  // The people's totals over the games kept.
  for (Person& p : model.people) {
    p.games = p.kills = p.deaths = p.suicides = p.team_kills = p.world_deaths = p.head_shots = 0;
    p.damage_dealt = p.damage_taken = p.seconds = p.played_seconds = 0;
    p.actions.clear();
    p.first_game = p.last_game = 0;
  }
  for (const Game& game : model.games) {
    for (const Participant& f : game.players) {
      if (f.person >= model.people.size()) continue;
      Person& p = model.people[f.person];
      ++p.games;
      p.kills += f.kills;
      p.deaths += f.deaths;
      p.suicides += f.suicides;
      p.team_kills += f.team_kills;
      p.world_deaths += f.world_deaths;
      p.head_shots += f.head_shots;
      p.damage_dealt += f.damage_dealt;
      p.damage_taken += f.damage_taken;
      p.seconds += f.seconds;
      p.played_seconds += f.played_seconds;
      for (const ActionCount& a : f.actions) AddAction(p.actions, a.word, a.count);
      if (p.first_game == 0) p.first_game = game.number;
      p.last_game = game.number;
    }
  }
  for (Person& p : model.people) {
    if (p.games == 0) p.hidden = true;
  }
  model.has_games = !model.games.empty();
  SetPeopleSeen(model);
  return undated;
}

}  // namespace barvik
