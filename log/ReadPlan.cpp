#include "log/ReadPlan.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/Checksum.h"
#include "log/LogSource.h"

namespace barvik {
namespace cache {
namespace {

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

uint64_t Ns(const struct timespec& t) {
  return static_cast<uint64_t>(t.tv_sec) * 1000000000ull + static_cast<uint64_t>(t.tv_nsec);
}

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

}  // namespace

bool EdgeHashes(int fd, uint64_t size, uint64_t& first, uint64_t& last) {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(size, kSummaryBlock));
  std::string block(n, '\0');
  if (!PreadAll(fd, block.data(), n, 0)) return false;
  first = BlockHash(block.data(), n);
  if (!PreadAll(fd, block.data(), n, size - n)) return false;
  last = BlockHash(block.data(), n);
  return true;
}

uint64_t MtimeNs(const struct stat& st) { return Ns(st.st_mtim); }
uint64_t CtimeNs(const struct stat& st) { return Ns(st.st_ctim); }

bool IsGzip(int fd) {
  unsigned char magic[2] = {0, 0};
  return PreadAll(fd, reinterpret_cast<char*>(magic), 2, 0) && magic[0] == 0x1F && magic[1] == 0x8B;
}

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

}  // namespace cache
}  // namespace barvik
