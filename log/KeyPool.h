// KeyPool: the texts that event lists hold, interned. Each distinct text gets an id; texts
// equal without regard to letter case share a folded id. Event lists store ids, so counting
// a key's entries compares numbers instead of texts.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/StringHash.h"

namespace barvik {

using KeyId = uint32_t;

class KeyPool {
 public:
  KeyId Intern(std::string_view text);
  std::string_view Text(KeyId id) const { return texts_[id]; }
  // The same number for every text with the same lower-case form.
  KeyId FoldedId(KeyId id) const { return folded_of_[id]; }
  size_t size() const { return texts_.size(); }
  size_t FoldedCount() const { return folded_count_; }

 private:
  std::deque<std::string> texts_;  // by id; a deque keeps the views in the maps valid
  std::vector<KeyId> folded_of_;   // folded id of each id
  StringMap<KeyId> exact_;         // text -> id
  StringMap<KeyId> folded_;        // lower-case text -> folded id
  size_t folded_count_ = 0;
  std::string scratch_;
};

// A group of event lists: list j feeds the j-th count column of a table. An entry is the id
// of the key (map, weapon, location, ...) that the event belongs to.
struct EventGroup {
  explicit EventGroup(size_t list_count = 0) : lists(list_count) {}
  std::vector<std::vector<KeyId>> lists;
};

// The distinct keys of a group and their counts per list.
struct KeyTable {
  std::vector<KeyId> keys;                   // first-met forms, in row order
  std::vector<std::vector<int64_t>> counts;  // counts[row][list]
};

// Keys of the first `list_count` lists, in first-met order list by list, one key per folded
// form (the form met first).
KeyTable CollectKeys(const EventGroup& group, const KeyPool& pool, size_t list_count);

// Counts of every list of the group. Folded: an entry counts for the key it equals without
// regard to case (the global tables). Exact: only entries written exactly like the key count
// (the player detail tables).
void CountKeysFolded(const EventGroup& group, const KeyPool& pool, KeyTable& table);
void CountKeysExact(const EventGroup& group, const KeyPool& pool, KeyTable& table);

}  // namespace barvik
