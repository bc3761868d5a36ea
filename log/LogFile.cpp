#include "log/LogFile.h"

#include <sys/stat.h>
#include <cstdio>
#include <cstring>
#include <memory>

#include "core/FileError.h"
#include "core/Text1252.h"

namespace barvik {
namespace {

// Walks the ";"-fields of a line's event text, field 1 first. Past the last field every
// further field reads as empty.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) : line_(line) {
    const size_t n = line.size();
    if (n == 0) return;
    // Blanks, the time stamp, blanks: never past the last character.
    while (p_ + 1 < n && line[p_] == ' ') ++p_;
    while (p_ + 1 < n && line[p_] != ' ') ++p_;
    while (p_ + 1 < n && line[p_] == ' ') ++p_;
  }

  std::string_view Next() {
    const size_t n = line_.size();
    size_t start = p_;
    if (start >= n) {
      ++p_;
      return {};
    }
    const void* semicolon = std::memchr(line_.data() + start, ';', n - start);
    size_t end =
        semicolon ? static_cast<size_t>(static_cast<const char*>(semicolon) - line_.data()) : n;
    p_ = end + 1;
    if (start >= end) return {};
    return line_.substr(start, end - start);
  }

 private:
  std::string_view line_;
  size_t p_ = 0;
};

}  // namespace

LogFile::LogFile(const std::string& file_name) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(file_name.c_str(), "rb"), &std::fclose);
  struct stat info {};
  if (!file || fstat(fileno(file.get()), &info) != 0 || S_ISDIR(info.st_mode)) {
    throw FileError::CannotOpen(file_name);
  }
  // Read in one piece where the size is known, then on to the end whatever the size said: a
  // log still being written may have grown.
  size_t have = 0;
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    buffer_.resize(static_cast<size_t>(info.st_size));
    have = std::fread(buffer_.data(), 1, buffer_.size(), file.get());
    buffer_.resize(have);
  }
  char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) buffer_.append(chunk, got);
  if (std::ferror(file.get())) throw FileError::CannotOpen(file_name);
  IndexLines();
}

LogFile LogFile::FromText(std::string text) {
  LogFile log;
  log.buffer_ = std::move(text);
  log.IndexLines();
  return log;
}

void LogFile::IndexLines() {
  // A line ends at CR, LF or CR LF. A run of NUL bytes (a crashed server's hole in its log)
  // ends a line as a LF would, and loading goes on after it.
  const char* data = buffer_.data();
  const size_t n = buffer_.size();
  lines_.clear();
  lines_.reserve(n / 64 + 1);
  size_t start = 0;
  size_t pos = 0;
  auto skip_nul_run = [&] {
    while (pos < n && data[pos] == '\0') ++pos;
  };
  while (pos < n) {
    // The next terminator: the first LF, CR or NUL from pos on.
    const char* lf = static_cast<const char*>(std::memchr(data + pos, '\n', n - pos));
    size_t end = lf ? static_cast<size_t>(lf - data) : n;
    if (const void* cr = std::memchr(data + pos, '\r', end - pos)) {
      end = static_cast<size_t>(static_cast<const char*>(cr) - data);
    }
    if (const void* nul = std::memchr(data + pos, '\0', end - pos)) {
      end = static_cast<size_t>(static_cast<const char*>(nul) - data);
    }
    if (end == n) break;
    pos = end;
    char c = data[pos];
    lines_.emplace_back(start, pos - start);
    if (c == '\n') {
      ++pos;
    } else if (c == '\0') {
      skip_nul_run();
    } else {
      ++pos;
      if (pos < n && data[pos] == '\n') {
        ++pos;
      } else if (pos < n && data[pos] == '\0') {
        skip_nul_run();
      }
    }
    start = pos;
  }
  if (start < n) lines_.emplace_back(start, n - start);
}

std::string_view LogFile::GetField(std::string_view line, int n) {
  FieldCursor cursor(line);
  std::string_view field;
  for (int i = 0; i < n; ++i) field = cursor.Next();
  return field;
}

