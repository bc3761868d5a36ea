#include "app/PeopleFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace barvik {

namespace {

constexpr size_t kMaxBytes = 16 << 20;

// Closes a descriptor when it goes.
struct Descriptor {
  explicit Descriptor(int fd) : fd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
  int fd;
};

}  // namespace

PeopleFileRead ReadPeopleFile(const std::string& path, const CodePageTable& log_code_page) {
  PeopleFileRead read;
  const std::string named = "people file '" + path + "'";
  auto cannot = [&](const std::string& why) {
    read.error = "option '--people': cannot read '" + path + "' (" + why + ")";
    return read;
  };
  // Opened without blocking: opening a FIFO for reading would wait for a writer.
  const Descriptor file(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (file.fd < 0) return cannot(std::strerror(errno));
  struct stat st {};
  if (fstat(file.fd, &st) != 0) return cannot(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return cannot("not a regular file");
  if (static_cast<uint64_t>(st.st_size) > kMaxBytes) {
    read.error = named + " is larger than 16 MB";
    return read;
  }
  std::string text(static_cast<size_t>(st.st_size), '\0');
  size_t have = 0;
  while (have < text.size()) {
    const ssize_t n = ::read(file.fd, text.data() + have, text.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return cannot(std::strerror(errno));
    if (n == 0) break;  // shortened meanwhile
    have += static_cast<size_t>(n);
  }
  text.resize(have);
  FromUtf8Result converted = EightBitFromUtf8(text, log_code_page);
  if (converted.utf8 && converted.unmapped_at != std::string_view::npos) {
    const std::string_view body =
        std::string_view(text).substr(text.starts_with("\xEF\xBB\xBF") ? 3 : 0);
    const size_t line =
        1 +
        static_cast<size_t>(std::count(
            body.begin(), body.begin() + static_cast<std::ptrdiff_t>(converted.unmapped_at), '\n'));
    read.error = named + ", line " + std::to_string(line) +
                 ": a character the log's code page cannot write (no name of the log has it)";
    return read;
  }
  PeopleFileResult parsed = ParsePeopleFile(converted.utf8 ? converted.bytes : text);
  if (!parsed.error.empty()) {
    read.error = named + ", " + parsed.error;
    return read;
  }
  read.rules = std::move(parsed.rules);
  return read;
}

std::string PeopleFileFingerprint(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return "-";
  return std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino) + ':' +
         std::to_string(st.st_size) + ':' + std::to_string(st.st_mtim.tv_sec) + '.' +
         std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace barvik
