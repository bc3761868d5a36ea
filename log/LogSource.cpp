#include "log/LogSource.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/Checksum.h"
#include "core/FileError.h"

namespace barvik {
namespace {

constexpr size_t kBlockBytes = 1 << 20;

FileError CannotRead(const std::string& path, const std::string& why) {
  return FileError("Cannot read file " + path + ": " + why);
}

// The position of the next c at or after `from` in [from, n), or n. `cached` keeps the last
// answer, so that each byte of a block is searched once per terminator whatever the lines.
size_t NextOf(const char* data, size_t from, size_t n, char c, size_t& cached) {
  if (cached >= from && cached != SIZE_MAX) return cached;
  const void* at = std::memchr(data + from, c, n - from);
  cached = at ? static_cast<size_t>(static_cast<const char*>(at) - data) : n;
  return cached;
}

using File = LogFileHandle;

File OpenForReading(const std::string& path, uint64_t* size) {
  struct stat info {};
  File file = OpenLogFile(path, info);
  *size = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
  return file;
}

// Inflates gzip data (one or more members) block by block into the splitter.
class GzipReader {
 public:
  explicit GzipReader(const std::string& path) : path_(path) {
    if (inflateInit2(&z_, 15 + 16) != Z_OK) throw CannotRead(path, "out of memory");
  }
  ~GzipReader() { inflateEnd(&z_); }
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  // Inflates `data`, giving every block of output to `out(const char*, size_t)`.
  template <typename Out>
  void Feed(const char* data, size_t size, Out&& out) {
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z_.avail_in = static_cast<uInt>(size);
    while (z_.avail_in > 0) {
      if (member_done_) {
        // Another member follows the one that ended.
        inflateReset(&z_);
        member_done_ = false;
      }
      z_.next_out = reinterpret_cast<Bytef*>(out_.data());
      z_.avail_out = static_cast<uInt>(out_.size());
      const int rc = inflate(&z_, Z_NO_FLUSH);
      const size_t produced = out_.size() - z_.avail_out;
      if (produced > 0) out(out_.data(), produced);
      if (rc == Z_STREAM_END) {
        member_done_ = true;
      } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
        throw CannotRead(path_, std::string("damaged compressed data") +
                                    (z_.msg ? std::string(" (") + z_.msg + ")" : ""));
      } else if (rc == Z_MEM_ERROR) {
        throw CannotRead(path_, "out of memory");
      } else if (rc == Z_BUF_ERROR && produced == 0) {
        break;  // needs more input
      }
    }
  }

  void Finish() {
    if (!member_done_) throw CannotRead(path_, "compressed data ends early (truncated file)");
  }

 private:
  std::string path_;
  z_stream z_{};
  bool member_done_ = false;
  std::vector<char> out_ = std::vector<char>(kBlockBytes);
};

// Reads `file` from where it stands to its end, or until `enough()` says so, block by block;
// a file whose first block (read at its start when `at_start`) begins with the gzip magic is
// inflated, every member. Each block of content goes to `content(data, size, gzip)`, the
// count of each block read from the disk to `on_bytes`. Returns whether the file is gzip.
// Throws FileError when the file cannot be read, or when its compressed data is damaged or,
// read to its end, cut short.
template <typename Content>
bool ReadContent(FILE* file, const std::string& path, bool at_start, Content&& content,
                 const std::function<void(size_t)>& on_bytes,
                 const std::function<bool()>& enough = {}) {
  std::vector<char> block(kBlockBytes);
  std::optional<GzipReader> gzip;
  auto out = [&](const char* data, size_t size) { content(data, size, gzip.has_value()); };
  bool first = at_start;
  bool ended = true;
  for (;;) {
    if (enough && enough()) {
      ended = false;
      break;
    }
    const size_t got = std::fread(block.data(), 1, block.size(), file);
    if (got == 0) break;
    if (first && got >= 2 && static_cast<unsigned char>(block[0]) == 0x1F &&
        static_cast<unsigned char>(block[1]) == 0x8B) {
      gzip.emplace(path);
    }
    first = false;
    if (gzip) {
      gzip->Feed(block.data(), got, out);
    } else {
      out(block.data(), got);
    }
    if (on_bytes) on_bytes(got);
  }
  if (std::ferror(file)) throw FileError::CannotOpen(path);
  if (gzip && ended) gzip->Finish();
  return gzip.has_value();
}

struct Member {
  std::string path;
  uint64_t number = 0;  // 0: the current log NAME itself
};

// "NAME.N" / "NAME.N.gz" / "NAME" / "NAME.gz" -> (NAME, N, numbered).
struct ParsedName {
  std::string base;
  uint64_t number = 0;
  bool numbered = false;
};

ParsedName ParseRotatedName(std::string name) {
  if (name.size() > 3 && name.ends_with(".gz")) name.resize(name.size() - 3);
  ParsedName p{name, 0, false};
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == name.size()) return p;
  const std::string digits = name.substr(dot + 1);
  if (digits.size() > 18 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return p;
  }
  p.base = name.substr(0, dot);
  p.number = std::stoull(digits);
  p.numbered = true;
  return p;
}

