#include "app/RemoteLogs.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "app/Cli.h"
#include "app/CommandLine.h"
#include "log/CacheFolder.h"
#include "remote/RemoteUrl.h"

namespace barvik {

const std::vector<std::string>& RemoteOptionNames() {
  static const std::vector<std::string> kNames = {"--netrc",   "--ssh-key", "--known-hosts",
                                                  "--ca-file", "--ftp-tls", "--max-fetch"};
  return kNames;
}

RemoteSources::~RemoteSources() {
  if (!scratch_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
  }
}

std::string RemoteSources::SetOption(const std::string& name, const std::string& value) {
  if (value.empty()) return "option '" + name + "' needs a value";
  if (name == "--netrc") access_.netrc = value;
  if (name == "--ssh-key") access_.ssh_key = value;
  if (name == "--known-hosts") access_.known_hosts = value;
  if (name == "--ca-file") access_.ca_file = value;
  if (name == "--ftp-tls") {
    if (value != "require") return "option '--ftp-tls' takes 'require', not '" + value + "'";
    access_.ftp_tls_required = true;
  }
  if (name == "--max-fetch") {
    uint64_t mb = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), mb);
    if (ec != std::errc() || end != value.data() + value.size() || mb < 1 || mb > 1000000) {
      return "option '--max-fetch' takes a whole number of megabytes from 1 to 1000000, not '" +
             value + "'";
    }
    limits_.max_fetch = mb * 1024 * 1024;
  }
  return {};
}

std::string RemoteSources::Check(const std::vector<std::string>& operands) {
  bool any = false;
  for (const std::string& operand : operands) {
    if (!remote::IsRemoteName(operand)) continue;
    if (std::string problem = remote::UrlProblem(operand); !problem.empty()) return problem;
    any = true;
  }
  return any ? remote::AccessProblem(access_) : std::string();
}

std::vector<std::string> RemoteSources::Fetch(const std::vector<std::string>& operands,
                                              const std::string& cache_folder, std::ostream& err) {
  failed_ = false;
  std::vector<std::string> local;
  local.reserve(operands.size());
  std::string root;
  for (const std::string& operand : operands) {
    if (!remote::IsRemoteName(operand)) {
      local.push_back(operand);
      continue;
    }
    if (root.empty()) {
      if (!cache_folder.empty() && PrepareCacheFolder(cache_folder).empty()) {
        root = cache_folder + "/spool";
      } else {
        if (scratch_.empty()) {
          std::string pattern =
              (std::filesystem::temp_directory_path() / "barvik-spool-XXXXXX").string();
          if (mkdtemp(pattern.data()) != nullptr) scratch_ = pattern;
        }
        root = scratch_.empty() ? std::string("/nonexistent") : scratch_;
      }
    }
    const remote::MirrorResult result = remote::Mirror(operand, root, access_, limits_);
    const std::string shown = TerminalText(remote::ShownUrl(operand));
    for (const std::string& note : result.notes) {
      std::string told = shown;
      told.append(": ").append(note);
      if (std::find(told_.begin(), told_.end(), told) != told_.end()) continue;
      told_.push_back(told);
      err << program << ": " << TerminalText(told) << "\n";
    }
    if (!result.failure.empty()) {
      failed_ = true;
      err << program << ": cannot fetch " << shown << ": " << TerminalText(result.failure)
          << "; what was fetched before is read\n";
    }
    local.push_back(result.spool);
  }
  return local;
}

int RemoteSources::CheckCommand(const std::vector<std::string>& urls, std::ostream& out,
                                std::ostream& err) {
  if (std::string problem = remote::AccessProblem(access_); !problem.empty()) {
    err << "barvik-cli: " << TerminalText(problem) << "\n";
    return kExitUsage;
  }
  int status = kExitOk;
  for (const std::string& url : urls) {
    if (std::string problem = remote::UrlProblem(url); !problem.empty()) {
      out << TerminalText(problem) << "\n";
      status = kExitUsage;
      continue;
    }
    const std::string line = remote::Check(url, access_, limits_);
    if (line.find("FAILED") != std::string::npos && status == kExitOk) {
      status = kExitSourcesFailed;
    }
    out << TerminalText(line) << std::endl;
  }
  return status;
}

}  // namespace barvik
