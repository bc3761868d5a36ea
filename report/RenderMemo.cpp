#include "report/RenderMemo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>

#include "core/AtomicReplace.h"
#include "core/HashedPieces.h"
#include "core/StableHash.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

// The memo file: the magic, the format version, the report folder's canonical path, the
// record count, the records (name, fingerprint, size, modification time in nanoseconds,
// inode, content hash), the player count, the players (name, fingerprint, chart, site lists,
// image count, images (file, fingerprint), page count, pages (file, size, modification time)),
// the site page count, the site pages (file, fingerprint, size, modification time), the part
// count, the parts (name, fingerprint, offset, length), the players' fingerprint state (a
// text), then a StableHash of all bytes before it. Numbers are eight bytes, least significant
// first; texts are their length, then their bytes.
constexpr std::string_view kMagic = "BRVKMEMO";
constexpr uint64_t kFormatVersion = 4;
constexpr size_t kRecordNumbers = 5;

// Puts numbers and texts into the memo file a piece at a time, hashing the bytes as they go,
// so that the memo is never held whole in memory (it grows with the players: megabytes for a
// long log).
class Writer {
 public:
  explicit Writer(const ByteSink& sink)
      : pieces_([&sink](std::string_view piece) { return sink(piece.data(), piece.size()); }) {}
  // Eight bytes, least significant first.
  void Number(uint64_t number) {
    Put(number);
    pieces_.Flush();
  }
  // Its length, then its bytes.
  void Text(std::string_view text) {
    Number(text.size());
    Bytes(text);
  }
  void Bytes(std::string_view text) { pieces_.Append(text); }

  // Ends the file with the hash of all bytes before it; false when a write failed.
  bool Finish() {
    Put(pieces_.Seal());
    return pieces_.Finish();
  }

 private:
  void Put(uint64_t number) {
    std::string& out = pieces_.out();
    for (int i = 0; i < 8; ++i) out += static_cast<char>((number >> (8 * i)) & 0xFF);
  }

  HashedPieces pieces_;
};

// Reads what Writer wrote; once anything is out of bounds, ok() stays false.
class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}
  uint64_t Number() {
    if (!ok_ || data_.size() - at_ < 8) return Fail();
    uint64_t number = 0;
    for (int i = 0; i < 8; ++i) {
      number |= static_cast<uint64_t>(static_cast<uint8_t>(data_[at_ + i])) << (8 * i);
    }
    at_ += 8;
    return number;
  }
  std::string_view Text() { return Bytes(Number()); }
  std::string_view Bytes(uint64_t size) {
    if (!ok_ || data_.size() - at_ < size) {
      Fail();
      return {};
    }
    const std::string_view bytes = data_.substr(at_, size);
    at_ += size;
    return bytes;
  }
  bool ok() const { return ok_; }
  size_t left() const { return data_.size() - at_; }
  size_t at() const { return at_; }

 private:
  uint64_t Fail() {
    ok_ = false;
    return 0;
  }
  std::string_view data_;
  size_t at_ = 0;
  bool ok_ = true;
};

using PlayerRecord = RenderMemo::PlayerRecord;

// The players' part of a memo file, or false when it does not read whole.
// Each player's site lists are left in the file: `lists` receives where they lie.
template <typename Aside>
bool ReadPlayers(Reader& in, std::unordered_map<std::string, PlayerRecord>& players,
                 std::unordered_map<std::string, Aside>& lists) {
  const uint64_t count = in.Number();
  // Each player takes at least his name's length and six numbers.
  if (!in.ok() || count > in.left() / 48) return false;
  for (uint64_t i = 0; i < count && in.ok(); ++i) {
    const std::string_view name = in.Text();
    PlayerRecord r;
    r.fingerprint = in.Number();
    r.chart = in.Text();
    Aside aside;
    aside.length = in.Number();
    aside.offset = in.at();
    in.Bytes(aside.length);
    lists.emplace(name, aside);
    const uint64_t images = in.Number();
    if (images > in.left() / 16) return false;
    for (uint64_t k = 0; k < images && in.ok(); ++k) {
      std::string file(in.Text());
      r.images.emplace_back(std::move(file), in.Number());
    }
    const uint64_t pages = in.Number();
    if (pages > in.left() / 24) return false;
    for (uint64_t k = 0; k < pages && in.ok(); ++k) {
      r.pages.emplace_back(in.Text());
      const uint64_t size = in.Number();
      r.page_stamps.emplace_back(size, static_cast<int64_t>(in.Number()));
    }
    players.emplace(name, std::move(r));
  }
  return in.ok();
}

