// Finding the people among the game builder's nodes. Internal to stats/.
#pragma once

#include <unordered_map>
#include <vector>

#include "stats/GameParts.h"

namespace barvik::gamebuild {

struct FoundPeople {
  std::vector<Person> people;          // in order of their first node that was in a game
  std::vector<PersonIndex> person_of;  // by node; kNoPerson for the nameless and no one
  std::unordered_map<uint32_t, Spelling> nameless_spelling;  // by nameless node: its most used
};

// Joins the nodes into people by the people file's rules, the renames and the GUIDs (never two
// nodes that were in one game at once in different slots), names them by their most used
// spelling and applies the file's hidden and shown-as rules. Takes the nodes' presences.
// With a `piece`, the nodes, what joined them and the people's ids before their suffixes go
// there too.
FoundPeople FindPeople(const EventStore& store, const NameForms& forms, GameParts& parts,
                       const PeopleRules& rules, GamesPiece* piece = nullptr);

}  // namespace barvik::gamebuild
