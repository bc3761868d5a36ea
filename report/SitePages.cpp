#include "report/SitePages.h"

#include "report/SiteModelPages.h"

namespace barvik::site_pages {

void ModelPages::WriteAll(const SitePageSink& sink, const SitePageKeep& keep) {
  sink("index.html", Home());
  PeoplePages(sink);
  GamesPages(sink);
  RankingPages(sink);
  sink("awards.html", AwardsPage());
  sink("maps.html", KeyPage(KeyKind::Map));
  sink("weapons.html", KeyPage(KeyKind::Weapon));
  sink("gametypes.html", KeyPage(KeyKind::GameType));
  if (keep) GatherFingerprints();
  for (PersonIndex p = 0; p < model_.people.size(); ++p) {
    if (!Shown(p)) continue;
    const std::string path = PersonPage(model_.people[p]);
    const uint64_t fingerprint = keep ? ProfileFingerprint(p) : 0;
    if (!keep || !keep(path, fingerprint)) sink(path, Profile(p));
    // The further pages of his games, made from what his profile is made from.
    const size_t pages = ProfileGamePages(p).count();
    for (size_t page = 1; page < pages; ++page) {
      const std::string more = "people/" + ListPageFile(model_.people[p].id, page);
      if (!keep || !keep(more, fingerprint + page)) sink(more, ProfileGamesPage(p, page));
    }
  }
  for (const Game& game : model_.games) {
    if (!HasGamePage(game)) continue;
    const std::string path = GamePage(game);
    if (!keep || !keep(path, GameFingerprint(game))) sink(path, GamePageHtml(game));
  }
}

void ModelPages::Gather() {
  for (RankedPerson& r : ShownRanking(model_, figures_.ratings.history)) {
    ranked_count_ += r.rating.rank > 0;
    ratings_.emplace(r.person, std::move(r.rating));
  }
  GatherAwardHolders();
  facts_.resize(model_.people.size());
  {
    std::unordered_map<std::string_view, PersonIndex> by_id;
    for (PersonIndex p = 0; p < model_.people.size(); ++p) by_id.emplace(model_.people[p].id, p);
    for (size_t g = 0; g < model_.games.size() && g < figures_.ratings.changes.size(); ++g) {
      for (const RatingChange& c : figures_.ratings.changes[g]) {
        const auto it = by_id.find(c.person);
        if (it != by_id.end()) {
          facts_[it->second].skill.push_back({Num(model_.games[g].number), c.after});
        }
      }
    }
  }
  for (const Game& game : model_.games) {
    const uint32_t map = keys_.Map(game);
    for (const Participant& part : game.players) {
      PersonFacts& f = facts_[part.person];
      f.games.push_back(&game);
      for (auto* tally : {&f.maps[map], &f.game_types[game.game_type]}) {
        ++tally->games;
        tally->kills += part.kills;
        tally->deaths += part.deaths;
        tally->head_shots += part.head_shots;
        tally->seconds += part.played_seconds;
      }
      if (Shown(part.person)) {
        maps_[map].kills[part.person] += part.kills;
        types_[game.game_type].kills[part.person] += part.kills;
      }
    }
    for (auto* key : {&maps_[map], &types_[game.game_type]}) ++key->total.games;
    for (const GameKill& kill : game.kills) {
      const uint32_t weapon = keys_.Weapon(game, kill.weapon);
      const bool by_person = kill.attacker != kNoPerson && kill.kind != GameKill::Kind::Suicide;
      const bool head = texts_.Text(kill.location) == "head";
      if (kill.kind == GameKill::Kind::Kill) {
        for (auto* key : {&maps_[map], &types_[game.game_type], &weapons_[weapon]}) {
          ++key->total.kills;
          key->total.head_shots += head;
        }
        if (Shown(kill.attacker)) ++weapons_[weapon].kills[kill.attacker];
      }
      if (by_person) {
        PersonFacts& a = facts_[kill.attacker];
        Tally& w = a.weapons[weapon];
        ++w.kills;
        w.head_shots += head;
        ++a.locations[kill.location].first;
        ++a.opponents[kill.victim].first;
        ++facts_[kill.victim].opponents[kill.attacker].second;
      }
      // A kill by a nameless player has no attacker: no fight of a person.
      if (!game.warmup && kill.kind == GameKill::Kind::Kill && kill.attacker != kNoPerson &&
          kill.attacker != kill.victim) {
        ++facts_[kill.attacker].fights[kill.victim].first;
        ++facts_[kill.victim].fights[kill.attacker].second;
      }
      PersonFacts& v = facts_[kill.victim];
      ++v.weapons[weapon].deaths;
      ++v.locations[kill.location].second;
    }
  }
}

void ModelPages::GatherFingerprints() {
  links_.resize(model_.people.size());
  std::unordered_map<std::string_view, PersonIndex> by_id;
  for (PersonIndex p = 0; p < model_.people.size(); ++p) {
    const Person& person = model_.people[p];
    links_[p] = StableHash().Text(person.id).Text(person.display).Number(person.hidden).value();
    by_id.emplace(person.id, p);
  }
  skill_points_.assign(model_.people.size(), StableHash());
  for (size_t g = 0; g < model_.games.size() && g < figures_.ratings.changes.size(); ++g) {
    for (const RatingChange& c : figures_.ratings.changes[g]) {
      const auto it = by_id.find(c.person);
      if (it != by_id.end()) skill_points_[it->second].Number(model_.games[g].number).Real(c.after);
    }
  }
}

void ModelPages::HashActions(StableHash& h, const std::vector<ActionCount>& actions) const {
  h.Number(actions.size());
  for (const ActionCount& a : actions) h.Text(texts_.Setting(a.word)).Number(a.count);
}

std::vector<uint32_t> ModelPages::ActionOrder(const std::vector<ActionCount>& actions) const {
  std::vector<ActionCount> sorted = actions;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const ActionCount& a, const ActionCount& b) { return a.count > b.count; });
  std::vector<uint32_t> words;
  words.reserve(sorted.size());
  for (const ActionCount& a : sorted) words.push_back(a.word);
  return words;
}

