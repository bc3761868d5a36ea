// Runs over a site of several servers (app/SiteFile.h): each server read and exported as a
// one-server report into servers/KEY/ of the report folder, and the site's own files beside
// them (report/SiteServers.h) from one games model per league, whose people are joined across
// its servers by the same rules as within one server.
//
// A league's model reads its servers' games in the order they began where their dates are
// known, else one server after the other; a boundary line between two servers' events ends
// the game running, so a game never runs on into another server's lines.
//
// An export skips a server whose inputs (its logs' names, inodes, sizes and times, its people
// file) are those of the last export of that folder, and does nothing at all when no server's
// inputs changed; the report folder keeps what each server's export was made from in
// ".barvik-site".
#pragma once

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/SiteFile.h"
#include "app/Workspace.h"
#include "report/SitePages.h"
#include "report/SiteServers.h"
#include "stats/Games.h"

namespace barvik {

// What the front end does for the site's runs: the command line's own steps.
struct SiteSteps {
  char decimal_separator = '.';
  double wait_seconds = 0;    // for the report folder held by another run
  std::string options_print;  // the options and build an export is made with
  // The logs of a server as local files, remote ones fetched now; `failed` when one could not
  // be fetched (its earlier bytes are read).
  std::function<std::vector<std::string>(const std::vector<std::string>& logs, bool& failed)> fetch;
  // Configures `ws` and reads `files`: an exit status, its message printed when not 0.
  std::function<int(Workspace& ws, const std::vector<std::string>& files)> analyse;
  // Watch: the inputs of the last good run of a one-server site, which is then not run again
  // while they stay the same; also whether to say that nothing changed.
  std::string* remembered = nullptr;
  bool tell_unchanged = true;
  // Called after a run that wrote the site: the servers exported and those left as they were.
  std::function<void(size_t exported, size_t kept)> done;
  // Writes the one-server report of `ws` into `dir`: an exit status, message printed.
  std::function<int(Workspace& ws, const std::string& dir)> export_report;
};

// One server read for a run.
struct ServerRead {
  const SiteServer* server = nullptr;
  std::unique_ptr<Workspace> ws;
  std::vector<std::string> files;  // its logs as local files
  std::string fingerprint;         // its inputs: the files' identity and the people file
  std::string fetched_at;          // ISO 8601 UTC
  std::string error;               // empty: read whole
  int status = 0;                  // the analysis's exit status
  PeopleRules rules;
  ClockSettings clock;  // its zone and clock cvar: its own, else the site's
};

// A league's model over the events of its servers.
struct LeagueRead {
  std::string league;
  std::vector<size_t> servers;        // indexes into the reads, in the file's order
  std::vector<size_t> game_server;    // by game: index into the reads
  std::vector<uint32_t> game_number;  // by game: its number on its server
  ModelFigures figures;
  // Its events: those of its one server, or its own copy of its servers' events, their games
  // in the order they began. Valid while the reads and the league live.
  const EventStore* events = nullptr;
  EventStore own_events;
  GamesModel model;
};

// Fetches every server's logs and notes its inputs; reads its people file.
std::vector<ServerRead> FetchServers(const SiteConfig& site, const SiteSteps& steps);
// Reads the logs fetched: the first failure's exit status, or 0.
int AnalyseServers(std::vector<ServerRead>& reads, const SiteSteps& steps);
// Each league's model from the events of its servers read.
std::vector<LeagueRead> BuildLeagues(const SiteConfig& site, const std::vector<ServerRead>& reads,
                                     const RatingOptions& options,
                                     const std::vector<std::string>& default_names,
                                     const std::string& template_folder);

// Everything the site's files are made from.
struct SiteModels {
  std::vector<ServerRead> reads;
  std::vector<LeagueRead> leagues;
  std::vector<ServerSummary> summaries;
  std::vector<LeagueView> views;  // over `leagues`
};
// The leagues' models from the reads analysed (AnalyseServers), and what the site's files
// show. `folder`: the report folder whose servers' reports give each person's page and rank
// on each server (servers/KEY/site/people.json); empty: none.
void BuildSite(const SiteConfig& site, SiteModels& models, const std::string& folder = "");
// Fetches, reads and builds every server: the first failure's exit status (its message
// printed), or 0; a server that failed is left out of the models.
int ReadSite(const SiteConfig& site, const SiteSteps& steps, SiteModels& models, std::ostream& err);

// Exports the site into `dir`: exit status, messages on `err`. A site of one server is exactly
// that server's one-server export into `dir`.
int ExportSite(const SiteConfig& site, const std::string& dir, const SiteSteps& steps,
               std::ostream& err);

}  // namespace barvik
