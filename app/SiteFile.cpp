#include "app/SiteFile.h"

#include <toml++/toml.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "remote/RemoteUrl.h"
#include "stats/Clock.h"

namespace barvik {
namespace {

// A fault of the file at a place in it.
struct SiteFileError {
  toml::source_position at;
  std::string what;
};

[[noreturn]] void Fail(const toml::source_region& at, std::string what) {
  throw SiteFileError{at.begin, std::move(what)};
}

// Lower-case letters, digits, '-' and '_': safe in a file name, a URL and a JSON key.
bool IsKeyText(std::string_view text) {
  if (text.empty() || text.size() > 64) return false;
  for (char c : text) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) return false;
  }
  return true;
}

std::string String(const toml::node& value, std::string_view field) {
  const std::optional<std::string> text = value.value_exact<std::string>();
  if (!text) Fail(value.source(), "'" + std::string(field) + "' takes a text in quotes");
  return *text;
}

// A server's key or a league: a text IsKeyText takes. `what`: "a server's key", "a league".
std::string KeyText(const toml::node& value, std::string_view field, const std::string& what) {
  std::string text = String(value, field);
  if (!IsKeyText(text)) {
    Fail(value.source(),
         what + " takes lower-case letters, digits, '-' and '_' (at most 64), not '" + text + "'");
  }
  return text;
}

// A time zone's name, known to the machine's zone database.
std::string TimeZone(const toml::node& value, std::string_view field) {
  std::string name = String(value, field);
  try {
    Zone::Of(ClockSettings{name, {}});
  } catch (const ClockError& e) {
    Fail(value.source(), e.what());
  }
  return name;
}

// A local path taken from the site file's folder; a URL as written.
std::string Place(const std::string& text, const std::filesystem::path& base) {
  if (remote::IsRemoteName(text) || text.empty()) return text;
  const std::filesystem::path path(text);
  return path.is_absolute() ? text : (base / path).lexically_normal().string();
}

std::string Path(const toml::node& value, std::string_view field,
                 const std::filesystem::path& base) {
  const std::string text = String(value, field);
  if (text.empty()) Fail(value.source(), "'" + std::string(field) + "' is empty");
  return Place(text, base);
}

// "a", "b" or "c": the fields a table takes, for the message of an unknown one.
std::string Known(const std::vector<std::string_view>& fields) {
  std::string text;
  for (size_t i = 0; i < fields.size(); ++i) {
    text += i == 0 ? "" : i + 1 == fields.size() ? " or " : ", ";
    text += '\'';
    text += fields[i];
    text += '\'';
  }
  return text;
}

void CheckFields(const toml::table& table, std::string_view where,
                 const std::vector<std::string_view>& fields) {
  for (auto&& [key, value] : table) {
    if (std::find(fields.begin(), fields.end(), key.str()) == fields.end()) {
      Fail(key.source(), "unknown field '" + std::string(key.str()) + "' in " + std::string(where) +
                             " (it takes " + Known(fields) + ")");
    }
  }
}

void ReadSite(const toml::table& table, const std::filesystem::path& base, SiteConfig& site) {
  CheckFields(table, "[site]", {"title", "report", "encoding", "people", "timezone", "clock_cvar"});
  for (auto&& [key, value] : table) {
    const std::string_view k = key.str();
    if (k == "title") site.title = String(value, k);
    if (k == "report") site.report = Path(value, k, base);
    if (k == "encoding") site.encoding = String(value, k);
    if (k == "people") site.people = Path(value, k, base);
    if (k == "timezone") site.timezone = TimeZone(value, k);
    if (k == "clock_cvar") site.clock_cvar = String(value, k);
  }
}

SiteServer ReadServer(const toml::table& table, const std::filesystem::path& base) {
  CheckFields(table, "[[server]]",
              {"key", "name", "logs", "league", "people", "timezone", "clock_cvar"});
  SiteServer server;
  bool has_key = false;
  bool has_logs = false;
  for (auto&& [key, value] : table) {
    const std::string_view k = key.str();
    if (k == "key") {
      server.key = KeyText(value, k, "a server's key");
      has_key = true;
    }
    if (k == "name") server.name = String(value, k);
    if (k == "league") server.league = KeyText(value, k, "a league");
    if (k == "people") server.people = Path(value, k, base);
    if (k == "timezone") server.timezone = TimeZone(value, k);
    if (k == "clock_cvar") server.clock_cvar = String(value, k);
    if (k == "logs") {
      has_logs = true;
      if (value.is_string()) {
        server.logs.push_back(Path(value, k, base));
        continue;
      }
      const toml::array* logs = value.as_array();
      if (logs == nullptr) Fail(value.source(), "'logs' takes a list of texts in quotes");
      for (const toml::node& log : *logs) server.logs.push_back(Path(log, k, base));
      if (server.logs.empty()) Fail(value.source(), "'logs' names no log");
    }
  }
  if (!has_key) Fail(table.source(), "a [[server]] without its 'key'");
  if (!has_logs) Fail(table.source(), "server '" + server.key + "' without its 'logs'");
  return server;
}

SiteConfig Read(const toml::table& root, const std::filesystem::path& base) {
  SiteConfig site;
  CheckFields(root, "the site file", {"site", "server"});
  if (const toml::node* node = root.get("site")) {
    const toml::table* table = node->as_table();
    if (table == nullptr) Fail(node->source(), "'site' is a table: [site]");
    ReadSite(*table, base, site);
  }
  const toml::node* servers = root.get("server");
  if (servers == nullptr) Fail(root.source(), "no [[server]] in the site file");
  const toml::array* list = servers->as_array();
  if (list == nullptr || !list->is_array_of_tables()) {
    Fail(servers->source(), "'server' is a list of tables: [[server]]");
  }
  std::map<std::string, toml::source_position> keys;
  for (const toml::node& node : *list) {
    SiteServer server = ReadServer(*node.as_table(), base);
    const auto [first, added] = keys.emplace(server.key, node.source().begin);
    if (!added) {
      Fail(node.source(), "a second server with the key '" + server.key +
                              "' (the first is on line " + std::to_string(first->second.line) +
                              ")");
    }
    site.servers.push_back(std::move(server));
  }
  if (site.servers.empty()) Fail(root.source(), "no [[server]] in the site file");
  for (SiteServer& server : site.servers) {
    if (!server.people) server.people = site.people;
  }
  return site;
}

}  // namespace

std::vector<std::string> SiteConfig::Leagues() const {
  std::vector<std::string> leagues;
  for (const SiteServer& s : servers) {
    if (std::find(leagues.begin(), leagues.end(), s.league) == leagues.end()) {
      leagues.push_back(s.league);
    }
  }
  return leagues;
}

SiteFileRead ParseSiteFile(std::string_view text, const std::string& path) {
  SiteFileRead read;
  auto place = [&path](const toml::source_position& at) {
    return path + ":" + std::to_string(at.line) + ":" + std::to_string(at.column) + ": ";
  };
  const std::filesystem::path base = std::filesystem::path(path).parent_path();
  try {
    const toml::table root = toml::parse(text, path);
    read.site = Read(root, base);
  } catch (const toml::parse_error& e) {
    read.error = place(e.source().begin) + std::string(e.description());
  } catch (const SiteFileError& e) {
    read.error = place(e.at) + e.what;
  }
  if (!read.error.empty()) read.site = {};
  return read;
}

SiteFileRead ReadSiteFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {{}, "cannot read the site file '" + path + "'"};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {{}, "cannot read the site file '" + path + "'"};
  return ParseSiteFile(text, path);
}

}  // namespace barvik
