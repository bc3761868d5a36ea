#include "core/AtomicReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/NumberFormat.h"

namespace barvik {
namespace {
// "<folder>/.<name>.<pid>-<n>.tmp": hidden, beside the file it stands for, unique within
// the process (the counter) and among processes (the pid).
std::string SharedTemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter = 0;
  const size_t slash = path.rfind('/');
  const size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  std::string name = path.substr(0, name_at);
  name += '.';
  name += std::string_view(path).substr(name_at);
  name += '.';
  name += std::to_string(getpid());
  name += '-';
  name += std::to_string(counter++);
  name += ".tmp";
  return name;
}

// Creates the temporary file for `path` in `style`: its descriptor, or -1 with errno set.
int CreateTemporary(const std::string& path, TemporaryStyle style, std::string& temporary) {
  if (style == TemporaryStyle::kPrivate) {
    temporary = path + ".XXXXXX";
    return ::mkstemp(temporary.data());
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    temporary = SharedTemporaryName(path);
    // 0666 under the user's umask: a new file gets ordinary permissions.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool IsSharedTemporaryName(std::string_view name) {
  constexpr std::string_view kEnd = ".tmp";
  if (name.size() < 2 + kEnd.size() || name[0] != '.' ||
      name.substr(name.size() - kEnd.size()) != kEnd) {
    return false;
  }
  name.remove_suffix(kEnd.size());
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < 2) return false;
  const std::string_view numbers = name.substr(dot + 1);
  const size_t dash = numbers.find('-');
  return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) &&
         AllDigits(numbers.substr(dash + 1));
}

void KeepPermissions(const std::string& existing, const std::string& file) {
  struct stat st {};
  if (stat(existing.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    chmod(file.c_str(), st.st_mode & 07777);
  }
}

bool ReplaceFileStreamed(const std::string& path, const std::function<bool(const ByteSink&)>& write,
                         TemporaryStyle style) {
  std::string temporary;
  const int fd = CreateTemporary(path, style, temporary);
  if (fd < 0) return false;
  FILE* file = ::fdopen(fd, "wb");
  int error_number = 0;
  if (file == nullptr) {
    error_number = errno;
    ::close(fd);
  } else {
    errno = 0;
    const bool written = write(
        [file](const void* data, size_t size) { return std::fwrite(data, 1, size, file) == size; });
    if (!written) error_number = errno != 0 ? errno : EIO;
    if (std::fclose(file) != 0 && error_number == 0) error_number = errno != 0 ? errno : EIO;
  }
  if (error_number == 0 && style == TemporaryStyle::kShared) KeepPermissions(path, temporary);
  if (error_number == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) {
    error_number = errno;
  }
  if (error_number == 0) return true;
  ::unlink(temporary.c_str());
  errno = error_number;
  return false;
}

bool ReplaceFileWhole(const std::string& path, std::string_view bytes, TemporaryStyle style) {
  return ReplaceFileStreamed(
      path, [bytes](const ByteSink& sink) { return sink(bytes.data(), bytes.size()); }, style);
}

// Exactly `size` bytes of the file open as `fd`, or nothing when it holds another number.
std::optional<std::string> ReadExactly(int fd, size_t size) {
  std::string bytes(size + 1, '\0');  // one more: a file that grew shows it
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got != size) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

int OpenOwnFile(const std::string& path, size_t& size) {
  // Not blocking: a FIFO in the file's place must not stop the run (it is refused below).
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
      st.st_size <= kMaxOwnFileBytes) {
    size = static_cast<size_t>(st.st_size);
    return fd;
  }
  close(fd);
  return -1;
}

std::optional<std::string> ReadOwnFile(const std::string& path) {
  size_t size = 0;
  const int fd = OpenOwnFile(path, size);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes = ReadExactly(fd, size);
  close(fd);
  return bytes;
}

bool ReadFileAt(int fd, uint64_t offset, uint64_t length, std::string& into) {
  const size_t start = into.size();
  into.resize(start + length);
  for (size_t done = 0; done < length;) {
    const ssize_t n =
        pread(fd, into.data() + start + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      into.resize(start);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace barvik
