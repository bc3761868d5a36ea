#include "log/NameList.h"

#include "log/LogFile.h"

namespace barvik {

int NameList::Find(std::string_view name) const {
  const KeyId folded = pool_->FindFolded(name);
  return folded < row_of_folded_.size() ? row_of_folded_[folded] : -1;
}

int NameList::AddKey(KeyId key) {
  if (pool_->Text(key).empty()) return -1;
  const KeyId folded = pool_->FoldedId(key);
  if (folded >= row_of_folded_.size()) row_of_folded_.resize(pool_->FoldedCount(), -1);
  int32_t& row = row_of_folded_[folded];
  if (row < 0) {
    row = static_cast<int32_t>(keys_.size());
    keys_.push_back(key);
  }
  return row;
}

std::vector<std::string> NameList::Names() const {
  std::vector<std::string> names;
  names.reserve(keys_.size());
  for (KeyId key : keys_) names.emplace_back(pool_->Text(key));
  return names;
}

NameList BuildNameList(const LogFile& log) {
  NameList names(log.Forms().shared_pool());
  AddNames(log, 0, names);
  return names;
}

void AddNames(const LogFile& log, uint32_t from, NameList& names) {
  const NameForms& forms = log.Forms();
  const EventStore& events = log.events();
  events.ForEachIn(from, events.EndPosition(), [&](const EventView& e) {
    switch (e.kind) {
      case LineKind::Join:
      case LineKind::Quit:
      case LineKind::Say:
        names.AddKey(forms.Name(e.ids[0]));
        break;
      case LineKind::Kill:
        names.AddKey(forms.Name(e.ids[0]));  // victim
        names.AddKey(forms.Name(e.ids[1]));  // attacker
        break;
      default:
        break;
    }
  });
}

}  // namespace barvik
