#include "report/RankingJson.h"

#include <cmath>
#include <string>
#include <unordered_map>

#include "report/GamesJson.h"
#include "report/SiteText.h"

namespace barvik {

namespace {

// Skills to a thousandth: more says nothing and only makes the files longer.
double Rounded(double value) { return std::round(value * 1000.0) / 1000.0; }

}  // namespace

std::vector<RankedPerson> ShownRanking(const GamesModel& model, const RatingHistory& history) {
  std::unordered_map<std::string_view, PersonIndex> by_id;
  for (PersonIndex p = 0; p < model.people.size(); ++p) by_id.emplace(model.people[p].id, p);
  std::vector<RankedPerson> shown;
  int rank = 0;
  for (PersonRating& r : history.Ranking()) {
    const auto it = by_id.find(r.person);
    if (it == by_id.end() || model.people[it->second].hidden) continue;
    if (r.rank > 0) r.rank = ++rank;
    shown.push_back({it->second, std::move(r)});
  }
  return shown;
}

Json RatingJson(const PersonRating& rating) {
  return {{"mu", Rounded(rating.skill.mu)},
          {"sigma", Rounded(rating.skill.sigma)},
          {"skill", Rounded(rating.shown)},
          {"games", rating.games},
          {"provisional", rating.provisional},
          {"rank", rating.rank > 0 ? Json(rating.rank) : Json(nullptr)},
          {"plus_minus", Rounded(rating.plus_minus)},
          {"fights_won", rating.record.fights_won},
          {"fights_lost", rating.record.fights_lost}};
}

namespace {

// The three parts of one ranking into `document`.
void AddParts(Json& document, const GamesModel& model, const RatingHistory& history) {
  Json ranking = Json::array(), provisional = Json::array(), inactive = Json::array();
  for (const auto& [index, r] : ShownRanking(model, history)) {
    const Person& p = model.people[index];
    Json entry = {{"rank", r.rank > 0 ? Json(r.rank) : Json(nullptr)},
                  {"person", p.id},
                  {"page", PersonPage(p)},
                  {"name", Utf8FromLog(p.display)},
                  {"skill", Rounded(r.shown)},
                  {"plus_minus", Rounded(r.plus_minus)},
                  {"mu", Rounded(r.skill.mu)},
                  {"sigma", Rounded(r.skill.sigma)},
                  {"games", r.games},
                  {"kills", p.kills},
                  {"deaths", p.deaths},
                  {"fights_won", r.record.fights_won},
                  {"fights_lost", r.record.fights_lost},
                  {"results_won", r.record.results_won},
                  {"results_lost", r.record.results_lost}};
    (r.inactive ? inactive : r.provisional ? provisional : ranking).push_back(std::move(entry));
  }
  document["ranking"] = std::move(ranking);
  document["provisional"] = std::move(provisional);
  document["inactive"] = std::move(inactive);
  document["provisional_plus_minus"] = history.options().provisional_plus_minus;
}

}  // namespace

Json RankingJson(const GameTexts& texts, const GamesModel& model, const GameRatings& ratings,
                 std::span<const GameTypeRatings> game_types) {
  Json document;
  document["format"] = kGamesJsonFormat;
  document["server"] = Utf8FromLog(model.has_games ? texts.Setting(model.server) : "");
  AddParts(document, model, ratings.history);
  Json types = Json::array();
  for (const GameTypeRatings& type : game_types) {
    Json entry = {{"gametype", Utf8FromLog(texts.Setting(type.game_type))},
                  {"games", type.ratings.history.Games()}};
    AddParts(entry, model, type.ratings.history);
    types.push_back(std::move(entry));
  }
  document["game_types"] = std::move(types);
  return document;
}

void AddRatings(Json& people, const GamesModel& model, const GameRatings& ratings) {
  std::unordered_map<std::string, Json> by_id;
  for (const RankedPerson& r : ShownRanking(model, ratings.history)) {
    by_id.emplace(r.rating.person, RatingJson(r.rating));
  }
  for (Json& person : people.at("people")) {
    const auto it = by_id.find(person.at("id").get<std::string>());
    person["rating"] = it == by_id.end() ? Json(nullptr) : it->second;
  }
}

void AddRatingChanges(Json& games, const GamesModel& model, const GameRatings& ratings) {
  std::unordered_map<uint32_t, size_t> index_of;  // game number -> index in the model
  for (size_t g = 0; g < model.games.size(); ++g) index_of.emplace(model.games[g].number, g);
  for (Json& game : games.at("games")) {
    const auto at = index_of.find(game.at("id").get<uint32_t>());
    AddGameRatingChanges(game, at != index_of.end() && at->second < ratings.changes.size()
                                   ? &ratings.changes[at->second]
                                   : nullptr);
  }
}

void AddGameRatingChanges(Json& game, const std::vector<RatingChange>* changes) {
  for (Json& player : game.at("players")) {
    Json change = nullptr;
    const std::string id = player.at("person").get<std::string>();
    for (const RatingChange& c : changes ? *changes : std::vector<RatingChange>{}) {
      if (c.person == id) change = {{"before", Rounded(c.before)}, {"after", Rounded(c.after)}};
    }
    player["rating_change"] = std::move(change);
  }
}

}  // namespace barvik
