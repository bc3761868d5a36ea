// The events a log turns into: line indexes across skipped lines and files, the names of team
// results, the keys of each name-option state against the line accessors, and records at the
// edges of their compact forms, through the cache file and the joining of stores.
#include "log/EventStore.h"

#include <gtest/gtest.h>

#include <optional>

#include "log/CacheFormat.h"
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
  // gaps between his records are short and long; Bob kills himself now and then. Then a
  // burst of Al's pick-ups makes his gaps short on average, so the long gap after it takes
  // hundreds of bits.
  std::string text;
  for (int chats : {0, 0, 60, 100, 9000, 100000, 1}) {
    for (int i = 0; i < chats; ++i) text += "0:01 say;1;0;Cy;hi\n";
    text += "0:02 Weapon;1;0;Al;mp40\n";
    if (chats % 2 == 0) text += "0:03 K;1;0;allies;Bob;2;0;allies;Bob;mp40;10;MOD;head\n";
  }
  for (int i = 0; i < 3000; ++i) text += "0:04 Weapon;1;0;Al;mp40\n";
  for (int i = 0; i < 50000; ++i) text += "0:05 say;1;0;Cy;hi\n";
  text += "0:06 Weapon;1;0;Al;mp40\n";
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

EventStore StoreOf(const std::string& text) {
  EventStore store;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    store.AddLine(std::string_view(text).substr(at, end - at));
    at = end + 1;
  }
  store.Finish();
  return store;
}

std::string Joined(std::initializer_list<std::string_view> fields) {
  std::string out;
  for (std::string_view f : fields) out.append(out.empty() ? "" : ";").append(f);
  return out;
}

// Every hit, pick-up, join and quit event from line `from` on as the fields of its line, and
// the words each of those records takes (but the last event's).
struct Records {
  std::vector<std::string> lines;
  std::vector<uint32_t> words;
};
Records RecordsOf(const EventStore& store, uint64_t from = 0) {
  Records records;
  const TextPool& texts = store.texts();
  std::optional<uint32_t> last;
  store.ForEach([&](const EventView& e) {
    if (last) records.words.push_back(e.position - *last);
    last.reset();
    if (e.line < from) return;
    const EventView copy = e;  // a copy reads its own words
    switch (e.kind) {
      case LineKind::Damage:
      case LineKind::Kill: {
        const HitFields h = ReadHitFields(copy);
        records.lines.push_back(Joined(
            {texts.Text(copy.ids[0]), texts.Text(copy.ids[1]), texts.Text(copy.ids[2]),
             texts.Text(copy.ids[3]), store.settings().Text(h.means), std::to_string(h.victim_team),
             std::to_string(h.attacker_team), std::to_string(h.victim_slot),
             std::to_string(h.attacker_slot), std::to_string(h.damage)}));
        break;
      }
      case LineKind::WeaponPickUp:
        records.lines.push_back(Joined({"P", texts.Text(copy.ids[0]), texts.Text(copy.ids[1])}));
        break;
      case LineKind::Join:
      case LineKind::Quit:
        records.lines.push_back(
            Joined({e.kind == LineKind::Join ? "J" : "Q", texts.Text(copy.ids[0]),
                    store.settings().Text(JoinGuid(copy)), std::to_string(JoinSlot(copy))}));
        break;
      default:
        return;
    }
    last = e.position;
  });
  return records;
}

std::string Hit(std::string_view victim, std::string_view attacker, std::string_view weapon,
                std::string_view location, std::string_view means) {
  return Joined({"0:05 K", "-1", "127", "axis", victim, "200", "-128", "allies", attacker, weapon,
                 "65535", means, location}) +
         "\n";
}

std::string Numbered(std::string prefix, int i) { return prefix.append(std::to_string(i)); }

std::string PickUp(std::string_view name, std::string_view weapon) {
  return Joined({"0:04 Weapon", "1", "0", name, weapon}) + "\n";
}

// n distinct texts of a prefix, one join line each.
std::string Joins(const std::string& prefix, int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text.append("0:01 J;1;0;").append(Numbered(prefix, i)).append("\n");
  return text;
}

