#include "stats/KeptGames.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

#include "core/Checksum.h"
#include "core/StableHash.h"

namespace barvik {
namespace {

// Raised whenever the kept text's form or what it holds changes: older texts are not read.
constexpr uint64_t kKeptGamesFormat = 1;
constexpr std::string_view kMagic = "barvik kept games\n";

// Numbers seven bits a byte, low bits first; texts with their length.
void Put(std::string& out, uint64_t n) {
  while (n >= 0x80) {
    out.push_back(static_cast<char>((n & 0x7F) | 0x80));
    n >>= 7;
  }
  out.push_back(static_cast<char>(n));
}
void PutText(std::string& out, std::string_view text) {
  Put(out, text.size());
  out.append(text);
}

// Reads what Put and PutText wrote; once a read runs past the end or a number is out of its
// bound, every later read fails too and ok() stays false.
class Reader {
 public:
  explicit Reader(std::string_view& in) : in_(in) {}
  bool ok() const { return ok_; }
  uint64_t Number() {
    uint64_t n = 0;
    for (int shift = 0; ok_; shift += 7) {
      if (in_.empty() || shift > 63) return Fail();
      const auto byte = static_cast<uint8_t>(in_[0]);
      in_.remove_prefix(1);
      n |= uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return n;
    }
    return 0;
  }
  // A number below `bound`.
  uint32_t Below(uint64_t bound) {
    const uint64_t n = Number();
    if (n >= bound) return static_cast<uint32_t>(Fail());
    return static_cast<uint32_t>(n);
  }
  uint32_t Word() { return Below(uint64_t{1} << 32); }
  std::string_view Text() {
    const uint64_t size = Number();
    if (!ok_ || size > in_.size()) return Fail(), std::string_view();
    const std::string_view text = in_.substr(0, size);
    in_.remove_prefix(size);
    return text;
  }
  uint64_t Fail() {
    ok_ = false;
    return 0;
  }

 private:
  std::string_view& in_;
  bool ok_ = true;
};

void PutActions(std::string& out, const std::vector<ActionCount>& actions) {
  Put(out, actions.size());
  for (const ActionCount& a : actions) {
    Put(out, a.word);
    Put(out, a.count);
  }
}
bool ReadActions(Reader& in, std::vector<ActionCount>& actions, uint32_t settings) {
  const uint64_t count = in.Number();
  for (uint64_t i = 0; i < count && in.ok(); ++i) {
    const uint32_t word = in.Below(settings);
    actions.push_back({word, in.Word()});
  }
  return in.ok();
}

// A person index as kept: 0 for nobody.
uint64_t PersonCode(PersonIndex p) { return p == kNoPerson ? 0 : uint64_t{p} + 1; }
PersonIndex ReadPerson(Reader& in, uint32_t people) {
  const uint32_t code = in.Below(uint64_t{people} + 1);
  return code == 0 ? kNoPerson : code - 1;
}

void PutParticipant(std::string& out, const Participant& p) {
  Put(out, PersonCode(p.person));
  for (uint64_t bits : p.slot_bits) Put(out, bits);
  for (uint32_t s : p.team_seconds) Put(out, s);
  for (uint64_t n :
       {uint64_t{p.kills}, uint64_t{p.deaths}, uint64_t{p.suicides}, uint64_t{p.team_kills},
        uint64_t{p.world_deaths}, uint64_t{p.head_shots}, p.damage_dealt, p.damage_taken,
        uint64_t{p.seconds}, uint64_t{p.first_at}, uint64_t{p.last_at}, p.most_life_damage,
        uint64_t{p.played_seconds}, uint64_t{p.longest_life}, uint64_t{p.shortest_life}}) {
    Put(out, n);
  }
  PutActions(out, p.actions);
}
bool ReadParticipant(Reader& in, Participant& p, const GameBounds& b) {
  p.person = ReadPerson(in, b.people);
  for (uint64_t& bits : p.slot_bits) bits = in.Number();
  for (uint32_t& s : p.team_seconds) s = in.Word();
  for (uint32_t* n :
       {&p.kills, &p.deaths, &p.suicides, &p.team_kills, &p.world_deaths, &p.head_shots}) {
    *n = in.Word();
  }
  p.damage_dealt = in.Number();
  p.damage_taken = in.Number();
  for (uint32_t* n : {&p.seconds, &p.first_at, &p.last_at}) *n = in.Word();
  p.most_life_damage = in.Number();
  for (uint32_t* n : {&p.played_seconds, &p.longest_life, &p.shortest_life}) *n = in.Word();
  return ReadActions(in, p.actions, b.settings);
}

// The weapon, hit location and means of death of kills, numbered as met: one table for the
// games of a model that are made again.
class HowTable {
 public:
  uint32_t Of(const GameKill& k) {
    auto [it, fresh] = index_.try_emplace(Key{k.weapon, k.location, k.means},
                                          static_cast<uint32_t>(hows_->size()));
    if (fresh) hows_->push_back({k.weapon, k.location, k.means});
    return it->second;
  }
  const std::shared_ptr<GameKills::Hows>& hows() const { return hows_; }

