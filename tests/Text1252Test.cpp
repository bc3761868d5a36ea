#include "core/Text1252.h"

#include <gtest/gtest.h>

#include "core/FromUtf8.h"

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

// UTF-8 to the bytes of a code page given by its table: the log's Windows-1252, or another.
TEST(FromUtf8Test, ConvertsThroughTheTableAndTellsWhatItCannot) {
  const CodePageTable& cp1252 = Windows1252Table();
  auto bytes = [&](std::string_view text, const CodePageTable& table) {
    const FromUtf8Result r = EightBitFromUtf8(text, table);
    EXPECT_TRUE(r.utf8) << text;
    EXPECT_EQ(r.unmapped_at, std::string_view::npos) << text;
    return r.bytes;
  };
  EXPECT_EQ(bytes("J\xC3\xB6rg \xE2\x82\xAC \xC5\xB8", cp1252), "J\xF6rg \x80 \x9F");
  EXPECT_EQ(bytes("\xEF\xBB\xBFsame; a; b", cp1252), "same; a; b");  // the mark dropped
  EXPECT_EQ(bytes("", cp1252), "");
  // Another table: a Cyrillic letter where the 1252 table has none.
  CodePageTable cyrillic = cp1252;
  cyrillic[0xC0] = u'\u0410';
  EXPECT_EQ(bytes("\xD0\x90", cyrillic), "\xC0");
  const FromUtf8Result none = EightBitFromUtf8("ab\n\xD0\x90x", cp1252);
  EXPECT_TRUE(none.utf8);
  EXPECT_EQ(none.unmapped_at, 3u);
  EXPECT_EQ(none.bytes, "");
  // Not UTF-8: a lone 1252 byte, a cut sequence, an overlong form, a surrogate, past U+10FFFF.
  for (std::string_view bad :
       {std::string_view("J\xF6rg"), std::string_view("\xC3"), std::string_view("\xC0\xAF"),
        std::string_view("\xED\xA0\x80"), std::string_view("\xF4\x90\x80\x80"),
        std::string_view("\xD0\x90\xFF")}) {
    EXPECT_FALSE(EightBitFromUtf8(bad, cp1252).utf8) << bad;
  }
}

}  // namespace
}  // namespace barvik
