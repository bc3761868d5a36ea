#include "log/CacheFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/Checksum.h"
#include "core/StableHash.h"

namespace barvik {
namespace cache {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "f-";
constexpr std::string_view kSuffix = ".events";
constexpr std::string_view kDeltaSuffix = ".delta";
constexpr std::string_view kMemoPrefix = "render-";
constexpr std::string_view kMemoSuffix = ".memo";
constexpr std::string_view kRatingsPrefix = "ratings-";
constexpr std::string_view kRatingsSuffix = ".state";
constexpr std::string_view kGamesPrefix = "games-";
constexpr std::string_view kGamesSuffix = ".kept";
constexpr std::string_view kStatisticsPrefix = "stats-";
constexpr std::string_view kStatisticsSuffix = ".kept";
constexpr std::string_view kInputsPrefix = "inputs-";
constexpr std::string_view kInputsSuffix = ".txt";
// Earlier versions wrote cache files through temporary files of this prefix.
constexpr std::string_view kOldTemporaryPrefix = ".tmp-";

std::string Hex(uint64_t number) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(number));
  return hex;
}

bool IsCacheName(std::string_view name) {
  return name.starts_with(kPrefix) && (name.ends_with(kSuffix) || name.ends_with(kDeltaSuffix));
}

// A file kept per report folder (a render memo, a ratings state, a games model or the inputs
// of the last export) or per set of logs (the statistics pass's state).
bool IsMemoName(std::string_view name) {
  return (name.starts_with(kMemoPrefix) && name.ends_with(kMemoSuffix)) ||
         (name.starts_with(kRatingsPrefix) && name.ends_with(kRatingsSuffix)) ||
         (name.starts_with(kGamesPrefix) && name.ends_with(kGamesSuffix)) ||
         (name.starts_with(kStatisticsPrefix) && name.ends_with(kStatisticsSuffix)) ||
         (name.starts_with(kInputsPrefix) && name.ends_with(kInputsSuffix));
}

// A file being written: "<final name>.XXXXXX" as the atomic replace makes it, or the name
// earlier versions gave. A memo's temporary files count whatever follows "render-", as they
// always did.
bool IsTemporaryName(std::string_view name) {
  if (name.starts_with(kOldTemporaryPrefix)) return true;
  if (name.starts_with(kMemoPrefix)) return !name.ends_with(kMemoSuffix);
  if (name.starts_with(kRatingsPrefix)) return !name.ends_with(kRatingsSuffix);
  if (name.starts_with(kGamesPrefix)) return !name.ends_with(kGamesSuffix);
  if (name.starts_with(kStatisticsPrefix)) return !name.ends_with(kStatisticsSuffix);
  if (name.starts_with(kInputsPrefix)) return !name.ends_with(kInputsSuffix);
  const size_t dot = name.rfind('.');
  return dot != std::string_view::npos && dot > 0 && IsCacheName(name.substr(0, dot));
}

// Opens a cache file and reads its header. Only a regular file of this user is taken: one that
// somebody else put into the folder could hold any events.
std::optional<Header> OpenEntry(const std::string& path, std::shared_ptr<Fd>& fd) {
  fd = std::make_shared<Fd>(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  struct stat st {};
  if (fd->fd < 0 || fstat(fd->fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    return std::nullopt;
  }
  Header h;
  if (!ReadFileHeader(fd->fd, h)) return std::nullopt;
  return h;
}

// True when the log file the cache file `path` was written for is gone from its path (or the
// cache file cannot be read at all).
bool LogGone(const std::string& path) {
  std::shared_ptr<Fd> fd;
  const std::optional<Header> h = OpenEntry(path, fd);
  struct stat st {};
  return !h || ::stat(h->path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_dev) != h->dev ||
         static_cast<uint64_t>(st.st_ino) != h->ino;
}

}  // namespace

std::string EntryPath(const std::string& folder, uint64_t dev, uint64_t ino) {
  const uint64_t key[2] = {dev, ino};
  std::string path = folder + "/";
  path += kPrefix;
  path += Hex(BlockHash(reinterpret_cast<const char*>(key), 16));
  path += kSuffix;
  return path;
}

std::string DeltaPath(const std::string& base) {
  return base.substr(0, base.size() - kSuffix.size()) + std::string(kDeltaSuffix);
}

std::optional<KnownEntry> OpenKnown(const std::string& file) {
  KnownEntry k;
  k.file = file;
  std::optional<Header> base = OpenEntry(file, k.base_fd);
  if (!base || (base->flags & kDeltaFlag) != 0) return std::nullopt;
  k.base = std::move(*base);
  std::shared_ptr<Fd> fd;
  if (std::optional<Header> delta = OpenEntry(DeltaPath(file), fd);
      delta && (delta->flags & kDeltaFlag) != 0 && delta->dev == k.base.dev &&
      delta->ino == k.base.ino && delta->base_size == k.base.file_size &&
      delta->base_crc == k.base.content_crc && !k.base.gzip()) {
    k.has_delta = true;
    k.delta = std::move(*delta);
    k.delta_fd = std::move(fd);
  }
  return k;
}

std::optional<KnownEntry> Reopen(const KnownEntry& k) {
  std::optional<KnownEntry> now = OpenKnown(k.file);
  if (!now || now->base.raw != k.base.raw || (k.has_delta && !now->has_delta) ||
      (k.has_delta && now->delta.raw != k.delta.raw)) {
    return std::nullopt;
  }
  if (!k.has_delta) {
    now->has_delta = false;
    now->delta_fd.reset();
  }
  return now;
}

std::vector<KnownEntry> ScanEntries(const std::string& folder) {
  std::vector<KnownEntry> out;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) continue;
    if (std::optional<KnownEntry> k = OpenKnown(it->path().string())) {
      // Only the headers are kept: a folder of many entries must not hold as many files open.
      k->base_fd.reset();
      k->delta_fd.reset();
      if (k->has_delta) {
        KnownEntry alone = *k;
        alone.has_delta = false;
        out.push_back(std::move(alone));
      }
      out.push_back(std::move(*k));
    }
  }
  return out;
}

