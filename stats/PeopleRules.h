// The people file: an admin's corrections to who is who, read from its text.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace barvik {

// An admin's corrections (the --people file), by spelling; names are compared with colour
// codes removed and case folded.
struct PeopleRules {
  std::vector<std::vector<std::string>> same;       // each: these spellings are one person
  std::vector<std::vector<std::string>> different;  // each: these are different people
  std::vector<std::string> hidden;                  // hide the person of this spelling
  std::vector<std::pair<std::string, std::string>> shown_as;  // spelling, display name
};

// The rules of a people file's text, or the first problem as "line N: ...".
struct PeopleFileResult {
  PeopleRules rules;
  std::string error;  // empty when the text was read whole
};
PeopleFileResult ParsePeopleFile(std::string_view text);

}  // namespace barvik
