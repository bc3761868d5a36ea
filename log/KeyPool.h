// KeyPool: the texts that event lists hold, interned. Each distinct text gets an id; texts
// equal without regard to letter case share a folded id. Event lists store ids, so counting
// a key's entries compares numbers instead of texts. Views from Text() stay valid while the
// pool lives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/TextPool.h"

namespace barvik {

using KeyId = uint32_t;

class KeyPool {
 public:
  static constexpr KeyId kNone = TextPool::kNone;

  KeyId Intern(std::string_view text);
  std::string_view Text(KeyId id) const { return exact_.Text(id); }
  // The id of exactly `text`, or kNone.
  KeyId Find(std::string_view text) const { return exact_.Find(text); }
  // The same number for every text with the same lower-case form.
  KeyId FoldedId(KeyId id) const { return folded_of_[id]; }
  // The folded id of any text with the lower-case form of `text`, or kNone.
  KeyId FindFolded(std::string_view text) const;
  size_t size() const { return exact_.size(); }
  size_t FoldedCount() const { return folded_.size(); }

 private:
  TextPool exact_;                // the texts as interned, by id
  TextPool folded_;               // their lower-case forms, by folded id
  std::vector<KeyId> folded_of_;  // folded id of each id
  mutable std::string scratch_;
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

// Counts of every list of the group: only entries written exactly like the key count (the
// player detail tables).
void CountKeysExact(const EventGroup& group, const KeyPool& pool, KeyTable& table);

}  // namespace barvik
