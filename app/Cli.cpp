#include "app/Cli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <set>
#include <string_view>

#include <sys/stat.h>

#include "app/PeopleFile.h"
#include "app/ProgressBar.h"
#include "app/RemoteLogs.h"
#include "app/SiteFile.h"
#include "app/SiteRun.h"
#include "app/Watch.h"
#include "app/WatchSettings.h"
#include "app/Workspace.h"
#include "core/AtomicReplace.h"
#include "core/Encoding.h"
#include "core/FileError.h"
#include "core/NumberFormat.h"
#include "log/CacheFolder.h"
#include "log/LogSource.h"
#include "remote/RemoteUrl.h"
#include "report/AwardsJson.h"
#include "report/FriendlyNames.h"
#include "report/GamesJson.h"
#include "report/ImageSource.h"
#include "report/JsonWriter.h"
#include "report/RankingJson.h"
#include "report/ReportFiles.h"
#include "report/ReportFolder.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

// --help: this head, the help of every command in the table, then kUsageTail.
constexpr std::string_view kUsageHead =
    "Usage: barvik-cli COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Commands:\n";

constexpr std::string_view kUsageTail =
    "\n"
    "Logs: several LOG operands are read in the order given as one log, each file ending\n"
    "its last line. A folder stands for its rotated log, oldest first: NAME.N[.gz] ...\n"
    "NAME.1[.gz] (numbers compared as numbers), then NAME; other files are ignored.\n"
    "Before the first rotation a folder stands for its only *.log file (else its only\n"
    "file). A file of which no line is recognised is named on standard error.\n"
    "Gzip-compressed logs (.gz, also several members) are read as they are.\n"
    "\n"
    "Remote logs: a LOG may be a URL, ftp://, ftps:// (TLS from the start), sftp://,\n"
    "http:// or https://; a URL ending in '/' is a remote folder (FTP, SFTP) read like a\n"
    "local one. Each run fetches only the bytes added since the last into a spool in\n"
    "the cache folder (docs/remote-logs.md). A URL never holds a password: logins come\n"
    "from a netrc file. A source that cannot be fetched is named with what failed; its\n"
    "bytes fetched before are read.\n"
    "\n"
    "Options:\n"
    "  --case-sensitive   keep the letter case of names (\"Ignore case sensitive\" off;\n"
    "                     default: names are folded to lower case)\n"
    "  --keep-colors      keep ^-colour codes in names (\"Ignore colors\" off; default:\n"
    "                     colour codes are removed)\n"
    "  --min-kills TEXT   minimum kills or deaths of a turn in the ratio list (default 10)\n"
    "  --max-ratio TEXT   top of the ratio chart's vertical axis (default 5)\n"
    "  --weapon W         the weapon row to select (player only)\n"
    "  --json             print the lists as one JSON document (UTF-8) instead of\n"
    "                     tab-separated text (tables, player, games, people, person)\n"
    "  --wait SECONDS     how long to wait while another run writes into DIR (export and\n"
    "                     watch; default 0)\n"
    "  --incremental      leave every file in DIR whose contents did not change untouched\n"
    "                     (footer time stamps aside), so web caches see only real changes\n"
    "                     (export only; watch always does this)\n"
    "  --cache DIR        keep the events of the logs read, and what an export drew, in\n"
    "                     DIR, so that the next run reads and draws only what is new\n"
    "                     (every command; default: $XDG_CACHE_HOME/barvik, else\n"
    "                     ~/.cache/barvik)\n"
    "  --no-cache         read the logs whole, draw every image and keep nothing\n"
    "  --people FILE      an admin's corrections of who is who: spellings of one person,\n"
    "                     different people, people hidden or shown under another name\n"
    "                     (games, people, person, export and watch; docs/games-and-people.md)\n"
    "  --inactive-after GAMES\n"
    "                     rated games of the server without a person after which he leaves\n"
    "                     the ranking until he plays again; 0: never (people, ranking,\n"
    "                     export and watch; default 1000)\n"
    "  --timezone NAME    the server's time zone (an IANA name such as Europe/Berlin):\n"
    "                     local times of date cvars are read in it and the site shows\n"
    "                     dates in it (games, people, person, ranking, export and watch;\n"
    "                     default: the machine's zone; docs/dates.md)\n"
    "  --clock-cvar NAME  a cvar of the InitGame lines that holds the server's start\n"
    "                     (MM/DD/YY HH:MM:SS) besides gamestartup (same commands)\n"
    "  --since DATE       only the dated games from DATE on (YYYY-MM-DD or YYYY-MM-DD\n"
    "                     HH:MM in the server's zone, a site's for --site, or ending in Z\n"
    "                     for UTC); undated games are left out and counted on standard\n"
    "                     error (same commands)\n"
    "  --until DATE       only the dated games before the end of DATE (a day) or up to\n"
    "                     DATE (a time), as --since\n"
    "  --templates DIR    read the report templates from DIR (export and watch; default:\n"
    "                     beside the program, or installed in ../share/barvik from it)\n"
    "  --every SECONDS    how often watch looks at the logs without inotify, and the\n"
    "                     longest it waits for a busy log to go quiet (watch only;\n"
    "                     default 60)\n"
    "  --netrc FILE       logins of remote logs (machine, login, password); refused when\n"
    "                     group or others may read it (default: $CREDENTIALS_DIRECTORY/\n"
    "                     netrc under systemd, else ~/.netrc when it exists)\n"
    "  --ssh-key FILE     private key for sftp:// (its public key beside it as FILE.pub;\n"
    "                     default: $CREDENTIALS_DIRECTORY/ssh-key under systemd)\n"
    "  --known-hosts FILE SFTP host keys to trust; an unknown key is refused with its\n"
    "                     SHA256 fingerprint (default: ~/.ssh/known_hosts)\n"
    "  --ca-file FILE     TLS certificates to trust besides the system's (ftps, https)\n"
    "  --ftp-tls require  explicit TLS on ftp:// URLs, or no transfer at all\n"
    "  --max-fetch MB     fetch at most MB megabytes of each remote log per run, so that\n"
    "                     the first copy of a huge log is spread over several runs\n"
    "  --settings FILE    watch only: the logs, report folder and more options from a\n"
    "                     settings file (BARVIK_LOGS, BARVIK_REPORT, BARVIK_OPTIONS; words\n"
    "                     quoted as in a shell), as the service runs it\n"
    "  --site FILE        export, watch, people, games and ranking: the servers of a site\n"
    "                     file (TOML) instead of LOG operands; DIR may be left out when\n"
    "                     the file names its report folder. Several servers: each one's\n"
    "                     report in DIR/servers/KEY/, the server list, people and ranking\n"
    "                     per league beside them (docs/json-format.md)\n"
    "  --encoding NAME    the code page of the logs' texts (every command; default\n"
    "                     windows-1252; e.g. windows-1251, windows-1250, iso-8859-1,\n"
    "                     iso-8859-2, utf-8, or another 8-bit iconv name): names are\n"
    "                     shown in it on the site, in JSON and on a terminal; the classic\n"
    "                     pages keep the log's bytes and declare it as their charset\n"
    "  --                 end of the options: a LOG, NAME or DIR after it may start with '-'\n"
    "  -h, --help         show this help\n"
    "  --version          show the version and build number\n"
    "\n"
    "Exit status: 0 on success, 1 when the report could not be written, 2 for bad\n"
    "arguments or a log that is missing or cannot be read, 3 when another run holds DIR\n"
    "for longer than --wait, 4 when the work was done but a remote log could not be\n"
    "fetched (what was fetched before was read; remote check: a probe failed). Watch\n"
    "reports a failed run and goes on watching.\n";

struct Options {
  std::string command;
  bool case_sensitive = false;
  bool keep_colors = false;
  std::string min_kills = "10";
  std::string max_ratio = "5";
  std::optional<std::string> weapon;
  double wait_seconds = 0;
  bool incremental = false;
  std::optional<std::string> cache;  // --cache DIR
  bool no_cache = false;
  int every_seconds = 60;
  bool json = false;
  std::optional<std::string> templates;    // --templates DIR
  PeopleRules people;                      // --people FILE
  std::optional<std::string> people_file;  // its path: watch reads it again as it changes
  std::optional<int> inactive_after;       // --inactive-after GAMES
  ClockSettings clock;                     // --timezone NAME, --clock-cvar NAME
  int64_t since = kNoDate;                 // --since DATE, --until DATE: UTC bounds
  int64_t until = kNoDate;
  const Encoding* encoding = &Encoding::Windows1252();  // --encoding NAME
  bool encoding_given = false;
  std::optional<SiteConfig> site;  // --site FILE
  std::vector<std::string> operands;
  // Remote logs: the options that reach them, and whether a source failed in a run.
  std::shared_ptr<RemoteSources> remote = std::make_shared<RemoteSources>();
};

