// The stream hash that checks a cache file's payload: it must not depend on how the stream
// is cut (the writer hands it text by text, the reader pool by pool), and must see a changed
// bit, a moved byte and a stream cut short or grown by zero bytes.
#include "core/Checksum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace barvik {
namespace {

uint64_t HashInPieces(const std::string& bytes, size_t piece) {
  StreamHash hash;
  hash.Update(nullptr, 0);  // an empty vector's data, as the cache reader hands it
  for (size_t at = 0; at < bytes.size(); at += piece) {
    hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
  return hash.Final();
}

TEST(ChecksumTest, StreamHashIsTheSameHoweverCutAndSeesEveryChange) {
  std::string bytes;
  for (int i = 0; i < 1000; ++i) bytes += static_cast<char>(i * 7 + i / 13);
  const uint64_t whole = HashInPieces(bytes, bytes.size());
  for (size_t piece : {1, 3, 7, 8, 9, 64, 999}) EXPECT_EQ(HashInPieces(bytes, piece), whole);
  EXPECT_NE(HashInPieces(bytes + '\0', 5), whole);
  EXPECT_NE(HashInPieces(bytes.substr(0, 999), 5), whole);
  std::string swapped = bytes;
  std::swap(swapped[100], swapped[101]);
  EXPECT_NE(HashInPieces(swapped, 5), whole);
  for (size_t at : {0, 7, 8, 500, 999}) {
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 0x40);
    EXPECT_NE(HashInPieces(changed, 5), whole) << at;
  }
  EXPECT_NE(StreamHash().Final(), HashInPieces(std::string(8, '\0'), 8));
}

}  // namespace
}  // namespace barvik
