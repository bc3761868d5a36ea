// Reading logs as a stream of lines: plain files and gzip files (also several concatenated
// members) are read block by block, never whole; several files read in order make one log,
// each file ending its last line. A folder stands for its rotated set, oldest first.
//
// Line ends: CR, LF, CR LF, and runs of NUL bytes (a crashed server's hole in its log) end a
// line; a CR followed by a NUL run counts as one end. A terminator at the end of a file adds
// no empty line; a last line without one is read too. Splitting is linear in the bytes,
// whatever the line ends are.
//
// Failures raise FileError: "Cannot open file NAME" when a file cannot be opened or read,
// "Cannot read file NAME: ..." when its compressed data is damaged or truncated.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace barvik {

// Bytes of all inputs read so far, of their total size on disk.
using ReadProgress = std::function<void(uint64_t done, uint64_t total)>;

// Receives the lines; a view is valid only during the call.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Line(std::string_view line) = 0;
};

// What the splitter remembers of the bytes before a point of a file, besides an unfinished
// line: a CR just ended a line (a LF after it belongs to it), or a NUL run is going on.
struct SplitState {
  bool after_cr = false;
  bool in_nul_run = false;
};

// Splits the bytes of one file into lines, across block boundaries.
class LineSplitter {
 public:
  LineSplitter() = default;
  // Goes on from a point of a file where no line was begun.
  explicit LineSplitter(SplitState state)
      : after_cr_(state.after_cr), in_nul_run_(state.in_nul_run) {}

  void Feed(const char* data, size_t size, LineSink& sink);
  // The end of the file: its last line, if it has no terminator, and a fresh state.
  void Finish(LineSink& sink);

  SplitState state() const { return {after_cr_, in_nul_run_}; }
  // Bytes of the line begun and not yet ended.
  size_t pending_size() const { return pending_.size(); }

 private:
  std::string pending_;    // the line begun in an earlier block
  bool after_cr_ = false;  // the last byte was a CR: a LF or a NUL run belongs to it
  bool in_nul_run_ = false;
};

// Where the reading of a plain file starts: `offset` is the first byte given to the splitter,
// in `state`. With `summarise`, the summary's CRC-32 counts the bytes from `crc_offset` on
// (>= offset), going on from `crc`, the CRC of the bytes before it, and a gzip file's edge
// blocks are hashed.
struct ReadStart {
  bool summarise = false;
  uint64_t offset = 0;
  SplitState state;
  uint64_t crc_offset = 0;
  uint32_t crc = 0;
};

// What reading one file saw of it.
struct FileSummary {
  bool gzip = false;
  uint64_t content_size = 0;  // bytes of the file, after decompression
  uint32_t content_crc = 0;   // their CRC-32 (as a gzip trailer holds it)
  // Gzip files: hashes of the first and the last kSummaryBlock bytes of the content.
  uint64_t content_first_hash = 0;
  uint64_t content_last_hash = 0;
  // Where the line without terminator at the end of the file begins (the end when there is
  // none), and the splitter's state there: reading can go on from it once the file grew.
  uint64_t split_offset = 0;
  SplitState split_state;
};

inline constexpr size_t kSummaryBlock = size_t{64} * 1024;

using LogFileHandle = std::unique_ptr<FILE, int (*)(FILE*)>;

// Opens a log file for reading and gives its status in `info`. Throws FileError("Cannot open
// file NAME") when it cannot be opened or is a folder, and the same with the reason "not a
// regular file" for a device or socket, whose reading would never end.
LogFileHandle OpenLogFile(const std::string& path, struct stat& info);

// The size and CRC-32 of the first `limit` bytes of a file's content (inflated when it is
// gzip, every member), read from its start. Throws FileError as ReadLogFile does.
struct ContentSum {
  bool gzip = false;
  uint64_t size = 0;
  uint32_t crc = 0;
};
ContentSum SumContent(FILE* file, const std::string& path, uint64_t limit = UINT64_MAX);

// Reads one opened file into `sink` as ReadLogFiles reads each of its files; a plain file from
// `start`. `at_split` runs at the end of the file, just before its line without terminator
// (if any) goes to the sink; `on_bytes` gets the count of every block read from the disk.
// `path` names the file in messages.
FileSummary ReadLogFile(FILE* file, const std::string& path, LineSink& sink, const ReadStart& start,
                        const std::function<void()>& at_split,
                        const std::function<void(size_t)>& on_bytes);

// Reads `files` in order into `sink`; one file's lines end with its end.
void ReadLogFiles(const std::vector<std::string>& files, LineSink& sink,
                  const ReadProgress& progress = {});

// The files of a rotated log in a folder, oldest first: NAME.N[.gz] by falling N (compared as
// numbers), then NAME[.gz]. NAME is the one name with numbered members; other files are
// ignored. A folder without numbered members (a log not rotated yet) stands for its only
// "*.log" file, or else its only file. Hidden files never count. Throws FileError when the
// folder holds no log, several rotated logs, or several candidates for the live log.
std::vector<std::string> RotatedLogFiles(const std::string& folder);

// True when `folder` is the spool of a remote log (remote/Spool.h): it holds a "state" record.
bool IsSpoolFolder(const std::string& folder);

// The generations of a remote log's spool, oldest first: its files NNNNNN.log by rising
// number (each only ever appended to, so it is read like a growing local file). Empty when
// nothing was fetched yet. Throws FileError when the folder cannot be read.
std::vector<std::string> SpoolLogFiles(const std::string& folder);

// Each operand a file, or a folder replaced by its rotated set (a spool by its generations).
std::vector<std::string> ExpandLogOperands(const std::vector<std::string>& operands);

}  // namespace barvik
