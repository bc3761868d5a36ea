#include "log/LineFormat.h"

#include <algorithm>
#include <utility>

#include "core/Text1252.h"

namespace barvik {

LineKind KindOfField1(std::string_view f) {
  switch (f.size()) {
    case 1:
      switch (f[0]) {
        case 'J':
          return LineKind::Join;
        case 'Q':
          return LineKind::Quit;
        case 'D':
          return LineKind::Damage;
        case 'K':
          return LineKind::Kill;
        case 'A':
          return LineKind::Action;
        case 'W':
          return LineKind::Win;
        case 'L':
          return LineKind::Loss;
        default:
          return LineKind::Other;
      }
    case 3:
      if (f == "say") return LineKind::Say;
      break;
    case 4:
      if (f == "Item") return LineKind::Item;
      break;
    case 6:
      if (f == "Weapon") return LineKind::WeaponPickUp;
      break;
    case 7:
      if (f == "sayteam") return LineKind::SayTeam;
      break;
    default:
      break;
  }
  if (f.size() >= 9 && f.substr(0, 9) == "InitGame:") return LineKind::GameInit;
  return LineKind::Other;
}

std::string_view NormaliseText(std::string_view text, bool ignore_case, bool ignore_colors,
                               std::string& scratch) {
  if (!ignore_case && !ignore_colors) return text;
  if (ignore_case) {
    LowerInto(text, scratch);
  } else {
    scratch.assign(text);
  }
  if (ignore_colors && scratch.find('^') != std::string::npos) {
    // Deleting the first "^" and the character after it, again and again, leaves the same
    // text as one left-to-right pass that drops every "^" with its follower.
    size_t out = 0;
    for (size_t i = 0; i < scratch.size(); ++i) {
      if (scratch[i] == '^') {
        ++i;
        continue;
      }
      scratch[out++] = scratch[i];
    }
    scratch.resize(out);
  }
  return scratch;
}

std::optional<GameEndHow> GameEndOfField1(std::string_view f) {
  if (f.starts_with("ExitLevel: executed")) return GameEndHow::Exit;
  if (f.starts_with("RestartGame:")) return GameEndHow::Restart;
  if (f.starts_with("ShutdownGame:")) return GameEndHow::Shutdown;
  return std::nullopt;
}

namespace {

// The digits at the start of `text` as a number no larger than `limit`, and how many there
// were (0: none; the value saturates at `limit`).
std::pair<uint64_t, size_t> LeadingNumber(std::string_view text, uint64_t limit) {
  uint64_t value = 0;
  size_t i = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    value = std::min<uint64_t>(limit, value * 10 + static_cast<uint64_t>(text[i] - '0'));
    ++i;
  }
  return {value, i};
}

}  // namespace

