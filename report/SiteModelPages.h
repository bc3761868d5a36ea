// The site's pages made from the games model: what they gather and the helpers their families
// share. Internal to report/: SitePages.cpp writes them; the page families are made in
// SiteHomePages.cpp (home, people, games, maps and weapons), SiteRankingPages.cpp (rankings
// and awards), SiteProfilePages.cpp (profiles) and SiteGamePages.cpp (a game's page).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/Encoding.h"
#include "core/StableHash.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "report/ReportFiles.h"
#include "report/SiteDates.h"
#include "report/SiteKeys.h"
#include "report/SitePager.h"
#include "report/SitePages.h"
#include "report/SiteText.h"

namespace barvik::site_pages {

constexpr size_t kTopEntries = 10;
constexpr size_t kLastGames = 10;
constexpr size_t kTopPerKey = 3;
constexpr size_t kShownOpponents = 25;
// Holders of an award shown by name when many share the best figure.
constexpr size_t kShownHolders = 5;
// Best-K/D entries need this many kills, so that two lucky kills do not top the list.
constexpr uint32_t kMinKillsForRatio = 20;
// Lists that grow with the history are paged (SitePager.h) or cut, so that no page grows
// without bound: rows per page of the games list, the people and a person's games (his profile
// holds the first page), points of a profile's charts (his last games), rows of a ranking's tables
// on the ranking pages (the ranked people, then the provisional and the inactive ones; every
// row is on the pages of that table alone, kRankingRowsPerPage a page).
constexpr size_t kGamesPerPage = 200;
constexpr size_t kPeoplePerPage = 400;
constexpr size_t kProfileGamesPerPage = 100;
constexpr size_t kChartGames = 500;
constexpr size_t kRankedShown = 100;
constexpr size_t kUnrankedShown = 25;
constexpr size_t kRankingRowsPerPage = 200;

// The game pages and profiles as this code makes them, part of their fingerprints: raise it
// whenever what they show, or how, changes, so that an incremental export makes them anew.
constexpr uint64_t kPageFormatVersion = 3;

// Viridis, light to dark: ordered in lightness and readable with every common kind of colour
// blindness. The first three take dark text, the others white.
constexpr std::array<std::string_view, 7> kHeat = {"#fde725", "#a0da39", "#4ac16d", "#1fa187",
                                                   "#277f8e", "#365c8d", "#46327e"};

template <typename... Pieces>
inline void Add(std::string& out, const Pieces&... pieces) {
  (out.append(pieces), ...);
}

inline std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

inline std::string Num(uint64_t value) { return std::to_string(value); }

// Kills per death; with no death the kills themselves, so the column stays a number.
inline double KillsPerDeath(uint64_t kills, uint64_t deaths) {
  return deaths == 0 ? static_cast<double>(kills)
                     : static_cast<double>(kills) / static_cast<double>(deaths);
}
inline std::string KdText(uint64_t kills, uint64_t deaths) {
  return Format("%.2f", KillsPerDeath(kills, deaths));
}

// "45 min", "3 h 05".
inline std::string Duration(uint64_t seconds) {
  const uint64_t minutes = (seconds + 30) / 60;
  if (minutes < 60) return Num(minutes) + " min";
  const uint64_t rest = minutes % 60;
  return Num(minutes / 60) + " h " + (rest < 10 ? "0" : "") + Num(rest);
}

inline std::string Capitalised(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

// An objective action as the pages name it: the words of the stock game types in plain
// English, any other word as the log writes it.
inline std::string ActionHtml(std::string_view word) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 14> kWords = {{
      {"ctf_take", "Flag taken"},
      {"ctf_pickup", "Flag taken"},
      {"ctf_captured", "Flag captured"},
      {"ctf_capture", "Flag captured"},
      {"ctf_returned", "Flag returned"},
      {"ctf_return", "Flag returned"},
      {"dom_take", "Point taken"},
      {"dom_captured", "Point captured"},
      {"bomb_plant", "Bomb planted"},
      {"bomb_planted", "Bomb planted"},
      {"bas_planted", "Bomb planted"},
      {"bomb_defuse", "Bomb defused"},
      {"bomb_defused", "Bomb defused"},
      {"bas_defused", "Bomb defused"},
  }};
  for (const auto& [raw, shown] : kWords) {
    if (raw == word) return std::string(shown);
  }
  return HtmlText(word);
}

// A shown skill, "17.3"; a change of it, "+1.2" or "-0.8".
inline std::string SkillText(double skill) { return Format("%.1f", skill); }
inline std::string ChangeText(double change) {
  return std::abs(change) < 0.05 ? std::string("0.0") : Format("%+.1f", change);
}

// The last values of a skill history as a small line without axes, for a table cell.
constexpr size_t kSparkGames = 20;
inline std::string Sparkline(const std::vector<double>* history) {
  if (history == nullptr || history->size() < 2) return "";
  const size_t first = history->size() > kSparkGames ? history->size() - kSparkGames : 0;
  const std::vector<double> values(history->begin() + static_cast<std::ptrdiff_t>(first),
                                   history->end());
  const auto [low_it, high_it] = std::minmax_element(values.begin(), values.end());
  // At least two points of skill tall, so that noise does not look like a climb.
  const double middle = (*low_it + *high_it) / 2, half = std::max(1.0, (*high_it - *low_it) / 2);
  std::string points;
  for (size_t i = 0; i < values.size(); ++i) {
    const double x = 2 + 96.0 * static_cast<double>(i) / static_cast<double>(values.size() - 1);
    const double y = 12 - 10 * (values[i] - middle) / half;
    Add(points, i ? " " : "", Format("%.0f", x), ",", Format("%.1f", y));
  }
  std::string out;
  Add(out, "<svg class=\"spark\" viewBox=\"0 0 100 24\" role=\"img\" aria-label=\"skill over ",
      Num(values.size()), " rated games: ", SkillText(values.front()), " to ",
      SkillText(values.back()), "\"><polyline points=\"", points, "\"/></svg>");
  return out;
}

// An award's figure in words: lives in seconds, the others as counts.
inline std::string AwardFigure(Award award, uint32_t value) {
  if (award == Award::LongestLife || award == Award::ShortestLife) {
    return value < 60
               ? Num(value) + " s"
               : Num(value / 60) + " min " + (value % 60 < 10 ? "0" : "") + Num(value % 60) + " s";
  }
  return Num(value);
}

// What each award means, in the order of Award (docs/awards.md has the whole definitions).
constexpr std::array<std::string_view, kAwardCount> kAwardMeanings = {
    "Most enemy kills in one life",
    "Runs of two or more enemy kills, each at most 2 seconds after the one before",
    "Enemy kills with a shot to the head",
    "Enemy kills in close combat (melee)",
    "Enemy kills with grenades",
    "Enemy kills with scoped and sniper rifles",
    "Enemy kills with pistols",
    "Enemy kills with satchel charges",
    "Enemy kills with tanks and turrets",
    "Enemy kills with a shot to an arm, a hand, a leg or a foot",
    "The first enemy kill of a game",
    "Most enemy kills against one opponent in one game",
    "Enemy kills of the person who killed him last",
    "The longest life in one game",
    "The shortest life that ended in a death",
    "Most damage dealt to enemies in one life",
    "Team mates killed",
    "Suicides",
    "Free-for-all games he won (a team's result goes to the team)"};

// The anchor of an award's row on awards.html: "kill-streak".
inline std::string AwardAnchor(Award award) {
  std::string out(AwardName(award));
  for (char& c : out) {
    if (c == ' ') c = '-';
  }
  return out;
}

inline std::string TitleOf(std::string_view server) {
  const std::string plain = WithoutColourCodes(server);
  return plain.empty() ? std::string("Server statistics") : HtmlText(plain);
}

inline std::string ServerHtml(std::string_view server) {
  return server.empty() ? std::string("Server statistics") : ColouredNameHtml(server);
}

// How a game ended, in words.
inline std::string_view EndingWords(GameEnding ending) {
  switch (ending) {
    case GameEnding::Exit:
      return "The map ended";
    case GameEnding::Restart:
      return "Restarted";
    case GameEnding::Shutdown:
      return "The server shut down";
    case GameEnding::NextGame:
      return "A new game began";
    case GameEnding::EndOfLog:
      return "Still running when the log ends";
  }
  return "";
}

// Where each body part lies on the figure (x, y, width, height in a 240 x 420 box; the
// player faces the reader, so his right is on the left).
struct Part {
  std::string_view key;
  int x, y, w, h;
};
constexpr std::array<Part, 16> kParts = {{
    {"head", 92, 8, 56, 58},
    {"neck", 104, 66, 32, 18},
    {"torso_upper", 76, 84, 88, 74},
    {"torso_lower", 80, 158, 80, 58},
    {"right_arm_upper", 32, 86, 42, 66},
    {"left_arm_upper", 166, 86, 42, 66},
    {"right_arm_lower", 24, 154, 42, 62},
    {"left_arm_lower", 174, 154, 42, 62},
    {"right_hand", 20, 218, 42, 28},
    {"left_hand", 178, 218, 42, 28},
    {"right_leg_upper", 74, 218, 44, 80},
    {"left_leg_upper", 122, 218, 44, 80},
    {"right_leg_lower", 76, 300, 42, 74},
    {"left_leg_lower", 122, 300, 42, 74},
    {"right_foot", 62, 376, 56, 24},
    {"left_foot", 122, 376, 56, 24},
}};

// Counts by key, for the per-person and per-key tables.
struct Tally {
  uint32_t games = 0, kills = 0, deaths = 0, head_shots = 0;
  uint64_t seconds = 0;
};

// A map, weapon or game type: its totals and its people's kills with it.
struct KeyFacts {
  Tally total;
  std::unordered_map<PersonIndex, uint32_t> kills;
};

// What a person's profile shows beyond his totals.
struct PersonFacts {
  std::vector<const Game*> games;                                 // in log order
  std::unordered_map<uint32_t, Tally> weapons, maps, game_types;  // by raw text / setting id
  std::unordered_map<uint32_t, std::pair<uint32_t, uint32_t>> locations;     // given, taken
  std::unordered_map<PersonIndex, std::pair<uint32_t, uint32_t>> opponents;  // killed, by
  std::vector<LineChartPoint> skill;  // his skill after each rated game, oldest first
  std::unordered_map<PersonIndex, std::pair<uint32_t, uint32_t>> fights;  // rated: won, lost
};

enum class KeyKind { Map, Weapon, GameType };

class ModelPages {
 public:
  ModelPages(const GameTexts& texts, const GamesModel& model, const ModelFigures& figures,
             const FriendlyNames& friendly, const SiteFrame& frame)
      : texts_(texts),
        model_(model),
        figures_(figures),
        friendly_(friendly),
        frame_(frame),
        zone_(ZoneOf(frame.timezone)),
        keys_(texts, model, friendly) {
    Gather();
    months_ = MonthsByPerson(model_, zone_);
  }

