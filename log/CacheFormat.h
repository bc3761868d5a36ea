// The event cache's file format, on its own (docs/cache-format.md): a header that names the log
// file and sizes the rest, with its CRC-32, then the payload (the event store's words and
// texts) with its 64-bit StreamHash. The writer encodes an EventStore; the reader checks every
// size, checksum, record and text id before it returns a store, so a damaged, foreign or
// other-version file is refused (nothing at all is returned) and never misread. What the files are
// called, where they lie and when they go is the cache folder's business (CacheFolder.h); when a
// file is used, the read plan's (EventCache.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "log/EventStore.h"

namespace barvik {

// When a stretch of a log file's lines was first read: its last line (the line `lines - 1` of
// the file) was written at `at` or before (seconds since 1970). An observed stretch was read
// as the file grew, after an earlier reading that did not have it, so its last line was
// written between the two; the first reading of a file knows only the file's modification
// time then (not observed).
struct ReadStretch {
  uint64_t lines = 0;
  int64_t at = 0;
  bool observed = false;
};

namespace cache {

inline constexpr uint32_t kMaxStretches = 1u << 16;

inline constexpr uint32_t kGzipFlag = 1;
inline constexpr uint32_t kAfterCrFlag = 2;
inline constexpr uint32_t kInNulRunFlag = 4;
inline constexpr uint32_t kDeltaFlag = 8;
inline constexpr size_t kMaxPath = 4096;

// What a cache file says of its log file and of the events it holds.
struct Header {
  uint64_t dev = 0;
  uint64_t ino = 0;
  uint64_t file_size = 0;  // bytes of the file on disk that were read
  uint64_t mtime_ns = 0;
  uint64_t ctime_ns = 0;        // the status change time: no program can set it back
  uint64_t raw_first_hash = 0;  // of the file's bytes, first and last kSummaryBlock
  uint64_t raw_last_hash = 0;
  uint32_t flags = 0;
  uint32_t content_crc = 0;
  uint64_t content_size = 0;
  uint64_t content_first_hash = 0;
  uint64_t content_last_hash = 0;
  uint64_t split_offset = 0;
  EventStore::Mark split;  // the store before the line without terminator at the end
  EventStore::Mark full;   // the whole store
  uint64_t text_bytes = 0;
  uint64_t setting_bytes = 0;
  // A delta file holds the events of the lines after its base file's split point; it names
  // the base by the base's file size and content CRC.
  uint64_t base_size = 0;
  uint32_t base_crc = 0;
  std::string path;  // the log's path when written, for pruning
  // When the lines of the file were first read, rising; a delta file's, of the lines after
  // its base's split point. At most kMaxStretches.
  std::vector<ReadStretch> stretches;
  std::string raw;  // the header's bytes as read, to tell whether a file is still the same

  bool gzip() const { return (flags & kGzipFlag) != 0; }
  uint64_t PayloadBytes() const {
    return full.words * 4 + uint64_t{full.texts} * 4 + text_bytes + uint64_t{full.settings} * 4 +
           setting_bytes + 8;
  }
};

// The header of the cache file open as `fd`, read from its start (whatever else has read the
// descriptor). False for a file that is not a whole cache file of this version and machine.
bool ReadFileHeader(int fd, Header& h);

// The events of the cache file open as `fd` (cut back to its split point with `at_split`),
// when its header still reads as `expected.raw` and every check passes.
std::optional<EventStore> ReadFileEvents(int fd, const Header& expected, bool at_split);

// Writes a cache file holding `store` through `out`: `h` names the log file, the store's marks
// and sizes are filled in here. False as soon as `out` fails.
using Output = std::function<bool(const void*, size_t)>;
bool WriteFile(const Output& out, Header h, const EventStore& store);

}  // namespace cache

// The format on bytes in memory, for the fuzzer and the tests. StoreFromCacheBytes takes
// `bytes` as the contents of a cache file and returns the store it holds (cut back to its
// split point with `at_split`) when every check passes. CacheBytesOf gives the contents of a
// cache file holding `store` (of no log file). RepairCacheChecksums recomputes the two
// checksums of damaged contents, so that the checks behind them are reached.
std::optional<EventStore> StoreFromCacheBytes(const std::string& bytes, bool at_split);
std::string CacheBytesOf(const EventStore& store);
void RepairCacheChecksums(std::string& bytes);

}  // namespace barvik