TEST(EventStoreTest, RecordsAtTheEdgesOfTheirCompactFormsComeBackAsTheirLines) {
  // Names by text id: "" is 0, j0..j65533 are 1..65534, so "A" is 65535 and "B" 65536. The
  // joins take the 65536 (name, GUID) codes there are, B's the last. The 4096th weapon, the
  // 256th location and means still take a code, the next ones do not.
  const std::string head = Joins("j", 65534) + "0:02 J;1;0;A\n0:02 J;1;0;B\n";
  std::string text = head;
  for (int i = 0; i < 4096; ++i) text += Hit("A", "A", Numbered("w", i), "l0", "m0");
  for (int i = 0; i < 256; ++i) text += Hit("A", "A", "w0", Numbered("l", i), "m0");
  for (int i = 0; i < 256; ++i) text += Hit("A", "A", "w0", "l0", Numbered("m", i));
  const std::string compact[] = {Hit("A", "A", "w4095", "l255", "m255"),
                                 Hit("j0", "A", "w1", "l1", "m1"),
                                 PickUp("A", "A"),
                                 PickUp("j0", "j1"),
                                 "0:03 J;1;-128;B\n",
                                 "0:03 Q;1;127;A\n"};
  const std::string full[] = {Hit("B", "A", "w0", "l0", "m0"),
                              Hit("A", "B", "w0", "l0", "m0"),
                              Hit("A", "A", "w4096", "l0", "m0"),
                              Hit("A", "A", "w0", "l256", "m0"),
                              Hit("A", "A", "w0", "l0", "m256"),
                              PickUp("B", "A"),
                              PickUp("A", "B"),
                              "0:03 J;2;-1;A\n"};
  std::string tail;
  for (const std::string& line : compact) tail += line;
  for (const std::string& line : full) tail += line + line;  // values without a code stay full
  const uint64_t tail_line = 65536 + 4096 + 256 + 256;
  text += tail + "0:09 say;1;0;A;bye\n";
  const EventStore store = StoreOf(text);
  const Records records = RecordsOf(store, tail_line);
  EXPECT_EQ(records.words, (std::vector<uint32_t>{4, 4, 2, 2, 2, 2, 7, 7, 7, 7, 7,
                                                  7, 7, 7, 7, 7, 3, 3, 3, 3, 4, 4}));
  const Records expected = RecordsOf(StoreOf(head + tail), 65536);
  EXPECT_EQ(records.lines, expected.lines);
  EXPECT_EQ(records.lines[1], "j0;A;w1;l1;m1;2;1;127;-128;65535");
  EXPECT_EQ(records.lines[4], "J;B;1;-128");
  EXPECT_EQ(records.lines[5], "Q;A;1;127");
  EXPECT_EQ(records.lines.back(), "J;A;2;-1");

  // The cache file brings back the same records, whole and at its split point.
  const std::string bytes = CacheBytesOf(store);
  for (bool at_split : {false, true}) {
    const std::optional<EventStore> back = StoreFromCacheBytes(bytes, at_split);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(back->SameAs(store));
    EXPECT_EQ(RecordsOf(*back, tail_line).lines, records.lines);
  }
}

TEST(EventStoreTest, JoinedStoresCodeTheirRecordsAsOneReadingWould) {
  // The second part's names get ids past 65535 once joined, its weapons other codes, and the
  // (name, GUID) pairs of the first part's joins are known there.
  const std::string head = Joins("j", 65530) + Hit("j1", "j2", "w1", "l1", "m1");
  const std::string part = Hit("x", "j1", "w2", "l2", "m2") + Hit("x", "j1", "w2", "l2", "m2") +
                           Hit("j1", "j2", "w1", "l1", "m1") + Joins("k", 9) +
                           Hit("j3", "j4", "w2", "l1", "m2") + Hit("k8", "j4", "w2", "l1", "m2") +
                           Hit("j1", "j2", "w1", "l1", "m1") + PickUp("k8", "j1") +
                           "0:05 Q;1;3;j3\n" + PickUp("x", "w2") + "0:09 say;1;0;A;bye\n";
  EventStore joined = StoreOf(head);
  joined.AppendStore(StoreOf(part));
  const EventStore whole = StoreOf(head + part);
  EXPECT_TRUE(joined.SameAs(whole));
  EXPECT_EQ(RecordsOf(joined).lines, RecordsOf(whole).lines);
  const std::vector<uint32_t> nine_joins(9, 4);
  std::vector<uint32_t> words{7, 7, 4, 4};
  words.insert(words.end(), nine_joins.begin(), nine_joins.end());
  words.insert(words.end(), {4, 7, 4, 3, 2, 2});
  EXPECT_EQ(RecordsOf(whole, 65530).words, words);
  // Alone, "k8" fitted and j3's pair was new.
  words = {7, 4, 7};
  words.insert(words.end(), nine_joins.begin(), nine_joins.end());
  words.insert(words.end(), {4, 4, 4, 2, 4, 2});
  EXPECT_EQ(RecordsOf(StoreOf(part)).words, words);

  // Pieces of one store put together in another order read as their lines in that order, the
  // lines of other kinds between them counted with their piece.
  const std::string late = part + "junk\njunk\n";
  const EventStore source = StoreOf(head + "junk\n" + late);
  const uint32_t cut = StoreOf(head + "junk\n").EndPosition();
  EventStore swapped;
  const EventStore::Renumbering ids = swapped.Adopt(source);
  swapped.AppendRange(source, ids, cut, source.EndPosition());
  swapped.AppendRange(source, ids, 0, cut);
  const EventStore expected = StoreOf(late + head + "junk\n");
  EXPECT_EQ(RecordsOf(swapped).lines, RecordsOf(expected).lines);
  EXPECT_EQ(swapped.LineCount(), expected.LineCount());
}

// Payloads whose hashes match but whose records no writer makes.
TEST(EventStoreTest, CheckedReaderRefusesASlotNoLineGivesAndACompactChatLine) {
  const std::string bytes = CacheBytesOf(StoreOf("0:01 J;1;77;Al\n0:02 say;1;0;Al;hi\n"));
  ASSERT_TRUE(StoreFromCacheBytes(bytes, false).has_value());
  std::string slot = bytes;
  const size_t at = slot.rfind(std::string("\x4D\0\0\0", 4));  // the slot word
  ASSERT_NE(at, std::string::npos);
  slot[at] = static_cast<char>(200);
  std::string chat = bytes;
  chat[at + 4] = static_cast<char>(chat[at + 4] | 0x80);  // the say record's kind
  for (std::string* bad : {&slot, &chat}) {
    RepairCacheChecksums(*bad);
    EXPECT_FALSE(StoreFromCacheBytes(*bad, false).has_value());
  }
}

}  // namespace
}  // namespace barvik