// "a, b, c" in sorted order; a long list ends with how many more there are.
std::string NameList(std::vector<std::string> names) {
  constexpr size_t kShown = 5;
  std::sort(names.begin(), names.end());
  std::string list;
  for (size_t i = 0; i < names.size() && i < kShown; ++i) list += (i ? ", " : "") + names[i];
  if (names.size() > kShown) list += " and " + std::to_string(names.size() - kShown) + " more";
  return list;
}

}  // namespace

void LineSplitter::Feed(const char* data, size_t n, LineSink& sink) {
  size_t next_lf = SIZE_MAX;
  size_t next_cr = SIZE_MAX;
  size_t next_nul = SIZE_MAX;
  size_t i = 0;
  while (i < n) {
    if (after_cr_) {
      after_cr_ = false;
      if (data[i] == '\n') {
        ++i;
        continue;
      }
      if (data[i] == '\0') in_nul_run_ = true;
    }
    if (in_nul_run_) {
      while (i < n && data[i] == '\0') ++i;
      if (i == n) return;
      in_nul_run_ = false;
    }
    const size_t end =
        std::min({NextOf(data, i, n, '\n', next_lf), NextOf(data, i, n, '\r', next_cr),
                  NextOf(data, i, n, '\0', next_nul)});
    if (end == n) {
      pending_.append(data + i, n - i);
      return;
    }
    if (pending_.empty()) {
      sink.Line(std::string_view(data + i, end - i));
    } else {
      pending_.append(data + i, end - i);
      sink.Line(pending_);
      pending_.clear();
    }
    if (data[end] == '\r') after_cr_ = true;
    if (data[end] == '\0') in_nul_run_ = true;
    i = end + 1;
  }
}

void LineSplitter::Finish(LineSink& sink) {
  if (!pending_.empty()) sink.Line(pending_);
  pending_.clear();
  after_cr_ = false;
  in_nul_run_ = false;
}

LogFileHandle OpenLogFile(const std::string& path, struct stat& info) {
  LogFileHandle file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file || fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
    throw FileError::CannotOpen(path);
  }
  // A device or socket never ends (/dev/zero) or is no log at all; pipes are read as streams.
  if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode) || S_ISSOCK(info.st_mode)) {
    throw FileError::CannotOpen(path, "not a regular file");
  }
  return file;
}

ContentSum SumContent(FILE* file, const std::string& path, uint64_t limit) {
  ContentSum sum;
  if (fseeko(file, 0, SEEK_SET) != 0) throw FileError::CannotOpen(path);
  sum.gzip = ReadContent(
      file, path, true,
      [&](const char* data, size_t size, bool) {
        const auto n = static_cast<size_t>(std::min<uint64_t>(size, limit - sum.size));
        sum.crc = Crc32(sum.crc, data, n);
        sum.size += n;
      },
      {}, [&] { return sum.size >= limit; });
  return sum;
}

namespace {

// The first and the last kSummaryBlock bytes of a stream of blocks.
class EdgeBlocks {
 public:
  void Add(const char* data, size_t size) {
    if (first_.size() < kSummaryBlock) {
      first_.append(data, std::min(size, kSummaryBlock - first_.size()));
    }
    if (size >= kSummaryBlock) {
      last_.assign(data + size - kSummaryBlock, kSummaryBlock);
    } else {
      last_.append(data, size);
      if (last_.size() > 2 * kSummaryBlock) last_.erase(0, last_.size() - kSummaryBlock);
    }
  }
  uint64_t FirstHash() const { return BlockHash(first_.data(), first_.size()); }
  uint64_t LastHash() const {
    const size_t n = std::min(last_.size(), kSummaryBlock);
    return BlockHash(last_.data() + last_.size() - n, n);
  }

 private:
  std::string first_;
  std::string last_;
};

}  // namespace

FileSummary ReadLogFile(FILE* file, const std::string& path, LineSink& sink, const ReadStart& start,
                        const std::function<void()>& at_split,
                        const std::function<void(size_t)>& on_bytes) {
  FileSummary summary;
  summary.content_crc = start.crc;
  if (start.offset > 0 && fseeko(file, static_cast<off_t>(start.offset), SEEK_SET) != 0) {
    throw FileError::CannotOpen(path);
  }
  LineSplitter splitter(start.state);
  EdgeBlocks edges;
  uint64_t at = start.offset;  // content offset of the next byte
  auto content = [&](const char* data, size_t size, bool gzip) {
    if (start.summarise) {
      const uint64_t skip =
          start.crc_offset > at ? std::min<uint64_t>(start.crc_offset - at, size) : 0;
      summary.content_crc = Crc32(summary.content_crc, data + skip, size - skip);
      if (gzip) edges.Add(data, size);
    }
    splitter.Feed(data, size, sink);
    at += size;
  };
  summary.gzip = ReadContent(file, path, start.offset == 0, content, on_bytes);
  summary.content_size = at;
  summary.split_offset = at - splitter.pending_size();
  summary.split_state = splitter.state();
  if (summary.gzip && start.summarise) {
    summary.content_first_hash = edges.FirstHash();
    summary.content_last_hash = edges.LastHash();
  }
  if (at_split) at_split();
  splitter.Finish(sink);
  return summary;
}

