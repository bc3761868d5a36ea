// The event cache against fresh readings: grown, shrunk, replaced, rotated and gzipped logs,
// a line cut at the old end, several files joined, and damaged or foreign cache files. Every
// reading through the cache must give the store a reading without it gives, record for
// record and text for text.
#include "log/EventCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/FileError.h"
#include "log/CacheFormat.h"
#include "log/LogFile.h"
#include "tests/TempFolder.h"
#include "tools/loggen/LogGenerator.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;
using namespace std::string_literals;

std::string Generated(uint64_t seed, size_t lines, bool crlf = false) {
  LogGeneratorOptions o;
  o.seed = seed;
  o.lines = lines;
  o.players = 12;
  o.lines_per_turn = 400;
  o.crlf = crlf;
  return GenerateLog(o);
}

class EventCacheTest : public testing::TempFolderTest {
 protected:
  std::string Cache() const { return (dir_ / "cache").string(); }

  // Reads `files` through the cache and checks the store against a reading without it.
  CacheUse ReadAndCompare(const V& files) {
    EventStore cached;
    CacheUse use = ReadThroughCache(files, Cache(), cached);
    EventStore fresh;
    ReadThroughCache(files, "", fresh);
    EXPECT_TRUE(cached.SameAs(fresh)) << "files: " << files.size();
    EXPECT_EQ(cached.LineCount(), fresh.LineCount());
    return use;
  }

  void Append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
  }

  std::vector<fs::path> CacheFiles() const {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(Cache())) out.push_back(e.path());
    return out;
  }
};

TEST_F(EventCacheTest, AnUnchangedLogComesWholeFromTheCache) {
  const std::string log = Write("games_mp.log", Generated(1, 3000));
  const CacheUse first = ReadAndCompare({log});
  EXPECT_EQ(first.files_read, 1u);
  EXPECT_EQ(first.cache_written, 1u);
  const CacheUse second = ReadAndCompare({log});
  EXPECT_EQ(second.files_reused, 1u);
  EXPECT_EQ(second.bytes_read, 0u);
  EXPECT_EQ(second.cache_written, 0u);
}

TEST_F(EventCacheTest, AGrownLogIsReadOnFromItsLastCachedLine) {
  const std::string head = Generated(2, 3000);
  const std::string tail = Generated(3, 500);
  const std::string log = Write("games_mp.log", head);
  ReadAndCompare({log});
  Append(log, tail);
  const CacheUse grown = ReadAndCompare({log});
  EXPECT_EQ(grown.files_grown, 1u);
  EXPECT_EQ(grown.bytes_read, tail.size());  // the old end was a line end
  // And again: the grown state was cached in its turn.
  Append(log, tail);
  EXPECT_EQ(ReadAndCompare({log}).bytes_read, tail.size());
  // A few lines more do not rewrite the cache file of the whole history: they go into a
  // small delta file beside it, and the next run reads only what came after them.
  std::vector<fs::path> bases;
  for (const fs::path& f : CacheFiles()) {
    if (f.extension() == ".events") bases.push_back(f);
  }
  ASSERT_EQ(bases.size(), 1u);
  const auto base_time = fs::last_write_time(bases[0]);
  const std::string line = "  9:59 J;1;0;Late\n";
  for (int run = 1; run <= 3; ++run) {
    Append(log, line);
    const CacheUse small = ReadAndCompare({log});
    EXPECT_EQ(small.files_grown, 1u);
    EXPECT_EQ(small.bytes_read, line.size());
  }
  EXPECT_EQ(fs::last_write_time(bases[0]), base_time);
  EXPECT_EQ(CacheFiles().size(), 2u);
  EXPECT_EQ(ReadAndCompare({log}).bytes_read, 0u);
}