// The site pages' part of a memo file, or false when it does not read whole.
bool ReadPages(Reader& in, std::unordered_map<std::string, RenderMemo::PageRecord>& pages) {
  const uint64_t count = in.Number();
  // Each page takes at least its name's length and three numbers.
  if (!in.ok() || count > in.left() / 32) return false;
  pages.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count && in.ok(); ++i) {
    const std::string_view name = in.Text();
    RenderMemo::PageRecord r;
    r.fingerprint = in.Number();
    r.size = in.Number();
    r.mtime_ns = static_cast<int64_t>(in.Number());
    r.stamped = true;
    pages.emplace(name, r);
  }
  return in.ok();
}

// The file parts' part of a memo file, or false when it does not read whole.
template <typename Part>
bool ReadParts(Reader& in, std::unordered_map<std::string, Part>& parts) {
  const uint64_t count = in.Number();
  // Each part takes at least its name's length and three numbers.
  if (!in.ok() || count > in.left() / 32) return false;
  parts.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count && in.ok(); ++i) {
    const std::string_view name = in.Text();
    Part part;
    part.fingerprint = in.Number();
    part.offset = in.Number();
    part.length = in.Number();
    parts.emplace(name, part);
  }
  return in.ok();
}

void PutPlayer(Writer& out, const std::string& name, const PlayerRecord& r,
               std::string_view site_lists) {
  out.Text(name);
  out.Number(r.fingerprint);
  out.Text(r.chart);
  out.Text(site_lists);
  out.Number(r.images.size());
  for (const auto& [file, fingerprint] : r.images) {
    out.Text(file);
    out.Number(fingerprint);
  }
  out.Number(r.pages.size());
  for (size_t k = 0; k < r.pages.size(); ++k) {
    out.Text(r.pages[k]);
    out.Number(r.page_stamps[k].first);
    out.Number(static_cast<uint64_t>(r.page_stamps[k].second));
  }
}

// The entries of `map` sorted by name, so that a memo file does not depend on hashing order.
template <typename Map>
std::vector<const typename Map::value_type*> ByName(const Map& map) {
  std::vector<const typename Map::value_type*> entries;
  entries.reserve(map.size());
  for (const auto& entry : map) entries.push_back(&entry);
  std::sort(entries.begin(), entries.end(), [](auto* a, auto* b) { return a->first < b->first; });
  return entries;
}

uint64_t ContentHash(std::string_view bytes) { return StableHash().Text(bytes).value(); }

int64_t ModificationNanoseconds(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// True when `path` is a folder this process may write in. The memo's folder is the cache
// folder, which the cache folder's owner makes and checks before; the memo makes no folder.
bool WritableFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

RenderMemo::RenderMemo(const std::string& memo_file, const std::string& report_folder)
    : report_folder_(report_folder), spill_(fs::path(memo_file).parent_path().string()) {
  if (report_folder_.empty() || report_folder_.back() != '/') report_folder_ += '/';
  if (memo_file.empty()) return;
  std::error_code ec;
  canonical_ = fs::canonical(report_folder, ec).string();
  if (ec || !WritableFolder(fs::path(memo_file).parent_path().string())) return;
  memo_file_ = memo_file;
  Load();
}

void RenderMemo::Load() {
  size_t size = 0;
  const int fd = OpenOwnFile(memo_file_, size);
  if (fd < 0) return;
  if (LoadFrom(fd, size)) {
    memo_fd_ = fd;
  } else {
    close(fd);
  }
}

bool RenderMemo::LoadFrom(int fd, size_t size) {
  const std::optional<std::string> bytes = ReadExactly(fd, size);
  if (!bytes || bytes->size() < 8) return false;
  const std::string_view body = std::string_view(*bytes).substr(0, bytes->size() - 8);
  Reader check(std::string_view(*bytes).substr(body.size()));
  if (check.Number() != StableHash().Bytes(body).value()) return false;

  Reader in(body);
  if (in.Bytes(kMagic.size()) != kMagic || in.Number() != kFormatVersion ||
      in.Text() != canonical_) {
    return false;
  }
  const uint64_t count = in.Number();
  // Each record takes at least its name's length and its numbers.
  if (!in.ok() || count > in.left() / (8 * (1 + kRecordNumbers))) return false;
  std::unordered_map<std::string, Record> records;
  records.reserve(static_cast<size_t>(count));
  for (uint64_t i = 0; i < count; ++i) {
    const std::string_view name = in.Text();
    Record r;
    r.fingerprint = in.Number();
    r.size = in.Number();
    r.mtime_ns = static_cast<int64_t>(in.Number());
    r.inode = in.Number();
    r.content = in.Number();
    if (!in.ok()) return false;
    records.emplace(name, r);
  }
  std::unordered_map<std::string, PlayerRecord> players;
  std::unordered_map<std::string, PageRecord> pages;
  std::unordered_map<std::string, Part> parts;
  std::unordered_map<std::string, Aside> lists;
  if (!ReadPlayers(in, players, lists) || !ReadPages(in, pages) || !ReadParts(in, parts)) {
    return false;
  }
  const std::string_view fingerprints = in.Text();
  if (!in.ok() || in.left() != 0) return false;
  earlier_fingerprints_ = fingerprints;
  earlier_ = std::move(records);
  earlier_players_ = std::move(players);
  earlier_pages_ = std::move(pages);
  earlier_parts_ = std::move(parts);
  for (auto& [name, aside] : lists) aside.fd = fd;
  earlier_lists_ = std::move(lists);
  return true;
}

bool RenderMemo::Reusable(const std::string& name, uint64_t fingerprint) {
  const auto it = earlier_.find(name);
  if (it == earlier_.end() || it->second.fingerprint != fingerprint) return false;
  const Record& r = it->second;
  const std::string path = report_folder_ + name;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool same =
      fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) == r.size &&
      ModificationNanoseconds(st) == r.mtime_ns && static_cast<uint64_t>(st.st_ino) == r.inode;
  if (same) {
    const std::optional<std::string> bytes = ReadExactly(fd, static_cast<size_t>(r.size));
    same = bytes && ContentHash(*bytes) == r.content;
  }
  close(fd);
  if (same) next_[name] = r;
  return same;
}

