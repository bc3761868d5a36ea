#include "log/EventCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "core/Checksum.h"
#include "core/FileError.h"
#include "log/CacheFolder.h"
#include "log/CacheFormat.h"

namespace barvik {
namespace {

using cache::DeltaPath;
using cache::EntryPath;
using cache::Fd;
using cache::Header;
using cache::kAfterCrFlag;
using cache::kDeltaFlag;
using cache::kGzipFlag;
using cache::kInNulRunFlag;
using cache::kMaxPath;
using cache::KnownEntry;
using cache::OpenKnown;
using cache::Reopen;
using cache::ScanEntries;

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

bool PreadAll(int fd, char* to, size_t size, uint64_t offset) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, to, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    to += got;
    size -= static_cast<size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

// The hashes of the first and the last kSummaryBlock bytes of the first `size` bytes of a file.
bool EdgeHashes(int fd, uint64_t size, uint64_t& first, uint64_t& last) {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(size, kSummaryBlock));
  std::string block(n, '\0');
  if (!PreadAll(fd, block.data(), n, 0)) return false;
  first = BlockHash(block.data(), n);
  if (!PreadAll(fd, block.data(), n, size - n)) return false;
  last = BlockHash(block.data(), n);
  return true;
}

uint64_t Ns(const struct timespec& t) {
  return static_cast<uint64_t>(t.tv_sec) * 1000000000ull + static_cast<uint64_t>(t.tv_nsec);
}
uint64_t MtimeNs(const struct stat& st) { return Ns(st.st_mtim); }
uint64_t CtimeNs(const struct stat& st) { return Ns(st.st_ctim); }

// The first bytes of a gzip file's content, up to kSummaryBlock, hashed, and its trailer: the
// CRC-32 and size (modulo 2^32) of the last member's content.
struct GzipSignature {
  uint64_t first_hash = 0;
  uint32_t crc = 0;
  uint32_t size = 0;
};

std::optional<GzipSignature> SignatureOfGzip(int fd, uint64_t file_size) {
  if (file_size < 18) return std::nullopt;
  GzipSignature s;
  char trailer[8];
  if (!PreadAll(fd, trailer, 8, file_size - 8)) return std::nullopt;
  std::memcpy(&s.crc, trailer, 4);
  std::memcpy(&s.size, trailer + 4, 4);
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) return std::nullopt;
  std::string out(kSummaryBlock, '\0');
  std::vector<char> in(1 << 16);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  uint64_t offset = 0;
  int rc = Z_OK;
  while (z.avail_out > 0 && rc == Z_OK && offset < file_size) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(in.size(), file_size - offset));
    if (!PreadAll(fd, in.data(), n, offset)) break;
    offset += n;
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(n);
    while (z.avail_in > 0 && z.avail_out > 0 && rc == Z_OK) rc = inflate(&z, Z_NO_FLUSH);
  }
  const size_t produced = out.size() - z.avail_out;
  inflateEnd(&z);
  if (rc != Z_OK && rc != Z_STREAM_END) return std::nullopt;
  s.first_hash = BlockHash(out.data(), produced);
  return s;
}

// Writes a cache file: a temporary file in the folder, renamed over the old one.
bool SaveEntry(const std::string& folder, const std::string& target, const Header& h,
               const EventStore& store) {
  std::string temporary = folder + "/.tmp-XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  File out(::fdopen(fd, "wb"), &std::fclose);
  if (!out) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return false;
  }
  FILE* file = out.get();
  bool ok = cache::WriteFile(
      [file](const void* data, size_t size) { return std::fwrite(data, 1, size, file) == size; }, h,
      store);
  ok = std::fclose(out.release()) == 0 && ok;
  if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

// How one log file will be taken.
enum class Way { Reuse, Grow, Read };

struct Input {
  std::string path;      // as given: messages name it so
  std::string absolute;  // recorded in the cache file
  File file{nullptr, &std::fclose};
  struct stat st {};
  Way way = Way::Read;
  KnownEntry entry;    // what to take from (Reuse, Grow)
  bool moved = false;  // recognised by content: saved again under its own identity
  // The file may have changed where the cheap checks do not look: the content the entry
  // covers must have the entry's CRC-32 before its events are taken.
  bool check = false;
};

