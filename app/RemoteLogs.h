// Remote logs on the command line: the options that say how to reach them, and the step
// before every analysis that mirrors each URL operand into its spool in the cache folder and
// stands the spool in for it (log/ reads a spool like a local rotated log).
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "remote/Mirror.h"

namespace barvik {

// The options of remote logs, in the order "did you mean" tries them.
const std::vector<std::string>& RemoteOptionNames();

// What the remote options of one command line say, and what their runs found.
class RemoteSources {
 public:
  RemoteSources() = default;
  RemoteSources(const RemoteSources&) = delete;
  RemoteSources& operator=(const RemoteSources&) = delete;
  ~RemoteSources();

  // Takes the option `name` (one of RemoteOptionNames) with its value; a usage problem in
  // words, or empty.
  std::string SetOption(const std::string& name, const std::string& value);
  // Checks the URLs among `operands` and the credentials they will use: a usage problem in
  // words, or empty. Only looks at the credentials when there is a URL.
  std::string Check(const std::vector<std::string>& operands);

  // `operands` with each URL replaced by its spool in `cache_folder` (a scratch folder of its
  // own when that is empty or refused), fetched now. A source that failed is named on `err`
  // with what failed, and its spool is read as the last run left it; notes are said once per
  // process.
  std::vector<std::string> Fetch(const std::vector<std::string>& operands,
                                 const std::string& cache_folder, std::ostream& err);
  // Whether a source failed in the last Fetch.
  bool failed() const { return failed_; }
  // The program that messages name ("barvik-cli" unless set).
  std::string program = "barvik-cli";

  // `barvik-cli remote check URL...`: one line per URL on `out`; kExitOk when every probe
  // went through, else kExitSourcesFailed (kExitUsage for an unusable URL).
  int CheckCommand(const std::vector<std::string>& urls, std::ostream& out, std::ostream& err);

 private:
  remote::Access access_;
  remote::Limits limits_;
  bool failed_ = false;
  std::string scratch_;            // the spool root made for a run without a cache folder
  std::vector<std::string> told_;  // notes already said
};

}  // namespace barvik
