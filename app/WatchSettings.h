// The settings file of the watch service (/etc/barvik/NAME.conf), read by barvik-cli itself
// so that a log or report path with blanks or quotes arrives whole: KEY=VALUE lines as a
// shell writes them, where VALUE is words separated by blanks, a word quoted with '...'
// (literal) or "..." (\" \\ \$ \` escaped), a backslash escaping the next character outside
// quotes, a word starting with '#' beginning a comment; blank lines and lines starting
// with '#' are ignored; an "export " before KEY is
// allowed. Keys: BARVIK_LOGS (the logs, any number of words), BARVIK_REPORT (one word),
// BARVIK_OPTIONS (more options, words). Unknown keys are errors, so that a misspelt setting
// is not silently ignored.
#pragma once

#include <string>
#include <vector>

namespace barvik {

struct WatchSettings {
  std::vector<std::string> logs;
  std::string report;
  std::vector<std::string> options;
};

// The settings in `text`; on a bad line, `error` says which and why ("line 3: ...").
WatchSettings ParseWatchSettings(const std::string& text, std::string& error);

// `args` of barvik-cli with "watch --settings FILE" replaced by the file's options, "--", its
// logs and its report (after any options given on the command line); `args` as they are
// without --settings. Sets `error` when the file cannot be read or is bad.
std::vector<std::string> ExpandWatchSettings(const std::vector<std::string>& args,
                                             std::string& error);

}  // namespace barvik
