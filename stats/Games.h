// Games and people: the model of who played which game, computed from a log's events. A game
// runs from a game-initialisation line to the next one or to the end of the logs, rounds and
// short restarts of one map joined, and holds at least one person; a person is
// the set of spellings one human used, found across renames, colour codes and GUIDs. The
// per-name lists of the classic report are computed elsewhere and never from this model.
// docs/games-and-people.md defines every figure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/EventStore.h"
#include "log/LineFormat.h"
#include "stats/Clock.h"
#include "stats/PeopleRules.h"

namespace barvik {

// The texts behind the ids the model keeps: a view over the event store the model was built
// from, for the report writers, which see the model and its texts but not the log's records.
// Stays valid while the store lives; converts from the store as a string_view from a string.
class GameTexts {
 public:
  GameTexts(const EventStore& store) : store_(&store) {}  // NOLINT(google-explicit-constructor)

  // A map, game type, server or means-of-death name (setting ids).
  std::string_view Setting(uint32_t id) const { return store_->settings().Text(id); }
  // A spelling, weapon or hit location as written (raw text ids).
  std::string_view Text(uint32_t id) const { return store_->texts().Text(id); }
  // The "gamename" of the game-initialisation line whose record is at `position` (a game's
  // first_position): which game of the family wrote it; "" for a record of another kind.
  std::string_view GameNameAt(uint32_t position) const {
    const EventView e = store_->At(position);
    return e.kind == LineKind::GameInit ? Setting(e.ids[3]) : std::string_view();
  }
  // "allies", "axis", "other"; empty for kNoTeam.
  static std::string_view Team(uint32_t code) { return TeamNameOfCode(code); }
  static constexpr uint32_t kNoTeam = ::barvik::kNoTeam;

 private:
  const EventStore* store_;
};

using PersonIndex = uint32_t;  // an index into GamesModel::people
inline constexpr PersonIndex kNoPerson = UINT32_MAX;

enum class GameEnding { Exit, Restart, Shutdown, NextGame, EndOfLog };
// "exit", "restart", "shutdown", "next game", "end of log".
std::string_view EndingName(GameEnding ending);

// How often one objective action was done ("ctf_take" 3 times).
struct ActionCount {
  uint32_t word = 0;  // setting id of the action word as written
  uint32_t count = 0;
};
// Adds `count` of `word` to a list kept in order of word ids.
void AddAction(std::vector<ActionCount>& actions, uint32_t word, uint32_t count = 1);

inline constexpr uint32_t kNoLife = UINT32_MAX;  // Participant::shortest_life of nobody

// One person's part in one game.
struct Participant {
  PersonIndex person = kNoPerson;
  std::array<uint64_t, 2> slot_bits{};  // the slots he was in: slot n is bit n % 64 of word n / 64
  std::array<uint32_t, 4> team_seconds{};  // seconds on each team, by team code (0: none)
  uint32_t kills = 0;
  uint32_t deaths = 0;  // every death: by others, team mates, the world and his own hand
  uint32_t suicides = 0;
  uint32_t team_kills = 0;  // team mates he killed
  uint32_t world_deaths = 0;
  uint32_t head_shots = 0;
  uint64_t damage_dealt = 0;
  uint64_t damage_taken = 0;
  uint32_t seconds = 0;  // seconds in the game, in play or not (his stays)
  // Seconds since the game's start of his first line and of the end of his last stay.
  uint32_t first_at = 0;
  uint32_t last_at = 0;
  // The most damage dealt (as damage_dealt counts it) between two of his deaths.
  uint64_t most_life_damage = 0;
  // His lives (docs/games-and-people.md): the seconds he was in play, counted once where they
  // overlap; his longest life; his shortest life that a death ended and an earlier second of
  // it showed (kNoLife when none did).
  uint32_t played_seconds = 0;
  uint32_t longest_life = 0;
  uint32_t shortest_life = kNoLife;
  std::vector<ActionCount> actions;  // his objective actions (A lines), by word id

  std::vector<int> SlotNumbers() const;  // rising
};

// A free-for-all's score: kills, less a point for each death by his own hand or the world.
int64_t FreeForAllScore(const Participant& p);

// A stay under a default name ("Unknown Soldier") or a name that is blank once its colour
// codes are removed: nobody in particular, so no person. Its figures show on its game's page
// alone; it is in no list of people, no ranking and no award.
struct NamelessPlayer {
  uint32_t name = 0;    // raw text id of the name as written (its most used spelling)
  Participant figures;  // person is kNoPerson
};

// A kill line whose victim is a person. A kill by a nameless player (NamelessPlayer) has no
// attacker (kNoPerson) but keeps its kind; kills of a nameless player are not listed.
struct GameKill {
  enum class Kind : uint8_t { Kill, TeamKill, Suicide, World };
  uint32_t at = 0;                   // seconds since the game's start
  PersonIndex attacker = kNoPerson;  // kNoPerson: the world
  PersonIndex victim = kNoPerson;
  uint32_t weapon = 0;  // raw text ids
  uint32_t location = 0;
  uint32_t means = 0;  // setting id
  Kind kind = Kind::Kill;
};

// A game's kills in log order, a few bytes each (a long log holds millions): read by iterating,
// which yields GameKill values.
class GameKills {
 public:
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = GameKill;
    using difference_type = std::ptrdiff_t;
    using pointer = const GameKill*;
    using reference = const GameKill&;

