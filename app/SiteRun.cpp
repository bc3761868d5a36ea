#include "app/SiteRun.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "app/CommandLine.h"
#include "app/PeopleFile.h"
#include "app/Watch.h"
#include "core/AtomicReplace.h"
#include "core/Encoding.h"
#include "core/FileError.h"
#include "core/FromUtf8.h"
#include "core/StableHash.h"
#include "report/FriendlyNames.h"
#include "report/GamesJson.h"
#include "report/PageWriter.h"
#include "report/RankingJson.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"
#include "report/SiteServers.h"
#include "report/SiteText.h"
#include "stats/Awards.h"
#include "stats/GameDates.h"
#include "stats/GameRatings.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

// Where the report folder keeps what each server's export was made from.
constexpr std::string_view kStateFile = ".barvik-site";

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32] = "";
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// The state file's lines: "server/KEY<TAB>HASH" per server exported, "site<TAB>HASH" for the
// site.
std::map<std::string, std::string> ReadState(const std::string& path) {
  std::map<std::string, std::string> state;
  std::istringstream in(ReadOwnFile(path).value_or(""));
  std::string line;
  while (std::getline(in, line)) {
    const size_t tab = line.find('\t');
    if (tab != std::string::npos) state[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return state;
}

// A server's line in the state file: "server/KEY", never the site's own line "site" (a
// server may be keyed "site").
std::string StateKey(const SiteServer& server) { return "server/" + server.key; }

std::string Hashed(std::string_view text) {
  return std::to_string(StableHash().Text(text).value());
}

// Everything the site's own files are made from besides the servers' logs: the file itself.
std::string SiteFingerprint(const SiteConfig& site) {
  StableHash h;
  h.Text(site.title).Number(site.servers.size());
  for (const SiteServer& s : site.servers) {
    h.Text(s.key).Text(s.name).Text(s.league).Text(s.people.value_or("")).Number(s.logs.size());
    for (const std::string& log : s.logs) h.Text(log);
  }
  return std::to_string(h.value());
}

void Append(PeopleRules& to, const PeopleRules& from) {
  to.same.insert(to.same.end(), from.same.begin(), from.same.end());
  to.different.insert(to.different.end(), from.different.begin(), from.different.end());
  to.hidden.insert(to.hidden.end(), from.hidden.begin(), from.hidden.end());
  to.shown_as.insert(to.shown_as.end(), from.shown_as.begin(), from.shown_as.end());
}

// A server's name from the site file (UTF-8) as the log's bytes, which the pages and JSON
// convert as they convert the log's names. A name of another code page than the default's is
// kept as written.
std::string NameInLogBytes(const std::string& utf8) {
  if (!LogEncoding().is_default()) return utf8;
  FromUtf8Result bytes = EightBitFromUtf8(utf8, Windows1252Table());
  return bytes.utf8 && bytes.unmapped_at == std::string_view::npos ? bytes.bytes : utf8;
}

// A person's page and rank in one server's report, from its people.json.
struct OwnEntry {
  std::string page;
  int rank = 0;
};
struct OwnPeople {
  std::unordered_map<std::string, OwnEntry> by_spelling;  // spellings in UTF-8, as written
  int ranked = 0;
  size_t people = 0;
  bool read = false;
};

// A text field of a JSON object, "" when missing or not a text (a damaged file).
std::string TextOf(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// A page of a server's report as its people.json names it: a plain relative path within the
// report, else "" (the file was damaged or written by hand).
std::string OwnPage(std::string page) {
  const bool plain = !page.empty() && page.front() != '/' && page.find("..") == std::string::npos &&
                     std::all_of(page.begin(), page.end(), [](char c) {
                       return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                              c == '/';
                     });
  return plain ? page : std::string();
}

OwnPeople ReadOwnPeople(const std::string& file) {
  OwnPeople own;
  const std::optional<std::string> text = ReadOwnFile(file);
  if (!text) return own;
  const Json document = Json::parse(*text, nullptr, false);
  if (!document.is_object() || !document.contains("people") || !document["people"].is_array()) {
    return own;
  }
  for (const Json& person : document["people"]) {
    if (!person.is_object()) continue;
    OwnEntry entry;
    entry.page = OwnPage(TextOf(person, "page"));
    const Json rating = person.value("rating", Json());
    if (rating.is_object() && rating.contains("rank") && rating["rank"].is_number_integer()) {
      entry.rank = rating["rank"].get<int>();
      ++own.ranked;
    }
    for (const Json& spelling : person.value("spellings", Json::array())) {
      if (spelling.is_object()) own.by_spelling.emplace(TextOf(spelling, "name"), entry);
    }
    ++own.people;
  }
  own.read = true;
  return own;
}

// What the site shows of every server and of every person of `league` on each of its
// servers: the games, kills and people of its games in the league, a person's page and rank
// from the server's own report.
void ServerFigures(const LeagueRead& league, const std::vector<ServerRead>& reads,
                   const std::string& folder, std::vector<ServerSummary>& summaries,
                   LeagueView& view) {
  const GamesModel& model = league.model;
  const GameTexts texts(*league.events);
  view.rows.assign(model.people.size(), {});
  view.game_number.assign(model.games.size(), 0);
  for (size_t i : league.servers) {
    const ServerRead& r = reads[i];
    ServerSummary& summary = summaries[i];
    OwnPeople own;
    if (!folder.empty()) {
      own = ReadOwnPeople(folder + "servers/" + r.server->key + "/site/people.json");
    }
    std::vector<PersonServerRow> rows(model.people.size());
    std::vector<bool> seen(model.people.size(), false);
    for (size_t g = 0; g < model.games.size(); ++g) {
      if (league.game_server[g] != i) continue;
      const Game& game = model.games[g];
      const uint32_t number = league.game_number[g];
      view.game_number[g] = number;
      ++summary.games;
      summary.kills += game.kills.size();
      summary.last_game = ServerSummary::LastGame{
          number, std::string(texts.Setting(game.map)),
          HasGamePage(game)
              ? "servers/" + r.server->key + "/site/games/" + std::to_string(number) + ".html"
              : ""};
      for (const Participant& p : game.players) {
        seen[p.person] = true;
        ++rows[p.person].games;
        rows[p.person].kills += p.kills;
        rows[p.person].deaths += p.deaths;
      }
    }
    size_t people = 0;
    for (PersonIndex p = 0; p < model.people.size(); ++p) {
      if (!seen[p] || model.people[p].hidden) continue;
      ++people;
      PersonServerRow& row = rows[p];
      row.server = i;
      row.ranked = own.ranked;
      for (const Spelling& s : model.people[p].spellings) {
        const auto it = own.by_spelling.find(Utf8FromLog(texts.Text(s.raw)));
        if (it == own.by_spelling.end()) continue;
        row.page = "servers/" + r.server->key + "/site/" +
                   (it->second.page.empty() ? "index.html" : it->second.page);
        row.rank = it->second.rank;
        break;
      }
      view.rows[p].push_back(std::move(row));
    }
    summary.people = own.read ? own.people : people;
  }
}

}  // namespace

std::vector<ServerRead> FetchServers(const SiteConfig& site, const SiteSteps& steps) {
  std::vector<ServerRead> reads;
  reads.reserve(site.servers.size());
  for (const SiteServer& server : site.servers) {
    ServerRead& r = reads.emplace_back();
    r.server = &server;
    bool failed = false;
    r.files = steps.fetch(server.logs, failed);
    r.fetched_at = UtcNow();
    if (failed) r.error = "a log could not be fetched; its bytes fetched before were read";
    r.fingerprint = InputFingerprint(r.files);
    r.clock.timezone = server.timezone.empty() ? site.timezone : server.timezone;
    r.clock.clock_cvar = server.clock_cvar.empty() ? site.clock_cvar : server.clock_cvar;
    r.fingerprint += "clock\t" + r.clock.timezone + "\t" + r.clock.clock_cvar + "\n";
    if (server.people) {
      r.fingerprint += "people\t" + PeopleFileFingerprint(*server.people) + "\n";
      PeopleFileRead people = ReadPeopleFile(*server.people);
      if (!people.error.empty()) {
        r.error = people.error;
        r.status = kExitUsage;
      }
      r.rules = std::move(people.rules);
    }
    r.fingerprint = Hashed(r.fingerprint + "options\t" + steps.options_print);
  }
  return reads;
}

int AnalyseServers(std::vector<ServerRead>& reads, const SiteSteps& steps) {
  int status = kExitOk;
  for (ServerRead& r : reads) {
    if (r.status != kExitOk) {
      status = status != kExitOk ? status : r.status;
      continue;
    }
    r.ws = std::make_unique<Workspace>(steps.decimal_separator);
    r.ws->clock = r.clock;  // the command line's --timezone and --clock-cvar go before it
    r.status = steps.analyse(*r.ws, r.files);
    // A server without a people file of its own keeps the command line's (--people FILE).
    if (r.server->people) {
      r.ws->people_rules = r.rules;
    } else {
      r.rules = r.ws->people_rules;
    }
    if (r.status != kExitOk) {
      if (r.error.empty()) r.error = "its logs could not be read";
      r.ws.reset();
      status = status != kExitOk ? status : r.status;
    }
  }
  return status;
}

namespace {

// Dates the games of a league of several servers, each server's games from its own files'
// times and in its own zone, over its own records of the league's events (`spans`, by server
// read) as over its own log.
void DateLeagueGames(LeagueRead& league, const std::vector<ServerRead>& reads,
                     const std::vector<size_t>& read,
                     const std::vector<std::pair<uint32_t, uint32_t>>& spans) {
  for (size_t k = 0; k < read.size(); ++k) {
    const Workspace& ws = *reads[read[k]].ws;
    DateGamesIn(league.model, league.own_events, spans[k].first, spans[k].second, ws.TimeAnchors(),
                ws.clock, Zone::Of(ws.clock));
  }
  SetPeopleSeen(league.model);
}

// Puts the games of a league of several servers in the order they began. `spans`: each
// server's records in the league's events, by server read. Each server's games keep their
// order, and of the servers' next games the one that began first goes first; a game of
// unknown date keeps to the game before it on its server, and those before a server's first
// dated game go first, server by server (a server whose games have no date at all keeps the
// file's order). Each game moves with the lines before it; a boundary line goes wherever the
// server changes. The league's events and model are built again in that order, each game
// keeping the date and ending it had.
void OrderLeagueGames(LeagueRead& league, const std::vector<size_t>& read,
                      const std::vector<std::pair<uint32_t, uint32_t>>& spans,
                      const PeopleRules& rules, const std::vector<std::string>& default_names) {
  constexpr size_t kNone = SIZE_MAX;
  struct Piece {
    uint32_t begin = 0, end = 0;
    int64_t key = INT64_MIN;  // when it began, or when the last dated game before it did
    size_t game = kNone;      // in the league's model
  };
  const GamesModel& model = league.model;
  std::vector<std::vector<Piece>> pieces(read.size());
  size_t g = 0;
  for (size_t k = 0; k < read.size(); ++k) {
    const auto [from, to] = spans[k];
    std::vector<Piece>& own = pieces[k];
    int64_t key = INT64_MIN;
    uint32_t cut = from;
    for (; g < model.games.size() && league.game_server[g] == read[k]; ++g) {
      const Game& game = model.games[g];
      if (game.started_at != kNoDate) key = game.started_at;
      const uint32_t end = std::clamp(game.end_position, cut, to);
      own.push_back({cut, end, key, g});
      cut = end;
    }
    if (own.empty()) own.push_back({from, to, key, kNone});
    own.back().end = to;
  }
  std::vector<size_t> next(read.size(), 0);
  std::vector<std::pair<size_t, const Piece*>> order;
  bool moved = false;
  for (;;) {
    size_t best = kNone;
    for (size_t k = 0; k < read.size(); ++k) {
      if (next[k] == pieces[k].size()) continue;
      if (best == kNone || pieces[k][next[k]].key < pieces[best][next[best]].key) best = k;
    }
    if (best == kNone) break;
    moved = moved || (!order.empty() && best < order.back().first);
    order.emplace_back(best, &pieces[best][next[best]++]);
  }
  if (!moved) return;

  EventStore events;
  const EventStore::Renumbering ids = events.Adopt(league.own_events);
  std::vector<uint32_t> starts;  // where each run of one server's pieces begins
  std::vector<size_t> start_server;
  std::vector<size_t> old_game;  // by game of the new order
  for (const auto& [k, piece] : order) {
    if (starts.empty() || start_server.back() != read[k]) {
      if (!starts.empty()) events.AddLine(kServerBoundaryLine);
      starts.push_back(events.Here().words);
      start_server.push_back(read[k]);
    }
    events.AppendRange(league.own_events, ids, piece->begin, piece->end);
    if (piece->game != kNone) old_game.push_back(piece->game);
  }
  events.Finish();
  GamesModel ordered = BuildGames(events, rules, {}, default_names);
  // The same games, only moved: otherwise the league keeps its servers' order.
  if (ordered.games.size() != old_game.size()) return;
  std::vector<size_t> game_server;
  for (size_t i = 0; i < ordered.games.size(); ++i) {
    Game& game = ordered.games[i];
    const Game& was = model.games[old_game[i]];
    game.started_at = was.started_at;
    game.time_quality = was.time_quality;
    game.ending = was.ending;  // a game a boundary now follows still ended as it did
    const auto after = std::upper_bound(starts.begin(), starts.end(), game.first_position);
    game_server.push_back(start_server[static_cast<size_t>(after - starts.begin()) - 1]);
  }
  SetPeopleSeen(ordered);
  league.own_events = std::move(events);
  league.model = std::move(ordered);
  league.game_server = std::move(game_server);
}

}  // namespace

std::vector<LeagueRead> BuildLeagues(const SiteConfig& site, const std::vector<ServerRead>& reads,
                                     const RatingOptions& options,
                                     const std::vector<std::string>& default_names,
                                     const std::string& template_folder) {
  const FriendlyNames friendly = FriendlyNames::Load(template_folder);
  const std::vector<std::string> names = site.Leagues();
  // Made before they are built: a league points into itself.
  std::vector<LeagueRead> leagues(names.size());
  // Each league on a core of its own: their models share nothing but the servers' events.
  std::atomic<size_t> next{0};
  auto build = [&](size_t l) {
    const std::string& name = names[l];
    LeagueRead& league = leagues[l];
    league.league = name;
    std::vector<size_t> read;  // its servers whose logs were read
    for (size_t i = 0; i < reads.size(); ++i) {
      if (reads[i].server->league != name) continue;
      league.servers.push_back(i);
      if (reads[i].ws != nullptr && reads[i].ws->log() != nullptr) read.push_back(i);
    }
    PeopleRules rules;
    std::vector<std::string> people_files;
    for (size_t i : read) {
      const ServerRead& r = reads[i];
      // Each people file once; the command line's stands for the servers without one.
      const std::string file = r.server->people.value_or("");
      if (std::find(people_files.begin(), people_files.end(), file) == people_files.end()) {
        people_files.push_back(file);
        Append(rules, r.rules);
      }
    }
    if (read.size() == 1) {
      // A league of one server reads that server's events, not a copy.
      league.events = &reads[read[0]].ws->log()->events();
      league.model = BuildGames(*league.events, rules, {}, default_names);
      // Dated as the server's own games are, --since and --until included: the numbers are
      // the server's own.
      reads[read[0]].ws->DateGames(league.model);
      league.game_server.assign(league.model.games.size(), read[0]);
      for (const Game& game : league.model.games) league.game_number.push_back(game.number);
    } else {
      std::vector<uint64_t> starts;
      std::vector<std::pair<uint32_t, uint32_t>> spans;  // by server read: its records
      for (size_t i : read) {
        const ServerRead& r = reads[i];
        // A server's last game ends with its events: neither joined with the next server's
        // first game nor taking in the lines before it.
        if (league.own_events.Here().words > 0) {
          league.own_events.AddLine(kServerBoundaryLine);
        }
        starts.push_back(league.own_events.Here().words);
        league.own_events.AppendStore(r.ws->log()->events());
        spans.emplace_back(static_cast<uint32_t>(starts.back()), league.own_events.EndPosition());
      }
      league.own_events.Finish();
      league.model = BuildGames(league.own_events, rules, {}, default_names);
      league.events = &league.own_events;
      // Each game belongs to the server whose events hold its first record.
      for (const Game& g : league.model.games) {
        const auto after = std::upper_bound(starts.begin(), starts.end(), g.first_position);
        const size_t at =
            after == starts.begin() ? 0 : static_cast<size_t>(after - starts.begin()) - 1;
        league.game_server.push_back(read.empty() ? 0 : read[at]);
      }
      DateLeagueGames(league, reads, read, spans);
      OrderLeagueGames(league, read, spans, rules, default_names);
    }
    if (league.events == nullptr) league.events = &league.own_events;  // none of it was read
    if (read.size() > 1) {
      // Each game's number on its server: the servers' own pages are named by it.
      std::vector<uint32_t> counts(reads.size(), 0);
      for (size_t server : league.game_server) league.game_number.push_back(++counts[server]);
    }
    if (read.size() > 1 &&
        (reads[read[0]].ws->since != kNoDate || reads[read[0]].ws->until != kNoDate)) {
      // --since and --until keep the games of their span, numbers unchanged, as they do for
      // each server's own pages.
      const Workspace& ws = *reads[read[0]].ws;
      std::vector<size_t> servers = std::move(league.game_server);
      std::vector<uint32_t> numbers = std::move(league.game_number);
      KeepGamesBetween(league.model, ws.since, ws.until);
      league.game_server.clear();
      league.game_number.clear();
      for (const Game& game : league.model.games) {
        league.game_server.push_back(servers[game.number - 1]);
        league.game_number.push_back(numbers[game.number - 1]);
      }
    }
    league.figures =
        FiguresOf(RateModel(league.model, GameTexts(*league.events), "", nullptr, options),
                  ComputeAwards(*league.events, league.model, friendly.weapon_groups()));
  };
  auto work = [&] {
    for (size_t l = next++; l < leagues.size(); l = next++) build(l);
  };
  const size_t threads =
      std::min<size_t>(leagues.size(), std::max(1u, std::thread::hardware_concurrency()));
  std::vector<std::future<void>> running;
  for (size_t t = 1; t < threads; ++t) running.push_back(std::async(std::launch::async, work));
  work();
  for (std::future<void>& f : running) f.get();
  return leagues;
}

namespace {

const Workspace* AnyWorkspace(const std::vector<ServerRead>& reads) {
  for (const ServerRead& r : reads) {
    if (r.ws != nullptr) return r.ws.get();
  }
  return nullptr;
}

void TellFailures(const std::vector<ServerRead>& reads, std::ostream& err) {
  for (const ServerRead& r : reads) {
    if (!r.error.empty() && r.status != kExitOk) {
      err << "barvik-cli: server '" << r.server->key << "': " << r.error << "\n";
    }
  }
}

}  // namespace

void BuildSite(const SiteConfig& site, SiteModels& models, const std::string& folder) {
  const Workspace* any = AnyWorkspace(models.reads);
  const RatingOptions options = any != nullptr ? any->rating_options : RatingOptions{};
  const std::vector<std::string> nobody =
      any != nullptr ? any->DefaultPlayerNames() : std::vector<std::string>{};
  models.leagues = BuildLeagues(site, models.reads, options, nobody,
                                any != nullptr ? any->template_folder : ".");
  models.summaries.clear();
  for (const ServerRead& r : models.reads) {
    ServerSummary& s = models.summaries.emplace_back();
    s.key = r.server->key;
    s.name = !r.server->name.empty()                     ? NameInLogBytes(r.server->name)
             : r.ws != nullptr && r.ws->log() != nullptr ? r.ws->server_name()
                                                         : r.server->key;
    s.league = r.server->league;
    s.fetched_at = r.fetched_at;
    s.error = r.error;
  }
  models.views.clear();
  for (const LeagueRead& l : models.leagues) {
    LeagueView& view = models.views.emplace_back(LeagueView{l.league,
                                                            GameTexts(*l.events),
                                                            &l.model,
                                                            &l.figures,
                                                            l.game_server,
                                                            {},
                                                            {},
                                                            site.timezone});
    ServerFigures(l, models.reads, folder, models.summaries, view);
  }
}

int ReadSite(const SiteConfig& site, const SiteSteps& steps, SiteModels& models,
             std::ostream& err) {
  models.reads = FetchServers(site, steps);
  const int status = AnalyseServers(models.reads, steps);
  TellFailures(models.reads, err);
  BuildSite(site, models);
  return status;
}

int ExportSite(const SiteConfig& site, const std::string& dir, const SiteSteps& steps,
               std::ostream& err) {
  std::vector<ServerRead> reads = FetchServers(site, steps);
  if (site.servers.size() == 1) {
    // Exactly the one-server report of its logs.
    if (reads[0].status != kExitOk) {
      err << "barvik-cli: " << reads[0].error << "\n";
      return reads[0].status;
    }
    if (steps.remembered != nullptr && *steps.remembered == reads[0].fingerprint) return kExitOk;
    if (const int status = AnalyseServers(reads, steps); status != kExitOk) return status;
    const int status = steps.export_report(*reads[0].ws, dir);
    if (steps.remembered != nullptr) {
      *steps.remembered = status == kExitOk && reads[0].error.empty() ? reads[0].fingerprint : "";
    }
    if (status == kExitOk && steps.done) steps.done(1, 0);
    return status;
  }
  const std::string folder = OutputFolderPrefix(dir);
  {
    std::error_code ec;
    fs::create_directories(folder, ec);
  }
  // One run at a time over the whole site; each server's export locks its own folder too.
  const ReportFolderLock lock(folder, steps.wait_seconds, dir);
  const std::string state_path = folder + std::string(kStateFile);
  const std::map<std::string, std::string> state = ReadState(state_path);
  const std::string site_print = SiteFingerprint(site);
  bool changed = !state.contains("site") || state.at("site") != site_print;
  for (const ServerRead& r : reads) {
    const auto it = state.find(StateKey(*r.server));
    std::error_code ec;
    if (it == state.end() || it->second != r.fingerprint || !r.error.empty() ||
        !fs::is_directory(folder + "servers/" + r.server->key, ec)) {
      changed = true;
    }
  }
  if (!changed) {
    if (steps.tell_unchanged)
      err << "barvik-cli: no server's logs changed; the site is as it was\n";
    return kExitOk;
  }
  int status = AnalyseServers(reads, steps);
  TellFailures(reads, err);
  std::string new_state = "site\t" + site_print + "\n";
  size_t exported = 0;
  size_t kept = 0;
  for (ServerRead& r : reads) {
    if (r.ws == nullptr) continue;
    const std::string server_dir = folder + "servers/" + r.server->key + "/";
    const auto it = state.find(StateKey(*r.server));
    std::error_code ec;
    const bool same =
        it != state.end() && it->second == r.fingerprint && fs::is_directory(server_dir, ec);
    if (!same) {
      const int written = steps.export_report(*r.ws, server_dir);
      if (written != kExitOk) {
        r.error = "its report could not be written";
        status = status != kExitOk ? status : written;
        continue;
      }
      ++exported;
    } else {
      ++kept;
    }
    // A server whose logs could not all be fetched is exported again next time.
    if (r.error.empty()) new_state += StateKey(*r.server) + "\t" + r.fingerprint + "\n";
  }
  SiteModels models;
  models.reads = std::move(reads);
  BuildSite(site, models, folder);
  const Workspace* any = AnyWorkspace(models.reads);
  const std::string templates = any != nullptr ? any->template_folder : ".";
  SiteFrame frame;
  frame.build_text = any != nullptr ? any->build_text : "N/A";
  const FooterTime now = SystemFooterTime();
  frame.generated = now.date + " " + now.time;
  try {
    // The style sheet of the servers' sites serves the site's own pages.
    if (std::optional<std::string> css = ReadOwnFile((fs::path(templates) / "site.css").string())) {
      if (!ReplaceFileWhole(folder + "site.css", *css, TemporaryStyle::kShared))
        throw FileError("Cannot create file " + folder + "site.css");
    }
    std::vector<std::string> written;
    WriteSiteOfServers(site.title, frame, models.summaries, models.views,
                       [&](const std::string& path, const std::string& bytes) {
                         const std::string target = folder + path;
                         std::error_code ec;
                         fs::create_directories(fs::path(target).parent_path(), ec);
                         if (!ReplaceFileWhole(target, bytes, TemporaryStyle::kShared)) {
                           throw FileError("Cannot create file " + target);
                         }
                         written.push_back(path);
                       });
    // What the file no longer names leaves no pages: its servers' reports, its leagues'
    // pages, a league's profiles of people gone.
    auto prune = [&](const std::string& sub, const std::function<bool(const std::string&)>& keep) {
      std::error_code ec;
      if (fs::symlink_status(folder + sub, ec).type() != fs::file_type::directory) return;
      for (fs::directory_iterator it(folder + sub, ec), end; !ec && it != end; it.increment(ec)) {
        if (!keep(it->path().filename().string())) fs::remove_all(it->path(), ec);
      }
    };
    prune("servers", [&](const std::string& name) {
      return std::any_of(site.servers.begin(), site.servers.end(),
                         [&](const SiteServer& s) { return s.key == name; });
    });
    const std::vector<std::string> league_names = site.Leagues();
    prune("leagues", [&](const std::string& name) {
      return std::find(league_names.begin(), league_names.end(), name) != league_names.end();
    });
    std::sort(written.begin(), written.end());
    for (const std::string& league : league_names) {
      const std::string folder = "leagues/" + league;
      // Profiles of people gone, further pages of a list that shrank.
      prune(folder + "/people", [&](const std::string& name) {
        std::string path = folder;
        path.append("/people/").append(name);
        return std::binary_search(written.begin(), written.end(), path);
      });
      prune(folder, [&](const std::string& name) {
        std::string path = folder;
        path.append("/").append(name);
        return name == "people" || std::binary_search(written.begin(), written.end(), path);
      });
    }
  } catch (const FileError& e) {
    err << "barvik-cli: " << e.what() << "\n";
    return kExitFailure;
  }
  if (!ReplaceFileWhole(state_path, new_state)) {
    err << "barvik-cli: Cannot create file " << state_path << "\n";
    return kExitFailure;
  }
  if (steps.done) steps.done(exported, kept);
  return status;
}

}  // namespace barvik
