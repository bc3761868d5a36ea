// Report files are replaced atomically: the bytes go to a temporary file in the target's own
// folder, which is then renamed over the target. A failure at any point leaves the target as
// it was (absent or the previous version) and removes the temporary file, so a reader of the
// report folder never sees a half-written page or image.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace barvik {

class AtomicFile {
 public:
  // Creates the temporary file beside `target`. Throws FileError("Cannot create file
  // <target>") when the folder does not exist or is not writable.
  explicit AtomicFile(std::string target);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless Commit succeeded.
  ~AtomicFile();

  // The open temporary file, for writers that need a C stream (libpng).
  FILE* stream() { return stream_; }

  // Appends bytes; throws FileError("Cannot create file <target>") on a write error.
  void Write(std::string_view bytes);

  // Closes the temporary file and renames it over the target. Throws FileError("Cannot create
  // file <target>") when the data cannot be flushed or the rename fails (for instance when
  // the target is a folder).
  void Commit();

  const std::string& target() const { return target_; }

 private:
  [[noreturn]] void Fail();

  std::string target_;     // the file being replaced
  std::string temporary_;  // the file being written, in the target's folder
  FILE* stream_ = nullptr;
  bool committed_ = false;
};

// The whole file `path` replaced by `bytes`, atomically as above.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace barvik