void LogFile::GetFields(std::string_view line, int count, std::string_view* out) {
  FieldCursor cursor(line);
  for (int i = 0; i < count; ++i) out[i] = cursor.Next();
}

LineKind LogFile::KindOfField1(std::string_view f) {
  switch (f.size()) {
    case 1:
      switch (f[0]) {
        case 'J':
          return LineKind::Join;
        case 'Q':
          return LineKind::Quit;
        case 'D':
          return LineKind::Damage;
        case 'K':
          return LineKind::Kill;
        case 'A':
          return LineKind::Action;
        case 'W':
          return LineKind::Win;
        case 'L':
          return LineKind::Loss;
        default:
          return LineKind::Other;
      }
    case 3:
      if (f == "say") return LineKind::Say;
      break;
    case 4:
      if (f == "Item") return LineKind::Item;
      break;
    case 6:
      if (f == "Weapon") return LineKind::WeaponPickUp;
      break;
    case 7:
      if (f == "sayteam") return LineKind::SayTeam;
      break;
    default:
      break;
  }
  if (f.size() >= 9 && f.substr(0, 9) == "InitGame:") return LineKind::GameInit;
  return LineKind::Other;
}

LineKind LogFile::GetLineKind(std::string_view line) { return KindOfField1(GetField(line, 1)); }

std::string_view LogFile::NormaliseInto(std::string_view text, std::string& scratch) const {
  if (!IgnoreCase && !IgnoreColors) return text;
  if (IgnoreCase) {
    LowerInto(text, scratch);
  } else {
    scratch.assign(text);
  }
  if (IgnoreColors && std::memchr(scratch.data(), '^', scratch.size()) != nullptr) {
    // Deleting the first "^" and the character after it, again and again, leaves the same
    // text as one left-to-right pass that drops every "^" with its follower.
    size_t out = 0;
    for (size_t i = 0; i < scratch.size(); ++i) {
      if (scratch[i] == '^') {
        ++i;
        continue;
      }
      scratch[out++] = scratch[i];
    }
    scratch.resize(out);
  }
  return scratch;
}

std::string LogFile::NormaliseName(std::string_view text) const {
  std::string scratch;
  return std::string(NormaliseInto(text, scratch));
}

std::string LogFile::ReadLineName(std::string_view line) const {
  return NormaliseName(GetField(line, 4));
}

std::pair<std::string, std::string> LogFile::ReadPickUp(std::string_view line) const {
  std::string_view f[5];
  GetFields(line, 5, f);
  return {NormaliseName(f[3]), NormaliseName(f[4])};
}

Hit LogFile::ReadHit(std::string_view line) const {
  std::string_view f[13];
  GetFields(line, 13, f);
  return Hit{NormaliseName(f[4]), NormaliseName(f[8]), NormaliseName(f[9]), NormaliseName(f[12])};
}

std::string LogFile::ReadItem(std::string_view line) const {
  return NormaliseName(GetField(line, 4));
}

std::string LogFile::ReadAction(std::string_view line) const {
  return NormaliseName(GetField(line, 5));
}

void LogFile::ReadTeamResult(std::string_view line, std::vector<std::string>& out) const {
  FieldCursor cursor(line);
  for (int i = 0; i < 3; ++i) cursor.Next();
  std::string scratch;
  for (;;) {
    std::string_view name = NormaliseInto(cursor.Next(), scratch);
    if (name.empty()) return;
    out.emplace_back(name);
    cursor.Next();
  }
}

std::string_view GameInitValue(std::string_view field1, std::string_view key) {
  size_t at = field1.find(key);
  if (at == std::string_view::npos) return "n/a";
  std::string_view rest = field1.substr(at + key.size());
  size_t slash = rest.find('\\');
  if (slash == std::string_view::npos) return {};
  return rest.substr(0, slash);
}

GameInitValues LogFile::ReadGameInit(std::string_view line) {
  std::string_view field1 = GetField(line, 1);
  return GameInitValues{std::string(GameInitValue(field1, "\\mapname\\")),
                        std::string(GameInitValue(field1, "\\g_gametype\\")),
                        std::string(GameInitValue(field1, "\\sv_hostname\\"))};
}

}  // namespace barvik
