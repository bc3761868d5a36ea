// A generator of realistic server logs for benchmarks, tests and the bundled sample: turns
// of one map and game type, players joining and quitting, kills and damages with weapons and
// hit locations, pick-ups, chat, actions, team results. Optional quirks of real servers:
// CRLF line ends, extra fields of modded servers, unknown line kinds, chat lines without a
// time stamp, colour codes and 8-bit characters in names. The same options give the same log.
#pragma once

#include <cstdint>
#include <string>

namespace barvik {

struct LogGeneratorOptions {
  uint64_t seed = 1;
  size_t lines = 10000;  // about this many lines
  int players = 40;      // distinct player names
  int active = 0;        // only the first this many of them play (0: all), as in a log that
                         // goes on with the players of one evening
  int lines_per_turn = 3000;
  bool crlf = false;
  bool quirks = true;         // modded fields, unknown kinds, untimed chat, colour codes
  bool high_bytes = true;     // some names with Windows-1252 letters
  bool case_variants = true;  // some players reappear with another letter case
};

std::string GenerateLog(const LogGeneratorOptions& options);

}  // namespace barvik
