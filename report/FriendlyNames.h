// Plain-language names for the engine names the log uses (weapons, maps, game types, body
// locations) and explanations of the column captions, read from the data table
// "friendly-names.dat" of the template folder. Each line of that table is
// "kind<TAB>raw name<TAB>friendly text"; empty lines and lines starting with "#" are skipped,
// as are lines without two tabs. A weapon line may carry a fourth field, the weapon's group for
// the awards ("grenade", "sniper", "pistol", "satchel", "tank"; its friendly text may then be
// empty); an unknown group is ignored. Raw names match without regard to letter case. A
// missing table gives no friendly names and no groups: every name is then shown as it is.
// A line "default-name<TAB>name" (no third field) names a player name that stands for nobody
// in particular, the name a game gives a player who set none ("Unknown Soldier"): such
// players make no person of the site (BuildGames).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "stats/Awards.h"

namespace barvik {

enum class NameKind { Weapon, Map, GameType, Location, Column };

class FriendlyNames {
 public:
  FriendlyNames() = default;

  // The table of `text` (UTF-8 friendly texts).
  static FriendlyNames Parse(std::string_view text);
  // The table "friendly-names.dat" of `template_folder`; empty when it cannot be read.
  static FriendlyNames Load(const std::string& template_folder);

  // The friendly text (UTF-8) of `raw`, or nullptr when the table has none.
  const std::string* Find(NameKind kind, std::string_view raw) const;

  size_t size() const { return names_.size(); }
  const WeaponGroups& weapon_groups() const { return groups_; }
  // The default player names, as written in the table.
  const std::vector<std::string>& default_names() const { return default_names_; }
  // A StableHash of the table's text (0 without a table): what pages made with it depend on.
  uint64_t fingerprint() const { return fingerprint_; }

 private:
  std::unordered_map<std::string, std::string> names_;  // kind letter + lower-case raw name
  WeaponGroups groups_;
  std::vector<std::string> default_names_;
  uint64_t fingerprint_ = 0;
};

}  // namespace barvik
