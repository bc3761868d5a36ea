#include "report/ReportFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/AtomicReplace.h"
#include "core/FileError.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStagingPrefix = ".barvik-staging-";
// The journal of a publish under way: the staging folder's name, then for every file in the
// order it moves, whether it replaces a file ("R") or is new ("N"), and its path inside the
// report folder; each record ends in a NUL byte.
constexpr std::string_view kJournalName = ".barvik-publish";
// Inside the staging folder: hard links to the files a publish replaces, to put them back.
constexpr std::string_view kBackupFolder = ".barvik-old/";

// Writes all of `bytes` to `fd` (one call, unless the system takes less) and closes it: 0, or
// the error number of the failure.
int WriteAndClose(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  int error_number = done == bytes.size() ? 0 : (errno != 0 ? errno : EIO);
  if (close(fd) != 0 && error_number == 0) error_number = errno;
  return error_number;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// The whole of a regular file, or nothing when it cannot be read. With `size`, also nothing
// when the file has another size: a file that must match whole is then not read at all.
std::optional<std::string> ReadWhole(const std::string& path,
                                     std::optional<size_t> size = std::nullopt) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> bytes;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      (!size || *size == static_cast<size_t>(st.st_size))) {
    // One byte more than the size: a file that grew meanwhile is read whole all the same.
    std::string data(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t got = 0;
    for (;;) {
      if (got == data.size()) data.resize(data.size() * 2);
      const ssize_t n = read(fd, data.data() + got, data.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) break;
      if (n == 0) {
        data.resize(got);
        bytes = std::move(data);
        break;
      }
      got += static_cast<size_t>(n);
    }
  }
  close(fd);
  return bytes;
}

// Where `marker` last occurs in `text`, or npos: rfind, but skipping ahead as a search for
// text does (the shift for the byte at each tried start), instead of trying every position.
// It is done for every file an incremental export compares, and files without a footer (the
// games' JSON, images) have to be read whole: several times faster over megabytes.
size_t LastOf(std::string_view text, std::string_view marker) {
  const size_t n = marker.size();
  if (n == 0) return text.size();
  if (text.size() < n) return std::string_view::npos;
  // shift[c]: how far back the next start could be so that byte c lines up with the marker.
  std::array<size_t, 256> shift;
  shift.fill(n);
  for (size_t i = n - 1; i >= 1; --i) shift[static_cast<unsigned char>(marker[i])] = i;
  for (size_t p = text.size() - n;;) {
    if (text[p] == marker[0] && text.compare(p, n, marker) == 0) return p;
    const size_t back = shift[static_cast<unsigned char>(text[p])];
    if (p < back) return std::string_view::npos;
    p -= back;
  }
}

// The time stamp of a JSON report file: the first "generated" value, which the writers put
// ahead of the document's lists and entries.
std::pair<size_t, size_t> JsonTimeStampRange(std::string_view text) {
  constexpr size_t npos = std::string_view::npos;
  constexpr std::string_view kJsonKey = "\"generated\":\"";
  const size_t key = text.find(kJsonKey);
  if (key == npos) return {npos, npos};
  const size_t begin = key + kJsonKey.size();
  for (size_t i = begin; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      return {begin, i};
    }
  }
  return {npos, npos};
}

// Where the time stamp of a report file lies: [begin, end) of `text`, or npos for none.
// The markers around it are ones a log's texts cannot produce once escaped ("<" in HTML, an
// unescaped quote in JSON), so no player name or map can move the masked range.
std::pair<size_t, size_t> TimeStampRange(std::string_view text) {
  constexpr size_t npos = std::string_view::npos;
  struct Footer {
    std::string_view before, after;
  };
  // The classic page footer, then the site's.
  static constexpr std::array<Footer, 2> kFooters = {{
      {"Statistics generated ", "<br>with Barvik  build "},
      {"<footer>Generated ", " with Barvik build "},
  }};
  for (const Footer& footer : kFooters) {
    const size_t end = LastOf(text, footer.after);
    if (end == npos) continue;
    const size_t start = text.rfind(footer.before, end);
    if (start == npos) continue;
    const size_t begin = start + footer.before.size();
    if (text.substr(begin, end - begin).find('\n') != npos) continue;
    return {begin, end};
  }
  return JsonTimeStampRange(text);
}

