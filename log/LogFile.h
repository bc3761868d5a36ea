// LogFile: one loaded server log. The whole file is held in one buffer; the lines are views
// into it, indexed once at load time, and stay valid while the LogFile lives. Every pass over
// the log reads its lines through the accessors here, which split a line into ";"-fields
// after its time stamp and normalise names according to the two name flags.
//
// Bad input never fails: a line of any other form is of kind Other, and a missing field
// reads as the empty text. Only a file that cannot be read raises FileError.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace barvik {

enum class LineKind {
  GameInit = 0,
  Other = 1,
  Join = 2,
  Quit = 3,
  Say = 4,
  SayTeam = 5,
  WeaponPickUp = 6,
  Damage = 7,
  Kill = 8,
  Item = 9,
  Action = 10,
  Win = 11,
  Loss = 12,
};

struct Hit {
  std::string victim;
  std::string attacker;
  std::string weapon;
  std::string location;
};

struct GameInitValues {
  std::string map;
  std::string game_type;
  std::string server_name;
};

class LogFile {
 public:
  // Loads the file; throws FileError("Cannot open file <name>") when it cannot be read.
  explicit LogFile(const std::string& file_name);

  // A log made from text in memory (tests, benchmarks, the fuzzer).
  static LogFile FromText(std::string text);

  LogFile(LogFile&&) = default;
  LogFile& operator=(LogFile&&) = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  size_t LineCount() const { return lines_.size(); }
  std::string_view Line(size_t index) const {
    return std::string_view(buffer_.data() + lines_[index].first, lines_[index].second);
  }

  // Field n (from 1) of a line: the text between the (n-1)-th and n-th ";" of the event text
  // that follows the time stamp. Not normalised; empty when absent.
  static std::string_view GetField(std::string_view line, int n);

  // Fields 1 to `count` of a line in one scan; equal to GetField of each.
  static void GetFields(std::string_view line, int count, std::string_view* out);

  static LineKind GetLineKind(std::string_view line);
  // The kind from an already extracted field 1.
  static LineKind KindOfField1(std::string_view field1);

  // The text with case folded (IgnoreCase) and colour codes removed (IgnoreColors).
  std::string NormaliseName(std::string_view text) const;
  // The same without a copy where nothing changes: returns `text` itself or a view into
  // `scratch`, valid until `scratch` is next used.
  std::string_view NormaliseInto(std::string_view text, std::string& scratch) const;

  std::string ReadLineName(std::string_view line) const;                            // field 4
  std::pair<std::string, std::string> ReadPickUp(std::string_view line) const;      // 4, 5
  Hit ReadHit(std::string_view line) const;                                         // 5, 9, 10, 13
  std::string ReadItem(std::string_view line) const;                                // field 4
  std::string ReadAction(std::string_view line) const;                              // field 5
  void ReadTeamResult(std::string_view line, std::vector<std::string>& out) const;  // 4, 6, ...
  static GameInitValues ReadGameInit(std::string_view line);

  bool IgnoreCase = false;    // fold names to lower case
  bool IgnoreColors = false;  // remove "^x" colour codes from names
  std::string HostName;       // server name of the last game-initialisation line read
  int32_t TurnCount = 0;      // game-initialisation lines counted by the statistics pass

 private:
  LogFile() = default;
  void IndexLines();

  std::string buffer_;                            // the file's bytes
  std::vector<std::pair<size_t, size_t>> lines_;  // offset and length of each line
};

// One of the three values of a game-initialisation field 1: the text after `key` up to the
// next "\", "n/a" when the key is absent.
std::string_view GameInitValue(std::string_view field1, std::string_view key);

}  // namespace barvik
