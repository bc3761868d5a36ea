#include "report/SiteServers.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "core/NumberFormat.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "report/SiteDates.h"
#include "report/SitePager.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

template <typename... Parts>
void Add(std::string& out, const Parts&... parts) {
  (out.append(parts), ...);
}

std::string Num(uint64_t n) { return std::to_string(n); }

std::string KdText(uint64_t kills, uint64_t deaths) {
  return FormatRatio(static_cast<int64_t>(kills), static_cast<int64_t>(deaths), '.');
}

// "Rank 3 of 40", or "Not ranked (40 ranked)".
std::string RankText(int rank, int ranked) {
  if (rank <= 0) return "Not ranked (" + Num(static_cast<uint64_t>(ranked)) + " ranked)";
  return "Rank " + Num(static_cast<uint64_t>(rank)) + " of " + Num(static_cast<uint64_t>(ranked));
}

std::string Head(std::string_view title, std::string_view root, std::string_view site_html) {
  std::string out = SitePageStart(title, root, site_html);
  Add(out, "<a href=\"", root, "index.html\">Servers</a></nav></header>\n<main>\n");
  return out;
}

std::string Foot(const SiteFrame& frame, std::string_view root) {
  std::string out;
  Add(out, "</main>\n<footer>Generated ", HtmlText(frame.generated), " with Barvik build ",
      HtmlText(frame.build_text), " &middot; <a href=\"", root,
      "servers.json\">servers as JSON</a></footer>\n</body>\n</html>\n");
  return out;
}

std::string ServerPage(const ServerSummary& s) { return "servers/" + s.key + "/site/index.html"; }

// Each server's name as the site's pages show it: coloured, and followed by its key when
// another server of the site shows the same name (two servers left with a stock host name).
std::vector<std::string> ServerNamesHtml(const std::vector<ServerSummary>& servers) {
  std::vector<std::string> compared;
  compared.reserve(servers.size());
  for (const ServerSummary& s : servers) compared.push_back(ComparedName(s.name));
  std::vector<std::string> names;
  for (size_t i = 0; i < servers.size(); ++i) {
    std::string& out = names.emplace_back();
    Add(out, "<span class=\"coloured\">", ColouredNameHtml(servers[i].name), "</span>");
    if (std::count(compared.begin(), compared.end(), compared[i]) > 1) {
      Add(out, " <small>", HtmlUtf8(servers[i].key), "</small>");
    }
  }
  return names;
}

// The people of a league that are shown, most kills first, then in order of appearance.
std::vector<PersonIndex> ShownByKills(const GamesModel& model) {
  std::vector<PersonIndex> shown;
  for (PersonIndex p = 0; p < model.people.size(); ++p) {
    if (!model.people[p].hidden) shown.push_back(p);
  }
  std::stable_sort(shown.begin(), shown.end(), [&model](PersonIndex a, PersonIndex b) {
    return model.people[a].kills > model.people[b].kills;
  });
  return shown;
}

class LeagueFiles {
 public:
  static constexpr size_t kRowsPerPage = 400;

  LeagueFiles(const LeagueView& view, const std::vector<ServerSummary>& servers,
              const SiteFrame& frame, std::string site_html, const SiteFileSink& sink)
      : view_(view),
        model_(*view.model),
        servers_(servers),
        server_names_(ServerNamesHtml(servers)),
        frame_(frame),
        site_html_(std::move(site_html)),
        sink_(sink),
        folder_("leagues/" + view.league + "/"),
        ranking_(ShownRanking(model_, view.figures->ratings.history)) {
    for (const RankedPerson& r : ranking_) {
      if (r.rating.rank > 0) ++ranked_;
    }
    rank_of_.assign(model_.people.size(), 0);
    for (const RankedPerson& r : ranking_) rank_of_[r.person] = r.rating.rank;
  }

  void Write() const {
    PeoplePage();
    RankingPage();
    GamesPage();
    for (PersonIndex p = 0; p < model_.people.size(); ++p) {
      if (!model_.people[p].hidden) Profile(p);
    }
    Documents();
  }

 private:
  std::string Title(std::string_view what) const {
    return std::string(what) + " - league " + HtmlUtf8(view_.league);
  }

