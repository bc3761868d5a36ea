#include "remote/Spool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "core/AtomicReplace.h"
#include "core/Checksum.h"
#include "core/FileError.h"

namespace barvik::remote {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStateMagic = "barvik-spool 1";

std::string TailPath(const std::string& folder, int number) {
  std::string log = Spool::LogPath(folder, number);
  return log.substr(0, log.size() - 4) + ".tail";
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

// The tail kept for a .log file of `log_size` bytes; empty when there is none or it follows
// another length of the .log file (a run ended between the two writes).
std::string ReadTail(const std::string& path, uint64_t log_size) {
  const std::optional<std::string> text = ReadOwnFile(path);
  if (!text) return {};
  const size_t eol = text->find('\n');
  uint64_t follows = 0;
  if (eol == std::string::npos) return {};
  const auto [end, ec] = std::from_chars(text->data(), text->data() + eol, follows);
  if (ec != std::errc() || end != text->data() + eol || follows != log_size) return {};
  return text->substr(eol + 1);
}

// Where the last complete line of `bytes` ends (0: none): after the last LF, CR or NUL.
size_t CompleteEnd(std::string_view bytes) {
  const size_t at = bytes.find_last_of(std::string_view("\n\r\0", 3));
  return at == std::string_view::npos ? 0 : at + 1;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int64_t ParseInt(std::string_view text, int64_t fallback) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() ? value : fallback;
}

}  // namespace

std::string Spool::LogPath(const std::string& folder, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "/%06d.log", number);
  return folder + name;
}

int64_t SpoolRemoteMtime(const std::string& log_path) {
  const size_t slash = log_path.rfind('/');
  if (slash == std::string::npos || !log_path.ends_with(".log")) return -1;
  const std::string folder = log_path.substr(0, slash);
  struct stat st {};
  if (::stat((folder + "/state").c_str(), &st) != 0) return -1;
  try {
    Spool spool(folder, std::string());
    for (const Generation& g : spool.generations()) {
      if (Spool::LogPath(folder, g.number) != log_path) continue;
      const bool whole = g.remote_size >= 0 && g.mirrored == static_cast<uint64_t>(g.remote_size);
      return whole ? g.remote_mtime : -1;
    }
  } catch (const std::exception&) {
    // An unreadable spool says nothing of the time.
  }
  return -1;
}

std::string SpoolFolder(const std::string& root, const std::string& shown_url) {
  char name[24];
  std::snprintf(name, sizeof name, "%016llx",
                static_cast<unsigned long long>(BlockHash(shown_url.data(), shown_url.size())));
  return root + "/" + name;
}

Spool::Spool(std::string folder, std::string shown_url)
    : folder_(std::move(folder)), shown_url_(std::move(shown_url)) {
  std::error_code ec;
  fs::create_directories(folder_, ec);
  if (ec) throw FileError::CannotCreate(folder_, ec.value());
  ::chmod(folder_.c_str(), 0700);
  Load();
}

Spool::~Spool() {
  if (log_fd_ >= 0) ::close(log_fd_);
}

void Spool::Load() {
  if (const std::optional<std::string> text = ReadOwnFile(folder_ + "/state")) {
    std::istringstream in(*text);
    std::string line;
    bool ours = std::getline(in, line) && line == kStateMagic;
    while (ours && std::getline(in, line)) {
      if (line == "ranges ignored") ranges_ignored = true;
      if (!line.starts_with("generation ")) continue;
      // "generation N size S mtime T head H mirrored M name NAME" (NAME to the end).
      std::istringstream fields(line.substr(11));
      Generation g;
      std::string key;
      std::string value;
      fields >> g.number;
      while (fields >> key) {
        if (key == "name") {
          std::getline(fields >> std::ws, g.name);
          break;
        }
        fields >> value;
        if (key == "size") g.remote_size = ParseInt(value, -1);
        if (key == "mtime") g.remote_mtime = ParseInt(value, -1);
      }
      if (g.number > 0) generations_.push_back(std::move(g));
    }
  }
  // Generation files the record does not know (a run ended before writing it) join it.
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 5 || !name.ends_with(".log")) continue;
    const int64_t number = ParseInt(std::string_view(name).substr(0, name.size() - 4), 0);
    if (number <= 0 || number > 999999) continue;
    if (Find(static_cast<int>(number)) == nullptr) {
      Generation g;
      g.number = static_cast<int>(number);
      generations_.push_back(g);
    }
  }
  std::sort(generations_.begin(), generations_.end(),
            [](const Generation& a, const Generation& b) { return a.number < b.number; });
  // What is held comes from the files, not from the record.
  for (Generation& g : generations_) {
    const uint64_t log_size = FileSize(LogPath(folder_, g.number));
    g.mirrored = log_size + ReadTail(TailPath(folder_, g.number), log_size).size();
    const std::string head = Head(g, kHeadBytes);
    g.head_hash = BlockHash(head.data(), head.size());
  }
}

