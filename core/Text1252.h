// Windows-1252 text helpers. Log texts stay 8-bit bytes everywhere in the engine; these
// functions fold letter case the way that code page defines its letters (A-Z, the accented
// letters 0xC0-0xDE / 0xE0-0xFE except 0xD7 / 0xF7, and the pairs 0x8A/0x9A, 0x8C/0x9C,
// 0x8E/0x9E, 0x9F/0xFF) and convert a byte to its Unicode code point for display.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace barvik {

char ToLower1252(char c);
char ToUpper1252(char c);

std::string LowerCopy(std::string_view text);
std::string UpperCopy(std::string_view text);

// Writes the lower-case form of `text` into `out` (replacing its contents).
void LowerInto(std::string_view text, std::string& out);

// True when the two texts have equal lower-case forms.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The Unicode code point that Windows-1252 assigns to a byte. The five bytes the code page
// leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same value.
char16_t UnicodeOf1252(unsigned char byte);

// The byte that stands for a Unicode code point in Windows-1252, or '?' when there is none.
char Windows1252Of(char16_t code_point);

}  // namespace barvik
