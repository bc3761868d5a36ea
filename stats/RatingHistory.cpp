#include "stats/RatingHistory.h"

#include "stats/SavedText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

namespace barvik {

namespace {

// The team a player counts for in the result: the one he spent longest on (the first listed
// of equals); none when he was on no team.
const std::pair<std::string, int>* MainTeam(const RatedPlayer& player) {
  const std::pair<std::string, int>* main = nullptr;
  for (const auto& entry : player.team_seconds) {
    if (main == nullptr || entry.second > main->second) main = &entry;
  }
  return main;
}

constexpr std::string_view kSaveHeader = "barvik-ratings 2";

}  // namespace

// Header line, the options and the number of games, then one line per person:
// id, mu, sigma, games, last game (people in the order of their ids), his record, the length of
// his skill history and its values.
std::string RatingHistory::Save() const {
  using saved::Put;
  using saved::PutText;
  std::string out(kSaveHeader);
  out += '\n';
  const RatingModel& m = options_.model;
  for (double value :
       {m.mu, m.sigma, m.beta, m.kappa, m.tau, options_.drift, options_.provisional_plus_minus}) {
    Put(out, value);
  }
  Put(out, options_.team_result ? 1 : 0);
  Put(out, options_.inactive_after);
  Put(out, games_);
  Put(out, people_.size());
  out += '\n';
  std::vector<const std::pair<const std::string, State>*> people;  // by id: the same state
  for (const auto& entry : people_) people.push_back(&entry);      // saves the same text
  std::sort(people.begin(), people.end(), [](auto* a, auto* b) { return a->first < b->first; });
  for (const auto* entry : people) {
    const auto& [id, state] = *entry;
    PutText(out, id);
    out += ' ';
    Put(out, state.skill.mu);
    Put(out, state.skill.sigma);
    Put(out, state.games);
    Put(out, state.last_game);
    const RatingRecord& r = state.record;
    for (int64_t count : {r.fights_won, r.fights_lost, r.results_won, r.results_lost}) {
      Put(out, count);
    }
    Put(out, state.history.size());
    for (double skill : state.history) Put(out, skill);
    out += '\n';
  }
  return out;
}

std::optional<RatingHistory> RatingHistory::Restore(std::string_view text, RatingOptions options) {
  saved::Reader in(text);
  if (!in.Expect(kSaveHeader) || !in.Expect("\n")) return std::nullopt;
  const RatingModel& m = options.model;
  for (double expected :
       {m.mu, m.sigma, m.beta, m.kappa, m.tau, options.drift, options.provisional_plus_minus}) {
    double saved = 0.0;
    if (!in.Get(saved) || saved != expected) return std::nullopt;
  }
  int team_result = 0, inactive = 0;
  size_t people = 0;
  RatingHistory history(options);
  if (!in.Get(team_result) || team_result != (options.team_result ? 1 : 0) || !in.Get(inactive) ||
      inactive != options.inactive_after || !in.Get(history.games_) || history.games_ < 0 ||
      !in.Get(people) || !in.Expect("\n")) {
    return std::nullopt;
  }
  for (size_t p = 0; p < people; ++p) {
    std::string id;
    State state;
    size_t length = 0;
    if (!in.GetText(id) || !in.Expect(" ") || !in.Get(state.skill.mu) ||
        !in.Get(state.skill.sigma) || !in.Get(state.games) || !in.Get(state.last_game) ||
        !in.Get(state.record.fights_won) || !in.Get(state.record.fights_lost) ||
        !in.Get(state.record.results_won) || !in.Get(state.record.results_lost) ||
        !in.Get(length) || length != static_cast<size_t>(state.games) || length > in.Left() / 2 ||
        state.last_game >= history.games_ || state.last_game < 0 ||
        !std::isfinite(state.skill.mu) || !(state.skill.sigma > 0.0)) {
      return std::nullopt;
    }
    state.history.resize(length);
    for (double& skill : state.history) {
      if (!in.Get(skill)) return std::nullopt;
    }
    if (!in.Expect("\n") || !history.people_.emplace(std::move(id), std::move(state)).second) {
      return std::nullopt;
    }
  }
  if (!in.AtEnd()) return std::nullopt;
  return history;
}

double RatingHistory::WeightOf(int seconds, int game_seconds) const {
  if (game_seconds <= 0) return 1.0;
  return std::clamp(static_cast<double>(seconds) / game_seconds, 0.0, 1.0);
}

Skill RatingHistory::Drifted(const State& state) const {
  Skill skill = state.skill;
  if (state.last_game < 0) return skill;
  const int64_t missed = games_ - 1 - state.last_game;
  if (missed <= 0) return skill;
  const double sigma_sq = skill.sigma * skill.sigma;
  const double cap_sq = options_.model.sigma * options_.model.sigma;
  const double drifted = sigma_sq + static_cast<double>(missed) * options_.drift;
  skill.sigma = std::sqrt(std::max(sigma_sq, std::min(drifted, cap_sq)));
  return skill;
}

std::vector<RatingChange> RatingHistory::Add(const RatedGameInput& game) {
  // The people of the game, each once: those who played a second of it or fought in it.
  const size_t count = game.players.size();
  auto valid = [&](const RatedDuel& duel) { return duel.winner < count && duel.loser < count; };
  std::vector<bool> fought(count, false);
  for (const RatedDuel& duel : game.duels) {
    if (valid(duel)) fought[duel.winner] = fought[duel.loser] = true;
  }
  std::unordered_map<std::string_view, size_t> first;  // person -> his place in `players`
  std::vector<size_t> place_of(count, SIZE_MAX);       // input index -> place; none: SIZE_MAX
  std::vector<const RatedPlayer*> players;
  for (size_t i = 0; i < count; ++i) {
    const RatedPlayer& player = game.players[i];
    const auto known = first.find(player.person);
    if (known != first.end()) {
      place_of[i] = known->second;
      continue;
    }
    if (!fought[i] && WeightOf(player.seconds, game.seconds) <= 0.0) continue;
    place_of[i] = players.size();
    first.emplace(player.person, players.size());
    players.push_back(&player);
  }
  if (players.size() < 2) return {};

  // Each person: drifted for the games he missed, then tau once for this game.
  std::vector<State*> states;
  std::vector<Skill> skills;
  std::vector<RatingChange> changes;
  for (const RatedPlayer* player : players) {
    auto [it, fresh] = people_.try_emplace(player->person);
    if (fresh) it->second.skill = {options_.model.mu, options_.model.sigma};
    states.push_back(&it->second);
    skills.push_back(Drifted(it->second));
    changes.push_back({player->person, ShownSkill(skills.back()), 0.0});
    AddTau(skills.back(), options_.model);
  }

  // Every fight, in the order of the log.
  for (const RatedDuel& duel : game.duels) {
    if (!valid(duel)) continue;
    const size_t winner = place_of[duel.winner];
    const size_t loser = place_of[duel.loser];
    if (winner == loser) continue;
    RateDuel(skills[winner], skills[loser], options_.model);
    ++states[winner]->record.fights_won;
    ++states[loser]->record.fights_lost;
  }

  if (game.winner) {
    for (size_t i = 0; i < players.size(); ++i) {
      if (const auto* team = MainTeam(*players[i])) {
        ++(team->first == *game.winner ? states[i]->record.results_won
                                       : states[i]->record.results_lost);
      }
    }
    if (options_.team_result) RateResult(game, players, skills);
  }

  for (size_t i = 0; i < players.size(); ++i) {
    State& state = *states[i];
    state.skill = skills[i];
    ++state.games;
    state.last_game = games_;
    changes[i].after = ShownSkill(skills[i]);
    state.history.push_back(changes[i].after);
  }
  ++games_;
  return changes;
}

// The winning team against the rest, each player on the team he spent longest on, weighed by
// his time on it. Tau was added at the game's start: none here.
void RatingHistory::RateResult(const RatedGameInput& game,
                               const std::vector<const RatedPlayer*>& players,
                               std::vector<Skill>& skills) const {
  std::vector<RatedTeam> sides(2);
  sides[0].rank = 1;
  sides[1].rank = 2;
  std::vector<std::pair<size_t, size_t>> where;  // player -> (side, index in it)
  std::vector<size_t> side_of;
  for (size_t i = 0; i < players.size(); ++i) {
    const auto* team = MainTeam(*players[i]);
    if (team == nullptr) continue;
    const size_t side = team->first == *game.winner ? 0 : 1;
    where.emplace_back(i, sides[side].players.size());
    side_of.push_back(side);
    sides[side].players.push_back(skills[i]);
    sides[side].weights.push_back(WeightOf(team->second, game.seconds));
  }
  if (sides[0].players.empty() || sides[1].players.empty()) return;
  RatingModel no_tau = options_.model;
  no_tau.tau = 0.0;
  RateGame(sides, no_tau);
  for (size_t w = 0; w < where.size(); ++w) {
    skills[where[w].first] = sides[side_of[w]].players[where[w].second];
  }
}

PersonRating RatingHistory::Shown(const std::string& id, const State& state) const {
  PersonRating shown;
  shown.person = id;
  shown.skill = Drifted(state);
  shown.shown = ShownSkill(shown.skill);
  shown.plus_minus = 3.0 * shown.skill.sigma;
  shown.games = state.games;
  shown.record = state.record;
  shown.games_missed = static_cast<int>(std::max<int64_t>(0, games_ - 1 - state.last_game));
  shown.inactive = options_.inactive_after > 0 && shown.games_missed >= options_.inactive_after;
  shown.provisional = !shown.inactive && shown.plus_minus > options_.provisional_plus_minus;
  return shown;
}

std::vector<PersonRating> RatingHistory::Ranking() const {
  std::vector<PersonRating> ranking;
  ranking.reserve(people_.size());
  for (const auto& [id, state] : people_) ranking.push_back(Shown(id, state));
  auto part = [](const PersonRating& p) { return p.inactive ? 2 : p.provisional ? 1 : 0; };
  std::sort(ranking.begin(), ranking.end(), [&](const PersonRating& a, const PersonRating& b) {
    if (part(a) != part(b)) return part(a) < part(b);
    if (a.shown != b.shown) return a.shown > b.shown;
    return a.person < b.person;
  });
  int rank = 0;
  for (PersonRating& p : ranking) {
    if (part(p) == 0) p.rank = ++rank;
  }
  return ranking;
}

std::optional<PersonRating> RatingHistory::Find(const std::string& person) const {
  auto it = people_.find(person);
  if (it == people_.end()) return std::nullopt;
  for (const PersonRating& p : Ranking()) {
    if (p.person == person) return p;
  }
  return std::nullopt;
}

const std::vector<double>* RatingHistory::SkillHistory(const std::string& person) const {
  auto it = people_.find(person);
  return it == people_.end() ? nullptr : &it->second.history;
}

}  // namespace barvik
