// The event cache: after a log file is read, its events (the EventStore of that file alone)
// are kept in a cache folder, one cache file per log file, so that the next run reads only
// what is new.
//
// A log file is known by its device, inode, size, modification time and the hashes of its
// first and last 64 KiB. The next run then
//   - takes the cached events of a file that did not change;
//   - reads a file that only grew from the start of its last cached line on (a line cut at the
//     old end is read again whole), after the cached events up to that line;
//   - recognises a file of a new inode by its content: a copy, or a rotated member gzipped
//     since (the gzip trailer's CRC-32 and size against the cached content's, and the hash of
//     its first 64 KiB, which takes inflating only that much);
//   - reads every other file, also one that shrank or was replaced, again.
// A file that grew by less than a sixteenth since its cache file was written keeps the events
// of its new lines in a delta file beside it, so that a run after a few new lines writes as
// much as those lines, not the whole history again, and the cache still knows the file's
// whole content when it is rotated. The events of several files are then joined in order
// (EventStore::AppendStore), giving the same store as one reading of all of them.
//
// A file is taken from the cache without reading it only when its device, inode, size,
// modification and status-change times and edge hashes are all as cached. Otherwise (a grown
// file, a rotated or copied one, one whose status changed) the part of its content the cache
// covers must have the cached CRC-32 first; a file changed anywhere is read again.
//
// Cache files are versioned, checked (CRC-32 of their header and of their contents, and every
// record and text id checked before use), written to a temporary file and renamed into place.
// A damaged, foreign, other-version or unreadable cache file is ignored and replaced; no
// problem of the cache ever fails a run: at worst the log is read as without it. The files'
// names and their pruning are the cache folder's (CacheFolder.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/CacheFormat.h"
#include "log/EventStore.h"
#include "log/LogSource.h"

namespace barvik {

// What a reading through the cache did, for status lines, benchmarks and tests.
struct CacheUse {
  uint64_t bytes_read = 0;     // bytes read from the logs themselves (0: all came from the cache)
  size_t files_reused = 0;     // taken whole from the cache (also recognised by content)
  size_t files_grown = 0;      // read on from where the cache stopped
  size_t files_read = 0;       // read whole
  size_t cache_written = 0;    // cache files written
  uint64_t bytes_checked = 0;  // bytes of the logs read to check the cache against them
  // When the lines of the files were first read (ReadStretch; lines counted over the files
  // read, in order): what the cache kept and this reading added. Empty without a cache.
  std::vector<ReadStretch> stretches;
  // Why the cache folder was not used (its owner, its mode), or empty. The logs are then read
  // whole and nothing is kept.
  std::string refused;
};

// Reads `files` in order into `store` (which must be empty), taking what the cache folder
// holds of each and refreshing it. Throws FileError exactly as ReadLogFiles does for the logs
// themselves; the cache never makes it fail. An empty `folder` reads without a cache.
CacheUse ReadThroughCache(const std::vector<std::string>& files, const std::string& folder,
                          EventStore& store, const ReadProgress& progress = {});

}  // namespace barvik
