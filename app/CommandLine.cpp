#include "app/CommandLine.h"

#include <charconv>

namespace barvik {

std::optional<int> WholeSeconds(std::string_view text, int least) {
  int seconds = -1;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, seconds);
  if (ec != std::errc() || ptr != end || seconds < least || seconds > kMaxSeconds) {
    return std::nullopt;
  }
  return seconds;
}

}  // namespace barvik
