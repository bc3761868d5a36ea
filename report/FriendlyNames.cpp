#include "report/FriendlyNames.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/StableHash.h"
#include "core/Text1252.h"
#include "report/PageWriter.h"

namespace barvik {
namespace {

constexpr std::string_view kTableFile = "friendly-names.dat";
constexpr std::string_view kDefaultNameKind = "default-name";

bool KindOf(std::string_view word, NameKind& kind) {
  if (word == "attachment") {
    kind = NameKind::Attachment;
  } else if (word == "weapon") {
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

std::string Key(NameKind kind, std::string_view tag, std::string_view raw) {
  std::string key(1, static_cast<char>('0' + static_cast<int>(kind)));
  key += tag;
  key += ':';
  key += LowerCopy(raw);
  return key;
}

constexpr std::string_view kWeaponSuffix = "_mp";

}  // namespace

GameFamily FamilyOfGameName(std::string_view game_name) {
  const std::string name = LowerCopy(game_name);
  if (name == "call of duty 2" || name.rfind("call of duty 2 ", 0) == 0) return GameFamily::kCod2;
  if (name == "call of duty 4" || name.rfind("call of duty 4 ", 0) == 0) return GameFamily::kCod4;
  return GameFamily::kUnitedOffensive;
}

std::string_view FamilyTag(GameFamily family) {
  switch (family) {
    case GameFamily::kCod2:
      return "cod2";
    case GameFamily::kCod4:
      return "cod4";
    default:
      return "uo";
  }
}

std::string_view FamilyTitle(GameFamily family) {
  switch (family) {
    case GameFamily::kCod2:
      return "Call of Duty 2";
    case GameFamily::kCod4:
      return "Call of Duty 4";
    default:
      return "Call of Duty / United Offensive";
  }
}

namespace {}  // namespace

FriendlyNames FriendlyNames::Parse(std::string_view text) {
  FriendlyNames table;
  table.fingerprint_ = StableHash().Text(text).value();
  for (const std::string& line : SplitTemplateLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    if (const size_t first = line.find('\t');
        std::string_view(line).substr(0, first) == kDefaultNameKind) {
      const std::string_view name = std::string_view(line).substr(first + 1);
      if (first != std::string::npos && !name.empty())
        table.default_names_.emplace_back(name.substr(0, name.find('\t')));
      continue;
    }
    std::vector<std::string_view> fields;
    for (size_t from = 0;;) {
      const size_t tab = line.find('\t', from);
      fields.push_back(std::string_view(line).substr(from, tab - from));
      if (tab == std::string::npos) break;
      from = tab + 1;
    }
    if (fields.size() < 3 || fields[1].empty()) continue;
    std::string_view word = fields[0], tag;
    if (const size_t colon = word.find(':'); colon != std::string_view::npos) {
      tag = word.substr(colon + 1);
      word = word.substr(0, colon);
    }
    NameKind kind{};
    if (!KindOf(word, kind)) continue;
    if (fields.size() > 3 && kind == NameKind::Weapon) {
      if (const auto group = WeaponGroupNamed(fields[3]))
        table.groups_[LowerCopy(fields[1])] = *group;
    }
    Entry entry{std::string(fields[2]), fields.size() > 4 ? std::string(fields[4]) : std::string()};
    if (!entry.name.empty()) table.names_.emplace(Key(kind, tag, fields[1]), std::move(entry));
  }
  return table;
}

FriendlyNames FriendlyNames::Load(const std::string& template_folder) {
  std::ifstream in(std::filesystem::path(template_folder) / kTableFile, std::ios::binary);
  if (!in) return {};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Parse(text);
}

const FriendlyNames::Entry* FriendlyNames::FindEntry(NameKind kind, std::string_view raw,
                                                     std::string_view tag) const {
  auto it = names_.find(Key(kind, tag, raw));
  return it == names_.end() ? nullptr : &it->second;
}

const std::string* FriendlyNames::Find(NameKind kind, std::string_view raw) const {
  const Entry* entry = FindEntry(kind, raw, "");
  return entry == nullptr ? nullptr : &entry->name;
}

FriendlyName FriendlyNames::Find(NameKind kind, std::string_view raw, GameFamily family) const {
  const std::string_view tag = FamilyTag(family);
  const Entry* entry = FindEntry(kind, raw, tag);
  if (entry == nullptr) entry = FindEntry(kind, raw, "");
  if (entry != nullptr) return {&entry->name, entry->detail};
  if (kind != NameKind::Weapon) return {};
  // "rpd_reflex_mp": the weapon "rpd_mp" with the attachment "reflex"; also two attachments.
  const std::string lower = LowerCopy(raw);
  if (lower.size() <= kWeaponSuffix.size() ||
      lower.compare(lower.size() - kWeaponSuffix.size(), kWeaponSuffix.size(), kWeaponSuffix) !=
          0) {
    return {};
  }
  std::string base = lower.substr(0, lower.size() - kWeaponSuffix.size());
  std::string detail;
  for (size_t cut = base.rfind('_'); cut != std::string::npos && cut > 0; cut = base.rfind('_')) {
    const Entry* attachment = FindEntry(NameKind::Attachment, base.substr(cut + 1), tag);
    if (attachment == nullptr)
      attachment = FindEntry(NameKind::Attachment, base.substr(cut + 1), "");
    if (attachment == nullptr) return {};
    detail =
        detail.empty() ? attachment->name : attachment->name + std::string(", ").append(detail);
    base.resize(cut);
    const std::string weapon = base + std::string(kWeaponSuffix);
    const Entry* found = FindEntry(NameKind::Weapon, weapon, tag);
    if (found == nullptr) found = FindEntry(NameKind::Weapon, weapon, "");
    if (found != nullptr) return {&found->name, detail};
  }
  return {};
}

}  // namespace barvik
