#include "log/LineFormat.h"

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

std::string_view GameInitValue(std::string_view field1, std::string_view key) {
  size_t at = field1.find(key);
  if (at == std::string_view::npos) return "n/a";
  std::string_view rest = field1.substr(at + key.size());
  size_t slash = rest.find('\\');
  if (slash == std::string_view::npos) return {};
  return rest.substr(0, slash);
}

}  // namespace barvik
