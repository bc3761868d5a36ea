#include "app/WatchSettings.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace barvik {
namespace {

// The words of `value`; false with `error` set on an unclosed quote.
bool Words(const std::string& value, std::vector<std::string>& words, std::string& error) {
  std::string word;
  bool in_word = false;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ' ' || c == '\t') {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      continue;
    }
    if (c == '#' && !in_word) break;  // a comment, as in a shell
    in_word = true;
    if (c == '\\' && i + 1 < value.size()) {
      word += value[++i];
    } else if (c == '\'') {
      const size_t end = value.find('\'', i + 1);
      if (end == std::string::npos) {
        error = "a ' is not closed";
        return false;
      }
      word += value.substr(i + 1, end - i - 1);
      i = end;
    } else if (c == '"') {
      size_t j = i + 1;
      for (; j < value.size() && value[j] != '"'; ++j) {
        if (value[j] == '\\' && j + 1 < value.size() &&
            std::string_view("\"\\$`").find(value[j + 1]) != std::string_view::npos) {
          ++j;
        }
        word += value[j];
      }
      if (j >= value.size()) {
        error = "a \" is not closed";
        return false;
      }
      i = j;
    } else {
      word += c;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return true;
}

}  // namespace

WatchSettings ParseWatchSettings(const std::string& text, std::string& error) {
  WatchSettings settings;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    line = line.substr(start);
    if (line.starts_with("export ")) line = line.substr(7);
    const size_t eq = line.find('=');
    const std::string where = "line " + std::to_string(number) + ": ";
    if (eq == std::string::npos) {
      error = where + "no KEY=VALUE";
      return {};
    }
    const std::string key = line.substr(0, eq);
    std::vector<std::string> words;
    std::string why;
    if (!Words(line.substr(eq + 1), words, why)) {
      error = where + why;
      return {};
    }
    if (key == "BARVIK_LOGS") {
      settings.logs = std::move(words);
    } else if (key == "BARVIK_OPTIONS") {
      settings.options = std::move(words);
    } else if (key == "BARVIK_REPORT") {
      if (words.size() != 1) {
        error = where + "BARVIK_REPORT takes one folder (quote a path with blanks)";
        return {};
      }
      settings.report = words[0];
    } else {
      error = where;
      error += "unknown setting '" + key + "'";
      return {};
    }
  }
  return settings;
}

std::vector<std::string> ExpandWatchSettings(const std::vector<std::string>& args,
                                             std::string& error) {
  if (args.empty() || args[0] != "watch") return args;
  std::vector<std::string> out;
  std::string file;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {
      out.insert(out.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (args[i] == "--settings" && i + 1 < args.size()) {
      file = args[++i];
    } else if (args[i].starts_with("--settings=")) {
      file = args[i].substr(11);
    } else {
      out.push_back(args[i]);
    }
  }
  if (file.empty()) return args;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    error = "option '--settings': cannot read '" + file + "'";
    return args;
  }
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  std::string why;
  const WatchSettings settings = ParseWatchSettings(text, why);
  if (!why.empty()) {
    error = "settings file '" + file + "', " + why;
    return args;
  }
  if (settings.logs.empty() || settings.report.empty()) {
    error = "settings file '" + file + "' needs BARVIK_LOGS and BARVIK_REPORT";
    return args;
  }
  if (std::find(out.begin(), out.end(), "--") != out.end()) {
    error = "with '--settings' the logs and the report come from the file alone";
    return args;
  }
  out.insert(out.end(), settings.options.begin(), settings.options.end());
  out.push_back("--");
  out.insert(out.end(), settings.logs.begin(), settings.logs.end());
  out.push_back(settings.report);
  return out;
}

}  // namespace barvik
