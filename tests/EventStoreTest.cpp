// The events a log turns into: line indexes across skipped lines and files, the names of team
// results, and the keys of each name-option state against the line accessors.
#include "log/EventStore.h"

#include <gtest/gtest.h>

#include "log/LogFile.h"

namespace barvik {
namespace {

TEST(EventStoreTest, EventsKeepTheirLineIndexAcrossOtherLinesAndFiles) {
  LogFile log = LogFile::FromTexts({"x\n0:01 J;1;0;Al\nExitLevel\nfoo\n0:02 Q;1;0;Al", "",
                                    "0:03 W;axis\n0:04 L;allies;1;Bob;2;;3;Zed\n"});
  std::vector<std::pair<LineKind, uint64_t>> seen;
  std::vector<uint32_t> team_sizes;
  log.events().ForEach([&](const EventView& e) {
    seen.emplace_back(e.kind, e.line);
    if (e.kind == LineKind::Win || e.kind == LineKind::Loss) team_sizes.push_back(e.count);
    EXPECT_EQ(log.events().LineAt(e.position), e.line);
  });
  EXPECT_EQ(
      seen,
      (std::vector<std::pair<LineKind, uint64_t>>{
          {LineKind::Join, 1}, {LineKind::Quit, 4}, {LineKind::Win, 5}, {LineKind::Loss, 6}}));
  EXPECT_EQ(team_sizes, (std::vector<uint32_t>{0, 1}));  // a result without names too
  EXPECT_EQ(log.LineCount(), 7u);
}

// Past a few MB the buffer moves into a mapping of its own: the words survive the move, the
// growth after it, a shrink to whole pages and a move of the buffer.
TEST(EventStoreTest, WordBufferKeepsItsWordsAcrossItsOwnMapping) {
  WordBuffer words;
  const size_t count = (size_t{12} << 20) / sizeof(uint32_t) + 3;  // past 4 MB, twice over
  for (size_t i = 0; i < count; ++i) {
    const auto word = static_cast<uint32_t>(i * 2654435761u);
    words.Append(&word, 1);
  }
  words.Truncate(count - 1);
  words.ShrinkToFit();
  *words.Extend(1) = 7;
  WordBuffer moved;
  moved = std::move(words);
  ASSERT_EQ(moved.size(), count);
  EXPECT_EQ(words.size(), 0u);
  for (size_t i = 0; i + 1 < count; ++i) {
    ASSERT_EQ(moved.data()[i], static_cast<uint32_t>(i * 2654435761u)) << i;
  }
  EXPECT_EQ(moved.data()[count - 1], 7u);
}

TEST(EventStoreTest, KeysOfEachOptionStateAreTheNormalisedTexts) {
  const char* texts[] = {"^1Big^7BOB", "Bob^", "^^1x", "^1^2", "J\xC9R\xD4ME", "", "plain"};
  std::string log_text;
  for (const char* t : texts) log_text += std::string("0:01 J;1;0;") + t + "\n";
  LogFile log = LogFile::FromText(log_text);
  for (int flags = 0; flags < 4; ++flags) {
    log.IgnoreCase = flags & 1;
    log.IgnoreColors = flags & 2;
    const NameForms& forms = log.Forms();
    for (const char* t : texts) {
      const uint32_t raw = log.events().texts().Find(t);
      ASSERT_NE(raw, TextPool::kNone) << t;
      EXPECT_EQ(forms.pool().Text(forms.Name(raw)), log.NormaliseName(t)) << t << " " << flags;
      // The raw texts of a key are those that normalise to it.
      bool listed = false;
      for (uint32_t r : forms.RawOf(forms.Name(raw))) listed |= r == raw;
      EXPECT_TRUE(listed) << t;
    }
  }
  EXPECT_TRUE(log.Forms().RawOf(KeyPool::kNone).empty());
}

TEST(EventStoreTest, PlayerIndexListsEveryRecordOfANameAcrossLongGaps) {
  // Al's pick-ups with 0 to 100,000 chat lines (two words each) between them, so that the
  // gaps between his records take one to three bytes; Bob kills himself now and then.
  std::string text;
  for (int chats : {0, 0, 60, 100, 9000, 100000, 1}) {
    for (int i = 0; i < chats; ++i) text += "0:01 say;1;0;Cy;hi\n";
    text += "0:02 Weapon;1;0;Al;mp40\n";
    if (chats % 2 == 0) text += "0:03 K;1;0;allies;Bob;2;0;allies;Bob;mp40;10;MOD;head\n";
  }
  LogFile log = LogFile::FromText(text);
  const EventStore& store = log.events();
  const uint32_t al = store.texts().Find("Al");
  const uint32_t bob = store.texts().Find("Bob");
  std::vector<uint32_t> al_records, both;
  store.ForEach([&](const EventView& e) {
    if (e.kind == LineKind::WeaponPickUp) al_records.push_back(e.position);
    if (e.kind == LineKind::WeaponPickUp || e.kind == LineKind::Kill) both.push_back(e.position);
  });
  const PlayerIndex index(store);
  EXPECT_EQ(index.Merge(std::vector<uint32_t>{al}), al_records);
  EXPECT_EQ(index.Merge(std::vector<uint32_t>{bob, al}), both);
  EXPECT_EQ(index.Merge(std::vector<uint32_t>{store.texts().Find("Cy")}).size(), 0u);
}

}  // namespace
}  // namespace barvik