 private:
  struct Key {
    uint32_t weapon, location, means;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& k) const {
      return std::hash<uint64_t>()(((uint64_t{k.weapon} << 32) | k.location) * 31 + k.means);
    }
  };
  std::shared_ptr<GameKills::Hows> hows_ = std::make_shared<GameKills::Hows>();
  std::unordered_map<Key, uint32_t, KeyHash> index_;
};

// The kills of a game made again with each person mapped by `map` (a person index to its
// index in another model): the packed kills keep their people in a table of their own.
template <typename Map>
GameKills KillsOf(const std::vector<GameKill>& kills, HowTable& table, Map map) {
  std::vector<PersonIndex> people;
  std::unordered_map<PersonIndex, uint32_t> local;
  auto person = [&](PersonIndex p) {
    auto [it, fresh] = local.try_emplace(p, static_cast<uint32_t>(people.size()));
    if (fresh) people.push_back(map(p));
    return it->second;
  };
  GameKills out;
  out.SetHows(table.hows());
  for (const GameKill& k : kills) {
    const uint32_t how = table.Of(k);
    const uint32_t victim = person(k.victim);
    const bool attacked = k.kind == GameKill::Kind::Kill || k.kind == GameKill::Kind::TeamKill;
    out.Add(k.at, how, k.kind, victim, attacked ? person(k.attacker) : 0);
  }
  out.SetPeople(std::move(people));
  out.ShrinkToFit();
  return out;
}

// ReadGame with the table its kills share.
std::optional<Game> ReadGameWith(std::string_view& bytes, const GameBounds& b, HowTable& table);

}  // namespace

void WriteGame(const Game& game, std::string& out) {
  for (uint64_t n : {uint64_t{game.number}, uint64_t{game.map}, uint64_t{game.game_type},
                     uint64_t{game.server}, uint64_t{game.start}, uint64_t{game.end},
                     uint64_t{game.seconds}, static_cast<uint64_t>(game.ending),
                     uint64_t{game.warmup}, uint64_t{game.ffa}, uint64_t{game.rounds}}) {
    Put(out, n);
  }
  for (uint32_t w : game.round_wins) Put(out, w);
  PutActions(out, game.actions);
  Put(out, game.winner_team);
  Put(out, PersonCode(game.winner_person));
  Put(out, game.players.size());
  for (const Participant& p : game.players) PutParticipant(out, p);
  Put(out, game.nameless.size());
  for (const NamelessPlayer& n : game.nameless) {
    Put(out, n.name);
    PutParticipant(out, n.figures);
  }
  Put(out, game.kills.size());
  uint32_t last_at = 0;
  for (const GameKill& k : game.kills) {
    Put(out, k.at - last_at);
    last_at = k.at;
    for (uint64_t n : {uint64_t{k.weapon}, uint64_t{k.location}, uint64_t{k.means},
                       static_cast<uint64_t>(k.kind), PersonCode(k.victim), PersonCode(k.attacker)})
      Put(out, n);
  }
  for (const auto* list : {&game.won, &game.lost}) {
    Put(out, list->size());
    for (PersonIndex p : *list) Put(out, PersonCode(p));
  }
  Put(out, game.first_position);
  Put(out, game.end_position);
}

std::optional<Game> ReadGame(std::string_view& bytes, const GameBounds& b) {
  HowTable table;
  return ReadGameWith(bytes, b, table);
}

