// The rankings (over all games and per game type) and the awards page.
#include "report/SiteModelPages.h"

namespace barvik::site_pages {

void ModelPages::GatherAwardHolders() {
  for (size_t a = 0; a < kAwardCount; ++a) {
    holders_[a] = ShownHolders(figures_.awards, model_, static_cast<Award>(a));
    if (!holders_[a].empty()) best_[a] = figures_.awards.people[holders_[a].front()][a];
  }
}

std::string ModelPages::AwardLink(Award award, std::string_view root) const {
  std::string out;
  Add(out, "<a href=\"", root, "awards.html#", AwardAnchor(award), "\">",
      Capitalised(AwardName(award)), "</a>");
  return out;
}

std::string ModelPages::TopOfRanking() const {
  std::string out = "<section><h2>Best skill</h2><ol>";
  for (const RankedPerson& r : ShownRanking(model_, figures_.ratings.history)) {
    if (r.rating.rank == 0 || r.rating.rank > static_cast<int>(kTopEntries)) continue;
    Add(out, "<li>", PersonLink(r.person, ""), " <span class=\"num\">", SkillText(r.rating.shown),
        " &plusmn;", SkillText(r.rating.plus_minus), "</span>");
  }
  out += "</ol><p><a href=\"ranking.html\">The whole ranking</a></p></section>\n";
  return out;
}

std::string ModelPages::RankingTables(const RatingHistory& history,
                                      std::optional<uint32_t> game_type, const std::string& stem,
                                      std::string_view title, const SitePageSink& sink) const {
  const std::vector<RankedPerson> people = ShownRanking(model_, history);
  const std::string bound = SkillText(history.options().provisional_plus_minus);
  std::string out;
  auto table = [&](std::string_view heading, std::string_view hint, int part, std::string_view what,
                   size_t shown) {
    std::vector<std::string> rows;
    for (const RankedPerson& r : people) {
      const PersonRating& rating = r.rating;
      if ((rating.inactive ? 2 : rating.provisional ? 1 : 0) != part) continue;
      uint64_t kills = model_.people[r.person].kills, deaths = model_.people[r.person].deaths;
      if (game_type) {
        const auto& types = facts_[r.person].game_types;
        const auto it = types.find(*game_type);
        kills = it == types.end() ? 0 : it->second.kills;
        deaths = it == types.end() ? 0 : it->second.deaths;
      }
      std::string row;
      Add(row, "<tr><td>", rating.rank > 0 ? Num(rating.rank) : std::string(), "<th>",
          PersonLink(r.person, ""), "<td>", SkillText(rating.shown), "<td>&plusmn;",
          SkillText(rating.plus_minus), "<td>", Num(rating.games), "<td>", KdText(kills, deaths),
          "<td>", Sparkline(history.SkillHistory(rating.person)), "\n");
      rows.push_back(std::move(row));
    }
    if (rows.empty()) return;
    auto rank_table = [&](size_t first, size_t end) {
      std::string t;
      Add(t,
          "<div class=\"scroll\"><table class=\"data rk\">\n<thead><tr><th>Rank<th>Name<th "
          "title=\"99.7 % sure he is at least this good\">Skill<th title=\"how sure the "
          "rating is: three times its uncertainty\">&plusmn;<th>Rated games<th title=\"kills "
          "per death\">K/D<th>Last ",
          Num(kSparkGames), " games</thead>\n<tbody>\n");
      for (size_t i = first; i < end; ++i) t += rows[i];
      t += "</tbody></table></div>\n";
      return t;
    };
    if (!heading.empty()) Add(out, "<h3>", heading, "</h3>\n");
    if (!hint.empty()) Add(out, "<p class=\"hint\">", hint, "</p>\n");
    out += rank_table(0, std::min(shown, rows.size()));
    if (rows.size() <= shown) return;
    // Every row of this table on pages of its own.
    const std::string list = stem + "-" + std::string(what);
    Add(out, "<p><a href=\"", HtmlText(ListPageFile(list, 0)), "\">All ", Num(rows.size()),
        what == "ranked"        ? " ranked people"
        : what == "provisional" ? " provisional people"
                                : " people not seen lately",
        "</a></p>\n");
    const ListPages pages{rows.size(), kRankingRowsPerPage};
    for (size_t n = 0; n < pages.count(); ++n) {
      std::string page = Head("Ranking", "");
      const std::string pager = PagerHtml(list, n, pages.count(), "Pages of this ranking");
      Add(page, "<h1>Ranking: ", title, "</h1>\n<p><a href=\"", HtmlText(stem),
          ".html\">Back to the ranking</a></p>\n");
      if (!heading.empty()) Add(page, "<h2>", heading, "</h2>\n");
      Add(page, pager, rank_table(pages.first(n), pages.end(n)), pager,
          SitePageFoot(frame_, "", true));
      sink(ListPageFile(list, n), page);
    }
  };
  table("", "", 0, "ranked", kRankedShown);
  if (out.empty()) {
    out = "<p>Nobody's skill is sure to &plusmn;" + bound + " yet: fights make it surer.</p>\n";
  }
  table("Provisional",
        "Skill not yet sure to &plusmn;" + bound + ": not ranked until more fights make it so.", 1,
        "provisional", kUnrankedShown);
  table("Not seen lately",
        "No game in the last " + Num(history.options().inactive_after) +
            " rated games; back in the ranking with his next game.",
        2, "inactive", kUnrankedShown);
  return out;
}

void ModelPages::RankingPages(const SitePageSink& sink) const {
  struct Ranking {
    std::string stem, heading, link_text;
    const RatingHistory* history;
    std::optional<uint32_t> game_type;
  };
  std::vector<Ranking> rankings = {
      {"ranking", "All game types", "All game types", &figures_.ratings.history, std::nullopt}};
  std::unordered_map<std::string, int> stems;
  for (const GameTypeRatings& type : figures_.game_types) {
    // Two game types may fold to one prefix ("DM" and "dm"): the second one is numbered.
    std::string stem = "ranking-t-" + PlayerFilePrefix(KeyRaw(KeyKind::GameType, type.game_type));
    if (const int seen = stems[stem]++; seen > 0)
      stem += "_" + Num(static_cast<uint64_t>(seen) + 1);
    rankings.push_back(
        {stem,
         KeyHtml(KeyKind::GameType, type.game_type) + " <small>" +
             Num(static_cast<uint64_t>(type.ratings.history.Games())) + " rated games</small>",
         KeyText(KeyKind::GameType, type.game_type), &type.ratings.history, type.game_type});
  }
  // The links to the rankings only when there is more than one.
  std::string nav;
  if (rankings.size() > 1) {
    nav = "<nav class=\"sections\">";
    for (size_t i = 0; i < rankings.size(); ++i) {
      Add(nav, i ? " " : "", "<a href=\"", HtmlText(rankings[i].stem), ".html\">",
          rankings[i].link_text, "</a>");
    }
    nav += "</nav>\n";
  }
  for (const Ranking& r : rankings) {
    std::string page = Head(r.game_type ? "Ranking: " + r.link_text : "Ranking", "");
    Add(page,
        "<h1>Ranking</h1>\n<p class=\"hint\">Skill weighs whom a person beat and lost to: "
        "every kill of an enemy is a fight the killer won, and beating the strong counts more "
        "than beating the weak; a team game's result counts as well. The shown skill is the "
        "rating minus three times its uncertainty (the &plusmn;), so the ranking is 99.7 % "
        "sure of it; few fights mean a wide &plusmn;, and a person is ranked once it is narrow "
        "enough. Warm-ups are not rated.</p>\n",
        nav, "<section id=\"", r.game_type ? "type" : "all", "\"><h2>", r.heading, "</h2>\n",
        RankingTables(*r.history, r.game_type, r.stem, r.link_text, sink), "</section>\n",
        SitePageFoot(frame_, "", true));
    sink(r.stem + ".html", page);
  }
}

std::string ModelPages::AwardsPage() const {
  std::string page = Head("Awards", "");
  page +=
      "<h1>Awards</h1>\n<p class=\"hint\">Over all games but warm-ups. Counts are summed over "
      "the games; a streak, a life, a nemesis and the damage of one life are the best of one "
      "game. A kill here is a kill of an enemy. Each game's page shows its own "
      "awards. An honour names who did well, a shame who did not.</p>\n<div "
      "class=\"scroll\"><table class=\"data aw\">\n<thead><tr><th>Award<th>Kind<th>"
      "Holder<th>Figure</thead>\n<tbody>\n";
  for (size_t a = 0; a < kAwardCount; ++a) {
    const auto award = static_cast<Award>(a);
    Add(page, "<tr id=\"", AwardAnchor(award), "\"><th>", Capitalised(AwardName(award)), "<small>",
        kAwardMeanings[a], "</small><td>", Capitalised(KindName(KindOf(award))), "<td>");
    const size_t shown =
        holders_[a].size() > kShownHolders + 1 ? kShownHolders : holders_[a].size();
    for (size_t i = 0; i < shown; ++i) Add(page, i ? ", " : "", PersonLink(holders_[a][i], ""));
    if (shown < holders_[a].size()) Add(page, " and ", Num(holders_[a].size() - shown), " more");
    Add(page, holders_[a].empty() ? "nobody yet<td>" : "<td>",
        holders_[a].empty() ? std::string() : AwardFigure(award, best_[a]), "\n");
  }
  page += "</tbody></table></div>\n" + SitePageFoot(frame_, "", true);
  return page;
}

std::string ModelPages::WhyLine(PersonIndex index) const {
  const auto it = ratings_.find(index);
  if (it == ratings_.end()) return "";
  const PersonRating& r = it->second;
  std::string out = "<p class=\"why\">";
  out += r.rank > 0 ? "Rank " + Num(r.rank) + " of " + Num(ranked_count_) + " from "
                    : std::string("From ");
  Add(out, Num(r.record.fights_won), " fights won and ", Num(r.record.fights_lost), " lost in ",
      Num(r.games), r.games == 1 ? " rated game" : " rated games");
  std::vector<std::pair<PersonIndex, std::pair<uint32_t, uint32_t>>> met;
  for (const auto& [who, counts] : facts_[index].fights) {
    if (Shown(who)) met.emplace_back(who, counts);
  }
  auto often = [](const auto& a, const auto& b) {
    const uint32_t x = a.second.first + a.second.second, y = b.second.first + b.second.second;
    return x != y ? x > y : a.first < b.first;
  };
  const size_t shown = std::min<size_t>(3, met.size());
  std::partial_sort(met.begin(), met.begin() + static_cast<std::ptrdiff_t>(shown), met.end(),
                    often);
  for (size_t i = 0; i < shown; ++i) {
    Add(out, i ? ", " : "; most against ", PersonLink(met[i].first, "../"), " ",
        Num(met[i].second.first), "&ndash;", Num(met[i].second.second));
  }
  if (r.record.results_won + r.record.results_lost > 0) {
    Add(out, "; his team won ", Num(r.record.results_won), " and lost ", Num(r.record.results_lost),
        r.record.results_lost == 1 ? " game" : " games");
  }
  out += ".</p>\n";
  return out;
}

}  // namespace barvik::site_pages
