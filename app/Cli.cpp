#include "app/Cli.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>

#include "app/ProgressBar.h"
#include "app/Watch.h"
#include "app/Workspace.h"
#include "core/FileError.h"
#include "core/NumberFormat.h"
#include "log/EventCache.h"
#include "log/LogSource.h"
#include "report/AtomicFile.h"
#include "report/ImageSource.h"
#include "report/JsonWriter.h"
#include "report/RankingJson.h"
#include "report/ReportFiles.h"
#include "report/SiteText.h"

namespace barvik {
namespace {

constexpr const char* kUsage =
    "Usage: barvik-cli COMMAND [OPTIONS] ARGS\n"
    "\n"
    "Commands:\n"
    "  tables [--case-sensitive] [--keep-colors] [--json] LOG...\n"
    "      Analyse LOG and print the five global lists.\n"
    "  player [--case-sensitive] [--keep-colors] [--min-kills TEXT] [--max-ratio TEXT]\n"
    "         [--weapon W] [--json] LOG... NAME\n"
    "      Analyse LOG, load the player whose row caption is NAME (folded by the name\n"
    "      options as the rows are) and print his lists and ratio chart; with --weapon\n"
    "      also the body locations hit with weapon W.\n"
    "  ranking [--json] LOG...\n"
    "      Rate every person's skill from the games of LOG (docs/ratings.md) and print\n"
    "      the ranking, then the provisional (fewer than 10 rated games) and the\n"
    "      inactive (no game in the last 1000) apart.\n"
    "  export [--case-sensitive] [--keep-colors] [--min-kills TEXT] [--max-ratio TEXT]\n"
    "         [--wait SECONDS] [--incremental] LOG... DIR\n"
    "      Analyse LOG and write the HTML report into the folder DIR.\n"
    "  watch [export options] [--every SECONDS] LOG... DIR\n"
    "      Export once, then again whenever a LOG grew, was rotated or replaced, writing\n"
    "      only the files that changed; one status line per run on standard error. Stops\n"
    "      on SIGINT, SIGTERM or SIGHUP (exit status 0), leaving the last whole report.\n"
    "\n"
    "Logs: several LOG operands are read in the order given as one log, each file ending\n"
    "its last line. A folder stands for its rotated log, oldest first: NAME.N[.gz] ...\n"
    "NAME.1[.gz] (numbers compared as numbers), then NAME; other files are ignored.\n"
    "Before the first rotation a folder stands for its only *.log file (else its only\n"
    "file). A file of which no line is recognised is named on standard error.\n"
    "Gzip-compressed logs (.gz, also several members) are read as they are.\n"
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
    "                     tab-separated text (tables and player)\n"
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
    "  --templates DIR    read the report templates from DIR (export and watch; default:\n"
    "                     beside the program, or installed in ../share/barvik from it)\n"
    "  --every SECONDS    how often watch looks at the logs without inotify, and the\n"
    "                     longest it waits for a busy log to go quiet (watch only;\n"
    "                     default 60)\n"
    "  --                 end of the options: a LOG, NAME or DIR after it may start with '-'\n"
    "  -h, --help         show this help\n"
    "  --version          show the version and build number\n"
    "\n"
    "Exit status: 0 on success, 1 when the report could not be written, 2 for bad\n"
    "arguments or a log that is missing or cannot be read, 3 when another run holds DIR\n"
    "for longer than --wait. Watch reports a failed run and goes on watching.\n";

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
  std::optional<std::string> templates;  // --templates DIR
  std::vector<std::string> operands;
};

struct UsageError {
  std::string message;
};

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

Options Parse(const std::vector<std::string>& args) {
  Options o;
  o.command = args[0];
  const std::vector<std::string> commands = {"tables", "player", "ranking", "export", "watch"};
  if (std::find(commands.begin(), commands.end(), o.command) == commands.end()) {
    throw UsageError{"unknown command '" + o.command + "'" + Suggest(o.command, commands)};
  }
  std::vector<std::string> known = {"--case-sensitive", "--keep-colors", "--cache", "--no-cache"};
  const bool logs_only = o.command == "tables" || o.command == "ranking";  // LOG... alone
  if (!logs_only) {
    known.push_back("--min-kills");
    known.push_back("--max-ratio");
  }
  if (o.command == "player") known.push_back("--weapon");
  const bool exports = o.command == "export" || o.command == "watch";
  if (exports) {
    known.push_back("--wait");
    known.push_back("--templates");
  }
  if (o.command == "export") known.push_back("--incremental");
  if (o.command == "watch") known.push_back("--every");
  if (!exports) known.push_back("--json");

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
                       name == "--templates";
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
  }
  if (o.cache && o.no_cache)
    throw UsageError{"options '--cache' and '--no-cache' exclude each other"};
  if (o.cache && o.cache->empty()) throw UsageError{"option '--cache' needs a folder"};
  if (std::error_code ec; o.templates && !std::filesystem::is_directory(*o.templates, ec)) {
    throw UsageError{"option '--templates': no such folder '" + *o.templates + "'"};
  }
  const size_t wanted = logs_only ? 1 : 2;
  if (o.operands.size() < wanted) {
    const char* form = logs_only ? "LOG..." : o.command == "player" ? "LOG... NAME" : "LOG... DIR";
    throw UsageError{"'" + o.command + "' takes " + form + " (got " +
                     std::to_string(o.operands.size()) + " arguments)"};
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
  out << "title\t" << (terminal ? ShownText(chart.title) : chart.title) << "\n";
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
  document["server"] = Utf8From1252(ws.server_name());
  document["lists"] = ListsJson(lists, ws.decimal_separator());
  if (chart != nullptr) {
    Json points = Json::array();
    for (const ChartPoint& p : chart->points) {
      points.push_back({{"x", p.x}, {"y", p.y}, {"colour", p.blue ? "blue" : "red"}});
    }
    document["chart"] = {{"title", Utf8From1252(chart->title)},
                         {"xmax", chart->xmax},
                         {"ymax", chart->ymax},
                         {"points", std::move(points)}};
  }
  out << JsonText(document);
}

// The ranking as text: one line per person, rank (empty outside the ranking), shown skill,
// plus-minus, rated games, kills per death and the display name; the provisional and the
// inactive under their own headings.
void PrintRanking(std::ostream& out, const Json& ranking, char decimal_separator, bool terminal) {
  auto number = [&](double value) {  // the JSON's thousandths, to two places
    return FormatQuotient(std::llround(value * 1000.0), 1000, 2, decimal_separator);
  };
  for (const char* part : {"ranking", "provisional", "inactive"}) {
    out << "[" << part << "]\nRank\tSkill\tPlus-minus\tGames\tK/D\tName\n";
    for (const Json& p : ranking.at(part)) {
      const std::string name = p.at("name").get<std::string>();
      out << (p.at("rank").is_null() ? "" : std::to_string(p.at("rank").get<int>())) << "\t"
          << number(p.at("skill").get<double>()) << "\t" << number(p.at("plus_minus").get<double>())
          << "\t" << p.at("games").get<int>() << "\t"
          << FormatRatio(p.at("kills").get<int64_t>(), p.at("deaths").get<int64_t>(),
                         decimal_separator)
          << "\t" << (terminal ? ShownText(name) : name) << "\n";
    }
    out << "\n";
  }
}

}  // namespace