uint32_t ModelPages::ActionCountOf(const std::vector<ActionCount>& actions, uint32_t word) {
  for (const ActionCount& a : actions) {
    if (a.word == word) return a.count;
  }
  return 0;
}

uint64_t ModelPages::GameFingerprint(const Game& game) const {
  StableHash h;
  h.Number(kPageFormatVersion).Number(friendly_.fingerprint()).Text(frame_.build_text);
  if (!LogEncoding().is_default()) h.Text(LogEncoding().charset());
  h.Number(game.number).Number(game.warmup).Text(KeyRaw(KeyKind::Map, keys_.Map(game)));
  h.Number(static_cast<uint64_t>(game.started_at)).Number(static_cast<uint64_t>(game.time_quality));
  h.Text(zone_.name());
  h.Text(KeyRaw(KeyKind::GameType, game.game_type)).Number(game.seconds);
  h.Number(static_cast<uint64_t>(game.ending)).Number(game.winner_team);
  h.Number(Link(game.winner_person)).Text(texts_.Setting(game.server));
  h.Number(game.ffa).Number(game.rounds);
  for (uint32_t wins : game.round_wins) h.Number(wins);
  h.Number(game.players.size());
  for (const Participant& p : game.players) {
    h.Number(Link(p.person)).Number(p.kills).Number(p.deaths).Number(p.team_kills);
    h.Number(p.suicides).Number(p.head_shots).Number(p.damage_dealt).Number(p.played_seconds);
    h.Number(p.world_deaths);
    for (uint32_t seconds : p.team_seconds) h.Number(seconds);
    HashActions(h, p.actions);
  }
  h.Number(game.nameless.size());
  for (const NamelessPlayer& row : game.nameless) {
    const Participant& p = row.figures;
    h.Text(texts_.Text(row.name)).Number(p.kills).Number(p.deaths).Number(p.team_kills);
    h.Number(p.suicides).Number(p.head_shots).Number(p.damage_dealt).Number(p.seconds);
  }
  h.Number(game.kills.size());
  for (const GameKill& k : game.kills) {
    h.Number(k.at).Number(static_cast<uint64_t>(k.kind)).Number(Link(k.attacker));
    h.Number(Link(k.victim));
  }
  const size_t index = static_cast<size_t>(&game - model_.games.data());
  if (index < figures_.ratings.changes.size()) {
    h.Number(figures_.ratings.changes[index].size());
    for (const RatingChange& c : figures_.ratings.changes[index]) {
      h.Text(c.person).Real(c.before).Real(c.after);
    }
  }
  if (index < figures_.awards.games.size()) {
    for (const AwardHolder& holder : figures_.awards.games[index]) {
      h.Number(Link(holder.person)).Number(holder.value);
    }
  }
  if (index < figures_.awards.runners_up.size()) {
    for (const AwardHolder& holder : figures_.awards.runners_up[index]) {
      h.Number(Link(holder.person)).Number(holder.value);
    }
  }
  return h.value();
}

