// Start-up helper shared by the two programs: the choice of the Qt platform when there is no
// display.
#pragma once

#include <string>

namespace barvik {

// True when neither DISPLAY nor WAYLAND_DISPLAY is set and neither QT_QPA_PLATFORM nor a
// "-platform" argument names a platform.
bool IsHeadless(int argc, char** argv);

// Selects Qt's offscreen platform when IsHeadless(); call before creating the QApplication.
// Returns IsHeadless().
bool UseOffscreenWhenHeadless(int argc, char** argv);

}  // namespace barvik
