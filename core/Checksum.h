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
// telling that a file reads back as it was written (several times faster than Crc32).
class StreamHash {
 public:
  void Update(const void* data, size_t size);
  uint64_t Final() const;

 private:
  void Mix(uint64_t word) {
    hash_ = (hash_ ^ word) * 0x100000001b3ull;
    hash_ ^= hash_ >> 31;
  }

  uint64_t hash_ = 0xcbf29ce484222325ull;
  uint64_t size_ = 0;     // bytes so far
  uint64_t pending_ = 0;  // the bytes of an unfinished 8-byte word, the first lowest
};

}  // namespace barvik
