// The spool of one remote log: a folder of the cache folder that mirrors the remote bytes as
// append-only local files, one per remote generation (a generation ends when the remote file
// is truncated, replaced or rotated away), plus a small state record. log/ reads the folder
// like a local rotated log (SpoolLogFiles), oldest generation first.
//
// Files in the folder (docs/remote-logs.md):
//   state          the record: the URL without secrets, and per generation the remote name,
//                  size and time last seen, a fingerprint of its first 4 KiB, bytes mirrored
//   NNNNNN.log     generation N: the remote bytes from the start up to the end of the last
//                  complete line mirrored; only ever appended to
//   NNNNNN.tail    the bytes after that end (an unterminated last line), with the length of
//                  the .log file they follow; they join the .log file once their line ends
//
// The .log file is the truth: its bytes are always a prefix of the remote file, so a run
// killed at any point leaves a spool the next run goes on from (a tail that no longer follows
// its .log file is dropped and fetched again). Failures to write raise FileError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace barvik::remote {

// The head of a remote file that identifies it across runs.
inline constexpr uint64_t kHeadBytes = 4096;

struct Generation {
  int number = 0;
  std::string name;           // the remote file's name when last seen (a folder's member)
  int64_t remote_size = -1;   // as last reported; -1 unknown
  int64_t remote_mtime = -1;  // seconds since 1970 as last reported; -1 unknown
  uint64_t mirrored = 0;      // bytes of the remote file held: the .log file and its tail
  uint64_t head_hash = 0;     // hash of the first min(kHeadBytes, mirrored) bytes
};

// The source's figures of the last run, kept for whoever asks (docs, tests, measurements).
struct RunFigures {
  int requests = 0;    // size/time queries, listings and transfers started
  uint64_t bytes = 0;  // bytes received from the server
};

class Spool {
 public:
  // Opens the spool of `shown_url` in `folder`, making it (mode 0700) when missing.
  Spool(std::string folder, std::string shown_url);
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;
  ~Spool();

  const std::string& folder() const { return folder_; }
  std::vector<Generation>& generations() { return generations_; }
  Generation* Latest() { return generations_.empty() ? nullptr : &generations_.back(); }
  Generation* Find(int number);
  // Starts a new, empty generation after the others.
  Generation& NewGeneration(const std::string& name);

  // The mirrored bytes [offset, offset + length) of a generation (fewer when it holds fewer).
  std::string Read(const Generation& g, uint64_t offset, uint64_t length) const;
  std::string Head(const Generation& g, uint64_t length) const { return Read(g, 0, length); }
  // Appends remote bytes to a generation: complete lines go to its .log file, the rest waits
  // in its tail. `flush` ends the append of a transfer (the tail is written down).
  void Append(Generation& g, std::string_view bytes);
  void Flush(Generation& g);

  bool ranges_ignored = false;  // an HTTP server answered a range with the whole file
  RunFigures figures;

  // Writes the state record (atomically).
  void Save();

  static std::string LogPath(const std::string& folder, int number);

 private:
  void Load();

  std::string folder_;
  std::string shown_url_;
  std::vector<Generation> generations_;
  // The generation being appended to, with its unwritten tail.
  int open_number_ = 0;
  std::string tail_;
  int log_fd_ = -1;
};

// The remote file's modification time (seconds since 1970) of the spool generation file
// `log_path` (a spool's NNNNNN.log), when the spool holds every byte the remote file had
// then: the time of that file's last line. -1 when unknown or `log_path` is no spool file.
int64_t SpoolRemoteMtime(const std::string& log_path);

// Where the spool of a URL lies under `root` (the cache folder's "spool"): named after a hash
// of the URL as shown (without secrets).
std::string SpoolFolder(const std::string& root, const std::string& shown_url);

}  // namespace barvik::remote
