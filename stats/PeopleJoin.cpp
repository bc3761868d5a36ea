// Finding the people among the nodes: the people file's rules, renames and GUIDs join nodes
// unless they were in one game at once in different slots.
#include <algorithm>
#include <numeric>

#include "core/StableHash.h"
#include "stats/PeopleJoin.h"

namespace barvik::gamebuild {
namespace {

// Union-find over nodes with the lists of presences kept at each root, so a union can be
// refused when the two sides were in one game at the same time in different slots.
class Groups {
 public:
  explicit Groups(std::vector<Node>& nodes) : nodes_(nodes), parent_(nodes.size()) {
    std::iota(parent_.begin(), parent_.end(), 0u);
    forbidden_.resize(nodes.size());
  }

  uint32_t Find(uint32_t x) {
    while (parent_[x] != x) {
      parent_[x] = parent_[parent_[x]];
      x = parent_[x];
    }
    return x;
  }

  // Keeps a and b apart from now on (the people file's "different").
  void Forbid(uint32_t a, uint32_t b) {
    forbidden_[a].push_back(b);
    forbidden_[b].push_back(a);
  }

  // Joins the groups of a and b unless they overlap in some game (when `check`) or were
  // declared different. Returns whether they are one group now.
  bool Join(uint32_t a, uint32_t b, bool check) {
    a = Find(a);
    b = Find(b);
    if (a == b) return true;
    if (Forbidden(a, b)) return false;
    if (check && Overlap(nodes_[a].presences, nodes_[b].presences)) return false;
    // The longer list takes the shorter one in. (A person's id comes from his earliest node,
    // whichever is the root.)
    if (nodes_[a].presences.size() < nodes_[b].presences.size()) std::swap(a, b);
    auto& into = nodes_[a].presences;
    auto& from = nodes_[b].presences;
    const size_t middle = into.size();
    // Grown by a quarter at a time, not doubled: these lists are the most memory the search of
    // people holds, and they are held beside every game's packed parts.
    if (const size_t need = middle + from.size(); need > into.capacity())
      into.reserve(std::max(need, into.capacity() + into.capacity() / 4));
    into.insert(into.end(), from.begin(), from.end());
    std::inplace_merge(into.begin(), into.begin() + static_cast<std::ptrdiff_t>(middle), into.end(),
                       Earlier);
    from.clear();
    from.shrink_to_fit();
    forbidden_[a].insert(forbidden_[a].end(), forbidden_[b].begin(), forbidden_[b].end());
    forbidden_[b].clear();
    parent_[b] = a;
    return true;
  }

 private:
  static bool Earlier(const Presence& x, const Presence& y) {
    return std::tie(x.game, x.from) < std::tie(y.game, y.from);
  }

  bool Forbidden(uint32_t a, uint32_t b) {
    for (uint32_t f : forbidden_[a]) {
      if (Find(f) == b) return true;
    }
    for (uint32_t f : forbidden_[b]) {
      if (Find(f) == a) return true;
    }
    return false;
  }

  // Whether the two lists (each sorted by game) hold presences in one game, in different
  // slots, at overlapping times.
  static bool Overlap(const std::vector<Presence>& x, const std::vector<Presence>& y) {
    size_t j0 = 0;
    for (const Presence& p : x) {
      while (j0 < y.size() && y[j0].game < p.game) ++j0;
      for (size_t j = j0; j < y.size() && y[j].game == p.game; ++j) {
        const Presence& q = y[j];
        if (q.slot != p.slot && p.from < q.to && q.from < p.to) return true;
      }
    }
    return false;
  }

