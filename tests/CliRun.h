// barvik-cli run in-process with its output captured.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/Cli.h"

namespace barvik::testing {

struct CliResult {
  int status;
  std::string out;
  std::string err;
};

inline CliResult RunTool(const std::vector<std::string>& args, char separator = '.') {
  std::ostringstream out, err;
  CliEnvironment env;
  env.decimal_separator = separator;
  int status = RunCli(args, out, err, env);
  return {status, out.str(), err.str()};
}

}  // namespace barvik::testing
