// The column captions of the report lists, each spelled once. The lists are made with them and
// every reader finds its columns by them (the player tables, the site writer, the window's
// figures). A caption is shown text as well: the window's headers, the pages and barvik-cli's
// output print it, so a change here changes all of them.
#pragma once

namespace barvik::caption {

// First columns: what a row is.
inline constexpr char kName[] = "Name";
inline constexpr char kWeapon[] = "Weapon";  // also the players' count of weapon pick-ups
inline constexpr char kMap[] = "Map";
inline constexpr char kGameType[] = "Game Type";
inline constexpr char kBodyLocation[] = "Body Location";
inline constexpr char kPlayer[] = "Player";
inline constexpr char kTurn[] = "Turn";

// Counts, and the a count's share of its total ("[%]").
inline constexpr char kKills[] = "Kills";
inline constexpr char kKillsPercent[] = "Kills[%]";
inline constexpr char kDeads[] = "Deads";
inline constexpr char kDeadsPercent[] = "Deads[%]";
inline constexpr char kRatio[] = "Ratio";
inline constexpr char kSuicides[] = "Suicides";
inline constexpr char kSuicidesPercent[] = "Suicides[%]";
inline constexpr char kIDamages[] = "I.Damages";
inline constexpr char kIDamagesPercent[] = "I.Damages[%]";
inline constexpr char kDamages[] = "Damages";
inline constexpr char kDamagesPercent[] = "Damages[%]";
inline constexpr char kSelfDamages[] = "Self Damages";       // the players list
inline constexpr char kSelfDamagesWeapon[] = "SelfDamages";  // one player's weapon list
inline constexpr char kPickUp[] = "Pick Up";
inline constexpr char kBelTicks[] = "BEL Ticks";
inline constexpr char kWins[] = "Wins";
inline constexpr char kLoses[] = "Loses";
inline constexpr char kSay[] = "Say";
inline constexpr char kSayTeam[] = "SayTeam";
inline constexpr char kJoins[] = "Joins";
inline constexpr char kQuits[] = "Quits";
inline constexpr char kItems[] = "Items";

}  // namespace barvik::caption