struct UsageError {
  std::string message;
};

// What a command's handler is given.
struct Call {
  const Options& options;
  const std::vector<std::string>& logs;  // the operands before the command's trailing one
  std::ostream& out;
  std::ostream& err;
  const CliEnvironment& env;
};

// One barvik-cli command: what --help says of it, what it takes, and what runs it. The
// table's order is that of --help and of the "did you mean" candidates among equals.
struct Command {
  std::string name;
  std::string help;               // its lines under "Commands:" in --help
  std::string operands;           // its operands as a usage error names them: "LOG... NAME"
  bool trailing_operand = false;  // an operand after the logs (NAME, DIR)
  bool draws_images = false;      // needs the renderer of the report images
  // The options it takes besides kCommonOptions, in the order "did you mean" tries them.
  std::vector<std::string> options;
  int (*run)(const Call&) = nullptr;
};

// The options every command takes.
const std::vector<std::string> kCommonOptions = {"--case-sensitive", "--keep-colors", "--cache",
                                                 "--no-cache", "--encoding"};

const std::vector<Command>& Commands();

const Command* FindCommand(std::string_view name) {
  for (const Command& c : Commands()) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

std::string UsageText() {
  std::string text(kUsageHead);
  for (const Command& c : Commands()) text += c.help;
  text += kUsageTail;
  return text;
}

// Edit distance, for "did you mean" on a mistyped option or command.
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<size_t> prev(b.size() + 1), cur(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (a[i - 1] != b[j - 1])});
    }
    std::swap(prev, cur);
  }
  return prev[b.size()];
}

std::string Suggest(const std::string& word, const std::vector<std::string>& known) {
  std::string best;
  size_t best_distance = 3;
  for (const std::string& k : known) {
    size_t d = Distance(word, k);
    if (d < best_distance) {
      best_distance = d;
      best = k;
    }
  }
  return best.empty() ? "" : " (did you mean '" + best + "'?)";
}

// The value of `option`: a whole number of games from 0 to a billion.
int ParseGames(const std::string& option, const std::string& text) {
  int games = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), games);
  if (ec != std::errc() || end != text.data() + text.size() || games < 0 || games > 1000000000) {
    throw UsageError{"option '" + option + "' takes a whole number of games from 0 to " +
                     "1000000000, not '" + text + "'"};
  }
  return games;
}

// The value of `option`: a whole number of seconds, `least` to one day.
int ParseSeconds(const std::string& option, const std::string& text, int least) {
  const std::optional<int> seconds = WholeSeconds(text, least);
  if (!seconds) {
    throw UsageError{"option '" + option + "' takes a whole number of seconds from " +
                     std::to_string(least) + " to " + std::to_string(kMaxSeconds) + ", not '" +
                     text + "'"};
  }
  return *seconds;
}

// The rules of a people file; a file that cannot be read or holds a line of no rule or two
// rules that contradict each other is a usage error.
PeopleRules ReadPeople(const std::string& path) {
  PeopleFileRead read = ReadPeopleFile(path);
  if (!read.error.empty()) throw UsageError{read.error};
  return std::move(read.rules);
}

const Encoding* ParseEncoding(const std::string& name) {
  const Encoding* encoding = Encoding::Named(name);
  if (encoding == nullptr) {
    throw UsageError{"option '--encoding': '" + name +
                     "' is not a code page of one byte per character known here, nor utf-8 " +
                     "(e.g. windows-1252, windows-1251, iso-8859-2, utf-8)"};
  }
  return encoding;
}

// The operands and options of a command given --site: no logs, and for export and watch the
// report folder, unless the site file names it.
Options SiteOperands(Options o, const Command& command) {
  if (o.site->encoding && !o.encoding_given) o.encoding = ParseEncoding(*o.site->encoding);
  const size_t most = command.trailing_operand ? 1 : 0;
  if (o.operands.size() > most) {
    throw UsageError{"'" + o.command + " --site FILE' takes " + (most ? "at most DIR" : "no LOG") +
                     " (the site file names the logs)"};
  }
  if (command.trailing_operand && o.operands.empty()) {
    if (!o.site->report) {
      throw UsageError{"'" + o.command +
                       " --site FILE' needs DIR, or 'report' under [site] in the file"};
    }
    o.operands.push_back(*o.site->report);
  }
  std::vector<std::string> logs;
  for (const SiteServer& server : o.site->servers) {
    logs.insert(logs.end(), server.logs.begin(), server.logs.end());
  }
  if (std::string problem = o.remote->Check(logs); !problem.empty()) throw UsageError{problem};
  return o;
}

Options Parse(const std::vector<std::string>& args) {
  Options o;
  o.command = args[0];
  const Command* command = FindCommand(o.command);
  if (command == nullptr) {
    std::vector<std::string> names;
    for (const Command& c : Commands()) names.push_back(c.name);
    throw UsageError{"unknown command '" + o.command + "'" + Suggest(o.command, names)};
  }
  std::vector<std::string> known = kCommonOptions;
  known.insert(known.end(), command->options.begin(), command->options.end());
  known.insert(known.end(), RemoteOptionNames().begin(), RemoteOptionNames().end());

  std::optional<std::string> since_text;
  std::optional<std::string> until_text;
  bool options_done = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_done || a.size() < 2 || a[0] != '-') {
      o.operands.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    std::string name = a;
    std::optional<std::string> value;
    if (size_t eq = a.find('='); a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
    }
    if (std::find(known.begin(), known.end(), name) == known.end()) {
      throw UsageError{"unknown option '" + name + "' for '" + o.command + "'" +
                       Suggest(name, known)};
    }
    bool takes_value = name == "--min-kills" || name == "--max-ratio" || name == "--weapon" ||
                       name == "--wait" || name == "--every" || name == "--cache" ||
                       name == "--templates" || name == "--people" || name == "--inactive-after" ||
                       name == "--encoding" || name == "--site" || name == "--timezone" ||
                       name == "--clock-cvar" || name == "--since" || name == "--until";
    const bool remote_option = std::find(RemoteOptionNames().begin(), RemoteOptionNames().end(),
                                         name) != RemoteOptionNames().end();
    takes_value = takes_value || remote_option;
    if (takes_value && !value) {
      if (i + 1 >= args.size()) throw UsageError{"option '" + name + "' needs a value"};
      value = args[++i];
    }
    if (!takes_value && value) throw UsageError{"option '" + name + "' takes no value"};
    if (name == "--case-sensitive") o.case_sensitive = true;
    if (name == "--keep-colors") o.keep_colors = true;
    if (name == "--json") o.json = true;
    if (name == "--min-kills") o.min_kills = *value;
    if (name == "--max-ratio") o.max_ratio = *value;
    if (name == "--weapon") o.weapon = *value;
    if (name == "--wait") o.wait_seconds = ParseSeconds(name, *value, 0);
    if (name == "--incremental") o.incremental = true;
    if (name == "--every") o.every_seconds = ParseSeconds(name, *value, 1);
    if (name == "--cache") o.cache = *value;
    if (name == "--no-cache") o.no_cache = true;
    if (name == "--templates") o.templates = *value;
    if (name == "--people") {
      o.people = ReadPeople(*value);
      o.people_file = *value;
    }
    if (name == "--inactive-after") o.inactive_after = ParseGames(name, *value);
    if (remote_option) {
      if (std::string problem = o.remote->SetOption(name, *value); !problem.empty()) {
        throw UsageError{problem};
      }
    }
    if (name == "--encoding") {
      o.encoding = ParseEncoding(*value);
      o.encoding_given = true;
    }
    if (name == "--site") {
      SiteFileRead read = ReadSiteFile(*value);
      if (!read.error.empty()) throw UsageError{read.error};
      o.site = std::move(read.site);
    }
    if (name == "--timezone") o.clock.timezone = *value;
    if (name == "--clock-cvar") o.clock.clock_cvar = *value;
    if (name == "--since") since_text = *value;
    if (name == "--until") until_text = *value;
  }
  // The dates are read in the server's zone, known once every option is: a site's own zone
  // for a site (its leagues' pages show theirs), unless --timezone names one.
  Zone zone = Zone::Utc();
  try {
    zone = Zone::Of(o.site && o.clock.timezone.empty() ? ClockSettings{o.site->timezone, {}}
                                                       : o.clock);
  } catch (const ClockError& e) {
    throw UsageError{std::string("option '--timezone': ") + e.what()};
  }
  auto bound = [&zone](const std::optional<std::string>& text, const char* name, bool until) {
    try {
      return text ? ParseDateBound(*text, zone, until) : kNoDate;
    } catch (const ClockError& e) {
      throw UsageError{std::string("option '") + name + "': " + e.what()};
    }
  };
  o.since = bound(since_text, "--since", false);
  o.until = bound(until_text, "--until", true);
  if (o.since != kNoDate && o.until != kNoDate && o.until <= o.since) {
    throw UsageError{"options '--since' and '--until' leave no time between them"};
  }
  if (o.cache && o.no_cache)
    throw UsageError{"options '--cache' and '--no-cache' exclude each other"};
  if (o.cache && o.cache->empty()) throw UsageError{"option '--cache' needs a folder"};
  if (std::error_code ec; o.templates && !std::filesystem::is_directory(*o.templates, ec)) {
    throw UsageError{"option '--templates': no such folder '" + *o.templates + "'"};
  }
  if (o.site) return SiteOperands(std::move(o), *command);
  const size_t wanted = command->trailing_operand ? 2 : 1;
  if (o.operands.size() < wanted) {
    throw UsageError{"'" + o.command + "' takes " + command->operands + " (got " +
                     std::to_string(o.operands.size()) + " arguments)"};
  }
  if (o.command != "remote") {
    const std::vector<std::string> logs(o.operands.begin(),
                                        o.operands.end() - (command->trailing_operand ? 1 : 0));
    if (std::string problem = o.remote->Check(logs); !problem.empty()) throw UsageError{problem};
  }
  return o;
}