  void WriteAll(const SitePageSink& sink, const SitePageKeep& keep);

 private:
  bool Shown(PersonIndex p) const { return p != kNoPerson && !model_.people[p].hidden; }

  // The zone of a site's setting; UTC for a name the zone data does not know.
  static Zone ZoneOf(const std::string& name) {
    try {
      return Zone::Of({name, ""});
    } catch (const ClockError&) {
      return Zone::Utc();
    }
  }

  void Gather();

  // What the fingerprints of the pages share: each person as a link shows him (his page, his
  // name, whether he is shown) and his skill after each of his rated games.
  void GatherFingerprints();

  uint64_t Link(PersonIndex p) const { return p < links_.size() ? links_[p] : 1; }

  void HashActions(StableHash& h, const std::vector<ActionCount>& actions) const;

  // Objective actions, most done first, as table headings and the words in that order.
  std::vector<uint32_t> ActionOrder(const std::vector<ActionCount>& actions) const;

  static uint32_t ActionCountOf(const std::vector<ActionCount>& actions, uint32_t word);

  // Everything a game page is made from: the game, its people as linked, their changes of
  // skill and the game's awards, the names of its map and game type, the footer's build.
  uint64_t GameFingerprint(const Game& game) const;

  // The same over entries of a table whose order the page sets itself: each entry hashed
  // alone, the sum taken, so the order of an unordered map does not matter.
  template <typename Map, typename Entry>
  static uint64_t Unordered(const Map& map, Entry entry) {
    uint64_t sum = map.size();
    for (const auto& [key, value] : map) sum += entry(StableHash(), key, value).value();
    return sum;
  }

