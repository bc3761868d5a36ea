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
