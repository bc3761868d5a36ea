// The pages and JSON of a site of several servers, beside each server's own report in
// servers/KEY/ (a one-server report of its logs). Paths are relative to the report folder:
//
//   index.html                  the server list and the leagues
//   servers.json                the same as data
//   leagues/L/people.html       the people of league L across its servers, most kills first
//   leagues/L/games.html        its games, newest first, each with its server and a link to
//                               its page in that server's report
//   leagues/L/ranking.html      their ranking, rated on the games of every server of L
//   leagues/L/people/ID.html    a person's servers: his figures and "rank N of M" on each
//                               server and in the league
//   leagues/L/people.json, ranking.json, games.json   the league's model as data, each person
//                               with "servers" (the keys of the servers he played on) and each
//                               game with "server" (its server's key)
//
// Hidden people appear nowhere; every log text is escaped. docs/json-format.md describes the
// documents.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "report/JsonWriter.h"
#include "report/SitePages.h"
#include "stats/Games.h"

namespace barvik {

// One server as the server list shows it.
struct ServerSummary {
  std::string key;
  std::string name;  // log bytes, colour codes included
  std::string league;
  uint64_t games = 0;   // played games (a game nobody played in is no game)
  uint64_t people = 0;  // shown people
  uint64_t kills = 0;
  // Its last game: number, map (log bytes) and page relative to the report folder ("" none).
  struct LastGame {
    uint32_t number = 0;
    std::string map;
    std::string page;
  };
  std::optional<LastGame> last_game;
  std::string fetched_at;  // when this run looked at its logs, ISO 8601 UTC
  std::string error;       // what failed in that look; empty: nothing
};

// A person's part in one server's games, from that server's own model and ranking.
struct PersonServerRow {
  size_t server = 0;  // index into the summaries
  std::string page;   // his profile in that server's report, relative to the report folder
  uint64_t games = 0, kills = 0, deaths = 0;
  int rank = 0;    // 0: not ranked there
  int ranked = 0;  // the people ranked there
};

// A league's model with where its games and people were seen.
struct LeagueView {
  std::string league;
  GameTexts texts;
  const GamesModel* model = nullptr;
  const ModelFigures* figures = nullptr;
  std::vector<size_t> game_server;                 // by game index: index into summaries
  std::vector<std::vector<PersonServerRow>> rows;  // by person index, in server order
  std::vector<uint32_t> game_number;  // by game index: its number on its server (0: unknown)
  std::string timezone;               // the site's zone for the dates shown; empty: the machine's
};

// Receives each file: its path relative to the report folder and its bytes.
using SiteFileSink = std::function<void(const std::string& path, const std::string& bytes)>;

// {"format", "title", "generated", "servers": [{"key", "name", "league", "games", "people",
// "kills", "page", "last_game": {"number", "map", "page"} or null, "fetched_at", "error"}]}.
Json ServersJson(const std::string& title, const std::string& generated,
                 const std::vector<ServerSummary>& servers);

// The league's documents: people.json with "servers" on each person, ranking.json, games.json
// with "server" on each game; each with "league".
Json LeaguePeopleJson(const LeagueView& view, const std::vector<ServerSummary>& servers);
Json LeagueRankingJson(const LeagueView& view);
Json LeagueGamesJson(const LeagueView& view, const std::vector<ServerSummary>& servers);

// index.html, servers.json and every league's files, each handed to `sink` once.
void WriteSiteOfServers(const std::string& title, const SiteFrame& frame,
                        const std::vector<ServerSummary>& servers,
                        const std::vector<LeagueView>& leagues, const SiteFileSink& sink);

}  // namespace barvik
