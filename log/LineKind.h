// The kind of a log line, decided by the exact keyword of its first field.
#pragma once

#include <cstdint>

namespace barvik {

enum class LineKind {
  GameInit = 0,
  Other = 1,
  Join = 2,
  Quit = 3,
  Say = 4,
  SayTeam = 5,
  WeaponPickUp = 6,
  Damage = 7,
  Kill = 8,
  Item = 9,
  Action = 10,
  Win = 11,
  Loss = 12,
  // Not a kind of its own for the per-name passes (they read such lines as Other): the end of
  // a game ("ExitLevel: executed", "RestartGame:", "ShutdownGame:"), kept for the games model.
  GameEnd = 14,
};

// How a game-end line ended the game.
enum class GameEndHow : uint32_t { Exit = 0, Restart = 1, Shutdown = 2 };

}  // namespace barvik
