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
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace barvik {

// Bytes of all inputs read so far, of their total size on disk.
using ReadProgress = std::function<void(uint64_t done, uint64_t total)>;

// Receives the lines; a view is valid only during the call.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Line(std::string_view line) = 0;
};

// Splits the bytes of one file into lines, across block boundaries.
class LineSplitter {
 public:
  void Feed(const char* data, size_t size, LineSink& sink);
  // The end of the file: its last line, if it has no terminator, and a fresh state.
  void Finish(LineSink& sink);

 private:
  std::string pending_;    // the line begun in an earlier block
  bool after_cr_ = false;  // the last byte was a CR: a LF or a NUL run belongs to it
  bool in_nul_run_ = false;
};

// Reads `files` in order into `sink`; one file's lines end with its end.
void ReadLogFiles(const std::vector<std::string>& files, LineSink& sink,
                  const ReadProgress& progress = {});

// The files of a rotated log in a folder, oldest first: NAME.N[.gz] by falling N (compared as
// numbers), then NAME[.gz]. NAME is the one name with numbered members; other files are
// ignored. Throws FileError when the folder holds no rotated log, or more than one.
std::vector<std::string> RotatedLogFiles(const std::string& folder);

// Each operand a file, or a folder replaced by its rotated set.
std::vector<std::string> ExpandLogOperands(const std::vector<std::string>& operands);

}  // namespace barvik
