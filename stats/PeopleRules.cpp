#include "stats/PeopleRules.h"

#include <algorithm>
#include <map>

#include "stats/Games.h"

namespace barvik {

namespace {

// The rules of a people file with the lines they came from, checked against each other once
// the file is read: a rule that undoes another is an error that names both lines.
class RuleLines {
 public:
  void Same(const std::vector<std::string>& names, size_t line) {
    for (const std::string& name : names) {
      same_lines_[ComparedName(name)].push_back(line);
      Mention(name, line);
    }
    for (size_t i = 1; i < names.size(); ++i) Join(names[0], names[i]);
  }
  void Different(const std::vector<std::string>& names, size_t line) {
    different_.push_back({names, line});
    for (const std::string& name : names) Mention(name, line);
  }
  void Hide(const std::string& name, size_t line) {
    hidden_.push_back({name, line});
    Mention(name, line);
  }
  void Name(const std::string& spelling, const std::string& shown, size_t line) {
    named_.push_back({spelling, shown, line});
    Mention(spelling, line);
  }

  // The first contradiction, by the later of its two lines: "line N: ..."; empty if none.
  std::string FirstProblem() {
    std::vector<std::pair<size_t, std::string>> problems;
    auto put = [&](size_t later, std::string why) { problems.emplace_back(later, std::move(why)); };
    for (const auto& [names, line] : different_) {
      for (size_t i = 0; i < names.size(); ++i) {
        for (size_t j = i + 1; j < names.size(); ++j) {
          if (Group(names[i]) != Group(names[j])) continue;
          const std::string same = SameLines(names[i], names[j]);
          const size_t later = std::max(line, LastSameLine(names[i], names[j]));
          put(later,
              LineText(later) + "\"different\"" +
                  (later == line ? "" : " of line " + std::to_string(line)) + " keeps apart \"" +
                  names[i] + "\" and \"" + names[j] + "\", which " + same + " (\"same\") " +
                  (same.find(" and ") != std::string::npos ? "make" : "makes") + " one person");
        }
      }
    }
    for (size_t a = 0; a < named_.size(); ++a) {
      for (size_t b = a + 1; b < named_.size(); ++b) {
        const Named& x = named_[a];
        const Named& y = named_[b];
        const size_t later = std::max(x.line, y.line);
        const size_t earlier = std::min(x.line, y.line);
        if (Group(x.spelling) == Group(y.spelling)) {
          put(later, LineText(later) + "a second \"name\" for the person line " +
                         std::to_string(earlier) + " names");
        } else if (ComparedName(x.shown) == ComparedName(y.shown)) {
          put(later, LineText(later) + "\"name\" shows two people as \"" + y.shown + "\": line " +
                         std::to_string(earlier) + " shows another person so");
        }
      }
      // Shown under the name of another person the file names.
      const Named& x = named_[a];
      if (auto it = mentioned_.find(ComparedName(x.shown));
          it != mentioned_.end() && Group(it->first) != Group(x.spelling)) {
        {
          const size_t other = it->second;
          put(std::max(x.line, other), LineText(std::max(x.line, other)) + "\"name\" of line " +
                                           std::to_string(x.line) + " shows a person as \"" +
                                           x.shown + "\", a name of another person (line " +
                                           std::to_string(other) + ")");
        }
      }
      for (const auto& [name, line] : hidden_) {
        if (Group(name) != Group(x.spelling)) continue;
        const size_t later = std::max(line, x.line);
        put(later, LineText(later) + "\"hide\" and \"name\" for one person (lines " +
                       std::to_string(std::min(line, x.line)) + " and " + std::to_string(later) +
                       "): a hidden person is shown under no name");
      }
    }
    if (problems.empty()) return "";
    return std::min_element(problems.begin(), problems.end(),
                            [](const auto& p, const auto& q) { return p.first < q.first; })
        ->second;
  }

