// Wall-clock time of the games: the settings that say how a server's clock is read, the time
// zone local times are read and shown in, and the forms dates take in JSON, on the command
// line and on the pages. Times are Unix seconds (UTC); kNoDate stands for none.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace date {
class time_zone;
}

namespace barvik {

inline constexpr int64_t kNoDate = INT64_MIN;

// How one server's clock is read; the command line's --timezone and --clock-cvar (and a site
// file's `timezone` and `clock_cvar`) fill it.
struct ClockSettings {
  std::string timezone;    // an IANA zone name ("Europe/Berlin"); empty: the machine's zone
  std::string clock_cvar;  // a game-initialisation cvar holding the server's start; empty: none
};

// How a game's start time was found, from the best source down (docs/dates.md).
enum class TimeQuality : uint8_t { Unknown = 0, Estimated, Observed, Exact };
// "unknown", "estimated", "observed", "exact".
std::string_view TimeQualityName(TimeQuality quality);

// A bad --timezone or date argument, with the message to show.
class ClockError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A time zone of the system's zone data. Copies are cheap; the zone data lives as long as the
// program.
class Zone {
 public:
  // The zone of `settings.timezone`, the machine's zone when that is empty (UTC when the
  // machine names none). Throws ClockError "unknown time zone 'NAME'".
  static Zone Of(const ClockSettings& settings);
  static Zone Utc();

  // The UTC time of a local wall-clock time (seconds since 1970-01-01 00:00 of that clock).
  // A time that a clock change skips is read with the offset before the change; one that a
  // change repeats, as its earlier instant.
  int64_t ToUtc(int64_t local_seconds) const;
  // The local wall-clock time of a UTC time.
  int64_t ToLocal(int64_t utc_seconds) const;
  std::string_view name() const;

 private:
  explicit Zone(const date::time_zone* zone) : zone_(zone) {}
  const date::time_zone* zone_;  // nullptr: UTC
};

// "2026-12-09T20:00:00Z".
std::string IsoUtc(int64_t utc_seconds);
// "2026-12-09 20:00" of the local time in `zone` (`with_time` false: "2026-12-09").
std::string LocalText(int64_t utc_seconds, const Zone& zone, bool with_time = true);

// The civil fields of a wall-clock time (seconds since 1970-01-01 00:00 of that clock).
struct CivilTime {
  int year;
  unsigned month, day, hour, minute, second;
  unsigned weekday;  // 0 Sunday .. 6 Saturday
};
CivilTime CivilOf(int64_t wall_seconds);

// A --since or --until argument: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (or with a "T"), read
// in `zone`, or any of those ending in "Z", read as UTC. `until` takes a date alone as its
// whole day. The result is a UTC bound: since is inclusive, until exclusive. Throws ClockError
// "bad date 'TEXT' (YYYY-MM-DD or YYYY-MM-DD HH:MM)".
int64_t ParseDateBound(std::string_view text, const Zone& zone, bool until);

}  // namespace barvik
