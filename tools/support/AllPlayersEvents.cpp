#include "tools/support/AllPlayersEvents.h"

#include <utility>

#include "log/EventScan.h"
#include "log/LogFile.h"
#include "stats/PlayerScan.h"

namespace barvik {
namespace {

class AllPlayers {
 public:
  AllPlayers(const std::vector<int>& index, std::vector<PlayerEvents>& events)
      : index_(index), events_(events) {}
  int Find(KeyId name) const { return name < index_.size() ? index_[name] : -1; }
  PlayerEvents& Events(int index) { return events_[static_cast<size_t>(index)]; }

 private:
  const std::vector<int>& index_;  // by key
  std::vector<PlayerEvents>& events_;
};

void ShrinkToFit(EventGroup& group) {
  for (auto& list : group.lists) list.shrink_to_fit();
}

}  // namespace

std::vector<PlayerEvents> CollectAllPlayersEvents(const LogFile& log,
                                                  const std::vector<std::string>& names,
                                                  const LineErrorReporter& report_error) {
  const NameForms& forms = log.Forms();
  std::vector<PlayerEvents> events(names.size());
  for (PlayerEvents& e : events) e.pool = forms.shared_pool();

  // Exact names; a name given again is filled from its first occurrence afterwards.
  std::vector<int> index(forms.pool().size(), -1);
  std::vector<std::pair<size_t, size_t>> repeats;  // (position, first position)
  for (size_t i = 0; i < names.size(); ++i) {
    const KeyId key = forms.pool().Find(names[i]);
    if (key == KeyPool::kNone) continue;  // never on a line: no events
    if (index[key] < 0) {
      index[key] = static_cast<int>(i);
    } else {
      repeats.emplace_back(i, static_cast<size_t>(index[key]));
    }
  }

  AllPlayers players(index, events);
  PlayerScan<AllPlayers> scan(forms, players);
  ScanEvents(log, scan, report_error);

  // The lists of every player are held at once: give back the growth reserve.
  for (PlayerEvents& e : events) {
    for (EventGroup* g : {&e.weapons, &e.attack_locations, &e.victim_locations, &e.maps,
                          &e.game_types, &e.opponents, &e.turns}) {
      ShrinkToFit(*g);
    }
  }
  for (auto [i, first] : repeats) events[i] = events[first];
  return events;
}

}  // namespace barvik