const RenderMemo::PlayerRecord* RenderMemo::ReusablePlayer(const std::string& name,
                                                           uint64_t fingerprint,
                                                           std::string& site_lists) {
  const auto it = earlier_players_.find(name);
  if (it == earlier_players_.end() || it->second.fingerprint != fingerprint) return nullptr;
  const PlayerRecord& r = it->second;
  if (r.page_stamps.size() != r.pages.size()) return nullptr;
  for (size_t k = 0; k < r.pages.size(); ++k) {
    struct stat st {};
    const std::string path = report_folder_ + r.pages[k];
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) != r.page_stamps[k].first ||
        ModificationNanoseconds(st) != r.page_stamps[k].second) {
      return nullptr;
    }
  }
  for (const auto& [file, image_fingerprint] : r.images) {
    if (!Reusable(file, image_fingerprint)) return nullptr;
  }
  const auto lists = earlier_lists_.find(name);
  if (lists == earlier_lists_.end()) return nullptr;
  const Aside aside = lists->second;
  site_lists.clear();
  if (!ReadFileAt(aside.fd, aside.offset, aside.length, site_lists)) return nullptr;
  PlayerRecord& kept = next_players_[name];
  kept = std::move(it->second);
  next_lists_[name] = aside;
  earlier_players_.erase(it);
  return &kept;
}

bool RenderMemo::KeepPage(const std::string& name, uint64_t fingerprint, bool reuse) {
  if (!enabled()) return false;
  const std::lock_guard lock(pages_mutex_);
  const auto it = earlier_pages_.find(name);
  if (reuse && it != earlier_pages_.end() && it->second.fingerprint == fingerprint) {
    struct stat st {};
    const std::string path = report_folder_ + name;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) == it->second.size &&
        ModificationNanoseconds(st) == it->second.mtime_ns) {
      next_pages_[name] = it->second;
      return true;
    }
  }
  next_pages_[name] = {fingerprint, 0, 0, false};
  return false;
}

int RenderMemo::OpenKeptFile(const std::string& file) {
  std::unique_lock lock(pages_mutex_);
  const auto it = earlier_pages_.find(file);
  if (it == earlier_pages_.end()) return -1;
  const PageRecord recorded = it->second;
  lock.unlock();
  const std::string path = report_folder_ + file;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<uint64_t>(st.st_size) == recorded.size &&
      ModificationNanoseconds(st) == recorded.mtime_ns) {
    return fd;
  }
  close(fd);
  return -1;
}

std::optional<std::pair<uint64_t, uint64_t>> RenderMemo::KeptPart(const std::string& name,
                                                                  uint64_t fingerprint) {
  const std::lock_guard lock(pages_mutex_);
  const auto it = earlier_parts_.find(name);
  if (it == earlier_parts_.end() || it->second.fingerprint != fingerprint) return std::nullopt;
  return std::make_pair(it->second.offset, it->second.length);
}

void RenderMemo::RecordFile(const std::string& file) {
  const std::lock_guard lock(pages_mutex_);
  if (enabled()) next_pages_[file] = {};
}

void RenderMemo::RecordPart(const std::string& name, uint64_t fingerprint, uint64_t offset,
                            uint64_t length) {
  const std::lock_guard lock(pages_mutex_);
  if (enabled()) next_parts_[name] = {fingerprint, offset, length};
}

