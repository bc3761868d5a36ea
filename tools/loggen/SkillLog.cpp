#include "tools/loggen/SkillLog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>
#include <string_view>

namespace barvik {
namespace {

// mt19937_64's output is fixed by the standard; the distributions are not, so they are here.
class Draw {
 public:
  explicit Draw(uint64_t seed) : engine_(seed) {}
  double Uniform() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  int Below(int n) { return static_cast<int>(engine_() % static_cast<uint64_t>(n)); }
  bool Chance(double p) { return Uniform() < p; }
  double Normal() {  // Box-Muller
    const double u = 1.0 - Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * M_PI * Uniform());
  }
  template <typename T, size_t N>
  const T& Pick(const std::array<T, N>& from) {
    return from[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

 private:
  std::mt19937_64 engine_;
};

// How the history misleads kills per death: how strictly the strong and the weak keep to
// their own evenings, how many players camp, how much less often a camper fights and his edge
// in a fight (on the logistic scale of the skill difference).
constexpr double kCrowdSorting = 2.5;
constexpr double kCampers = 0.15;
constexpr double kCamperFights = 0.3;
constexpr double kCamperEdge = 0.6;

double Logistic(double x) { return 1.0 / (1.0 + std::exp(-x)); }

constexpr std::array<std::string_view, 8> kMaps = {"mp_carentan", "mp_dawnville", "mp_harbor",
                                                   "mp_pavlov",   "mp_brecourt",  "mp_depot",
                                                   "mp_railyard", "mp_chateau"};
constexpr std::array<std::string_view, 10> kNames = {"Hawk", "Moose", "Ivan",  "Kilroy", "Dutch",
                                                     "Spud", "Otto",  "Lefty", "Rook",   "Brick"};
constexpr std::array<std::string_view, 4> kClans = {"", "[LAN]", "=7th=", "{DZ}"};
struct Weapon {
  std::string_view name;
  std::string_view means;
};
constexpr std::array<Weapon, 10> kWeapons = {{{"kar98k_mp", "MOD_RIFLE_BULLET"},
                                              {"m1garand_mp", "MOD_RIFLE_BULLET"},
                                              {"mp40_mp", "MOD_PISTOL_BULLET"},
                                              {"thompson_mp", "MOD_PISTOL_BULLET"},
                                              {"bar_mp", "MOD_RIFLE_BULLET"},
                                              {"springfield_mp", "MOD_RIFLE_BULLET"},
                                              {"kar98k_sniper_mp", "MOD_RIFLE_BULLET"},
                                              {"colt_mp", "MOD_PISTOL_BULLET"},
                                              {"stielhandgranate_mp", "MOD_GRENADE_SPLASH"},
                                              {"mk1britishfrag_mp", "MOD_GRENADE_SPLASH"}}};
constexpr std::array<std::string_view, 8> kLocations = {
    "head",           "torso_upper",     "torso_upper", "torso_lower",
    "left_arm_upper", "right_leg_lower", "neck",        "torso_lower"};
constexpr std::array<std::string_view, 2> kTeams = {"axis", "allies"};

// A player's place in one game: when he is in it, on which team, and his slot.
struct Seat {
  int player;
  int slot;
  int from;       // seconds after the game's start
  int to;         // his quit or the game's end
  int team;       // -1 in a free-for-all
  int switch_at;  // he changes team at this time (past `to`: never)
  int TeamAt(int t) const { return team < 0 || t < switch_at ? team : 1 - team; }
};

class Writer {
 public:
  Writer(SkillLog& log, Draw& draw) : log_(log), draw_(draw) {}

  void Line(long clock, std::string_view text) {
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%3ld:%02ld ", clock / 60, clock % 60);
    log_.text += stamp;
    log_.text += text;
    log_.text += '\n';
  }
  std::string Who(const Seat& seat, int t) const {
    const HiddenPlayer& p = log_.players[static_cast<size_t>(seat.player)];
    const int team = seat.TeamAt(t);
    return p.guid + ";" + std::to_string(seat.slot) + ";" +
           (team < 0 ? std::string() : std::string(kTeams[static_cast<size_t>(team)])) + ";" +
           p.name;
  }
  // The damage lines of a fight and, when the victim dies of it, its kill line.
  void Fight(long clock, const Seat& victim, const Seat* attacker, int t) {
    const Weapon& weapon = draw_.Pick(kWeapons);
    const std::string_view location = draw_.Pick(kLocations);
    const std::string by = attacker ? Who(*attacker, t) : "-1;-1;world;";
    if (attacker && draw_.Chance(0.7)) {
      Line(clock, "D;" + Who(victim, t) + ";" + by + ";" + std::string(weapon.name) + ";" +
                      std::to_string(20 + draw_.Below(50)) + ";" + std::string(weapon.means) + ";" +
                      std::string(draw_.Pick(kLocations)));
    }
    const bool head = location == "head" && weapon.means == "MOD_RIFLE_BULLET";
    Line(clock,
         "K;" + Who(victim, t) + ";" + by + ";" +
             (attacker ? std::string(weapon.name) + ";" + std::to_string(50 + draw_.Below(80)) +
                             ";" + std::string(head ? "MOD_HEAD_SHOT" : weapon.means)
                       : std::string("none;100000;MOD_FALLING")) +
             ";" + std::string(attacker ? location : "none"));
  }

 private:
  SkillLog& log_;
  Draw& draw_;
};

}  // namespace

SkillLog GenerateSkillLog(const SkillLogOptions& options) {
  Draw draw(options.seed);
  SkillLog log;
  const int count = std::max(options.players, 2);
  std::vector<double> activity, league;
  for (int i = 0; i < count; ++i) {
    HiddenPlayer p;
    p.name = std::string(draw.Pick(kClans)) + std::string(draw.Pick(kNames)) + " " +
             std::to_string(i + 1);
    p.guid = std::to_string(2000000 + i * 7919);
    p.skill = draw.Normal();
    p.camper = draw.Chance(kCampers);
    // From a few games a year to every evening: the number of games differs by 20 times.
    activity.push_back(std::exp(draw.Uniform() * -3.0));
    // The strong come to the league evenings, the weak to the casual ones.
    league.push_back(Logistic(kCrowdSorting * p.skill + 0.5 * draw.Normal()));
    log.players.push_back(std::move(p));
  }
  Writer out(log, draw);
  const std::string separator(60, '-');

  while (static_cast<int>(log.games.size()) < options.games) {
    // An evening: the server starts, a crowd comes, several games are played.
    const bool league_night = draw.Chance(0.5);
    std::vector<int> crowd;
    for (int i = 0; i < count; ++i) {
      const double affinity = league_night ? league[i] : 1.0 - league[i];
      if (draw.Chance(std::min(0.95, 1.6 * activity[i] * affinity))) crowd.push_back(i);
    }
    while (crowd.size() < 4) {
      const int i = draw.Below(count);
      if (std::find(crowd.begin(), crowd.end(), i) == crowd.end()) crowd.push_back(i);
    }
    if (crowd.size() > 20) crowd.resize(20);
    long clock = 0;
    out.Line(clock, separator);
    const int evening_games = 4 + draw.Below(9);
    for (int g = 0; g < evening_games && static_cast<int>(log.games.size()) < options.games; ++g) {
      SkillGame game;
      const int type = draw.Below(10);
      game.gametype = type < 4 ? "dm" : type < 8 ? "tdm" : "sd";
      const bool teams = game.gametype != "dm";
      game.seconds = 600 + draw.Below(601);
      out.Line(clock, "InitGame: \\g_gametype\\" + game.gametype +
                          "\\gamename\\Call of Duty\\mapname\\" + std::string(draw.Pick(kMaps)) +
                          "\\protocol\\6\\sv_hostname\\^2Skill ^7LAN\\sv_maxclients\\24");
      std::vector<Seat> seats;
      std::vector<int> order(crowd.size());  // who plays on which side changes every game
      std::iota(order.begin(), order.end(), 0);
      for (size_t i = order.size(); i > 1; --i) {
        std::swap(order[i - 1], order[static_cast<size_t>(draw.Below(static_cast<int>(i)))]);
      }
      for (size_t c = 0; c < crowd.size(); ++c) {
        if (!draw.Chance(0.85)) continue;
        Seat seat{crowd[c], static_cast<int>(c), 0, game.seconds, -1, game.seconds + 1};
        if (draw.Chance(0.15)) seat.from = draw.Below(game.seconds / 2);
        if (draw.Chance(0.1)) seat.to = game.seconds / 2 + draw.Below(game.seconds / 2);
        if (teams) {
          seat.team = order[c] % 2;
          if (draw.Chance(0.05)) seat.switch_at = seat.from + (seat.to - seat.from) / 2;
        }
        seats.push_back(seat);
      }
      if (seats.size() < 2) {  // a game needs two: the first two of the crowd play it whole
        seats.clear();
        for (int c : {0, 1}) {
          seats.push_back({crowd[static_cast<size_t>(c)], c, 0, game.seconds, teams ? c : -1,
                           game.seconds + 1});
        }
      }
      for (const Seat& seat : seats) {
        SkillGamePlayer p;
        p.player = seat.player;
        p.seconds = seat.to - seat.from;
        if (teams) {
          const int switch_at = std::min(seat.switch_at, seat.to);
          p.team_seconds[seat.team] += switch_at - seat.from;
          p.team_seconds[1 - seat.team] += seat.to - switch_at;
        }
        game.players.push_back(p);
      }

      // Events in time order: joins, fights, quits.
      struct Event {
        int t;
        int kind;  // 0 join, 1 fight, 2 quit
        size_t seat;
      };
      std::vector<Event> events;
      for (size_t s = 0; s < seats.size(); ++s) {
        events.push_back({seats[s].from, 0, s});
        if (seats[s].to < game.seconds) events.push_back({seats[s].to, 2, s});
      }
      const int fights = static_cast<int>(game.seconds * static_cast<double>(seats.size()) * 0.012);
      for (int f = 0; f < fights; ++f) events.push_back({1 + draw.Below(game.seconds - 1), 1, 0});
      std::stable_sort(events.begin(), events.end(),
                       [](const Event& a, const Event& b) { return a.t < b.t; });
      std::array<int, 2> team_kills_of_enemies = {0, 0};
      for (const Event& e : events) {
        const long at = clock + e.t;
        const Seat& seat = seats[e.seat];
        const std::string& name = log.players[static_cast<size_t>(seat.player)].name;
        const std::string& guid = log.players[static_cast<size_t>(seat.player)].guid;
        if (e.kind != 1) {
          std::string line = e.kind == 0 ? "J;" : "Q;";
          line += guid + ";" + std::to_string(seat.slot) + ";";
          line += name;
          out.Line(at, line);
          continue;
        }
        // A fight: the attacker is drawn by how often he seeks fights, his opponent among the
        // others present (of the other team, or rarely his own).
        std::vector<size_t> present;
        double total_rate = 0.0;
        for (size_t s = 0; s < seats.size(); ++s) {
          if (seats[s].from <= e.t && e.t < seats[s].to) {
            present.push_back(s);
            total_rate +=
                log.players[static_cast<size_t>(seats[s].player)].camper ? kCamperFights : 1.0;
          }
        }
        if (present.size() < 2) continue;
        double pick = draw.Uniform() * total_rate;
        size_t a = present.back();
        for (size_t s : present) {
          pick -= log.players[static_cast<size_t>(seats[s].player)].camper ? kCamperFights : 1.0;
          if (pick < 0) {
            a = s;
            break;
          }
        }
        const bool team_kill = teams && draw.Chance(0.03);
        std::vector<size_t> opponents;
        for (size_t s : present) {
          if (s == a) continue;
          const bool same = teams && seats[s].TeamAt(e.t) == seats[a].TeamAt(e.t);
          if (!teams || same == team_kill) opponents.push_back(s);
        }
        if (opponents.empty()) continue;
        size_t b = opponents[static_cast<size_t>(draw.Below(static_cast<int>(opponents.size())))];
        if (draw.Chance(0.03)) {  // a fall or his own grenade
          out.Fight(at, seats[b], draw.Chance(0.5) ? &seats[b] : nullptr, e.t);
          ++game.players[b].deaths;
          continue;
        }
        if (!team_kill) {
          const HiddenPlayer& pa = log.players[static_cast<size_t>(seats[a].player)];
          const HiddenPlayer& pb = log.players[static_cast<size_t>(seats[b].player)];
          const double edge = 1.0 * (pa.skill - pb.skill) + kCamperEdge * (pa.camper - pb.camper);
          if (!draw.Chance(Logistic(edge))) std::swap(a, b);
        }
        out.Fight(at, seats[b], &seats[a], e.t);
        ++game.players[b].deaths;
        if (team_kill) {
          ++game.players[a].team_kills;
        } else {
          ++game.players[a].kills;
          game.kills.emplace_back(static_cast<int>(a), static_cast<int>(b));
          if (teams) ++team_kills_of_enemies[static_cast<size_t>(seats[a].TeamAt(e.t))];
        }
      }
      clock += game.seconds;
      if (teams && team_kills_of_enemies[0] != team_kills_of_enemies[1]) {
        game.winner = team_kills_of_enemies[0] > team_kills_of_enemies[1] ? 0 : 1;
        for (int side : {game.winner, 1 - game.winner}) {
          std::string result = std::string(side == game.winner ? "W;" : "L;") +
                               std::string(kTeams[static_cast<size_t>(side)]);
          for (const Seat& seat : seats) {
            if (seat.to == game.seconds && seat.TeamAt(game.seconds) == side) {
              const HiddenPlayer& p = log.players[static_cast<size_t>(seat.player)];
              result += ";" + p.guid + ";" + p.name;
            }
          }
          out.Line(clock, result);
        }
      }
      out.Line(clock, "ExitLevel: executed");
      out.Line(clock, "ShutdownGame:");
      out.Line(clock, separator);
      clock += 10 + draw.Below(20);
      log.games.push_back(std::move(game));
    }
  }
  return log;
}

namespace {

std::vector<double> Ranks(const std::vector<double>& values) {
  std::vector<size_t> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return values[a] < values[b]; });
  std::vector<double> ranks(values.size());
  for (size_t i = 0; i < order.size();) {
    size_t j = i;
    while (j + 1 < order.size() && values[order[j + 1]] == values[order[i]]) ++j;
    for (size_t k = i; k <= j; ++k) ranks[order[k]] = (static_cast<double>(i + j) / 2.0) + 1.0;
    i = j + 1;
  }
  return ranks;
}

}  // namespace

double SpearmanCorrelation(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size() || a.size() < 2) return 0.0;
  const std::vector<double> ra = Ranks(a), rb = Ranks(b);
  const double mean = (static_cast<double>(a.size()) + 1.0) / 2.0;
  double cov = 0.0, va = 0.0, vb = 0.0;
  for (size_t i = 0; i < a.size(); ++i) {
    cov += (ra[i] - mean) * (rb[i] - mean);
    va += (ra[i] - mean) * (ra[i] - mean);
    vb += (rb[i] - mean) * (rb[i] - mean);
  }
  return va == 0.0 || vb == 0.0 ? 0.0 : cov / std::sqrt(va * vb);
}

}  // namespace barvik
