// The cache folder's pruning: what goes and what stays, by age and by whether the log a cache
// file stands for is still where it was. Every kind of file the folder holds is met once.
#include "log/CacheFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "log/EventCache.h"
#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;
using std::chrono::hours;

class CacheFolderTest : public testing::TempFolderTest {
 protected:
  std::string Cache() const { return (dir_ / "cache").string(); }

  // A file in the cache folder last used `age` ago.
  std::string Aged(const std::string& name, hours age) {
    std::string path = Write("cache/" + name, "x");
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
    return path;
  }
};

TEST_F(CacheFolderTest, PruningRemovesWhatIsStaleOrOrphanedAndKeepsTheRest) {
  // Two logs read through the cache; one of them then goes away.
  const std::string kept_log = Write("kept.log", "0:00 InitGame: \\g_gametype\\dm\n");
  const std::string gone_log = Write("gone.log", "0:00 InitGame: \\g_gametype\\tdm\n");
  EventStore store;
  ASSERT_EQ(ReadThroughCache({kept_log, gone_log}, Cache(), store).cache_written, 2u);
  struct stat kept {};
  struct stat gone {};
  ASSERT_EQ(::stat(kept_log.c_str(), &kept), 0);
  ASSERT_EQ(::stat(gone_log.c_str(), &gone), 0);
  const std::string kept_entry = cache::EntryPath(Cache(), kept.st_dev, kept.st_ino);
  const std::string gone_entry = cache::EntryPath(Cache(), gone.st_dev, gone.st_ino);
  fs::remove(gone_log);
  for (const std::string& entry : {kept_entry, gone_entry})
    fs::last_write_time(entry, fs::file_time_type::clock::now() - hours(72));

  const std::string memo = RenderMemoPath(Cache(), dir_.string());
  ASSERT_TRUE(memo.starts_with(Cache() + "/render-") && memo.ends_with(".memo")) << memo;
  const std::string kept_memo = Aged(fs::path(memo).filename().string(), hours(24 * 10));
  const std::string ratings = RatingsStatePath(Cache(), dir_.string());
  ASSERT_TRUE(ratings.starts_with(Cache() + "/ratings-") && ratings.ends_with(".state"));
  const std::string kept_ratings = Aged(fs::path(ratings).filename().string(), hours(24 * 10));
  const std::string old_ratings = Aged("ratings-00000000000000bb.state", hours(24 * 31));
  const std::string stale = Aged("f-00000000000000aa.events", hours(24 * 31));
  const std::string old_memo = Aged("render-00000000000000bb.memo", hours(24 * 31));
  const std::string fresh_temporary = Aged(".tmp-abcdef", hours(0));
  const std::string temporaries[] = {
      Aged(".tmp-ghijkl", hours(2)),
      Aged("f-00000000000000cc.events.mnopqr", hours(2)),
      Aged("f-00000000000000cc.delta.stuvwx", hours(2)),
      Aged("render-00000000000000bb.memo.yzABCD", hours(2)),
      Aged("ratings-00000000000000bb.state.yzABCD", hours(2)),
  };
  const std::string foreign = Aged("notes.txt", hours(24 * 400));

  cache::Prune(Cache());

  for (const std::string& path : {kept_entry, kept_memo, kept_ratings, fresh_temporary, foreign})
    EXPECT_TRUE(fs::exists(path)) << path;
  for (const std::string& path : {gone_entry, stale, old_memo, old_ratings})
    EXPECT_FALSE(fs::exists(path)) << path;
  for (const std::string& path : temporaries) EXPECT_FALSE(fs::exists(path)) << path;
}

}  // namespace
}  // namespace barvik
