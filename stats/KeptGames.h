// The games model kept between runs: the finished games and their people, as a text the caller
// stores (the export keeps it in the cache folder, one per report folder), so that the next run
// builds only the games of the records the kept model does not cover and joins them to it.
//
// The kept text covers the log's records up to the start of its last game (which the end of the
// log may still be growing); it names the program build, the people file's rules, the default
// names and a hash of those records and of the texts they use, so a model kept for other events
// or other rules is never taken. A new run builds the games from that start on alone and joins
// its people to the kept ones by their compared names and GUIDs; whenever the new records would
// change an earlier person (a rename or a GUID tie that reaches an earlier person, a name that
// was somebody's only in a shared slot, a result line naming someone not in the new records, a
// people file rule naming a new name) the whole history is built again. Either way the model
// is the one BuildGames gives for the whole store.
//
// The text is checked whole (a checksum) and every index in it against the store; damaged,
// foreign or truncated text is ignored and the history built again, never trusted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stats/Games.h"

namespace barvik {

// What became of the kept model in one run.
enum class KeptGamesUse {
  kNone,       // there was no kept model: the whole history was built
  kContinued,  // the kept model was continued with the new records alone
  kRebuilt,    // the kept model could not be continued: the whole history was built
};

struct KeptGamesOutcome {
  KeptGamesUse use = KeptGamesUse::kNone;
  std::string why;            // for kRebuilt: what stood in the way, in a few words
  uint32_t built_from = 0;    // the first record the run built games from
  uint32_t kept_games = 0;    // games taken from the kept model
  bool changed_kept = false;  // the text to keep differs from the one given
};

// The games model of `store` (as BuildGames with the same arguments gives it), continued from
// `kept` (empty: none). `build` names the program build; a model kept by another is not taken.
// The text to keep for the next run goes to `next_kept` (may be null).
GamesModel ContinueGames(const EventStore& store, const PeopleRules& rules,
                         const GamesScratch& scratch, const std::vector<std::string>& default_names,
                         std::string_view build, std::string_view kept, std::string* next_kept,
                         KeptGamesOutcome* outcome = nullptr);

// A game as bytes and back: every field of the model's Game, its players, nameless players and
// kills. ReadGame gives nothing for bytes it does not read whole or whose ids lie outside the
// given bounds (texts and settings of the store, people of the model, records).
struct GameBounds {
  uint32_t texts = 0;
  uint32_t settings = 0;
  uint32_t people = 0;
  uint32_t positions = 0;
};
void WriteGame(const Game& game, std::string& out);
std::optional<Game> ReadGame(std::string_view& in, const GameBounds& bounds);

// The whole model as bytes (its games as WriteGame gives them, each person's every field):
// two models are the same when these are.
std::string GamesModelBytes(const GamesModel& model);

}  // namespace barvik
