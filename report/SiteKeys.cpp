#include "report/SiteKeys.h"

#include "core/Text1252.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

uint64_t RawKey(bool weapon, GameFamily family, uint32_t id) {
  return (uint64_t{weapon} << 40) | (uint64_t{static_cast<uint8_t>(family)} << 32) | id;
}

}  // namespace

SiteKeys::SiteKeys(const GameTexts& texts, const GamesModel& model, const FriendlyNames& friendly)
    : model_(&model) {
  families_.reserve(model.games.size());
  for (const Game& game : model.games) {
    const GameFamily family = FamilyOfGameName(texts.GameNameAt(game.first_position));
    families_.push_back(family);
    auto find = [&](bool weapon, uint32_t id, std::string_view raw) {
      const uint64_t raw_key = RawKey(weapon, family, id);
      if (by_raw_.count(raw_key) != 0) return;
      const NameKind kind = weapon ? NameKind::Weapon : NameKind::Map;
      const FriendlyName name = friendly.Find(kind, raw, family);
      std::string fold(1, weapon ? 'w' : 'm');
      fold += name.name != nullptr ? '=' : ':';
      fold.append(name.name != nullptr ? *name.name : LowerCopy(raw));
      auto [it, added] = by_fold_.emplace(std::move(fold), static_cast<uint32_t>(keys_.size()));
      if (added) keys_.push_back({std::string(raw), name.name, {}, family, weapon});
      Key& key = keys_[it->second];
      bool known = false;
      for (const auto& v : key.variants) known = known || EqualsIgnoreCase(v.first, raw);
      if (!known) key.variants.emplace_back(std::string(raw), name.detail);
      by_raw_.emplace(raw_key, it->second);
    };
    find(false, game.map, texts.Setting(game.map));
    for (const GameKill& kill : game.kills) find(true, kill.weapon, texts.Text(kill.weapon));
  }
}

uint32_t SiteKeys::Map(const Game& game) const {
  const size_t index = static_cast<size_t>(&game - model_->games.data());
  return by_raw_.at(RawKey(false, families_[index], game.map));
}

uint32_t SiteKeys::Weapon(const Game& game, uint32_t raw_weapon) const {
  const size_t index = static_cast<size_t>(&game - model_->games.data());
  return by_raw_.at(RawKey(true, families_[index], raw_weapon));
}

std::string SiteKeys::Variants(uint32_t key) const {
  std::string out;
  for (const auto& [raw, detail] : keys_[key].variants) {
    if (!out.empty()) out += ", ";
    out += Utf8FromLog(raw);
    if (!detail.empty()) out += " (" + detail + ")";
  }
  return out;
}

std::string SiteKeys::Details(uint32_t key) const {
  std::string out;
  for (const auto& v : keys_[key].variants) {
    if (v.second.empty() || out.find(v.second) != std::string::npos) continue;
    if (!out.empty()) out += ", ";
    out += v.second;
  }
  return out;
}

std::vector<std::string> SiteKeys::Unnamed() const {
  std::vector<std::string> out;
  for (const Key& key : keys_) {
    if (key.friendly != nullptr || key.raw.empty()) continue;
    out.push_back(std::string(key.weapon ? "weapon '" : "map '") + key.raw + "' of " +
                  std::string(FamilyTitle(key.family)));
  }
  return out;
}

}  // namespace barvik
