// The read plan: how each log file named for a run is taken from the cache folder. A file is
// known by its device, inode, size, modification and status-change times and the hashes of its
// first and last 64 KiB (its edges); a file of a new inode may be recognised by its content (a
// copy, or a rotated member gzipped since: the gzip trailer's CRC-32 and size and the hash of
// its first 64 KiB of content). The plan only decides; the reading (EventCache.cpp) checks the
// content where the plan asks it to and falls back to reading the file whole.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "log/CacheFolder.h"

namespace barvik {
namespace cache {

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

// How one log file will be taken: whole from the cache, read on from where the cache stopped,
// or read whole.
enum class Way { Reuse, Grow, Read };

// One log file of the run, open, and what the plan made of it.
struct Input {
  std::string path;      // as given: messages name it so
  std::string absolute;  // recorded in the cache file
  File file{nullptr, &std::fclose};
  struct stat st {};
  Way way = Way::Read;
  KnownEntry entry;    // what to take from (Reuse, Grow)
  bool moved = false;  // recognised by content: saved again under its own identity
  // The file may have changed where the cheap checks do not look: the content the entry
  // covers must have the entry's CRC-32 before its events are taken.
  bool check = false;
};

// Decides how to take `in` from what `folder` holds. `known` is the folder's scan
// (ScanEntries), made on the first file that is not known under its own identity and kept for
// the next ones.
void Plan(Input& in, const std::string& folder, std::optional<std::vector<KnownEntry>>& known);

// The hashes of the first and the last kSummaryBlock bytes of the first `size` bytes of the
// file open as `fd`. False when they cannot be read.
bool EdgeHashes(int fd, uint64_t size, uint64_t& first, uint64_t& last);
// True when the file open as `fd` begins with the gzip magic.
bool IsGzip(int fd);
// A file's modification and status-change times in nanoseconds, as the cache records them.
uint64_t MtimeNs(const struct stat& st);
uint64_t CtimeNs(const struct stat& st);

}  // namespace cache
}  // namespace barvik