void Prune(const std::string& folder) {
  const auto now = fs::file_time_type::clock::now();
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code e;
    const auto age = now - it->last_write_time(e);
    if (e) continue;
    const std::string name = it->path().filename().string();
    bool remove = false;
    if (IsTemporaryName(name)) {
      remove = age > std::chrono::hours(1);
    } else if (IsMemoName(name)) {
      remove = age > std::chrono::hours(24 * 30);
    } else if (IsCacheName(name)) {
      remove = age > std::chrono::hours(24 * 30) ||
               (age >= std::chrono::hours(48) && LogGone(it->path().string()));
    }
    if (remove) fs::remove(it->path(), e);
  }
}

}  // namespace cache

namespace {

// A file of `folder` kept for `report_folder`, named after its canonical path.
std::string ReportFolderFile(const std::string& folder, const std::string& report_folder,
                             std::string_view prefix, std::string_view suffix) {
  std::error_code ec;
  const std::string canonical = std::filesystem::canonical(report_folder, ec).string();
  if (ec) return {};
  std::string name(prefix);
  name += cache::Hex(StableHash().Text(canonical).value());
  name += suffix;
  return (std::filesystem::path(folder) / name).string();
}

}  // namespace

std::string RenderMemoPath(const std::string& folder, const std::string& report_folder) {
  return ReportFolderFile(folder, report_folder, cache::kMemoPrefix, cache::kMemoSuffix);
}

std::string RatingsStatePath(const std::string& folder, const std::string& report_folder) {
  return ReportFolderFile(folder, report_folder, cache::kRatingsPrefix, cache::kRatingsSuffix);
}

std::string KeptGamesPath(const std::string& folder, const std::string& report_folder) {
  return ReportFolderFile(folder, report_folder, cache::kGamesPrefix, cache::kGamesSuffix);
}

std::string ExportInputsPath(const std::string& folder, const std::string& report_folder) {
  return ReportFolderFile(folder, report_folder, cache::kInputsPrefix, cache::kInputsSuffix);
}

std::string StatisticsStatePath(const std::string& folder, const std::vector<std::string>& logs) {
  StableHash hash;
  hash.Number(logs.size());
  for (const std::string& log : logs) {
    std::error_code ec;
    const std::string canonical = std::filesystem::weakly_canonical(log, ec).string();
    hash.Text(ec ? log : canonical);
  }
  std::string name(cache::kStatisticsPrefix);
  name += cache::Hex(hash.value());
  name += cache::kStatisticsSuffix;
  return (std::filesystem::path(folder) / name).string();
}

std::string PrepareCacheFolder(const std::string& folder) {
  // Missing folders are made; the cache folder itself only for this user. An existing one is
  // never changed: it may be anybody's (--cache /tmp).
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) {
    const std::filesystem::path path(folder);
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return std::string("cannot make it: ") + std::strerror(errno);
    }
    if (::stat(folder.c_str(), &st) != 0)
      return std::string("cannot make it: ") + std::strerror(errno);
  }
  if (!S_ISDIR(st.st_mode)) return "not a folder";
  if (st.st_uid != geteuid()) return "it belongs to another user";
  if ((st.st_mode & 022) != 0) return "others can write into it";
  return {};
}

std::string DefaultCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/barvik";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.cache/barvik";
  return {};
}

}  // namespace barvik
