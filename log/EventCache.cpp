#include "log/EventCache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>

#include "core/AtomicReplace.h"
#include "core/Checksum.h"
#include "core/FileError.h"
#include "log/CacheFolder.h"
#include "log/CacheFormat.h"
#include "log/ReadPlan.h"

namespace barvik {
namespace {

using cache::CtimeNs;
using cache::DeltaPath;
using cache::EdgeHashes;
using cache::EntryPath;
using cache::Fd;
using cache::Header;
using cache::Input;
using cache::IsGzip;
using cache::kAfterCrFlag;
using cache::kDeltaFlag;
using cache::kGzipFlag;
using cache::kInNulRunFlag;
using cache::kMaxPath;
using cache::KnownEntry;
using cache::MtimeNs;
using cache::Way;

// The stretches an entry knows: its base's, then its delta's.
std::vector<ReadStretch> KnownStretches(const KnownEntry& k) {
  std::vector<ReadStretch> all = k.base.stretches;
  if (!k.has_delta) return all;
  // The delta goes on from the base's split point.
  std::erase_if(all, [&](const ReadStretch& s) { return s.lines > k.base.split.lines; });
  all.insert(all.end(), k.delta.stretches.begin(), k.delta.stretches.end());
  return all;
}

// Keeps the stretches that end at or before `lines`, and at most kMaxStretches: beyond that,
// every second one of the older half goes (a later stretch still places those lines).
void CutStretches(std::vector<ReadStretch>& stretches, uint64_t lines) {
  std::erase_if(stretches, [lines](const ReadStretch& s) { return s.lines > lines; });
  if (stretches.size() < cache::kMaxStretches) return;
  std::vector<ReadStretch> kept;
  const size_t half = stretches.size() / 2;
  for (size_t i = 0; i < stretches.size(); ++i) {
    if (i >= half || i % 2 == 1) kept.push_back(stretches[i]);
  }
  stretches = std::move(kept);
}

// Writes a cache file, atomically: a reader finds the old one or the new one whole.
bool SaveEntry(const std::string& target, const Header& h, const EventStore& store) {
  return ReplaceFileStreamed(
      target, [&](const ByteSink& sink) { return cache::WriteFile(sink, h, store); });
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
  std::vector<ReadStretch> stretches;  // of the whole file
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
      t.stretches = KnownStretches(in.entry);
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
        t.header.stretches = t.stretches;
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
  // The stretches known before this reading: those of the lines kept.
  std::vector<ReadStretch> before;
  if (in.way == Way::Grow) {
    before = KnownStretches(in.entry);
    // Up to the split point this reading starts from; a delta's marks count its own lines,
    // which follow its base's split point.
    const uint64_t split_lines = in.entry.has_delta
                                     ? in.entry.base.split.lines + in.entry.delta.split.lines
                                     : in.entry.base.split.lines;
    CutStretches(before, split_lines);
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
  // This reading's stretch: the first of a file is its modification time; a later one was
  // seen to grow since the last reading, and its last line is no later than now (nor than
  // the file's time, when that is after the last reading).
  const int64_t mtime = static_cast<int64_t>(in.st.st_mtim.tv_sec);
  ReadStretch now{t.store.LineCount(), mtime, false};
  if (in.way == Way::Grow && !before.empty()) {
    const int64_t read_at = static_cast<int64_t>(std::time(nullptr));
    const bool file_time = mtime > before.back().at && mtime <= read_at;
    now = {t.store.LineCount(), file_time ? mtime : read_at, true};
  }
  t.stretches = std::move(before);
  if (t.stretches.empty() || now.lines > t.stretches.back().lines) t.stretches.push_back(now);
  CutStretches(t.stretches, UINT64_MAX);
  h.stretches = t.stretches;
  if (t.save == Taken::Save::Delta) {
    // A delta keeps the stretches after its base's.
    const uint64_t base_lines = in.entry.base.split.lines;
    std::erase_if(h.stretches, [&](const ReadStretch& s) { return s.lines <= base_lines; });
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
    cache::Plan(in, folder, known);
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
    if (t.save == Taken::Save::Base && SaveEntry(base, t.header, t.store)) {
      ::unlink(DeltaPath(base).c_str());  // its lines are in the new base
      ++use.cache_written;
    }
    if (t.save == Taken::Save::Delta && SaveEntry(DeltaPath(base), t.header, t.delta)) {
      ++use.cache_written;
    }
    const uint64_t lines_before = store.LineCount();
    for (ReadStretch s : t.stretches) {
      s.lines += lines_before;
      use.stretches.push_back(s);
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
