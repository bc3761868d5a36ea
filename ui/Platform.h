// Start-up helpers shared by the two programs: the choice of the Qt platform when there is
// no display, and the program's own folder (where the report templates lie).
#pragma once

#include <string>

namespace barvik {

// True when neither DISPLAY nor WAYLAND_DISPLAY is set and neither QT_QPA_PLATFORM nor a
// "-platform" argument names a platform.
bool IsHeadless(int argc, char** argv);

// Selects Qt's offscreen platform when IsHeadless(); call before creating the QApplication.
// Returns IsHeadless().
bool UseOffscreenWhenHeadless(int argc, char** argv);

// The folder of the running program, or "." when it cannot be found.
std::string ProgramFolder();

// The decimal separator of the user's locale (LC_NUMERIC), '.' when it is not one byte.
char LocaleDecimalSeparator();

}  // namespace barvik