namespace {

std::optional<Game> ReadGameWith(std::string_view& bytes, const GameBounds& b, HowTable& table) {
  Reader in(bytes);
  Game game;
  game.number = in.Word();
  game.map = in.Below(b.settings);
  game.game_type = in.Below(b.settings);
  game.server = in.Below(b.settings);
  game.start = in.Word();
  game.end = in.Word();
  game.seconds = in.Word();
  game.ending = static_cast<GameEnding>(in.Below(static_cast<uint64_t>(GameEnding::EndOfLog) + 1));
  game.warmup = in.Below(2) != 0;
  game.ffa = in.Below(2) != 0;
  game.rounds = in.Word();
  for (uint32_t& w : game.round_wins) w = in.Word();
  if (!ReadActions(in, game.actions, b.settings)) return std::nullopt;
  game.winner_team = in.Below(game.round_wins.size());
  game.winner_person = ReadPerson(in, b.people);
  const uint64_t players = in.Number();
  if (players > bytes.size()) return std::nullopt;
  game.players.resize(players);
  for (Participant& p : game.players) {
    if (!ReadParticipant(in, p, b) || p.person == kNoPerson) return std::nullopt;
  }
  const uint64_t nameless = in.Number();
  if (nameless > bytes.size()) return std::nullopt;
  game.nameless.resize(nameless);
  for (NamelessPlayer& n : game.nameless) {
    n.name = in.Below(b.texts);
    if (!ReadParticipant(in, n.figures, b)) return std::nullopt;
  }
  const uint64_t kill_count = in.Number();
  if (kill_count > bytes.size()) return std::nullopt;
  std::vector<GameKill> kills(kill_count);
  uint32_t at = 0;
  for (GameKill& k : kills) {
    at += in.Word();
    k.at = at;
    k.weapon = in.Below(b.texts);
    k.location = in.Below(b.texts);
    k.means = in.Below(b.settings);
    k.kind = static_cast<GameKill::Kind>(in.Below(4));
    k.victim = ReadPerson(in, b.people);
    k.attacker = ReadPerson(in, b.people);
  }
  for (auto* list : {&game.won, &game.lost}) {
    const uint64_t count = in.Number();
    if (count > bytes.size()) return std::nullopt;
    for (uint64_t i = 0; i < count && in.ok(); ++i) {
      list->push_back(ReadPerson(in, b.people));
      if (list->back() == kNoPerson) return std::nullopt;  // result lines name people only
    }
  }
  game.first_position = in.Below(b.positions);
  game.end_position = in.Below(uint64_t{b.positions} + 1);
  if (!in.ok() || game.end_position < game.first_position) return std::nullopt;
  game.kills = KillsOf(kills, table, [](PersonIndex p) { return p; });
  return game;
}

}  // namespace

std::string GamesModelBytes(const GamesModel& model) {
  std::string out;
  Put(out, model.games.size());
  for (const Game& game : model.games) WriteGame(game, out);
  Put(out, model.people.size());
  for (const Person& p : model.people) {
    PutText(out, p.id);
    PutText(out, p.display);
    Put(out, p.hidden);
    Put(out, p.spellings.size());
    for (const Spelling& s : p.spellings) {
      Put(out, s.raw);
      Put(out, s.count);
    }
    for (uint64_t n : {uint64_t{p.games}, uint64_t{p.kills}, uint64_t{p.deaths},
                       uint64_t{p.suicides}, uint64_t{p.team_kills}, uint64_t{p.world_deaths},
                       uint64_t{p.head_shots}, p.damage_dealt, p.damage_taken, p.seconds,
                       p.played_seconds, uint64_t{p.first_game}, uint64_t{p.last_game}}) {
      Put(out, n);
    }
    PutActions(out, p.actions);
  }
  Put(out, model.server);
  Put(out, model.has_games);
  return out;
}

