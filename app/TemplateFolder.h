// Where a program finds the files it ships with: the report templates and the image helper.
// In the build folder they lie beside the program; installed (cmake --install, the Debian
// package) they lie at a fixed path relative to the program's folder, "../share/barvik" from
// bin/. The window, its batch mode and barvik-cli all decide by these functions.
#pragma once

#include <string>
#include <string_view>

namespace barvik {

// The folder that holds `probe`: `program_folder` itself first, then `program_folder` joined
// with `installed` (a relative path). When neither holds it, the installed folder if that
// exists, else the program's folder, so that the first file the program misses is named
// where it was looked for ("Cannot open file DIR/globhtml1.dat").
std::string FindShippedFolder(const std::string& program_folder, std::string_view installed,
                              std::string_view probe);

// The report templates' folder for a program in `program_folder` whose templates install to
// `installed` relative to it.
std::string FindTemplateFolder(const std::string& program_folder, std::string_view installed);

}  // namespace barvik
