#include "core/NumberFormat.h"

#include <gtest/gtest.h>

namespace barvik {
namespace {

TEST(NumberFormatTest, QuotientsRoundHalvesAwayFromZeroOnTheExactValue) {
  EXPECT_EQ(FormatQuotient(1, 16, 3, '.'), "0.063");
  EXPECT_EQ(FormatPercent(1, 32, '.'), "3.13");    // 3.125
  EXPECT_EQ(FormatPercent(3, 4000, '.'), "0.08");  // 0.075, which a double holds as 0.07499...
  EXPECT_EQ(FormatPercent(2, 3, '.'), "66.67");
  EXPECT_EQ(FormatPercent(0, 7, '.'), "0.00");
  EXPECT_EQ(FormatPercent(7, 7, '.'), "100.00");
  EXPECT_EQ(FormatRatio(3, 2, '.'), "1.500");
  EXPECT_EQ(FormatRatio(1, 3, ','), "0,333");
  EXPECT_EQ(FormatRatio(2, 3, '.'), "0.667");
  EXPECT_EQ(FormatRatio(123456789, 1, '.'), "123456789.000");
  EXPECT_EQ(FormatQuotient(-1, 16, 3, '.'), "-0.063");
}

TEST(NumberFormatTest, DivisorZeroGivesNotAvailable) {
  EXPECT_EQ(FormatPercent(5, 0, '.'), "n/a");
  EXPECT_EQ(FormatRatio(3, 0, '.'), "n/a");
}

TEST(NumberFormatTest, SecondsHaveThreeDecimalsAndTheLocaleSeparator) {
  EXPECT_EQ(FormatSeconds(2344000, '.'), "2.344s");
  EXPECT_EQ(FormatSeconds(47499, ','), "0,047s");
  EXPECT_EQ(FormatSeconds(0, '.'), "0.000s");
}

TEST(NumberFormatTest, MaskKeepsItsSpacesAndPutsExtraDigitsInFront) {
  EXPECT_EQ(FormatMask(12), "  12");
  EXPECT_EQ(FormatMask(345), "  345");
  EXPECT_EQ(FormatMask(1234), " 1 234");
  EXPECT_EQ(FormatMask(12345), " 12 345");
  EXPECT_EQ(FormatMask(1234567), "1 234 567");
  EXPECT_EQ(FormatMask(123456789), "123 456 789");
  EXPECT_EQ(FormatMask(0), "  0");
}

TEST(NumberFormatTest, WholeNumbersAreStrict) {
  EXPECT_EQ(ParseWholeNumber("10"), 10);
  EXPECT_EQ(ParseWholeNumber("-3"), -3);
  EXPECT_EQ(ParseWholeNumber("+4"), 4);
  EXPECT_EQ(ParseWholeNumber("  7"), 7);
  EXPECT_EQ(ParseWholeNumber("2147483647"), 2147483647);
  for (const char* bad : {"", " ", "n/a", "1.5", "12a", "7 ", "2147483648", "-", "+", "0x10"}) {
    EXPECT_FALSE(ParseWholeNumber(bad).has_value()) << bad;
  }
  EXPECT_EQ(WholeNumberOr("abc", 1000), 1000);
}

TEST(NumberFormatTest, DecimalsFollowTheGivenSeparator) {
  EXPECT_DOUBLE_EQ(*ParseDecimal("1.500", '.'), 1.5);
  EXPECT_DOUBLE_EQ(*ParseDecimal("1,500", ','), 1.5);
  EXPECT_FALSE(ParseDecimal("1,500", '.').has_value());
  EXPECT_DOUBLE_EQ(*ParseDecimal("-2", '.'), -2.0);
  EXPECT_DOUBLE_EQ(*ParseDecimal("1e3", '.'), 1000.0);
  EXPECT_DOUBLE_EQ(*ParseDecimal(" 3.25 ", '.'), 3.25);
  EXPECT_DOUBLE_EQ(*ParseDecimal(".5", '.'), 0.5);
  for (const char* bad : {"", "n/a", ".", "1e", "1.2.3", "--1", "e5", "1 2"}) {
    EXPECT_FALSE(ParseDecimal(bad, '.').has_value()) << bad;
  }
}

}  // namespace
}  // namespace barvik