bool IsGzip(int fd) {
  unsigned char magic[2] = {0, 0};
  return PreadAll(fd, reinterpret_cast<char*>(magic), 2, 0) && magic[0] == 0x1F && magic[1] == 0x8B;
}

// Decides how to take `in` from what the folder holds.
void Plan(Input& in, const std::string& folder, std::optional<std::vector<KnownEntry>>& known) {
  const int fd = fileno(in.file.get());
  const uint64_t size = static_cast<uint64_t>(in.st.st_size);
  if (!S_ISREG(in.st.st_mode)) return;
  if (std::optional<KnownEntry> k = OpenKnown(EntryPath(folder, in.st.st_dev, in.st.st_ino));
      k && k->base.dev == static_cast<uint64_t>(in.st.st_dev) &&
      k->base.ino == static_cast<uint64_t>(in.st.st_ino) && size >= k->whole().file_size) {
    const Header& h = k->whole();
    uint64_t first = 0;
    uint64_t last = 0;
    const bool same_edges = EdgeHashes(fd, h.file_size, first, last) && first == h.raw_first_hash &&
                            last == h.raw_last_hash;
    // Untouched since the cache saw it only when its status change time is the same too:
    // any write changes that, and nothing can set it back. Otherwise the bytes decide.
    if (same_edges && size == h.file_size && MtimeNs(in.st) == h.mtime_ns) {
      in.way = Way::Reuse;
      in.check = CtimeNs(in.st) != h.ctime_ns;
    } else if (same_edges && size > h.file_size && !h.gzip()) {
      in.way = Way::Grow;
      in.check = true;
    }
    if (in.way != Way::Read) {
      in.entry = std::move(*k);
      return;
    }
  }
  // Not known under its own identity: perhaps its content is (a rotated member, a copy).
  if (!known) known = ScanEntries(folder);
  const bool gzip = size >= 2 && IsGzip(fd);
  std::optional<GzipSignature> signature;
  uint64_t first = 0;
  uint64_t last = 0;
  if (gzip) {
    signature = SignatureOfGzip(fd, size);
    if (!signature) return;
  } else if (size == 0 || !EdgeHashes(fd, size, first, last)) {
    return;
  }
  for (const KnownEntry& k : *known) {
    const Header& h = k.whole();
    const bool match = gzip ? h.content_crc == signature->crc &&
                                  static_cast<uint32_t>(h.content_size) == signature->size &&
                                  h.content_first_hash == signature->first_hash
                            : h.content_size == size && h.content_first_hash == first &&
                                  h.content_last_hash == last;
    if (!match) continue;
    // The files may have been replaced since the folder was scanned.
    if (std::optional<KnownEntry> now = Reopen(k)) {
      in.way = Way::Reuse;
      in.entry = std::move(*now);
      in.moved = true;
      in.check = true;
      return;
    }
  }
}

// The events of the cache file open as `fd`, whose header `expected` was read before.
std::optional<EventStore> LoadEntry(const std::shared_ptr<Fd>& fd, const Header& expected,
                                    bool at_split) {
  if (!fd || fd->fd < 0) return std::nullopt;
  return cache::ReadFileEvents(fd->fd, expected, at_split);
}

// The events of the log file as the entry saw it (cut back to its split point with
// `at_split`): the base's, then the delta's.
std::optional<EventStore> LoadKnown(const KnownEntry& k, bool at_split) {
  if (!k.has_delta) return LoadEntry(k.base_fd, k.base, at_split);
  std::optional<EventStore> base = LoadEntry(k.base_fd, k.base, true);
  std::optional<EventStore> delta = base ? LoadEntry(k.delta_fd, k.delta, at_split) : std::nullopt;
  if (!delta) return std::nullopt;
  base->AppendStore(*delta);
  return base;
}

// True when the log's content holds what the entry covers: for a file taken whole, all of it
// with the entry's size and CRC-32 (every member of a gzip file); for a grown one, the bytes
// the entry read.
bool ContentAsCached(Input& in, CacheUse& use) {
  const Header& h = in.entry.whole();
  const bool whole = in.way == Way::Reuse;
  try {
    const ContentSum sum = SumContent(in.file.get(), in.path, whole ? UINT64_MAX : h.content_size);
    use.bytes_checked += static_cast<uint64_t>(in.st.st_size);
    const bool same = sum.size == h.content_size && sum.crc == h.content_crc;
    return fseeko(in.file.get(), 0, SEEK_SET) == 0 && same;
  } catch (const std::exception&) {
    // Damaged compressed data: reading the file says so as it would without the cache.
    fseeko(in.file.get(), 0, SEEK_SET);
    return false;
  }
}

