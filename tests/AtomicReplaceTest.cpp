// Replacing a file atomically: the target holds the old bytes or the new ones whole, and no
// temporary file is left behind whether the writer finishes, gives up or cannot start.
#include "core/AtomicReplace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/TempFolder.h"

namespace barvik {
namespace {

namespace fs = std::filesystem;

class AtomicReplaceTest : public testing::TempFolderTest {
 protected:
  std::string Read(const std::string& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
  }
  size_t FileCount() {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_)) ++n;
    return n;
  }
};

TEST_F(AtomicReplaceTest, StreamedPiecesReplaceTheFileAndAWriterThatGivesUpChangesNothing) {
  const std::string path = Write("file", "old");
  ASSERT_TRUE(ReplaceFileStreamed(
      path, [](const ByteSink& sink) { return sink("ne", 2) && sink("w", 1); }));
  EXPECT_EQ(Read(path), "new");
  EXPECT_FALSE(ReplaceFileStreamed(path, [](const ByteSink& sink) {
    sink("half", 4);
    return false;
  }));
  EXPECT_EQ(Read(path), "new");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AtomicReplaceTest, AMissingFolderOrAFolderInThePlaceFailsWithTheReason) {
  errno = 0;
  EXPECT_FALSE(ReplaceFileWhole((dir_ / "missing" / "file").string(), "x"));
  EXPECT_EQ(errno, ENOENT);
  fs::create_directory(dir_ / "folder");
  errno = 0;
  EXPECT_FALSE(ReplaceFileWhole((dir_ / "folder").string(), "x"));
  EXPECT_NE(errno, 0);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_EQ(FileCount(), 1u);
}

}  // namespace
}  // namespace barvik
