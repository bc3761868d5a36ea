#include "core/AtomicReplace.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace barvik {

bool ReplaceFileStreamed(const std::string& path,
                         const std::function<bool(const ByteSink&)>& write) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  FILE* file = ::fdopen(fd, "wb");
  int error_number = 0;
  if (file == nullptr) {
    error_number = errno;
    ::close(fd);
  } else {
    const bool written = write(
        [file](const void* data, size_t size) { return std::fwrite(data, 1, size, file) == size; });
    if (!written) error_number = errno != 0 ? errno : EIO;
    if (std::fclose(file) != 0 && error_number == 0) error_number = errno != 0 ? errno : EIO;
  }
  if (error_number == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error_number = errno;
  }
  if (error_number == 0) return true;
  ::unlink(temporary.c_str());
  errno = error_number;
  return false;
}

bool ReplaceFileWhole(const std::string& path, std::string_view bytes) {
  return ReplaceFileStreamed(
      path, [bytes](const ByteSink& sink) { return sink(bytes.data(), bytes.size()); });
}

}  // namespace barvik
