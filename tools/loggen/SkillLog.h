// A generator of server histories in which every player has a hidden true skill that decides
// his fights, to measure how well a ranking recovers it. It adds what makes kills per death
// mislead: evenings whose crowds differ in strength (strong players come to strong evenings),
// campers (fewer fights, an edge in each: a high ratio) and very different numbers of games.
// The log is made of the lines a real server writes (InitGame, J/Q, D/K, W/L, ExitLevel,
// ShutdownGame, time stamps of server uptime that restart with the server each evening); the
// same options give the same log.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace barvik {

struct SkillLogOptions {
  uint64_t seed = 1;
  int games = 300;
  int players = 60;
};

struct HiddenPlayer {
  std::string name;
  std::string guid;
  double skill = 0.0;  // the hidden true skill (standard normal)
  bool camper = false;
};

// What the generator wrote of one player in one game, for checks without a log reader.
struct SkillGamePlayer {
  int player = 0;  // index into SkillLog::players
  int kills = 0;   // of enemies (any other player in a free-for-all)
  int deaths = 0;  // every death, suicides and world deaths included
  int team_kills = 0;
  int seconds = 0;
  int team_seconds[2] = {0, 0};  // axis, allies; both 0 in a free-for-all
};

struct SkillGame {
  std::string gametype;
  int seconds = 0;
  int winner = -1;  // 0 axis, 1 allies, -1 none (free-for-all, or a draw)
  std::vector<SkillGamePlayer> players;
  // Its kills of enemies in the order written: (killer, victim), indexes into `players`.
  std::vector<std::pair<int, int>> kills;
};

struct SkillLog {
  std::string text;
  std::vector<HiddenPlayer> players;
  std::vector<SkillGame> games;
};

SkillLog GenerateSkillLog(const SkillLogOptions& options);

// Spearman's rank correlation of two equally long series (average ranks for ties); 0 when
// fewer than two values or either series is constant.
double SpearmanCorrelation(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace barvik
