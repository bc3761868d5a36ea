// Checksums of bytes kept on disk and compared in a later run: the CRC-32 of gzip (a gzip
// trailer holds it, so a file's content can be compared with a compressed copy's), a fast
// 64-bit hash of a block and the same kind of hash over a stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace barvik {

// The CRC-32 of gzip over `size` more bytes, going on from `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// A 64-bit hash of bytes, for recognising the blocks of a file.
uint64_t BlockHash(const char* data, size_t size);

// A 64-bit hash of a stream of bytes, the same however the stream is cut into pieces: for
// telling that a file reads back as it was written (several times faster than Crc32). Four
// lanes take the stream's 8-byte words in turn, so that their multiplications overlap.
class StreamHash {
 public:
  void Update(const void* data, size_t size);
  uint64_t Final() const;

 private:
  static constexpr size_t kBlock = 32;  // one word for each lane
  static void Mix(uint64_t& lane, uint64_t word) {
    lane = (lane ^ word) * 0x100000001b3ull;
    lane ^= lane >> 31;
  }
  void MixBlock(const unsigned char* block);

  uint64_t lanes_[4] = {0xcbf29ce484222325ull, 0x84222325cbf29ce4ull, 0x9e3779b97f4a7c15ull,
                        0xc2b2ae3d27d4eb4full};
  uint64_t size_ = 0;                // bytes so far
  unsigned char pending_[kBlock]{};  // the bytes of an unfinished block
};

}  // namespace barvik