  // Everything a profile is made from: his figures and spellings, his rank and skill beside
  // the ranking's size, his skill after each rated game, his awards against the best, his
  // games, weapons, body locations, maps, game types and opponents (as linked), the names of
  // keys, the server in the title and the footer's build. Not the footer's time stamp: a page
  // that differs only there is left as it is in any case.
  uint64_t ProfileFingerprint(PersonIndex index) const;

  std::string Head(std::string_view title, std::string_view root) const;

  // A person's name in his colours, linked to his profile from `root`.
  std::string PersonLink(PersonIndex p, std::string_view root) const;

  std::string GameLink(const Game& game, std::string_view root) const;

  // A game type by its setting id; a map or weapon by its key (SiteKeys).
  std::string KeyRaw(KeyKind kind, uint32_t id) const;

  const std::string* KeyFriendly(KeyKind kind, uint32_t id) const;

  // A map, weapon or game type by its friendly name, its raw names (with their details) as
  // the title.
  std::string KeyHtml(KeyKind kind, uint32_t id) const;

  // What tells a weapon's folded raw names apart (attachments, nations), under its name.
  std::string KeyDetails(KeyKind kind, uint32_t id) const;

  // The key by its friendly name alone, for long tables.
  std::string KeyText(KeyKind kind, uint32_t id) const;

