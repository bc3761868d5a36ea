// Number texts of the report lists: fixed-decimal quotients ("0.00", "0.000", "0.000s"),
// the "# ### ##0" mask of the figures, and the strict readings of cell texts back into
// numbers. The decimal separator is always a parameter: the front ends pass the one of the
// user's locale, so the lists, the sort and the pages agree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace barvik {

// True for a text of one or more of the digits 0-9 and nothing else.
inline bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The text that a percentage or ratio cell holds when its divisor is 0.
inline constexpr std::string_view kNotAvailable = "n/a";

// numerator / denominator with `decimals` places, halves rounded away from zero on the exact
// quotient (1/16 with 3 places gives "0.063"). `denominator` must not be 0.
std::string FormatQuotient(int64_t numerator, int64_t denominator, int decimals, char separator);

// 100 * count / base in the "0.00" format, or "n/a" when base is 0.
std::string FormatPercent(int64_t count, int64_t base, char separator);

// kills / deads in the "0.000" format, or "n/a" when deads is 0.
std::string FormatRatio(int64_t kills, int64_t deads, char separator);

// Elapsed time in the "0.000s" format.
std::string FormatSeconds(int64_t microseconds, char separator);

// n laid into the mask "# ### ##0": 12 gives "  12", 1234 gives " 1 234".
std::string FormatMask(int64_t n);

// A text that is a whole decimal number (leading blanks, an optional sign, digits, within the
// 32-bit range); nothing otherwise.
std::optional<int32_t> ParseWholeNumber(std::string_view text);

// Whole number or `fallback`.
int32_t WholeNumberOr(std::string_view text, int32_t fallback);

// A text that is a decimal number written with `separator` (optional sign, digits, optional
// fraction, optional exponent; blanks around it allowed); nothing otherwise.
std::optional<double> ParseDecimal(std::string_view text, char separator);

}  // namespace barvik
