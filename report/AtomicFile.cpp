#include "report/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "core/FileError.h"

namespace barvik {
namespace {

// "<folder>/.<name>.<pid>-<n>.tmp": hidden, beside the target, unique within the process.
std::string TemporaryName(const std::string& target, unsigned attempt) {
  static unsigned counter = 0;
  std::filesystem::path path(target);
  // Built by appending: g++ 12 warns falsely on "literal" + std::string (its bug 105329).
  std::string name(1, '.');
  name += path.filename().string();
  name += '.';
  name += std::to_string(getpid());
  name += '-';
  name += std::to_string(counter++);
  name += '-';
  name += std::to_string(attempt);
  name += ".tmp";
  return (path.parent_path() / name).string();
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(target_, attempt);
    // 0666 under the user's umask: the finished file gets ordinary permissions.
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
      close(fd);
      unlink(candidate.c_str());
      break;
    }
    temporary_ = std::move(candidate);
    return;
  }
  throw FileError::CannotCreate(target_);
}

AtomicFile::~AtomicFile() {
  if (stream_ != nullptr) std::fclose(stream_);
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

void AtomicFile::Fail() { throw FileError::CannotCreate(target_); }

void AtomicFile::Write(std::string_view bytes) {
  if (stream_ == nullptr) Fail();
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) {
    Fail();
  }
}

void AtomicFile::Commit() {
  if (stream_ == nullptr) Fail();
  bool ok = std::ferror(stream_) == 0;
  ok = std::fclose(stream_) == 0 && ok;
  stream_ = nullptr;
  if (!ok || std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail();
  committed_ = true;
}

void WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file(path);
  file.Write(bytes);
  file.Commit();
}

}  // namespace barvik