int FindRow(const ReportList& list, const std::string& caption) {
  for (size_t i = 0; i < list.rows.size(); ++i) {
    if (list.rows[i].caption == caption && caption != kTotalRowCaption) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

// " (did you mean 'a', 'b' or 'c'?)": up to three row captions closest to `caption` by edit
// distance (in row order among equals), or "" when none is close.
std::string SuggestRows(const ReportList& list, const std::string& caption) {
  const size_t limit = std::max<size_t>(2, caption.size() / 3);
  std::vector<std::pair<size_t, size_t>> close;  // distance, row
  for (size_t i = 0; i < list.rows.size(); ++i) {
    const std::string& row = list.rows[i].caption;
    if (row == kTotalRowCaption) continue;
    // Rows far longer or shorter than the name cannot be close; skip the quadratic work.
    if (std::max(row.size(), caption.size()) - std::min(row.size(), caption.size()) > limit) {
      continue;
    }
    const size_t d = Distance(caption, row);
    if (d <= limit) close.emplace_back(d, i);
  }
  const size_t shown = std::min<size_t>(close.size(), 3);
  std::partial_sort(close.begin(), close.begin() + static_cast<std::ptrdiff_t>(shown), close.end());
  std::string text;
  for (size_t i = 0; i < shown; ++i) {
    text += i == 0 ? "" : i + 1 == shown ? " or " : ", ";
    text += '\'';
    text += TerminalText(list.rows[close[i].second].caption);
    text += '\'';
  }
  return text.empty() ? "" : " (did you mean " + text + "?)";
}

void PrintChart(std::ostream& out, const ChartState& chart, char separator, bool terminal) {
  out << "[Chart1]\n";
  out << "title\t" << (terminal ? ShownText(Utf8FromLog(chart.title)) : chart.title) << "\n";
  out << "xmax\t" << chart.xmax << "\n";
  out << "ymax\t" << chart.ymax << "\n";
  for (const ChartPoint& p : chart.points) {
    // Y with three decimals: the ratio texts it was read from have three.
    int64_t thousandths = static_cast<int64_t>(p.y * 1000.0 + (p.y >= 0 ? 0.5 : -0.5));
    out << "point\t" << p.x << "\t" << FormatQuotient(thousandths, 1000, 3, separator) << "\t"
        << (p.blue ? "blue" : "red") << "\n";
  }
  out << "\n";
}

// The lists of `ids` (and the chart) as one JSON document, the same texts PrintList shows.
void PrintJson(std::ostream& out, const Workspace& ws, const std::vector<ListId>& ids,
               const ChartState* chart) {
  std::vector<const ReportList*> lists;
  lists.reserve(ids.size());
  for (ListId id : ids) lists.push_back(&ws.List(id));
  Json document = JsonDocument();
  document["server"] = Utf8FromLog(ws.server_name());
  document["lists"] = ListsJson(lists, ws.decimal_separator());
  if (chart != nullptr) {
    Json points = Json::array();
    for (const ChartPoint& p : chart->points) {
      points.push_back({{"x", p.x}, {"y", p.y}, {"colour", p.blue ? "blue" : "red"}});
    }
    document["chart"] = {{"title", Utf8FromLog(chart->title)},
                         {"xmax", chart->xmax},
                         {"ymax", chart->ymax},
                         {"points", std::move(points)}};
  }
  out << JsonText(document);
}

// The ranking as text: one line per person, rank (empty outside the ranking), shown skill,
// plus-minus, rated games, kills per death and the display name; the provisional and the
// inactive under their own headings; then the same for each game type ranked apart.
void PrintRanking(std::ostream& out, const Json& ranking, char decimal_separator, bool terminal) {
  auto number = [&](double value) {  // the JSON's thousandths, to two places
    return FormatQuotient(std::llround(value * 1000.0), 1000, 2, decimal_separator);
  };
  auto print = [&](const Json& parts, const std::string& game_type) {
    for (const char* part : {"ranking", "provisional", "inactive"}) {
      out << "[" << part << game_type << "]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n";
      for (const Json& p : parts.at(part)) {
        const std::string name = p.at("name").get<std::string>();
        out << (p.at("rank").is_null() ? "" : std::to_string(p.at("rank").get<int>())) << "\t"
            << number(p.at("skill").get<double>()) << "\t"
            << number(p.at("plus_minus").get<double>()) << "\t" << p.at("games").get<int>() << "\t"
            << FormatRatio(p.at("kills").get<int64_t>(), p.at("deaths").get<int64_t>(),
                           decimal_separator)
            << "\t" << (terminal ? ShownText(name) : name) << "\n";
      }
      out << "\n";
    }
  };
  print(ranking, "");
  for (const Json& type : ranking.at("game_types")) {
    const std::string name = type.at("gametype").get<std::string>();
    print(type, " " + (terminal ? ShownText(name) : name));
  }
}

}  // namespace

namespace {

// `utf8`: the text is UTF-8, whose C1 controls (U+0080 to U+009F, bytes C2 80 to C2 9F) a
// terminal may take as escapes too; they are shown as "\xNN" of the code point.
std::string Escaped(std::string_view text, bool line_ends_as_blanks, bool utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    auto byte = static_cast<unsigned char>(c);
    const bool c1 = utf8 && byte == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (line_ends_as_blanks && (c == '\n' || c == '\r')) {
      shown += ' ';
    } else if ((byte < 0x20 && c != '\t') || byte == 0x7F || c1) {
      if (c1) byte = static_cast<unsigned char>(text[++i]);
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

std::string TerminalText(std::string_view text) { return Escaped(text, true, false); }

std::string ShownText(std::string_view text) { return Escaped(text, false, true); }

std::string FailureText(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "out of memory";
  std::string text = e.what();
  if (const auto* file_error = dynamic_cast<const FileError*>(&e)) {
    if (!file_error->reason().empty()) text += ": " + file_error->reason();
  }
  return TerminalText(text);
}

void PrintList(std::ostream& out, const ReportList& list, bool terminal) {
  auto shown = [terminal](const std::string& text) {
    return terminal ? ShownText(Utf8FromLog(text)) : text;
  };
  out << "[" << list.name << "]\n";
  for (size_t c = 0; c < list.columns.size(); ++c) {
    out << (c ? "\t" : "") << list.columns[c].caption;
  }
  out << "\n";
  for (const Row& row : list.rows) {
    out << shown(row.caption);
    for (const std::string& cell : row.cells) out << "\t" << shown(cell);
    out << "\n";
  }
  out << "\n";
}

namespace {

// A watch run cut short by a stop signal; the export's staging folder goes with it.
struct StopRequested {};

// The options of the "File" and "Options" pages as the command line gives them.
void Configure(Workspace& ws, const Options& o, const CliEnvironment& env, std::ostream& err) {
  ws.template_folder = o.templates ? *o.templates : env.template_folder;
  ws.build_text = env.build_text;
  ws.maker_address = env.maker_address;
  ws.cache_folder = o.no_cache ? std::string() : o.cache ? *o.cache : DefaultCacheFolder();
  ws.options().ignore_case = !o.case_sensitive;
  ws.options().ignore_colors = !o.keep_colors;
  ws.options().min_kills = o.min_kills;
  ws.options().max_ratio = o.max_ratio;
  ws.people_rules = o.people;
  if (o.inactive_after) ws.rating_options.inactive_after = *o.inactive_after;
  // A site's servers come with their own zone and clock cvar; the options go before them.
  if (!o.clock.timezone.empty()) ws.clock.timezone = o.clock.timezone;
  if (!o.clock.clock_cvar.empty()) ws.clock.clock_cvar = o.clock.clock_cvar;
  ws.since = o.since;
  ws.until = o.until;
  ws.hooks.line_error = [&err](const std::string& m) {
    err << "barvik-cli: " << TerminalText(m) << "\n";
  };
  // Each notice once per process: watch would repeat it every run.
  ws.hooks.notice = [&err, told = std::make_shared<std::set<std::string>>()](const std::string& m) {
    if (told->insert(m).second) err << "barvik-cli: " << TerminalText(m) << "\n";
  };
}

// False, with the message printed, when a LOG operand does not exist.
bool AllLogsExist(const std::vector<std::string>& logs, std::ostream& err) {
  for (const std::string& l : logs) {
    if (!remote::IsRemoteName(l) && !std::filesystem::exists(l)) {
      err << "barvik-cli: no such log file: " << TerminalText(l) << "\n";
      return false;
    }
  }
  return true;
}

// The logs as messages name them.
const std::string& LogName(const std::vector<std::string>& logs) {
  static const std::string kSeveral = "the logs";
  return logs.size() == 1 ? logs[0] : kSeveral;
}

// Reads and analyses the logs; kExitOk, or kExitUsage with the message printed.
int Analyse(Workspace& ws, const std::vector<std::string>& logs, std::ostream& err,
            ProgressBar& bar) {
  try {
    if (!AllLogsExist(logs, err)) return kExitUsage;
    const std::vector<std::string> files = ExpandLogOperands(logs);
    const bool found = ws.RunAnalysis(files);
    bar.Finish();
    // Said once per process: watch would repeat it every run.
    static bool refusal_told = false;
    if (ws.log() != nullptr && !ws.log()->cache_use().refused.empty() && !refusal_told) {
      refusal_told = true;
      err << "barvik-cli: cache folder " << TerminalText(ws.cache_folder) << " not used ("
          << ws.log()->cache_use().refused << "); the logs are read whole\n";
    }
    if (!found) {
      err << "barvik-cli: no such log file: " << TerminalText(LogName(logs)) << "\n";
      return kExitUsage;
    }
    for (const std::string& file : ws.log()->unrecognised_files()) {
      err << "barvik-cli: " << TerminalText(UnrecognisedLogText(file)) << "\n";
    }
  } catch (const FileError& e) {
    bar.Finish();
    err << "barvik-cli: " << FailureText(e) << "\n";
    return kExitUsage;
  }
  return kExitOk;
}

// What --since and --until left out for want of a date, said on standard error.
void TellUndated(size_t undated, std::ostream& err) {
  if (undated == 0) return;
  err << "barvik-cli: " << undated << (undated == 1 ? " game" : " games")
      << " without a date left out (--since, --until; docs/dates.md)\n";
}

// Writes the report of the analysed logs into `dir`; kExitOk, or the failure's status with
// its message printed.
int Export(Workspace& ws, const std::string& dir, double wait_seconds, const CliEnvironment& env,
           std::ostream& err) {
  if (!env.make_image_source) {
    err << "barvik-cli: this build cannot render the report images\n";
    return kExitFailure;
  }
  ws.options().dest_dir = dir;
  ws.export_wait_seconds = wait_seconds;
  ws.export_loads_last_player = false;  // nothing is shown after the export
  try {
    std::unique_ptr<ImageSource> images = env.make_image_source(ws);
    ws.ButtonHTMLClick(*images);
    TellUndated(ws.undated_left_out(), err);
  } catch (const std::exception& e) {
    if (env.progress_bar) err << "\n";
    err << "barvik-cli: " << FailureText(e) << "\n";
    return dynamic_cast<const ReportFolderBusy*>(&e) != nullptr ? kExitBusy : kExitFailure;
  }
  if (env.progress_bar) err << "\n";
  return kExitOk;
}

// "2026-12-09 03:27:00": the local time a watch run ended.
std::string WatchTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32] = "";
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// Exports whenever the logs changed, until a stop signal; always status 0 once started.
int Watch(const Options& o, const std::vector<std::string>& logs, std::ostream& err,
          const CliEnvironment& env) {
  const StopSignals stop;
  // Remote logs are looked at every period; the local ones (and folders) are watched, and so
  // is the people file.
  std::vector<std::string> watched;
  for (const std::string& l : logs) {
    if (!remote::IsRemoteName(l)) watched.push_back(l);
  }
  if (o.people_file) watched.push_back(*o.people_file);
  const ChangeWaiter waiter(watched);
  Workspace ws(env.decimal_separator);
  Configure(ws, o, env, err);
  // The people file is read again whenever it changed; one that cannot be used leaves the
  // last good rules in force, and every run says so until it is mended.
  std::string people_read = o.people_file ? PeopleFileFingerprint(*o.people_file) : "";
  std::string people_problem;
  auto reread_people = [&] {
    if (!o.people_file) return;
    const std::string now = PeopleFileFingerprint(*o.people_file);
    if (now == people_read) return;
    people_read = now;
    PeopleFileRead read = ReadPeopleFile(*o.people_file);
    people_problem = read.error;
    if (people_problem.empty()) ws.people_rules = std::move(read.rules);
  };
  // A stop signal ends the run at its next progress step: the export's staging folder is
  // removed as it unwinds and the lock let go, so the folder keeps its last whole report.
  ws.hooks.reading = [](uint64_t /*done*/, uint64_t /*total*/) {
    if (StopSignals::requested()) throw StopRequested{};
  };
  ws.hooks.status_changed = [] {
    if (StopSignals::requested()) throw StopRequested{};
  };
  ws.hooks.waiting = [] {
    if (StopSignals::requested()) throw StopRequested{};
  };
  ProgressBar no_bar(err);
  // One status line per run and nothing else, also on a terminal.
  CliEnvironment quiet = env;
  quiet.progress_bar = false;
  ws.export_incremental = true;
  std::string exported;  // the inputs as they were when the last good run started
  while (!StopSignals::requested()) {
    const std::vector<std::string> read = o.remote->Fetch(logs, ws.cache_folder, err);
    std::string inputs = InputFingerprint(read);
    if (o.people_file) inputs += "people\t" + PeopleFileFingerprint(*o.people_file) + '\n';
    if (inputs != exported) {
      reread_people();
      if (!people_problem.empty()) {
        err << "barvik-cli: " << WatchTime() << ": " << TerminalText(people_problem)
            << "; the last good rules stay in use" << std::endl;
      }
      int status = kExitOk;
      size_t written = 0;
      size_t kept = 0;
      try {
        status = Analyse(ws, read, err, no_bar);
        if (status == kExitOk) {
          status = Export(ws, o.operands.back(), o.wait_seconds, quiet, err);
          written = ws.export_counts().written;
          kept = ws.export_counts().kept;
        }
      } catch (const StopRequested&) {
        break;
      }
      if (StopSignals::requested()) break;
      const size_t lines = ws.log() != nullptr ? ws.log()->LineCount() : 0;
      const uint64_t bytes = ws.log() != nullptr ? ws.log()->cache_use().bytes_read : 0;
      if (status == kExitOk) {
        exported = std::move(inputs);
        // The log's lines in all, and how much of the logs this run had to read itself (the
        // rest came from the event cache).
        err << "barvik-cli: " << WatchTime() << ": " << lines << " lines read (" << bytes
            << " new bytes), " << written << " files written, " << kept << " unchanged"
            << std::endl;
      } else {
        // Tried again after a full period, whatever the folders do meanwhile.
        err << "barvik-cli: " << WatchTime() << ": run failed; next try in " << o.every_seconds
            << " s" << std::endl;
        exported.clear();
        ChangeWaiter::Sleep(o.every_seconds);
        continue;
      }
    }
    waiter.Wait(o.every_seconds);
  }
  return kExitOk;
}

// The workspace configured by the options with the logs analysed, a bar drawn on a terminal
// meanwhile; kExitOk, or kExitUsage with the message printed.
int ConfigureAndAnalyse(Workspace& ws, ProgressBar& bar, const Call& c) {
  Configure(ws, c.options, c.env, c.err);
  if (c.env.progress_bar) {
    ws.hooks.reading = [&bar](uint64_t done, uint64_t total) { bar.Reading(done, total); };
  }
  return Analyse(ws, c.options.remote->Fetch(c.logs, ws.cache_folder, c.err), c.err, bar);
}

// The runs over a site file (--site FILE).
int RunSiteExport(const Call& c);
int WatchSite(const Call& c);
int RunSiteModelCommand(const Call& c);

int RunTables(const Call& c) {
  Workspace ws(c.env.decimal_separator);
  ProgressBar bar(c.err);
  if (const int status = ConfigureAndAnalyse(ws, bar, c); status != kExitOk) return status;
  const std::vector<ListId> ids = {ListId::Players, ListId::Weapon, ListId::Maps, ListId::GType,
                                   ListId::Accuracy};
  if (c.options.json) {
    PrintJson(c.out, ws, ids, nullptr);
    return kExitOk;
  }
  for (ListId id : ids) PrintList(c.out, ws.List(id), c.env.terminal_output);
  return kExitOk;
}

int RunPlayer(const Call& c) {
  const Options& o = c.options;
  Workspace ws(c.env.decimal_separator);
  ProgressBar bar(c.err);
  if (const int status = ConfigureAndAnalyse(ws, bar, c); status != kExitOk) return status;
  // NAME as the rows spell it: the name options fold it as they fold the log's names.
  const std::string name = ws.log()->NormaliseName(o.operands.back());
  int row = FindRow(ws.List(ListId::Players), name);
  if (row < 0) {
    c.err << "barvik-cli: no player row named '" << TerminalText(o.operands.back()) << "' in "
          << TerminalText(LogName(c.logs)) << SuggestRows(ws.List(ListId::Players), name) << "\n";
    return kExitUsage;
  }
  ws.SelectPlayerRow(row);
  ws.ListViewPlayersDblClick();
  if (o.weapon) {
    int weapon_row = FindRow(ws.List(ListId::PlayerWeapon), *o.weapon);
    if (weapon_row < 0) {
      c.err << "barvik-cli: player '" << TerminalText(name) << "' has no weapon row named '"
            << TerminalText(*o.weapon) << "'\n";
      return kExitUsage;
    }
    ws.SelectPlayerWeaponRow(weapon_row);
  }
  const std::vector<ListId> ids = {ListId::Player,
                                   ListId::PlayerWeapon,
                                   ListId::WeaponAccuracy,
                                   ListId::PlayerGlobAccuracy,
                                   ListId::PlayerGlobEnemyAccuracy,
                                   ListId::PlayerMaps,
                                   ListId::PlayerGameType,
                                   ListId::PlayerVictims,
                                   ListId::PlayerTurnsRatio};
  if (o.json) {
    PrintJson(c.out, ws, ids, &ws.chart());
    return kExitOk;
  }
  for (ListId id : ids) PrintList(c.out, ws.List(id), c.env.terminal_output);
  PrintChart(c.out, ws.chart(), c.env.decimal_separator, c.env.terminal_output);
  return kExitOk;
}

// What an export is made from besides its logs and templates: the options that change what
// it shows, the people file and the build.
std::string OptionsPrint(const Options& o, const CliEnvironment& env) {
  return env.build_text + '\t' + o.min_kills + '\t' + o.max_ratio + '\t' +
         (o.case_sensitive ? "c" : "") + (o.keep_colors ? "k" : "") + '\t' +
         o.templates.value_or("") + '\t' + std::to_string(o.inactive_after.value_or(-1)) + '\t' +
         std::string(o.encoding->charset()) + '\t' +
         (o.people_file ? PeopleFileFingerprint(*o.people_file) : "") + '\t' + o.clock.timezone +
         '\t' + o.clock.clock_cvar + '\t' + std::to_string(o.since) + '\t' +
         std::to_string(o.until);
}

// The names, sizes and times of the files of a template folder: edited templates make every
// page again.
std::string TemplatesPrint(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    struct stat st {};
    if (stat(it->path().c_str(), &st) != 0) continue;
    files.push_back(it->path().filename().string() + '\t' + std::to_string(st.st_size) + ':' +
                    std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec));
  }
  std::sort(files.begin(), files.end());
  std::string print = folder + '\n';
  for (const std::string& f : files) print += f + '\n';
  return print;
}

// The identity, size and time of the report's two home pages: another program's export into
// the folder, or a page removed by hand, changes them.
std::string ReportPrint(const std::string& dir) {
  const std::string folder = OutputFolderPrefix(dir);
  return InputFingerprint({folder + "index.html", folder + "site/index.html"});
}

int RunExport(const Call& c) {
  namespace fs = std::filesystem;
  if (c.options.site) return RunSiteExport(c);
  Workspace ws(c.env.decimal_separator);
  ProgressBar bar(c.err);
  Configure(ws, c.options, c.env, c.err);
  const std::string& dir = c.options.operands.back();
  // An incremental export whose logs (names, identities, sizes, times), options, people file
  // and templates are those of the last good export into the folder, which is as that export
  // left it, has nothing to do: a cron job's run while nobody plays costs a look at the files.
  const bool remote = std::any_of(c.logs.begin(), c.logs.end(),
                                  [](const std::string& l) { return remote::IsRemoteName(l); });
  // Every export notes its inputs; an incremental one may then find them unchanged.
  const std::string cache = !remote ? ws.UsableCacheFolder() : "";
  std::string inputs;
  if (!cache.empty()) {
    inputs = InputFingerprint(c.logs) + OptionsPrint(c.options, c.env) + '\t' +
             c.env.decimal_separator + '\n' + TemplatesPrint(ws.template_folder);
    std::error_code ec;
    if (fs::is_directory(dir, ec)) {
      const std::string inputs_file = ExportInputsPath(cache, dir);
      if (c.options.incremental && !inputs_file.empty() &&
          ReadOwnFile(inputs_file) == inputs + ReportPrint(dir)) {
        c.err << "barvik-cli: no log changed since the last export; the report is as it was\n";
        return kExitOk;
      }
      // Whatever this run ends with, the folder no longer is what the note says.
      if (!inputs_file.empty()) fs::remove(inputs_file, ec);
    }
  }
  if (c.env.progress_bar) {
    ws.hooks.reading = [&bar](uint64_t done, uint64_t total) { bar.Reading(done, total); };
  }
  const int analysed =
      Analyse(ws, c.options.remote->Fetch(c.logs, ws.cache_folder, c.err), c.err, bar);
  if (analysed != kExitOk) return analysed;
  if (c.env.progress_bar) {
    ws.hooks.exporting = [&bar](uint64_t done, uint64_t total) { bar.Exporting(done, total); };
  }
  ws.export_incremental = c.options.incremental;
  const int status = Export(ws, dir, c.options.wait_seconds, c.env, c.err);
  if (status == kExitOk && !cache.empty() && ws.log() != nullptr &&
      ws.log()->unrecognised_files().empty()) {
    if (const std::string inputs_file = ExportInputsPath(cache, dir); !inputs_file.empty()) {
      ReplaceFileWhole(inputs_file, inputs + ReportPrint(dir));
    }
  }
  return status;
}

int RunWatch(const Call& c) {
  if (c.options.site) return WatchSite(c);
  if (!AllLogsExist(c.logs, c.err)) return kExitUsage;
  return Watch(c.options, c.logs, c.err, c.env);
}

// Games and people, as lists of tab-separated text or one barvik-stats/2 document.

std::string WinnerText(const GamesModel& model, const Game& game) {
  if (game.winner_team != kNoTeam) return std::string(TeamNameOfCode(game.winner_team));
  if (game.winner_person != kNoPerson && !model.people[game.winner_person].hidden) {
    return model.people[game.winner_person].display;
  }
  return "";
}

// The figures of a person in a game, or over all his games, as list cells.
template <typename Figures>
std::vector<std::string> FigureCells(const Figures& f) {
  return {std::to_string(f.kills),         std::to_string(f.deaths),
          std::to_string(f.suicides),      std::to_string(f.team_kills),
          std::to_string(f.world_deaths),  std::to_string(f.head_shots),
          std::to_string(f.damage_dealt),  std::to_string(f.damage_taken),
          std::to_string(f.played_seconds)};
}

std::vector<Column> FigureColumns(std::vector<std::string> captions) {
  for (const char* c : {"Kills", "Deaths", "Suicides", "Team kills", "World deaths", "Head shots",
                        "Damage dealt", "Damage taken", "Seconds"}) {
    captions.emplace_back(c);
  }
  std::vector<Column> columns;
  columns.reserve(captions.size());
  for (std::string& caption : captions) columns.push_back({std::move(caption)});
  return columns;
}

// A game's start as the lists print it: ISO 8601 UTC, "~" before an estimated one; empty
// when it is not known.
std::string StartedText(const Game& g) {
  if (g.started_at == kNoDate) return "";
  std::string text = IsoUtc(g.started_at);
  if (g.time_quality == TimeQuality::Estimated) text.insert(0, 1, '~');
  return text;
}
std::string SeenText(int64_t at) { return at == kNoDate ? "" : IsoUtc(at); }

// The workspace analysed and its games built, or an exit status.
struct Analysed {
  Workspace ws;
  GamesModel model;
  explicit Analysed(char decimal_separator) : ws(decimal_separator) {}
};

int AnalyseGames(Analysed& a, const Call& c) {
  ProgressBar bar(c.err);
  if (const int status = ConfigureAndAnalyse(a.ws, bar, c); status != kExitOk) return status;
  a.model = BuildGames(a.ws.log()->events(), a.ws.people_rules, a.ws.GamesScratchSpace(),
                       a.ws.DefaultPlayerNames());
  TellUndated(a.ws.DateGames(a.model), c.err);
  return kExitOk;
}

int RunGames(const Call& c) {
  if (c.options.site) return RunSiteModelCommand(c);
  Analysed a(c.env.decimal_separator);
  if (const int status = AnalyseGames(a, c); status != kExitOk) return status;
  const EventStore& store = a.ws.log()->events();
  if (c.options.json) {
    Json games = GamesJson(store, a.model);
    GameRatings ratings{RatingHistory(a.ws.rating_options), {}};
    RateGames(a.model, ratings);
    AddRatingChanges(games, a.model, ratings);
    const FriendlyNames friendly = FriendlyNames::Load(a.ws.template_folder);
    AddGameAwards(games, a.model, ComputeAwards(store, a.model, friendly.weapon_groups()));
    c.out << JsonText(games);
    return kExitOk;
  }
  ReportList list("Games", {{"Game"},
                            {"Map"},
                            {"Game type"},
                            {"Start"},
                            {"End"},
                            {"Seconds"},
                            {"Ended"},
                            {"Warm-up"},
                            {"Winner"},
                            {"Players"},
                            {"Started"}});
  for (const Game& g : a.model.games) {
    size_t shown = 0;
    for (const Participant& p : g.players) shown += a.model.people[p.person].hidden ? 0 : 1;
    list.rows.push_back(
        {std::to_string(g.number),
         {std::string(store.settings().Text(g.map)),
          std::string(store.settings().Text(g.game_type)), std::to_string(g.start),
          std::to_string(g.end), std::to_string(g.seconds), std::string(EndingName(g.ending)),
          g.warmup ? "yes" : "no", WinnerText(a.model, g), std::to_string(shown), StartedText(g)}});
  }
  PrintList(c.out, list, c.env.terminal_output);
  return kExitOk;
}

int RunPeople(const Call& c) {
  if (c.options.site) return RunSiteModelCommand(c);
  Analysed a(c.env.decimal_separator);
  if (const int status = AnalyseGames(a, c); status != kExitOk) return status;
  const EventStore& store = a.ws.log()->events();
  if (c.options.json) {
    Json people = PeopleJson(store, a.model);
    GameRatings ratings{RatingHistory(a.ws.rating_options), {}};
    RateGames(a.model, ratings);
    AddRatings(people, a.model, ratings);
    const FriendlyNames friendly = FriendlyNames::Load(a.ws.template_folder);
    AddAwards(people, a.model, ComputeAwards(store, a.model, friendly.weapon_groups()));
    c.out << JsonText(people);
    return kExitOk;
  }
  ReportList list("People", FigureColumns({"Person", "Name", "Games"}));
  for (const char* extra : {"First game", "Last game", "Spellings", "First seen", "Last seen"})
    list.columns.push_back({extra});
  for (const Person& p : a.model.people) {
    if (p.hidden) continue;
    std::vector<std::string> cells = {p.display, std::to_string(p.games)};
    for (std::string& cell : FigureCells(p)) cells.push_back(std::move(cell));
    cells.push_back(std::to_string(p.first_game));
    cells.push_back(std::to_string(p.last_game));
    cells.push_back(std::to_string(p.spellings.size()));
    cells.push_back(SeenText(p.first_seen));
    cells.push_back(SeenText(p.last_seen));
    list.rows.push_back({p.id, std::move(cells)});
  }
  PrintList(c.out, list, c.env.terminal_output);
  return kExitOk;
}

int RunPerson(const Call& c) {
  Analysed a(c.env.decimal_separator);
  if (const int status = AnalyseGames(a, c); status != kExitOk) return status;
  const EventStore& store = a.ws.log()->events();
  const std::string& name = c.options.operands.back();
  const PersonIndex index = a.model.FindPerson(store, name);
  if (index == kNoPerson || a.model.people[index].hidden) {
    std::vector<std::string> spellings;
    for (const Person& p : a.model.people) {
      if (!p.hidden) spellings.push_back(ComparedName(p.display));
    }
    c.err << "barvik-cli: nobody named '" << TerminalText(name) << "' in "
          << TerminalText(LogName(c.logs)) << Suggest(ComparedName(name), spellings) << "\n";
    return kExitUsage;
  }
  if (c.options.json) {
    c.out << JsonText(PersonJson(store, a.model, index));
    return kExitOk;
  }
  const Person& p = a.model.people[index];
  ReportList person("Person", FigureColumns({"Person", "Name", "Games"}));
  std::vector<std::string> cells = {p.display, std::to_string(p.games)};
  for (std::string& cell : FigureCells(p)) cells.push_back(std::move(cell));
  person.rows.push_back({p.id, std::move(cells)});
  ReportList spellings("Spellings", {{"Spelling"}, {"Lines"}});
  for (const Spelling& s : p.spellings) {
    spellings.rows.push_back({std::string(store.texts().Text(s.raw)), {std::to_string(s.count)}});
  }
  ReportList games("Games", FigureColumns({"Game", "Map", "Game type", "Warm-up"}));
  games.columns.push_back({"Started"});
  for (const Game& g : a.model.games) {
    const Participant* in = a.model.PlayerIn(g, index);
    if (in == nullptr) continue;
    std::vector<std::string> row = {std::string(store.settings().Text(g.map)),
                                    std::string(store.settings().Text(g.game_type)),
                                    g.warmup ? "yes" : "no"};
    for (std::string& cell : FigureCells(*in)) row.push_back(std::move(cell));
    row.push_back(StartedText(g));
    games.rows.push_back({std::to_string(g.number), std::move(row)});
  }
  for (const ReportList* list : {&person, &spellings, &games}) {
    PrintList(c.out, *list, c.env.terminal_output);
  }
  return kExitOk;
}

int RunRanking(const Call& c) {
  if (c.options.site) return RunSiteModelCommand(c);
  Analysed a(c.env.decimal_separator);
  if (const int status = AnalyseGames(a, c); status != kExitOk) return status;
  const EventStore& store = a.ws.log()->events();
  GameRatings ratings{RatingHistory(a.ws.rating_options), {}};
  RateGames(a.model, ratings);
  const Json ranking =
      RankingJson(store, a.model, ratings, RateGameTypes(a.model, 20, a.ws.rating_options));
  if (c.options.json) {
    c.out << JsonText(ranking);
  } else {
    PrintRanking(c.out, ranking, c.env.decimal_separator, c.env.terminal_output);
  }
  return kExitOk;
}

// The command line's own steps for the runs over a site file. `any_failed` is set when a
// remote log of a server could not be fetched.
SiteSteps MakeSiteSteps(const Call& c, const CliEnvironment& env, bool incremental,
                        bool& any_failed) {
  SiteSteps steps;
  steps.decimal_separator = env.decimal_separator;
  steps.wait_seconds = c.options.wait_seconds;
  const Options& o = c.options;
  const std::string cache = o.no_cache ? std::string() : o.cache ? *o.cache : DefaultCacheFolder();
  steps.fetch = [&c, &any_failed, cache](const std::vector<std::string>& logs, bool& failed) {
    std::vector<std::string> files = c.options.remote->Fetch(logs, cache, c.err);
    failed = c.options.remote->failed();
    any_failed = any_failed || failed;
    return files;
  };
  // What an export of a server is made from besides its logs: a run with other options or
  // another build exports every server again.
  steps.options_print = OptionsPrint(o, c.env);
  // Each notice once per run of the site, not once per server.
  auto told = std::make_shared<std::set<std::string>>();
  steps.analyse = [&c, &env, told](Workspace& ws, const std::vector<std::string>& files) {
    ProgressBar bar(c.err);
    Configure(ws, c.options, env, c.err);
    ws.hooks.notice = [&c, told](const std::string& m) {
      if (told->insert(m).second) c.err << "barvik-cli: " << TerminalText(m) << "\n";
    };
    if (env.progress_bar) {
      ws.hooks.reading = [&bar](uint64_t done, uint64_t total) { bar.Reading(done, total); };
    }
    const int status = Analyse(ws, files, c.err, bar);
    if (env.progress_bar) ws.hooks.reading = nullptr;  // the bar goes with this call
    return status;
  };
  steps.export_report = [&c, &env, incremental](Workspace& ws, const std::string& dir) {
    ws.export_incremental = incremental;
    return Export(ws, dir, c.options.wait_seconds, env, c.err);
  };
  return steps;
}

int RunSiteExport(const Call& c) {
  bool any_failed = false;
  const SiteSteps steps = MakeSiteSteps(c, c.env, c.options.incremental, any_failed);
  int status = kExitOk;
  try {
    status = ExportSite(*c.options.site, c.options.operands.back(), steps, c.err);
  } catch (const std::exception& e) {
    // The site's folder held by another run, or a failure outside the servers' exports.
    c.err << "barvik-cli: " << FailureText(e) << "\n";
    return dynamic_cast<const ReportFolderBusy*>(&e) != nullptr ? kExitBusy : kExitFailure;
  }
  return status == kExitOk && any_failed ? kExitSourcesFailed : status;
}

// Watch over a site file: a run of the site's export whenever a server's logs may have
// changed; the run itself skips the servers whose logs did not.
int WatchSite(const Call& c) {
  const StopSignals stop;
  const SiteConfig& site = *c.options.site;
  std::vector<std::string> watched;
  for (const SiteServer& server : site.servers) {
    for (const std::string& l : server.logs) {
      if (!remote::IsRemoteName(l)) watched.push_back(l);
    }
    if (server.people) watched.push_back(*server.people);
  }
  const ChangeWaiter waiter(watched);
  CliEnvironment quiet = c.env;
  quiet.progress_bar = false;
  bool any_failed = false;
  std::string remembered;
  SiteSteps steps = MakeSiteSteps(c, quiet, true, any_failed);
  steps.remembered = &remembered;
  steps.tell_unchanged = false;
  steps.done = [&c](size_t exported, size_t kept) {
    c.err << "barvik-cli: " << WatchTime() << ": site written, " << exported
          << " servers exported, " << kept << " unchanged" << std::endl;
  };
  const auto analyse = steps.analyse;
  steps.analyse = [analyse](Workspace& ws, const std::vector<std::string>& files) {
    // A stop signal ends the run at its next step, as a one-server watch does.
    const auto stop = [] {
      if (StopSignals::requested()) throw StopRequested{};
    };
    ws.hooks.reading = [stop](uint64_t /*done*/, uint64_t /*total*/) { stop(); };
    const int status = analyse(ws, files);
    ws.hooks.status_changed = ws.hooks.waiting = stop;
    return status;
  };
  while (!StopSignals::requested()) {
    int status = kExitOk;
    try {
      status = ExportSite(site, c.options.operands.back(), steps, c.err);
    } catch (const StopRequested&) {
      break;
    } catch (const std::exception& e) {
      c.err << "barvik-cli: " << FailureText(e) << "\n";
      status = kExitFailure;
    }
    if (StopSignals::requested()) break;
    if (status != kExitOk) {
      c.err << "barvik-cli: " << WatchTime() << ": site run failed; next try in "
            << c.options.every_seconds << " s" << std::endl;
    }
    waiter.Wait(c.options.every_seconds);
  }
  return kExitOk;
}

// people, games and ranking over a site file: one list (or document) per league.
int RunSiteModelCommand(const Call& c) {
  bool any_failed = false;
  const SiteSteps steps = MakeSiteSteps(c, c.env, false, any_failed);
  SiteModels models;
  try {
    if (const int status = ReadSite(*c.options.site, steps, models, c.err); status != kExitOk) {
      return status;
    }
  } catch (const std::exception& e) {
    c.err << "barvik-cli: " << FailureText(e) << "\n";
    return kExitFailure;
  }
  const std::string& command = c.options.command;
  Json leagues = Json::array();
  for (size_t l = 0; l < models.views.size(); ++l) {
    const LeagueView& view = models.views[l];
    const GamesModel& model = *view.model;
    if (c.options.json) {
      leagues.push_back(command == "people"  ? LeaguePeopleJson(view, models.summaries)
                        : command == "games" ? LeagueGamesJson(view, models.summaries)
                                             : LeagueRankingJson(view));
      continue;
    }
    const std::string suffix = " " + view.league;
    if (command == "ranking") {
      c.out << "[league" << suffix << "]\n\n";
      PrintRanking(c.out, LeagueRankingJson(view), c.env.decimal_separator, c.env.terminal_output);
    } else if (command == "people") {
      ReportList list("People" + suffix, FigureColumns({"Person", "Name", "Games"}));
      for (const char* extra : {"First game", "Last game", "Spellings", "Servers"}) {
        list.columns.push_back({extra});
      }
      for (PersonIndex p = 0; p < model.people.size(); ++p) {
        const Person& person = model.people[p];
        if (person.hidden) continue;
        std::vector<std::string> cells = {person.display, std::to_string(person.games)};
        for (std::string& cell : FigureCells(person)) cells.push_back(std::move(cell));
        cells.push_back(std::to_string(person.first_game));
        cells.push_back(std::to_string(person.last_game));
        cells.push_back(std::to_string(person.spellings.size()));
        std::string servers;
        for (const PersonServerRow& row : view.rows[p]) {
          servers += (servers.empty() ? "" : ",") + models.summaries[row.server].key;
        }
        cells.push_back(std::move(servers));
        list.rows.push_back({person.id, std::move(cells)});
      }
      PrintList(c.out, list, c.env.terminal_output);
    } else {
      ReportList list("Games" + suffix, {{"Game"},
                                         {"Server"},
                                         {"Map"},
                                         {"Game type"},
                                         {"Seconds"},
                                         {"Ended"},
                                         {"Warm-up"},
                                         {"Players"}});
      for (size_t g = 0; g < model.games.size(); ++g) {
        const Game& game = model.games[g];
        size_t shown = 0;
        for (const Participant& p : game.players) shown += model.people[p.person].hidden ? 0 : 1;
        list.rows.push_back(
            {std::to_string(game.number),
             {models.summaries[view.game_server[g]].key, std::string(view.texts.Setting(game.map)),
              std::string(view.texts.Setting(game.game_type)), std::to_string(game.seconds),
              std::string(EndingName(game.ending)), game.warmup ? "yes" : "no",
              std::to_string(shown)}});
      }
      PrintList(c.out, list, c.env.terminal_output);
    }
  }
  if (c.options.json) {
    Json document = JsonDocument();
    document["leagues"] = std::move(leagues);
    c.out << JsonText(document);
  }
  return any_failed ? kExitSourcesFailed : kExitOk;
}

// `remote check URL...`: one line per URL, safe to paste into a bug report.
int RunRemote(const Call& c) {
  const std::vector<std::string>& operands = c.options.operands;
  if (operands.front() != "check" || operands.size() < 2) {
    c.err << "barvik-cli: 'remote' takes check URL...; see 'barvik-cli --help'\n";
    return kExitUsage;
  }
  return c.options.remote->CheckCommand({operands.begin() + 1, operands.end()}, c.out, c.err);
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> kCommands = {
      {.name = "tables",
       .help = "  tables [--case-sensitive] [--keep-colors] [--json] LOG...\n"
               "      Analyse LOG and print the five global lists.\n",
       .operands = "LOG...",
       .options = {"--json"},
       .run = RunTables},
      {.name = "player",
       .help = "  player [--case-sensitive] [--keep-colors] [--min-kills TEXT] [--max-ratio TEXT]\n"
               "         [--weapon W] [--json] LOG... NAME\n"
               "      Analyse LOG, load the player whose row caption is NAME (folded by the name\n"
               "      options as the rows are) and print his lists and ratio chart; with --weapon\n"
               "      also the body locations hit with weapon W.\n",
       .operands = "LOG... NAME",
       .trailing_operand = true,
       .options = {"--min-kills", "--max-ratio", "--weapon", "--json"},
       .run = RunPlayer},
      {.name = "games",
       .help = "  games [--people FILE] [date options] [--json] LOG... | --site FILE\n"
               "      Print every game of LOG: map, game type, start and end (server uptime\n"
               "      seconds), length, how it ended, warm-up or not, winner, players, and\n"
               "      when it started (ISO 8601 UTC; \"~\" before an estimated time).\n",
       .operands = "LOG...",
       .options = {"--people", "--json", "--timezone", "--clock-cvar", "--since", "--until",
                   "--site"},
       .run = RunGames},
      {.name = "people",
       .help = "  people [--people FILE] [--inactive-after GAMES] [date options] [--json] LOG...\n"
               "         | --site FILE\n"
               "      Print every person of LOG (one human across his names) with his totals,\n"
               "      first and last seen.\n",
       .operands = "LOG...",
       .options = {"--people", "--inactive-after", "--json", "--timezone", "--clock-cvar",
                   "--since", "--until", "--site"},
       .run = RunPeople},
      {.name = "person",
       .help = "  person [--people FILE] [--json] LOG... NAME\n"
               "      Print the person who used the name NAME (any of his spellings): his\n"
               "      totals, spellings and games.\n",
       .operands = "LOG... NAME",
       .trailing_operand = true,
       .options = {"--people", "--json", "--timezone", "--clock-cvar", "--since", "--until"},
       .run = RunPerson},
      {.name = "ranking",
       .help = "  ranking [--people FILE] [--inactive-after GAMES] [--json] LOG... | --site FILE\n"
               "      Rate every person's skill from the games of LOG (docs/ratings.md) and print\n"
               "      the ranking, then the provisional (plus-minus above 9) and the\n"
               "      inactive (no game in the last 1000, or --inactive-after) apart; then the\n"
               "      same for each game type with 20 or more rated games, rated on its games\n"
               "      alone.\n",
       .operands = "LOG...",
       .options = {"--people", "--inactive-after", "--json", "--timezone", "--clock-cvar",
                   "--since", "--until", "--site"},
       .run = RunRanking},
      {.name = "export",
       .help = "  export [--case-sensitive] [--keep-colors] [--min-kills TEXT] [--max-ratio TEXT]\n"
               "         [--wait SECONDS] [--incremental] LOG... DIR\n"
               "      Analyse LOG and write the HTML report into the folder DIR.\n"
               "  export --site FILE [export options] [DIR]\n"
               "      The report of every server of the site file: a site of one server is\n"
               "      that server's report; of several, DIR/servers/KEY/ for each, the\n"
               "      server list, people and ranking per league beside them. A server whose\n"
               "      logs did not change since the last export of DIR is not exported again.\n",
       .operands = "LOG... DIR",
       .trailing_operand = true,
       .draws_images = true,
       .options = {"--min-kills", "--max-ratio", "--wait", "--templates", "--incremental",
                   "--people", "--inactive-after", "--timezone", "--clock-cvar", "--since",
                   "--until", "--site"},
       .run = RunExport},
      {.name = "watch",
       .help =
           "  watch [export options] [--every SECONDS] LOG... DIR\n"
           "      Export once, then again whenever a LOG grew, was rotated or replaced, writing\n"
           "      only the files that changed; one status line per run on standard error. Stops\n"
           "      on SIGINT, SIGTERM or SIGHUP (exit status 0), leaving the last whole report.\n"
           "      With --site FILE: the site's export whenever a server's logs changed.\n",
       .operands = "LOG... DIR",
       .trailing_operand = true,
       .draws_images = true,
       .options = {"--min-kills", "--max-ratio", "--wait", "--templates", "--every", "--people",
                   "--inactive-after", "--timezone", "--clock-cvar", "--since", "--until",
                   "--site"},
       .run = RunWatch},
      {.name = "remote",
       .help = "  remote check [remote options] URL...\n"
               "      Probe each remote log: connect, log in, TLS or host key, size, time,\n"
               "      resume or range support, growth between two probes a second apart. One\n"
               "      line each, without passwords or log contents: safe to paste into a bug\n"
               "      report.\n",
       .operands = "check URL...",
       .options = {},
       .run = RunRemote},
  };
  return kCommands;
}

}  // namespace

int RunCli(const std::vector<std::string>& given, std::ostream& out, std::ostream& err,
           const CliEnvironment& env) {
  if (given.empty()) {
    err << UsageText();
    return kExitUsage;
  }
  // watch --settings FILE: the service's settings, read here so that blanks and quotes in
  // them survive.
  std::string settings_error;
  const std::vector<std::string> args = ExpandWatchSettings(given, settings_error);
  if (!settings_error.empty()) {
    err << "barvik-cli: " << TerminalText(settings_error) << "; see 'barvik-cli --help'\n";
    return kExitUsage;
  }
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      out << UsageText();
      return kExitOk;
    }
    if (a == "--version") {
      out << "barvik-cli " << env.version << " (build " << env.build_text << ")\n";
      return kExitOk;
    }
    if (a == "--") break;
  }
  Options o;
  try {
    o = Parse(args);
  } catch (const UsageError& e) {
    err << "barvik-cli: " << TerminalText(e.message) << "; see 'barvik-cli --help'\n";
    return kExitUsage;
  }
  const Command& command = *FindCommand(o.command);
  const ScopedLogEncoding encoding(*o.encoding);
  // Every operand but the command's trailing one is a log.
  const std::vector<std::string> logs(o.operands.begin(),
                                      o.operands.end() - (command.trailing_operand ? 1 : 0));
  const int status = command.run(Call{o, logs, out, err, env});
  // Watch tells failed sources run by run and ends with 0 at a stop signal.
  const bool sources_failed = o.remote->failed() && o.command != "watch";
  return status == kExitOk && sources_failed ? kExitSourcesFailed : status;
}

bool DrawsImages(const std::vector<std::string>& args) {
  const Command* command = args.empty() ? nullptr : FindCommand(args[0]);
  return command != nullptr && command->draws_images;
}

}  // namespace barvik
