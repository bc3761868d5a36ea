// The kind of a log line, decided by the exact keyword of its first field.
#pragma once

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
};

}  // namespace barvik
