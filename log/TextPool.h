// TextPool: distinct byte texts, each stored once and numbered in order of first interning.
// Texts live in blocks that never move, so a view returned by Text() stays valid while the
// pool lives, also across later Intern() calls (a text may be interned from a view into the
// same pool).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace barvik {

class TextPool {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  TextPool() = default;
  TextPool(TextPool&&) = default;
  TextPool& operator=(TextPool&&) = default;
  TextPool(const TextPool&) = delete;
  TextPool& operator=(const TextPool&) = delete;

  // The id of `text`, added when new.
  uint32_t Intern(std::string_view text);
  // The id of `text`, or kNone.
  uint32_t Find(std::string_view text) const;
  std::string_view Text(uint32_t id) const { return {texts_[id].data, texts_[id].size}; }
  size_t size() const { return texts_.size(); }
  // Bytes held, for the benchmarks.
  size_t MemoryBytes() const;

 private:
  struct Entry {
    const char* data;
    uint32_t size;
    uint32_t hash;
  };
  static uint32_t Hash(std::string_view text);
  size_t Slot(std::string_view text, uint32_t hash) const;
  void Grow();
  const char* Store(std::string_view text);

  std::vector<Entry> texts_;     // by id
  std::vector<uint32_t> slots_;  // open addressing: id + 1, 0 = empty
  std::vector<std::unique_ptr<char[]>> blocks_;
  size_t block_used_ = 0;
  size_t block_size_ = 0;
};

}  // namespace barvik