// SameApartFromTimeStamp of `a`, whose time stamp lies at `a_stamp`, and a `b` that differs
// from it.
bool SameApart(std::string_view a, std::pair<size_t, size_t> a_stamp, std::string_view b) {
  const auto [a_begin, a_end] = a_stamp;
  const auto [b_begin, b_end] = TimeStampRange(b);
  if (a_begin == std::string_view::npos || b_begin == std::string_view::npos) return false;
  return a.substr(0, a_begin) == b.substr(0, b_begin) && a.substr(a_end) == b.substr(b_end);
}

}  // namespace

bool SameApartFromTimeStamp(std::string_view a, std::string_view b) {
  return a == b || SameApart(a, TimeStampRange(a), b);
}

ReportOutput::~ReportOutput() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return in_flight_ == 0; });
}

void ReportOutput::Stage(const std::string& folder) {
  staging_.reset();
  staging_.emplace(folder);
}

void ReportOutput::WriteOn(WorkerPool& workers, size_t queued_bytes) {
  workers_ = &workers;
  queue_limit_ = queued_bytes;
}

void ReportOutput::Publish() {
  Wait();
  if (staging_) staging_->Publish();
}

void ReportOutput::Wait() {
  std::unique_lock lock(mutex_);
  ThrowFailure(lock);
}

void ReportOutput::ThrowFailure(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return in_flight_ == 0; });
  if (failure_) std::rethrow_exception(failure_);
}

void ReportOutput::CountKept() {
  const std::lock_guard lock(mutex_);
  ++counts_.kept;
}

WriteCounts ReportOutput::counts() const {
  const std::lock_guard lock(mutex_);
  return counts_;
}

std::string ReportOutput::PlaceOf(const std::string& path) const {
  return staging_ ? staging_->StagedPlaceOf(path) : path;
}

uint64_t ReportOutput::Claim(std::unique_lock<std::mutex>& lock, const std::string& place) {
  changed_.wait(lock, [&] { return !busy_places_.contains(place); });
  return next_order_++;
}

void ReportOutput::Write(const std::string& path, std::string bytes) {
  if (workers_ == nullptr) {
    WriteHere(path, bytes);
    return;
  }
  std::string place = PlaceOf(path);
  uint64_t order = 0;
  {
    std::unique_lock lock(mutex_);
    // A failure stops the export at its next write, with the earliest failure's error.
    if (failure_) ThrowFailure(lock);
    changed_.wait(lock, [this] { return queued_bytes_ < queue_limit_ || in_flight_ == 0; });
    order = Claim(lock, place);
    busy_places_.insert(place);
    ++in_flight_;
    queued_bytes_ += bytes.size();
  }
  workers_->Post([this, path, place = std::move(place), bytes = std::move(bytes), order] {
    std::exception_ptr error;
    {
      const std::lock_guard lock(mutex_);
      // Nothing after a failed write is published: what follows it need not be written.
      if (failure_ && order > failure_order_) error = failure_;
    }
    if (!error) {
      try {
        WriteFile(path, place, bytes, order);
      } catch (...) {
        error = std::current_exception();
      }
    }
    const std::lock_guard lock(mutex_);
    if (error && (!failure_ || order < failure_order_)) {
      failure_ = error;
      failure_order_ = order;
    }
    // Let go of the error under the lock: another thread reads it once rethrown, and the last
    // thread to let go of it frees it, so the lock must order the two.
    error = nullptr;
    busy_places_.erase(place);
    queued_bytes_ -= bytes.size();
    --in_flight_;
    changed_.notify_all();
  });
}