namespace {

// A model of the records before a game's start, with what joining the people of later records
// to its own needs.
struct Kept {
  uint32_t position = 0;  // the records it covers: [0, position)
  uint32_t texts = 0;     // the texts and settings of the store those records use
  uint32_t settings = 0;
  uint64_t hash = 0;                  // EventStore::PrefixHash of those
  uint32_t games_before = 0;          // games (empty ones included) begun before `position`
  GamesModel model;                   // people's figures, display names and hidden marks unset
  std::vector<std::string> base_ids;  // by person: the id before a suffix that tells it apart
  // Compared name -> its person, kNoPerson for a name that is no one's (or was in no game).
  std::unordered_map<std::string, PersonIndex> names;
  // GUID setting id -> the person of the first name that showed it (kNoPerson: none).
  std::unordered_map<uint32_t, PersonIndex> guids;
};

// Everything that decides the model besides the records: the build, the rules, the names.
uint64_t ContextHash(std::string_view build, const PeopleRules& rules,
                     const std::vector<std::string>& default_names) {
  StableHash h;
  h.Number(kKeptGamesFormat).Text(build);
  auto lists = [&h](const std::vector<std::vector<std::string>>& all) {
    h.Number(all.size());
    for (const auto& list : all) {
      h.Number(list.size());
      for (const std::string& s : list) h.Text(s);
    }
  };
  lists(rules.same);
  lists(rules.different);
  h.Number(rules.hidden.size());
  for (const std::string& s : rules.hidden) h.Text(s);
  h.Number(rules.shown_as.size());
  for (const auto& [spelling, shown] : rules.shown_as) h.Text(spelling).Text(shown);
  h.Number(default_names.size());
  for (const std::string& s : default_names) h.Text(s);
  return h.value();
}

std::string Serialise(const Kept& k, uint64_t context) {
  std::string out(kMagic);
  Put(out, kKeptGamesFormat);
  Put(out, context);
  for (uint64_t n : {uint64_t{k.position}, uint64_t{k.texts}, uint64_t{k.settings}, k.hash,
                     uint64_t{k.games_before}}) {
    Put(out, n);
  }
  Put(out, k.model.people.size());
  for (size_t i = 0; i < k.model.people.size(); ++i) {
    const Person& p = k.model.people[i];
    PutText(out, p.id);
    PutText(out, k.base_ids[i]);
    Put(out, p.spellings.size());
    for (const Spelling& s : p.spellings) {
      Put(out, s.raw);
      Put(out, s.count);
    }
  }
  // In a fixed order, so that the same model always gives the same text.
  std::vector<std::pair<std::string_view, PersonIndex>> names(k.names.begin(), k.names.end());
  std::sort(names.begin(), names.end());
  Put(out, names.size());
  for (const auto& [name, person] : names) {
    PutText(out, name);
    Put(out, PersonCode(person));
  }
  std::vector<std::pair<uint32_t, PersonIndex>> guids(k.guids.begin(), k.guids.end());
  std::sort(guids.begin(), guids.end());
  Put(out, guids.size());
  for (const auto& [guid, person] : guids) {
    Put(out, guid);
    Put(out, PersonCode(person));
  }
  Put(out, k.model.games.size());
  for (const Game& game : k.model.games) WriteGame(game, out);
  StreamHash sum;
  sum.Update(out.data(), out.size());
  const uint64_t check = sum.Final();
  out.append(reinterpret_cast<const char*>(&check), sizeof check);
  return out;
}

// The kept model of `text` when it is whole, of this context and of the records `store` holds;
// `why` says otherwise.
std::optional<Kept> Deserialise(std::string_view text, uint64_t context, const EventStore& store,
                                std::string& why) {
  why = "the kept games are damaged";
  if (text.size() < kMagic.size() + 8 || !text.starts_with(kMagic)) return std::nullopt;
  uint64_t check = 0;
  std::memcpy(&check, text.data() + text.size() - 8, 8);
  text.remove_suffix(8);
  StreamHash sum;
  sum.Update(text.data(), text.size());
  if (sum.Final() != check) return std::nullopt;
  text.remove_prefix(kMagic.size());
  Reader in(text);
  if (in.Number() != kKeptGamesFormat || !in.ok()) {
    why = "the kept games are of another format";
    return std::nullopt;
  }
  if (in.Number() != context || !in.ok()) {
    why = "the program, the people file or the default names changed";
    return std::nullopt;
  }
  Kept k;
  k.position = in.Word();
  k.texts = in.Word();
  k.settings = in.Word();
  k.hash = in.Number();
  k.games_before = in.Word();
  if (!in.ok()) return std::nullopt;
  if (store.PrefixHash(k.position, k.texts, k.settings) != k.hash) {
    why = "the earlier records changed";
    return std::nullopt;
  }
  const uint64_t people = in.Number();
  if (!in.ok() || people > text.size()) return std::nullopt;
  k.model.people.resize(people);
  k.base_ids.resize(people);
  for (size_t i = 0; i < people && in.ok(); ++i) {
    Person& p = k.model.people[i];
    p.id = in.Text();
    k.base_ids[i] = in.Text();
    const uint64_t spellings = in.Number();
    if (spellings > text.size()) return std::nullopt;
    for (uint64_t s = 0; s < spellings && in.ok(); ++s) {
      const uint32_t raw = in.Below(k.texts);
      p.spellings.push_back({raw, in.Number()});
    }
  }
  const auto people32 = static_cast<uint32_t>(people);
  const uint64_t names = in.Number();
  for (uint64_t i = 0; i < names && in.ok(); ++i) {
    const std::string_view name = in.Text();
    k.names.emplace(name, ReadPerson(in, people32));
  }
  const uint64_t guids = in.Number();
  for (uint64_t i = 0; i < guids && in.ok(); ++i) {
    const uint32_t guid = in.Below(k.settings);
    k.guids.emplace(guid, ReadPerson(in, people32));
  }
  const uint64_t games = in.Number();
  if (!in.ok() || games > text.size()) return std::nullopt;
  const GameBounds bounds{k.texts, k.settings, people32, k.position};
  k.model.games.reserve(games);
  HowTable table;
  // Each game begins at a game-initialisation record of the store, after the one before it:
  // the pages decode records from there.
  const std::vector<uint32_t>& inits = store.game_inits();
  auto init = inits.begin();
  for (uint64_t g = 0; g < games; ++g) {
    std::optional<Game> game = ReadGameWith(text, bounds, table);
    if (!game || game->number != g + 1 || game->end_position > k.position) return std::nullopt;
    init = std::lower_bound(init, inits.end(), game->first_position);
    if (init == inits.end() || *init != game->first_position) return std::nullopt;
    k.model.games.push_back(std::move(*game));
  }
  if (!text.empty()) return std::nullopt;
  return k;
}

// Figures, display names and hidden marks of every person, from the games, the spellings and
// the rules, as BuildGames makes them.
void FinishPeople(GamesModel& model, const EventStore& store, const PeopleRules& rules,
                  const std::unordered_map<std::string, PersonIndex>& names) {
  for (Person& p : model.people) {
    Person fresh;
    fresh.id = std::move(p.id);
    fresh.spellings = std::move(p.spellings);
    p = std::move(fresh);
    std::sort(p.spellings.begin(), p.spellings.end(), [](const Spelling& x, const Spelling& y) {
      return x.count != y.count ? x.count > y.count : x.raw < y.raw;
    });
    if (!p.spellings.empty()) p.display = store.texts().Text(p.spellings[0].raw);
  }
  for (const Game& game : model.games) AddGameToPeople(model.people, game);
  auto person_of = [&](const std::string& spelling) {
    auto it = names.find(ComparedName(spelling));
    return it != names.end() ? it->second : kNoPerson;
  };
  for (const std::string& spelling : rules.hidden) {
    if (const PersonIndex p = person_of(spelling); p != kNoPerson) model.people[p].hidden = true;
  }
  for (const auto& [spelling, shown] : rules.shown_as) {
    if (const PersonIndex p = person_of(spelling); p != kNoPerson) model.people[p].display = shown;
  }
  TellApartDisplayNames(model.people);
  model.has_games = !model.games.empty();
  model.server = model.has_games ? model.games.back().server : 0;
}

// `kept` (without its figures) continued with the games and people `piece` built from the
// records after it; false, with `why`, when the piece's people cannot be joined to the kept ones
// as a build of all the records would join them. `kept` is left as it was then.
bool Join(Kept& kept, GamesModel&& part, const GamesPiece& piece, std::string& why) {
  constexpr PersonIndex kNew = kNoPerson - 1;  // a node of no earlier person
  // The earlier person of each node of the piece.
  std::vector<PersonIndex> earlier(piece.nodes.size(), kNew);
  for (size_t n = 0; n < piece.nodes.size(); ++n) {
    const GamesPiece::Node& node = piece.nodes[n];
    if (!node.named) continue;
    auto it = kept.names.find(node.compared);
    if (it == kept.names.end()) continue;
    if (it->second == kNoPerson) {
      why = "a name that was no one's came back";
      return false;
    }
    earlier[n] = it->second;
  }
  if (piece.earlier_refused) {
    why = "new lines show two names of an earlier person at once";
    return false;
  }
  for (const auto& [a, b] : piece.joins) {
    if (earlier[a] != earlier[b]) {
      why = "new lines join an earlier person to another name";
      return false;
    }
  }
  for (const auto& [guid, node] : piece.guids) {
    auto it = kept.guids.find(guid);
    if (it != kept.guids.end() && (it->second == kNoPerson || earlier[node] != it->second)) {
      why = "a GUID of an earlier person shows with another name";
      return false;
    }
  }
  for (const GamesPiece::Named& n : piece.unresolved) {
    // A name whose only stays were shared slots' may still be somebody's through its group.
    if (auto it = kept.names.find(n.compared); it != kept.names.end() && it->second == kNoPerson) {
      why = "a result line names a name that was no one's";
      return false;
    }
  }
  // The piece's people: an earlier one or a new one, in the order the piece met them.
  std::vector<PersonIndex> person_map(part.people.size(), kNoPerson);
  for (size_t n = 0; n < piece.nodes.size(); ++n) {
    const PersonIndex p = piece.nodes[n].person;
    if (p != kNoPerson && earlier[n] != kNew) person_map[p] = earlier[n];
  }
  std::unordered_map<std::string, uint32_t> seen;
  for (const std::string& id : kept.base_ids) ++seen[id];
  for (size_t p = 0; p < part.people.size(); ++p) {
    if (person_map[p] != kNoPerson) {
      Person& into = kept.model.people[person_map[p]];
      for (const Spelling& s : part.people[p].spellings)
        AddSpelling(into.spellings, s.raw, s.count);
      continue;
    }
    person_map[p] = static_cast<PersonIndex>(kept.model.people.size());
    Person fresh;
    fresh.spellings = std::move(part.people[p].spellings);
    const std::string& base = piece.base_ids[p];
    const uint32_t count = seen[base]++;
    fresh.id = count > 0 ? base + "-" + std::to_string(count + 1) : base;
    kept.model.people.push_back(std::move(fresh));
    kept.base_ids.push_back(base);
  }
  // The lines of an earlier person's name that had no person in the piece are still his.
  for (size_t n = 0; n < piece.nodes.size(); ++n) {
    if (earlier[n] == kNew || piece.nodes[n].person != kNoPerson) continue;
    for (const Spelling& s : piece.nodes[n].spellings) {
      AddSpelling(kept.model.people[earlier[n]].spellings, s.raw, s.count);
    }
  }
  // Result lines' names of players the piece did not see by then: earlier people, as a build
  // of all records finds them by their names; a name the piece met only later is no one's
  // there either. Looked up before the piece's own names join the kept ones.
  std::unordered_map<uint32_t, std::vector<std::pair<GamesPiece::Named::List, PersonIndex>>> named;
  for (const GamesPiece::Named& n : piece.unresolved) {
    auto it = kept.names.find(n.compared);
    if (it != kept.names.end() && it->second != kNoPerson) {
      named[n.game_start].emplace_back(n.list, it->second);
    }
  }
  auto map = [&person_map](PersonIndex p) { return p == kNoPerson ? kNoPerson : person_map[p]; };
  for (size_t n = 0; n < piece.nodes.size(); ++n) {
    const GamesPiece::Node& node = piece.nodes[n];
    if (node.named)
      kept.names.emplace(node.compared, node.has_parts ? map(node.person) : kNoPerson);
  }
  for (const auto& [guid, node] : piece.guids) {
    kept.guids.emplace(guid,
                       piece.nodes[node].has_parts ? map(piece.nodes[node].person) : kNoPerson);
  }
  const auto before = static_cast<uint32_t>(kept.model.games.size());
  HowTable table;
  for (Game& game : part.games) {
    game.number += before;
    for (Participant& p : game.players) p.person = map(p.person);
    game.winner_person = map(game.winner_person);
    for (PersonIndex& p : game.won) p = map(p);
    for (PersonIndex& p : game.lost) p = map(p);
    if (auto it = named.find(game.first_position); it != named.end()) {
      for (const auto& [list, person] : it->second) {
        if (list == GamesPiece::Named::kWinner) {
          game.winner_person = person;
        } else {
          (list == GamesPiece::Named::kWon ? game.won : game.lost).push_back(person);
        }
      }
    }
    for (auto* list : {&game.won, &game.lost}) {
      std::sort(list->begin(), list->end());
      list->erase(std::unique(list->begin(), list->end()), list->end());
    }
    const std::vector<GameKill> kills(game.kills.begin(), game.kills.end());
    game.kills = KillsOf(kills, table, map);
    // Ties of kills go by person, whose indexes changed.
    std::sort(game.players.begin(), game.players.end(),
              [&game](const Participant& x, const Participant& y) {
                if (game.ffa && FreeForAllScore(x) != FreeForAllScore(y))
                  return FreeForAllScore(x) > FreeForAllScore(y);
                return x.kills != y.kills ? x.kills > y.kills : x.person < y.person;
              });
    kept.model.games.push_back(std::move(game));
  }
  kept.games_before += piece.games;
  return true;
}

}  // namespace

