// libFuzzer target: the event cache's reader. An input that starts like a cache file is read
// as one, its checksums repaired first so that the checks behind them are reached; any other
// input is a log, whose store is written as a cache file, read back (it must come back the
// same, and cut back at its split point it must still be whole) and then read again with one
// byte changed where the input's hash says. An input that starts with "OPS\n" is a sequence
// of operations on a rotated log in a folder (appends, cut lines, edits in place with the
// times set back, same-size rewrites, rotations, gzip of one or two members, truncation,
// copies), each followed by a reading through the cache that must equal one without it. A
// crash, hang, sanitizer report or a store read back different is a finding; a changed byte
// may be refused but never trusted into a crash.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/FileError.h"

#include "log/CacheFormat.h"
#include "log/EventCache.h"
#include "log/EventStore.h"
#include "log/LogFile.h"
#include "stats/Games.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Walks a store the way the passes do: every event, the names' keys, every player's records,
// the games.
void Use(const barvik::EventStore& store) {
  using namespace barvik;
  const NameForms forms(store, true, true);
  const PlayerIndex index(store);
  uint64_t seen = 0;
  store.ForEach([&](const EventView& e) {
    const size_t ids = e.kind == LineKind::Win || e.kind == LineKind::Loss ? e.count : 0;
    for (size_t i = 0; i < ids; ++i) seen += forms.Name(e.ids[i]);
    if (e.kind == LineKind::GameInit) seen += forms.Setting(e.ids[0]);
    Check(e.line < store.LineCount() || store.LineCount() == 0);
  });
  for (uint32_t raw = 0; raw < store.texts().size(); ++raw) {
    for (uint32_t position : index.Merge(std::span<const uint32_t>(&raw, 1))) {
      seen += store.At(position).ids[0];
    }
  }
  EventStore copy;
  copy.AppendStore(store);
  Check(copy.SameAs(store));
  // The games are built from the records as they are: a damaged slot or id must not reach
  // outside the builder's tables.
  const GamesModel model = BuildGames(store);
  for (const Game& game : model.games) {
    for (const Participant& p : game.players) Check(p.person < model.people.size());
  }
  (void)seen;
}

namespace fs = std::filesystem;

const char* const kLines[] = {
    "  0:00 InitGame: \\g_gametype\\tdm\\mapname\\mp_foy\n",
    "  0:01 J;1;0;Bob\n",
    "  0:02 K;1;0;axis;Bob;2;1;allies;Al;mp40_mp;100;MOD_HEAD_SHOT;head\n",
    "  0:03 D;2;1;allies;Al;1;0;axis;Bob;kar98k_mp;30;MOD_RIFLE_BULLET;torso_upper\r\n",
    "  0:04 say;1;0;Bob;gg\n",
    "  0:05 W;axis;1;Bob\n",
    "  0:06 L;allies;2;Al\n",
    "  0:07 Weapon;2;1;Al;mp40_mp\n",
    "  0:08 Q;1;0;Bob\n",
    "not a log line\0\0",
};
constexpr size_t kLineCount = std::size(kLines);

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& path, const std::string& bytes, bool append = false) {
  std::ofstream(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc)) << bytes;
}

