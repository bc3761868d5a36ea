// The spellings of every player: the raw forms of his name in the log's join lines (colour
// codes and letter case as typed), counted, keyed by the name as the name options give it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/StringHash.h"

namespace barvik {

class LogFile;

// Per row caption, the raw forms, most used first (ties by their text).
using Spellings = StringMap<std::vector<std::pair<std::string, int>>>;

Spellings CollectSpellings(const LogFile& log);

}  // namespace barvik
