// NameList: the distinct player names of a log in order of first appearance, as keys of the
// log's NameForms. Names are compared without regard to letter case (Windows-1252 folding),
// whatever the name options say; a lookup returns the first-met form's position.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/KeyPool.h"

namespace barvik {

class LogFile;

class NameList {
 public:
  NameList() : NameList(std::make_shared<KeyPool>()) {}
  explicit NameList(std::shared_ptr<const KeyPool> pool) : pool_(std::move(pool)) {}

  // Position of the entry equal to the key's text ignoring case, or -1.
  int FindKey(KeyId key) const {
    const KeyId folded = pool_->FoldedId(key);
    return folded < row_of_folded_.size() ? row_of_folded_[folded] : -1;
  }
  // The same for any text.
  int Find(std::string_view name) const;

  // Appends the key unless an equal entry exists; returns its position. The empty text is
  // never appended (returns -1).
  int AddKey(KeyId key);

  size_t size() const { return keys_.size(); }
  std::string_view operator[](size_t i) const { return pool_->Text(keys_[i]); }
  std::vector<std::string> Names() const;

 private:
  std::shared_ptr<const KeyPool> pool_;
  std::vector<KeyId> keys_;             // first-met forms
  std::vector<int32_t> row_of_folded_;  // folded id -> position, -1 when absent
};

// The names of the Join, Quit, Say and Kill lines (victim before attacker), normalised.
NameList BuildNameList(const LogFile& log);
// Adds those of the records from `from` (the start of a record) on to `names`, a list of the
// log's keys.
void AddNames(const LogFile& log, uint32_t from, NameList& names);

}  // namespace barvik
