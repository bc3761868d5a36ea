// The file names of one report folder: the global files, the ten files of each player named
// by his file prefix, the prefixes assigned for one export, and the output folder text.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/AtomicReplace.h"
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

// The longest file name a file system takes, in bytes.
inline constexpr size_t kMaxFileNameBytes = 255;

// The longest prefix whose every file name, written under its temporary name, still fits.
inline constexpr size_t kMaxPrefixBytes =
    kMaxFileNameBytes - kTemporaryNameExtra -
    std::max_element(kPlayerFileBases.begin(), kPlayerFileBases.end(),
                     [](std::string_view a, std::string_view b) { return a.size() < b.size(); })
        ->size();

// `prefix` when it has at most `limit` bytes; otherwise its start followed by "_" and eight
// hexadecimal digits of a hash of `whole`, `limit` bytes in all.
std::string FitPrefix(std::string_view prefix, std::string_view whole, size_t limit);

// A player name as the prefix of his file names: lower-cased (Windows-1252 letters), every
// byte other than "a"-"z", "0"-"9", ".", "=", "@" and "^" replaced by its code as a signed
// 8-bit number in decimal ("Bob Smith" gives "bob32smith", byte 233 gives "-23"), a leading
// "." too ("46"), so no player file is hidden. Not one to one: "!" and "33" both give "33".
// A prefix too long for its file names (kMaxPrefixBytes) keeps its start and ends in a hash
// of the whole name (FitPrefix).
std::string PlayerFilePrefix(std::string_view name);

// The file prefix of every distinct name of `names` for one export, taken in order: the
// player's PlayerFilePrefix when none of his ten file names is taken yet, otherwise that
// prefix with "_2", "_3", ... appended, the first suffix that frees all ten (cut again with
// FitPrefix where the suffix would make it too long). A name is taken once an earlier player
// holds it or when it is a global file (the empty name's pages would otherwise replace
// "weapon.html" and the other global pages). The same name twice keeps its first prefix.
// Linear in the number of names, however many share one prefix.
StringMap<std::string> AssignPlayerPrefixes(const std::vector<std::string>& names);

// The folder text of the "File" page as a path prefix: "\" read as "/", and "/" appended when
// the text does not end in one. Empty for an empty text.
std::string OutputFolderPrefix(std::string_view dest_dir);

}  // namespace barvik
