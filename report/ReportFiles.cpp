#include "report/ReportFiles.h"

#include <unordered_set>

#include "report/PageWriter.h"

namespace barvik {

StringMap<std::string> AssignPlayerPrefixes(const std::vector<std::string>& names) {
  std::unordered_set<std::string, StringHash, std::equal_to<>> taken;
  for (std::string_view file : kGlobalReportFiles) taken.insert(std::string(file));
  StringMap<std::string> prefixes;
  prefixes.reserve(names.size());
  for (const std::string& name : names) {
    if (prefixes.contains(name)) continue;
    const std::string base = PlayerFilePrefix(name);
    std::string prefix = base;
    auto is_free = [&taken](const std::string& p) {
      for (std::string_view file : kPlayerFileBases) {
        std::string full = p;
        full += file;
        if (taken.contains(full)) return false;
      }
      return true;
    };
    for (int suffix = 2; !is_free(prefix); ++suffix) {
      prefix = base + "_" + std::to_string(suffix);
    }
    for (std::string_view file : kPlayerFileBases) {
      std::string full = prefix;
      full += file;
      taken.insert(std::move(full));
    }
    prefixes.emplace(name, std::move(prefix));
  }
  return prefixes;
}

std::string OutputFolderPrefix(std::string_view dest_dir) {
  std::string folder(dest_dir);
  for (char& c : folder) {
    if (c == '\\') c = '/';
  }
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace barvik
