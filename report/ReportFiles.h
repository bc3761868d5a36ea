// The file names of one report folder: the global files, the ten files of each player named
// by his file prefix, the prefixes assigned for one export, and the output folder text.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/StringHash.h"

namespace barvik {

// The files an export writes that belong to no player.
inline constexpr std::array<std::string_view, 8> kGlobalReportFiles = {
    "style.css", "index.html",    "players.html",  "weapon.html",
    "maps.html", "gametype.html", "accuracy.html", "accuracy.png"};

// The names that follow a player's prefix: his seven pages and three images.
inline constexpr std::array<std::string_view, 10> kPlayerFileBases = {
    "weapon.html", "accuracy.html", "accuracy.png",   "enemyaccuracy.html", "enemyaccuracy.png",
    "maps.html",   "gametype.html", "opponents.html", "ratiochart.html",    "ratiochart.png"};

// The file prefix of every distinct name of `names` for one export, taken in order: the
// player's PlayerFilePrefix when none of his ten file names is taken yet, otherwise that
// prefix with "_2", "_3", ... appended, the first suffix that frees all ten. A name is taken
// once an earlier player holds it or when it is a global file (the empty name's pages would
// otherwise replace "weapon.html" and the other global pages). The same name twice keeps its
// first prefix. Prefixes never contain "_", so a suffixed prefix meets only suffixed ones.
StringMap<std::string> AssignPlayerPrefixes(const std::vector<std::string>& names);

// The folder text of the "File" page as a path prefix: "\" read as "/", and "/" appended when
// the text does not end in one. Empty for an empty text.
std::string OutputFolderPrefix(std::string_view dest_dir);

}  // namespace barvik
