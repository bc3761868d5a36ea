#include "core/ScratchFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

namespace barvik {

ScratchFile::ScratchFile(std::string folder) : folder_(std::move(folder)) {}

ScratchFile::~ScratchFile() {
  if (fd_ >= 0) close(fd_);
}

std::optional<uint64_t> ScratchFile::Append(std::string_view bytes) {
  if (fd_ == -1) {
    std::string folder = folder_;
    if (folder.empty()) {
      std::error_code ec;
      folder = std::filesystem::temp_directory_path(ec).string();
      if (ec) folder = "/tmp";
    }
    fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ < 0) fd_ = -2;
  }
  if (fd_ < 0) return std::nullopt;
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n =
        pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(size_ + done));
    if (n < 0 && errno == EINTR) continue;
    // What was written of these bytes is left past the end and written over next time.
    if (n <= 0) return std::nullopt;
    done += static_cast<size_t>(n);
  }
  const uint64_t at = size_;
  size_ += bytes.size();
  return at;
}

}  // namespace barvik