TEST_F(EventCacheTest, ALineCutAtTheOldEndIsReadAgainWhole) {
  // The server was writing a kill line when the last run read the log; a CR LF, a NUL run
  // and a CR alone split between two runs count as one line end, as in one reading.
  const V cuts = {"  1:00 K;1;0;allies;Bob;2;1;axis;Al", "  1:00 J;1;0;Bob\r",
                  "  1:00 J;1;0;Bob\0\0"s, "  1:00 J;1;0;Bob\r\0"s};
  const V rests = {"ice;kar98k_mp;100;MOD_HEAD_SHOT;head\n  1:01 J;2;1;Eve\n",
                   "\n  1:01 J;2;1;Eve\n", "\0\0  1:01 J;2;1;Eve\n"s, "\0  1:01 J;2;1;Eve\r\n"s};
  for (size_t i = 0; i < cuts.size(); ++i) {
    SCOPED_TRACE(i);
    const std::string head = Generated(4, 800) + cuts[i];
    const std::string log = Write("cut" + std::to_string(i) + ".log", head);
    ReadAndCompare({log});
    Append(log, rests[i]);
    const CacheUse grown = ReadAndCompare({log});
    EXPECT_EQ(grown.files_grown, 1u);
    EXPECT_LE(grown.bytes_read, rests[i].size() + cuts[i].size());
  }
}

TEST_F(EventCacheTest, ShrunkOrReplacedLogsAreReadAgain) {
  const std::string log = Write("games_mp.log", Generated(5, 2000));
  ReadAndCompare({log});
  // Truncated and written again shorter: same inode, smaller size.
  Write("games_mp.log", Generated(6, 1000));
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  // Replaced by another file of the same size (a new inode).
  const std::string same_size = Generated(6, 1000);
  std::string other = same_size;
  other[other.size() / 2] = other[other.size() / 2] == 'x' ? 'y' : 'x';
  Write("other.log", other);
  fs::rename(dir_ / "other.log", log);
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  // Changed in place in its last block, same size.
  ReadAndCompare({log});
  std::string changed = other;
  changed[changed.size() - 10] = changed[changed.size() - 10] == 'x' ? 'y' : 'x';
  {
    std::fstream f(log, std::ios::binary | std::ios::in | std::ios::out);
    f.write(changed.data(), static_cast<std::streamsize>(changed.size()));
  }
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
}

TEST_F(EventCacheTest, ARotatedAndGzippedMemberIsRecognisedByItsContent) {
  std::string old_text = Generated(7, 3000);
  const std::string log = Write("logs/games_mp.log", old_text);
  ReadAndCompare({log});
  // A few lines written after the last run before the rotation (kept in a delta file).
  Append(log, "  9:59 J;1;0;Late\n");
  old_text += "  9:59 J;1;0;Late\n";
  ReadAndCompare({log});
  // Rotation: renamed to .1, a new empty live log.
  fs::rename(log, log + ".1");
  Write("logs/games_mp.log", "");
  CacheUse use = ReadAndCompare(RotatedLogFiles((dir_ / "logs").string()));
  EXPECT_EQ(use.files_reused, 1u);
  EXPECT_EQ(use.bytes_read, 0u);
  // Then compressed: a new inode, recognised by its gzip trailer and first block.
  Write("logs/games_mp.log.1.gz", testing::Gzip(old_text));
  fs::remove(log + ".1");
  Append(log, Generated(8, 300));
  use = ReadAndCompare(RotatedLogFiles((dir_ / "logs").string()));
  EXPECT_EQ(use.files_reused, 1u);
  EXPECT_EQ(use.bytes_read, fs::file_size(log));
  // Known under its own name from now on.
  use = ReadAndCompare(RotatedLogFiles((dir_ / "logs").string()));
  EXPECT_EQ(use.files_reused, 2u);
  EXPECT_EQ(use.bytes_read, 0u);
}

TEST_F(EventCacheTest, JoinedFilesEqualOneReading) {
  // Lines of other kinds at the seam are one run of skipped lines in a single reading.
  const V files = {Write("a.log", Generated(9, 700) + "x\ny\n"),
                   Write("b.log", "z\n" + Generated(10, 700)), Write("c.log", ""),
                   Write("d.log", Generated(11, 700, true)),
                   Write("e.log.gz", testing::Gzip(Generated(12, 500)))};
  ReadAndCompare(files);
  const CacheUse again = ReadAndCompare(files);
  EXPECT_EQ(again.bytes_read, fs::file_size(files[2]));  // the empty file is never cached
}