  // The key linked to its row on its page, from `root`.
  std::string KeyLink(KeyKind kind, uint32_t id, std::string_view root) const;

  // The best player of a game: most kills, the first shown one; kNoPerson when nobody killed.
  PersonIndex TopFragger(const Game& game) const;

  std::string ResultHtml(const Game& game, std::string_view root) const;

  // Figures as cards; `words`: cards of a few words each, wider and in a smaller type.
  static std::string Cards(const std::vector<std::pair<std::string, std::string>>& cards,
                           bool words = false);

  // People ranked by `value`, highest first, those `eligible` only; ties keep the model's order.
  template <typename Value, typename Eligible>
  std::vector<PersonIndex> Ranked(Value value, Eligible eligible, size_t count) const {
    std::vector<PersonIndex> people;
    for (PersonIndex p = 0; p < model_.people.size(); ++p) {
      if (Shown(p) && eligible(model_.people[p])) people.push_back(p);
    }
    std::stable_sort(people.begin(), people.end(), [&](PersonIndex a, PersonIndex b) {
      return value(model_.people[a]) > value(model_.people[b]);
    });
    if (people.size() > count) people.resize(count);
    return people;
  }

  std::string TopList(std::string_view heading, const std::vector<PersonIndex>& people,
                      const std::function<std::string(const Person&)>& figure) const;

  // A table of games: number, map, game type, length, result, best player.
  std::string GamesTable(const std::vector<const Game*>& games, std::string_view id) const;

  std::string Home() const;

  // The row of a person's figures after his name: the people table's and a scoreboard's.
  static std::string FigureCells(uint64_t kills, uint64_t deaths, uint64_t team_kills,
                                 uint64_t suicides, uint64_t head_shots, uint64_t damage,
                                 uint64_t seconds);

  static constexpr std::string_view kFigureHeads =
      "<th>Kills<th>Deaths<th title=\"kills per death\">K/D<th>Team kills<th>Suicides<th>Head "
      "shots<th>Damage dealt<th>Time played";

  // people.html and, for many people, its further pages: most kills first.
  void PeoplePages(const SitePageSink& sink) const;

