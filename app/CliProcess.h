// What the two barvik-cli programs' `main`s share: barvik-cli (no Qt library) and barvik-export
// (the same commands with the renderer of the report images).
#pragma once

#include <string>
#include <vector>

#include "app/Cli.h"

namespace barvik {

// The environment of a barvik-cli process: the user's decimal separator (the locale is taken
// as the window takes it), the program's folder for the templates, and whether standard error
// and standard output are terminals.
CliEnvironment CliProcessEnvironment();

// Replaces this process with barvik-export beside the program (same arguments, streams and
// exit status). Returns only when that program is not there or cannot be started; RunCli then
// says that this build cannot export.
void HandToRenderer(char** argv, const std::string& program_folder);

// RunCli on standard output and standard error; a failure that escapes it is printed and ends
// with kExitFailure.
int RunCliProcess(const std::vector<std::string>& args, const CliEnvironment& env);

}  // namespace barvik