// The events of one file and what the cache should remember of it.
struct Taken {
  EventStore store;  // of the whole file
  // What to save: `saved` described by `header`, as a base or as the delta of the base.
  enum class Save { None, Base, Delta } save = Save::None;
  EventStore delta;  // Save::Delta: the events after the base's split point
  Header header;
};

Taken Take(Input& in, const std::function<void(size_t)>& on_bytes, CacheUse& use) {
  Taken t;
  const int fd = fileno(in.file.get());
  if (in.way != Way::Read && in.check) {
    if (!ContentAsCached(in, use)) {
      in.way = Way::Read;
      in.moved = false;
    } else if (in.way == Way::Reuse) {
      in.moved = true;  // saved again with the status it has now, so the next run trusts it
    }
  }
  if (in.way == Way::Reuse) {
    if (std::optional<EventStore> s = LoadKnown(in.entry, false)) {
      ++use.files_reused;
      t.store = std::move(*s);
      if (in.moved) {
        t.save = Taken::Save::Base;
        t.header = in.entry.whole();
        t.header.dev = static_cast<uint64_t>(in.st.st_dev);
        t.header.ino = static_cast<uint64_t>(in.st.st_ino);
        t.header.file_size = static_cast<uint64_t>(in.st.st_size);
        t.header.mtime_ns = MtimeNs(in.st);
        t.header.ctime_ns = CtimeNs(in.st);
        t.header.flags &= ~(kGzipFlag | kDeltaFlag);
        if (IsGzip(fd)) t.header.flags |= kGzipFlag;
        t.header.base_size = 0;
        t.header.base_crc = 0;
        EdgeHashes(fd, t.header.file_size, t.header.raw_first_hash, t.header.raw_last_hash);
        t.header.path = in.absolute;
        // The split mark of the joined store: lost with a delta, so a later growth of this
        // copy reads it whole once (a rotated member does not grow).
        if (in.entry.has_delta) {
          t.header.split_offset = 0;
          t.header.flags &= ~(kAfterCrFlag | kInNulRunFlag);
          t.header.split = EventStore().Here();
        }
      } else {
        // Used: not to be pruned.
        ::futimens(in.entry.base_fd->fd, nullptr);
        if (in.entry.has_delta) ::futimens(in.entry.delta_fd->fd, nullptr);
      }
      return t;
    }
    in.way = Way::Read;
  }
  ReadStart start;
  start.summarise = true;
  // A file that grew a little since its base was written is read into a delta of its own:
  // writing that costs as much as the new lines, not as the whole history. Once it grew by a
  // sixteenth of the base, the whole store becomes the new base.
  EventStore* into = &t.store;
  if (in.way == Way::Grow) {
    const Header& base = in.entry.base;
    const Header& whole = in.entry.whole();
    const auto size = static_cast<uint64_t>(in.st.st_size);
    const bool as_delta = (size - base.file_size) * 16 < base.file_size;
    std::optional<EventStore> s = LoadEntry(in.entry.base_fd, in.entry.base, true);
    std::optional<EventStore> delta;
    if (s && in.entry.has_delta) delta = LoadEntry(in.entry.delta_fd, in.entry.delta, true);
    if (s && (delta || !in.entry.has_delta)) {
      t.store = std::move(*s);
      if (as_delta) {
        if (delta) t.delta = std::move(*delta);
        into = &t.delta;
        t.save = Taken::Save::Delta;
      } else if (delta) {
        t.store.AppendStore(*delta);
      }
      start.offset = whole.split_offset;
      start.state.after_cr = (whole.flags & kAfterCrFlag) != 0;
      start.state.in_nul_run = (whole.flags & kInNulRunFlag) != 0;
      start.crc_offset = whole.content_size;
      start.crc = whole.content_crc;
    } else {
      in.way = Way::Read;
      t.store = EventStore();
    }
  }
  EventBuilder builder(*into);
  EventStore::Mark split;
  uint64_t file_bytes = start.offset;
  const FileSummary summary = ReadLogFile(
      in.file.get(), in.path, builder, start, [&] { split = into->Here(); },
      [&](size_t got) {
        file_bytes += got;
        use.bytes_read += got;
        if (on_bytes) on_bytes(got);
      });
  ++(in.way == Way::Grow ? use.files_grown : use.files_read);
  Header& h = t.header;
  h.dev = static_cast<uint64_t>(in.st.st_dev);
  h.ino = static_cast<uint64_t>(in.st.st_ino);
  h.file_size = file_bytes;
  h.mtime_ns = MtimeNs(in.st);
  h.ctime_ns = CtimeNs(in.st);
  h.flags = (summary.gzip ? kGzipFlag : 0) | (summary.split_state.after_cr ? kAfterCrFlag : 0) |
            (summary.split_state.in_nul_run ? kInNulRunFlag : 0);
  h.content_crc = summary.content_crc;
  h.content_size = summary.content_size;
  h.split_offset = summary.split_offset;
  h.split = split;
  h.path = in.absolute;
  if (t.save == Taken::Save::Delta) {
    h.flags |= kDeltaFlag;
    h.base_size = in.entry.base.file_size;
    h.base_crc = in.entry.base.content_crc;
    t.store.AppendStore(t.delta);
  }
  const bool hashed = EdgeHashes(fd, file_bytes, h.raw_first_hash, h.raw_last_hash);
  h.content_first_hash = summary.gzip ? summary.content_first_hash : h.raw_first_hash;
  h.content_last_hash = summary.gzip ? summary.content_last_hash : h.raw_last_hash;
  if (!hashed || file_bytes == 0 || h.path.size() > kMaxPath) {
    t.save = Taken::Save::None;
  } else if (t.save != Taken::Save::Delta) {
    t.save = Taken::Save::Base;
  }
  return t;
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

CacheUse ReadThroughCache(const std::vector<std::string>& files, const std::string& folder,
                          EventStore& store, const ReadProgress& progress) {
  CacheUse use;
  if (folder.empty()) {
    EventBuilder builder(store);
    uint64_t total = 0;
    ReadLogFiles(files, builder, [&](uint64_t done, uint64_t all) {
      total = done;
      if (progress) progress(done, all);
    });
    use.bytes_read = total;
    use.files_read = files.size();
    store.Finish();
    return use;
  }
  // Every log is opened before any is read, so a missing one fails the run at once.
  std::vector<Input> inputs(files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    Input& in = inputs[i];
    in.path = files[i];
    in.absolute = AbsolutePath(files[i]);
    in.file = OpenLogFile(files[i], in.st);
  }
  use.refused = PrepareCacheFolder(folder);
  if (!use.refused.empty()) {
    CacheUse plain = ReadThroughCache(files, "", store, progress);
    plain.refused = std::move(use.refused);
    return plain;
  }
  std::optional<std::vector<KnownEntry>> known;
  uint64_t total = 0;
  for (Input& in : inputs) {
    Plan(in, folder, known);
    const auto size = static_cast<uint64_t>(S_ISREG(in.st.st_mode) ? in.st.st_size : 0);
    if (in.way == Way::Read) total += size;
    if (in.way == Way::Grow) total += size - in.entry.whole().split_offset;
  }
  uint64_t done = 0;
  auto on_bytes = [&](size_t got) {
    done += got;
    if (progress) progress(std::min(done, total), total);
  };
  for (size_t i = 0; i < inputs.size(); ++i) {
    Input& in = inputs[i];
    Taken t = Take(in, on_bytes, use);
    in.file.reset();
    const std::string base = EntryPath(folder, t.header.dev, t.header.ino);
    if (t.save == Taken::Save::Base && SaveEntry(folder, base, t.header, t.store)) {
      ::unlink(DeltaPath(base).c_str());  // its lines are in the new base
      ++use.cache_written;
    }
    if (t.save == Taken::Save::Delta && SaveEntry(folder, DeltaPath(base), t.header, t.delta)) {
      ++use.cache_written;
    }
    if (i == 0) {
      store = std::move(t.store);
    } else {
      store.AppendStore(t.store);
    }
  }
  store.Finish();
  if (use.cache_written > 0) cache::Prune(folder);
  return use;
}

}  // namespace barvik
