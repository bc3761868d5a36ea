#include "report/ReportFiles.h"

#include <cstdint>
#include <unordered_set>

#include "core/Text1252.h"

namespace barvik {
namespace {

// FNV-1a: the same on every machine and run, so a cut prefix (part of page addresses)
// stays the same from one report to the next.
uint32_t StableHash(std::string_view text) {
  uint64_t h = 14695981039346656037ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return static_cast<uint32_t>(h ^ (h >> 32));
}

bool KeepsInPrefix(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '=' || c == '@' ||
         c == '^';
}

}  // namespace

std::string PlayerFilePrefix(std::string_view name) {
  std::string prefix;
  prefix.reserve(name.size() * 2);
  for (char c : LowerCopy(name)) {
    // A leading "." would make hidden files, which many web servers refuse to serve.
    if (KeepsInPrefix(c) && !(c == '.' && prefix.empty())) {
      prefix += c;
    } else {
      prefix += std::to_string(static_cast<int>(static_cast<signed char>(c)));
    }
  }
  return FitPrefix(prefix, name, kMaxPrefixBytes);
}

std::string FitPrefix(std::string_view prefix, std::string_view whole, size_t limit) {
  if (prefix.size() <= limit) return std::string(prefix);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string cut(prefix.substr(0, limit - 9));
  cut += '_';
  const uint32_t hash = StableHash(whole);
  for (int shift = 28; shift >= 0; shift -= 4) cut += kHex[(hash >> shift) & 0xF];
  return cut;
}

StringMap<std::string> AssignPlayerPrefixes(const std::vector<std::string>& names) {
  std::unordered_set<std::string, StringHash, std::equal_to<>> taken;
  taken.reserve(kGlobalReportFiles.size() + kPlayerFileBases.size() * names.size());
  for (std::string_view file : kGlobalReportFiles) taken.insert(std::string(file));
  auto is_free = [&taken](const std::string& p) {
    std::string full;
    for (std::string_view file : kPlayerFileBases) {
      full.assign(p);
      full += file;
      if (taken.contains(full)) return false;
    }
    return true;
  };
  // Per prefix, the first suffix not yet seen taken: the taken names only grow, so a suffix
  // found taken once stays taken and is not tried again.
  StringMap<int> next_suffix;
  next_suffix.reserve(names.size());
  StringMap<std::string> prefixes;
  prefixes.reserve(names.size());
  for (const std::string& name : names) {
    if (prefixes.contains(name)) continue;
    const std::string base = PlayerFilePrefix(name);
    std::string prefix = base;
    if (!is_free(prefix)) {
      int& suffix = next_suffix.try_emplace(base, 2).first->second;
      for (;; ++suffix) {
        // Built by appending: g++ 12 warns falsely on "literal" + std::string (its bug 105329).
        std::string tail(1, '_');
        tail += std::to_string(suffix);
        prefix = FitPrefix(base, base, kMaxPrefixBytes - tail.size());
        prefix += tail;
        if (is_free(prefix)) break;
      }
      ++suffix;
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
