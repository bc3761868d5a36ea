// StableHash: a 64-bit hash that comes out the same on every machine and in every run, for
// fingerprints that are kept on disk and compared in a later run. Fed field by field: the
// same calls with the same arguments give the same value. A text is fed with its length, so
// two different sequences of texts and numbers never feed the same words.
//
// It tells changed inputs apart (one differing word always changes the value); it is no
// defence against inputs made on purpose to collide.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace barvik {

class StableHash {
 public:
  StableHash() = default;
  // A hash fed further from where another stood when it gave `value`: feeding it the calls that
  // followed gives what that hash would have given after them (a fingerprint continued in a
  // later run).
  static StableHash Resume(uint64_t value) {
    StableHash hash;
    hash.state_ = value;
    return hash;
  }

  // Raw bytes, eight at a time; the last few with their count, so "a" and "a\0" differ.
  StableHash& Bytes(std::string_view bytes) {
    const char* p = bytes.data();
    size_t n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
      uint64_t word = 0;
      std::memcpy(&word, p, 8);
      Mix(Little(word));
    }
    if (n > 0) {
      uint64_t word = static_cast<uint64_t>(n) << 56;
      for (size_t i = 0; i < n; ++i)
        word |= static_cast<uint64_t>(static_cast<uint8_t>(p[i])) << (8 * i);
      Mix(word);
    }
    return *this;
  }
  // The length, then the bytes.
  StableHash& Text(std::string_view text) { return Number(text.size()).Bytes(text); }
  StableHash& Number(uint64_t number) {
    Mix(number);
    return *this;
  }
  // The bit pattern: 0.0 and -0.0 differ, as the same picture might not.
  StableHash& Real(double number) { return Number(std::bit_cast<uint64_t>(number)); }

  uint64_t value() const { return state_; }

 private:
  static uint64_t Little(uint64_t word) {
    if constexpr (std::endian::native == std::endian::big) {
      uint64_t swapped = 0;
      for (int i = 0; i < 8; ++i) swapped |= ((word >> (8 * i)) & 0xFF) << (8 * (7 - i));
      return swapped;
    }
    return word;
  }
  // Each step is a bijection of the state for a given word and of the word for a given state;
  // the shift carries the high bits of the product down into the low ones.
  void Mix(uint64_t word) {
    state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ull;
    state_ ^= state_ >> 32;
  }

  uint64_t state_ = 14695981039346656037ull;  // a fixed start (FNV's offset basis)
};

}  // namespace barvik
