// What a log line's texts mean, beside the field layout (LineLayout.h): the kind a line's
// first field names, and the normal form of a name under the name options. The event builder
// and every pass read lines and names through these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "log/LineKind.h"

namespace barvik {

// The kind of a line from its field 1 ("K", "say", "InitGame: ..."); Other for any other.
LineKind KindOfField1(std::string_view field1);

// How a game ends when field 1 is one of the game-end texts ("ExitLevel: executed",
// "RestartGame:", "ShutdownGame:", each as a prefix); nothing for any other field.
std::optional<GameEndHow> GameEndOfField1(std::string_view field1);

// The time stamp before the event text ("12:34", minutes growing past 99) in seconds, or
// nothing when the line has no stamp of that form.
std::optional<uint32_t> StampSeconds(std::string_view line);

// A slot number field ("3", "-1"): its value in -127..127, kNoSlot when it is empty, not a
// number or outside that range.
inline constexpr int kNoSlot = -128;
int SlotOfField(std::string_view field);

// A damage field: its value, 65535 when larger, 0 when it is not a number.
uint32_t DamageOfField(std::string_view field);

// The code of a team field: 0 none (free-for-all lines), 1 "allies", 2 "axis", 3 any other.
inline constexpr uint32_t kNoTeam = 0;
uint32_t TeamCodeOfField(std::string_view field);
std::string_view TeamNameOfCode(uint32_t code);

// One of the three values of a game-initialisation field 1: the text after `key` up to the
// next "\", "n/a" when the key is absent.
std::string_view GameInitValue(std::string_view field1, std::string_view key);

// A date and time as a clock cvar or a line stamp writes it: the seconds since 1970-01-01
// 00:00:00 of the wall clock it shows, and whether that clock is UTC (Unix seconds) or the
// server's local time.
struct ClockReading {
  int64_t seconds = 0;
  bool utc = false;
};
// "MM/DD/YY HH:MM:SS" (years 69-99 are 19YY, 00-68 20YY), "MM/DD/YYYY HH:MM:SS",
// "YYYY-MM-DD HH:MM:SS" (or with a "T"), the C library's "Www Mmm D HH:MM:SS YYYY", or Unix
// seconds (9 or 10 digits); nothing for anything else, an impossible date or time included.
std::optional<ClockReading> ClockValue(std::string_view text);
// The cvars of a game-initialisation field 1 whose value is a ClockValue, as "key\value"
// pairs joined by "\", in their order: the date cvars a game may be placed by. Empty when
// there is none.
std::string ClockCvars(std::string_view field1);
// The value of `key` (compared without case) in a ClockCvars text; empty when absent.
std::string_view ClockCvarValue(std::string_view cvars, std::string_view key);
// The stamp of a line stamped with Unix seconds ("1765400000 InitGame: ..."): 10 digits from
// 1000000000 on, then a space or the end. Nothing for an uptime stamp or none.
std::optional<uint32_t> UnixStamp(std::string_view line);

// The text with case folded (`ignore_case`, as Windows-1252) and "^x" colour codes removed
// (`ignore_colors`). Returns `text` itself when nothing changes, otherwise a view into
// `scratch`, valid until `scratch` is next used.
std::string_view NormaliseText(std::string_view text, bool ignore_case, bool ignore_colors,
                               std::string& scratch);

}  // namespace barvik