  // Who holds each award over all games among the people shown, and his figure.
  void GatherAwardHolders();

  std::string AwardLink(Award award, std::string_view root) const;

  // The home page's list of the best ranked people.
  std::string TopOfRanking() const;

  // One ranking's tables, for the page STEM.html: the ranked, then the provisional and the
  // inactive apart, each cut to its first rows there, with a link to the whole table on pages
  // of its own (STEM-ranked.html, STEM-provisional.html, STEM-inactive.html, paged), which
  // `sink` receives. K/D counts the games of `game_type` when one is given.
  std::string RankingTables(const RatingHistory& history, std::optional<uint32_t> game_type,
                            const std::string& stem, std::string_view title,
                            const SitePageSink& sink) const;

  // ranking.html, the ranking over all game types, and a page beside it for each game type's
  // ranking (ranking-t-PREFIX.html), each with its tables' own pages.
  void RankingPages(const SitePageSink& sink) const;

  std::string AwardsPage() const;

  // His rank or how far he is from one, for his profile's cards.
  std::pair<std::string, std::string> RankCard(PersonIndex index) const;

  // One line on why he stands where he does: his fights won and lost, those he met most with
  // his record against each, and his team's results.
  std::string WhyLine(PersonIndex index) const;

  // His skill after each of his rated games, and the awards he has a figure for.
  std::string ProfileSkillAndAwards(PersonIndex index) const;

  // The awards of one game as cards, the honours and the shames apart, each with its holder
  // and its runner-up.
  std::string GameAwards(size_t index) const;

  // games.html and its further pages: every game with a page, newest first.
  void GamesPages(const SitePageSink& sink) const;

  std::string KeyPage(KeyKind kind) const;

  // A table of a person's tallies by map or game type.
  std::string TallyTable(KeyKind kind, const std::unordered_map<uint32_t, Tally>& tallies,
                         std::string_view heading) const;

  std::string Profile(PersonIndex index) const;

  // The last `count` of `points`.
  static std::vector<LineChartPoint> LastOf(const std::vector<LineChartPoint>& points,
                                            size_t count);

  ListPages ProfileGamePages(PersonIndex index) const;

  // Page `n` of a person's games, newest first, between pagers; the first page is his profile
  // (PersonPage), the others beside it (ListPageFile of his id).
  std::string ProfileGamesTable(PersonIndex index, size_t n) const;

  // A further page of a person's games (n > 0).
  std::string ProfileGamesPage(PersonIndex index, size_t n) const;

  std::string BodyFigure(const PersonFacts& f, bool given, std::string_view caption) const;

  // The kills of a game per minute, as bars.
  static std::string TimelineSvg(const Game& game);

  // Who did which objective action in a game, most done first.
  std::string ObjectivesTable(const Game& game) const;

  std::string GamePageHtml(const Game& game) const;

  // The players of a game under a default or blank name: plain rows, no one's profile.
  std::string NamelessTable(const Game& game) const;

  const GameTexts texts_;
  const GamesModel& model_;
  const ModelFigures& figures_;
  const FriendlyNames& friendly_;
  const SiteFrame& frame_;
  Zone zone_;                                              // the dates show in it
  std::vector<std::vector<MonthTally>> months_;            // by person: his games by month
  std::vector<PersonFacts> facts_;                         // by person
  std::unordered_map<PersonIndex, PersonRating> ratings_;  // over all games, shown people only
  int ranked_count_ = 0;
  std::array<std::vector<PersonIndex>, kAwardCount> holders_;  // by award: the best, shown
  std::array<uint32_t, kAwardCount> best_{};                   // by award: their figure
  SiteKeys keys_;  // maps and weapons as the games of the family name them
  std::unordered_map<uint32_t, KeyFacts> maps_, weapons_, types_;
  // For the fingerprints only (GatherFingerprints), by person:
  std::vector<uint64_t> links_;           // his link as pages show it
  std::vector<StableHash> skill_points_;  // his rated games' numbers and skills after them
};

}  // namespace barvik::site_pages