TEST_F(EventCacheTest, DamagedForeignAndMissingCachesGiveTheFreshResult) {
  const std::string log = Write("games_mp.log", Generated(13, 2000));
  ReadAndCompare({log});
  ASSERT_EQ(CacheFiles().size(), 1u);
  const fs::path entry = CacheFiles()[0];
  std::string good;
  {
    std::ifstream in(entry, std::ios::binary);
    good.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::string> damaged;
  for (size_t at :
       {size_t{0}, size_t{12}, size_t{40}, size_t{200}, good.size() / 2, good.size() - 1}) {
    std::string bad = good;
    bad[at] = static_cast<char>(bad[at] ^ 0x5A);
    damaged.push_back(bad);
  }
  damaged.push_back(good.substr(0, good.size() / 3));  // truncated
  damaged.push_back(good + "more");                    // trailing bytes
  damaged.push_back("");
  std::string newer = good;
  newer[12] = static_cast<char>(newer[12] + 1);  // the version word
  damaged.push_back(newer);
  std::string older = good;
  older[12] = 4;  // before compact pick-up and join records
  damaged.push_back(older);
  for (size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(i);
    std::ofstream(entry, std::ios::binary | std::ios::trunc) << damaged[i];
    EXPECT_FALSE(StoreFromCacheBytes(damaged[i], false).has_value());
    const CacheUse use = ReadAndCompare({log});
    EXPECT_EQ(use.files_read, 1u);
    EXPECT_EQ(use.cache_written, 1u);  // and rebuilt
  }
  EXPECT_TRUE(StoreFromCacheBytes(good, false).has_value());
  // A cache folder that cannot be made: the run reads the log and succeeds.
  fs::remove_all(Cache());
  Write("cache", "a file where the folder should be");
  const CacheUse use = ReadAndCompare({log});
  EXPECT_EQ(use.files_read, 1u);
  EXPECT_EQ(use.cache_written, 0u);
}

TEST_F(EventCacheTest, TheSameFileTwiceIsTakenAsItIsEachTime) {
  const std::string log = Write("a.log", Generated(20, 2000));
  ReadAndCompare({log});
  // Grown by more than a sixteenth: the first mention writes a new base, which the second
  // must not mix with the split point it planned from the old one.
  Append(log, Generated(21, 1000));
  ReadAndCompare({log, log});
  ReadAndCompare({log});
  // A hard link is the same file under another name.
  const std::string link = (dir_ / "link.log").string();
  fs::create_hard_link(log, link);
  Append(log, Generated(22, 800));
  ReadAndCompare({link, log, link});
  EXPECT_EQ(ReadAndCompare({log}).files_reused, 1u);
}

TEST_F(EventCacheTest, RunsSharingACacheFolderAgreeWithReadingsWithoutIt) {
  const std::string log = Write("games_mp.log", Generated(23, 1500));
  // Each round the log grows (sometimes by a few lines, sometimes by more than a sixteenth),
  // then three processes read it through one cache folder at once.
  for (int round = 0; round < 6; ++round) {
    Append(log, Generated(24 + static_cast<uint64_t>(round), round % 2 == 0 ? 30 : 400));
    EventStore fresh;
    ReadThroughCache({log}, "", fresh);
    std::vector<pid_t> children;
    for (int child = 0; child < 3; ++child) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        bool same = true;
        for (int i = 0; i < 4; ++i) {
          EventStore cached;
          ReadThroughCache({log, log}, Cache(), cached);
          EventStore twice;
          ReadThroughCache({log, log}, "", twice);
          same = same && cached.SameAs(twice);
        }
        _exit(same ? 0 : 1);
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
    }
    EventStore cached;
    ReadThroughCache({log}, Cache(), cached);
    EXPECT_TRUE(cached.SameAs(fresh)) << "round " << round;
  }
}

