// barvik-cli: the headless front end. Each command runs the same Workspace operations as the
// window and prints results on `out`; progress and errors go to `err`, so a report can be
// piped. RunCli returns the process exit status.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace barvik {

class ImageSource;
class Workspace;
struct ReportList;

enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,  // the work started but failed (a file could not be written)
  kExitUsage = 2,    // bad arguments, or a log that is missing or cannot be read
};

struct CliEnvironment {
  char decimal_separator = '.';
  std::string template_folder = ".";  // where the report templates are read from
  std::string build_text = "N/A";
  bool progress_bar = false;  // draw a progress bar on `err` (a terminal)
  // Renders the figures and the chart for the export; empty where no renderer is linked.
  std::function<std::unique_ptr<ImageSource>(Workspace&)> make_image_source;
};

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliEnvironment& env);

// "[name]", the column captions, one line per row, an empty line; fields joined by tabs.
void PrintList(std::ostream& out, const ReportList& list);

}  // namespace barvik
