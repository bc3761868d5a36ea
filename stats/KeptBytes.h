// The bytes of a state a pass keeps for the next run (the players' fingerprints, the statistics
// pass): numbers are eight bytes, least significant first; texts are their length, then their
// bytes. The reader never reads past its bytes: a short or damaged state reads as not ok.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace barvik {

inline void PutKeptNumber(std::string& out, uint64_t n) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
}

inline void PutKeptText(std::string& out, std::string_view text) {
  PutKeptNumber(out, text.size());
  out.append(text);
}

struct KeptReader {
  std::string_view in;
  bool ok = true;

  uint64_t Number() {
    if (in.size() < 8) {
      ok = false;
      return 0;
    }
    uint64_t n = 0;
    for (int i = 0; i < 8; ++i) n |= uint64_t{static_cast<uint8_t>(in[i])} << (8 * i);
    in.remove_prefix(8);
    return n;
  }
  std::string_view Text() {
    const uint64_t size = Number();
    if (!ok || size > in.size()) {
      ok = false;
      return {};
    }
    const std::string_view text = in.substr(0, size);
    in.remove_prefix(size);
    return text;
  }
  // True when at least `count` more items of `bytes` each may follow.
  bool Room(uint64_t count, uint64_t bytes) const { return ok && count <= in.size() / bytes; }
};

}  // namespace barvik