TEST_F(EventCacheTest, ChangesTheCheapChecksCannotSeeAreCaught) {
  // Far more than the two 64 KiB edge blocks, so that the middle is in neither.
  const std::string text = Generated(30, 8000);
  ASSERT_GT(text.size(), 4 * kSummaryBlock);
  const std::string log = Write("games_mp.log", text);
  ReadAndCompare({log});
  auto changed_in_middle = [](std::string bytes) {
    const size_t at = bytes.find(';', bytes.size() / 2) + 1;  // a name or number in a record
    bytes[at] = bytes[at] == 'Z' ? 'Y' : 'Z';
    return bytes;
  };
  // The same size written as a new file and renamed over the log (a new inode and mtime,
  // the same edges): its old events must not be taken for it.
  Write("edited.log", changed_in_middle(text));
  fs::rename(dir_ / "edited.log", log);
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  // Changed in place with its modification time set back: the status change time tells.
  const std::string again = changed_in_middle(changed_in_middle(text));
  const auto mtime = fs::last_write_time(log);
  {
    std::fstream f(log, std::ios::binary | std::ios::in | std::ios::out);
    f.write(again.data(), static_cast<std::streamsize>(again.size()));
  }
  fs::last_write_time(log, mtime);
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  // Changed in place and grown: the cached part no longer holds what it held.
  {
    std::fstream f(log, std::ios::binary | std::ios::in | std::ios::out);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  Append(log, Generated(31, 100));
  EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  // Only its status changed: checked once, and trusted again after that.
  fs::permissions(log, fs::perms::owner_read | fs::perms::owner_write);
  const CacheUse checked = ReadAndCompare({log});
  EXPECT_EQ(checked.files_reused, 1u);
  EXPECT_EQ(checked.bytes_read, 0u);
  EXPECT_EQ(checked.bytes_checked, fs::file_size(log));
  EXPECT_EQ(ReadAndCompare({log}).bytes_checked, 0u);
}

TEST_F(EventCacheTest, AGzipLogOfSeveralMembersIsNotTakenForItsLastOne) {
  const std::string text = Generated(32, 2000);
  const std::string log = Write("g.log", text);
  ReadAndCompare({log});
  // Its last member's trailer and first block are those of the log the cache knows.
  const std::string two = Write("two.log.gz", testing::Gzip(text) + testing::Gzip(text));
  EXPECT_EQ(ReadAndCompare({two}).files_read, 1u);
  EXPECT_EQ(ReadAndCompare({two}).files_reused, 1u);
}

TEST_F(EventCacheTest, FoldersOthersCanWriteAndFilesOfOthersAreNotTrusted) {
  const std::string log = Write("games_mp.log", Generated(33, 1500));
  // A new folder is made for this user alone; an existing one keeps its mode.
  ReadAndCompare({log});
  EXPECT_EQ(fs::status(Cache()).permissions() & fs::perms::all, fs::perms::owner_all);
  const fs::path shared = dir_ / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all);
  EventStore store;
  const CacheUse use = ReadThroughCache({log}, shared.string(), store);
  EXPECT_EQ(use.refused, "others can write into it");
  EXPECT_EQ(use.cache_written, 0u);
  EXPECT_TRUE(fs::is_empty(shared));
  EXPECT_EQ(fs::status(shared).permissions() & fs::perms::all, fs::perms::all);
  fs::permissions(Cache(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(ReadAndCompare({log}).files_reused, 1u);
  EXPECT_EQ(fs::status(Cache()).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  // A cache file of another user (only root can make one here).
  if (geteuid() == 0) {
    ASSERT_EQ(chown(CacheFiles()[0].c_str(), 4242, 4242), 0);
    EXPECT_EQ(ReadAndCompare({log}).files_read, 1u);
  }
}

TEST_F(EventCacheTest, TheLogFileMessagesStayThoseOfAReadingWithoutCache) {
  const std::string log = Write("bad.log.gz", testing::Gzip(Generated(14, 500)).substr(0, 200));
  EventStore store;
  try {
    ReadThroughCache({log}, Cache(), store);
    FAIL() << "a truncated gzip file was read";
  } catch (const FileError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot read file " + log + ":", 0), 0u) << e.what();
  }
  EXPECT_THROW(ReadThroughCache({(dir_ / "missing").string()}, Cache(), store), FileError);
  // A device would be read for ever.
  for (const std::string& folder : {Cache(), std::string()}) {
    try {
      ReadThroughCache({"/dev/zero"}, folder, store);
      FAIL() << "a device was read";
    } catch (const FileError& e) {
      EXPECT_EQ(std::string(e.what()) + ": " + e.reason(),
                "Cannot open file /dev/zero: not a regular file");
    }
  }
}

}  // namespace
}  // namespace barvik
