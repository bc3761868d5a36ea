#include "stats/Games.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "core/AtomicReplace.h"
#include "core/FileError.h"
#include "core/ScratchFile.h"
#include "core/StableHash.h"
#include "log/LineFormat.h"
#include "stats/PeopleJoin.h"

namespace barvik {

std::string_view EndingName(GameEnding ending) {
  switch (ending) {
    case GameEnding::Exit:
      return "exit";
    case GameEnding::Restart:
      return "restart";
    case GameEnding::Shutdown:
      return "shutdown";
    case GameEnding::NextGame:
      return "next game";
    case GameEnding::EndOfLog:
      return "end of log";
  }
  return "end of log";
}

std::string ComparedName(std::string_view name) {
  std::string scratch;
  return std::string(NormaliseText(name, true, true, scratch));
}

using namespace gamebuild;  // NOLINT(google-build-using-namespace): the builder's own parts

namespace {

// Adds the counted figures of `from` (a participant) to `into` (a participant or a person).
template <typename Into>
void AddFigures(Into& into, const Participant& from) {
  into.kills += from.kills;
  into.deaths += from.deaths;
  into.suicides += from.suicides;
  into.team_kills += from.team_kills;
  into.world_deaths += from.world_deaths;
  into.head_shots += from.head_shots;
  into.damage_dealt += from.damage_dealt;
  into.damage_taken += from.damage_taken;
}

// Room the seconds count of one game keeps for the next.
struct SecondsScratch {
  std::vector<uint64_t> bits;
  std::vector<uint64_t> ordered;
  std::vector<uint32_t> run_starts;
};

// Adds to each player's `field` the seconds his stays (player, from << 32 | to) cover, counted once
// where they overlap. The seconds are marked in a bit set per player, unless the game's clock
// spans far more seconds than it has stays: then each player's stays are sorted by start
// (those of one part come sorted and apart) and walked.
void CountSeconds(const std::vector<std::pair<uint32_t, uint64_t>>& stays,
                  const std::vector<uint32_t>& parts_of_player, std::vector<Participant>& players,
                  SecondsScratch& scratch, uint32_t Participant::*field = &Participant::seconds) {
  uint32_t last = 0;
  for (const auto& stay : stays) last = std::max(last, static_cast<uint32_t>(stay.second));
  const size_t words = last / 64 + 1;
  if (players.size() * words <= 4 * stays.size() + 1024) {
    scratch.bits.assign(players.size() * words, 0);
    for (const auto& [player, stay] : stays) {
      const auto from = static_cast<uint32_t>(stay >> 32);
      const auto to = static_cast<uint32_t>(stay);
      if (to <= from) continue;
      uint64_t* bits = scratch.bits.data() + player * words;
      const size_t first = from / 64, end = (to - 1) / 64;
      const uint64_t head = ~uint64_t{0} << (from % 64);
      const uint64_t tail = ~uint64_t{0} >> (63 - (to - 1) % 64);
      if (first == end) {
        bits[first] |= head & tail;
        continue;
      }
      bits[first] |= head;
      std::fill(bits + first + 1, bits + end, ~uint64_t{0});
      bits[end] |= tail;
    }
    for (size_t player = 0; player < players.size(); ++player) {
      uint32_t seconds = 0;
      for (size_t w = player * words; w < (player + 1) * words; ++w)
        seconds += static_cast<uint32_t>(std::popcount(scratch.bits[w]));
      players[player].*field += seconds;
    }
    return;
  }
  // A counting sort by player, then each player's stays by start.
  std::vector<uint32_t>& run_starts = scratch.run_starts;
  std::vector<uint64_t>& ordered = scratch.ordered;
  run_starts.assign(players.size() + 1, 0);
  for (const auto& stay : stays) ++run_starts[stay.first + 1];
  for (size_t i = 1; i < run_starts.size(); ++i) run_starts[i] += run_starts[i - 1];
  ordered.resize(stays.size());
  for (const auto& [player, stay] : stays) ordered[run_starts[player]++] = stay;
  for (size_t player = 0, begin = 0; player < players.size(); ++player) {
    const size_t end = run_starts[player];  // moved to its run's end above
    if (parts_of_player[player] > 1) {
      std::sort(ordered.begin() + static_cast<std::ptrdiff_t>(begin),
                ordered.begin() + static_cast<std::ptrdiff_t>(end));
    }
    uint32_t reach = 0;
    uint32_t& seconds = players[player].*field;
    for (size_t i = begin; i < end; ++i) {
      const auto from = std::max(static_cast<uint32_t>(ordered[i] >> 32), reach);
      const auto to = static_cast<uint32_t>(ordered[i]);
      if (to > from) {
        seconds += to - from;
        reach = to;
      }
    }
    begin = end;
  }
}

}  // namespace

GamesModel BuildGames(const EventStore& store, const PeopleRules& rules,
                      const GamesScratch& scratch, const std::vector<std::string>& default_names) {
  return BuildGames(store, rules, scratch, default_names, GamesRange{}, nullptr);
}

void AddSpelling(std::vector<Spelling>& spellings, uint32_t raw, uint64_t count) {
  auto it = std::find_if(spellings.begin(), spellings.end(),
                         [&](const Spelling& s) { return s.raw == raw; });
  if (it == spellings.end()) {
    spellings.push_back({raw, count});
  } else {
    it->count += count;
  }
}

void AddGameToPeople(std::vector<Person>& people, const Game& game) {
  for (const Participant& p : game.players) {
    Person& person = people[p.person];
    if (person.games == 0) person.first_game = game.number;
    person.last_game = game.number;
    ++person.games;
    AddFigures(person, p);
    person.seconds += p.seconds;
    person.played_seconds += p.played_seconds;
    for (const ActionCount& a : p.actions) AddAction(person.actions, a.word, a.count);
  }
}

GamesModel BuildGames(const EventStore& store, const PeopleRules& rules,
                      const GamesScratch& scratch, const std::vector<std::string>& default_names,
                      const GamesRange& range, GamesPiece* piece) {
  const NameForms forms(store, true, true);
  GameParts b = ReadGameParts(store, forms, scratch, default_names, range);
  if (piece != nullptr) {
    piece->games = static_cast<uint32_t>(b.games.size());
    piece->cut_inside_game = b.cut_inside_game;
    piece->cut_game_start = b.cut_game_start;
    piece->unresolved = std::move(b.unresolved);
    piece->joins = b.renames;
    piece->joins.insert(piece->joins.end(), b.guid_ties.begin(), b.guid_ties.end());
    piece->guids.assign(b.guid_node.begin(), b.guid_node.end());
  }
  FoundPeople found = FindPeople(store, forms, b, rules, piece);
  const std::vector<PersonIndex>& person_of = found.person_of;
  GamesModel model;
  model.people = std::move(found.people);

  // Each game's parts, person by person.
  model.games = std::move(b.games);
  std::vector<uint32_t> player_of(model.people.size(), UINT32_MAX);  // in the current game
  std::vector<std::pair<uint32_t, uint64_t>> stays_of_players;       // player, from << 32 | to
  std::vector<std::pair<uint32_t, uint64_t>> lives_of_players;       // likewise
  SecondsScratch seconds_scratch;
  Intervals stays, lives;
  uint32_t kept_games = 0;
  std::vector<bool> stayed;
  std::vector<uint32_t> parts_of_player;
  for (size_t g = 0; g < model.games.size(); ++g) {
    Game& game = model.games[g];
    stays_of_players.clear();
    lives_of_players.clear();
    stayed.clear();
    parts_of_player.clear();
    std::vector<PersonIndex> people_of_parts;  // the kills' people
    const std::string_view packed = b.packed_parts->Game(g);
    const auto* const end = reinterpret_cast<const uint8_t*>(packed.data() + packed.size());
    for (const auto* at = reinterpret_cast<const uint8_t*>(packed.data()); at != end;) {
      stays.clear();
      lives.clear();
      const FinishedPart part = UnpackPart(at, stays, lives);
      const PersonIndex person = person_of[part.node];
      people_of_parts.push_back(person);
      if (person == kNoPerson) {
        // A nameless player's stay: a row of its own, its stays apart by construction.
        NamelessPlayer& row = game.nameless.emplace_back();
        row.name = found.nameless_spelling[part.node].raw;
        row.figures = part.stats;
        row.figures.first_at = part.first_at;
        row.figures.last_at = part.last_at;
        for (const auto& [from, to] : stays) row.figures.seconds += to - from;
        continue;
      }
      uint32_t& player = player_of[person];
      const auto index = static_cast<uint32_t>(player == UINT32_MAX ? game.players.size() : player);
      for (const auto& [from, to] : stays)
        stays_of_players.emplace_back(index, (uint64_t{from} << 32) | to);
      for (const auto& [from, to] : lives)
        lives_of_players.emplace_back(index, (uint64_t{from} << 32) | to);
      if (player == UINT32_MAX) {
        player = index;
        parts_of_player.push_back(1);
        game.players.push_back(part.stats);
        game.players.back().person = person;
        game.players.back().first_at = part.first_at;
        game.players.back().last_at = part.last_at;
        stayed.push_back(part.stayed);
        continue;
      }
      ++parts_of_player[player];
      Participant& into = game.players[player];
      const Participant& s = part.stats;
      for (size_t word = 0; word < into.slot_bits.size(); ++word)
        into.slot_bits[word] |= s.slot_bits[word];
      for (size_t t = 0; t < into.team_seconds.size(); ++t)
        into.team_seconds[t] += s.team_seconds[t];
      AddFigures(into, s);
      into.most_life_damage = std::max(into.most_life_damage, s.most_life_damage);
      into.longest_life = std::max(into.longest_life, s.longest_life);
      into.shortest_life = std::min(into.shortest_life, s.shortest_life);
      for (const ActionCount& a : s.actions) AddAction(into.actions, a.word, a.count);
      if (part.stayed) {
        into.first_at = stayed[player] ? std::min(into.first_at, part.first_at) : part.first_at;
        into.last_at = std::max(into.last_at, part.last_at);
        stayed[player] = true;
      }
    }
    for (const Participant& p : game.players) player_of[p.person] = UINT32_MAX;
    game.kills.SetPeople(std::move(people_of_parts));
    CountSeconds(stays_of_players, parts_of_player, game.players, seconds_scratch);
    CountSeconds(lives_of_players, parts_of_player, game.players, seconds_scratch,
                 &Participant::played_seconds);
    for (auto [nodes_of, into] :
         {std::pair{&b.won_nodes[g], &game.won}, {&b.lost_nodes[g], &game.lost}}) {
      for (const uint32_t node : *nodes_of) {
        if (person_of[node] != kNoPerson) into->push_back(person_of[node]);
      }
      std::sort(into->begin(), into->end());
      into->erase(std::unique(into->begin(), into->end()), into->end());
    }
    if (b.winner_node[g] != kNoNode) game.winner_person = person_of[b.winner_node[g]];
    std::sort(game.players.begin(), game.players.end(),
              [&game](const Participant& x, const Participant& y) {
                if (game.ffa && FreeForAllScore(x) != FreeForAllScore(y))
                  return FreeForAllScore(x) > FreeForAllScore(y);
                return x.kills != y.kills ? x.kills > y.kills : x.person < y.person;
              });
    std::stable_sort(game.nameless.begin(), game.nameless.end(),
                     [](const NamelessPlayer& x, const NamelessPlayer& y) {
                       return x.figures.kills > y.figures.kills;
                     });
    // A game with nobody in it is none: it keeps no number.
    if (game.players.empty()) continue;
    game.number = ++kept_games;
    game.warmup = game.seconds < kShortestGame || game.players.size() < 2;
    AddGameToPeople(model.people, game);
    for (const Participant& p : game.players) {
      for (const ActionCount& a : p.actions) AddAction(game.actions, a.word, a.count);
    }
  }
  std::erase_if(model.games, [](const Game& game) { return game.players.empty(); });
  model.has_games = !model.games.empty();
  if (model.has_games) model.server = model.games.back().server;
  return model;
}

PersonIndex GamesModel::FindPerson(const EventStore& store, std::string_view spelling) const {
  const std::string wanted = ComparedName(spelling);
  for (PersonIndex i = 0; i < people.size(); ++i) {
    for (const Spelling& s : people[i].spellings) {
      if (ComparedName(store.texts().Text(s.raw)) == wanted) return i;
    }
  }
  return kNoPerson;
}

void AddAction(std::vector<ActionCount>& actions, uint32_t word, uint32_t count) {
  auto at = std::lower_bound(actions.begin(), actions.end(), word,
                             [](const ActionCount& a, uint32_t w) { return a.word < w; });
  if (at == actions.end() || at->word != word) at = actions.insert(at, {word, 0});
  at->count += count;
}

int64_t FreeForAllScore(const Participant& p) {
  return int64_t{p.kills} - p.suicides - p.world_deaths;
}

std::vector<int> Participant::SlotNumbers() const {
  std::vector<int> numbers;
  for (size_t word = 0; word < slot_bits.size(); ++word) {
    for (uint64_t bits = slot_bits[word]; bits != 0; bits &= bits - 1)
      numbers.push_back(static_cast<int>(word * 64) + std::countr_zero(bits));
  }
  return numbers;
}

// A kill: the seconds since the last one, its `how`, victim * 4 + kind, and the attacker when
// he is neither the victim nor the world.
void GameKills::Add(uint32_t at, uint32_t how, GameKill::Kind kind, uint32_t victim,
                    uint32_t attacker) {
  std::array<uint8_t, 4 * NumberWriter::kMostBytes> kill;
  NumberWriter out(kill.data());
  out.Put(at - last_at_);
  last_at_ = at;
  out.Put(how);
  out.Put(uint64_t{victim} * 4 + static_cast<uint64_t>(kind));
  if (kind == GameKill::Kind::Kill || kind == GameKill::Kind::TeamKill) out.Put(attacker);
  bytes_.insert(bytes_.end(), kill.data(), out.end());
  ++count_;
}

void GameKills::SetPeople(std::vector<PersonIndex> people) { people_ = std::move(people); }

GameKills::Iterator::Iterator(const GameKills* kills, size_t at)
    : kills_(kills), at_(at), next_(at) {
  if (at_ < kills_->bytes_.size()) Read();
}

GameKills::Iterator& GameKills::Iterator::operator++() {
  at_ = next_;
  if (at_ < kills_->bytes_.size()) Read();
  return *this;
}

void GameKills::Iterator::Read() {
  const uint8_t* const start = kills_->bytes_.data();
  const uint8_t* from = start + at_;
  auto person = [&](uint64_t local) {
    return local < kills_->people_.size() ? kills_->people_[local] : kNoPerson;
  };
  kill_.at += GetNumber32(from);
  const How& how = (*kills_->hows_)[GetNumber(from)];
  kill_.weapon = how.weapon;
  kill_.location = how.location;
  kill_.means = how.means;
  const uint64_t victim = GetNumber(from);
  kill_.kind = static_cast<GameKill::Kind>(victim & 3);
  kill_.victim = person(victim >> 2);
  kill_.attacker = kill_.kind == GameKill::Kind::World     ? kNoPerson
                   : kill_.kind == GameKill::Kind::Suicide ? kill_.victim
                                                           : person(GetNumber(from));
  next_ = static_cast<size_t>(from - start);
}

const Participant* GamesModel::PlayerIn(const Game& game, PersonIndex person) const {
  for (const Participant& p : game.players) {
    if (p.person == person) return &p;
  }
  return nullptr;
}

}  // namespace barvik
