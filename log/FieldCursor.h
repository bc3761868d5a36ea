// Walks the ";"-fields of a line's event text, field 1 first: blanks, the time stamp and
// blanks are skipped (never past the last character), then each call gives the next field.
// Past the last field every further field reads as empty.
#pragma once

#include <cstring>
#include <string_view>

namespace barvik {

class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) : line_(line) {
    const size_t n = line.size();
    if (n == 0) return;
    while (p_ + 1 < n && line[p_] == ' ') ++p_;
    while (p_ + 1 < n && line[p_] != ' ') ++p_;
    while (p_ + 1 < n && line[p_] == ' ') ++p_;
  }

  std::string_view Next() {
    const size_t n = line_.size();
    const size_t start = p_;
    if (start >= n) {
      ++p_;
      return {};
    }
    const void* semicolon = std::memchr(line_.data() + start, ';', n - start);
    const size_t end =
        semicolon ? static_cast<size_t>(static_cast<const char*>(semicolon) - line_.data()) : n;
    p_ = end + 1;
    if (start >= end) return {};
    return line_.substr(start, end - start);
  }

 private:
  std::string_view line_;
  size_t p_ = 0;
};

}  // namespace barvik