uint64_t ModelPages::ProfileFingerprint(PersonIndex index) const {
  const Person& p = model_.people[index];
  const PersonFacts& f = facts_[index];
  StableHash h;
  h.Number(kPageFormatVersion).Number(friendly_.fingerprint()).Text(frame_.build_text);
  if (!LogEncoding().is_default()) h.Text(LogEncoding().charset());
  h.Text(frame_.server_name).Number(Link(index)).Number(p.spellings.size());
  // His dates: first and last seen, his games by month and each of his games' start.
  h.Text(zone_.name()).Number(static_cast<uint64_t>(p.first_seen));
  h.Number(static_cast<uint64_t>(p.last_seen)).Number(months_[index].size());
  for (const MonthTally& m : months_[index]) {
    h.Number(static_cast<uint64_t>(m.year)).Number(m.month).Number(m.games).Number(m.kills);
    h.Number(m.deaths);
  }
  for (const Game* g : f.games) {
    h.Number(static_cast<uint64_t>(g->started_at)).Number(static_cast<uint64_t>(g->time_quality));
  }
  for (const Spelling& s : p.spellings) h.Text(texts_.Text(s.raw)).Number(s.count);
  for (uint64_t figure :
       {uint64_t{p.games}, uint64_t{p.kills}, uint64_t{p.deaths}, uint64_t{p.team_kills},
        uint64_t{p.suicides}, uint64_t{p.world_deaths}, uint64_t{p.head_shots}, p.damage_dealt,
        p.damage_taken, p.played_seconds}) {
    h.Number(figure);
  }
  HashActions(h, p.actions);
  h.Number(static_cast<uint64_t>(ranked_count_));
  h.Real(figures_.ratings.history.options().provisional_plus_minus);
  if (const auto it = ratings_.find(index); it != ratings_.end()) {
    const PersonRating& r = it->second;
    h.Number(static_cast<uint64_t>(r.rank)).Number(r.inactive).Number(r.provisional);
    h.Number(static_cast<uint64_t>(r.games)).Real(r.shown).Real(r.plus_minus);
    for (int64_t count :
         {r.record.fights_won, r.record.fights_lost, r.record.results_won, r.record.results_lost}) {
      h.Number(static_cast<uint64_t>(count));
    }
  }
  h.Number(skill_points_[index].value());
  for (size_t a = 0; a < kAwardCount && index < figures_.awards.people.size(); ++a) {
    const uint32_t value = figures_.awards.people[index][a];
    if (!HasFigure(static_cast<Award>(a), value)) continue;
    const bool holds =
        std::find(holders_[a].begin(), holders_[a].end(), index) != holders_[a].end();
    h.Number(a).Number(value).Number(holds).Number(best_[a]);
  }
  h.Number(f.games.size());
  for (const Game* game : f.games) {
    const Participant* part = model_.PlayerIn(*game, index);
    h.Number(game->number).Text(KeyRaw(KeyKind::Map, keys_.Map(*game)));
    h.Text(KeyRaw(KeyKind::GameType, game->game_type));
    h.Number(part->kills).Number(part->deaths).Number(part->played_seconds);
  }
  auto tally = [this](KeyKind kind) {
    return [this, kind](StableHash e, uint32_t id, const Tally& t) {
      return e.Text(KeyRaw(kind, id))
          .Number(t.games)
          .Number(t.kills)
          .Number(t.deaths)
          .Number(t.head_shots)
          .Number(t.seconds);
    };
  };
  h.Number(Unordered(f.weapons, tally(KeyKind::Weapon)));
  h.Number(Unordered(f.maps, tally(KeyKind::Map)));
  h.Number(Unordered(f.game_types, tally(KeyKind::GameType)));
  h.Number(Unordered(f.locations, [this](StableHash e, uint32_t id, const auto& counts) {
    return e.Text(texts_.Text(id)).Number(counts.first).Number(counts.second);
  }));
  h.Number(Unordered(f.opponents, [this](StableHash e, PersonIndex who, const auto& counts) {
    return e.Number(who).Number(Link(who)).Number(counts.first).Number(counts.second);
  }));
  h.Number(Unordered(f.fights, [this](StableHash e, PersonIndex who, const auto& counts) {
    return e.Number(who).Number(Link(who)).Number(counts.first).Number(counts.second);
  }));
  return h.value();
}

