#include "log/TextPool.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace barvik {
namespace {
constexpr size_t kBlockBytes = 1 << 16;
}

uint32_t TextPool::Hash(std::string_view text) {
  // FNV-1a: short texts (names, weapons) hash fast and spread well.
  uint32_t h = 2166136261u;
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

size_t TextPool::Slot(std::string_view text, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const uint32_t s = slots_[i];
    if (s == 0) return i;
    const Entry& e = texts_[s - 1];
    if (e.hash == hash && std::string_view(e.data, e.size) == text) return i;
  }
}

uint32_t TextPool::Find(std::string_view text) const {
  if (slots_.empty()) return kNone;
  const uint32_t s = slots_[Slot(text, Hash(text))];
  return s == 0 ? kNone : s - 1;
}

void TextPool::Grow() {
  std::vector<uint32_t> slots(slots_.empty() ? 64 : slots_.size() * 2, 0);
  const size_t mask = slots.size() - 1;
  for (uint32_t id = 0; id < texts_.size(); ++id) {
    size_t i = texts_[id].hash & mask;
    while (slots[i] != 0) i = (i + 1) & mask;
    slots[i] = id + 1;
  }
  slots_ = std::move(slots);
}

const char* TextPool::Store(std::string_view text) {
  if (text.empty()) return "";
  if (text.size() > block_size_ - block_used_) {
    // Blocks double from a small first one, so a pool of a few texts stays small.
    block_size_ =
        std::max(std::min(kBlockBytes, std::max<size_t>(256, block_size_ * 2)), text.size());
    blocks_.push_back(std::make_unique<char[]>(block_size_));
    block_used_ = 0;
  }
  char* at = blocks_.back().get() + block_used_;
  std::memcpy(at, text.data(), text.size());
  block_used_ += text.size();
  return at;
}

uint32_t TextPool::Intern(std::string_view text) {
  if ((texts_.size() + 1) * 2 > slots_.size()) Grow();
  const uint32_t hash = Hash(text);
  const size_t slot = Slot(text, hash);
  if (slots_[slot] != 0) return slots_[slot] - 1;
  if (texts_.size() >= kNone - 1 || text.size() > UINT32_MAX) {
    throw std::length_error("too many distinct texts");
  }
  const auto id = static_cast<uint32_t>(texts_.size());
  const char* data = Store(text);  // copies first: `text` may view this pool's blocks
  texts_.push_back({data, static_cast<uint32_t>(text.size()), hash});
  slots_[slot] = id + 1;
  return id;
}

size_t TextPool::MemoryBytes() const {
  return texts_.capacity() * sizeof(Entry) + slots_.capacity() * sizeof(uint32_t) +
         blocks_.size() * block_size_;
}

}  // namespace barvik