void ReportOutput::WriteHere(const std::string& path, std::string_view bytes) {
  const std::string place = PlaceOf(path);
  uint64_t order = 0;
  {
    std::unique_lock lock(mutex_);
    order = Claim(lock, place);
  }
  WriteFile(path, place, bytes, order);
}

std::unique_ptr<ReportFileStream> ReportOutput::Open(const std::string& path) {
  return std::unique_ptr<ReportFileStream>(new ReportFileStream(*this, path));
}

ReportFileStream::ReportFileStream(ReportOutput& output, std::string path)
    : output_(output), path_(std::move(path)) {
  // A file outside staging is replaced whole. Gathered whole, it is likely to be about as
  // long as the file it replaces: room for that up front spares copying megabytes as it grows.
  if (!output_.staging_) {
    std::error_code ec;
    const uintmax_t old_size = fs::file_size(path_, ec);
    if (!ec && old_size < (uintmax_t{1} << 30)) buffer_.reserve(old_size + old_size / 16);
    return;
  }
  std::string place = output_.PlaceOf(path_);
  if (place == path_) return;
  {
    std::unique_lock lock(output_.mutex_);
    if (output_.failure_) output_.ThrowFailure(lock);
    output_.changed_.wait(lock, [&] { return !output_.busy_places_.contains(place); });
    output_.busy_places_.insert(place);
  }
  place_ = std::move(place);
  if (output_.keep_identical_) {
    // Nothing is staged while the bytes are the target's: an unchanged file costs no write.
    old_fd_ = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (old_fd_ >= 0 && fstat(old_fd_, &st) == 0 && S_ISREG(st.st_mode)) {
      old_size_ = static_cast<uint64_t>(st.st_size);
      comparing_ = true;
      return;
    }
  }
  OpenStaged();
}

void ReportFileStream::OpenStaged() {
  try {
    fd_ = output_.staging_->OpenStaged(path_, place_);
  } catch (...) {
    Abandon();
    throw;
  }
}

ReportFileStream::~ReportFileStream() {
  if (!closed_) Abandon();
  if (old_fd_ >= 0) close(old_fd_);
}

void ReportFileStream::Append(std::string_view bytes) {
  buffer_ += bytes;
  // Written a megabyte or so at a time: few calls, little held.
  if (!place_.empty() && buffer_.size() >= kPiece) Flush();
}

bool ReportFileStream::SameAsTarget() {
  const std::string_view piece = buffer_;
  old_bytes_.clear();
  if (written_ > 0) {
    if (old_at_ > old_size_ || old_size_ - old_at_ < piece.size() ||
        !ReadFileAt(old_fd_, old_at_, piece.size(), old_bytes_) || old_bytes_ != piece) {
      return false;
    }
    old_at_ += piece.size();
    return true;
  }
  // The first piece holds the stamp, whose length may differ from the old one's a little.
  constexpr uint64_t kStampRoom = 256;
  const uint64_t head = std::min<uint64_t>(old_size_, piece.size() + kStampRoom);
  if (!ReadFileAt(old_fd_, 0, head, old_bytes_)) return false;
  const std::string_view old = old_bytes_;
  const auto [begin, end] = JsonTimeStampRange(piece);
  const auto [old_begin, old_end] = JsonTimeStampRange(old);
  if (begin == std::string_view::npos || old_begin == std::string_view::npos) {
    if (old.substr(0, piece.size()) != piece) return false;
    old_at_ = piece.size();
  } else {
    const std::string_view rest = piece.substr(end);
    if (piece.substr(0, begin) != old.substr(0, old_begin) ||
        old.substr(old_end, rest.size()) != rest) {
      return false;
    }
    old_at_ = old_end + rest.size();
  }
  head_ = piece;
  head_old_end_ = old_at_;
  return true;
}

