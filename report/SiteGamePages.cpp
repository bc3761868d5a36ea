// A game's page: its result, its players, kills over time, objectives and awards.
#include "report/SiteModelPages.h"

namespace barvik::site_pages {

PersonIndex ModelPages::TopFragger(const Game& game) const {
  const Participant* best = nullptr;
  for (const Participant& p : game.players) {
    if (Shown(p.person) && p.kills > 0 && (best == nullptr || p.kills > best->kills)) best = &p;
  }
  return best == nullptr ? kNoPerson : best->person;
}

std::string ModelPages::ResultHtml(const Game& game, std::string_view root) const {
  if (game.winner_team != GameTexts::kNoTeam)
    return Capitalised(GameTexts::Team(game.winner_team)) + " won";
  if (Shown(game.winner_person)) return PersonLink(game.winner_person, root) + " won";
  return "No winner";
}

std::string ModelPages::GameAwards(size_t index) const {
  if (index >= figures_.awards.games.size()) return "";
  std::string out;
  for (const AwardKind kind : {AwardKind::Honour, AwardKind::Shame}) {
    std::vector<std::pair<std::string, std::string>> cards;
    for (size_t a = 0; a < kAwardCount; ++a) {
      const auto award = static_cast<Award>(a);
      const AwardHolder& h = figures_.awards.games[index][a];
      if (KindOf(award) != kind || !Shown(h.person)) continue;
      std::string card = PersonLink(h.person, "../") + " <span class=\"num\">" +
                         AwardFigure(award, h.value) + "</span>";
      if (index < figures_.awards.runners_up.size()) {
        const AwardHolder& r = figures_.awards.runners_up[index][a];
        if (Shown(r.person)) {
          Add(card, "<br><small>runner-up ", PersonLink(r.person, "../"), " ",
              AwardFigure(award, r.value), "</small>");
        }
      }
      cards.emplace_back(AwardLink(award, "../"), std::move(card));
    }
    if (cards.empty()) continue;
    out += kind == AwardKind::Honour ? "<h2>Honours</h2>\n" : "<h2>Shames</h2>\n";
    out += Cards(cards, true);
  }
  return out;
}

std::string ModelPages::TimelineSvg(const Game& game) {
  const uint32_t minutes = game.seconds / 60 + 1;
  // At most 120 bars: longer games put several minutes into one.
  const uint32_t per_bar = (minutes + 119) / 120;
  const uint32_t bars = (minutes + per_bar - 1) / per_bar;
  std::vector<uint32_t> counts(bars);
  for (const GameKill& k : game.kills) {
    counts[std::min(bars - 1, k.at / 60 / per_bar)] += 1;
  }
  // Grid lines at round values: a step of 1, 2 or 5 times a power of ten, at most four
  // steps up to the first line at or above the highest bar, which the scale then ends at.
  const uint32_t most = std::max<uint32_t>(1, *std::max_element(counts.begin(), counts.end()));
  uint32_t step = 1;
  for (uint32_t power = 1; (most + step - 1) / step > 4; power *= 10) {
    for (uint32_t factor : {1u, 2u, 5u}) {
      step = factor * power;
      if ((most + step - 1) / step <= 4) break;
    }
  }
  const uint32_t lines = (most + step - 1) / step;
  const uint32_t high = lines * step;
  const double left = 36, right = 628, upper = 14, lower = 196;
  const double width = (right - left) / bars;
  // The caption says what one bar holds.
  const std::string per = per_bar == 1 ? "minute" : Num(per_bar) + " minutes";
  std::string out;
  Add(out,
      "<figure class=\"chart\"><svg viewBox=\"0 0 640 230\" role=\"img\" aria-label=\"Kills per ",
      per, "\">");
  for (uint32_t t = 0; t <= lines; ++t) {
    const double y = lower - (lower - upper) * t / lines;
    Add(out, "<line class=\"grid\" x1=\"36\" x2=\"628\" y1=\"", Format("%.1f", y), "\" y2=\"",
        Format("%.1f", y), "\"/><text class=\"axis\" x=\"30\" y=\"", Format("%.1f", y),
        "\" dy=\"4\" text-anchor=\"end\">", Num(uint64_t{t} * step), "</text>");
  }
  // One path for all bars keeps a long game's page small.
  std::string bars_path;
  for (uint32_t i = 0; i < bars; ++i) {
    if (counts[i] == 0) continue;
    const double h = (lower - upper) * counts[i] / high;
    const std::string height = Format("%.0f", std::max(1.0, h));
    Add(bars_path, "M", Format("%.0f", left + i * width + width * 0.1), " 196v-", height, "h",
        Format("%.0f", std::max(1.0, width * 0.8)), "v", height, "z");
  }
  Add(out, "<path class=\"bar\" d=\"", bars_path, "\"/>");
  const uint32_t every = std::max<uint32_t>(1, (bars + 9) / 10);
  for (uint32_t i = 0; i < bars; i += every) {
    Add(out, "<text class=\"axis\" x=\"", Format("%.1f", left + (i + 0.5) * width),
        "\" y=\"212\" text-anchor=\"middle\">", Num(i * per_bar + 1), "</text>");
  }
  Add(out,
      "<text class=\"axis\" x=\"332\" y=\"228\" text-anchor=\"middle\">minute</text></svg>"
      "<figcaption>Kills per ",
      per, " of the game</figcaption></figure>\n");
  return out;
}

std::string ModelPages::ObjectivesTable(const Game& game) const {
  const std::vector<uint32_t> words = ActionOrder(game.actions);
  std::string out =
      "<h2>Objectives</h2>\n<div class=\"scroll\"><table class=\"data\">\n<thead><tr>"
      "<th>Name";
  for (uint32_t word : words) Add(out, "<th>", ActionHtml(texts_.Setting(word)));
  out += "</thead>\n<tbody>\n";
  for (const Participant& p : game.players) {
    if (!Shown(p.person) || p.actions.empty()) continue;
    Add(out, "<tr><th>", PersonLink(p.person, "../"));
    for (uint32_t word : words) Add(out, "<td>", Num(ActionCountOf(p.actions, word)));
    out += "\n";
  }
  out += "</tbody></table></div>\n";
  return out;
}

std::string ModelPages::GamePageHtml(const Game& game) const {
  const std::string server = std::string(texts_.Setting(game.server));
  const std::string title = "Game " + Num(game.number);
  std::string page = SitePageHead(title + " - " + TitleOf(server), "../", ServerHtml(server));
  Add(page, "<h1>", title, ": ", KeyHtml(KeyKind::Map, keys_.Map(game)),
      game.warmup ? " <small>warm-up</small>" : "", "</h1>\n");
  page += Cards({{"Map", KeyLink(KeyKind::Map, keys_.Map(game), "../")},
                 {"Game type", KeyLink(KeyKind::GameType, game.game_type, "../")},
                 {"Started", game.started_at != kNoDate ? StartedHtml(game, zone_) : "unknown"},
                 {"Length", Duration(game.seconds)},
                 {"How it ended", std::string(EndingWords(game.ending))},
                 {"Result", ResultHtml(game, "../")}},
                true);
  if (game.rounds > 1) {
    std::string wins;
    for (size_t code = 1; code < game.round_wins.size(); ++code) {
      if (game.round_wins[code] == 0) continue;
      Add(wins, wins.empty() ? "" : ", ", Capitalised(GameTexts::Team(static_cast<uint32_t>(code))),
          " ", Num(game.round_wins[code]));
    }
    page +=
        Cards({{"Rounds", Num(game.rounds)}, {"Round wins", wins.empty() ? "None" : wins}}, true);
  }

  const PersonIndex best = TopFragger(game);
  std::vector<std::pair<std::string, std::string>> honours;
  if (best != kNoPerson) {
    honours.emplace_back("Top fragger", PersonLink(best, "../") + " <span class=\"num\">" +
                                            Num(model_.PlayerIn(game, best)->kills) +
                                            " kills</span>");
  }
  if (!honours.empty()) page += Cards(honours, true);
  const size_t game_index = static_cast<size_t>(&game - model_.games.data());
  page += GameAwards(game_index);
  // Each player's change of skill, when the game was rated.
  std::unordered_map<std::string_view, const RatingChange*> changes;
  if (game_index < figures_.ratings.changes.size()) {
    for (const RatingChange& c : figures_.ratings.changes[game_index]) changes[c.person] = &c;
  }

  // A free-for-all has one scoreboard, by score; a team game one per team, by the team each
  // person spent most time on.
  std::array<std::vector<const Participant*>, 4> teams;
  for (const Participant& p : game.players) {
    if (!Shown(p.person)) continue;
    size_t team = 0;
    for (size_t code = 1; code < p.team_seconds.size() && !game.ffa; ++code) {
      if (p.team_seconds[code] > p.team_seconds[team]) team = code;
    }
    teams[team].push_back(&p);
  }
  for (size_t code : {size_t{1}, size_t{2}, size_t{3}, size_t{0}}) {
    if (teams[code].empty()) continue;
    const std::string name =
        code == GameTexts::kNoTeam
            ? (teams[1].empty() && teams[2].empty() ? std::string("Players")
                                                    : std::string("Without a team"))
            : Capitalised(GameTexts::Team(static_cast<uint32_t>(code)));
    Add(page, "<h2>", name, "</h2>\n<div class=\"scroll\"><table class=\"data fig sk\">\n",
        "<thead><tr><th>Name",
        game.ffa ? "<th title=\"kills, less a point for each suicide and death by the "
                   "world\">Score"
                 : "",
        kFigureHeads, "<th>Skill change</thead>\n<tbody>\n");
    for (const Participant* p : teams[code]) {
      const auto change = changes.find(model_.people[p->person].id);
      Add(page, "<tr><th>", PersonLink(p->person, "../"),
          game.ffa ? "<td>" + std::to_string(FreeForAllScore(*p)) : "",
          FigureCells(p->kills, p->deaths, p->team_kills, p->suicides, p->head_shots,
                      p->damage_dealt, p->played_seconds),
          "<td>");
      if (change != changes.end()) {
        Add(page, "<span class=\"num\">",
            ChangeText(change->second->after - change->second->before), "</span> <small>to ",
            SkillText(change->second->after), "</small>");
      }
      page += "\n";
    }
    page += "</tbody></table></div>\n";
  }
  page += NamelessTable(game);
  if (!game.actions.empty()) page += ObjectivesTable(game);
  page += "<h2>Kills over time</h2>\n" + TimelineSvg(game);
  page += SitePageFoot(frame_, "../", false);
  return page;
}

std::string ModelPages::NamelessTable(const Game& game) const {
  if (game.nameless.empty()) return "";
  std::string page;
  Add(page,
      "<h2>Without a name of their own</h2>\n<p class=\"hint\">Players under a default name "
      "or a blank one, each stay a row: they are no one in particular, so they have no "
      "profile, no ranking and no awards.</p>\n<div class=\"scroll\"><table class=\"data "
      "fig\">\n<thead><tr><th>Name",
      kFigureHeads, "</thead>\n<tbody>\n");
  for (const NamelessPlayer& row : game.nameless) {
    const std::string_view name = texts_.Text(row.name);
    const Participant& p = row.figures;
    Add(page, "<tr><th>",
        ComparedName(name).empty()
            ? std::string("<i>a blank name</i>")
            : "<span class=\"coloured\">" + ColouredNameHtml(name) + "</span>",
        FigureCells(p.kills, p.deaths, p.team_kills, p.suicides, p.head_shots, p.damage_dealt,
                    p.seconds),
        "\n");
  }
  page += "</tbody></table></div>\n";
  return page;
}

}  // namespace barvik::site_pages