    Iterator() = default;
    const GameKill& operator*() const { return kill_; }
    const GameKill* operator->() const { return &kill_; }
    Iterator& operator++();
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    friend class GameKills;
    Iterator(const GameKills* kills, size_t at);
    void Read();

    const GameKills* kills_ = nullptr;
    size_t at_ = 0;    // the byte its kill starts at
    size_t next_ = 0;  // the byte the next kill starts at
    GameKill kill_;
  };

  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, bytes_.size()}; }
  size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

  // A kill's weapon, hit location and means of death; the games of a model share one table.
  struct How {
    uint32_t weapon, location, means;
  };
  using Hows = std::vector<How>;

  // Building, in log order: `at` never runs back; `how` indexes the table SetHows gives;
  // `victim` and `attacker` (ignored for a suicide or a death by the world) index the table
  // SetPeople gives, which may come later.
  void SetHows(std::shared_ptr<const Hows> hows) { hows_ = std::move(hows); }
  void Add(uint32_t at, uint32_t how, GameKill::Kind kind, uint32_t victim, uint32_t attacker);
  void SetPeople(std::vector<PersonIndex> people);
  void ShrinkToFit() { bytes_.shrink_to_fit(); }

 private:
  std::vector<uint8_t> bytes_;
  std::shared_ptr<const Hows> hows_;
  std::vector<PersonIndex> people_;
  size_t count_ = 0;
  uint32_t last_at_ = 0;
};

struct Game {
  uint32_t number = 0;  // 1-based in log order; the game's id
  uint32_t map = 0;     // setting ids
  uint32_t game_type = 0;
  uint32_t server = 0;
  uint32_t start = 0;  // server uptime seconds as stamped
  uint32_t end = 0;
  uint32_t seconds = 0;  // its length; a clock that runs back inside it does not shorten it
  GameEnding ending = GameEnding::EndOfLog;
  bool warmup = false;  // under 60 seconds or fewer than two people
  bool ffa = false;     // a free-for-all: its game type is dm, or its kills carry no team
  uint32_t rounds = 1;  // the rounds (InitGame lines) it was played in
  std::array<uint32_t, 4> round_wins{};  // rounds each team won, by code; none for one round
  std::vector<ActionCount> actions;      // every objective action in it, by word id
  uint32_t winner_team = 0;  // team code of the last W line, 0 when none or a free-for-all
  PersonIndex winner_person = kNoPerson;  // the first name of the last W line of a free-for-all
  std::vector<Participant> players;       // most kills (free-for-all: score) first, then by person
  std::vector<NamelessPlayer> nameless;   // most kills first, then in order of arrival
  GameKills kills;                        // in log order
  std::vector<PersonIndex> won, lost;     // people named by its W and by its L lines, rising
  uint32_t first_position = 0;            // its records in the event store: [first, end)
  uint32_t end_position = 0;
  // When it began (Unix seconds, kNoDate when not known) and how that was found
  // (stats/GameDates.h): set by DateGames, not by BuildGames.
  int64_t started_at = kNoDate;
  TimeQuality time_quality = TimeQuality::Unknown;
};

struct Spelling {
  uint32_t raw = 0;    // raw text id, as written (case and colour codes)
  uint64_t count = 0;  // lines that carry it
};

struct Person {
  std::string id;                   // stays the same as the logs grow; also the page's file name
  std::vector<Spelling> spellings;  // most used first
  // The most used spelling, or the people file's name for him. When an earlier shown person
  // has the same display name (compared without colour codes and case), " (2)", " (3)", ...
  // in order of first appearance follows it, so that no two rows of a list look alike.
  std::string display;
  bool hidden = false;  // hidden by the people file: in no list, no page
  uint32_t games = 0;
  uint32_t kills = 0, deaths = 0, suicides = 0, team_kills = 0, world_deaths = 0, head_shots = 0;
  uint64_t damage_dealt = 0, damage_taken = 0;
  uint64_t seconds = 0;
  uint64_t played_seconds = 0;             // in play
  std::vector<ActionCount> actions;        // by word id
  uint32_t first_game = 0, last_game = 0;  // game numbers
  // His first line and the end of his last stay in his dated games (Unix seconds, kNoDate
  // when none has a date): set by DateGames.
  int64_t first_seen = kNoDate, last_seen = kNoDate;
};

