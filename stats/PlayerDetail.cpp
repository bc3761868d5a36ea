#include "stats/PlayerDetail.h"

#include <exception>
#include <utility>

#include "core/StableHash.h"
#include "log/EventScan.h"
#include "log/LogFile.h"
#include "stats/KeptBytes.h"
#include "stats/PlayerScan.h"
#include "stats/Statistics.h"

namespace barvik {
namespace {

void Add(EventGroup& group, size_t list, KeyId key) { group.lists[list].push_back(key); }

class OnePlayer {
 public:
  OnePlayer(KeyId name, PlayerEvents& events) : name_(name), events_(events) {}
  int Find(KeyId name) const { return name == name_ ? 0 : -1; }
  PlayerEvents& Events(int) { return events_; }

 private:
  KeyId name_;
  PlayerEvents& events_;
};

// The records in which a name normalising exactly to `name` takes part, in log order.
std::vector<uint32_t> PositionsOf(const LogFile& log, KeyId name) {
  if (name == KeyPool::kNone) return {};
  return log.Index().Merge(log.Forms().RawOf(name));
}

}  // namespace

std::string TurnKey(int64_t turn) {
  std::string digits = std::to_string(turn);
  if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
  return digits;
}

void CollectPlayerEvents(const LogFile& log, std::string_view name, PlayerEvents& events,
                         const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  events.pool = forms.shared_pool();
  const KeyId key = forms.pool().Find(name);
  OnePlayer player(key, events);
  PlayerScan<OnePlayer> scan(forms, player);
  ScanEventsAt(log, PositionsOf(log, key), scan, report_error);
}

namespace {

// Feeds each player's records to his StableHash the way the player scan reads them. Every name
// met as a player gets a slot, so that a state kept for a later run covers every name, listed
// now or not. The walk visits the records in log order, so the store is read front to back once.
class FingerprintScan {
 public:
  FingerprintScan(const NameForms& forms, std::vector<int32_t>& slot_of_key,
                  std::vector<KeyId>& key_of_slot, std::vector<StableHash>& hashes)
      : forms_(forms),
        slot_of_key_(slot_of_key),
        key_of_slot_(key_of_slot),
        hashes_(hashes),
        key_hashes_(slot_of_key.size()) {}

  void operator()(const EventView& e, const ScanState& state) {
    size_t texts = 0;
    switch (e.kind) {
      case LineKind::Kill:
      case LineKind::Damage:
        texts = 4;  // victim, attacker, weapon, location
        break;
      case LineKind::WeaponPickUp:
        texts = 2;
        break;
      case LineKind::Action:
        texts = 1;
        break;
      default:
        return;  // not counted by the player scan
    }
    const KeyId first = forms_.Name(e.ids[0]);
    const int32_t p1 = Slot(first);
    // A hit counts for its attacker too, once when he is the victim himself.
    const KeyId second = texts == 4 ? forms_.Name(e.ids[1]) : first;
    const int32_t p2 = second == first ? -1 : Slot(second);
    if (p1 < 0 && p2 < 0) return;
    uint64_t words[8] = {static_cast<uint64_t>(e.kind), static_cast<uint64_t>(state.turn),
                         KeyHash(state.map), KeyHash(state.game_type)};
    for (size_t i = 0; i < texts; ++i) words[4 + i] = KeyHash(forms_.Name(e.ids[i]));
    for (int32_t p : {p1, p2}) {
      if (p < 0) continue;
      StableHash& hash = hashes_[static_cast<size_t>(p)];
      for (size_t i = 0; i < 4 + texts; ++i) hash.Number(words[i]);
    }
  }

  static std::string ErrorMessage(uint64_t line) {
    return LineErrorMessage("PLAYER", line, -1, "", "");
  }

 private:
  int32_t Slot(KeyId key) {
    if (key >= slot_of_key_.size()) return -1;  // not a name of the log's texts
    int32_t& slot = slot_of_key_[key];
    if (slot < 0) {
      slot = static_cast<int32_t>(hashes_.size());
      hashes_.emplace_back();
      key_of_slot_.push_back(key);
    }
    return slot;
  }

  uint64_t KeyHash(KeyId key) {
    if (key >= key_hashes_.size()) return StableHash().Text(forms_.pool().Text(key)).value();
    uint64_t& h = key_hashes_[key];
    // A text whose hash is 0 is hashed again each time it is met.
    if (h == 0) h = StableHash().Text(forms_.pool().Text(key)).value();
    return h;
  }

