// The home page and the lists: people, games, maps, weapons and game types.
#include "report/SiteModelPages.h"

namespace barvik::site_pages {

std::string ModelPages::TopList(std::string_view heading, const std::vector<PersonIndex>& people,
                                const std::function<std::string(const Person&)>& figure) const {
  std::string out;
  Add(out, "<section><h2>", heading, "</h2><ol>");
  for (PersonIndex p : people) {
    Add(out, "<li>", PersonLink(p, ""), " <span class=\"num\">", figure(model_.people[p]),
        "</span>");
  }
  out += "</ol></section>\n";
  return out;
}

std::string ModelPages::GamesTable(const std::vector<const Game*>& games,
                                   std::string_view id) const {
  std::string out;
  Add(out, "<div class=\"scroll\"><table class=\"data gl\" id=\"", id,
      "\">\n<thead><tr><th>Game<th>Started<th>Map<th>Game type<th>Length<th>Result<th>Best "
      "player</thead>\n<tbody>\n");
  for (const Game* game : games) {
    const PersonIndex best = TopFragger(*game);
    Add(out, "<tr><th>", GameLink(*game, ""), game->warmup ? " <small>warm-up</small>" : "", "<td>",
        StartedHtml(*game, zone_), "<td>", KeyText(KeyKind::Map, keys_.Map(*game)), "<td>",
        KeyText(KeyKind::GameType, game->game_type), "<td>", Duration(game->seconds), "<td>",
        ResultHtml(*game, ""), "<td>", best != kNoPerson ? PersonLink(best, "") : std::string(),
        "\n");
  }
  out += "</tbody></table></div>\n";
  return out;
}

std::string ModelPages::Home() const {
  std::string page = Head("Statistics", "");
  Add(page, "<h1><span class=\"coloured\">", ServerHtml(frame_.server_name), "</span></h1>\n");
  uint64_t game_seconds = 0, kills = 0;
  for (const Game& game : model_.games) {
    game_seconds += game.seconds;
    for (const GameKill& k : game.kills) kills += k.kind == GameKill::Kind::Kill;
  }
  size_t people = 0;
  for (PersonIndex p = 0; p < model_.people.size(); ++p) people += Shown(p);
  page += Cards({{"Games", Num(model_.games.size())},
                 {"Hours played", Format("%.1f", static_cast<double>(game_seconds) / 3600)},
                 {"People", Num(people)},
                 {"Kills", Num(kills)}});
  page += RecentHtml(model_, figures_.ratings.changes, zone_, "");

  std::vector<const Game*> last;
  for (auto it = model_.games.rbegin(); it != model_.games.rend() && last.size() < kLastGames;
       ++it) {
    if (HasGamePage(*it)) last.push_back(&*it);
  }
  page += "<h2>Last games</h2>\n" + GamesTable(last, "last") +
          "<p><a href=\"games.html\">Every game</a></p>\n<div class=\"tops\">\n";
  auto all = [](const Person&) { return true; };
  page += TopOfRanking();
  page += TopList("Most kills", Ranked([](const Person& p) { return p.kills; }, all, kTopEntries),
                  [](const Person& p) { return Num(p.kills); });
  page += TopList("Best K/D (" + Num(kMinKillsForRatio) + " kills or more)",
                  Ranked([](const Person& p) { return KillsPerDeath(p.kills, p.deaths); },
                         [](const Person& p) { return p.kills >= kMinKillsForRatio; }, kTopEntries),
                  [](const Person& p) { return KdText(p.kills, p.deaths); });
  page += TopList("Most head shots",
                  Ranked([](const Person& p) { return p.head_shots; }, all, kTopEntries),
                  [](const Person& p) { return Num(p.head_shots); });
  page += TopList("Most time played",
                  Ranked([](const Person& p) { return p.played_seconds; }, all, kTopEntries),
                  [](const Person& p) { return Duration(p.played_seconds); });
  page += "</div>\n" + ActivityHtml(model_, zone_) + SitePageFoot(frame_, "", true);
  return page;
}

void ModelPages::PeoplePages(const SitePageSink& sink) const {
  std::vector<std::string> rows;
  for (PersonIndex p : Ranked([](const Person& x) { return x.kills; },
                              [](const Person&) { return true; }, model_.people.size())) {
    const Person& person = model_.people[p];
    // Every other spelling, without colour codes, for the search.
    std::string others;
    const std::string shown = ComparedName(person.display);
    std::vector<std::string> seen = {shown};
    for (const Spelling& s : person.spellings) {
      const std::string_view raw = texts_.Text(s.raw);
      const std::string compared = ComparedName(raw);
      if (std::find(seen.begin(), seen.end(), compared) != seen.end()) continue;
      seen.push_back(compared);
      Add(others, others.empty() ? "" : "|", HtmlText(WithoutColourCodes(raw)));
    }
    std::string row;
    Add(row, others.empty() ? "<tr><th>" : "<tr data-n=\"" + others + "\"><th>", PersonLink(p, ""),
        FigureCells(person.kills, person.deaths, person.team_kills, person.suicides,
                    person.head_shots, person.damage_dealt, person.played_seconds),
        "<td>", Num(person.games), "<td>");
    // Game numbers run in the order of the games, which a span (--since) may have cut.
    const auto last =
        std::lower_bound(model_.games.begin(), model_.games.end(), person.last_game,
                         [](const Game& g, uint32_t number) { return g.number < number; });
    if (last != model_.games.end() && last->number == person.last_game) {
      row += GameLink(*last, "");
    }
    Add(row, "<td>", DayHtml(person.last_seen, zone_));
    row += "\n";
    rows.push_back(std::move(row));
  }
  const ListPages pages{rows.size(), kPeoplePerPage};
  for (size_t n = 0; n < pages.count(); ++n) {
    std::string page = Head(n == 0 ? "People" : "People, page " + Num(n + 1), "");
    const std::string pager = PagerHtml("people", n, pages.count(), "Pages of people");
    Add(page,
        "<h1>People</h1>\n<p class=\"tools\" hidden><label>Find a person <input "
        "type=\"search\" id=\"filter\" autocomplete=\"off\" placeholder=\"any name he "
        "used\"></label> <output id=\"shown\" for=\"filter\"></output></p>\n<p "
        "class=\"hint\">Select a column heading to sort by it. Open a person for his games, "
        "weapons, maps and opponents.",
        pages.count() > 1 ? " Most kills first, " + Num(kPeoplePerPage) +
                                " a page; the search looks at this page."
                          : std::string(),
        "</p>\n", pager,
        "<div class=\"scroll\"><table class=\"data fig\" id=\"people\">\n<thead><tr><th>Name",
        kFigureHeads, "<th>Games<th>Last game<th>Last seen</thead>\n<tbody>\n");
    for (size_t i = pages.first(n); i < pages.end(n); ++i) page += rows[i];
    Add(page, "</tbody></table></div>\n", pager, SitePageFoot(frame_, "", true));
    sink(ListPageFile("people", n), page);
  }
}

void ModelPages::GamesPages(const SitePageSink& sink) const {
  std::vector<const Game*> games;
  for (auto it = model_.games.rbegin(); it != model_.games.rend(); ++it) {
    if (HasGamePage(*it)) games.push_back(&*it);
  }
  const ListPages pages{games.size(), kGamesPerPage};
  for (size_t n = 0; n < pages.count(); ++n) {
    std::string page = Head(n == 0 ? "Games" : "Games, page " + Num(n + 1), "");
    page +=
        "<h1>Games</h1>\n<p class=\"hint\">Newest first. A warm-up is a game under a minute "
        "or with fewer than two people.</p>\n";
    const std::string pager = PagerHtml("games", n, pages.count(), "Pages of games");
    const std::vector<const Game*> rows(games.begin() + static_cast<std::ptrdiff_t>(pages.first(n)),
                                        games.begin() + static_cast<std::ptrdiff_t>(pages.end(n)));
    Add(page, pager, GamesTable(rows, "games"), pager, SitePageFoot(frame_, "", true));
    sink(ListPageFile("games", n), page);
  }
}

std::string ModelPages::KeyPage(KeyKind kind) const {
  static constexpr std::array<std::string_view, 3> kHeadings = {"Maps", "Weapons", "Game types"};
  const std::string_view heading = kHeadings[static_cast<size_t>(kind)];
  const auto& keys = kind == KeyKind::Map ? maps_ : kind == KeyKind::Weapon ? weapons_ : types_;
  std::vector<std::pair<uint32_t, const KeyFacts*>> rows;
  rows.reserve(keys.size());
  for (const auto& [id, facts] : keys) rows.emplace_back(id, &facts);
  std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
    if (a.second->total.kills != b.second->total.kills) {
      return a.second->total.kills > b.second->total.kills;
    }
    return KeyRaw(kind, a.first) < KeyRaw(kind, b.first);
  });
  std::string page = Head(heading, "");
  Add(page, "<h1>", heading, "</h1>\n<div class=\"scroll\"><table class=\"data kp\" id=\"keys\">\n",
      "<thead><tr><th>",
      kind == KeyKind::Map      ? "Map"
      : kind == KeyKind::Weapon ? "Weapon"
                                : "Game type",
      kind == KeyKind::Weapon ? "" : "<th>Games",
      "<th>Kills<th>Head shots<th>Top people</thead>\n<tbody>\n");
  for (const auto& [id, facts] : rows) {
    std::vector<std::pair<PersonIndex, uint32_t>> top(facts->kills.begin(), facts->kills.end());
    std::sort(top.begin(), top.end(), [](const auto& a, const auto& b) {
      return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    Add(page, "<tr id=\"k-", HtmlText(PlayerFilePrefix(KeyRaw(kind, id))), "\"><th>",
        KeyHtml(kind, id), KeyDetails(kind, id),
        kind == KeyKind::Weapon ? "" : "<td>" + Num(facts->total.games), "<td>",
        Num(facts->total.kills), "<td>", Num(facts->total.head_shots), "<td>");
    for (size_t i = 0; i < top.size() && i < kTopPerKey && top[i].second > 0; ++i) {
      Add(page, i ? ", " : "", PersonLink(top[i].first, ""), " <span class=\"num\">",
          Num(top[i].second), "</span>");
    }
    page += "\n";
  }
  page += "</tbody></table></div>\n" + SitePageFoot(frame_, "", true);
  return page;
}

std::string ModelPages::TallyTable(KeyKind kind, const std::unordered_map<uint32_t, Tally>& tallies,
                                   std::string_view heading) const {
  std::vector<std::pair<uint32_t, Tally>> rows(tallies.begin(), tallies.end());
  std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
    return a.second.games != b.second.games ? a.second.games > b.second.games
                                            : KeyRaw(kind, a.first) < KeyRaw(kind, b.first);
  });
  std::string out;
  Add(out, "<div class=\"scroll\"><table class=\"data\">\n<thead><tr><th>", heading,
      "<th>Games<th>Kills<th>Deaths<th>K/D<th>Time played</thead>\n<tbody>\n");
  for (const auto& [id, t] : rows) {
    Add(out, "<tr><th>", KeyLink(kind, id, "../"), "<td>", Num(t.games), "<td>", Num(t.kills),
        "<td>", Num(t.deaths), "<td>", KdText(t.kills, t.deaths), "<td>", Duration(t.seconds),
        "\n");
  }
  out += "</tbody></table></div>\n";
  return out;
}

}  // namespace barvik::site_pages
