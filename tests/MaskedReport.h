// Test helpers for report folders: a file's bytes, and the whole report with the footers'
// dates and times blanked, for comparing an incremental export with a fresh one.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <string>

#include "report/ReportFolder.h"

namespace barvik::testing {

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The report's files by relative path (the lock file left out), with the footers' dates and
// times blanked; a folder shows as "<folder>".
inline std::map<std::string, std::string> MaskedReport(const std::filesystem::path& folder) {
  static const std::regex classic("Statistics generated [^<\n]*<br>");
  static const std::regex site("<footer>Generated [^<\n]* with Barvik build");
  static const std::regex json("\"generated\":\"[^\"]*\"");
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (e.path().filename() == kLockFileName) continue;
    std::string text = e.is_directory() ? "<folder>" : ReadBytes(e.path());
    text = std::regex_replace(text, classic, "Statistics generated #<br>");
    text = std::regex_replace(text, site, "<footer>Generated # with Barvik build");
    text = std::regex_replace(text, json, "\"generated\":\"#\"");
    files[std::filesystem::relative(e.path(), folder).string()] = std::move(text);
  }
  return files;
}

}  // namespace barvik::testing