std::optional<uint32_t> StampSeconds(std::string_view line) {
  size_t p = 0;
  while (p < line.size() && line[p] == ' ') ++p;
  line.remove_prefix(p);
  constexpr uint64_t kLimit = UINT32_MAX;
  const auto [minutes, m] = LeadingNumber(line, kLimit);
  if (m == 0 || m >= line.size() || line[m] != ':') return std::nullopt;
  const auto [seconds, s] = LeadingNumber(line.substr(m + 1), kLimit);
  if (s == 0 || seconds > 59) return std::nullopt;
  const size_t end = m + 1 + s;
  if (end < line.size() && line[end] != ' ') return std::nullopt;
  return static_cast<uint32_t>(std::min<uint64_t>(kLimit, minutes * 60 + seconds));
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

unsigned DaysInMonth(int64_t y, unsigned m) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

// Reads exactly `digits` digits (any count when 0) at `at`, moving past them.
bool Digits(std::string_view text, size_t& at, size_t digits, uint64_t& value) {
  const auto [v, n] = LeadingNumber(text.substr(at), 1'000'000'000'000);
  if (n == 0 || (digits != 0 && n != digits) || n > 12) return false;
  value = v;
  at += n;
  return true;
}

bool Char(std::string_view text, size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

std::optional<ClockReading> Civil(uint64_t y, uint64_t mo, uint64_t d, uint64_t h, uint64_t mi,
                                  uint64_t s) {
  if (y < 1970 || y > 9999 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) {
    return std::nullopt;
  }
  if (d > DaysInMonth(static_cast<int64_t>(y), static_cast<unsigned>(mo))) return std::nullopt;
  const int64_t days =
      DaysFromCivil(static_cast<int64_t>(y), static_cast<unsigned>(mo), static_cast<unsigned>(d));
  return ClockReading{days * 86400 + static_cast<int64_t>(h * 3600 + mi * 60 + s), false};
}

// "HH:MM:SS" at `at`.
bool TimeOfDay(std::string_view t, size_t& at, uint64_t& h, uint64_t& mi, uint64_t& s) {
  return Digits(t, at, 2, h) && Char(t, at, ':') && Digits(t, at, 2, mi) && Char(t, at, ':') &&
         Digits(t, at, 2, s);
}

}  // namespace

std::optional<ClockReading> ClockValue(std::string_view t) {
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  uint64_t y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  size_t at = 0;
  if (!t.empty() && t.size() <= 10 && LeadingNumber(t, UINT32_MAX).second == t.size()) {
    if (t.size() < 9) return std::nullopt;
    return ClockReading{static_cast<int64_t>(LeadingNumber(t, UINT32_MAX).first), true};
  }
  if (t.size() >= 4 && t[2] == '/') {  // MM/DD/YY[YY] HH:MM:SS
    if (!Digits(t, at, 2, mo) || !Char(t, at, '/') || !Digits(t, at, 2, d) || !Char(t, at, '/') ||
        !Digits(t, at, 0, y) || !Char(t, at, ' ') || !TimeOfDay(t, at, h, mi, s) ||
        at != t.size()) {
      return std::nullopt;
    }
    if (y < 100) {
      y += y >= 69 ? 1900 : 2000;
    } else if (y < 1000) {
      return std::nullopt;
    }
    return Civil(y, mo, d, h, mi, s);
  }
  if (t.size() >= 5 && t[4] == '-') {  // YYYY-MM-DD HH:MM:SS
    if (!Digits(t, at, 4, y) || !Char(t, at, '-') || !Digits(t, at, 2, mo) || !Char(t, at, '-') ||
        !Digits(t, at, 2, d) || !(Char(t, at, ' ') || Char(t, at, 'T')) ||
        !TimeOfDay(t, at, h, mi, s) || at != t.size()) {
      return std::nullopt;
    }
    return Civil(y, mo, d, h, mi, s);
  }
  // Www Mmm D HH:MM:SS YYYY (the day may be padded with a space or a zero)
  static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  if (t.size() < 20 || t[3] != ' ' || t[7] != ' ') return std::nullopt;
  const std::string_view month = t.substr(4, 3);
  for (size_t i = 0; i < std::size(kMonths); ++i) {
    if (kMonths[i] == month) mo = i + 1;
  }
  at = 8;
  while (at < t.size() && t[at] == ' ') ++at;
  if (mo == 0 || !Digits(t, at, 0, d) || d > 31 || !Char(t, at, ' ') ||
      !TimeOfDay(t, at, h, mi, s) || !Char(t, at, ' ') || !Digits(t, at, 4, y) || at != t.size()) {
    return std::nullopt;
  }
  return Civil(y, mo, d, h, mi, s);
}

std::string ClockCvars(std::string_view field1) {
  std::string out;
  const size_t first = field1.find('\\');
  if (first == std::string_view::npos) return out;
  std::string_view rest = field1.substr(first + 1);
  while (!rest.empty()) {
    const size_t k = rest.find('\\');
    if (k == std::string_view::npos) break;
    const std::string_view key = rest.substr(0, k);
    rest.remove_prefix(k + 1);
    const size_t v = rest.find('\\');
    const std::string_view value = rest.substr(0, v);
    rest.remove_prefix(v == std::string_view::npos ? rest.size() : v + 1);
    if (key.empty() || !ClockValue(value)) continue;
    if (!out.empty()) out += '\\';
    out.append(key).append(1, '\\').append(value);
  }
  return out;
}

std::string_view ClockCvarValue(std::string_view cvars, std::string_view key) {
  while (!cvars.empty()) {
    const size_t k = cvars.find('\\');
    if (k == std::string_view::npos) break;
    const std::string_view name = cvars.substr(0, k);
    cvars.remove_prefix(k + 1);
    const size_t v = cvars.find('\\');
    const std::string_view value = cvars.substr(0, v);
    cvars.remove_prefix(v == std::string_view::npos ? cvars.size() : v + 1);
    if (name.size() == key.size() &&
        std::equal(name.begin(), name.end(), key.begin(),
                   [](char a, char b) { return ToLower1252(a) == ToLower1252(b); })) {
      return value;
    }
  }
  return {};
}

std::optional<uint32_t> UnixStamp(std::string_view line) {
  size_t p = 0;
  while (p < line.size() && line[p] == ' ') ++p;
  const auto [value, n] = LeadingNumber(line.substr(p), UINT32_MAX);
  if (n != 10 || value < 1'000'000'000) return std::nullopt;
  if (p + n < line.size() && line[p + n] != ' ') return std::nullopt;
  return static_cast<uint32_t>(value);
}

int SlotOfField(std::string_view field) {
  const bool negative = !field.empty() && field[0] == '-';
  if (negative) field.remove_prefix(1);
  const auto [value, digits] = LeadingNumber(field, 1000);
  if (digits == 0 || digits != field.size() || value > 127) return kNoSlot;
  return negative ? -static_cast<int>(value) : static_cast<int>(value);
}

uint32_t DamageOfField(std::string_view field) {
  const auto [value, digits] = LeadingNumber(field, 65535);
  return digits == field.size() ? static_cast<uint32_t>(value) : 0;
}

uint32_t TeamCodeOfField(std::string_view field) {
  if (field.empty()) return kNoTeam;
  if (field == "allies") return 1;
  if (field == "axis") return 2;
  return 3;
}

std::string_view TeamNameOfCode(uint32_t code) {
  switch (code) {
    case 1:
      return "allies";
    case 2:
      return "axis";
    case 3:
      return "other";
    default:
      return "";
  }
}

std::string_view GameInitValue(std::string_view field1, std::string_view key) {
  size_t at = field1.find(key);
  if (at == std::string_view::npos) return "n/a";
  std::string_view rest = field1.substr(at + key.size());
  size_t slash = rest.find('\\');
  if (slash == std::string_view::npos) return {};
  return rest.substr(0, slash);
}

}  // namespace barvik
