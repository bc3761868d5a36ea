#include "report/SiteDates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include "report/GamesJson.h"
#include "report/SitePages.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

constexpr int64_t kDay = 86400;

std::string Number(uint64_t n) { return std::to_string(n); }

// Days since 1970 of a UTC time's local day.
int64_t LocalDay(int64_t utc, const Zone& zone) {
  const int64_t local = zone.ToLocal(utc);
  return local >= 0 ? local / kDay : (local - kDay + 1) / kDay;
}

std::string MonthName(int year, unsigned month) {
  static constexpr const char* kNames[] = {"January",   "February", "March",    "April",
                                           "May",       "June",     "July",     "August",
                                           "September", "October",  "November", "December"};
  return std::string(kNames[(month - 1) % 12]) + " " + std::to_string(year);
}

// The punch card: a circle per hour of each weekday, its area as the games begun then.
std::string PunchCardSvg(const std::array<std::array<uint32_t, 24>, 7>& counts) {
  uint32_t high = 0;
  for (const auto& day : counts) high = std::max(high, *std::max_element(day.begin(), day.end()));
  static constexpr const char* kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  std::string out =
      "<figure class=\"chart\"><svg viewBox=\"0 0 640 200\" role=\"img\" aria-label=\"Games begun "
      "by hour and weekday\">";
  for (int d = 0; d < 7; ++d) {
    const int y = 16 + d * 24;
    out += "<text class=\"axis\" x=\"34\" y=\"" + Number(y + 4) + "\" text-anchor=\"end\">" +
           kDays[d] + "</text>";
    for (int h = 0; h < 24; ++h) {
      // Monday first: weekday 1..6 then 0 (Sunday).
      const uint32_t n = counts[static_cast<size_t>((d + 1) % 7)][static_cast<size_t>(h)];
      if (n == 0 || high == 0) continue;
      char r[16];
      std::snprintf(r, sizeof r, "%.1f", 10.0 * std::sqrt(static_cast<double>(n) / high));
      out += "<circle cx=\"" + Number(52 + h * 24) + "\" cy=\"" + Number(y) + "\" r=\"" + r +
             "\"><title>" + kDays[d] + " " + Number(h) + ":00: " + Number(n) +
             (n == 1 ? " game" : " games") + "</title></circle>";
    }
  }
  for (int h = 0; h < 24; h += 3) {
    out += "<text class=\"axis\" x=\"" + Number(52 + h * 24) +
           "\" y=\"190\" text-anchor=\"middle\">" + Number(h) + "</text>";
  }
  out +=
      "</svg><figcaption>Games begun by hour of the day (server time) and weekday; a larger "
      "dot is more</figcaption></figure>\n";
  return out;
}

}  // namespace

std::string StartedHtml(const Game& game, const Zone& zone) {
  if (game.started_at == kNoDate) return "";
  const bool estimated = game.time_quality == TimeQuality::Estimated;
  return "<time datetime=\"" + IsoUtc(game.started_at) + "\" title=\"" +
         std::string(TimeQualityName(game.time_quality)) + "\">" + (estimated ? "~" : "") +
         LocalText(game.started_at, zone) + "</time>";
}

std::string DayHtml(int64_t at, const Zone& zone) {
  if (at == kNoDate) return "";
  return "<time datetime=\"" + IsoUtc(at) + "\">" + LocalText(at, zone, false) + "</time>";
}

std::vector<std::vector<MonthTally>> MonthsByPerson(const GamesModel& model, const Zone& zone) {
  std::vector<std::vector<MonthTally>> months(model.people.size());
  for (const Game& game : model.games) {
    if (game.started_at == kNoDate) continue;
    const CivilTime c = CivilOf(zone.ToLocal(game.started_at));
    for (const Participant& p : game.players) {
      if (p.person >= months.size()) continue;
      std::vector<MonthTally>& his = months[p.person];
      // Games come in log order, mostly in time order: the month is nearly always the last.
      auto it = std::find_if(his.rbegin(), his.rend(), [&](const MonthTally& m) {
        return m.year == c.year && m.month == c.month;
      });
      if (it == his.rend()) {
        his.push_back({c.year, c.month});
        it = his.rbegin();
      }
      ++it->games;
      it->kills += p.kills;
      it->deaths += p.deaths;
    }
  }
  for (std::vector<MonthTally>& his : months) {
    std::sort(his.begin(), his.end(), [](const MonthTally& a, const MonthTally& b) {
      return a.year != b.year ? a.year < b.year : a.month < b.month;
    });
  }
  return months;
}

std::string MonthsHtml(const std::vector<MonthTally>& months) {
  if (months.empty()) return "";
  std::string out =
      "<h2 id=\"months\">Games by month</h2>\n<div class=\"scroll\"><table class=\"data\">\n"
      "<thead><tr><th>Month<th>Games<th>Kills<th>Deaths</thead>\n<tbody>\n";
  for (auto it = months.rbegin(); it != months.rend(); ++it) {
    out += "<tr><th>" + MonthName(it->year, it->month) + "<td>" + Number(it->games) + "<td>" +
           Number(it->kills) + "<td>" + Number(it->deaths) + "\n";
  }
  out += "</tbody></table></div>\n";
  return out;
}