void ReportFileStream::StopComparing(uint64_t old_upto) {
  comparing_ = false;
  OpenStaged();
  WriteOut(head_);
  for (uint64_t at = head_old_end_; at < old_upto;) {
    const uint64_t n = std::min<uint64_t>(old_upto - at, kPiece);
    old_bytes_.clear();
    errno = 0;
    if (!ReadFileAt(old_fd_, at, n, old_bytes_)) {
      const int error_number = errno != 0 ? errno : EIO;
      Abandon();
      throw FileError::CannotCreate(path_, error_number);
    }
    WriteOut(old_bytes_);
    at += n;
  }
  std::string().swap(head_);
}

void ReportFileStream::WriteOut(std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error_number = n < 0 ? errno : EIO;
      Abandon();
      throw FileError::CannotCreate(path_, error_number);
    }
    done += static_cast<size_t>(n);
  }
}

void ReportFileStream::Flush() {
  if (comparing_) {
    const uint64_t old_before = old_at_;
    if (!SameAsTarget()) StopComparing(old_before);
  }
  if (!comparing_) WriteOut(buffer_);
  written_ += buffer_.size();
  buffer_.clear();
}

void ReportFileStream::Close() {
  if (closed_) return;
  if (place_.empty()) {
    closed_ = true;
    output_.Write(path_, std::move(buffer_));
    return;
  }
  Flush();
  if (comparing_) {
    if (old_at_ == old_size_) {
      // The target keeps its bytes and its time: nothing to publish.
      Abandon();
      output_.CountKept();
      return;
    }
    StopComparing(old_at_);  // the target goes on past the new end
  }
  const int fd = std::exchange(fd_, -1);
  if (close(fd) != 0) {
    const int error_number = errno;
    Abandon();
    throw FileError::CannotCreate(path_, error_number);
  }
  uint64_t order = 0;
  {
    std::unique_lock lock(output_.mutex_);
    // As at a Write: an earlier failure stops the export here, and nothing of this is kept.
    if (output_.failure_) {
      lock.unlock();
      Abandon();
      lock.lock();
      output_.ThrowFailure(lock);
    }
    order = output_.next_order_++;
  }
  output_.staging_->AddStaged(path_, place_, order);
  const std::lock_guard lock(output_.mutex_);
  output_.busy_places_.erase(place_);
  ++output_.counts_.written;
  closed_ = true;
  output_.changed_.notify_all();
}

void ReportFileStream::Abandon() {
  closed_ = true;
  if (place_.empty()) return;
  if (fd_ >= 0) close(std::exchange(fd_, -1));
  unlink(place_.c_str());
  const std::lock_guard lock(output_.mutex_);
  output_.busy_places_.erase(place_);
  output_.changed_.notify_all();
}

void ReportOutput::WriteFile(const std::string& path, const std::string& place,
                             std::string_view bytes, uint64_t order) {
  if (keep_identical_ && Unchanged(path, place, bytes)) {
    CountKept();
    return;
  }
  if (place != path) {
    // The staging folder is this export's own and goes whole on a failure: the file is
    // written at its staged place directly and moves only once, when the export publishes.
    staging_->WriteStaged(path, place, bytes, order);
  } else {
    if (!ReplaceFileWhole(path, bytes, TemporaryStyle::kShared)) {
      throw FileError::CannotCreate(path, errno);
    }
  }
  const std::lock_guard lock(mutex_);
  ++counts_.written;
}

bool ReportOutput::Unchanged(const std::string& target, const std::string& place,
                             std::string_view bytes) {
  // A staged copy is what the export will publish for the target: the newer version.
  std::error_code ec;
  const std::string& existing = place != target && fs::is_regular_file(place, ec) ? place : target;
  // Bytes without a time stamp must match whole, so an old file of another size differs.
  const std::pair<size_t, size_t> stamp = TimeStampRange(bytes);
  std::optional<size_t> size;
  if (stamp.first == std::string_view::npos) size = bytes.size();
  const std::optional<std::string> old_bytes = ReadWhole(existing, size);
  return old_bytes && (bytes == *old_bytes || SameApart(bytes, stamp, *old_bytes));
}

