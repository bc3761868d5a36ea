#include "report/AwardsJson.h"

#include <algorithm>
#include <array>
#include <string>
#include <unordered_map>
#include <vector>

namespace barvik {

void AddAwards(Json& people, const GamesModel& model, const AwardsModel& awards) {
  std::unordered_map<std::string, PersonIndex> index_of;
  for (PersonIndex p = 0; p < model.people.size(); ++p) index_of.emplace(model.people[p].id, p);
  std::array<std::vector<PersonIndex>, kAwardCount> holders;
  for (size_t a = 0; a < kAwardCount; ++a) {
    holders[a] = ShownHolders(awards, model, static_cast<Award>(a));
  }
  for (Json& person : people.at("people")) {
    Json list = Json::array();
    const auto it = index_of.find(person.at("id").get<std::string>());
    if (it != index_of.end() && it->second < awards.people.size()) {
      const auto& figures = awards.people[it->second];
      for (size_t a = 0; a < kAwardCount; ++a) {
        const auto award = static_cast<Award>(a);
        if (!HasFigure(award, figures[a])) continue;
        list.push_back({{"award", AwardName(award)},
                        {"kind", KindName(KindOf(award))},
                        {"value", figures[a]},
                        {"held", std::find(holders[a].begin(), holders[a].end(), it->second) !=
                                     holders[a].end()}});
      }
    }
    person["awards"] = std::move(list);
  }
}

void AddGameAwards(Json& games, const GamesModel& model, const AwardsModel& awards) {
  std::unordered_map<uint32_t, size_t> index_of;  // game number -> index in the model
  for (size_t g = 0; g < model.games.size(); ++g) index_of.emplace(model.games[g].number, g);
  for (Json& game : games.at("games")) {
    const auto at = index_of.find(game.at("id").get<uint32_t>());
    const bool known = at != index_of.end() && at->second < awards.games.size();
    AddAwardsOfGame(
        game, model, known ? &awards.games[at->second] : nullptr,
        known && at->second < awards.runners_up.size() ? &awards.runners_up[at->second] : nullptr);
  }
}

void AddAwardsOfGame(Json& game, const GamesModel& model, const AwardTable* table,
                     const AwardTable* runners_up) {
  Json list = Json::array();
  for (size_t a = 0; table != nullptr && a < kAwardCount; ++a) {
    const AwardHolder& holder = (*table)[a];
    if (holder.person == kNoPerson || model.people[holder.person].hidden) continue;
    Json second = nullptr;
    if (runners_up != nullptr) {
      const AwardHolder& r = (*runners_up)[a];
      if (r.person != kNoPerson && !model.people[r.person].hidden) {
        second = {{"person", model.people[r.person].id}, {"value", r.value}};
      }
    }
    list.push_back({{"award", AwardName(static_cast<Award>(a))},
                    {"kind", KindName(KindOf(static_cast<Award>(a)))},
                    {"person", model.people[holder.person].id},
                    {"value", holder.value},
                    {"runner_up", std::move(second)}});
  }
  game["awards"] = std::move(list);
}

}  // namespace barvik
