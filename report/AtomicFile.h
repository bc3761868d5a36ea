// Report files are replaced atomically: the bytes go to a temporary file in the target's own
// folder, which is then renamed over the target. A failure at any point leaves the target as
// it was (absent or the previous version) and removes the temporary file, so a reader of the
// report folder never sees a half-written page or image. A replaced file keeps the permission
// bits of the file it replaces.
//
// Staging and keeping unchanged files are the business of ReportOutput (ReportFolder.h), which
// writes through this.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace barvik {

// The most bytes the temporary name adds to the name of the file it stands for: a leading
// ".", then ".<pid>-<counter>.tmp" with two numbers of up to ten digits each.
inline constexpr size_t kTemporaryNameExtra = 27;

class AtomicFile {
 public:
  // Creates the temporary file beside `target`. Throws FileError("Cannot create file
  // <target>") when the folder does not exist or is not writable.
  explicit AtomicFile(std::string target);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFile();

  // Appends bytes; throws FileError("Cannot create file <target>") on a write error.
  void Write(std::string_view bytes);

  // Closes the temporary file and renames it over the target. Throws
  // FileError("Cannot create file <target>") when the data cannot be flushed or the rename
  // fails (for instance when the target is a folder).
  void Commit();

  const std::string& target() const { return target_; }

 private:
  [[noreturn]] void Fail(int error_number);

  std::string target_;     // the file being replaced
  std::string temporary_;  // the file being written, in the folder of target_
  FILE* stream_ = nullptr;
  bool committed_ = false;
};

// Gives `file` the permission bits of `existing` when that is a regular file: a replacing
// file keeps the bits of the one it replaces.
void KeepPermissions(const std::string& existing, const std::string& file);

}  // namespace barvik
