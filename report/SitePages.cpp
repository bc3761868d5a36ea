#include "report/SitePages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <unordered_map>
#include <utility>

#include "core/Encoding.h"
#include "core/StableHash.h"
#include "report/GamesJson.h"
#include "report/RankingJson.h"
#include "report/ReportFiles.h"
#include "report/SiteKeys.h"
#include "report/SitePager.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

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
constexpr uint64_t kPageFormatVersion = 2;

// Viridis, light to dark: ordered in lightness and readable with every common kind of colour
// blindness. The first three take dark text, the others white.
constexpr std::array<std::string_view, 7> kHeat = {"#fde725", "#a0da39", "#4ac16d", "#1fa187",
                                                   "#277f8e", "#365c8d", "#46327e"};

template <typename... Pieces>
void Add(std::string& out, const Pieces&... pieces) {
  (out.append(pieces), ...);
}

std::string Format(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string Num(uint64_t value) { return std::to_string(value); }

// Kills per death; with no death the kills themselves, so the column stays a number.
double KillsPerDeath(uint64_t kills, uint64_t deaths) {
  return deaths == 0 ? static_cast<double>(kills)
                     : static_cast<double>(kills) / static_cast<double>(deaths);
}
std::string KdText(uint64_t kills, uint64_t deaths) {
  return Format("%.2f", KillsPerDeath(kills, deaths));
}

// "45 min", "3 h 05".
std::string Duration(uint64_t seconds) {
  const uint64_t minutes = (seconds + 30) / 60;
  if (minutes < 60) return Num(minutes) + " min";
  const uint64_t rest = minutes % 60;
  return Num(minutes / 60) + " h " + (rest < 10 ? "0" : "") + Num(rest);
}

std::string Capitalised(std::string_view text) {
  std::string out(text);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 32);
  return out;
}

