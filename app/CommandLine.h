// What the programs' command lines share: their exit statuses and the reading of a number of
// seconds (--wait, --every).
#pragma once

#include <optional>
#include <string_view>

namespace barvik {

// The exit status of barvik, barvik-cli and barvik-export.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,  // the work started but failed (a file could not be written)
  kExitUsage = 2,    // bad arguments, or a log that is missing or cannot be read
  kExitBusy = 3,     // another run holds the report folder
  // The work was done with what could be had, but a remote log could not be fetched (its
  // spool, as an earlier run left it, was read instead).
  kExitSourcesFailed = 4,
};

// The longest wait or period an option takes: one day.
inline constexpr int kMaxSeconds = 86400;

// `text` as a whole number of seconds from `least` to kMaxSeconds, or nothing.
std::optional<int> WholeSeconds(std::string_view text, int least);

}  // namespace barvik
