#include "core/NumberFormat.h"

#include <charconv>
#include <limits>

namespace barvik {

std::string FormatQuotient(int64_t numerator, int64_t denominator, int decimals, char separator) {
  bool negative = (numerator < 0) != (denominator < 0) && numerator != 0;
  unsigned __int128 num = numerator < 0 ? -static_cast<__int128>(numerator) : numerator;
  unsigned __int128 den = denominator < 0 ? -static_cast<__int128>(denominator) : denominator;
  unsigned __int128 scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  // Round half away from zero: floor((2 * num * scale + den) / (2 * den)).
  unsigned __int128 scaled = (2 * num * scale + den) / (2 * den);
  unsigned __int128 whole = scaled / scale;
  unsigned __int128 fraction = scaled % scale;

  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(whole % 10)));
    whole /= 10;
  } while (whole != 0);
  std::string out = (negative && scaled != 0) ? "-" + digits : digits;
  if (decimals > 0) {
    std::string frac(static_cast<size_t>(decimals), '0');
    for (int i = decimals - 1; i >= 0; --i) {
      frac[static_cast<size_t>(i)] = static_cast<char>('0' + static_cast<int>(fraction % 10));
      fraction /= 10;
    }
    out += separator;
    out += frac;
  }
  return out;
}

std::string FormatPercent(int64_t count, int64_t base, char separator) {
  if (base == 0) return std::string(kNotAvailable);
  return FormatQuotient(100 * count, base, 2, separator);
}

std::string FormatRatio(int64_t kills, int64_t deads, char separator) {
  if (deads == 0) return std::string(kNotAvailable);
  return FormatQuotient(kills, deads, 3, separator);
}

std::string FormatSeconds(int64_t microseconds, char separator) {
  return FormatQuotient(microseconds, 1000000, 3, separator) + "s";
}

std::string FormatMask(int64_t n) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  // The mask's seven digit places, right to left: 0 # # (space) # # # (space) #.
  std::string out;
  size_t used = 0;
  const std::string_view mask = "# ### ##0";
  for (size_t i = mask.size(); i-- > 0;) {
    char m = mask[i];
    if (m == ' ') {
      out.insert(out.begin(), ' ');
    } else if (used < digits.size()) {
      out.insert(out.begin(), digits[digits.size() - 1 - used]);
      ++used;
    } else if (m == '0') {
      out.insert(out.begin(), '0');
    }
  }
  // Digits beyond the mask's places all go before its first space.
  if (used < digits.size()) out.insert(0, digits.substr(0, digits.size() - used));
  if (n < 0) out.insert(out.begin(), '-');
  return out;
}

std::optional<int32_t> ParseWholeNumber(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && text[p] == ' ') ++p;
  text.remove_prefix(p);
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (text[0] == '-' && text.size() == 1) return std::nullopt;
  return value;
}

int32_t WholeNumberOr(std::string_view text, int32_t fallback) {
  return ParseWholeNumber(text).value_or(fallback);
}

std::optional<double> ParseDecimal(std::string_view text, char separator) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  std::string normal;
  normal.reserve(text.size());
  size_t p = 0;
  auto digits = [&](void) {
    size_t start = p;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') normal += text[p++];
    return p - start;
  };
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    if (text[p] == '-') normal += '-';
    ++p;
  }
  size_t mantissa = digits();
  if (p < text.size() && text[p] == separator) {
    normal += '.';
    ++p;
    mantissa += digits();
  }
  if (mantissa == 0) return std::nullopt;
  if (p < text.size() && (text[p] == 'e' || text[p] == 'E')) {
    normal += 'e';
    ++p;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) normal += text[p++];
    if (digits() == 0) return std::nullopt;
  }
  if (p != text.size()) return std::nullopt;
  double value = 0;
  auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
  if (end != normal.data() + normal.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    // Overflow reads as an infinity of the right sign; underflow as zero.
    bool huge = normal.find('e') != std::string::npos && normal[normal.find('e') + 1] != '-';
    if (!huge) return 0.0;
    return normal[0] == '-' ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
  }
  if (ec != std::errc()) return std::nullopt;
  return value;
}

}  // namespace barvik
