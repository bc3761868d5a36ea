#include "stats/PlayerDetail.h"

#include <exception>
#include <utility>

#include "log/EventScan.h"
#include "log/LogFile.h"
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
