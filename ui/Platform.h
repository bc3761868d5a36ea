// Start-up helpers shared by the two programs: where the window could appear (decided
// before the QApplication exists, so that a run nobody can see never waits on a dialog and a
// display that is not there never aborts inside Qt), Qt's own diagnostics kept off headless
// runs' standard error, and the program's own folder (where the report templates lie).
#pragma once

#include <string>

namespace barvik {

enum class Screen {
  kVisible,      // a platform someone can see: an X display that answers, Wayland, ...
  kNone,         // no display at all, or a platform nobody sees (offscreen, minimal)
  kUnreachable,  // DISPLAY names an X display that cannot be opened
};

// From the "-platform" argument, QT_QPA_PLATFORM, DISPLAY and WAYLAND_DISPLAY; for Qt's X
// platform the display is opened once to see that it answers.
Screen ChooseScreen(int argc, char** argv);

// Puts Qt on its offscreen platform, whatever the environment or a "-platform" argument
// (removed from argv) chose; call before creating the QApplication. The report images look
// the same there as in a window.
void UseOffscreenPlatform(int& argc, char** argv);

// Keeps Qt's notes and warnings ("QStandardPaths: XDG_RUNTIME_DIR not set", "This plugin
// does not support propagateSizeHints()") off standard error, which then carries only the
// program's own messages; Qt's critical and fatal messages are still printed after
// "<program>: ". Debug builds, and runs with BARVIK_QT_MESSAGES set, keep every message.
void QuietQtMessages(const char* program);

// The value of DISPLAY, for messages.
std::string DisplayName();

}  // namespace barvik
