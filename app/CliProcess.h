// What the two barvik-cli programs' `main`s share: barvik-cli (no Qt library) and barvik-export
// (the same commands with the renderer of the report images).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/Cli.h"

namespace barvik {

// The environment of a barvik-cli process: the user's decimal separator (the locale is taken
// as the window takes it), the templates' folder (beside the program, else `installed_templates`
// relative to its folder), the version and build number, and whether standard error and
// standard output are terminals.
CliEnvironment CliProcessEnvironment(std::string_view installed_templates);

// Replaces this process with barvik-export, beside the program or `installed_helper` relative to
// its folder (same arguments, streams and exit status). Returns only when that program is not
// there or cannot be started; RunCli then says that this build cannot export.
void HandToRenderer(char** argv, std::string_view installed_helper);

// RunCli on standard output and standard error; a failure that escapes it is printed and ends
// with kExitFailure.
int RunCliProcess(const std::vector<std::string>& args, const CliEnvironment& env);

}  // namespace barvik