// An objective action as the pages name it: the words of the stock game types in plain
// English, any other word as the log writes it.
std::string ActionHtml(std::string_view word) {
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
std::string SkillText(double skill) { return Format("%.1f", skill); }
std::string ChangeText(double change) {
  return std::abs(change) < 0.05 ? std::string("0.0") : Format("%+.1f", change);
}

// The last values of a skill history as a small line without axes, for a table cell.
constexpr size_t kSparkGames = 20;
std::string Sparkline(const std::vector<double>* history) {
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
std::string AwardFigure(Award award, uint32_t value) {
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
std::string AwardAnchor(Award award) {
  std::string out(AwardName(award));
  for (char& c : out) {
    if (c == ' ') c = '-';
  }
  return out;
}

std::string TitleOf(std::string_view server) {
  const std::string plain = WithoutColourCodes(server);
  return plain.empty() ? std::string("Server statistics") : HtmlText(plain);
}

std::string ServerHtml(std::string_view server) {
  return server.empty() ? std::string("Server statistics") : ColouredNameHtml(server);
}

// How a game ended, in words.
std::string_view EndingWords(GameEnding ending) {
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
        keys_(texts, model, friendly) {
    Gather();
  }

  void WriteAll(const SitePageSink& sink, const SitePageKeep& keep) {
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

 private:
  bool Shown(PersonIndex p) const { return p != kNoPerson && !model_.people[p].hidden; }

  void Gather() {
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

  // What the fingerprints of the pages share: each person as a link shows him (his page, his
  // name, whether he is shown) and his skill after each of his rated games.
  void GatherFingerprints() {
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
        if (it != by_id.end())
          skill_points_[it->second].Number(model_.games[g].number).Real(c.after);
      }
    }
  }

  uint64_t Link(PersonIndex p) const { return p < links_.size() ? links_[p] : 1; }

  void HashActions(StableHash& h, const std::vector<ActionCount>& actions) const {
    h.Number(actions.size());
    for (const ActionCount& a : actions) h.Text(texts_.Setting(a.word)).Number(a.count);
  }

  // Objective actions, most done first, as table headings and the words in that order.
  std::vector<uint32_t> ActionOrder(const std::vector<ActionCount>& actions) const {
    std::vector<ActionCount> sorted = actions;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const ActionCount& a, const ActionCount& b) { return a.count > b.count; });
    std::vector<uint32_t> words;
    words.reserve(sorted.size());
    for (const ActionCount& a : sorted) words.push_back(a.word);
    return words;
  }

  static uint32_t ActionCountOf(const std::vector<ActionCount>& actions, uint32_t word) {
    for (const ActionCount& a : actions) {
      if (a.word == word) return a.count;
    }
    return 0;
  }

  // Everything a game page is made from: the game, its people as linked, their changes of
  // skill and the game's awards, the names of its map and game type, the footer's build.
  uint64_t GameFingerprint(const Game& game) const {
    StableHash h;
    h.Number(kPageFormatVersion).Number(friendly_.fingerprint()).Text(frame_.build_text);
    if (!LogEncoding().is_default()) h.Text(LogEncoding().charset());
    h.Number(game.number).Number(game.warmup).Text(KeyRaw(KeyKind::Map, keys_.Map(game)));
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
  uint64_t ProfileFingerprint(PersonIndex index) const {
    const Person& p = model_.people[index];
    const PersonFacts& f = facts_[index];
    StableHash h;
    h.Number(kPageFormatVersion).Number(friendly_.fingerprint()).Text(frame_.build_text);
    if (!LogEncoding().is_default()) h.Text(LogEncoding().charset());
    h.Text(frame_.server_name).Number(Link(index)).Number(p.spellings.size());
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
      for (int64_t count : {r.record.fights_won, r.record.fights_lost, r.record.results_won,
                            r.record.results_lost}) {
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

  std::string Head(std::string_view title, std::string_view root) const {
    return SitePageHead(std::string(title) + " - " + TitleOf(frame_.server_name), root,
                        ServerHtml(frame_.server_name));
  }

  // A person's name in his colours, linked to his profile from `root`.
  std::string PersonLink(PersonIndex p, std::string_view root) const {
    const Person& person = model_.people[p];
    std::string out;
    Add(out, "<a href=\"", root, PersonPage(person), "\">", ColouredNameHtml(person.display),
        "</a>");
    return out;
  }

  std::string GameLink(const Game& game, std::string_view root) const {
    if (!HasGamePage(game)) return Num(game.number);
    std::string out;
    Add(out, "<a href=\"", root, GamePage(game), "\">", Num(game.number), "</a>");
    return out;
  }

  // A game type by its setting id; a map or weapon by its key (SiteKeys).
  std::string KeyRaw(KeyKind kind, uint32_t id) const {
    return kind == KeyKind::GameType ? std::string(texts_.Setting(id)) : keys_.Raw(id);
  }

  const std::string* KeyFriendly(KeyKind kind, uint32_t id) const {
    return kind == KeyKind::GameType ? friendly_.Find(NameKind::GameType, texts_.Setting(id))
                                     : keys_.Friendly(id);
  }

  // A map, weapon or game type by its friendly name, its raw names (with their details) as
  // the title.
  std::string KeyHtml(KeyKind kind, uint32_t id) const {
    const std::string raw = KeyRaw(kind, id);
    const std::string* nice = KeyFriendly(kind, id);
    if (nice == nullptr) return raw.empty() ? std::string("(none)") : HtmlText(raw);
    std::string out;
    Add(out, "<span title=\"",
        kind == KeyKind::GameType ? HtmlText(raw) : HtmlUtf8(keys_.Variants(id)), "\">",
        HtmlUtf8(*nice), "</span>");
    return out;
  }

  // What tells a weapon's folded raw names apart (attachments, nations), under its name.
  std::string KeyDetails(KeyKind kind, uint32_t id) const {
    if (kind != KeyKind::Weapon || keys_.Details(id).empty()) return "";
    return "<br><small>" + HtmlUtf8(keys_.Details(id)) + "</small>";
  }

  // The key by its friendly name alone, for long tables.
  std::string KeyText(KeyKind kind, uint32_t id) const {
    const std::string raw = KeyRaw(kind, id);
    const std::string* nice = KeyFriendly(kind, id);
    if (nice == nullptr) return raw.empty() ? std::string("(none)") : HtmlText(raw);
    return HtmlUtf8(*nice);
  }

  // The key linked to its row on its page, from `root`.
  std::string KeyLink(KeyKind kind, uint32_t id, std::string_view root) const {
    static constexpr std::array<std::string_view, 3> kFiles = {"maps.html", "weapons.html",
                                                               "gametypes.html"};
    std::string out;
    Add(out, "<a href=\"", root, kFiles[static_cast<size_t>(kind)], "#k-",
        HtmlText(PlayerFilePrefix(KeyRaw(kind, id))), "\">", KeyHtml(kind, id), "</a>");
    return out;
  }

  // The best player of a game: most kills, the first shown one; kNoPerson when nobody killed.
  PersonIndex TopFragger(const Game& game) const {
    const Participant* best = nullptr;
    for (const Participant& p : game.players) {
      if (Shown(p.person) && p.kills > 0 && (best == nullptr || p.kills > best->kills)) best = &p;
    }
    return best == nullptr ? kNoPerson : best->person;
  }

  std::string ResultHtml(const Game& game, std::string_view root) const {
    if (game.winner_team != GameTexts::kNoTeam)
      return Capitalised(GameTexts::Team(game.winner_team)) + " won";
    if (Shown(game.winner_person)) return PersonLink(game.winner_person, root) + " won";
    return "No winner";
  }

  // Figures as cards; `words`: cards of a few words each, wider and in a smaller type.
  static std::string Cards(const std::vector<std::pair<std::string, std::string>>& cards,
                           bool words = false) {
    std::string out = words ? "<dl class=\"cards words\">" : "<dl class=\"cards\">";
    for (const auto& [label, value] : cards) Add(out, "<div><dt>", label, "<dd>", value, "</div>");
    out += "</dl>\n";
    return out;
  }

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

  // A table of games: number, map, game type, length, result, best player.
  std::string GamesTable(const std::vector<const Game*>& games, std::string_view id) const {
    std::string out;
    Add(out, "<div class=\"scroll\"><table class=\"data gl\" id=\"", id,
        "\">\n<thead><tr><th>Game<th>Map<th>Game type<th>Length<th>Result<th>Best "
        "player</thead>\n<tbody>\n");
    for (const Game* game : games) {
      const PersonIndex best = TopFragger(*game);
      Add(out, "<tr><th>", GameLink(*game, ""), game->warmup ? " <small>warm-up</small>" : "",
          "<td>", KeyText(KeyKind::Map, keys_.Map(*game)), "<td>",
          KeyText(KeyKind::GameType, game->game_type), "<td>", Duration(game->seconds), "<td>",
          ResultHtml(*game, ""), "<td>", best != kNoPerson ? PersonLink(best, "") : std::string(),
          "\n");
    }
    out += "</tbody></table></div>\n";
    return out;
  }

  std::string Home() const {
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
    page +=
        TopList("Best K/D (" + Num(kMinKillsForRatio) + " kills or more)",
                Ranked([](const Person& p) { return KillsPerDeath(p.kills, p.deaths); },
                       [](const Person& p) { return p.kills >= kMinKillsForRatio; }, kTopEntries),
                [](const Person& p) { return KdText(p.kills, p.deaths); });
    page += TopList("Most head shots",
                    Ranked([](const Person& p) { return p.head_shots; }, all, kTopEntries),
                    [](const Person& p) { return Num(p.head_shots); });
    page += TopList("Most time played",
                    Ranked([](const Person& p) { return p.played_seconds; }, all, kTopEntries),
                    [](const Person& p) { return Duration(p.played_seconds); });
    page += "</div>\n" + SitePageFoot(frame_, "", true);
    return page;
  }

  // The row of a person's figures after his name: the people table's and a scoreboard's.
  static std::string FigureCells(uint64_t kills, uint64_t deaths, uint64_t team_kills,
                                 uint64_t suicides, uint64_t head_shots, uint64_t damage,
                                 uint64_t seconds) {
    std::string out;
    Add(out, "<td>", Num(kills), "<td>", Num(deaths), "<td>", KdText(kills, deaths), "<td>",
        Num(team_kills), "<td>", Num(suicides), "<td>", Num(head_shots), "<td>", Num(damage),
        "<td>", Duration(seconds));
    return out;
  }

  static constexpr std::string_view kFigureHeads =
      "<th>Kills<th>Deaths<th title=\"kills per death\">K/D<th>Team kills<th>Suicides<th>Head "
      "shots<th>Damage dealt<th>Time played";

  // people.html and, for many people, its further pages: most kills first.
  void PeoplePages(const SitePageSink& sink) const {
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
      Add(row, others.empty() ? "<tr><th>" : "<tr data-n=\"" + others + "\"><th>",
          PersonLink(p, ""),
          FigureCells(person.kills, person.deaths, person.team_kills, person.suicides,
                      person.head_shots, person.damage_dealt, person.played_seconds),
          "<td>", Num(person.games), "<td>");
      if (person.last_game >= 1 && person.last_game <= model_.games.size()) {
        row += GameLink(model_.games[person.last_game - 1], "");
      }
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
          kFigureHeads, "<th>Games<th>Last game</thead>\n<tbody>\n");
      for (size_t i = pages.first(n); i < pages.end(n); ++i) page += rows[i];
      Add(page, "</tbody></table></div>\n", pager, SitePageFoot(frame_, "", true));
      sink(ListPageFile("people", n), page);
    }
  }

  // Who holds each award over all games among the people shown, and his figure.
  void GatherAwardHolders() {
    for (size_t a = 0; a < kAwardCount; ++a) {
      holders_[a] = ShownHolders(figures_.awards, model_, static_cast<Award>(a));
      if (!holders_[a].empty()) best_[a] = figures_.awards.people[holders_[a].front()][a];
    }
  }

  std::string AwardLink(Award award, std::string_view root) const {
    std::string out;
    Add(out, "<a href=\"", root, "awards.html#", AwardAnchor(award), "\">",
        Capitalised(AwardName(award)), "</a>");
    return out;
  }

  // The home page's list of the best ranked people.
  std::string TopOfRanking() const {
    std::string out = "<section><h2>Best skill</h2><ol>";
    for (const RankedPerson& r : ShownRanking(model_, figures_.ratings.history)) {
      if (r.rating.rank == 0 || r.rating.rank > static_cast<int>(kTopEntries)) continue;
      Add(out, "<li>", PersonLink(r.person, ""), " <span class=\"num\">", SkillText(r.rating.shown),
          " &plusmn;", SkillText(r.rating.plus_minus), "</span>");
    }
    out += "</ol><p><a href=\"ranking.html\">The whole ranking</a></p></section>\n";
    return out;
  }

  // One ranking's tables, for the page STEM.html: the ranked, then the provisional and the
  // inactive apart, each cut to its first rows there, with a link to the whole table on pages
  // of its own (STEM-ranked.html, STEM-provisional.html, STEM-inactive.html, paged), which
  // `sink` receives. K/D counts the games of `game_type` when one is given.
  std::string RankingTables(const RatingHistory& history, std::optional<uint32_t> game_type,
                            const std::string& stem, std::string_view title,
                            const SitePageSink& sink) const {
    const std::vector<RankedPerson> people = ShownRanking(model_, history);
    const std::string bound = SkillText(history.options().provisional_plus_minus);
    std::string out;
    auto table = [&](std::string_view heading, std::string_view hint, int part,
                     std::string_view what, size_t shown) {
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
          "Skill not yet sure to &plusmn;" + bound + ": not ranked until more fights make it so.",
          1, "provisional", kUnrankedShown);
    table("Not seen lately",
          "No game in the last " + Num(history.options().inactive_after) +
              " rated games; back in the ranking with his next game.",
          2, "inactive", kUnrankedShown);
    return out;
  }

  // ranking.html, the ranking over all game types, and a page beside it for each game type's
  // ranking (ranking-t-PREFIX.html), each with its tables' own pages.
  void RankingPages(const SitePageSink& sink) const {
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

  std::string AwardsPage() const {
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
      Add(page, "<tr id=\"", AwardAnchor(award), "\"><th>", Capitalised(AwardName(award)),
          "<small>", kAwardMeanings[a], "</small><td>", Capitalised(KindName(KindOf(award))),
          "<td>");
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

  // His rank or how far he is from one, for his profile's cards.
  std::pair<std::string, std::string> RankCard(PersonIndex index) const {
    const auto it = ratings_.find(index);
    if (it == ratings_.end()) return {"Rank", "no rated game"};
    const PersonRating& r = it->second;
    const double bound = figures_.ratings.history.options().provisional_plus_minus;
    if (r.rank > 0) return {"Rank", Num(r.rank) + " of " + Num(ranked_count_)};
    if (r.inactive) return {"Rank", "not seen lately"};
    return {"Provisional", "ranked at &plusmn;" + SkillText(bound) + " or less"};
  }

  // One line on why he stands where he does: his fights won and lost, those he met most with
  // his record against each, and his team's results.
  std::string WhyLine(PersonIndex index) const {
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
      Add(out, "; his team won ", Num(r.record.results_won), " and lost ",
          Num(r.record.results_lost), r.record.results_lost == 1 ? " game" : " games");
    }
    out += ".</p>\n";
    return out;
  }

  // His skill after each of his rated games, and the awards he has a figure for.
  std::string ProfileSkillAndAwards(PersonIndex index) const {
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
          AwardFigure(award, value), "<td>", holds ? "holds it" : AwardFigure(award, best_[a]),
          "\n");
    }
    if (rows.empty()) return out + "<p>None yet.</p>\n";
    Add(out,
        "<div class=\"scroll\"><table class=\"data\">\n<thead><tr><th>Award<th>Kind<th>His "
        "figure<th>Best</thead>\n<tbody>\n",
        rows, "</tbody></table></div>\n");
    return out;
  }

  // The awards of one game as cards, the honours and the shames apart, each with its holder
  // and its runner-up.
  std::string GameAwards(size_t index) const {
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

  // games.html and its further pages: every game with a page, newest first.
  void GamesPages(const SitePageSink& sink) const {
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
      const std::vector<const Game*> rows(
          games.begin() + static_cast<std::ptrdiff_t>(pages.first(n)),
          games.begin() + static_cast<std::ptrdiff_t>(pages.end(n)));
      Add(page, pager, GamesTable(rows, "games"), pager, SitePageFoot(frame_, "", true));
      sink(ListPageFile("games", n), page);
    }
  }

  std::string KeyPage(KeyKind kind) const {
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
    Add(page, "<h1>", heading,
        "</h1>\n<div class=\"scroll\"><table class=\"data kp\" id=\"keys\">\n", "<thead><tr><th>",
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

  // A table of a person's tallies by map or game type.
  std::string TallyTable(KeyKind kind, const std::unordered_map<uint32_t, Tally>& tallies,
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

  std::string Profile(PersonIndex index) const {
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

  // The last `count` of `points`.
  static std::vector<LineChartPoint> LastOf(const std::vector<LineChartPoint>& points,
                                            size_t count) {
    return {points.end() - static_cast<std::ptrdiff_t>(std::min(count, points.size())),
            points.end()};
  }

  ListPages ProfileGamePages(PersonIndex index) const {
    return {facts_[index].games.size(), kProfileGamesPerPage};
  }

  // Page `n` of a person's games, newest first, between pagers; the first page is his profile
  // (PersonPage), the others beside it (ListPageFile of his id).
  std::string ProfileGamesTable(PersonIndex index, size_t n) const {
    const std::vector<const Game*>& games = facts_[index].games;
    const ListPages pages = ProfileGamePages(index);
    const std::string pager =
        PagerHtml(model_.people[index].id, n, pages.count(), "Pages of his games");
    std::string out = pager;
    out +=
        "<div class=\"scroll\"><table class=\"data pg\">\n<thead><tr><th>Game<th>Map<th>Game "
        "type<th>Kills<th>Deaths<th>K/D<th>Time played</thead>\n<tbody>\n";
    for (size_t i = pages.first(n); i < pages.end(n); ++i) {
      const Game& game = *games[games.size() - 1 - i];
      const Participant* part = model_.PlayerIn(game, index);
      Add(out, "<tr><th>", GameLink(game, "../"), "<td>", KeyText(KeyKind::Map, keys_.Map(game)),
          "<td>", KeyText(KeyKind::GameType, game.game_type), "<td>", Num(part->kills), "<td>",
          Num(part->deaths), "<td>", KdText(part->kills, part->deaths), "<td>",
          Duration(part->played_seconds), "\n");
    }
    out += "</tbody></table></div>\n" + pager;
    return out;
  }

  // A further page of a person's games (n > 0).
  std::string ProfileGamesPage(PersonIndex index, size_t n) const {
    const Person& p = model_.people[index];
    std::string page =
        Head(HtmlText(WithoutColourCodes(p.display)) + ", games page " + Num(n + 1), "../");
    Add(page, "<h1 class=\"name\"><span class=\"coloured\">", PersonLink(index, "../"),
        "</span></h1>\n<h2 id=\"games\">Games, page ", Num(n + 1), " of ",
        Num(ProfileGamePages(index).count()), "</h2>\n", ProfileGamesTable(index, n),
        SitePageFoot(frame_, "../", true));
    return page;
  }

  std::string BodyFigure(const PersonFacts& f, bool given, std::string_view caption) const {
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

  // The kills of a game per minute, as bars.
  static std::string TimelineSvg(const Game& game) {
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

  // Who did which objective action in a game, most done first.
  std::string ObjectivesTable(const Game& game) const {
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

  std::string GamePageHtml(const Game& game) const {
    const std::string server = std::string(texts_.Setting(game.server));
    const std::string title = "Game " + Num(game.number);
    std::string page = SitePageHead(title + " - " + TitleOf(server), "../", ServerHtml(server));
    Add(page, "<h1>", title, ": ", KeyHtml(KeyKind::Map, keys_.Map(game)),
        game.warmup ? " <small>warm-up</small>" : "", "</h1>\n");
    page += Cards({{"Map", KeyLink(KeyKind::Map, keys_.Map(game), "../")},
                   {"Game type", KeyLink(KeyKind::GameType, game.game_type, "../")},
                   {"Length", Duration(game.seconds)},
                   {"How it ended", std::string(EndingWords(game.ending))},
                   {"Result", ResultHtml(game, "../")}},
                  true);
    if (game.rounds > 1) {
      std::string wins;
      for (size_t code = 1; code < game.round_wins.size(); ++code) {
        if (game.round_wins[code] == 0) continue;
        Add(wins, wins.empty() ? "" : ", ",
            Capitalised(GameTexts::Team(static_cast<uint32_t>(code))), " ",
            Num(game.round_wins[code]));
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

  // The players of a game under a default or blank name: plain rows, no one's profile.
  std::string NamelessTable(const Game& game) const {
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

  const GameTexts texts_;
  const GamesModel& model_;
  const ModelFigures& figures_;
  const FriendlyNames& friendly_;
  const SiteFrame& frame_;
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

}  // namespace

std::string SitePageHead(std::string_view title, std::string_view root,
                         std::string_view server_html) {
  std::string out;
  Add(out,
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      "<meta name=\"color-scheme\" content=\"light dark\">\n<title>",
      title, "</title>\n<link rel=\"stylesheet\" href=\"", root,
      "site.css\">\n</head>\n<body>\n<header class=\"top\"><a class=\"server\" href=\"", root,
      "index.html\">", server_html, "</a>\n<nav><a href=\"", root,
      "index.html\">Home</a> <a href=\"", root, "people.html\">People</a> <a href=\"", root,
      "games.html\">Games</a> <a href=\"", root, "ranking.html\">Ranking</a> <a href=\"", root,
      "awards.html\">Awards</a> <a href=\"", root, "maps.html\">Maps</a> <a href=\"", root,
      "weapons.html\">Weapons</a> <a href=\"", root, "gametypes.html\">Game types</a> <a href=\"",
      root, "../index.html\">Classic pages</a></nav></header>\n<main>\n");
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
