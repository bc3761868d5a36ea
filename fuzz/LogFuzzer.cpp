// libFuzzer target: arbitrary bytes as one or several server logs through the event builder,
// the name list, the statistics pass, the global tables and their sorting, the player scans
// (every player from his index against the one pass over all players, and each of his weapons'
// location counts against his weapon row) and the games with their ratings and awards. Any crash,
// hang, sanitizer report or broken invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/ReportList.h"
#include "log/LogFile.h"
#include "log/NameList.h"
#include "stats/Awards.h"
#include "stats/GameRatings.h"
#include "stats/Games.h"
#include "stats/PlayerDetail.h"
#include "stats/Statistics.h"
#include "tools/support/AllPlayersEvents.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

using barvik::EventGroup;
using barvik::KeyId;
using barvik::PlayerEvents;

// Every list of every group as texts, so that events over different pools compare.
std::vector<std::vector<std::string_view>> Texts(const PlayerEvents& e) {
  std::vector<std::vector<std::string_view>> out;
  for (const EventGroup* g : {&e.weapons, &e.attack_locations, &e.victim_locations, &e.maps,
                              &e.game_types, &e.opponents, &e.turns}) {
    for (const auto& list : g->lists) {
      out.emplace_back();
      for (KeyId id : list) out.back().push_back(e.pool->Text(id));
    }
  }
  return out;
}

size_t CountOf(const PlayerEvents& e, size_t list, std::string_view weapon) {
  size_t n = 0;
  for (KeyId id : e.weapons.lists[list]) n += e.pool->Text(id) == weapon;
  return n;
}

}  // namespace

namespace barvik {

// The games, their ratings and awards. A game's players and kills name people of the model;
// ratings continued from their own kept state are those made afresh and keep the same state.
void CheckGames(const EventStore& store) {
  const GamesModel model = BuildGames(store);
  const size_t people = model.people.size();
  for (const Game& game : model.games) {
    for (const Participant& p : game.players) Check(p.person < people);
    for (const GameKill& kill : game.kills) {
      Check(kill.victim == kNoPerson || kill.victim < people);
      Check(kill.attacker == kNoPerson || kill.attacker < people);
    }
  }
  std::string kept;
  const ModelRatings fresh = RateModel(model, store, "", &kept);
  Check(fresh.all.changes.size() == model.games.size());
  std::string kept_again;
  const ModelRatings continued = RateModel(model, store, kept, &kept_again);
  Check(kept_again == kept);
  // Continued from the kept state, the ratings are the very ones made afresh.
  auto same = [](const GameRatings& x, const GameRatings& y) {
    if (x.changes.size() != y.changes.size()) return false;
    for (size_t g = 0; g < x.changes.size(); ++g) {
      if (x.changes[g].size() != y.changes[g].size()) return false;
      for (size_t i = 0; i < x.changes[g].size(); ++i) {
        const RatingChange& a = x.changes[g][i];
        const RatingChange& b = y.changes[g][i];
        if (a.person != b.person || a.before != b.before || a.after != b.after) return false;
      }
    }
    return true;
  };
  Check(same(continued.all, fresh.all) && continued.types.size() == fresh.types.size());
  for (size_t t = 0; t < fresh.types.size(); ++t)
    Check(same(continued.types[t].ratings, fresh.types[t].ratings));
  const AwardsModel awards = ComputeAwards(store, model);
  Check(awards.games.size() == model.games.size() && awards.people.size() == people);
}

}  // namespace barvik

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace barvik;
  if (size == 0) return 0;
  // The first byte chooses the name options and the decimal separator; the byte 0xFF splits
  // the rest into files read in order as one log.
  const uint8_t flags = data[0];
  std::vector<std::string> files(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0xFF) {
      files.emplace_back();
    } else {
      files.back() += static_cast<char>(data[i]);
    }
  }
  LogFile log = LogFile::FromTexts(files);
  log.IgnoreCase = flags & 1;
  log.IgnoreColors = flags & 2;
  const char separator = (flags & 4) ? ',' : '.';
  auto no_line_errors = [](const std::string&) { std::abort(); };

  NameList names = BuildNameList(log);
  PlayerCounters counters(names.size());
  EventLists events;
  CountPlayerStatistics(log, names, counters, events, no_line_errors);
  AddTotals(counters);

  ReportList players = MakePlayersList();
  FillPlayersTable(players, names, counters, separator);
  Check(players.rows.size() == names.size() + 1);
  ReportList maps = MakeMapsList();
  FillGlobalTable(maps, events.maps, *events.pool, kMapsLayout, separator);
  ReportList weapons = MakeWeaponList();
  FillGlobalTable(weapons, events.weapons, *events.pool, kWeaponLayout, separator);
  ReportList types = MakeGameTypeList();
  FillGlobalTable(types, events.game_types, *events.pool, kGameTypeLayout, separator);
  ReportList locations = MakeAccuracyList();
  FillGlobalTable(locations, events.locations, *events.pool, kAccuracyLayout, separator);

  for (ReportList* list : {&players, &maps, &weapons, &types, &locations}) {
    for (const Row& row : list->rows) Check(row.cells.size() + 1 == list->columns.size());
    const size_t rows = list->rows.size();
    for (int column = 0; column < static_cast<int>(list->columns.size()); ++column) {
      list->ColumnClick(column, separator);
      list->ColumnClick(column, separator);
    }
    Check(list->rows.size() == rows);
  }

  // The player scans: the names of the list, one that is not there, the empty one.
  std::vector<std::string> followed = names.Names();
  if (followed.size() > 8) followed.resize(8);
  followed.push_back("nobody");
  followed.push_back("");
  const std::vector<PlayerEvents> all = CollectAllPlayersEvents(log, followed, no_line_errors);
  Check(all.size() == followed.size());
  for (size_t i = 0; i < followed.size(); ++i) {
    PlayerEvents one;
    CollectPlayerEvents(log, followed[i], one, no_line_errors);
    Check(Texts(one) == Texts(all[i]));
    // A weapon's locations add up to his weapon row.
    for (const auto& list : one.weapons.lists) {
      for (KeyId id : list) {
        const std::string weapon(one.pool->Text(id));
        WeaponHits hits;
        CollectWeaponHits(log, followed[i], weapon, hits, no_line_errors);
        Check(hits.hits.lists[WeaponHits::kKills].size() ==
              CountOf(one, PlayerEvents::kWeaponKills, weapon));
        Check(hits.hits.lists[WeaponHits::kIDamages].size() ==
              CountOf(one, PlayerEvents::kWeaponIDamages, weapon));
        Check(hits.hits.lists[WeaponHits::kSuicides].size() ==
              CountOf(one, PlayerEvents::kWeaponSuicides, weapon));
        break;  // one weapon per list keeps a run quick
      }
    }
  }
  CheckGames(log.events());
  return 0;
}
