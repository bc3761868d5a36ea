// Replacing a file atomically: the target holds the old bytes or the new ones whole, and no
// temporary file is left behind whether the writer finishes, gives up or cannot start. Then
// core's other file helpers: the scratch file, positioned reads and the hashing piece writer.
#include "core/AtomicReplace.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/HashedPieces.h"
#include "core/ScratchFile.h"
#include "core/StableHash.h"
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

// A scratch file hands back what was appended, from any offset; a read past its end fails and
// leaves the text it was to extend as it was. A folder that cannot hold one refuses the bytes.
TEST_F(AtomicReplaceTest, AScratchFileReadsBackWhatWasAppended) {
  ScratchFile file(dir_.string());
  ASSERT_EQ(file.Append("first,"), std::optional<uint64_t>(0));
  const std::string long_piece(200000, 'x');
  ASSERT_EQ(file.Append(long_piece), std::optional<uint64_t>(6));
  std::string into = ">";
  EXPECT_TRUE(ReadFileAt(file.fd(), 2, 4, into));
  EXPECT_TRUE(ReadFileAt(file.fd(), 6, long_piece.size(), into));
  EXPECT_EQ(into, ">rst," + long_piece);
  EXPECT_FALSE(ReadFileAt(file.fd(), 6, long_piece.size() + 1, into));
  EXPECT_EQ(into.size(), 5 + long_piece.size());
  EXPECT_EQ(FileCount(), 0u);  // it has no name

  ScratchFile nowhere((dir_ / "missing").string());
  EXPECT_EQ(nowhere.Append("x"), std::nullopt);
  EXPECT_EQ(nowhere.fd(), -1);
}

// A long text handed on in pieces of whole words, with the hash of all of it at once; a sink
// that fails stops the rest.
TEST(HashedPiecesTest, PiecesAreWholeWordsAndTheHashIsTheWholeTextsHash) {
  std::string made, handed;
  std::vector<size_t> sizes;
  HashedPieces pieces([&](std::string_view piece) {
    handed += piece;
    sizes.push_back(piece.size());
    return true;
  });
  for (int i = 0; i < 20000; ++i) {
    const std::string text = std::to_string(i * 7919) + (i % 3 == 0 ? "," : ";\n");
    pieces.out() += text;
    made += text;
    pieces.Flush();
    if (i % 5000 == 0) {
      const std::string block(70000 + static_cast<size_t>(i), static_cast<char>('a' + i % 26));
      pieces.Append(block);
      made += block;
    }
  }
  const uint64_t hash = pieces.Seal();
  pieces.out() += "check";
  EXPECT_TRUE(pieces.Finish());
  EXPECT_EQ(handed, made + "check");
  EXPECT_EQ(hash, StableHash().Bytes(made).value());
  ASSERT_GT(sizes.size(), 3u);
  for (size_t k = 0; k + 1 < sizes.size(); ++k) EXPECT_EQ(sizes[k] % 8, 0u) << k;

  int calls = 0;
  HashedPieces failing([&](std::string_view) { return ++calls < 2; });
  failing.Append(std::string(300000, 'z'));
  failing.Seal();
  EXPECT_FALSE(failing.Finish());
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace barvik