struct GamesModel {
  std::vector<Game> games;
  std::vector<Person> people;  // in order of first appearance
  uint32_t server = 0;         // setting id of the last game's server name
  bool has_games = false;

  // The person of a spelling (compared folded; any spelling he used), kNoPerson if none.
  PersonIndex FindPerson(const EventStore& store, std::string_view spelling) const;
  const Participant* PlayerIn(const Game& game, PersonIndex person) const;
};

// Where the games' builder sets aside what it has made of the finished games until the people
// are known (a few dozen bytes per player and game: tens of megabytes for a long log).
struct GamesScratch {
  std::string folder;                   // empty: the system's temporary folder
  size_t held_bytes = size_t{1} << 20;  // held in memory before being set aside
};

// `default_names`: the names a player has who never set one ("Unknown Soldier"), compared as
// ComparedName gives; they and the names blank without their colour codes make no person
// (NamelessPlayer). The friendly-names table of the templates lists them.
GamesModel BuildGames(const EventStore& store, const PeopleRules& rules = {},
                      const GamesScratch& scratch = {},
                      const std::vector<std::string>& default_names = {});

// The records a build covers: [from, to), positions of records; a game-initialisation record
// at `to` ends the last game as it would in a build of all records. The games begun before
// `from` (empty ones too) give the numbers the ids of shared slots' people are made from.
struct GamesRange {
  uint32_t from = 0;
  uint32_t to = UINT32_MAX;  // beyond the last record: to the end of the log
  uint32_t games_before = 0;
};

// What a build of a range tells beyond its model, for joining its people to those of the
// records before it (see KeptGames.h). Nodes are what names stand for before people are found:
// one per compared name, one per stay of a shared slot or of a nameless player.
struct GamesPiece {
  // Given: the earlier person of a compared name (kNoPerson: none). The piece's names of one
  // earlier person are joined first, as a build of all records has them joined; when their
  // stays in the piece's games forbid it, `earlier_refused` is set.
  std::function<PersonIndex(std::string_view compared)> earlier_person;
  bool earlier_refused = false;

  struct Node {
    std::string compared;    // the compared name of a name's own node; empty for the others
    bool named = false;      // a name's own node
    bool has_parts = false;  // it was in a game under that node
    PersonIndex person = kNoPerson;
    // The lines of a node of no person in the piece (its stays went to shared slots): an
    // earlier person's spellings once joined, as a build of all records counts them.
    std::vector<Spelling> spellings;
  };
  std::vector<Node> nodes;
  // Renames, GUID ties and the people file's "same": pairs of nodes.
  std::vector<std::pair<uint32_t, uint32_t>> joins;
  std::vector<std::pair<uint32_t, uint32_t>> guids;  // GUID setting id, the first node of it
  std::vector<std::string> base_ids;  // by person: his id before a suffix that tells it apart
  // A name a result line named that had no node in the range: a player of earlier games.
  struct Named {
    enum List : uint8_t { kWon, kLost, kWinner };
    uint32_t game_start = 0;  // the game's first_position
    List list = kWon;
    std::string compared;
  };
  std::vector<Named> unresolved;
  uint32_t games = 0;            // games begun in the range, empty ones too
  bool cut_inside_game = false;  // the record at `to` goes on with the game before it,
  uint32_t cut_game_start = 0;   // which began at this record
};
GamesModel BuildGames(const EventStore& store, const PeopleRules& rules,
                      const GamesScratch& scratch, const std::vector<std::string>& default_names,
                      const GamesRange& range, GamesPiece* piece);

// Counts `count` more lines of the spelling `raw` in `spellings`.
void AddSpelling(std::vector<Spelling>& spellings, uint32_t raw, uint64_t count);
// Adds a game's players' figures to their people (games, first and last game, kills, ...).
void AddGameToPeople(std::vector<Person>& people, const Game& game);
// Follows each shown person's display name with " (2)", " (3)", ... when an earlier shown
// person's looks the same (compared without colour codes and case).
void TellApartDisplayNames(std::vector<Person>& people);

// The name a person is compared by: colour codes removed, letters folded.
// A line that ends the games of one server's events where another server's follow in one
// store: the game then running ends, and what comes before the next game-initialisation line
// belongs to no game, as at the start of a log. (An initialisation of no map and no game type
// on a server of this name, which no server writes.)
inline constexpr std::string_view kServerBoundaryName = "(between servers)";
inline constexpr std::string_view kServerBoundaryLine =
    "  0:00 InitGame: \\sv_hostname\\(between servers)\\g_gametype\\\\mapname\\\\";

std::string ComparedName(std::string_view name);

}  // namespace barvik