void ReadLogFiles(const std::vector<std::string>& files, LineSink& sink,
                  const ReadProgress& progress) {
  std::vector<File> opened;
  uint64_t total = 0;
  for (const std::string& path : files) {
    uint64_t size = 0;
    opened.push_back(OpenForReading(path, &size));
    total += size;
  }
  uint64_t done = 0;
  auto on_bytes = [&](size_t got) {
    done += got;
    if (progress) progress(std::min(done, total), total);
  };
  for (size_t f = 0; f < files.size(); ++f) {
    ReadLogFile(opened[f].get(), files[f], sink, {}, {}, on_bytes);
    opened[f].reset();
  }
}

std::vector<std::string> RotatedLogFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<std::pair<ParsedName, std::string>> files;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    if (!it->is_regular_file(type_ec)) continue;
    std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    files.emplace_back(ParseRotatedName(name), it->path().string());
  }
  if (ec) throw FileError::CannotOpen(folder);
  std::vector<std::string> bases;
  for (const auto& [parsed, path] : files) {
    if (parsed.numbered && std::find(bases.begin(), bases.end(), parsed.base) == bases.end()) {
      bases.push_back(parsed.base);
    }
  }
  if (bases.empty()) {
    // Nothing rotated yet: the live log alone, the folder's only "*.log" file or else its only
    // file.
    std::vector<std::string> candidates;
    for (const auto& [parsed, path] : files) {
      if (fs::path(path).filename().string().ends_with(".log")) candidates.push_back(path);
    }
    if (candidates.empty()) {
      for (const auto& [parsed, path] : files) candidates.push_back(path);
    }
    if (candidates.size() == 1) return candidates;
    if (candidates.empty()) throw FileError("Cannot open file " + folder + ": no log in it");
    std::vector<std::string> names;
    names.reserve(candidates.size());
    for (const std::string& c : candidates) names.push_back(fs::path(c).filename().string());
    throw FileError("Cannot open file " + folder + ": it holds several logs (" +
                    NameList(std::move(names)) + "); name the file instead");
  }
  if (bases.size() > 1) {
    throw FileError("Cannot open file " + folder + ": it holds more than one rotated log (" +
                    NameList(std::move(bases)) + "); name the files instead");
  }
  std::vector<Member> members;
  for (const auto& [parsed, path] : files) {
    if (parsed.base == bases.front()) members.push_back({path, parsed.number});
  }
  // Oldest first: the highest number first, the current log (number 0) last.
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return a.number > b.number; });
  for (size_t i = 1; i < members.size(); ++i) {
    if (members[i].number == members[i - 1].number) {
      throw FileError("Cannot open file " + folder + ": both " + members[i - 1].path + " and " +
                      members[i].path + " hold one part of the log");
    }
  }
  std::vector<std::string> out;
  out.reserve(members.size());
  for (Member& m : members) out.push_back(std::move(m.path));
  return out;
}

bool IsSpoolFolder(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(folder) / "state", ec);
}

std::vector<std::string> SpoolLogFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::vector<std::pair<uint64_t, std::string>> generations;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 5 || !name.ends_with(".log")) continue;
    const std::string digits = name.substr(0, name.size() - 4);
    if (digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    std::error_code type_ec;
    if (it->is_regular_file(type_ec))
      generations.emplace_back(std::stoull(digits), it->path().string());
  }
  if (ec) throw FileError::CannotOpen(folder);
  std::sort(generations.begin(), generations.end());
  std::vector<std::string> files;
  files.reserve(generations.size());
  for (auto& g : generations) files.push_back(std::move(g.second));
  return files;
}

std::vector<std::string> ExpandLogOperands(const std::vector<std::string>& operands) {
  std::vector<std::string> files;
  for (const std::string& operand : operands) {
    std::error_code ec;
    if (std::filesystem::is_directory(operand, ec) && IsSpoolFolder(operand)) {
      for (std::string& f : SpoolLogFiles(operand)) files.push_back(std::move(f));
    } else if (std::filesystem::is_directory(operand, ec)) {
      for (std::string& f : RotatedLogFiles(operand)) files.push_back(std::move(f));
    } else {
      files.push_back(operand);
    }
  }
  return files;
}

}  // namespace barvik
