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
//
// The games of the family name their weapons and maps differently (CoD4's "mp_carentan" is
// Chinatown). A kind may carry the game it is for, "weapon:cod2", "map:cod4": such a line
// counts for logs of that game only (by the "gamename" of their InitGame lines), and before
// an untagged line of the same raw name, which counts for every game (the untagged weapons
// and maps are those of Call of Duty and United Offensive). A weapon line may carry a fifth
// field, a detail of the weapon shown beside its name: weapons of one game with one friendly
// name are one weapon on the site (the frag grenades of each nation), their details telling
// them apart. "attachment:cod4<TAB>reflex<TAB>Red Dot Sight" names a weapon attachment:
// "rpd_reflex_mp", without a line of its own, is the weapon of "rpd_mp" with the attachment
// as its detail.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "stats/Awards.h"

namespace barvik {

enum class NameKind { Weapon, Map, GameType, Location, Column, Attachment };

// Which game of the family wrote a log, from the "gamename" of its InitGame lines.
enum class GameFamily : uint8_t {
  kUnitedOffensive,  // "Call of Duty", "CoD:United Offensive" and any other or none
  kCod2,             // "Call of Duty 2"
  kCod4,             // "Call of Duty 4"
};
GameFamily FamilyOfGameName(std::string_view game_name);
// "uo", "cod2", "cod4": the tag of the table's lines.
std::string_view FamilyTag(GameFamily family);
// "Call of Duty / United Offensive", "Call of Duty 2", "Call of Duty 4".
std::string_view FamilyTitle(GameFamily family);

// A friendly name with the detail of the raw name it was found for (UTF-8, may be empty).
struct FriendlyName {
  const std::string* name = nullptr;
  std::string detail;
};

class FriendlyNames {
 public:
  FriendlyNames() = default;

  // The table of `text` (UTF-8 friendly texts).
  static FriendlyNames Parse(std::string_view text);
  // The table "friendly-names.dat" of `template_folder`; empty when it cannot be read.
  static FriendlyNames Load(const std::string& template_folder);

  // The friendly text (UTF-8) of `raw`, or nullptr when the table has none (untagged lines).
  const std::string* Find(NameKind kind, std::string_view raw) const;
  // The friendly name of `raw` in logs of `family`: its line for that game, else its untagged
  // line, else (a weapon) the weapon of the name without an attachment's word, with the
  // attachment as the detail; name null when none of these exists.
  FriendlyName Find(NameKind kind, std::string_view raw, GameFamily family) const;

  size_t size() const { return names_.size(); }
  const WeaponGroups& weapon_groups() const { return groups_; }
  // The default player names, as written in the table.
  const std::vector<std::string>& default_names() const { return default_names_; }
  // A StableHash of the table's text (0 without a table): what pages made with it depend on.
  uint64_t fingerprint() const { return fingerprint_; }

 private:
  // One entry per line: kind letter, game tag or nothing, ":", lower-case raw name.
  struct Entry {
    std::string name;
    std::string detail;
  };
  const Entry* FindEntry(NameKind kind, std::string_view raw, std::string_view tag) const;

  std::unordered_map<std::string, Entry> names_;
  WeaponGroups groups_;
  std::vector<std::string> default_names_;
  uint64_t fingerprint_ = 0;
};

}  // namespace barvik