std::string ModelPages::Head(std::string_view title, std::string_view root) const {
  return SitePageHead(std::string(title) + " - " + TitleOf(frame_.server_name), root,
                      ServerHtml(frame_.server_name));
}

std::string ModelPages::PersonLink(PersonIndex p, std::string_view root) const {
  const Person& person = model_.people[p];
  std::string out;
  Add(out, "<a href=\"", root, PersonPage(person), "\">", ColouredNameHtml(person.display), "</a>");
  return out;
}

std::string ModelPages::GameLink(const Game& game, std::string_view root) const {
  if (!HasGamePage(game)) return Num(game.number);
  std::string out;
  Add(out, "<a href=\"", root, GamePage(game), "\">", Num(game.number), "</a>");
  return out;
}

std::string ModelPages::KeyRaw(KeyKind kind, uint32_t id) const {
  return kind == KeyKind::GameType ? std::string(texts_.Setting(id)) : keys_.Raw(id);
}

const std::string* ModelPages::KeyFriendly(KeyKind kind, uint32_t id) const {
  return kind == KeyKind::GameType ? friendly_.Find(NameKind::GameType, texts_.Setting(id))
                                   : keys_.Friendly(id);
}

std::string ModelPages::KeyHtml(KeyKind kind, uint32_t id) const {
  const std::string raw = KeyRaw(kind, id);
  const std::string* nice = KeyFriendly(kind, id);
  if (nice == nullptr) return raw.empty() ? std::string("(none)") : HtmlText(raw);
  std::string out;
  Add(out, "<span title=\"",
      kind == KeyKind::GameType ? HtmlText(raw) : HtmlUtf8(keys_.Variants(id)), "\">",
      HtmlUtf8(*nice), "</span>");
  return out;
}

std::string ModelPages::KeyDetails(KeyKind kind, uint32_t id) const {
  if (kind != KeyKind::Weapon || keys_.Details(id).empty()) return "";
  return "<br><small>" + HtmlUtf8(keys_.Details(id)) + "</small>";
}

