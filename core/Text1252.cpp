#include "core/Text1252.h"

#include <array>

namespace barvik {
namespace {

struct CaseTables {
  std::array<unsigned char, 256> lower{};
  std::array<unsigned char, 256> upper{};
};

constexpr CaseTables MakeCaseTables() {
  CaseTables t;
  for (int i = 0; i < 256; ++i) {
    t.lower[i] = static_cast<unsigned char>(i);
    t.upper[i] = static_cast<unsigned char>(i);
  }
  auto pair = [&t](int up, int low) {
    t.lower[up] = static_cast<unsigned char>(low);
    t.upper[low] = static_cast<unsigned char>(up);
  };
  for (int c = 'A'; c <= 'Z'; ++c) pair(c, c + 32);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) pair(c, c + 32);
  }
  pair(0x8A, 0x9A);
  pair(0x8C, 0x9C);
  pair(0x8E, 0x9E);
  pair(0x9F, 0xFF);
  return t;
}

constexpr CaseTables kCase = MakeCaseTables();

// Code points of 0x80-0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

char ToLower1252(char c) { return static_cast<char>(kCase.lower[static_cast<unsigned char>(c)]); }

char ToUpper1252(char c) { return static_cast<char>(kCase.upper[static_cast<unsigned char>(c)]); }

void LowerInto(std::string_view text, std::string& out) {
  out.resize(text.size());
  char* o = out.data();
  for (size_t i = 0; i < text.size(); ++i) {
    o[i] = static_cast<char>(kCase.lower[static_cast<unsigned char>(text[i])]);
  }
}

std::string LowerCopy(std::string_view text) {
  std::string out;
  LowerInto(text, out);
  return out;
}

std::string UpperCopy(std::string_view text) {
  const auto& upper = kCase.upper;
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    out[i] = static_cast<char>(upper[static_cast<unsigned char>(text[i])]);
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto& lower = kCase.lower;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower[static_cast<unsigned char>(a[i])] != lower[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

char16_t UnicodeOf1252(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return static_cast<char16_t>(byte);
}

char Windows1252Of(char16_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<char>(code_point);
  }
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code_point) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace barvik