  std::string PersonLink(PersonIndex p, std::string_view root) const {
    const Person& person = model_.people[p];
    std::string out;
    Add(out, "<a href=\"", root, PersonPage(person), "\">", ColouredNameHtml(person.display),
        "</a>");
    return out;
  }

  // The keys of the servers a person played on, as links to his profile there.
  std::string ServerLinks(PersonIndex p, std::string_view root) const {
    std::string out;
    for (const PersonServerRow& row : view_.rows[p]) {
      if (!out.empty()) out += ", ";
      Add(out, "<a href=\"", root, row.page, "\">", HtmlUtf8(servers_[row.server].key), "</a>");
    }
    return out;
  }

  // A list of `rows` over numbered pages (SitePager.h): STEM.html, STEM-2.html, ...
  void ListPagesOf(std::string_view stem, std::string_view title, const std::string& intro,
                   const std::string& table_head, const std::vector<std::string>& rows) const {
    const ListPages pages{rows.size(), kRowsPerPage};
    for (size_t n = 0; n < pages.count(); ++n) {
      const std::string pager =
          PagerHtml(stem, n, pages.count(), std::string("Pages of ") + std::string(stem));
      std::string page = Head(Title(title), "../../", site_html_);
      Add(page, "<h1>", title, " of league ", HtmlUtf8(view_.league), "</h1>\n", intro, pager,
          "<div class=\"scroll\"><table class=\"list\"><thead><tr>", table_head,
          "</tr></thead><tbody>\n");
      for (size_t i = pages.first(n); i < pages.end(n); ++i) page += rows[i];
      Add(page, "</tbody></table></div>\n", pager, Foot(frame_, "../../"));
      sink_(folder_ + ListPageFile(stem, n), page);
    }
  }

  void PeoplePage() const {
    std::vector<std::string> rows;
    for (PersonIndex p : ShownByKills(model_)) {
      const Person& person = model_.people[p];
      std::string row;
      Add(row, "<tr><td>", PersonLink(p, ""), "<td>", Num(person.games), "<td>", Num(person.kills),
          "<td>", Num(person.deaths), "<td>", KdText(person.kills, person.deaths), "<td>",
          ServerLinks(p, "../../"), "</tr>\n");
      rows.push_back(std::move(row));
    }
    ListPagesOf("people", "People", "",
                "<th>Name<th>Games<th>Kills<th>Deaths<th title=\"kills per death\">K/D"
                "<th>Servers",
                rows);
  }

  void RankingPage() const {
    std::vector<std::string> rows;
    for (const RankedPerson& r : ranking_) {
      if (r.rating.rank <= 0 || r.rating.inactive) continue;
      std::string row;
      Add(row, "<tr><td>", Num(static_cast<uint64_t>(r.rating.rank)), "<td>",
          PersonLink(r.person, ""), "<td>",
          FormatQuotient(std::llround(r.rating.shown * 100), 100, 2, '.'), "<td>",
          Num(r.rating.games), "<td>", ServerLinks(r.person, "../../"), "</tr>\n");
      rows.push_back(std::move(row));
    }
    ListPagesOf("ranking", "Ranking", "<p>Rated on the games of every server of the league.</p>\n",
                "<th>Rank<th>Name<th>Skill<th>Games<th>Servers", rows);
  }

  // Every game of the league, newest first, naming its server.
  void GamesPage() const {
    const Zone zone = Zone::Of(ClockSettings{view_.timezone, {}});
    std::vector<std::string> rows;
    for (size_t g = model_.games.size(); g-- > 0;) {
      const Game& game = model_.games[g];
      const size_t server_index = g < view_.game_server.size() ? view_.game_server[g] : 0;
      const ServerSummary& server = servers_[server_index];
      const uint32_t number = g < view_.game_number.size() ? view_.game_number[g] : 0;
      std::string link = Num(number);
      if (number > 0 && HasGamePage(game)) {
        link.clear();
        Add(link, "<a href=\"../../servers/", server.key, "/site/games/", Num(number), ".html\">",
            Num(number), "</a>");
      }
      size_t shown = 0;
      for (const Participant& p : game.players) shown += model_.people[p.person].hidden ? 0 : 1;
      std::string row;
      Add(row, "<tr><td>", server_names_[server_index], "<td>", link, "<td>",
          StartedHtml(game, zone), "<td>", HtmlText(view_.texts.Setting(game.map)), "<td>",
          HtmlText(view_.texts.Setting(game.game_type)), "<td>", Num(shown), "<td>",
          Num(game.seconds / 60), " min</tr>\n");
      rows.push_back(std::move(row));
    }
    ListPagesOf("games", "Games", "",
                "<th>Server<th>Game<th>Started<th>Map<th>Game type<th>People<th>Length", rows);
  }

