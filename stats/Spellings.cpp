#include "stats/Spellings.h"

#include <algorithm>

#include "log/LogFile.h"

namespace barvik {

Spellings CollectSpellings(const LogFile& log) {
  // Join lines name the player as he typed himself: his spellings, counted per row caption.
  const EventStore& events = log.events();
  const NameForms& forms = log.Forms();
  StringMap<StringMap<int>> counts;
  events.ForEach([&](const EventView& e) {
    if (e.kind != LineKind::Join) return;
    const std::string_view name = forms.pool().Text(forms.Name(e.ids[0]));
    ++counts[std::string(name)][std::string(events.texts().Text(e.ids[0]))];
  });
  Spellings spellings;
  for (auto& [name, forms] : counts) {
    std::vector<std::pair<std::string, int>> list(forms.begin(), forms.end());
    std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
      return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    spellings.emplace(name, std::move(list));
  }
  return spellings;
}

}  // namespace barvik
