#include "log/EventStore.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>

#include <sys/mman.h>

#include "core/Checksum.h"
#include "log/FieldCursor.h"
#include "log/LineFormat.h"
#include "log/LineLayout.h"

namespace barvik {

namespace {

constexpr size_t kPage = 4096;
// From this size on a buffer has a mapping of its own, so that it grows without a copy (the
// kernel moves its pages) and can ask for huge pages.
constexpr size_t kMapFrom = size_t{4} << 20;

size_t RoundToPages(size_t bytes) { return (bytes + kPage - 1) & ~(kPage - 1); }

}  // namespace

WordBuffer& WordBuffer::operator=(WordBuffer&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

void WordBuffer::Release() noexcept {
  if (mapped_) {
    munmap(data_, capacity_ * sizeof(uint32_t));
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  capacity_ = 0;
  mapped_ = false;
}

void WordBuffer::Append(const uint32_t* words, size_t count) {
  if (count == 0) return;  // a Win or Loss line without names
  std::memcpy(Extend(count), words, count * sizeof(uint32_t));
}

uint32_t* WordBuffer::Extend(size_t count) {
  if (size_ + count > capacity_) {
    const size_t capacity = std::max<size_t>({size_ + count, capacity_ + capacity_ / 2, 1 << 14});
    if (capacity * sizeof(uint32_t) < kMapFrom) {
      void* grown = std::realloc(data_, capacity * sizeof(uint32_t));
      if (grown == nullptr) throw std::bad_alloc();
      data_ = static_cast<uint32_t*>(grown);
      capacity_ = capacity;
    } else {
      Map(RoundToPages(capacity * sizeof(uint32_t)));
    }
  }
  uint32_t* at = data_ + size_;
  size_ += count;
  return at;
}

void WordBuffer::Map(size_t bytes) {
  void* to = MAP_FAILED;
  if (mapped_) {
    to = mremap(data_, capacity_ * sizeof(uint32_t), bytes, MREMAP_MAYMOVE);
    if (to == MAP_FAILED) throw std::bad_alloc();
  } else {
    to = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (to == MAP_FAILED) throw std::bad_alloc();
    // Filling tens of MB page by page costs a fault every 4 kB, a sizeable part of reading
    // the event cache; backed by huge pages it is one every 2 MB. Only a hint: kernels that do
    // not offer them ignore it. The mapping keeps it as it grows.
    madvise(to, bytes, MADV_HUGEPAGE);
    if (size_ != 0) std::memcpy(to, data_, size_ * sizeof(uint32_t));
    std::free(data_);
    mapped_ = true;
  }
  data_ = static_cast<uint32_t*>(to);
  capacity_ = bytes / sizeof(uint32_t);
}

void WordBuffer::ShrinkToFit() {
  if (size_ == capacity_ || size_ == 0) return;
  if (mapped_) {
    // Only whole pages go back; shrinking in place never moves the words.
    const size_t bytes = RoundToPages(size_ * sizeof(uint32_t));
    if (bytes < capacity_ * sizeof(uint32_t) &&
        mremap(data_, capacity_ * sizeof(uint32_t), bytes, 0) != MAP_FAILED) {
      capacity_ = bytes / sizeof(uint32_t);
    }
    return;
  }
  if (void* shrunk = std::realloc(data_, size_ * sizeof(uint32_t))) {
    data_ = static_cast<uint32_t*>(shrunk);
    capacity_ = size_;
  }
}

EventStore::EventStore() {
  texts_.Intern("");  // kEmptyText
}

void EventStore::Append(std::initializer_list<uint32_t> words) {
  // Record positions are 32-bit.
  if (words_.size() + words.size() >= UINT32_MAX) {
    throw std::length_error("the logs hold too many events");
  }
  words_.Append(words.begin(), words.size());
}

void EventStore::FlushSkips() {
  if (skipped_ > 0) {
    Append({kSkipKind | (skipped_ << 8)});
    skipped_ = 0;
  }
}

void EventStore::AddLine(std::string_view line) {
  using namespace layout;
  ++lines_;
  // Field 1 gives the kind; then only the fields that kind carries are split off.
  FieldCursor cursor(line);
  std::string_view f[kHitFieldCount];
  f[0] = cursor.Next();
  const LineKind kind = KindOfField1(f[kKindField - 1]);
  int needed = 0;
  switch (kind) {
    case LineKind::Join:
    case LineKind::Quit:
    case LineKind::Say:
    case LineKind::SayTeam:
    case LineKind::Item:
      needed = kNameLineName;
      break;
    case LineKind::Action:
      needed = kActionWord;
      break;
    case LineKind::WeaponPickUp:
      needed = kPickUpWeapon;
      break;
    case LineKind::Damage:
    case LineKind::Kill:
      needed = kHitFieldCount;
      break;
    default:
      break;
  }
  for (int i = 1; i < needed; ++i) f[i] = cursor.Next();
  if (kind == LineKind::Other) {
    const std::optional<GameEndHow> end = GameEndOfField1(f[kKindField - 1]);
    if (!end) {
      if (++skipped_ == kMaxSkip) FlushSkips();
      return;
    }
    FlushSkips();
    Append({Header(LineKind::GameEnd, line), static_cast<uint32_t>(*end)});
    return;
  }
  FlushSkips();
  const uint32_t header = Header(kind, line);
  auto text = [&](int field) { return texts_.Intern(f[field - 1]); };
  auto setting = [&](std::string_view value) { return settings_.Intern(value); };
  switch (kind) {
    case LineKind::GameInit: {
      const std::string_view field1 = f[kKindField - 1];
      game_inits_.push_back(static_cast<uint32_t>(words_.size()));
      Append({header, setting(GameInitValue(field1, kMapKey)),
              setting(GameInitValue(field1, kGameTypeKey)),
              setting(GameInitValue(field1, kHostNameKey)),
              setting(GameInitValue(field1, kGameNameKey)), setting(ClockCvars(field1)),
              UnixStamp(line).value_or(0)});
      return;
    }
    case LineKind::Join:
    case LineKind::Quit: {
      const uint32_t join[] = {header, text(kNameLineName), setting(f[kJoinGuid - 1]),
                               static_cast<uint32_t>(SlotOfField(f[kJoinSlot - 1]))};
      AppendRecord(join, std::size(join));
      return;
    }
    case LineKind::Say:
    case LineKind::SayTeam:
    case LineKind::Item:
      Append({header, text(kNameLineName)});
      return;
    case LineKind::Action:
      Append({header, text(kActionName), setting(f[kActionWord - 1])});
      return;
    case LineKind::WeaponPickUp: {
      const uint32_t pick_up[] = {header, text(kPickUpName), text(kPickUpWeapon)};
      AppendRecord(pick_up, std::size(pick_up));
      return;
    }
    case LineKind::Damage:
    case LineKind::Kill: {
      const uint32_t means = setting(f[kHitMeans - 1]);
      if (means > kMeansMask) throw std::length_error("the logs hold too many distinct texts");
      const uint32_t teams =
          TeamCodeOfField(f[kHitVictimTeam - 1]) | TeamCodeOfField(f[kHitAttackerTeam - 1]) << 2;
      auto slot_byte = [](std::string_view field) {
        return static_cast<uint32_t>(static_cast<uint8_t>(static_cast<int8_t>(SlotOfField(field))));
      };
      const uint32_t hit[kHitWords] = {header,
                                       text(kHitVictim),
                                       text(kHitAttacker),
                                       text(kHitWeapon),
                                       text(kHitLocation),
                                       means | teams << 28,
                                       DamageOfField(f[kHitDamage - 1]) |
                                           slot_byte(f[kHitVictimSlot - 1]) << 16 |
                                           slot_byte(f[kHitAttackerSlot - 1]) << 24};
      AppendRecord(hit, kHitWords);
      return;
    }
    case LineKind::Win:
    case LineKind::Loss: {
      // The names up to the first empty field; a name that normalising empties ends the list
      // earlier, which the passes see.
      FieldCursor names(line);
      std::string_view team;
      for (int i = 1; i < kTeamFirstName; ++i) {
        const std::string_view field = names.Next();
        if (i == kTeamField) team = field;
      }
      team_.clear();
      for (;;) {
        std::string_view name = names.Next();
        if (name.empty()) break;
        team_.push_back(texts_.Intern(name));
        for (int i = 1; i < kTeamNameStep; ++i) names.Next();
      }
      team_.push_back(setting(team));
      Append({header, static_cast<uint32_t>(team_.size() - 1)});
      words_.Append(team_.data(), team_.size());
      return;
    }
    case LineKind::Other:
    case LineKind::GameEnd:
      return;
  }
}

uint32_t EventStore::Compact(const uint32_t* r, uint32_t (&packed)[kCompactWords]) {
  packed[0] = r[0] | kCompactFlag;
  bool fresh = false;
  switch (static_cast<LineKind>(r[0] & 0xFF)) {
    case LineKind::WeaponPickUp:
      if (r[1] > 0xFFFF || r[2] > 0xFFFF) return 0;
      packed[1] = r[1] | r[2] << 16;
      return 2;
    case LineKind::Join:
    case LineKind::Quit: {
      const uint32_t code = joins_.Code(r[1], r[2], fresh);
      if (fresh || code == PairCodes::kNone) return 0;
      packed[1] = code | (r[3] & 0xFF) << 24;  // the slot is a signed byte
      return 2;
    }
    case LineKind::Damage:
    case LineKind::Kill: {
      // All three codes are taken, whatever the first gives, so that a reader walking the
      // full records takes the same ones.
      const uint32_t weapon = weapons_.Code(r[3], fresh);
      const uint32_t location = locations_.Code(r[4], fresh);
      const uint32_t means = means_.Code(r[5] & kMeansMask, fresh);
      if (fresh || weapon == HitCodes::kNone || location == HitCodes::kNone ||
          means == HitCodes::kNone || r[1] > 0xFFFF || r[2] > 0xFFFF) {
        return 0;
      }
      packed[1] = r[1] | r[2] << 16;
      packed[2] = weapon | location << 12 | means << 20 | (r[5] & ~kMeansMask);
      packed[3] = r[6];
      return kCompactWords;
    }
    default:
      return 0;
  }
}

void EventStore::AppendRecord(const uint32_t* r, size_t size) {
  uint32_t packed[kCompactWords];
  if (const uint32_t compact = Compact(r, packed); compact != 0) {
    r = packed;
    size = compact;
  }
  // Record positions are 32-bit.
  if (words_.size() + size >= UINT32_MAX) throw std::length_error("the logs hold too many events");
  words_.Append(r, size);
}

const uint32_t* EventStore::FullRecord(const uint32_t* r, uint32_t (&scratch)[kHitWords]) const {
  if ((r[0] & kCompactFlag) == 0) return r;
  EventView e{};  // the held words a short record leaves unset read as 0
  Decode(static_cast<uint32_t>(r - words_.data()), e);
  scratch[0] = r[0] & ~kCompactFlag;
  std::copy_n(e.held, EventView::kHeldWords, scratch + 1);
  return scratch;
}

uint32_t EventStore::Header(LineKind kind, std::string_view line) {
  const std::optional<uint32_t> stamp = StampSeconds(line);
  const uint32_t time = stamp ? std::min(*stamp, kMaxTime) : kNoTime;
  return static_cast<uint32_t>(kind) | time << 8;
}

void EventStore::Finish() {
  words_.ShrinkToFit();
  game_inits_.shrink_to_fit();
}

void EventStore::AddSkipped(uint64_t count) {
  // As that many lines of other kinds one by one: a full skip record at every kMaxSkip.
  uint64_t total = skipped_ + count;
  while (total >= kMaxSkip) {
    skipped_ = kMaxSkip;
    FlushSkips();
    total -= kMaxSkip;
  }
  skipped_ = static_cast<uint32_t>(total);
}

bool EventStore::HasKnownLines() const {
  const uint32_t* w = words_.data();
  uint32_t scratch[kHitWords];
  for (size_t p = 0; p < words_.size(); p += RecordWords(w + p)) {
    if ((w[p] & 0xFF) == kSkipKind) continue;
    const uint32_t* r = FullRecord(w + p, scratch);
    if (static_cast<LineKind>(r[0] & 0xFF) == LineKind::GameInit) return true;
    const IdWords ids = IdsOf(r);
    for (size_t i = ids.text_first; i < ids.text_last; ++i) {
      if (r[i] != kEmptyText) return true;
    }
  }
  return false;
}

EventStore::Mark EventStore::Here() const {
  return {words_.size(), lines_, static_cast<uint32_t>(texts_.size()),
          static_cast<uint32_t>(settings_.size()), skipped_};
}

std::optional<uint64_t> EventStore::PrefixHash(uint32_t position, uint32_t texts,
                                               uint32_t settings) const {
  if (position > words_.size() || texts > texts_.size() || settings > settings_.size()) {
    return std::nullopt;
  }
  StreamHash hash;
  hash.Update(words_.data(), size_t{position} * sizeof(uint32_t));
  for (const TextPool* pool : {&texts_, &settings_}) {
    const uint32_t count = pool == &texts_ ? texts : settings;
    for (uint32_t id = 0; id < count; ++id) {
      const std::string_view text = pool->Text(id);
      const auto size = static_cast<uint32_t>(text.size());
      hash.Update(&size, sizeof size);
      hash.Update(text.data(), text.size());
    }
  }
  return hash.Final();
}

void EventStore::AppendStore(const EventStore& other) {
  const uint64_t lines = lines_ + other.lines_;
  AppendRange(other, Adopt(other), 0, other.EndPosition());
  lines_ = lines;
}

EventStore::Renumbering EventStore::Adopt(const EventStore& other) {
  // Interning the other store's texts in its id order, which is their order of first use in
  // its lines, numbers the new ones as reading those lines here would.
  Renumbering ids;
  ids.texts.resize(other.texts_.size());
  for (uint32_t id = 0; id < ids.texts.size(); ++id) {
    ids.texts[id] = texts_.Intern(other.texts_.Text(id));
  }
  ids.settings.resize(other.settings_.size());
  for (uint32_t id = 0; id < ids.settings.size(); ++id) {
    ids.settings[id] = settings_.Intern(other.settings_.Text(id));
  }
  return ids;
}

void EventStore::AppendRange(const EventStore& other, const Renumbering& ids, uint32_t begin,
                             uint32_t end) {
  // Records are copied as full words and coded again here: a renumbered id may no longer
  // fit a compact form, or now fit it, and the codes are this store's.
  const uint32_t* w = other.words_.data();
  std::vector<uint32_t>& record = team_;
  uint32_t scratch[kHitWords];
  for (size_t p = begin; p < end;) {
    if ((w[p] & 0xFF) == kSkipKind) {
      AddSkipped(w[p] >> 8);
      lines_ += w[p] >> 8;
      ++p;
      continue;
    }
    FlushSkips();
    const uint32_t* r = other.FullRecord(w + p, scratch);
    const IdWords id_words = IdsOf(r);
    record.assign(r, r + RecordWords(r));
    for (size_t i = id_words.text_first; i < id_words.text_last; ++i) {
      record[i] = ids.texts[record[i]];
    }
    const bool hit = IsHit(record[0] & 0xFF);
    for (size_t i = id_words.setting_first; i < id_words.setting_last; ++i) {
      // The means of death shares its word with the team codes.
      const uint32_t mask = hit ? kMeansMask : UINT32_MAX;
      const uint32_t id = ids.settings[record[i] & mask];
      if (id > mask) throw std::length_error("the logs hold too many distinct texts");
      record[i] = (record[i] & ~mask) | id;
    }
    if (static_cast<LineKind>(record[0] & 0xFF) == LineKind::GameInit) {
      game_inits_.push_back(static_cast<uint32_t>(words_.size()));
    }
    AppendRecord(record.data(), record.size());
    ++lines_;
    p += RecordWords(w + p);
  }
  if (end == other.EndPosition()) {
    AddSkipped(other.skipped_);
    lines_ += other.skipped_;
  }
}

bool EventStore::SameAs(const EventStore& other) const {
  auto same_pool = [](const TextPool& a, const TextPool& b) {
    if (a.size() != b.size()) return false;
    for (uint32_t id = 0; id < a.size(); ++id) {
      if (a.Text(id) != b.Text(id)) return false;
    }
    return true;
  };
  return lines_ == other.lines_ && skipped_ == other.skipped_ &&
         words_.size() == other.words_.size() &&
         std::equal(words_.data(), words_.data() + words_.size(), other.words_.data()) &&
         game_inits_ == other.game_inits_ && same_pool(texts_, other.texts_) &&
         same_pool(settings_, other.settings_);
}

uint64_t EventStore::LineAt(uint32_t position) const {
  uint64_t found = 0;
  ForEach([&](const EventView& e) {
    if (e.position == position) found = e.line;
  });
  return found;
}

size_t EventStore::MemoryBytes() const {
  return words_.size() * sizeof(uint32_t) + texts_.MemoryBytes() + settings_.MemoryBytes() +
         game_inits_.capacity() * sizeof(uint32_t) + weapons_.MemoryBytes() +
         locations_.MemoryBytes() + means_.MemoryBytes() + joins_.MemoryBytes();
}

NameForms::NameForms(const EventStore& store, bool ignore_case, bool ignore_colors)
    : pool_(std::make_shared<KeyPool>()) {
  pool_->Intern("");  // kEmpty
  std::string scratch;
  const TextPool& texts = store.texts();
  names_.reserve(texts.size());
  for (uint32_t raw = 0; raw < texts.size(); ++raw) {
    names_.push_back(
        pool_->Intern(NormaliseText(texts.Text(raw), ignore_case, ignore_colors, scratch)));
  }
  const TextPool& settings = store.settings();
  settings_.reserve(settings.size());
  for (uint32_t raw = 0; raw < settings.size(); ++raw) {
    settings_.push_back(pool_->Intern(settings.Text(raw)));
  }
  not_defined_ = pool_->Intern(kNotDefined);
}

std::span<const uint32_t> NameForms::RawOf(KeyId key) const {
  if (raw_start_.empty()) {
    // Counting sort of the raw ids by their key.
    raw_start_.assign(pool_->size() + 1, 0);
    for (KeyId k : names_) ++raw_start_[k + 1];
    for (size_t k = 1; k < raw_start_.size(); ++k) raw_start_[k] += raw_start_[k - 1];
    raw_ids_.resize(names_.size());
    std::vector<uint32_t> next(raw_start_.begin(), raw_start_.end() - 1);
    for (uint32_t raw = 0; raw < names_.size(); ++raw) raw_ids_[next[names_[raw]]++] = raw;
  }
  if (key >= raw_start_.size() - 1) return {};  // kNone too
  return {raw_ids_.data() + raw_start_[key], raw_start_[key + 1] - raw_start_[key]};
}

namespace {

// Bits written at any bit offset of a zeroed byte array, least significant bit first; up to
// 57 at a time, as one unaligned 64-bit word covers them.
void PutBits(uint8_t* bytes, uint64_t at, uint64_t value) {
  uint8_t* p = bytes + at / 8;
  uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  word |= value << (at % 8);
  std::memcpy(p, &word, sizeof word);
}

uint64_t BitsAt(const uint8_t* bytes, uint64_t at) {
  uint64_t word = 0;
  std::memcpy(&word, bytes + at / 8, sizeof word);
  return word >> (at % 8);
}

// The Rice parameter for gaps averaging `span / count`: about log2 of 0.69 times the mean,
// which suits gaps spread like the waits between one player's lines.
uint8_t RiceBits(uint64_t span, uint64_t count) {
  const uint64_t mean = count > 0 ? span / count : 0;
  const auto width = static_cast<int>(std::bit_width(mean * 11 / 16));
  return static_cast<uint8_t>(std::max(1, width - 1));
}

}  // namespace

PlayerIndex::PlayerIndex(const EventStore& store) {
  // A list is its positions' gaps, Rice coded with a parameter k of its own: the gap's high
  // bits as that many 0 bits and a 1, then its low k bits. A player's records lie some
  // hundreds of words apart, so a gap takes about 11 bits. Two walks: count each raw name's
  // records and where his last one lies, which bounds his list's bits, then write the lists;
  // they are packed together at the end.
  const size_t names = store.texts().size();
  std::vector<uint32_t> count(names, 0);
  std::vector<uint32_t> last(names, 0);
  store.ForEachPlayerName([&](uint32_t raw, uint32_t position) {
    ++count[raw];
    last[raw] = position;
  });
  bits_.resize(names);
  std::vector<uint64_t> begin(names + 1, 0);  // bit offsets, whole bytes: each list's room
  for (size_t raw = 0; raw < names; ++raw) {
    const uint8_t k = RiceBits(last[raw], count[raw]);
    bits_[raw] = k;
    // The high parts of the gaps add up to at most the last position's.
    const uint64_t bound = uint64_t{count[raw]} * (k + 1) + (last[raw] >> k);
    begin[raw + 1] = begin[raw] + (bound + 7) / 8 * 8;
  }
  bytes_.assign(begin.back() / 8 + sizeof(uint64_t), 0);     // room for the last unaligned read
  std::vector<uint64_t> at(begin.begin(), begin.end() - 1);  // where each list goes on
  std::fill(last.begin(), last.end(), 0);
  store.ForEachPlayerName([&](uint32_t raw, uint32_t position) {
    const uint32_t gap = position - last[raw];
    last[raw] = position;
    const uint8_t k = bits_[raw];
    uint64_t& bit = at[raw];
    bit += gap >> k;  // the zeros are there already
    PutBits(bytes_.data(), bit, 1 | (uint64_t{gap} & ((uint64_t{1} << k) - 1)) << 1);
    bit += k + 1;
  });
  // Each list moves down to follow the one before, in whole bytes.
  start_.assign(names + 1, 0);
  for (size_t raw = 0; raw < names; ++raw) {
    const uint64_t bytes = (at[raw] - begin[raw] + 7) / 8;
    std::memmove(bytes_.data() + start_[raw], bytes_.data() + begin[raw] / 8, bytes);
    start_[raw + 1] = start_[raw] + bytes;
  }
  bytes_.resize(start_.back() + sizeof(uint64_t));
  std::fill(bytes_.end() - sizeof(uint64_t), bytes_.end(), 0);
  bytes_.shrink_to_fit();
}

void PlayerIndex::AppendPositions(uint32_t raw, std::vector<uint32_t>& out) const {
  constexpr uint64_t kLow56 = (uint64_t{1} << 56) - 1;
  const uint8_t k = bits_[raw];
  const uint64_t mask = (uint64_t{1} << k) - 1;
  uint64_t bit = start_[raw] * 8;
  const uint64_t end = start_[raw + 1] * 8;
  uint32_t position = 0;
  while (bit < end) {
    // The 0 bits before the next 1, 56 at a time; only zeros left are the last byte's padding.
    uint64_t high = 0;
    uint64_t word = 0;
    for (;;) {
      const uint64_t left = end - bit;
      word = BitsAt(bytes_.data(), bit) & kLow56;
      if (left < 56) word &= (uint64_t{1} << left) - 1;
      if (word != 0) break;
      if (left <= 56) return;
      high += 56;
      bit += 56;
    }
    const auto zeros = static_cast<uint64_t>(std::countr_zero(word));
    high += zeros;
    bit += zeros + 1;
    const uint64_t low = BitsAt(bytes_.data(), bit) & mask;
    bit += k;
    position += static_cast<uint32_t>(high << k | low);
    out.push_back(position);
  }
}

std::vector<uint32_t> PlayerIndex::Merge(std::span<const uint32_t> raws) const {
  // Each raw id's positions are in log order: a few lists are merged, many sorted.
  std::vector<uint32_t> out;
  const bool merge = raws.size() <= 8;
  for (uint32_t raw : raws) {
    const auto middle = static_cast<std::ptrdiff_t>(out.size());
    AppendPositions(raw, out);
    if (merge && middle > 0) std::inplace_merge(out.begin(), out.begin() + middle, out.end());
  }
  if (raws.size() > 1) {
    if (!merge) std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
  return out;
}

}  // namespace barvik
