#include "core/FromUtf8.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/Text1252.h"

namespace barvik {

const CodePageTable& Windows1252Table() {
  static const CodePageTable table = [] {
    CodePageTable t{};
    for (size_t b = 0; b < t.size(); ++b) t[b] = UnicodeOf1252(static_cast<unsigned char>(b));
    return t;
  }();
  return table;
}

namespace {

// The next code point of `text` from `at` (advanced past it), or -1 when the bytes there are
// not a well-formed UTF-8 sequence.
long NextCodePoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  size_t length = 0;
  long code = 0;
  long least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return -1;
  }
  if (text.size() - at < length) return -1;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return -1;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
  at += length;
  return code;
}

}  // namespace

FromUtf8Result EightBitFromUtf8(std::string_view text, const CodePageTable& table) {
  FromUtf8Result result;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  // The table reversed: code points and their bytes, by code point (the first byte of a code
  // point a table lists twice).
  std::vector<std::pair<char16_t, unsigned char>> bytes_of;
  bytes_of.reserve(table.size());
  for (size_t b = 0; b < table.size(); ++b)
    bytes_of.emplace_back(table[b], static_cast<unsigned char>(b));
  std::stable_sort(bytes_of.begin(), bytes_of.end(),
                   [](const auto& x, const auto& y) { return x.first < y.first; });
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    const size_t start = at;
    const long code = NextCodePoint(text, at);
    if (code < 0) {
      result.utf8 = false;
      return result;
    }
    const auto it = std::lower_bound(
        bytes_of.begin(), bytes_of.end(), code,
        [](const std::pair<char16_t, unsigned char>& x, long c) { return x.first < c; });
    if (it == bytes_of.end() || it->first != code) {
      if (result.unmapped_at == std::string_view::npos) result.unmapped_at = start;
      continue;  // read on: a later malformed sequence still makes the text no UTF-8
    }
    out += static_cast<char>(it->second);
  }
  if (result.unmapped_at == std::string_view::npos) result.bytes = std::move(out);
  return result;
}

}  // namespace barvik