StagingArea::StagingArea(const std::string& folder)
    : folder_(WithSlash(fs::path(folder).lexically_normal().string())) {
  std::string pattern = folder_;
  pattern += kStagingPrefix;
  pattern += "XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw FileError::CannotCreate(pattern, errno);
  staging_ = WithSlash(pattern);
}

StagingArea::~StagingArea() {
  std::error_code ec;
  fs::remove_all(staging_, ec);
}

std::string StagingArea::StagedPlaceOf(const std::string& target) const {
  const std::string normal = fs::path(target).lexically_normal().string();
  if (normal.size() <= folder_.size() || normal.compare(0, folder_.size(), folder_) != 0) {
    return target;
  }
  const std::string_view inside = std::string_view(normal).substr(folder_.size());
  if (inside.substr(0, kStagingPrefix.size()) == kStagingPrefix || inside.substr(0, 3) == "../") {
    return target;
  }
  std::string place = staging_;
  place += inside;
  return place;
}

int StagingArea::OpenStaged(const std::string& target, const std::string& place) {
  {
    // Made under the lock: a second writer into the folder waits until it exists.
    const std::lock_guard lock(mutex_);
    const std::string folder = fs::path(place).parent_path().string();
    if (made_folders_.insert(folder).second) {
      std::error_code ec;
      fs::create_directories(folder, ec);
    }
  }
  // 0666 under the user's umask, as a new report file gets; Publish gives a replacing file
  // the bits of the one it replaces.
  const int fd = open(place.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw FileError::CannotCreate(target, errno);
  return fd;
}

void StagingArea::AddStaged(const std::string& target, const std::string& place, uint64_t order) {
  // A file written again is listed once: its staged copy is the newest.
  const std::lock_guard lock(mutex_);
  if (staged_places_.insert(place).second) files_.push_back({order, target, place});
}

void StagingArea::WriteStaged(const std::string& target, const std::string& place,
                              std::string_view bytes, uint64_t order) {
  const int error_number = WriteAndClose(OpenStaged(target, place), bytes);
  if (error_number != 0) {
    // No part of a file is published: the target keeps what it had.
    unlink(place.c_str());
    throw FileError::CannotCreate(target, error_number);
  }
  AddStaged(target, place, order);
}

namespace {

struct JournalEntry {
  bool replaces = false;  // a file stood at the target before
  std::string relative;   // the path inside the report folder
};

// The files of one publish: the report folder, its staging folder (both ending in "/") and
// the entries in the order they move.
struct Journal {
  std::string folder;
  std::string staging;
  std::vector<JournalEntry> entries;

  std::string Path() const { return folder + std::string(kJournalName); }
  std::string Target(const JournalEntry& e) const { return folder + e.relative; }
  std::string Staged(const JournalEntry& e) const { return staging + e.relative; }
  std::string Backup(const JournalEntry& e) const {
    return staging + std::string(kBackupFolder) + e.relative;
  }
};

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

// Makes the folders of `relative` below `base` that are missing. False when one of them
// cannot be made or is not a real folder (a symbolic link would lead the file elsewhere).
bool MakeFolders(const std::string& base, std::string_view relative, int& error_number) {
  for (size_t slash = relative.find('/'); slash != std::string_view::npos;
       slash = relative.find('/', slash + 1)) {
    const std::string folder = base + std::string(relative.substr(0, slash));
    struct stat st {};
    if (lstat(folder.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      error_number = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
      return false;
    }
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
      error_number = errno;
      return false;
    }
  }
  return true;
}

// Puts back what a publish moved: every replaced file from its backup, every new file
// removed. Entries not moved yet are left alone.
void RollBack(const Journal& j) {
  for (auto it = j.entries.rbegin(); it != j.entries.rend(); ++it) {
    if (it->replaces) {
      if (Exists(j.Backup(*it))) std::rename(j.Backup(*it).c_str(), j.Target(*it).c_str());
    } else if (!Exists(j.Staged(*it))) {
      unlink(j.Target(*it).c_str());
    }
  }
  unlink(j.Path().c_str());
}

// Moves every entry still staged into place, keeping a link to the file it replaces. On a
// failure everything moved is put back and the failure thrown.
void RollForward(const Journal& j) {
  mkdir((j.staging + std::string(kBackupFolder)).c_str(), 0700);
  for (const JournalEntry& e : j.entries) {
    const std::string place = j.Staged(e);
    if (!Exists(place)) continue;  // moved before an interruption
    const std::string target = j.Target(e);
    int error_number = 0;
    bool ok = MakeFolders(j.folder, e.relative, error_number);
    if (ok && e.replaces) {
      const std::string backup = j.Backup(e);
      ok = MakeFolders(j.staging + std::string(kBackupFolder), e.relative, error_number) &&
           (link(target.c_str(), backup.c_str()) == 0 || errno == EEXIST || errno == ENOENT);
      if (!ok && error_number == 0) error_number = errno;
    }
    if (ok) {
      KeepPermissions(target, place);
      ok = std::rename(place.c_str(), target.c_str()) == 0;
      if (!ok) error_number = errno;
    }
    if (!ok) {
      RollBack(j);
      throw FileError::CannotCreate(target, error_number);
    }
  }
  unlink(j.Path().c_str());
}

// Writes the journal beside the report (never into the staging folder), whole or not at all.
void WriteJournal(const std::string& path, const std::string& bytes) {
  if (!ReplaceFileWhole(path, bytes)) throw FileError::CannotCreate(path, errno);
}

std::string JournalBytes(const Journal& j) {
  // The staging folder's name, without the slash.
  std::string bytes = j.staging.substr(j.folder.size(), j.staging.size() - j.folder.size() - 1);
  bytes += '\0';
  for (const JournalEntry& e : j.entries) {
    bytes += e.replaces ? 'R' : 'N';
    bytes += e.relative;
    bytes += '\0';
  }
  return bytes;
}

// The journal a killed publish left in `folder`, when it names a staging folder there.
std::optional<Journal> ReadJournal(const std::string& folder) {
  const std::optional<std::string> bytes = ReadWhole(folder + std::string(kJournalName));
  if (!bytes) return std::nullopt;
  Journal j;
  j.folder = folder;
  size_t at = bytes->find('\0');
  const std::string staging = bytes->substr(0, at);
  if (at == std::string::npos || !staging.starts_with(kStagingPrefix) ||
      staging.find('/') != std::string::npos) {
    return std::nullopt;
  }
  j.staging = folder + staging + "/";
  struct stat st {};
  if (lstat(j.staging.substr(0, j.staging.size() - 1).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return std::nullopt;
  }
  for (++at; at < bytes->size();) {
    const size_t end = bytes->find('\0', at);
    if (end == std::string::npos || end == at) return std::nullopt;
    const std::string_view record(bytes->data() + at, end - at);
    const std::string_view relative = record.substr(1);
    if ((record[0] != 'R' && record[0] != 'N') || relative.empty() || relative[0] == '/' ||
        relative.find("..") != std::string_view::npos) {
      return std::nullopt;
    }
    j.entries.push_back({record[0] == 'R', std::string(relative)});
    at = end + 1;
  }
  return j;
}

}  // namespace

void StagingArea::Publish() {
  const std::lock_guard lock(mutex_);
  // In the order the files were handed over, whichever thread wrote them first.
  std::stable_sort(files_.begin(), files_.end(),
                   [](const Staged& a, const Staged& b) { return a.order < b.order; });
  Journal j;
  j.folder = folder_;
  j.staging = staging_;
  j.entries.reserve(files_.size());
  // Checked for every file before the first one moves: a folder where a file goes, and a
  // symbolic link or a file where a folder goes, fail the export with the report untouched.
  for (auto it = files_.rbegin(); it != files_.rend(); ++it) {
    const std::string& target = it->target;
    const std::string& place = it->place;
    struct stat st {};
    const bool exists = lstat(target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) throw FileError::CannotCreate(target, EISDIR);
    JournalEntry e{exists, place.substr(staging_.size())};
    for (size_t slash = e.relative.find('/'); slash != std::string::npos;
         slash = e.relative.find('/', slash + 1)) {
      struct stat folder_st {};
      const std::string folder = folder_ + e.relative.substr(0, slash);
      if (lstat(folder.c_str(), &folder_st) == 0 && !S_ISDIR(folder_st.st_mode)) {
        throw FileError::CannotCreate(target, S_ISLNK(folder_st.st_mode)
                                                  ? std::string("a symbolic link is in its way")
                                                  : std::string(std::strerror(ENOTDIR)));
      }
    }
    j.entries.push_back(std::move(e));
  }
  // The journal first: a run killed while files move is completed by the next one before
  // anything else (RemoveLeftovers); a failure puts the old files back at once.
  WriteJournal(j.Path(), JournalBytes(j));
  RollForward(j);
}

void StagingArea::RemoveLeftovers(const std::string& folder) {
  // A publish cut short by a kill: finish moving its files (or, when that fails, put back the
  // ones it moved) before its staging folder goes.
  const std::string normal = WithSlash(fs::path(folder).lexically_normal().string());
  if (std::optional<Journal> j = ReadJournal(normal)) {
    try {
      RollForward(*j);
    } catch (const FileError&) {
    }
  }
  unlink((normal + std::string(kJournalName)).c_str());
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code type_ec;
    if (name.compare(0, kStagingPrefix.size(), kStagingPrefix) == 0 && it->is_directory(type_ec)) {
      std::error_code remove_ec;
      fs::remove_all(it->path(), remove_ec);
    } else if ((IsSharedTemporaryName(name) || name.starts_with(std::string(kJournalName) + ".")) &&
               it->is_regular_file(type_ec)) {
      std::error_code remove_ec;
      fs::remove(it->path(), remove_ec);
    }
  }
}

ReportFolderLock::ReportFolderLock(const std::string& folder, double wait_seconds,
                                   const std::string& shown_name,
                                   const std::function<void()>& waiting) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path += '/';
  path += kLockFileName;
  // Never through a symbolic link: the lock file would be made wherever it points. A lock
  // file of another user is locked read-only.
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0 && errno == EACCES) fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd_ < 0) {
    const int error_number = errno;
    struct stat st {};
    const bool exists = lstat(path.c_str(), &st) == 0;
    // A folder nobody here may write: no other run can write there either, and the export's
    // first write says why it fails.
    if (!exists && access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) return;
    throw ReportFolderUnlockable(shown_name, error_number == ELOOP
                                                 ? std::string("the lock file is a symbolic link")
                                                 : std::string(std::strerror(error_number)));
  }
  struct stat st {};
  if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd_);
    fd_ = -1;
    throw ReportFolderUnlockable(shown_name, "the lock file is not a regular file");
  }
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(wait_seconds > 0 ? wait_seconds : 0));
  while (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK || errno == EINTR;
    if (!busy || std::chrono::steady_clock::now() >= deadline) {
      close(fd_);
      fd_ = -1;
      // A file system without locks: the run goes on unlocked rather than not at all.
      if (!busy) return;
      throw ReportFolderBusy(shown_name);
    }
    if (waiting) {
      try {
        waiting();
      } catch (...) {
        close(fd_);
        fd_ = -1;
        throw;
      }
    }
    usleep(50 * 1000);
  }
}

ReportFolderLock::~ReportFolderLock() {
  if (fd_ >= 0) close(fd_);  // closing the file lets go of the lock
}

}  // namespace barvik
