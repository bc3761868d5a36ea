#include "log/CacheFormat.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "core/Checksum.h"

namespace barvik {
namespace {

using cache::Header;
using cache::kMaxPath;

constexpr char kMagic[8] = {'B', 'R', 'V', 'K', 'E', 'V', 'T', '\n'};
constexpr uint32_t kByteOrder = 0x01020304;
// Bump whenever the records, the texts or this file's layout change (4: compact hit records,
// the payload's hash; 5: compact pick-up, join and quit records).
constexpr uint32_t kVersion = 8;

// Little helpers for the header's fields, in the machine's byte order (the byte-order word
// rejects a file from another kind of machine).
class Encoder {
 public:
  template <typename T>
  void Put(T value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void PutMark(const EventStore::Mark& m) {
    Put(m.words);
    Put(m.lines);
    Put(m.texts);
    Put(m.settings);
    Put(m.skipped);
  }
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

class Decoder {
 public:
  Decoder(const char* data, size_t size) : data_(data), size_(size) {}
  template <typename T>
  bool Get(T& value) {
    if (size_ - at_ < sizeof value) return false;
    std::memcpy(&value, data_ + at_, sizeof value);
    at_ += sizeof value;
    return true;
  }
  bool GetMark(EventStore::Mark& m) {
    return Get(m.words) && Get(m.lines) && Get(m.texts) && Get(m.settings) && Get(m.skipped);
  }

 private:
  const char* data_;
  size_t size_;
  size_t at_ = 0;
};

// The fixed part of the header, up to the path's size.
std::string EncodeFixed(const Header& h) {
  Encoder e;
  e.bytes().append(kMagic, sizeof kMagic);
  e.Put(kByteOrder);
  e.Put(kVersion);
  e.Put(h.dev);
  e.Put(h.ino);
  e.Put(h.file_size);
  e.Put(h.mtime_ns);
  e.Put(h.ctime_ns);
  e.Put(h.raw_first_hash);
  e.Put(h.raw_last_hash);
  e.Put(h.flags);
  e.Put(h.content_crc);
  e.Put(h.content_size);
  e.Put(h.content_first_hash);
  e.Put(h.content_last_hash);
  e.Put(h.split_offset);
  e.PutMark(h.split);
  e.PutMark(h.full);
  e.Put(h.text_bytes);
  e.Put(h.setting_bytes);
  e.Put(h.base_size);
  e.Put(h.base_crc);
  e.Put(static_cast<uint32_t>(h.path.size()));
  e.Put(static_cast<uint32_t>(h.stretches.size()));
  return std::move(e.bytes());
}

const size_t kFixedBytes = EncodeFixed(Header{}).size();

constexpr size_t kStretchBytes = 8 + 8 + 4;

std::string EncodeStretches(const std::vector<ReadStretch>& stretches) {
  Encoder e;
  for (const ReadStretch& s : stretches) {
    e.Put(s.lines);
    e.Put(static_cast<uint64_t>(s.at));
    e.Put(static_cast<uint32_t>(s.observed ? 1 : 0));
  }
  return std::move(e.bytes());
}

bool DecodeStretches(const std::string& bytes, std::vector<ReadStretch>& stretches) {
  Decoder d(bytes.data(), bytes.size());
  for (ReadStretch& s : stretches) {
    uint64_t at = 0;
    uint32_t observed = 0;
    if (!d.Get(s.lines) || !d.Get(at) || !d.Get(observed) || observed > 1) return false;
    s.at = static_cast<int64_t>(at);
    s.observed = observed == 1;
  }
  for (size_t i = 1; i < stretches.size(); ++i) {
    if (stretches[i].lines < stretches[i - 1].lines) return false;
  }
  return true;
}

std::string EncodeHeader(const Header& h) {
  std::string bytes = EncodeFixed(h) + h.path + EncodeStretches(h.stretches);
  const uint32_t crc = Crc32(0, bytes.data(), bytes.size());
  bytes.append(reinterpret_cast<const char*>(&crc), sizeof crc);
  return bytes;
}

// Reads the fixed part; the path's size in `path_size`.
bool DecodeFixed(const char* data, Header& h, uint32_t& path_size, uint32_t& stretch_count) {
  if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
  Decoder d(data + sizeof kMagic, kFixedBytes - sizeof kMagic);
  uint32_t order = 0;
  uint32_t version = 0;
  if (!d.Get(order) || order != kByteOrder || !d.Get(version) || version != kVersion) return false;
  return d.Get(h.dev) && d.Get(h.ino) && d.Get(h.file_size) && d.Get(h.mtime_ns) &&
         d.Get(h.ctime_ns) && d.Get(h.raw_first_hash) && d.Get(h.raw_last_hash) && d.Get(h.flags) &&
         d.Get(h.content_crc) && d.Get(h.content_size) && d.Get(h.content_first_hash) &&
         d.Get(h.content_last_hash) && d.Get(h.split_offset) && d.GetMark(h.split) &&
         d.GetMark(h.full) && d.Get(h.text_bytes) && d.Get(h.setting_bytes) && d.Get(h.base_size) &&
         d.Get(h.base_crc) && d.Get(path_size) && path_size <= kMaxPath && d.Get(stretch_count) &&
         stretch_count <= cache::kMaxStretches;
}

// Where the bytes of a cache file come from: a file or, for the fuzzer, memory.
class Source {
 public:
  virtual ~Source() = default;
  virtual bool Read(void* to, size_t size) = 0;
  virtual uint64_t Size() const = 0;
};

// Reads a cache file from its start, whatever else has read the same descriptor.
class FileSource : public Source {
 public:
  explicit FileSource(int fd) : fd_(fd) {
    struct stat st {};
    size_ = fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  bool Read(void* to, size_t size) override {
    auto* p = static_cast<char*>(to);
    while (size > 0) {
      const ssize_t got = ::pread(fd_, p, std::min<size_t>(size, 1 << 24), static_cast<off_t>(at_));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      p += got;
      at_ += static_cast<uint64_t>(got);
      size -= static_cast<size_t>(got);
    }
    return true;
  }
  uint64_t Size() const override { return size_; }

 private:
  int fd_;
  uint64_t size_ = 0;
  uint64_t at_ = 0;
};

class MemorySource : public Source {
 public:
  explicit MemorySource(const std::string& bytes) : bytes_(bytes) {}
  bool Read(void* to, size_t size) override {
    if (size == 0) return true;  // `to` may be the null data of an empty vector
    if (bytes_.size() - at_ < size) return false;
    std::memcpy(to, bytes_.data() + at_, size);
    at_ += size;
    return true;
  }
  uint64_t Size() const override { return bytes_.size(); }

 private:
  const std::string& bytes_;
  size_t at_ = 0;
};

bool ReadHeader(Source& in, Header& h) {
  std::string bytes(kFixedBytes, '\0');
  uint32_t path_size = 0;
  uint32_t stretch_count = 0;
  if (!in.Read(bytes.data(), bytes.size()) ||
      !DecodeFixed(bytes.data(), h, path_size, stretch_count)) {
    return false;
  }
  h.path.resize(path_size);
  std::string stretches(size_t{stretch_count} * kStretchBytes, '\0');
  uint32_t crc = 0;
  if (!in.Read(h.path.data(), path_size) || !in.Read(stretches.data(), stretches.size()) ||
      !in.Read(&crc, sizeof crc)) {
    return false;
  }
  h.stretches.resize(stretch_count);
  if (!DecodeStretches(stretches, h.stretches)) return false;
  bytes += h.path;
  bytes += stretches;
  if (Crc32(0, bytes.data(), bytes.size()) != crc) return false;
  h.raw = bytes;
  h.raw.append(reinterpret_cast<const char*>(&crc), sizeof crc);
  // The sizes must describe exactly the rest of the file, so a damaged header can never make
  // the reader allocate more than the file holds.
  const auto fits = [](const EventStore::Mark& m) {
    return m.words < UINT32_MAX && m.texts >= 1 && m.skipped < (1u << 24) - 1;
  };
  const EventStore::Mark& s = h.split;
  const EventStore::Mark& f = h.full;
  if (!fits(f) || !fits(s) || s.words > f.words || s.texts > f.texts || s.settings > f.settings ||
      s.lines > f.lines || h.split_offset > h.content_size || f.words > (uint64_t{1} << 34) ||
      h.text_bytes > (uint64_t{1} << 40) || h.setting_bytes > (uint64_t{1} << 40)) {
    return false;
  }
  return in.Size() == kFixedBytes + path_size + stretches.size() + 4 + h.PayloadBytes();
}

}  // namespace

// The payload: the store's words, then each pool as its text sizes and its bytes, then the
// StreamHash of all of it.
class EventStoreFile {
 public:
  using Output = std::function<bool(const void*, size_t)>;

  static bool Write(const Output& out, const EventStore& store) {
    StreamHash hash;
    auto put = [&](const void* data, size_t size) {
      if (size == 0) return true;  // `data` may be the null data of an empty vector
      hash.Update(data, size);
      return out(data, size);
    };
    if (!put(store.words_.data(), store.words_.size() * 4)) return false;
    for (const TextPool* pool : {&store.texts_, &store.settings_}) {
      std::vector<uint32_t> sizes(pool->size());
      for (uint32_t id = 0; id < sizes.size(); ++id) {
        sizes[id] = static_cast<uint32_t>(pool->Text(id).size());
      }
      if (!put(sizes.data(), sizes.size() * 4)) return false;
      for (uint32_t id = 0; id < sizes.size(); ++id) {
        const std::string_view text = pool->Text(id);
        if (!put(text.data(), text.size())) return false;
      }
    }
    const uint64_t sum = hash.Final();
    return out(&sum, sizeof sum);
  }

  static void Describe(const EventStore& store, Header& h) {
    h.full = store.Here();
    h.text_bytes = 0;
    for (uint32_t id = 0; id < store.texts_.size(); ++id)
      h.text_bytes += store.texts_.Text(id).size();
    h.setting_bytes = 0;
    for (uint32_t id = 0; id < store.settings_.size(); ++id) {
      h.setting_bytes += store.settings_.Text(id).size();
    }
  }

  // The store of the payload after `h`, cut back to `mark` (h.split or h.full), or nothing
  // when any check fails.
  static std::optional<EventStore> Read(Source& in, const Header& h, const EventStore::Mark& mark) {
    StreamHash hash;
    auto get = [&](void* to, size_t size) {
      if (!in.Read(to, size)) return false;
      hash.Update(to, size);
      return true;
    };
    EventStore store;
    uint32_t* words = store.words_.Extend(h.full.words);
    if (!get(words, h.full.words * 4)) return std::nullopt;
    std::vector<uint32_t> text_sizes(h.full.texts);
    std::string text_bytes(h.text_bytes, '\0');
    std::vector<uint32_t> setting_sizes(h.full.settings);
    std::string setting_bytes(h.setting_bytes, '\0');
    uint64_t stored_sum = 0;
    if (!get(text_sizes.data(), text_sizes.size() * 4) ||
        !get(text_bytes.data(), text_bytes.size()) ||
        !get(setting_sizes.data(), setting_sizes.size() * 4) ||
        !get(setting_bytes.data(), setting_bytes.size()) ||
        !in.Read(&stored_sum, sizeof stored_sum) || stored_sum != hash.Final()) {
      return std::nullopt;
    }
    // Every text in id order: each must be new, so the ids come out as they were.
    auto fill = [](TextPool& pool, const std::vector<uint32_t>& sizes, const std::string& bytes,
                   uint32_t count, uint32_t first) {
      uint64_t at = 0;
      for (uint32_t id = 0; id < sizes.size(); ++id) {
        if (bytes.size() - at < sizes[id]) return false;
        const std::string_view text(bytes.data() + at, sizes[id]);
        at += sizes[id];
        if (id < first) {
          if (!text.empty()) return false;  // the empty text the store starts with
          continue;
        }
        if (id < count && pool.Intern(text) != id) return false;
      }
      return at == bytes.size();
    };
    if (!fill(store.texts_, text_sizes, text_bytes, mark.texts, 1) ||
        !fill(store.settings_, setting_sizes, setting_bytes, mark.settings, 0)) {
      return std::nullopt;
    }
    store.words_.Truncate(mark.words);
    if (!CheckRecords(store, mark)) return std::nullopt;
    store.lines_ = mark.lines;
    store.skipped_ = mark.skipped;
    store.Finish();
    return store;
  }

 private:
  // Whether the compact record at `r`, of `room` words at most, is whole, of a kind that has a
  // compact form, with ids inside the pools and codes among those taken before it.
  static bool CompactFits(const EventStore& store, const uint32_t* r, size_t room) {
    const uint32_t texts = static_cast<uint32_t>(store.texts_.size());
    switch (static_cast<LineKind>(r[0] & ~EventStore::kCompactFlag & 0xFF)) {
      case LineKind::WeaponPickUp:
        return room >= 2 && (r[1] & 0xFFFF) < texts && (r[1] >> 16) < texts;
      case LineKind::Join:
      case LineKind::Quit:
        return room >= 2 && (r[1] & EventStore::kPairMask) < store.joins_.size();
      case LineKind::Damage:
      case LineKind::Kill:
        return room >= EventStore::kCompactWords && (r[1] & 0xFFFF) < texts &&
               (r[1] >> 16) < texts && (r[2] & 0xFFF) < store.weapons_.size() &&
               ((r[2] >> 12) & 0xFF) < store.locations_.size() &&
               ((r[2] >> 20) & 0xFF) < store.means_.size();
      default:
        return false;
    }
  }

  // Every record whole, of a known kind, with ids inside the pools and codes among those the
  // records before it took; a record full only where the writer would have kept it so; the
  // lines they count agree with the mark. Rebuilds the game-initialisation positions and the
  // codes.
  static bool CheckRecords(EventStore& store, const EventStore::Mark& mark) {
    const uint32_t* w = store.words_.data();
    const size_t n = store.words_.size();
    const uint32_t texts = static_cast<uint32_t>(store.texts_.size());
    const uint32_t settings = static_cast<uint32_t>(store.settings_.size());
    uint64_t lines = 0;
    for (size_t p = 0; p < n;) {
      const uint32_t kind = w[p] & 0xFF;
      if (kind == EventStore::kSkipKind) {
        if ((w[p] >> 8) == 0) return false;
        lines += w[p] >> 8;
        ++p;
        continue;
      }
      if ((kind & EventStore::kCompactFlag) != 0) {
        if (!CompactFits(store, w + p, n - p)) return false;
        ++lines;
        p += EventStore::RecordWords(w + p);
        continue;
      }
      if ((kind > static_cast<uint32_t>(LineKind::Loss) &&
           kind != static_cast<uint32_t>(LineKind::GameEnd)) ||
          kind == static_cast<uint32_t>(LineKind::Other)) {
        return false;
      }
      const bool team = kind == static_cast<uint32_t>(LineKind::Win) ||
                        kind == static_cast<uint32_t>(LineKind::Loss);
      if (team && p + 1 >= n) return false;
      const size_t size = team ? 3 + size_t{w[p + 1]} : EventStore::RecordWords(w + p);
      if (size > n - p) return false;
      const EventStore::IdWords ids = EventStore::IdsOf(w + p);
      for (size_t i = ids.text_first; i < ids.text_last; ++i) {
        if (w[p + i] >= texts) return false;
      }
      const bool hit = EventStore::IsHit(kind);
      for (size_t i = ids.setting_first; i < ids.setting_last; ++i) {
        if ((hit ? w[p + i] & EventStore::kMeansMask : w[p + i]) >= settings) return false;
      }
      if ((kind == static_cast<uint32_t>(LineKind::Join) ||
           kind == static_cast<uint32_t>(LineKind::Quit)) &&
          static_cast<int32_t>(w[p + 3]) != static_cast<int8_t>(w[p + 3])) {
        return false;  // not a slot that a line gives
      }
      uint32_t packed[EventStore::kCompactWords];
      if (store.Compact(w + p, packed) != 0) return false;
      if (kind == static_cast<uint32_t>(LineKind::GameInit)) {
        store.game_inits_.push_back(static_cast<uint32_t>(p));
      }
      if (kind == static_cast<uint32_t>(LineKind::GameEnd) &&
          w[p + 1] > static_cast<uint32_t>(GameEndHow::Shutdown)) {
        return false;
      }
      ++lines;
      p += size;
    }
    return lines + mark.skipped == mark.lines;
  }
};

namespace cache {

bool ReadFileHeader(int fd, Header& h) {
  FileSource in(fd);
  return ReadHeader(in, h);
}

std::optional<EventStore> ReadFileEvents(int fd, const Header& expected, bool at_split) {
  FileSource in(fd);
  Header h;
  if (!ReadHeader(in, h) || h.raw != expected.raw) return std::nullopt;
  try {
    return EventStoreFile::Read(in, h, at_split ? h.split : h.full);
  } catch (const std::exception&) {
    return std::nullopt;  // out of memory for a damaged size, too many texts
  }
}

bool WriteFile(const Output& out, Header h, const EventStore& store) {
  EventStoreFile::Describe(store, h);
  const std::string header = EncodeHeader(h);
  return out(header.data(), header.size()) && EventStoreFile::Write(out, store);
}

}  // namespace cache

std::string CacheBytesOf(const EventStore& store) {
  Header h;
  h.split = store.Here();
  EventStoreFile::Describe(store, h);
  std::string bytes = EncodeHeader(h);
  EventStoreFile::Write(
      [&bytes](const void* data, size_t size) {
        bytes.append(static_cast<const char*>(data), size);
        return true;
      },
      store);
  return bytes;
}

void RepairCacheChecksums(std::string& bytes) {
  Header h;
  uint32_t path_size = 0;
  uint32_t stretch_count = 0;
  if (bytes.size() < kFixedBytes || !DecodeFixed(bytes.data(), h, path_size, stretch_count) ||
      bytes.size() < kFixedBytes + path_size + size_t{stretch_count} * kStretchBytes + 12) {
    return;
  }
  const size_t header_end = kFixedBytes + path_size + size_t{stretch_count} * kStretchBytes;
  const uint32_t header_crc = Crc32(0, bytes.data(), header_end);
  std::memcpy(bytes.data() + header_end, &header_crc, 4);
  const size_t payload = header_end + 4;
  StreamHash hash;
  hash.Update(bytes.data() + payload, bytes.size() - payload - 8);
  const uint64_t sum = hash.Final();
  std::memcpy(bytes.data() + bytes.size() - 8, &sum, 8);
}

std::optional<EventStore> StoreFromCacheBytes(const std::string& bytes, bool at_split) {
  MemorySource in(bytes);
  Header h;
  if (!ReadHeader(in, h)) return std::nullopt;
  try {
    return EventStoreFile::Read(in, h, at_split ? h.split : h.full);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace barvik
