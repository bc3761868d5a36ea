// The cache folder: the one place that knows what the files in it are called, which of them
// stand for which log file, and when each may go. The event cache reads and writes its files
// under the names given here; the render memo and the kept ratings of an export ask for their
// names here too, so that pruning knows every file it meets (docs/cache-format.md, "The folder").
//
// Files in the folder:
//   f-<hash of device and inode>.events   the base file of one log file
//   f-<hash of device and inode>.delta    the events its log gained since the base was written
//   render-<hash of a report folder>.memo the render memo of one report folder
//   ratings-<hash of a report folder>.state the skill ratings kept for one report folder
//   stats-<hash of the logs' paths>.kept  the statistics pass's state for one set of logs
//   <any of these>.XXXXXX, .tmp-XXXXXX    being written (the latter by earlier versions)
#pragma once

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/CacheFormat.h"

namespace barvik {
namespace cache {

// A file descriptor, closed with the object (-1: none).
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

// The base file of the log file of device `dev` and inode `ino` in `folder`.
std::string EntryPath(const std::string& folder, uint64_t dev, uint64_t ino);
// The delta file beside the base file `base`.
std::string DeltaPath(const std::string& base);

// What the cache holds of one log file: a base file and, when the log grew a little since,
// a delta file with the events of its new lines.
//
// The entry keeps its cache files open from the moment their headers were read: another run,
// or the same log named twice in this one, may replace them by path meanwhile, and the events
// taken must be those the headers describe.
struct KnownEntry {
  std::string file;  // the base file
  Header base;
  bool has_delta = false;
  Header delta;
  std::shared_ptr<Fd> base_fd;
  std::shared_ptr<Fd> delta_fd;
  // The log file as the cache last saw it.
  const Header& whole() const { return has_delta ? delta : base; }
};

// The entry whose base file is `file`, with its delta when that follows the base; nothing when
// the base is missing, not this user's regular file, or unreadable.
std::optional<KnownEntry> OpenKnown(const std::string& file);
// The entry as OpenKnown finds it now, when its files still hold what `k` describes.
std::optional<KnownEntry> Reopen(const KnownEntry& k);
// Every state of a log file the folder knows: each base alone, and with its delta. Only the
// headers are kept (no file stays open).
std::vector<KnownEntry> ScanEntries(const std::string& folder);

// Removes cache files and render memos not used for 30 days, cache files whose log's path no
// longer holds that log for 2 days, and files a killed run left half-written over an hour ago.
// A run marks the files it uses by their modification time.
void Prune(const std::string& folder);

}  // namespace cache

// Where the render memo of `report_folder` (an existing folder) lies in the cache folder
// `folder`: named after its canonical path, so every way of naming it finds the same memo.
// Empty when the report folder has no canonical path.
std::string RenderMemoPath(const std::string& folder, const std::string& report_folder);
// Where the skill ratings an export of `report_folder` keeps for the next run lie (see
// RateModel), named the same way. Pruned as render memos are.
std::string RatingsStatePath(const std::string& folder, const std::string& report_folder);
// Where the games model an export of `report_folder` keeps for the next run lies (see
// ContinueGames), named the same way. Pruned as render memos are.
std::string KeptGamesPath(const std::string& folder, const std::string& report_folder);
// Where an incremental export of `report_folder` notes what it was made from (its logs' names,
// identities, sizes and times, its options), named the same way. Pruned as render memos are.
std::string ExportInputsPath(const std::string& folder, const std::string& report_folder);
// Where the statistics pass keeps its state for the log files `logs` (in reading order) in the
// cache folder `folder`: named after their paths.
std::string StatisticsStatePath(const std::string& folder, const std::vector<std::string>& logs);

// Makes the cache folder when it is missing (mode 0700) and tells whether it may be used:
// empty when it may, otherwise why not (not a folder, another user's, writable by others).
// Cache files that others could have put there would be trusted with the results. An
// existing folder is never changed.
std::string PrepareCacheFolder(const std::string& folder);

// $XDG_CACHE_HOME/barvik when XDG_CACHE_HOME is an absolute path, else $HOME/.cache/barvik;
// empty when neither can be found.
std::string DefaultCacheFolder();

}  // namespace barvik