 private:
  struct Named {
    std::string spelling, shown;
    size_t line;
  };
  static std::string LineText(size_t line) { return "line " + std::to_string(line) + ": "; }

  std::string Group(const std::string& name) {
    std::string at = ComparedName(name);
    for (auto it = parent_.find(at); it != parent_.end() && it->second != at; it = parent_.find(at))
      at = it->second;
    return at;
  }
  void Join(const std::string& a, const std::string& b) {
    const std::string x = Group(a), y = Group(b);
    if (x != y) parent_[y] = x;
    parent_.emplace(x, x);
  }
  // The first `same` line of each name: "line 2", or "lines 2 and 3".
  std::string SameLines(const std::string& a, const std::string& b) {
    const size_t x = same_lines_[ComparedName(a)].front();
    const size_t y = same_lines_[ComparedName(b)].front();
    if (x == y) return "line " + std::to_string(x);
    return "lines " + std::to_string(std::min(x, y)) + " and " + std::to_string(std::max(x, y));
  }
  size_t LastSameLine(const std::string& a, const std::string& b) {
    return std::max(same_lines_[ComparedName(a)].front(), same_lines_[ComparedName(b)].front());
  }

  void Mention(const std::string& name, size_t line) {
    mentioned_.emplace(ComparedName(name), line);
  }

  std::unordered_map<std::string, std::string> parent_;    // compared name -> one joined to it
  std::unordered_map<std::string, size_t> mentioned_;      // compared name -> its first line
  std::map<std::string, std::vector<size_t>> same_lines_;  // compared name -> its same lines
  std::vector<std::pair<std::vector<std::string>, size_t>> different_;
  std::vector<std::pair<std::string, size_t>> hidden_;
  std::vector<Named> named_;
};

}  // namespace

PeopleFileResult ParsePeopleFile(std::string_view text) {
  PeopleFileResult result;
  RuleLines lines;
  size_t number = 0;
  while (!text.empty()) {
    ++number;
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;) {
      const size_t semi = line.find(';', at);
      std::string_view field =
          line.substr(at, semi == std::string_view::npos ? line.npos : semi - at);
      while (!field.empty() && (field.front() == ' ' || field.front() == '\t'))
        field.remove_prefix(1);
      while (!field.empty() && (field.back() == ' ' || field.back() == '\t'))
        field.remove_suffix(1);
      fields.emplace_back(field);
      if (semi == std::string_view::npos) break;
      at = semi + 1;
    }
    const std::string& verb = fields[0];
    if (verb.empty() && fields.size() == 1) continue;  // a blank line
    if (!verb.empty() && verb[0] == '#') continue;
    std::vector<std::string> names(fields.begin() + 1, fields.end());
    std::erase_if(names, [](const std::string& n) { return n.empty(); });
    auto fail = [&](const std::string& why) {
      result.error = "line " + std::to_string(number) + ": " + why;
      return result;
    };
    if (verb == "same" || verb == "different") {
      if (names.size() < 2) return fail("\"" + verb + "\" needs two or more names");
      if (verb == "same") {
        lines.Same(names, number);
      } else {
        lines.Different(names, number);
      }
      (verb == "same" ? result.rules.same : result.rules.different).push_back(std::move(names));
    } else if (verb == "hide") {
      if (names.empty()) return fail("\"hide\" needs a name");
      for (auto& n : names) {
        lines.Hide(n, number);
        result.rules.hidden.push_back(std::move(n));
      }
    } else if (verb == "name") {
      if (names.size() != 2) return fail("\"name\" needs a spelling and the name to show");
      lines.Name(names[0], names[1], number);
      result.rules.shown_as.emplace_back(std::move(names[0]), std::move(names[1]));
    } else {
      return fail("unknown rule \"" + verb + "\" (same, different, hide or name)");
    }
  }
  result.error = lines.FirstProblem();
  if (!result.error.empty()) result.rules = {};
  return result;
}

}  // namespace barvik
