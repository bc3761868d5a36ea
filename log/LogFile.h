// LogFile: one loaded server log, or several read in order as one. The lines are read once,
// streaming, into compact events (EventStore) and are not kept; every pass over the log reads
// those events. The name options are applied to the interned texts through NameForms, one
// per option state (LineFormat.h).
//
// Bad input never fails: a line of any other form is of kind Other, and a missing field reads
// as the empty text. Only a file that cannot be read raises FileError.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/EventCache.h"
#include "log/EventStore.h"
#include "log/LineFormat.h"
#include "log/LineKind.h"
#include "log/LogSource.h"

namespace barvik {

class LogFile {
 public:
  // Reads the file; throws FileError("Cannot open file <name>") when it cannot be read, and
  // "Cannot read file <name>: ..." when its compressed data is damaged.
  explicit LogFile(const std::string& file_name);
  // Reads the files in order as one log, each ending its last line.
  explicit LogFile(const std::vector<std::string>& files, const ReadProgress& progress = {});
  // The same through the event cache in `cache_folder` (see EventCache.h; empty: none).
  LogFile(const std::vector<std::string>& files, const ReadProgress& progress,
          const std::string& cache_folder);

  // A log made from text in memory (tests, benchmarks, the fuzzer); several texts are read
  // as several files.
  static LogFile FromText(std::string_view text);
  static LogFile FromTexts(const std::vector<std::string>& texts);

  LogFile(LogFile&&) = default;
  LogFile& operator=(LogFile&&) = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile();

  size_t LineCount() const { return static_cast<size_t>(events_.LineCount()); }
  const EventStore& events() const { return events_; }
  // EventStore::PrefixHash of the events, remembered: the passes that keep a state for the next
  // run check it, and mark the one they keep, with the same few hashes. Safe from several
  // threads.
  std::optional<uint64_t> PrefixHash(uint32_t position, uint32_t texts, uint32_t settings) const;
  // What the reading took from the cache and read from the logs.
  const CacheUse& cache_use() const { return cache_use_; }
  // The files read of which not one line is of a known kind (a file that is no server log;
  // see EventStore::HasKnownLines), in reading order. An empty file counts only when no file of the
  // log has such a line: a live log just rotated is empty for a while.
  const std::vector<std::string>& unrecognised_files() const { return unrecognised_files_; }
  // Where each file read ends in the log, with its modification time when it was opened (the
  // time of its last line, as far as the file system tells), in reading order.
  struct FileEnd {
    std::string path;
    uint64_t lines = 0;  // lines of the log up to the end of this file
    int64_t mtime = 0;   // seconds since 1970
  };
  const std::vector<FileEnd>& file_ends() const { return file_ends_; }
  // When the lines were first read, as the event cache kept it (lines counted over all the
  // files; empty without a cache).
  const std::vector<ReadStretch>& stretches() const { return cache_use_.stretches; }
  // The keys of the current IgnoreCase / IgnoreColors state (computed on first use).
  const NameForms& Forms() const;
  // Where each raw name occurs (built on first use).
  const PlayerIndex& Index() const;

  // The text with case folded (IgnoreCase) and colour codes removed (IgnoreColors).
  std::string NormaliseName(std::string_view text) const;

  bool IgnoreCase = false;    // fold names to lower case
  bool IgnoreColors = false;  // remove "^x" colour codes from names
  std::string HostName;       // server name of the last game-initialisation line read
  int32_t TurnCount = 0;      // game-initialisation lines counted by the statistics pass

 private:
  LogFile() = default;

  EventStore events_;
  CacheUse cache_use_;
  std::vector<std::string> unrecognised_files_;
  std::vector<FileEnd> file_ends_;
  mutable std::array<std::unique_ptr<NameForms>, 4> forms_;  // by option state
  mutable std::unique_ptr<PlayerIndex> index_;
  struct PrefixHashes {
    std::mutex mutex;
    std::vector<std::pair<std::array<uint32_t, 3>, std::optional<uint64_t>>> known;
  };
  std::shared_ptr<PrefixHashes> prefix_hashes_ = std::make_shared<PrefixHashes>();
};

}  // namespace barvik
