#include "stats/GameParts.h"

#include <bit>

namespace barvik::gamebuild {

void JoinIntervals(Intervals& list) {
  if (!std::is_sorted(list.begin(), list.end())) std::sort(list.begin(), list.end());
  size_t joined = 0;
  for (const auto& [from, to] : list) {
    if (to <= from) continue;
    if (joined > 0 && from <= list[joined - 1].second) {
      list[joined - 1].second = std::max(list[joined - 1].second, to);
    } else {
      list[joined++] = {from, to};
    }
  }
  list.resize(joined);
}

void PackPart(NodePart& part, PackBuffer& into) {
  const Participant& s = part.stats;
  Intervals& list = part.intervals;
  const bool stayed = !list.empty();
  uint32_t first = 0, last = 0;
  if (stayed) {
    if (!std::is_sorted(list.begin(), list.end())) std::sort(list.begin(), list.end());
    first = list.front().first;
    for (const auto& interval : list) last = std::max(last, interval.second);
    JoinIntervals(list);
  }
  JoinIntervals(part.played);
  const auto slots = static_cast<uint64_t>(std::popcount(s.slot_bits[0])) +
                     static_cast<uint64_t>(std::popcount(s.slot_bits[1]));
  NumberWriter out = into.Room(2 + slots + s.team_seconds.size() + 9 + 3 + 2 * list.size() + 4 +
                               2 * part.played.size() + 2 * s.actions.size());
  out.Put(part.node);
  out.Put(slots);
  for (size_t word = 0; word < s.slot_bits.size(); ++word) {
    for (uint64_t bits = s.slot_bits[word]; bits != 0; bits &= bits - 1)
      out.Put(word * 64 + static_cast<uint64_t>(std::countr_zero(bits)));
  }
  for (uint32_t t : s.team_seconds) out.Put(t);
  for (uint64_t figure : {uint64_t{s.kills}, uint64_t{s.deaths}, uint64_t{s.suicides},
                          uint64_t{s.team_kills}, uint64_t{s.world_deaths}, uint64_t{s.head_shots},
                          s.damage_dealt, s.damage_taken, s.most_life_damage})
    out.Put(figure);
  if (!stayed) {
    out.Put(0);
  } else {
    out.Put(list.size() + 1);
    out.Put(first);
    out.Put(last - first);
    uint32_t reach = first;
    for (const auto& [from, to] : list) {
      out.Put(from - reach);
      out.Put(to - from);
      reach = to;
    }
  }
  out.Put(s.longest_life);
  out.Put(s.shortest_life == kNoLife ? 0 : uint64_t{s.shortest_life} + 1);
  out.Put(part.played.size());
  uint32_t reach = 0;
  for (const auto& [from, to] : part.played) {
    out.Put(from - reach);
    out.Put(to - from);
    reach = to;
  }
  out.Put(s.actions.size());
  for (const ActionCount& a : s.actions) {
    out.Put(a.word);
    out.Put(a.count);
  }
  into.Done(out);
}

FinishedPart UnpackPart(const uint8_t*& from, Intervals& intervals, Intervals& played) {
  FinishedPart part;
  Participant& s = part.stats;
  part.node = GetNumber32(from);
  for (uint64_t n = GetNumber(from); n > 0; --n) {
    const uint64_t slot = GetNumber(from);
    s.slot_bits[slot / 64] |= uint64_t{1} << (slot % 64);
  }
  for (uint32_t& t : s.team_seconds) t = GetNumber32(from);
  for (uint32_t* figure :
       {&s.kills, &s.deaths, &s.suicides, &s.team_kills, &s.world_deaths, &s.head_shots})
    *figure = GetNumber32(from);
  s.damage_dealt = GetNumber(from);
  s.damage_taken = GetNumber(from);
  s.most_life_damage = GetNumber(from);
  const uint64_t stays = GetNumber(from);
  if (stays > 0) {
    part.stayed = true;
    part.first_at = GetNumber32(from);
    part.last_at = part.first_at + GetNumber32(from);
    uint32_t reach = part.first_at;
    for (uint64_t i = 1; i < stays; ++i) {
      const uint32_t begin = reach + GetNumber32(from);
      reach = begin + GetNumber32(from);
      intervals.emplace_back(begin, reach);
    }
  }
  s.longest_life = GetNumber32(from);
  const uint64_t shortest = GetNumber(from);
  s.shortest_life = shortest == 0 ? kNoLife : static_cast<uint32_t>(shortest - 1);
  uint32_t reach = 0;
  for (uint64_t lives = GetNumber(from); lives > 0; --lives) {
    const uint32_t begin = reach + GetNumber32(from);
    reach = begin + GetNumber32(from);
    played.emplace_back(begin, reach);
  }
  s.actions.resize(GetNumber(from));
  for (ActionCount& a : s.actions) {
    a.word = GetNumber32(from);
    a.count = GetNumber32(from);
  }
  return part;
}

}  // namespace barvik::gamebuild
