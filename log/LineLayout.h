// The field layout of every line kind, in one place: which ";"-field (numbered from 1, the
// kind being field 1) carries which value. The event builder reads lines by these numbers;
// no other pass looks at raw fields.
#pragma once

namespace barvik::layout {

inline constexpr int kKindField = 1;  // also the settings text of a game-initialisation line

// Join, Quit, Say, SayTeam and Item lines: the player.
inline constexpr int kNameLineName = 4;

// Join and Quit lines also carry the player's GUID and slot.
inline constexpr int kJoinGuid = 2;
inline constexpr int kJoinSlot = 3;

// Weapon pick-up lines.
inline constexpr int kPickUpName = 4;
inline constexpr int kPickUpWeapon = 5;

// Damage and Kill lines share one layout.
inline constexpr int kHitVictim = 5;
inline constexpr int kHitAttacker = 9;
inline constexpr int kHitWeapon = 10;
inline constexpr int kHitLocation = 13;
inline constexpr int kHitVictimSlot = 3;
inline constexpr int kHitVictimTeam = 4;
inline constexpr int kHitAttackerSlot = 7;
inline constexpr int kHitAttackerTeam = 8;
inline constexpr int kHitDamage = 11;
inline constexpr int kHitMeans = 12;       // the means of death, "MOD_RIFLE_BULLET"
inline constexpr int kHitFieldCount = 13;  // the fields a hit line is read up to

// Action lines: the player and the action word ("ctf_take", "bomb_plant").
inline constexpr int kActionName = 5;
inline constexpr int kActionWord = 6;

// Win and Loss lines: the team in field 2 (empty in a free-for-all), names in fields 4, 6, 8, ...
// up to the first empty one.
inline constexpr int kTeamField = 2;
inline constexpr int kTeamFirstName = 4;
inline constexpr int kTeamNameStep = 2;

// The keys of the four values taken from a game-initialisation line's field 1.
inline constexpr const char* kMapKey = "\\mapname\\";
inline constexpr const char* kGameTypeKey = "\\g_gametype\\";
inline constexpr const char* kHostNameKey = "\\sv_hostname\\";
inline constexpr const char* kGameNameKey = "\\gamename\\";  // which game of the family

}  // namespace barvik::layout
