// barvik-cli: the headless front end. Each command runs the same Workspace operations as the
// window and prints results on `out`; progress and errors go to `err`, so a report can be
// piped. RunCli returns the process exit status.
#pragma once

#include <exception>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandLine.h"

namespace barvik {

class ImageSource;
class Workspace;
struct ReportList;

struct CliEnvironment {
  char decimal_separator = '.';
  std::string template_folder = ".";  // where the report templates are read from
  std::string version = "N/A";        // the program's version, as CMake's project() names it
  std::string build_text = "N/A";
  std::string maker_address;     // the page footers' link; empty: none
  bool progress_bar = false;     // draw a progress bar on `err` (a terminal)
  bool terminal_output = false;  // `out` is a terminal: names are shown as UTF-8, ShownText
  // Renders the figures and the chart for the export; empty where no renderer is linked.
  std::function<std::unique_ptr<ImageSource>(Workspace&)> make_image_source;
};

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env);

// True when `args` name a command that draws the report images (export, watch), which only a
// build with the renderer can run.
bool DrawsImages(const std::vector<std::string>& args);

// `text` made safe for a terminal or a log file, as one line: line ends become blanks,
// other control characters (terminal escapes) "\xNN"; every other byte stays as it is.
std::string TerminalText(std::string_view text);

// The message of a failure as headless front ends print it (through TerminalText): the
// text, then ": " and the system's reason for a FileError that has one; "out of memory" for
// std::bad_alloc.
std::string FailureText(const std::exception& e);

// UTF-8 `text` for a terminal with its layout kept: every control character but the tab (a
// log's names may hold terminal escapes), C1 controls included, as "\xNN", every other byte as
// it is.
std::string ShownText(std::string_view text);

// "[name]", the column captions, one line per row, an empty line; fields joined by tabs.
// With `terminal`, every text turned into UTF-8 from the log's code page (LogEncoding) and
// through ShownText; otherwise byte for byte.
void PrintList(std::ostream& out, const ReportList& list, bool terminal = false);

}  // namespace barvik