Generation* Spool::Find(int number) {
  for (Generation& g : generations_) {
    if (g.number == number) return &g;
  }
  return nullptr;
}

Generation& Spool::NewGeneration(const std::string& name) {
  Generation g;
  g.number = generations_.empty() ? 1 : generations_.back().number + 1;
  g.name = name;
  const std::string path = LogPath(folder_, g.number);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw FileError::CannotCreate(path, errno);
  ::close(fd);
  generations_.push_back(std::move(g));
  return generations_.back();
}

std::string Spool::Read(const Generation& g, uint64_t offset, uint64_t length) const {
  if (offset >= g.mirrored) return {};
  length = std::min(length, g.mirrored - offset);
  std::string bytes;
  size_t size = 0;
  const std::string path = LogPath(folder_, g.number);
  const int fd = OpenOwnFile(path, size);
  if (fd >= 0) {
    if (offset < size) ReadFileAt(fd, offset, std::min<uint64_t>(length, size - offset), bytes);
    ::close(fd);
  }
  if (bytes.size() < length) {
    const std::string tail =
        g.number == open_number_ ? tail_ : ReadTail(TailPath(folder_, g.number), size);
    const uint64_t from = offset + bytes.size() - size;  // within the tail
    if (from < tail.size())
      bytes.append(tail, static_cast<size_t>(from), static_cast<size_t>(length - bytes.size()));
  }
  return bytes;
}

void Spool::Append(Generation& g, std::string_view bytes) {
  const std::string path = LogPath(folder_, g.number);
  if (open_number_ != g.number) {
    if (Generation* open = Find(open_number_)) Flush(*open);
    if (log_fd_ >= 0) ::close(log_fd_);
    log_fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (log_fd_ < 0) throw FileError::CannotCreate(path, errno);
    open_number_ = g.number;
    tail_ = ReadTail(TailPath(folder_, g.number), FileSize(path));
  }
  const uint64_t before = g.mirrored;
  tail_.append(bytes);
  g.mirrored += bytes.size();
  const size_t complete = CompleteEnd(tail_);
  if (complete > 0) {
    if (!WriteAll(log_fd_, tail_.data(), complete)) throw FileError::CannotCreate(path, errno);
    tail_.erase(0, complete);
  }
  if (before < kHeadBytes) {
    const std::string head = Head(g, kHeadBytes);
    g.head_hash = BlockHash(head.data(), head.size());
  }
}

void Spool::Flush(Generation& g) {
  if (g.number != open_number_) return;
  const std::string path = TailPath(folder_, g.number);
  if (tail_.empty()) {
    ::unlink(path.c_str());
    return;
  }
  const std::string text = std::to_string(FileSize(LogPath(folder_, g.number))) + "\n" + tail_;
  if (!ReplaceFileWhole(path, text)) throw FileError::CannotCreate(path, errno);
}

void Spool::Save() {
  if (Generation* open = Find(open_number_)) Flush(*open);
  std::string text(kStateMagic);
  text += "\nurl " + shown_url_ + "\n";
  if (ranges_ignored) text += "ranges ignored\n";
  text += "last-run requests " + std::to_string(figures.requests) + " bytes " +
          std::to_string(figures.bytes) + "\n";
  for (const Generation& g : generations_) {
    char head[24];
    std::snprintf(head, sizeof head, "%016llx", static_cast<unsigned long long>(g.head_hash));
    text += "generation " + std::to_string(g.number) + " size " + std::to_string(g.remote_size) +
            " mtime " + std::to_string(g.remote_mtime) + " head " + head + " mirrored " +
            std::to_string(g.mirrored) + " name " + g.name + "\n";
  }
  const std::string path = folder_ + "/state";
  if (!ReplaceFileWhole(path, text)) throw FileError::CannotCreate(path, errno);
}

}  // namespace barvik::remote
