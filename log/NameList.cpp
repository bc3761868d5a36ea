#include "log/NameList.h"

#include "core/Text1252.h"
#include "log/LogFile.h"

namespace barvik {

int NameList::Find(std::string_view name) const {
  if (auto exact = exact_.find(name); exact != exact_.end()) return exact->second;
  LowerInto(name, scratch_);
  auto it = index_.find(std::string_view(scratch_));
  return it == index_.end() ? -1 : it->second;
}

int NameList::Add(std::string_view name) {
  if (name.empty()) return -1;
  LowerInto(name, scratch_);
  auto [it, inserted] = index_.try_emplace(scratch_, static_cast<int>(names_.size()));
  if (inserted) {
    names_.emplace_back(name);
    exact_.emplace(names_.back(), it->second);
  }
  return it->second;
}

NameList BuildNameList(const LogFile& log) {
  NameList names;
  std::string scratch;
  std::string_view fields[13];
  for (size_t i = 0; i < log.LineCount(); ++i) {
    std::string_view line = log.Line(i);
    std::string_view field1 = LogFile::GetField(line, 1);
    switch (LogFile::KindOfField1(field1)) {
      case LineKind::Join:
      case LineKind::Quit:
      case LineKind::Say:
        names.Add(log.NormaliseInto(LogFile::GetField(line, 4), scratch));
        break;
      case LineKind::Kill:
        LogFile::GetFields(line, 9, fields);
        names.Add(log.NormaliseInto(fields[4], scratch));
        names.Add(log.NormaliseInto(fields[8], scratch));
        break;
      default:
        break;
    }
  }
  return names;
}

}  // namespace barvik