namespace {

std::string Escaped(std::string_view text, bool line_ends_as_blanks) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string shown;
  shown.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (line_ends_as_blanks && (c == '\n' || c == '\r')) {
      shown += ' ';
    } else if ((byte < 0x20 && c != '\t') || byte == 0x7F) {
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

std::string TerminalText(std::string_view text) { return Escaped(text, true); }

std::string ShownText(std::string_view text) { return Escaped(text, false); }

std::string FailureText(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "out of memory";
  std::string text = e.what();
  if (const auto* file_error = dynamic_cast<const FileError*>(&e)) {
    if (!file_error->reason().empty()) text += ": " + file_error->reason();
  }
  return TerminalText(text);
}

void PrintList(std::ostream& out, const ReportList& list, bool terminal) {
  auto shown = [terminal](const std::string& text) { return terminal ? ShownText(text) : text; };
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
  ws.cache_folder = o.no_cache ? std::string() : o.cache ? *o.cache : DefaultCacheFolder();
  ws.options().ignore_case = !o.case_sensitive;
  ws.options().ignore_colors = !o.keep_colors;
  ws.options().min_kills = o.min_kills;
  ws.options().max_ratio = o.max_ratio;
  ws.hooks.line_error = [&err](const std::string& m) {
    err << "barvik-cli: " << TerminalText(m) << "\n";
  };
}

// False, with the message printed, when a LOG operand does not exist.
bool AllLogsExist(const std::vector<std::string>& logs, std::ostream& err) {
  for (const std::string& l : logs) {
    if (!std::filesystem::exists(l)) {
      err << "barvik-cli: no such log file: " << TerminalText(l) << "\n";
      return false;
    }
  }
  return true;
}

// Reads and analyses the logs; kExitOk, or kExitUsage with the message printed.
int Analyse(Workspace& ws, const std::vector<std::string>& logs, std::ostream& err,
            ProgressBar& bar) {
  const std::string& log_name = logs.size() == 1 ? logs[0] : std::string("the logs");
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
      err << "barvik-cli: no such log file: " << TerminalText(log_name) << "\n";
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
  try {
    std::unique_ptr<ImageSource> images = env.make_image_source(ws);
    ws.ButtonHTMLClick(*images);
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
  const ChangeWaiter waiter(logs);
  Workspace ws(env.decimal_separator);
  Configure(ws, o, env, err);
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
  std::string exported;  // the inputs as they were when the last good run started
  while (!StopSignals::requested()) {
    std::string inputs = InputFingerprint(logs);
    if (inputs != exported) {
      int status = kExitOk;
      size_t written = 0;
      size_t kept = 0;
      try {
        status = Analyse(ws, logs, err, no_bar);
        if (status == kExitOk) {
          const KeepIdenticalFiles keep;
          status = Export(ws, o.operands.back(), o.wait_seconds, quiet, err);
          written = keep.written();
          kept = keep.kept();
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

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env) {
  if (args.empty()) {
    err << kUsage;
    return kExitUsage;
  }
  for (const std::string& a : args) {
    if (a == "-h" || a == "--help") {
      out << kUsage;
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

  // Every operand but the last of player, export and watch is a log.
  const std::vector<std::string> logs(
      o.operands.begin(),
      o.operands.end() - (o.command == "tables" || o.command == "ranking" ? 0 : 1));
  if (o.command == "watch") {
    if (!AllLogsExist(logs, err)) return kExitUsage;
    return Watch(o, logs, err, env);
  }

  Workspace ws(env.decimal_separator);
  Configure(ws, o, env, err);
  const std::string& log_name = logs.size() == 1 ? logs[0] : std::string("the logs");
  ProgressBar bar(err);
  if (env.progress_bar) {
    ws.hooks.reading = [&bar](uint64_t done, uint64_t total) { bar.Reading(done, total); };
  }
  if (const int status = Analyse(ws, logs, err, bar); status != kExitOk) return status;

  if (o.command == "tables") {
    const std::vector<ListId> ids = {ListId::Players, ListId::Weapon, ListId::Maps, ListId::GType,
                                     ListId::Accuracy};
    if (o.json) {
      PrintJson(out, ws, ids, nullptr);
      return kExitOk;
    }
    for (ListId id : ids) PrintList(out, ws.List(id), env.terminal_output);
    return kExitOk;
  }

  if (o.command == "ranking") {
    const EventStore& store = ws.log()->events();
    const GamesModel model = BuildGames(store, ws.people_rules);
    GameRatings ratings;
    RateGames(model, ratings);
    const Json ranking = RankingJson(store, model, ratings);
    if (o.json) {
      out << JsonText(ranking);
    } else {
      PrintRanking(out, ranking, env.decimal_separator, env.terminal_output);
    }
    return kExitOk;
  }

  if (o.command == "player") {
    // NAME as the rows spell it: the name options fold it as they fold the log's names.
    const std::string name = ws.log()->NormaliseName(o.operands.back());
    int row = FindRow(ws.List(ListId::Players), name);
    if (row < 0) {
      err << "barvik-cli: no player row named '" << TerminalText(o.operands.back()) << "' in "
          << TerminalText(log_name) << SuggestRows(ws.List(ListId::Players), name) << "\n";
      return kExitUsage;
    }
    ws.SelectPlayerRow(row);
    ws.ListViewPlayersDblClick();
    if (o.weapon) {
      int weapon_row = FindRow(ws.List(ListId::PlayerWeapon), *o.weapon);
      if (weapon_row < 0) {
        err << "barvik-cli: player '" << TerminalText(name) << "' has no weapon row named '"
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
      PrintJson(out, ws, ids, &ws.chart());
      return kExitOk;
    }
    for (ListId id : ids) PrintList(out, ws.List(id), env.terminal_output);
    PrintChart(out, ws.chart(), env.decimal_separator, env.terminal_output);
    return kExitOk;
  }

  // export
  if (env.progress_bar) {
    ws.hooks.exporting = [&bar](uint64_t done, uint64_t total) { bar.Exporting(done, total); };
  }
  std::optional<KeepIdenticalFiles> keep;
  if (o.incremental) keep.emplace();
  return Export(ws, o.operands.back(), o.wait_seconds, env, err);
}

}  // namespace barvik
