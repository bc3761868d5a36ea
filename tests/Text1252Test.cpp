#include "core/Text1252.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

TEST(Text1252Test, CaseMappingCoversTheCodePagesLetters) {
  EXPECT_EQ(LowerCopy("BoB"), "bob");
  EXPECT_EQ(LowerCopy("\xC9\xD6\x8A\x8C\x8E\x9F"), "\xE9\xF6\x9A\x9C\x9E\xFF");
  EXPECT_EQ(UpperCopy("\xE9\xF6\x9A\x9C\x9E\xFF"), "\xC9\xD6\x8A\x8C\x8E\x9F");
  // The multiplication and division signs are no letters; sharp s has no upper case here.
  EXPECT_EQ(LowerCopy("\xD7"), "\xD7");
  EXPECT_EQ(UpperCopy("\xF7\xDF"), "\xF7\xDF");
  EXPECT_TRUE(EqualsIgnoreCase("J\xC9R\xD4ME", "j\xE9r\xF4me"));
  EXPECT_FALSE(EqualsIgnoreCase("ab", "abc"));
}

TEST(Text1252Test, UnicodeTableDiffersFromLatin1InTheHighControls) {
  EXPECT_EQ(UnicodeOf1252(0x80), u'\u20AC');
  EXPECT_EQ(UnicodeOf1252(0x9F), u'\u0178');
  EXPECT_EQ(UnicodeOf1252(0xE9), u'\u00E9');
  EXPECT_EQ(UnicodeOf1252('A'), u'A');
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(
        static_cast<unsigned char>(Windows1252Of(UnicodeOf1252(static_cast<unsigned char>(b)))), b);
  }
  EXPECT_EQ(Windows1252Of(u'\u4E2D'), '?');
}

}  // namespace
}  // namespace barvik
