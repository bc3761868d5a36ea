#include "report/GamesJson.h"

#include "report/SiteText.h"
#include "stats/Clock.h"

namespace barvik {

namespace {

Json Document(const GameTexts& texts, const GamesModel& model) {
  Json document;
  document["format"] = kGamesJsonFormat;
  document["server"] = Utf8FromLog(model.has_games ? texts.Setting(model.server) : "");
  return document;
}

// {"word as written": count, ...} in the order of the words' ids.
Json ActionsJson(const GameTexts& texts, const std::vector<ActionCount>& actions) {
  Json out = Json::object();
  for (const ActionCount& a : actions) out[Utf8From1252(texts.Setting(a.word))] = a.count;
  return out;
}

// The counted figures of a participant or a person, in the documents' order.
template <typename Figures>
void AddFigureFields(const GameTexts& texts, Json& into, const Figures& f) {
  into["kills"] = f.kills;
  into["deaths"] = f.deaths;
  into["suicides"] = f.suicides;
  into["team_kills"] = f.team_kills;
  into["world_deaths"] = f.world_deaths;
  into["damage_dealt"] = f.damage_dealt;
  into["damage_taken"] = f.damage_taken;
  into["head_shots"] = f.head_shots;
  into["seconds"] = f.played_seconds;
  into["actions"] = ActionsJson(texts, f.actions);
}

Json PlayerJson(const GameTexts& texts, const GamesModel& model, const Participant& p) {
  Json teams = Json::object();
  for (uint32_t code = 1; code < p.team_seconds.size(); ++code) {
    if (p.team_seconds[code] > 0) teams[std::string(GameTexts::Team(code))] = p.team_seconds[code];
  }
  Json player = {{"person", model.people[p.person].id},
                 {"slots", p.SlotNumbers()},
                 {"teams", std::move(teams)}};
  AddFigureFields(texts, player, p);
  return player;
}

// An ISO 8601 UTC time, or null for none.
Json DateJson(int64_t at) { return at == kNoDate ? Json(nullptr) : Json(IsoUtc(at)); }

Json PersonFields(const GameTexts& texts, const Person& p) {
  Json spellings = Json::array();
  for (const Spelling& s : p.spellings) {
    spellings.push_back({{"name", Utf8FromLog(texts.Text(s.raw))}, {"count", s.count}});
  }
  Json person = {{"id", p.id},
                 {"page", PersonPage(p)},
                 {"name", Utf8FromLog(p.display)},
                 {"spellings", std::move(spellings)},
                 {"games", p.games}};
  AddFigureFields(texts, person, p);
  person["first_game"] = p.first_game;
  person["last_game"] = p.last_game;
  person["first_seen"] = DateJson(p.first_seen);
  person["last_seen"] = DateJson(p.last_seen);
  return person;
}

}  // namespace

std::string GamePage(const Game& game) { return "games/" + std::to_string(game.number) + ".html"; }

bool HasGamePage(const Game& game) { return !game.players.empty(); }

std::string PersonPage(const Person& person) { return "people/" + person.id + ".html"; }

Json GameJson(const GameTexts& texts, const GamesModel& model, const Game& game) {
  Json winner = nullptr;
  if (game.winner_team != GameTexts::kNoTeam) {
    winner = std::string(GameTexts::Team(game.winner_team));
  } else if (game.winner_person != kNoPerson && !model.people[game.winner_person].hidden) {
    winner = model.people[game.winner_person].id;
  }
  Json players = Json::array();
  for (const Participant& p : game.players) {
    if (!model.people[p.person].hidden) players.push_back(PlayerJson(texts, model, p));
  }
  Json round_wins = Json::object();
  for (uint32_t code = 1; code < game.round_wins.size(); ++code) {
    if (game.round_wins[code] > 0)
      round_wins[std::string(GameTexts::Team(code))] = game.round_wins[code];
  }
  return {{"id", game.number},
          {"page", HasGamePage(game) ? Json(GamePage(game)) : Json(nullptr)},
          {"map", Utf8FromLog(texts.Setting(game.map))},
          {"gametype", Utf8FromLog(texts.Setting(game.game_type))},
          {"start", game.start},
          {"end", game.end},
          {"seconds", game.seconds},
          {"started_at", DateJson(game.started_at)},
          {"time_quality", TimeQualityName(game.time_quality)},
          {"ended", EndingName(game.ending)},
          {"warmup", game.warmup},
          {"ffa", game.ffa},
          {"rounds", game.rounds},
          {"round_wins", std::move(round_wins)},
          {"winner", std::move(winner)},
          {"actions", ActionsJson(texts, game.actions)},
          {"players", std::move(players)}};
}

Json GamesJson(const GameTexts& texts, const GamesModel& model) {
  return GamesJson(texts, model, 0, model.games.size());
}

Json GamesJson(const GameTexts& texts, const GamesModel& model, size_t first, size_t end) {
  Json document = Document(texts, model);
  Json games = Json::array();
  for (size_t g = first; g < end; ++g) games.push_back(GameJson(texts, model, model.games[g]));
  document["games"] = std::move(games);
  return document;
}

Json PeopleJson(const GameTexts& texts, const GamesModel& model) {
  Json document = Document(texts, model);
  Json people = Json::array();
  for (const Person& p : model.people) {
    if (!p.hidden) people.push_back(PersonFields(texts, p));
  }
  document["people"] = std::move(people);
  return document;
}

Json PersonJson(const GameTexts& texts, const GamesModel& model, PersonIndex person) {
  Json document = Document(texts, model);
  Json fields = PersonFields(texts, model.people[person]);
  Json games = Json::array();
  for (const Game& game : model.games) {
    const Participant* p = model.PlayerIn(game, person);
    if (p == nullptr) continue;
    Json entry = PlayerJson(texts, model, *p);
    entry.erase("person");
    entry["id"] = game.number;
    entry["page"] = GamePage(game);
    entry["map"] = Utf8FromLog(texts.Setting(game.map));
    entry["gametype"] = Utf8FromLog(texts.Setting(game.game_type));
    entry["warmup"] = game.warmup;
    games.push_back(std::move(entry));
  }
  fields["played"] = std::move(games);
  document["person"] = std::move(fields);
  return document;
}

}  // namespace barvik