  const NameForms& forms_;
  std::vector<int32_t>& slot_of_key_;
  std::vector<KeyId>& key_of_slot_;
  std::vector<StableHash>& hashes_;
  std::vector<uint64_t> key_hashes_;  // by key id, 0 while not computed
};

constexpr uint64_t kStateVersion = 1;

uint64_t OptionBits(const LogFile& log) {
  return (log.IgnoreCase ? 1u : 0u) | (log.IgnoreColors ? 2u : 0u);
}

}  // namespace

PlayerFingerprints::PlayerFingerprints(const LogFile& log, std::string_view earlier_state)
    : log_(log), slot_of_key_(log.Forms().pool().size(), -1) {
  FingerprintScan scan(log.Forms(), slot_of_key_, key_of_slot_, hashes_);
  const std::optional<uint32_t> from =
      earlier_state.empty() ? std::nullopt : Continue(earlier_state);
  if (!from) {
    std::fill(slot_of_key_.begin(), slot_of_key_.end(), -1);
    key_of_slot_.clear();
    hashes_.clear();
    ScanEvents(log, scan, {});
    return;
  }
  continued_ = true;
  ScanEventsFrom(log, *from, scan, {});
}

std::optional<uint32_t> PlayerFingerprints::Continue(std::string_view state) {
  const EventStore& events = log_.events();
  KeptReader in{state};
  if (in.Number() != kStateVersion || in.Number() != OptionBits(log_)) return std::nullopt;
  const uint64_t position = in.Number();
  const uint64_t texts = in.Number();
  const uint64_t settings = in.Number();
  const uint64_t hash = in.Number();
  const uint64_t count = in.Number();
  if (!in.ok || position > events.EndPosition() || texts > UINT32_MAX || settings > UINT32_MAX ||
      count > in.in.size() / 16) {
    return std::nullopt;
  }
  const std::optional<uint64_t> now =
      log_.PrefixHash(static_cast<uint32_t>(position), static_cast<uint32_t>(texts),
                      static_cast<uint32_t>(settings));
  if (!now || *now != hash) return std::nullopt;
  const KeyPool& pool = log_.Forms().pool();
  for (uint64_t i = 0; i < count; ++i) {
    const std::string_view name = in.Text();
    const uint64_t value = in.Number();
    const KeyId key = in.ok ? pool.Find(name) : KeyPool::kNone;
    // The same leading records hold the same names: one not found is a state not of them.
    if (key == KeyPool::kNone || key >= slot_of_key_.size() || slot_of_key_[key] >= 0) {
      return std::nullopt;
    }
    slot_of_key_[key] = static_cast<int32_t>(hashes_.size());
    key_of_slot_.push_back(key);
    hashes_.push_back(StableHash::Resume(value));
  }
  if (!in.ok || !in.in.empty()) return std::nullopt;
  return static_cast<uint32_t>(position);
}

std::string PlayerFingerprints::State() const {
  const EventStore& events = log_.events();
  const EventStore::Mark here = events.Here();
  const uint32_t position = events.EndPosition();
  const std::optional<uint64_t> hash = log_.PrefixHash(position, here.texts, here.settings);
  if (!hash) return {};
  std::string out;
  for (uint64_t n : {kStateVersion, OptionBits(log_), uint64_t{position}, uint64_t{here.texts},
                     uint64_t{here.settings}, *hash, uint64_t{hashes_.size()}}) {
    PutKeptNumber(out, n);
  }
  const KeyPool& pool = log_.Forms().pool();
  for (size_t slot = 0; slot < hashes_.size(); ++slot) {
    PutKeptText(out, pool.Text(key_of_slot_[slot]));
    PutKeptNumber(out, hashes_[slot].value());
  }
  return out;
}

uint64_t PlayerFingerprints::Of(std::string_view name) const {
  const KeyId key = log_.Forms().pool().Find(name);
  const int32_t slot = key != KeyPool::kNone && key < slot_of_key_.size() ? slot_of_key_[key] : -1;
  return slot >= 0 ? hashes_[static_cast<size_t>(slot)].value() : StableHash().value();
}

namespace {

// The weapon scan as a handler: the player's kills, inflicted damages and suicides with one
// weapon, by hit location.
class WeaponScan {
 public:
  WeaponScan(const NameForms& forms, KeyId player, KeyId weapon, WeaponHits& hits)
      : forms_(forms), player_(player), weapon_(weapon), hits_(hits) {}

  void operator()(const EventView& e, const ScanState&) {
    victim_ = attacker_ = NameForms::kEmpty;
    if (e.kind != LineKind::Kill && e.kind != LineKind::Damage) return;
    victim_ = forms_.Name(e.ids[0]);
    attacker_ = forms_.Name(e.ids[1]);
    WeaponHits::List list;
    if (victim_ == player_) {
      // Damage the player did to himself, and his deaths by others, are not his hits.
      const bool by_other = attacker_ != NameForms::kEmpty && attacker_ != victim_;
      if (e.kind == LineKind::Damage || by_other) return;
      list = WeaponHits::kSuicides;
    } else if (attacker_ == player_) {
      list = e.kind == LineKind::Kill ? WeaponHits::kKills : WeaponHits::kIDamages;
    } else {
      return;
    }
    if (forms_.Name(e.ids[2]) != weapon_) return;
    Add(hits_.hits, list, hits_.pool.Intern(forms_.pool().Text(forms_.Name(e.ids[3]))));
  }

  std::string ErrorMessage(uint64_t line) const {
    const KeyPool& pool = forms_.pool();
    return LineErrorMessage("PLAYER WEAPON", line, -1, pool.Text(victim_), pool.Text(attacker_));
  }

 private:
  const NameForms& forms_;
  KeyId player_;
  KeyId weapon_;
  WeaponHits& hits_;
  KeyId victim_ = NameForms::kEmpty;
  KeyId attacker_ = NameForms::kEmpty;
};

}  // namespace

void CollectWeaponHits(const LogFile& log, std::string_view player, std::string_view weapon,
                       WeaponHits& hits, const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  const KeyId player_key = forms.pool().Find(player);
  const KeyId weapon_key = forms.pool().Find(weapon);
  if (weapon_key == KeyPool::kNone) return;
  WeaponScan scan(forms, player_key, weapon_key, hits);
  ScanEventsAt(log, PositionsOf(log, player_key), scan, report_error);
}

}  // namespace barvik
