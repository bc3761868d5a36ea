#include "log/KeyPool.h"

#include <limits>

#include "core/Text1252.h"

namespace barvik {

KeyId KeyPool::Intern(std::string_view text) {
  const size_t before = exact_.size();
  const KeyId id = exact_.Intern(text);
  if (exact_.size() != before) {
    LowerInto(exact_.Text(id), scratch_);
    folded_of_.push_back(folded_.Intern(scratch_));
  }
  return id;
}

KeyId KeyPool::FindFolded(std::string_view text) const {
  LowerInto(text, scratch_);
  return folded_.Find(scratch_);
}

KeyTable CollectKeys(const EventGroup& group, const KeyPool& pool, size_t list_count) {
  constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  std::vector<uint32_t> row_of_folded(pool.FoldedCount(), kNone);
  KeyTable table;
  for (size_t j = 0; j < list_count && j < group.lists.size(); ++j) {
    for (KeyId id : group.lists[j]) {
      uint32_t& row = row_of_folded[pool.FoldedId(id)];
      if (row == kNone) {
        row = static_cast<uint32_t>(table.keys.size());
        table.keys.push_back(id);
      }
    }
  }
  table.counts.assign(table.keys.size(), std::vector<int64_t>(group.lists.size(), 0));
  return table;
}

void CountKeysExact(const EventGroup& group, const KeyPool& pool, KeyTable& table) {
  constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  std::vector<uint32_t> row_of_id(pool.size(), kNone);
  for (size_t r = 0; r < table.keys.size(); ++r) {
    uint32_t& row = row_of_id[table.keys[r]];
    if (row == kNone) row = static_cast<uint32_t>(r);
  }
  for (size_t j = 0; j < group.lists.size(); ++j) {
    for (KeyId id : group.lists[j]) {
      uint32_t row = row_of_id[id];
      if (row != kNone) ++table.counts[row][j];
    }
  }
}

}  // namespace barvik
