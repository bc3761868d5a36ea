#include "report/FriendlyNames.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/StableHash.h"
#include "core/Text1252.h"
#include "report/PageWriter.h"

namespace barvik {
namespace {

constexpr std::string_view kTableFile = "friendly-names.dat";
constexpr std::string_view kDefaultNameKind = "default-name";

bool KindOf(std::string_view word, NameKind& kind) {
  if (word == "weapon") {
    kind = NameKind::Weapon;
  } else if (word == "map") {
    kind = NameKind::Map;
  } else if (word == "gametype") {
    kind = NameKind::GameType;
  } else if (word == "location") {
    kind = NameKind::Location;
  } else if (word == "column") {
    kind = NameKind::Column;
  } else {
    return false;
  }
  return true;
}

std::string Key(NameKind kind, std::string_view raw) {
  std::string key(1, static_cast<char>('0' + static_cast<int>(kind)));
  key += LowerCopy(raw);
  return key;
}

}  // namespace

FriendlyNames FriendlyNames::Parse(std::string_view text) {
  FriendlyNames table;
  table.fingerprint_ = StableHash().Text(text).value();
  for (const std::string& line : SplitTemplateLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t first = line.find('\t');
    if (std::string_view(line).substr(0, first) == kDefaultNameKind) {
      const std::string_view name = std::string_view(line).substr(first + 1);
      if (first != std::string::npos && !name.empty())
        table.default_names_.emplace_back(name.substr(0, name.find('\t')));
      continue;
    }
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    NameKind kind{};
    if (!KindOf(std::string_view(line).substr(0, first), kind)) continue;
    const std::string_view raw = std::string_view(line).substr(first + 1, second - first - 1);
    std::string_view friendly = std::string_view(line).substr(second + 1);
    if (raw.empty()) continue;
    if (const size_t third = friendly.find('\t'); third != std::string_view::npos) {
      const auto group = WeaponGroupNamed(friendly.substr(third + 1));
      if (kind == NameKind::Weapon && group) table.groups_[LowerCopy(raw)] = *group;
      friendly = friendly.substr(0, third);
    }
    if (!friendly.empty()) table.names_.emplace(Key(kind, raw), std::string(friendly));
  }
  return table;
}

FriendlyNames FriendlyNames::Load(const std::string& template_folder) {
  std::ifstream in(std::filesystem::path(template_folder) / kTableFile, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(text);
}

const std::string* FriendlyNames::Find(NameKind kind, std::string_view raw) const {
  auto it = names_.find(Key(kind, raw));
  return it == names_.end() ? nullptr : &it->second;
}

}  // namespace barvik
