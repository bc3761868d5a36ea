#include "report/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/FileError.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

// "<folder>/.<name>.<pid>-<n>.tmp": hidden, beside the file it stands for, unique within
// the process (the counter) and among processes (the pid).
std::string TemporaryName(const std::string& place) {
  static unsigned counter = 0;
  fs::path path(place);
  // Built by appending: g++ 12 warns falsely on "literal" + std::string (its bug 105329).
  std::string name(1, '.');
  name += path.filename().string();
  name += '.';
  name += std::to_string(getpid());
  name += '-';
  name += std::to_string(counter++);
  name += ".tmp";
  return (path.parent_path() / name).string();
}

}  // namespace

void KeepPermissions(const std::string& existing, const std::string& file) {
  struct stat st {};
  if (stat(existing.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    chmod(file.c_str(), st.st_mode & 07777);
  }
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  int error_number = 0;
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(target_);
    // 0666 under the user's umask: a new file gets ordinary permissions.
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      error_number = errno;
      if (errno == EEXIST) continue;
      break;
    }
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
      error_number = errno;
      close(fd);
      unlink(candidate.c_str());
      break;
    }
    temporary_ = std::move(candidate);
    return;
  }
  throw FileError::CannotCreate(target_, error_number);
}

AtomicFile::~AtomicFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

void AtomicFile::Fail(int error_number) { throw FileError::CannotCreate(target_, error_number); }

void AtomicFile::Write(std::string_view bytes) {
  if (stream_ == nullptr) Fail(EBADF);
  errno = 0;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
    Fail(errno);
  }
}

void AtomicFile::Commit() {
  if (stream_ == nullptr) Fail(EBADF);
  errno = 0;
  int error_number = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) error_number = errno ? errno : EIO;
  if (std::fclose(stream_) != 0 && error_number == 0) error_number = errno ? errno : EIO;
  stream_ = nullptr;
  if (error_number != 0) Fail(error_number);
  KeepPermissions(target_, temporary_);
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(errno);
  committed_ = true;
}

}  // namespace barvik