GamesModel ContinueGames(const EventStore& store, const PeopleRules& rules,
                         const GamesScratch& scratch, const std::vector<std::string>& default_names,
                         std::string_view build, std::string_view kept_text, std::string* next_kept,
                         KeptGamesOutcome* outcome) {
  KeptGamesOutcome local;
  KeptGamesOutcome& out = outcome != nullptr ? *outcome : local;
  out = {};
  const uint64_t context = ContextHash(build, rules, default_names);
  auto build_piece = [&](const Kept& base, uint32_t to, GamesPiece& piece) {
    piece.earlier_person = [&base](std::string_view compared) {
      auto it = base.names.find(std::string(compared));
      return it != base.names.end() ? it->second : kNoPerson;
    };
    return BuildGames(store, rules, scratch, default_names,
                      GamesRange{base.position, to, base.games_before}, &piece);
  };
  // Continues `base` with the records up to the start of the last game begun; false, with
  // `why`, when they cannot be joined to it (it is then as it was). `moved` tells whether it
  // took any record.
  auto advance = [&](Kept& base, std::string& why, bool& moved) -> bool {
    moved = false;
    // The last game-initialisation record begins a game unless it goes on with the one
    // before; then that game's start is taken.
    const std::vector<uint32_t>& inits = store.game_inits();
    uint32_t cut = inits.empty() ? base.position : inits.back();
    while (cut > base.position) {
      GamesPiece piece;
      GamesModel part = build_piece(base, cut, piece);
      if (piece.cut_inside_game) {
        cut = piece.cut_game_start;
        continue;
      }
      if (!Join(base, std::move(part), piece, why)) return false;
      base.position = cut;
      base.texts = static_cast<uint32_t>(store.texts().size());
      base.settings = static_cast<uint32_t>(store.settings().size());
      base.hash = *store.PrefixHash(base.position, base.texts, base.settings);
      moved = true;
      break;
    }
    return true;
  };

  Kept base;
  bool moved = false;
  bool continued = false;
  std::string why;
  if (!kept_text.empty()) {
    out.use = KeptGamesUse::kRebuilt;
    if (std::optional<Kept> kept = Deserialise(kept_text, context, store, why)) {
      out.kept_games = static_cast<uint32_t>(kept->model.games.size());
      out.built_from = kept->position;
      continued = advance(*kept, why, moved);
      if (continued) {
        base = std::move(*kept);
        out.use = KeptGamesUse::kContinued;
      }
    }
    if (!continued) out.why = why;
  }
  if (!continued) {
    out.kept_games = 0;
    out.built_from = 0;
    base = Kept{};
    base.hash = *store.PrefixHash(0, 0, 0);
    std::string unused;
    advance(base, unused, moved);  // nothing earlier to join to: never refused
    moved = true;
  }
  // What the next run continues: the records before the last game's start.
  if (next_kept != nullptr) {
    *next_kept = moved ? Serialise(base, context) : std::string(kept_text);
    out.changed_kept = moved;
  }
  // This run's model: those and the rest.
  GamesPiece piece;
  GamesModel part = build_piece(base, store.EndPosition(), piece);
  if (!Join(base, std::move(part), piece, why)) {
    if (out.use == KeptGamesUse::kContinued) {
      out.use = KeptGamesUse::kRebuilt;
      out.why = why;
    }
    out.kept_games = 0;
    out.built_from = 0;
    return BuildGames(store, rules, scratch, default_names);
  }
  GamesModel model = std::move(base.model);
  FinishPeople(model, store, rules, base.names);
  return model;
}

}  // namespace barvik