std::string ModelPages::KeyText(KeyKind kind, uint32_t id) const {
  const std::string raw = KeyRaw(kind, id);
  const std::string* nice = KeyFriendly(kind, id);
  if (nice == nullptr) return raw.empty() ? std::string("(none)") : HtmlText(raw);
  return HtmlUtf8(*nice);
}

std::string ModelPages::KeyLink(KeyKind kind, uint32_t id, std::string_view root) const {
  static constexpr std::array<std::string_view, 3> kFiles = {"maps.html", "weapons.html",
                                                             "gametypes.html"};
  std::string out;
  Add(out, "<a href=\"", root, kFiles[static_cast<size_t>(kind)], "#k-",
      HtmlText(PlayerFilePrefix(KeyRaw(kind, id))), "\">", KeyHtml(kind, id), "</a>");
  return out;
}

std::string ModelPages::Cards(const std::vector<std::pair<std::string, std::string>>& cards,
                              bool words) {
  std::string out = words ? "<dl class=\"cards words\">" : "<dl class=\"cards\">";
  for (const auto& [label, value] : cards) Add(out, "<div><dt>", label, "<dd>", value, "</div>");
  out += "</dl>\n";
  return out;
}

std::string ModelPages::FigureCells(uint64_t kills, uint64_t deaths, uint64_t team_kills,
                                    uint64_t suicides, uint64_t head_shots, uint64_t damage,
                                    uint64_t seconds) {
  std::string out;
  Add(out, "<td>", Num(kills), "<td>", Num(deaths), "<td>", KdText(kills, deaths), "<td>",
      Num(team_kills), "<td>", Num(suicides), "<td>", Num(head_shots), "<td>", Num(damage), "<td>",
      Duration(seconds));
  return out;
}

std::pair<std::string, std::string> ModelPages::RankCard(PersonIndex index) const {
  const auto it = ratings_.find(index);
  if (it == ratings_.end()) return {"Rank", "no rated game"};
  const PersonRating& r = it->second;
  const double bound = figures_.ratings.history.options().provisional_plus_minus;
  if (r.rank > 0) return {"Rank", Num(r.rank) + " of " + Num(ranked_count_)};
  if (r.inactive) return {"Rank", "not seen lately"};
  return {"Provisional", "ranked at &plusmn;" + SkillText(bound) + " or less"};
}

}  // namespace barvik::site_pages

