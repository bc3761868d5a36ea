// UTF-8 text to the bytes of an 8-bit code page, for the files an admin writes (the people
// file) whose names must match the log's bytes. The code page is given as its table of code
// points by byte (what a log's bytes mean), so that any 8-bit code page can be the target.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace barvik {

// An 8-bit code page: the Unicode code point of each byte.
using CodePageTable = std::array<char16_t, 256>;

// Windows-1252, the log's code page unless told otherwise (UnicodeOf1252 of every byte).
const CodePageTable& Windows1252Table();

struct FromUtf8Result {
  std::string bytes;  // the text in the code page; empty unless `utf8`
  bool utf8 = true;   // false: the text is not well-formed UTF-8
  // The offset (after a byte-order mark) of the first character the code page has no byte for
  // (npos: none); the text is then not converted.
  size_t unmapped_at = std::string_view::npos;
};

// Converts `text`, UTF-8 with or without a byte-order mark, to the code page of `table`.
// Overlong forms, surrogates and code points above U+10FFFF are not well-formed.
FromUtf8Result EightBitFromUtf8(std::string_view text, const CodePageTable& table);

}  // namespace barvik