RenderMemo::~RenderMemo() {
  if (memo_fd_ >= 0) close(memo_fd_);
}

void RenderMemo::WrittenPlayer(const std::string& name, PlayerRecord record) {
  if (!enabled()) return;
  record.page_stamps.clear();
  if (!Spill(name, record)) next_lists_.erase(name);
  next_players_[name] = std::move(record);
}

bool RenderMemo::Spill(const std::string& name, PlayerRecord& record) {
  const std::optional<uint64_t> at = spill_.Append(record.site_lists);
  if (!at) return false;
  next_lists_[name] = {spill_.fd(), *at, record.site_lists.size()};
  std::string().swap(record.site_lists);
  return true;
}

void RenderMemo::Written(const std::string& name, uint64_t fingerprint, std::string_view bytes) {
  if (!enabled()) return;
  written_.push_back({name, fingerprint, bytes.size(), ContentHash(bytes)});
}

void RenderMemo::Save() {
  if (!enabled()) return;
  const std::lock_guard lock(pages_mutex_);
  for (const Pending& p : written_) {
    struct stat st {};
    const std::string path = report_folder_ + p.name;
    // A file of another size is not the one written: left out, it is drawn next time.
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) != p.size) {
      next_.erase(p.name);
      continue;
    }
    next_[p.name] = {p.fingerprint, p.size, ModificationNanoseconds(st),
                     static_cast<uint64_t>(st.st_ino), p.content};
  }
  written_.clear();
  for (auto it = next_players_.begin(); it != next_players_.end();) {
    PlayerRecord& r = it->second;
    if (r.page_stamps.size() != r.pages.size()) {
      r.page_stamps.clear();
      for (const std::string& page : r.pages) {
        struct stat st {};
        const std::string path = report_folder_ + page;
        if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) break;
        r.page_stamps.emplace_back(static_cast<uint64_t>(st.st_size), ModificationNanoseconds(st));
      }
    }
    // A player whose pages are not all there, or whose images are not all recorded, is
    // written again next time.
    const bool whole = r.page_stamps.size() == r.pages.size() &&
                       std::all_of(r.images.begin(), r.images.end(), [&](const auto& image) {
                         const auto found = next_.find(image.first);
                         return found != next_.end() && found->second.fingerprint == image.second;
                       });
    it = whole ? std::next(it) : next_players_.erase(it);
  }
  for (auto it = next_pages_.begin(); it != next_pages_.end();) {
    PageRecord& r = it->second;
    struct stat st {};
    const std::string path = report_folder_ + it->first;
    if (!r.stamped && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      r.size = static_cast<uint64_t>(st.st_size);
      r.mtime_ns = ModificationNanoseconds(st);
      r.stamped = true;
    }
    it = r.stamped ? std::next(it) : next_pages_.erase(it);
  }
  ReplaceFileStreamed(memo_file_, [this](const ByteSink& sink) { return Serialise(sink); });
}

bool RenderMemo::Serialise(const ByteSink& sink) const {
  const auto records = ByName(next_);
  Writer out(sink);
  out.Bytes(kMagic);
  out.Number(kFormatVersion);
  out.Text(canonical_);
  out.Number(records.size());
  for (const auto* entry : records) {
    const Record& r = entry->second;
    out.Text(entry->first);
    for (uint64_t number :
         {r.fingerprint, r.size, static_cast<uint64_t>(r.mtime_ns), r.inode, r.content}) {
      out.Number(number);
    }
  }
  const auto players = ByName(next_players_);
  out.Number(players.size());
  std::string lists;
  for (const auto* entry : players) {
    const auto aside = next_lists_.find(entry->first);
    if (aside == next_lists_.end()) {
      PutPlayer(out, entry->first, entry->second, entry->second.site_lists);
      continue;
    }
    lists.clear();
    if (!ReadFileAt(aside->second.fd, aside->second.offset, aside->second.length, lists)) {
      return false;
    }
    PutPlayer(out, entry->first, entry->second, lists);
  }
  const auto pages = ByName(next_pages_);
  out.Number(pages.size());
  for (const auto* entry : pages) {
    const PageRecord& r = entry->second;
    out.Text(entry->first);
    for (uint64_t number : {r.fingerprint, r.size, static_cast<uint64_t>(r.mtime_ns)}) {
      out.Number(number);
    }
  }
  const auto parts = ByName(next_parts_);
  out.Number(parts.size());
  for (const auto* entry : parts) {
    const Part& p = entry->second;
    out.Text(entry->first);
    for (uint64_t number : {p.fingerprint, p.offset, p.length}) out.Number(number);
  }
  out.Text(next_fingerprints_);
  return out.Finish();
}

}  // namespace barvik
