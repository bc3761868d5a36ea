// The site file: one community's servers in TOML, read by `--site FILE` and by the service.
//
//   [site]                 title, report, encoding, people, timezone, clock_cvar
//   [[server]]             key (required), name, logs (required), league, people, timezone,
//                          clock_cvar
//
// A server's key names its folder (servers/KEY/), its entries in JSON and its URLs, so it is
// kept to lower-case letters, digits, '-' and '_'; a league's name likewise. Local paths are
// taken from the site file's folder; URLs are kept as written. Any fault (a TOML syntax error,
// a missing key, two servers with one key, an unknown field, a value of the wrong type) is
// reported as "FILE:LINE:COLUMN: what" and nothing of the file is used.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace barvik {

// The league of servers whose file names none: one league for the whole site.
inline constexpr std::string_view kDefaultLeague = "all";

struct SiteServer {
  std::string key;
  std::string name;  // as shown (colour codes allowed); empty: the log's own server name
  std::vector<std::string> logs;
  std::string league = std::string(kDefaultLeague);
  std::optional<std::string> people;  // a people file; else the site's
  // Taken in for the dates of games; empty when not given.
  std::string timezone;
  std::string clock_cvar;
};

struct SiteConfig {
  std::string title;
  std::optional<std::string> report;    // the report folder, unless the command line gives one
  std::optional<std::string> encoding;  // the code page of the logs' texts
  std::optional<std::string> people;    // a people file for every server without its own
  std::string timezone;
  std::string clock_cvar;
  std::vector<SiteServer> servers;  // in the file's order; at least one

  // The leagues in order of their first server.
  std::vector<std::string> Leagues() const;
};

struct SiteFileRead {
  SiteConfig site;
  std::string error;  // empty when the file was read whole
};

// `path` names the file in messages and anchors its relative paths.
SiteFileRead ParseSiteFile(std::string_view text, const std::string& path);
SiteFileRead ReadSiteFile(const std::string& path);

}  // namespace barvik