  void Profile(PersonIndex p) const {
    const Person& person = model_.people[p];
    const std::string root = "../../../";
    std::string page = Head(HtmlText(WithoutColourCodes(person.display)) + " - " + Title("Person"),
                            root, site_html_);
    Add(page, "<h1><span class=\"coloured\">", ColouredNameHtml(person.display),
        "</span></h1>\n<p class=\"league-rank\">", RankText(rank_of_[p], ranked_), " in league ",
        HtmlUtf8(view_.league), "</p>\n",
        "<div class=\"scroll\"><table class=\"list\"><thead><tr><th>Server<th>Games<th>Kills"
        "<th>Deaths<th title=\"kills per death\">K/D<th>Rank</tr></thead><tbody>\n");
    for (const PersonServerRow& row : view_.rows[p]) {
      Add(page, "<tr><td><a href=\"", root, row.page, "\">", server_names_[row.server], "</a>",
          "<td>", Num(row.games), "<td>", Num(row.kills), "<td>", Num(row.deaths), "<td>",
          KdText(row.kills, row.deaths), "<td>", RankText(row.rank, row.ranked), "</tr>\n");
    }
    Add(page, "<tr class=\"total\"><td>League ", HtmlUtf8(view_.league), "<td>", Num(person.games),
        "<td>", Num(person.kills), "<td>", Num(person.deaths), "<td>",
        KdText(person.kills, person.deaths), "<td>", RankText(rank_of_[p], ranked_),
        "</tr>\n</tbody></table></div>\n", Foot(frame_, root));
    sink_(folder_ + PersonPage(person), page);
  }

  void Documents() const {
    sink_(folder_ + "people.json", LeaguePeopleJson(view_, servers_).dump() + "\n");
    sink_(folder_ + "ranking.json", LeagueRankingJson(view_).dump() + "\n");
    sink_(folder_ + "games.json", LeagueGamesJson(view_, servers_).dump() + "\n");
  }

  const LeagueView& view_;
  const GamesModel& model_;
  const std::vector<ServerSummary>& servers_;
  std::vector<std::string> server_names_;  // by server, as HTML
  const SiteFrame& frame_;
  std::string site_html_;
  const SiteFileSink& sink_;
  std::string folder_;                 // leagues/L/
  std::vector<RankedPerson> ranking_;  // the shown people's ratings
  std::vector<int> rank_of_;           // by person index; 0: not ranked
  int ranked_ = 0;
};

}  // namespace

Json LeaguePeopleJson(const LeagueView& view, const std::vector<ServerSummary>& servers) {
  const GamesModel& model = *view.model;
  Json people = PeopleJson(view.texts, model);
  AddRatings(people, model, view.figures->ratings);
  std::unordered_map<std::string, PersonIndex> by_id;
  for (PersonIndex p = 0; p < model.people.size(); ++p) by_id.emplace(model.people[p].id, p);
  for (Json& entry : people.at("people")) {
    Json keys = Json::array();
    const auto it = by_id.find(entry.at("id").get<std::string>());
    if (it != by_id.end() && it->second < view.rows.size()) {
      for (const PersonServerRow& row : view.rows[it->second]) {
        keys.push_back(servers[row.server].key);
      }
    }
    entry["servers"] = std::move(keys);
  }
  people["league"] = view.league;
  return people;
}

Json LeagueRankingJson(const LeagueView& view) {
  Json ranking =
      RankingJson(view.texts, *view.model, view.figures->ratings, view.figures->game_types);
  ranking["league"] = view.league;
  return ranking;
}