  std::vector<Node>& nodes_;
  std::vector<uint32_t> parent_;
  std::vector<std::vector<uint32_t>> forbidden_;
};

std::string PersonId(const Node& node, std::string_view compared) {
  StableHash h;
  h.Text(compared);
  if (node.stay)
    h.Number(node.game).Number(static_cast<uint64_t>(static_cast<int64_t>(node.slot) + 1000));
  static constexpr char kHex[] = "0123456789abcdef";
  uint64_t v = h.value();
  std::string id(12, '0');
  for (int i = 11; i >= 0; --i, v >>= 4) id[static_cast<size_t>(i)] = kHex[v & 15];
  return id;
}

}  // namespace

FoundPeople FindPeople(const EventStore& store, const NameForms& forms, GameParts& parts,
                       const PeopleRules& rules, GamesPiece* piece) {
  std::vector<Node>& nodes = parts.nodes;
  for (Node& node : nodes) node.presences = node.presence_log.Take();

  // The people file's spellings, as nodes (default names name nobody).
  auto node_of = [&](const std::string& spelling) -> uint32_t {
    const KeyId key = forms.pool().Find(ComparedName(spelling));
    if (key == KeyPool::kNone || key >= parts.name_node_.size()) return kNoNode;
    return parts.name_node_[key];
  };
  Groups groups(nodes);
  if (piece != nullptr && piece->earlier_person) {
    std::unordered_map<PersonIndex, uint32_t> first_of;
    for (uint32_t n = 0; n < nodes.size(); ++n) {
      if (nodes[n].stay || nodes[n].nameless) continue;
      const PersonIndex p = piece->earlier_person(forms.pool().Text(nodes[n].key));
      if (p == kNoPerson) continue;
      auto [it, fresh] = first_of.emplace(p, n);
      if (!fresh && !groups.Join(it->second, n, true)) piece->earlier_refused = true;
    }
  }
  for (const auto& list : rules.different) {
    for (size_t i = 0; i < list.size(); ++i) {
      for (size_t j = i + 1; j < list.size(); ++j) {
        const uint32_t x = node_of(list[i]);
        const uint32_t y = node_of(list[j]);
        if (x != kNoNode && y != kNoNode && x != y) groups.Forbid(x, y);
      }
    }
  }
  for (const auto& list : rules.same) {
    uint32_t first = kNoNode;
    for (const std::string& spelling : list) {
      const uint32_t n = node_of(spelling);
      if (n == kNoNode) continue;
      if (first == kNoNode) {
        first = n;
      } else {
        groups.Join(first, n, false);
        if (piece != nullptr) piece->joins.emplace_back(first, n);
      }
    }
  }
  for (auto [a, c] : parts.renames) groups.Join(a, c, true);
  for (auto [a, c] : parts.guid_ties) groups.Join(a, c, true);
  // The presences served the joins alone.
  for (Node& node : nodes) std::vector<Presence>().swap(node.presences);

  // People in order of their first node (nodes are made in order of first appearance) that
  // was in a game: a name whose only stays got nodes of their own is no one. A nameless
  // player is no one either.
  FoundPeople found;
  std::vector<PersonIndex> person_of_root(nodes.size(), kNoPerson);
  std::vector<PersonIndex> person_of(nodes.size(), kNoPerson);
  for (uint32_t n = 0; n < nodes.size(); ++n) {
    if (nodes[n].nameless || nodes[n].parts == 0) continue;
    const uint32_t root = groups.Find(n);
    if (person_of_root[root] == kNoPerson) {
      person_of_root[root] = static_cast<PersonIndex>(found.people.size());
      Person p;
      p.id = PersonId(nodes[n], forms.pool().Text(nodes[n].key));
      found.people.push_back(std::move(p));
    }
    person_of[n] = person_of_root[root];
  }
  for (uint32_t n = 0; n < nodes.size(); ++n) {
    if (!nodes[n].nameless && nodes[n].parts == 0) person_of[n] = person_of_root[groups.Find(n)];
  }
  if (piece != nullptr) {
    for (const Person& p : found.people) piece->base_ids.push_back(p.id);
    piece->nodes.resize(nodes.size());
    for (uint32_t n = 0; n < nodes.size(); ++n) {
      GamesPiece::Node& node = piece->nodes[n];
      node.named = !nodes[n].stay && !nodes[n].nameless;
      if (node.named) node.compared = forms.pool().Text(nodes[n].key);
      node.has_parts = nodes[n].parts > 0;
      node.person = person_of[n];
    }
  }
  // Ids that collide get a suffix, in order of first appearance.
  {
    std::unordered_map<std::string, uint32_t> seen;
    for (Person& p : found.people) {
      const uint32_t count = seen[p.id]++;
      if (count > 0) p.id += "-" + std::to_string(count + 1);
    }
  }
  std::unordered_map<uint32_t, Spelling> nameless_spelling;  // by node: its most used
  auto add_spelling = [&](uint32_t node, uint32_t raw, uint64_t count) {
    if (nodes[node].nameless) {
      Spelling& most = nameless_spelling[node];
      if (count > most.count || (count == most.count && raw < most.raw)) most = {raw, count};
      return;
    }
    if (person_of[node] == kNoPerson) {
      if (piece != nullptr) AddSpelling(piece->nodes[node].spellings, raw, count);
      return;
    }
    AddSpelling(found.people[person_of[node]].spellings, raw, count);
  };
  for (uint32_t raw = 0; raw < parts.raw_counts.size(); ++raw) {
    if (parts.raw_counts[raw] > 0)
      add_spelling(parts.name_node_[forms.Name(raw)], raw, parts.raw_counts[raw]);
  }
  for (const auto& [node_raw, count] : parts.spelling_counts) {
    add_spelling(static_cast<uint32_t>(node_raw >> 32), static_cast<uint32_t>(node_raw), count);
  }
  for (Person& p : found.people) {
    std::sort(p.spellings.begin(), p.spellings.end(), [](const Spelling& x, const Spelling& y) {
      return x.count != y.count ? x.count > y.count : x.raw < y.raw;
    });
    if (!p.spellings.empty()) p.display = store.texts().Text(p.spellings[0].raw);
  }
  for (const std::string& spelling : rules.hidden) {
    if (const uint32_t n = node_of(spelling); n != kNoNode && person_of[n] != kNoPerson)
      found.people[person_of[n]].hidden = true;
  }
  for (const auto& [spelling, shown] : rules.shown_as) {
    if (const uint32_t n = node_of(spelling); n != kNoNode && person_of[n] != kNoPerson)
      found.people[person_of[n]].display = shown;
  }
  TellApartDisplayNames(found.people);
  found.person_of = std::move(person_of);
  found.nameless_spelling = std::move(nameless_spelling);
  return found;
}

}  // namespace barvik::gamebuild

namespace barvik {

void TellApartDisplayNames(std::vector<Person>& people) {
  std::unordered_map<std::string, uint32_t> seen;
  std::vector<Person*> later;
  for (Person& p : people) {
    if (p.hidden) continue;
    if (seen[ComparedName(p.display)]++ > 0) later.push_back(&p);
  }
  if (later.empty()) return;
  std::unordered_map<std::string, uint32_t> number;
  for (Person* p : later) {
    const std::string compared = ComparedName(p->display);
    uint32_t& n = number[compared];
    // A suffixed name may itself be another person's: the next free number is taken.
    std::string shown;
    do {
      shown = p->display + " (" + std::to_string(++n + 1) + ")";
    } while (seen.count(ComparedName(shown)) > 0);
    seen[ComparedName(shown)] = 1;
    p->display = std::move(shown);
  }
}

}  // namespace barvik
