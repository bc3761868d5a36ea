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

}  // namespace
}  // namespace barvik
