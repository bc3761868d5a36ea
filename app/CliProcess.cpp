#include "app/CliProcess.h"

#include <unistd.h>

#include <iostream>

#include "app/ProgramEnvironment.h"

namespace barvik {

CliEnvironment CliProcessEnvironment() {
  CliEnvironment env;
  env.decimal_separator = UseUserLocale();
  env.template_folder = ProgramFolder();
  env.build_text = BARVIK_BUILD_TEXT;
  env.progress_bar = isatty(STDERR_FILENO) != 0;
  env.terminal_output = isatty(STDOUT_FILENO) != 0;
  return env;
}

void HandToRenderer(char** argv, const std::string& program_folder) {
  const std::string renderer = program_folder + "/barvik-export";
  if (::access(renderer.c_str(), X_OK) == 0) {
    argv[0] = const_cast<char*>("barvik-cli");
    ::execv(renderer.c_str(), argv);
  }
}

int RunCliProcess(const std::vector<std::string>& args, const CliEnvironment& env) {
  try {
    return RunCli(args, std::cout, std::cerr, env);
  } catch (const std::exception& e) {
    std::cerr << "barvik-cli: " << FailureText(e) << "\n";
    return kExitFailure;
  }
}

}  // namespace barvik
