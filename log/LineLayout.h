// The field layout of every line kind, in one place: which ";"-field (numbered from 1, the
// kind being field 1) carries which value. The event builder reads lines by these numbers;
// no other pass looks at raw fields.
#pragma once

namespace barvik::layout {

inline constexpr int kKindField = 1;  // also the settings text of a game-initialisation line

// Join, Quit, Say, SayTeam and Item lines: the player.
inline constexpr int kNameLineName = 4;

// Weapon pick-up lines.
inline constexpr int kPickUpName = 4;
inline constexpr int kPickUpWeapon = 5;

// Damage and Kill lines share one layout.
inline constexpr int kHitVictim = 5;
inline constexpr int kHitAttacker = 9;
inline constexpr int kHitWeapon = 10;
inline constexpr int kHitLocation = 13;
inline constexpr int kHitFieldCount = 13;  // the fields a hit line is read up to

// Action lines: the player (the action text is not used).
inline constexpr int kActionName = 5;

// Win and Loss lines: names in fields 4, 6, 8, ... up to the first empty one.
inline constexpr int kTeamFirstName = 4;
inline constexpr int kTeamNameStep = 2;

// The keys of the three values taken from a game-initialisation line's field 1.
inline constexpr const char* kMapKey = "\\mapname\\";
inline constexpr const char* kGameTypeKey = "\\g_gametype\\";
inline constexpr const char* kHostNameKey = "\\sv_hostname\\";

}  // namespace barvik::layout
