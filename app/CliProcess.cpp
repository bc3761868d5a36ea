#include "app/CliProcess.h"

#include <unistd.h>

#include <iostream>

#include "app/ProgramEnvironment.h"
#include "app/TemplateFolder.h"

namespace barvik {

CliEnvironment CliProcessEnvironment(std::string_view installed_templates) {
  CliEnvironment env;
  env.decimal_separator = UseUserLocale();
  env.template_folder = FindTemplateFolder(ProgramFolder(), installed_templates);
  env.version = BARVIK_VERSION;
  env.build_text = BARVIK_BUILD_TEXT;
  env.maker_address = BARVIK_MAKER_ADDRESS;
  env.progress_bar = isatty(STDERR_FILENO) != 0;
  env.terminal_output = isatty(STDOUT_FILENO) != 0;
  return env;
}

void HandToRenderer(char** argv, std::string_view installed_helper) {
  const std::string renderer =
      FindShippedFolder(ProgramFolder(), installed_helper, "barvik-export") + "/barvik-export";
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
