// A person's profile and the further pages of his games.
#include "report/SiteModelPages.h"

namespace barvik::site_pages {

std::string ModelPages::ProfileSkillAndAwards(PersonIndex index) const {
  const std::vector<LineChartPoint>& all = facts_[index].skill;
  const std::vector<LineChartPoint> points = LastOf(all, kChartGames);
  std::string out = "<h2 id=\"skill\">Skill</h2>\n" + WhyLine(index);
  out += points.empty()
             ? std::string("<p>No rated game yet.</p>\n")
             : LineChartSvg(points, "game",
                            std::string("His skill after each ") +
                                (points.size() < all.size()
                                     ? "of his last " + Num(points.size()) + " rated games"
                                     : "rated game") +
                                " (99.7 % sure he is at least this good)",
                            std::nullopt);
  out += "<h2 id=\"awards\">Awards</h2>\n";
  std::string rows;
  for (size_t a = 0; a < kAwardCount && index < figures_.awards.people.size(); ++a) {
    const auto award = static_cast<Award>(a);
    const uint32_t value = figures_.awards.people[index][a];
    if (!HasFigure(award, value)) continue;
    const bool holds =
        std::find(holders_[a].begin(), holders_[a].end(), index) != holders_[a].end();
    Add(rows, "<tr><th>", AwardLink(award, "../"), "<td>", KindName(KindOf(award)), "<td>",
        AwardFigure(award, value), "<td>", holds ? "holds it" : AwardFigure(award, best_[a]), "\n");
  }
  if (rows.empty()) return out + "<p>None yet.</p>\n";
  Add(out,
      "<div class=\"scroll\"><table class=\"data\">\n<thead><tr><th>Award<th>Kind<th>His "
      "figure<th>Best</thead>\n<tbody>\n",
      rows, "</tbody></table></div>\n");
  return out;
}

std::string ModelPages::Profile(PersonIndex index) const {
  const Person& p = model_.people[index];
  const PersonFacts& f = facts_[index];
  std::string page = Head(HtmlText(WithoutColourCodes(p.display)), "../");
  Add(page, "<h1 class=\"name\"><span class=\"coloured\">", ColouredNameHtml(p.display),
      "</span></h1>\n<p class=\"spellings\">Also known as ");
  for (size_t i = 0; i < p.spellings.size(); ++i) {
    Add(page, i ? ", " : "", "<span class=\"coloured\">",
        ColouredNameHtml(texts_.Text(p.spellings[i].raw)), "</span> (", Num(p.spellings[i].count),
        p.spellings[i].count == 1 ? " line)" : " lines)");
  }
  page += "</p>\n";
  page += Cards({{"Games", Num(p.games)},
                 {"Kills", Num(p.kills)},
                 {"Deaths", Num(p.deaths)},
                 {"K/D", KdText(p.kills, p.deaths)},
                 {"Team kills", Num(p.team_kills)},
                 {"Suicides", Num(p.suicides)},
                 {"Killed by the world", Num(p.world_deaths)},
                 {"Head shots", Num(p.head_shots)},
                 {"Damage dealt", Num(p.damage_dealt)},
                 {"Damage taken", Num(p.damage_taken)},
                 {"Time played", Duration(p.played_seconds)}});
  if (p.first_seen != kNoDate) {
    page += Cards(
        {{"First seen", DayHtml(p.first_seen, zone_)}, {"Last seen", DayHtml(p.last_seen, zone_)}},
        true);
  }
  {
    const auto it = ratings_.find(index);
    std::vector<std::pair<std::string, std::string>> cards = {RankCard(index)};
    if (it != ratings_.end()) {
      cards.emplace_back("Skill", "<a href=\"../ranking.html\">" + SkillText(it->second.shown) +
                                      "</a> &plusmn;" + SkillText(it->second.plus_minus));
    }
    page += Cards(cards, true);
  }
  page +=
      "<nav class=\"sections\"><a href=\"#skill\">Skill</a> <a href=\"#awards\">Awards</a> "
      "<a href=\"#games\">Games</a> <a href=\"#weapons\">Weapons</a> "
      "<a href=\"#body\">Body locations</a> <a href=\"#maps\">Maps</a> <a "
      "href=\"#gametypes\">Game types</a> <a href=\"#opponents\">Opponents</a></nav>\n";

  page += ProfileSkillAndAwards(index);
  if (!p.actions.empty()) {
    std::vector<std::pair<std::string, std::string>> cards;
    for (uint32_t word : ActionOrder(p.actions))
      cards.emplace_back(ActionHtml(texts_.Setting(word)), Num(ActionCountOf(p.actions, word)));
    page += "<h2 id=\"objectives\">Objectives</h2>\n" + Cards(cards);
  }
  // K/D per game, oldest to newest, over his last games; then his games, newest first, the
  // first page of them.
  std::vector<LineChartPoint> points;
  const size_t charted = std::min(f.games.size(), kChartGames);
  for (size_t i = f.games.size() - charted; i < f.games.size(); ++i) {
    const Participant* part = model_.PlayerIn(*f.games[i], index);
    points.push_back({Num(f.games[i]->number), KillsPerDeath(part->kills, part->deaths)});
  }
  Add(page, "<h2 id=\"games\">Games</h2>\n",
      LineChartSvg(points, "game",
                   charted < f.games.size()
                       ? "Kills per death in each of his last " + Num(charted) +
                             " games; the dashed line is 1"
                       : std::string("Kills per death in each of his games; the dashed line "
                                     "is 1")));
  page += ProfileGamesTable(index, 0);
  page += MonthsHtml(months_[index]);

  std::vector<std::pair<uint32_t, Tally>> weapons(f.weapons.begin(), f.weapons.end());
  std::sort(weapons.begin(), weapons.end(), [&](const auto& a, const auto& b) {
    return a.second.kills != b.second.kills
               ? a.second.kills > b.second.kills
               : KeyRaw(KeyKind::Weapon, a.first) < KeyRaw(KeyKind::Weapon, b.first);
  });
  page +=
      "<h2 id=\"weapons\">Weapons</h2>\n<div class=\"scroll\"><table class=\"data\">\n<thead>"
      "<tr><th>Weapon<th>Kills<th>Head shots<th>Killed by it</thead>\n<tbody>\n";
  for (const auto& [id, t] : weapons) {
    Add(page, "<tr><th>", KeyLink(KeyKind::Weapon, id, "../"), "<td>", Num(t.kills), "<td>",
        Num(t.head_shots), "<td>", Num(t.deaths), "\n");
  }
  page += "</tbody></table></div>\n";

  page += "<h2 id=\"body\">Body locations</h2>\n<div class=\"figures\">" +
          BodyFigure(f, true, "Where his kills hit") +
          BodyFigure(f, false, "Where he was hit when killed") + "</div>\n";

  Add(page, "<h2 id=\"maps\">Maps</h2>\n", TallyTable(KeyKind::Map, f.maps, "Map"),
      "<h2 id=\"gametypes\">Game types</h2>\n",
      TallyTable(KeyKind::GameType, f.game_types, "Game type"));

  std::vector<std::pair<PersonIndex, std::pair<uint32_t, uint32_t>>> opponents;
  for (const auto& [who, counts] : f.opponents) {
    if (who != index && Shown(who)) opponents.emplace_back(who, counts);
  }
  std::sort(opponents.begin(), opponents.end(), [](const auto& a, const auto& b) {
    const uint32_t x = a.second.first + a.second.second, y = b.second.first + b.second.second;
    return x != y ? x > y : a.first < b.first;
  });
  Add(page, "<h2 id=\"opponents\">Opponents</h2>\n");
  if (opponents.size() > kShownOpponents) {
    Add(page, "<p class=\"hint\">The ", Num(kShownOpponents), " he met most of ",
        Num(opponents.size()), ".</p>\n");
    opponents.resize(kShownOpponents);
  }
  page +=
      "<div class=\"scroll\"><table class=\"data\">\n<thead><tr><th>Opponent<th>He killed "
      "him<th>Killed by him</thead>\n<tbody>\n";
  for (const auto& [who, counts] : opponents) {
    Add(page, "<tr><th>", PersonLink(who, "../"), "<td>", Num(counts.first), "<td>",
        Num(counts.second), "\n");
  }
  page += "</tbody></table></div>\n" + SitePageFoot(frame_, "../", true);
  return page;
}

std::vector<LineChartPoint> ModelPages::LastOf(const std::vector<LineChartPoint>& points,
                                               size_t count) {
  return {points.end() - static_cast<std::ptrdiff_t>(std::min(count, points.size())), points.end()};
}

ListPages ModelPages::ProfileGamePages(PersonIndex index) const {
  return {facts_[index].games.size(), kProfileGamesPerPage};
}

std::string ModelPages::ProfileGamesTable(PersonIndex index, size_t n) const {
  const std::vector<const Game*>& games = facts_[index].games;
  const ListPages pages = ProfileGamePages(index);
  const std::string pager =
      PagerHtml(model_.people[index].id, n, pages.count(), "Pages of his games");
  std::string out = pager;
  out +=
      "<div class=\"scroll\"><table class=\"data "
      "pg\">\n<thead><tr><th>Game<th>Started<th>Map<th>Game "
      "type<th>Kills<th>Deaths<th>K/D<th>Time played</thead>\n<tbody>\n";
  for (size_t i = pages.first(n); i < pages.end(n); ++i) {
    const Game& game = *games[games.size() - 1 - i];
    const Participant* part = model_.PlayerIn(game, index);
    Add(out, "<tr><th>", GameLink(game, "../"), "<td>", StartedHtml(game, zone_), "<td>",
        KeyText(KeyKind::Map, keys_.Map(game)), "<td>", KeyText(KeyKind::GameType, game.game_type),
        "<td>", Num(part->kills), "<td>", Num(part->deaths), "<td>",
        KdText(part->kills, part->deaths), "<td>", Duration(part->played_seconds), "\n");
  }
  out += "</tbody></table></div>\n" + pager;
  return out;
}

std::string ModelPages::ProfileGamesPage(PersonIndex index, size_t n) const {
  const Person& p = model_.people[index];
  std::string page =
      Head(HtmlText(WithoutColourCodes(p.display)) + ", games page " + Num(n + 1), "../");
  Add(page, "<h1 class=\"name\"><span class=\"coloured\">", PersonLink(index, "../"),
      "</span></h1>\n<h2 id=\"games\">Games, page ", Num(n + 1), " of ",
      Num(ProfileGamePages(index).count()), "</h2>\n", ProfileGamesTable(index, n),
      SitePageFoot(frame_, "../", true));
  return page;
}

std::string ModelPages::BodyFigure(const PersonFacts& f, bool given,
                                   std::string_view caption) const {
  std::unordered_map<std::string_view, double> counts;
  double total = 0;
  for (const auto& [location, c] : f.locations) {
    const double n = given ? c.first : c.second;
    counts[texts_.Text(location)] += n;
    total += n;
  }
  return BodyFigureSvg(
      [&](std::string_view key) {
        auto it = counts.find(key);
        return it == counts.end() || total == 0 ? 0.0 : 100 * it->second / total;
      },
      friendly_, caption);
}

}  // namespace barvik::site_pages
