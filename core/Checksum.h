// Checksums of bytes kept on disk and compared in a later run: the CRC-32 of gzip (a gzip
// trailer holds it, so a file's content can be compared with a compressed copy's) and a fast
// 64-bit hash of a block.
#pragma once

#include <cstddef>
#include <cstdint>

namespace barvik {

// The CRC-32 of gzip over `size` more bytes, going on from `crc` (0 to start).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

// A 64-bit hash of bytes, for recognising the blocks of a file.
uint64_t BlockHash(const char* data, size_t size);

}  // namespace barvik