std::string Gzip(const std::string& text) {
  z_stream z{};
  deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The rotated log as the server leaves it: NAME.N[.gz] ... NAME.1[.gz], then NAME.
std::vector<std::string> Members(const std::string& folder, int rotations) {
  std::vector<std::string> files;
  for (int n = rotations; n >= 1; --n) {
    const std::string plain = folder + "/games_mp.log." + std::to_string(n);
    files.push_back(fs::exists(plain) ? plain : plain + ".gz");
  }
  files.push_back(folder + "/games_mp.log");
  return files;
}

// The store read through `cache`, or nothing when the logs cannot be read; the same without
// a cache must agree, also on failing.
void CheckReading(const std::vector<std::string>& files, const std::string& cache) {
  using namespace barvik;
  std::optional<EventStore> cached(std::in_place);
  std::optional<EventStore> fresh(std::in_place);
  try {
    ReadThroughCache(files, cache, *cached);
  } catch (const FileError&) {
    cached.reset();
  }
  try {
    ReadThroughCache(files, "", *fresh);
  } catch (const FileError&) {
    fresh.reset();
  }
  Check(cached.has_value() == fresh.has_value());
  if (cached) Check(cached->SameAs(*fresh));
}

void RunOperations(const std::string& ops) {
  static const std::string root = [] {
    std::string t = (fs::temp_directory_path() / "barvik-fuzz-XXXXXX").string();
    Check(mkdtemp(t.data()) != nullptr);
    return t;
  }();
  fs::remove_all(root);
  const std::string logs = root + "/logs";
  const std::string cache = root + "/cache";
  fs::create_directories(logs);
  const std::string live = logs + "/games_mp.log";
  // More than the two 64 KiB edge blocks, so that edits in the middle escape the cheap checks.
  std::string start;
  for (int i = 0; i < 4000; ++i) start += kLines[i * 5 % (kLineCount - 1)];
  WriteAll(live, start);
  int rotations = 0;
  for (size_t i = 0; i + 1 < ops.size() && i < 48; i += 2) {
    const auto op = static_cast<unsigned char>(ops[i]);
    const auto arg = static_cast<unsigned char>(ops[i + 1]);
    std::string text = ReadAll(live);
    switch (op % 8) {
      case 0:  // lines appended
        for (unsigned k = 0; k <= arg % 24; ++k) text += kLines[(arg + k) % kLineCount];
        WriteAll(live, text);
        break;
      case 1:  // a line cut short, finished by a later append
        WriteAll(live, std::string(kLines[arg % kLineCount]).substr(0, 1 + arg % 20), true);
        break;
      case 2:    // one byte changed in place, the times set back
      case 3: {  // the same size written anew and renamed over it
        if (text.empty()) break;
        struct stat st {};
        stat(live.c_str(), &st);
        text[text.size() / 2 + arg * 97u % (text.size() / 8 + 1)] =
            static_cast<char>('0' + arg % 10);
        if (op % 8 == 2) {
          const int fd = open(live.c_str(), O_WRONLY);
          Check(fd >= 0 &&
                pwrite(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
          const struct timespec times[2] = {st.st_atim, st.st_mtim};
          futimens(fd, times);
          close(fd);
        } else {
          WriteAll(live + ".new", text);
          fs::rename(live + ".new", live);
        }
        break;
      }
      case 4:  // rotated: every member moves up one, a new live log
        if (rotations == 6) break;
        for (int n = rotations; n >= 1; --n) {
          for (const char* gz : {"", ".gz"}) {
            const std::string from = logs + "/games_mp.log." + std::to_string(n) + gz;
            if (fs::exists(from)) {
              fs::rename(from, logs + "/games_mp.log." + std::to_string(n + 1) + gz);
            }
          }
        }
        fs::rename(live, live + ".1");
        WriteAll(live, "");
        ++rotations;
        break;
      case 5: {  // the newest plain member gzipped, as one or as two members
        const std::string member = live + "." + std::to_string(1 + arg % 2);
        if (!fs::exists(member)) break;
        const std::string plain = ReadAll(member);
        const size_t half = (arg & 4) != 0 ? plain.size() / 2 : plain.size();
        WriteAll(member + ".gz", Gzip(plain.substr(0, half)) +
                                     (half < plain.size() ? Gzip(plain.substr(half)) : ""));
        fs::remove(member);
        break;
      }
      case 6:  // truncated
        fs::resize_file(live, text.size() * (arg % 4) / 4);
        break;
      case 7:  // copied to a new file and renamed over itself
        WriteAll(live + ".copy", text);
        fs::rename(live + ".copy", live);
        break;
    }
    std::vector<std::string> files = Members(logs, rotations);
    if ((arg & 0x80) != 0) files.push_back(live);  // the same file named twice
    CheckReading(files, cache);
  }
  fs::remove_all(root);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace barvik;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  if (bytes.starts_with("OPS\n")) {
    RunOperations(bytes.substr(4));
    return 0;
  }
  if (bytes.starts_with("BRVKEVT\n")) {
    RepairCacheChecksums(bytes);
    for (bool at_split : {false, true}) {
      if (auto store = StoreFromCacheBytes(bytes, at_split)) Use(*store);
    }
    return 0;
  }
  const LogFile log = LogFile::FromText(bytes);
  std::string file = CacheBytesOf(log.events());
  auto back = StoreFromCacheBytes(file, false);
  Check(back.has_value() && back->SameAs(log.events()));
  auto cut = StoreFromCacheBytes(file, true);
  Check(cut.has_value());
  uint64_t h = 1469598103934665603ull;
  for (char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  file[h % file.size()] = static_cast<char>(file[h % file.size()] ^ (1 + (h >> 56) % 255));
  if (auto changed = StoreFromCacheBytes(file, false)) Use(*changed);
  RepairCacheChecksums(file);
  if (auto changed = StoreFromCacheBytes(file, (h & 1) != 0)) Use(*changed);
  return 0;
}