namespace barvik {

using namespace site_pages;  // NOLINT(google-build-using-namespace): the pages' own helpers

std::string SitePageStart(std::string_view title, std::string_view root,
                          std::string_view server_html) {
  std::string out;
  Add(out,
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"color-scheme\" content=\"light dark\">\n<title>",
      title, "</title>\n<link rel=\"stylesheet\" href=\"", root,
      "site.css\">\n</head>\n<body>\n<header class=\"top\"><a class=\"server\" href=\"", root,
      "index.html\">", server_html, "</a>\n<nav>");
  return out;
}

std::string SitePageHead(std::string_view title, std::string_view root,
                         std::string_view server_html) {
  std::string out = SitePageStart(title, root, server_html);
  Add(out, "<a href=\"", root, "index.html\">Home</a> <a href=\"", root,
      "people.html\">People</a> <a href=\"", root, "games.html\">Games</a> <a href=\"", root,
      "ranking.html\">Ranking</a> <a href=\"", root, "awards.html\">Awards</a> <a href=\"", root,
      "maps.html\">Maps</a> <a href=\"", root, "weapons.html\">Weapons</a> <a href=\"", root,
      "gametypes.html\">Game types</a> <a href=\"", root,
      "../index.html\">Classic pages</a></nav></header>\n<main>\n");
  return out;
}

std::string SitePageFoot(const SiteFrame& frame, std::string_view root, bool time_stamp) {
  std::string out = "</main>\n<footer>";
  if (time_stamp)
    Add(out, "Generated ", HtmlText(frame.generated), " with ");
  else
    out += "Made with ";
  Add(out, "Barvik build ", HtmlText(frame.build_text), " &middot; all numbers as JSON: <a href=\"",
      root, "people.json\">people</a>, <a href=\"", root, "games.json\">games</a>, <a href=\"",
      root, "ranking.json\">ranking</a>, <a href=\"", root,
      "stats.json\">per name</a></footer>\n<script src=\"", root,
      "site.js\"></script>\n</body>\n</html>\n");
  return out;
}

std::string BodyFigureSvg(const std::function<double(std::string_view)>& share,
                          const FriendlyNames& friendly, std::string_view caption) {
  double high = 0;
  std::array<double, kParts.size()> values{};
  for (size_t i = 0; i < kParts.size(); ++i) {
    values[i] = share(kParts[i].key);
    high = std::max(high, values[i]);
  }
  std::string out;
  Add(out, "<figure class=\"body\"><svg viewBox=\"0 0 240 430\" role=\"img\" aria-label=\"",
      HtmlText(caption), "\">");
  for (size_t i = 0; i < kParts.size(); ++i) {
    const Part& p = kParts[i];
    size_t step = 0;
    if (high > 0) step = static_cast<size_t>(std::lround(values[i] / high * (kHeat.size() - 1)));
    const std::string_view fill = values[i] > 0 ? kHeat[step] : std::string_view("#d0d4da");
    const bool dark = values[i] > 0 && step >= 3;
    const std::string* nice = friendly.Find(NameKind::Location, p.key);
    const std::string label = nice != nullptr ? HtmlUtf8(*nice) : HtmlText(p.key);
    // Corners and the label colour come from the style sheet ("d": a dark fill, white text).
    Add(out, dark ? "<g class=\"d\"><title>" : "<g><title>", label, ": ", Format("%.1f", values[i]),
        "%</title><rect x=\"", Num(p.x), "\" y=\"", Num(p.y), "\" width=\"", Num(p.w),
        "\" height=\"", Num(p.h), p.key == "head" ? "\" rx=\"26" : "", "\" fill=\"", fill,
        "\"/><text x=\"", Num(p.x + p.w / 2), "\" y=\"", Num(p.y + p.h / 2 + 4), "\">",
        Format("%.0f", values[i]), "</text></g>");
  }
  Add(out, "<text x=\"120\" y=\"422\" class=\"note\">no location: ", Format("%.0f", share("none")),
      "%</text></svg><figcaption>", HtmlText(caption),
      ", per cent; darker is more</figcaption></figure>\n");
  return out;
}

namespace {

// 1, 2, 2.5 or 5 times a power of ten, at least `value` (> 0).
double RoundUp(double value) {
  const double magnitude = std::pow(10.0, std::floor(std::log10(value)));
  double top = magnitude;
  for (double f : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    top = f * magnitude;
    if (top >= value) break;
  }
  return top;
}

}  // namespace

std::string LineChartSvg(const std::vector<LineChartPoint>& points, std::string_view x_caption,
                         std::string_view caption, std::optional<double> reference) {
  if (points.empty()) return "";
  double high = reference.value_or(1), low = 0;
  for (const LineChartPoint& p : points) {
    if (p.value) {
      high = std::max(high, *p.value);
      low = std::min(low, *p.value);
    }
  }
  // The axis fits the data: a top (and a bottom under 0) of 1, 2, 2.5 or 5 times a power of
  // ten beyond the highest (and the lowest) value.
  double top = RoundUp(high), bottom = 0;
  if (low < 0) {
    // Four grid steps of a round size, from a multiple of it under the lowest value.
    for (double step = RoundUp((std::max(high, 0.0) - low) / 4);; step = RoundUp(step * 1.01)) {
      bottom = std::floor(low / step) * step;
      top = bottom + 4 * step;
      if (top >= high) break;
    }
  }
  const double left = 44, right = 628, upper = 14, lower = 206;
  const size_t n = points.size();
  auto x_of = [&](size_t i) {
    return n == 1 ? (left + right) / 2 : left + (right - left) * static_cast<double>(i) / (n - 1);
  };
  auto y_of = [&](double v) { return lower - (lower - upper) * (v - bottom) / (top - bottom); };

  std::string out;
  Add(out, "<figure class=\"chart\"><svg viewBox=\"0 0 640 240\" role=\"img\" aria-label=\"",
      HtmlText(caption), "\">");
  for (int t = 0; t <= 4; ++t) {
    const double v = bottom + (top - bottom) * t / 4;
    const std::string y = Format("%.1f", y_of(v));
    Add(out, "<line class=\"grid\" x1=\"44\" x2=\"628\" y1=\"", y, "\" y2=\"", y,
        "\"/><text class=\"axis\" x=\"38\" y=\"", y, "\" dy=\"4\" text-anchor=\"end\">",
        Format(top - bottom < 4 ? "%.2f" : "%.1f", v), "</text>");
  }
  if (reference) {
    const std::string y = Format("%.1f", y_of(*reference));
    Add(out, "<line class=\"ref\" x1=\"44\" x2=\"628\" y1=\"", y, "\" y2=\"", y, "\"/>");
  }
  // Labels under the axis, at most about twelve of them.
  const size_t every = std::max<size_t>(1, (n + 11) / 12);
  for (size_t i = 0; i < n; i += every) {
    Add(out, "<text class=\"axis\" x=\"", Format("%.1f", x_of(i)),
        "\" y=\"224\" text-anchor=\"middle\">", HtmlText(points[i].label), "</text>");
  }
  Add(out, "<text class=\"axis\" x=\"336\" y=\"238\" text-anchor=\"middle\">", HtmlText(x_caption),
      "</text>");
  std::string path;
  bool pen_down = false;
  for (size_t i = 0; i < n; ++i) {
    if (!points[i].value) {
      pen_down = false;
      continue;
    }
    // Whole units of the 640 x 240 view box are finer than a screen shows the chart.
    Add(path, pen_down ? "L" : "M", Format("%.0f", x_of(i)), " ",
        Format("%.0f", y_of(*points[i].value)));
    pen_down = true;
  }
  Add(out, "<path class=\"line\" d=\"", path, "\"/>");
  // Points with their values while they stay few enough to point at.
  if (n <= 60) {
    for (size_t i = 0; i < n; ++i) {
      if (!points[i].value) continue;
      Add(out, "<circle cx=\"", Format("%.1f", x_of(i)), "\" cy=\"",
          Format("%.1f", y_of(*points[i].value)), "\" r=\"3\"><title>", HtmlText(x_caption), " ",
          HtmlText(points[i].label), ": ", Format("%.2f", *points[i].value), "</title></circle>");
    }
  }
  Add(out, "</svg><figcaption>", HtmlText(caption), "</figcaption></figure>\n");
  return out;
}

ModelFigures FiguresOf(const GamesModel& model, AwardsModel awards) {
  ModelFigures figures;
  RateGames(model, figures.ratings);
  figures.game_types = RateGameTypes(model);
  figures.awards = std::move(awards);
  return figures;
}

ModelFigures FiguresOf(ModelRatings ratings, AwardsModel awards) {
  ModelFigures figures;
  figures.ratings = std::move(ratings.all);
  figures.game_types = ShownGameTypes(std::move(ratings.types));
  figures.awards = std::move(awards);
  return figures;
}

void WriteModelPages(const GameTexts& texts, const GamesModel& model, const ModelFigures& figures,
                     const FriendlyNames& friendly, const SiteFrame& frame,
                     const SitePageSink& sink, const SitePageKeep& keep) {
  ModelPages(texts, model, figures, friendly, frame).WriteAll(sink, keep);
}

}  // namespace barvik
