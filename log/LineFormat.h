// What a log line's texts mean, beside the field layout (LineLayout.h): the kind a line's
// first field names, and the normal form of a name under the name options. The event builder
// and every pass read lines and names through these.
#pragma once

#include <string>
#include <string_view>

#include "log/LineKind.h"

namespace barvik {

// The kind of a line from its field 1 ("K", "say", "InitGame: ..."); Other for any other.
LineKind KindOfField1(std::string_view field1);

// One of the three values of a game-initialisation field 1: the text after `key` up to the
// next "\", "n/a" when the key is absent.
std::string_view GameInitValue(std::string_view field1, std::string_view key);

// The text with case folded (`ignore_case`, as Windows-1252) and "^x" colour codes removed
// (`ignore_colors`). Returns `text` itself when nothing changes, otherwise a view into
// `scratch`, valid until `scratch` is next used.
std::string_view NormaliseText(std::string_view text, bool ignore_case, bool ignore_colors,
                               std::string& scratch);

}  // namespace barvik
