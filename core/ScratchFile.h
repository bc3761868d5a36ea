// ScratchFile: bytes a run sets aside on disk rather than hold in memory, read back later in
// the same run. The file has no name: nobody else can open it, and it goes with the process
// however the run ends. Nothing is lost when it cannot be made or written: Append says so and
// the caller keeps the bytes itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace barvik {

class ScratchFile {
 public:
  // Made in `folder` on the first Append; an empty folder means the system's temporary one.
  explicit ScratchFile(std::string folder = {});
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Appends `bytes`; where they begin, or nothing when they could not all be set aside.
  // From one thread at a time; reads may go on meanwhile.
  std::optional<uint64_t> Append(std::string_view bytes);
  // The open file, for ReadFileAt (core/AtomicReplace.h); -1 before the first Append and when
  // it cannot be made.
  int fd() const { return fd_ >= 0 ? fd_ : -1; }

 private:
  std::string folder_;
  int fd_ = -1;  // -2 once it could not be made
  uint64_t size_ = 0;
};

}  // namespace barvik