std::string RecentHtml(const GamesModel& model,
                       const std::vector<std::vector<RatingChange>>& changes, const Zone& zone,
                       std::string_view root) {
  int64_t last = kNoDate;
  for (const Game& g : model.games) {
    if (g.started_at != kNoDate) last = std::max(last, g.started_at);
  }
  if (last == kNoDate) return "";
  const int64_t from = last - 30 * kDay;
  std::unordered_map<std::string_view, PersonIndex> by_id;
  for (PersonIndex p = 0; p < model.people.size(); ++p) by_id.emplace(model.people[p].id, p);

  uint32_t recent_games = 0;
  std::unordered_set<PersonIndex> recent_people;
  std::map<PersonIndex, double> gained;
  for (size_t i = 0; i < model.games.size(); ++i) {
    const Game& g = model.games[i];
    if (g.started_at == kNoDate || g.started_at <= from) continue;
    ++recent_games;
    for (const Participant& p : g.players) {
      if (!model.people[p.person].hidden) recent_people.insert(p.person);
    }
    if (i < changes.size()) {
      for (const RatingChange& ch : changes[i]) {
        const auto it = by_id.find(ch.person);
        if (it != by_id.end() && !model.people[it->second].hidden) {
          gained[it->second] += ch.after - ch.before;
        }
      }
    }
  }
  std::string best = "&ndash;";
  double best_gain = 0;
  for (const auto& [person, gain] : gained) {
    if (gain > best_gain) {
      best_gain = gain;
      const Person& p = model.people[person];
      char figure[32];
      std::snprintf(figure, sizeof figure, " <small>+%.1f</small>", gain);
      best = "<a href=\"" + std::string(root) + PersonPage(p) + "\">" +
             ColouredNameHtml(p.display) + "</a>" + figure;
    }
  }
  std::string out = "<section class=\"recent\"><h2 id=\"recent\">The last 30 days <small>to " +
                    LocalText(last, zone, false) + "</small></h2>\n<dl class=\"cards words\">";
  out += "<div><dt>Games<dd>" + Number(recent_games) + "</div>";
  out += "<div><dt>People<dd>" + Number(recent_people.size()) + "</div>";
  out += "<div><dt>Best by skill change<dd>" + best + "</div></dl></section>\n";
  return out;
}

std::string ActivityHtml(const GamesModel& model, const Zone& zone) {
  // Per local day: games begun and the people in them; the punch card by local hour.
  std::map<int64_t, std::pair<uint32_t, std::unordered_set<PersonIndex>>> days;
  std::array<std::array<uint32_t, 24>, 7> punch{};
  for (const Game& g : model.games) {
    if (g.started_at == kNoDate) continue;
    auto& day = days[LocalDay(g.started_at, zone)];
    ++day.first;
    const CivilTime c = CivilOf(zone.ToLocal(g.started_at));
    ++punch[c.weekday][c.hour];
    for (const Participant& p : g.players) {
      if (!model.people[p.person].hidden) day.second.insert(p.person);
    }
  }
  if (days.empty()) return "";
  std::string out = "<section class=\"activity\"><h2 id=\"activity\">Activity</h2>\n";

  // Games and people per day over the history's last year at most (a date read wrong, years
  // away, must not make a chart of millions of days), the days without a game at 0.
  constexpr int64_t kChartDays = 366;
  std::vector<LineChartPoint> games_per_day, people_per_day;
  const int64_t last_day = days.rbegin()->first;
  const int64_t first_day = std::max(days.begin()->first, last_day - (kChartDays - 1));
  const std::string span = first_day > days.begin()->first ? ", the last year" : "";
  for (int64_t d = first_day; d <= last_day; ++d) {
    const auto it = days.find(d);
    const std::string label = LocalText(zone.ToUtc(d * kDay), zone, false).substr(5);
    const double games = it == days.end() ? 0.0 : it->second.first;
    const double people = it == days.end() ? 0.0 : static_cast<double>(it->second.second.size());
    games_per_day.push_back({label, games});
    people_per_day.push_back({label, people});
  }
  // Over one day a line says nothing: the punch card alone.
  if (days.size() > 1) {
    out += LineChartSvg(games_per_day, "day", "Games begun per day (dated games" + span + ")",
                        std::nullopt);
    out += LineChartSvg(people_per_day, "day",
                        "People per day: the server's population" +
                            (span.empty() ? std::string() : " (the last year)"),
                        std::nullopt);
  }
  out += PunchCardSvg(punch);
  out += "</section>\n";
  return out;
}

}  // namespace barvik