Json LeagueGamesJson(const LeagueView& view, const std::vector<ServerSummary>& servers) {
  Json games = GamesJson(view.texts, *view.model);
  AddRatingChanges(games, *view.model, view.figures->ratings);
  Json& list = games.at("games");
  for (size_t g = 0; g < list.size() && g < view.game_server.size(); ++g) {
    list[g]["server"] = servers[view.game_server[g]].key;
  }
  games["league"] = view.league;
  return games;
}

Json ServersJson(const std::string& title, const std::string& generated,
                 const std::vector<ServerSummary>& servers) {
  Json list = Json::array();
  for (const ServerSummary& s : servers) {
    Json last = nullptr;
    if (s.last_game) {
      last = {{"number", s.last_game->number},
              {"map", Utf8FromLog(s.last_game->map)},
              {"page", s.last_game->page.empty() ? Json(nullptr) : Json(s.last_game->page)}};
    }
    list.push_back({{"key", s.key},
                    {"name", Utf8FromLog(s.name)},
                    {"league", s.league},
                    {"games", s.games},
                    {"people", s.people},
                    {"kills", s.kills},
                    {"page", ServerPage(s)},
                    {"last_game", std::move(last)},
                    {"fetched_at", s.fetched_at.empty() ? Json(nullptr) : Json(s.fetched_at)},
                    {"error", s.error.empty() ? Json(nullptr) : Json(Utf8FromLog(s.error))}});
  }
  Json document = JsonDocument();
  document["format"] = kGamesJsonFormat;
  document["title"] = title;
  document["generated"] = Utf8FromLog(generated);
  document["servers"] = std::move(list);
  return document;
}

void WriteSiteOfServers(const std::string& title, const SiteFrame& frame,
                        const std::vector<ServerSummary>& servers,
                        const std::vector<LeagueView>& leagues, const SiteFileSink& sink) {
  const std::string site_html = title.empty() ? "Servers" : HtmlUtf8(title);
  std::string page = Head(site_html, "", site_html);
  Add(page, "<h1>", site_html,
      "</h1>\n<div class=\"scroll\"><table class=\"list servers\"><thead><tr><th>Server"
      "<th>League<th>Games<th>People<th>Kills<th>Last game<th>Logs</tr></thead><tbody>\n");
  const std::vector<std::string> names = ServerNamesHtml(servers);
  for (size_t i = 0; i < servers.size(); ++i) {
    const ServerSummary& s = servers[i];
    std::string last = "-";
    if (s.last_game) {
      last.clear();
      if (s.last_game->page.empty()) {
        Add(last, Num(s.last_game->number));
      } else {
        Add(last, "<a href=\"", s.last_game->page, "\">", Num(s.last_game->number), "</a>");
      }
      Add(last, " ", HtmlText(s.last_game->map));
    }
    std::string state = "-";
    if (!s.fetched_at.empty()) {
      state.clear();
      Add(state, "read ", HtmlUtf8(s.fetched_at));
    }
    if (!s.error.empty()) Add(state, "; <span class=\"error\">", HtmlText(s.error), "</span>");
    Add(page, "<tr><td><a href=\"", ServerPage(s), "\">", names[i],
        "</a> <small>(<a href=\"servers/", s.key, "/index.html\">classic</a>)</small><td>",
        "<a href=\"leagues/", s.league, "/ranking.html\">", HtmlUtf8(s.league), "</a><td>",
        Num(s.games), "<td>", Num(s.people), "<td>", Num(s.kills), "<td>", last, "<td>", state,
        "</tr>\n");
  }
  Add(page, "</tbody></table></div>\n<h2>Leagues</h2>\n<ul>\n");
  for (const LeagueView& league : leagues) {
    const std::string l = HtmlUtf8(league.league);
    Add(page, "<li>", l, ": <a href=\"leagues/", league.league, "/people.html\">people</a>, ",
        "<a href=\"leagues/", league.league, "/ranking.html\">ranking</a>, ", "<a href=\"leagues/",
        league.league, "/games.html\">games</a></li>\n");
  }
  Add(page, "</ul>\n", Foot(frame, ""));
  sink("index.html", page);
  sink("servers.json", ServersJson(title, frame.generated, servers).dump() + "\n");
  for (const LeagueView& league : leagues) {
    LeagueFiles(league, servers, frame, site_html, sink).Write();
  }
}

}  // namespace barvik
