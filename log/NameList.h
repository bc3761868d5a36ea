// NameList: the distinct player names of a log in order of first appearance. Names are
// compared without regard to letter case (Windows-1252 folding), whatever the name options
// say; a lookup returns the first-met form's position.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/StringHash.h"

namespace barvik {

class LogFile;

class NameList {
 public:
  // Position of the entry equal to `name` ignoring case, or -1.
  int Find(std::string_view name) const;

  // Appends `name` unless an equal entry exists; returns its position. Empty names are
  // never appended (returns -1).
  int Add(std::string_view name);

  size_t size() const { return names_.size(); }
  const std::string& operator[](size_t i) const { return names_[i]; }
  const std::vector<std::string>& Names() const { return names_; }

 private:
  std::vector<std::string> names_;  // first-met forms
  StringMap<int> index_;            // lower-case form -> position
  StringMap<int> exact_;            // first-met form -> position: most lookups need no folding
  mutable std::string scratch_;     // lower-case form of the name being looked up
};

// The names of the Join, Quit, Say and Kill lines (victim before attacker), normalised.
NameList BuildNameList(const LogFile& log);

}  // namespace barvik
