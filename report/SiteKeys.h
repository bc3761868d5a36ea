// The maps and weapons as the site's pages list them. Each game is read with the names of the
// game of the family that wrote it (FriendlyNames, by the "gamename" of its InitGame line), and
// raw names with one friendly name are one key: the frag grenades of each nation, a weapon
// and its attachments. A raw name without a friendly name is a key of its own and is listed
// by Unnamed, so that an admin can name it in the friendly-names table.
//
// The keys hold pointers into `friendly`, which must outlive them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/FriendlyNames.h"
#include "stats/Games.h"

namespace barvik {

class SiteKeys {
 public:
  SiteKeys(const GameTexts& texts, const GamesModel& model, const FriendlyNames& friendly);

  // The key of a game's map, and of a weapon (raw text id) used in it.
  uint32_t Map(const Game& game) const;
  uint32_t Weapon(const Game& game, uint32_t raw_weapon) const;

  // The first raw name met of a key (for anchors and ordering).
  const std::string& Raw(uint32_t key) const { return keys_[key].raw; }
  // Its friendly name (UTF-8), or null: shown by its raw name.
  const std::string* Friendly(uint32_t key) const { return keys_[key].friendly; }
  // The raw names folded into it, each with its detail, UTF-8: "rpd_mp, rpd_reflex_mp (Red
  // Dot Sight)".
  std::string Variants(uint32_t key) const;
  // The details of its raw names, ", " between them, UTF-8; empty when none has one.
  std::string Details(uint32_t key) const;

  // "weapon 'xyz_mp' of Call of Duty 4": every raw map and weapon name without a friendly
  // name, once each, in the order the games use them.
  std::vector<std::string> Unnamed() const;

 private:
  struct Key {
    std::string raw;
    const std::string* friendly = nullptr;
    std::vector<std::pair<std::string, std::string>> variants;  // raw name, detail
    GameFamily family = GameFamily::kUnitedOffensive;           // where first met
    bool weapon = false;
  };
  std::vector<Key> keys_;
  std::unordered_map<std::string, uint32_t> by_fold_;  // kind + friendly name, or + raw name
  std::unordered_map<uint64_t, uint32_t> by_raw_;      // kind, family, raw id -> key
  std::vector<GameFamily> families_;                   // by game index
  const GamesModel* model_;
};

}  // namespace barvik
