// barvik: the window. "--version" alone prints the version and build. One argument (LOG) is a
// log loaded into the window. Exactly two arguments (LOG DIR), optionally after
// "--encoding NAME" and "--wait SECONDS", run a batch: analyse LOG, write the report into DIR and
// close. Where nobody can see a window (no display, an offscreen or minimal platform, a display
// that does not answer) the batch runs without a window and reports on standard error; it never
// waits on a dialog.
#include <sys/resource.h>

#include <clocale>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <QApplication>

#include "app/Cli.h"
#include "app/CommandLine.h"
#include "app/ProgramEnvironment.h"
#include "app/TemplateFolder.h"
#include "app/Workspace.h"
#include "core/Encoding.h"
#include "log/CacheFolder.h"
#include "ui/BatchRun.h"
#include "ui/Platform.h"
#include "ui/TFormCAL.h"

namespace {

// Takes a leading "--wait SECONDS" (or "--wait=SECONDS") off a batch's arguments. Returns
// false for a value that is not a whole number of seconds.
bool TakeWaitOption(std::vector<std::string>& args, double& seconds) {
  std::string value;
  size_t taken = 0;
  if (args.size() >= 4 && args[0] == "--wait") {
    value = args[1];
    taken = 2;
  } else if (args.size() >= 3 && args[0].rfind("--wait=", 0) == 0) {
    value = args[0].substr(7);
    taken = 1;
  } else {
    return true;
  }
  const std::optional<int> whole = barvik::WholeSeconds(value, 0);
  if (!whole) return false;
  seconds = *whole;
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(taken));
  return true;
}

// Takes "--encoding NAME" (or "--encoding=NAME") off the front of the arguments and makes
// that code page the log's. False, with the message printed, for a name that is none.
bool TakeEncodingOption(std::vector<std::string>& args) {
  std::string name;
  size_t taken = 0;
  if (args.size() >= 2 && args[0] == "--encoding") {
    name = args[1];
    taken = 2;
  } else if (!args.empty() && args[0].rfind("--encoding=", 0) == 0) {
    name = args[0].substr(11);
    taken = 1;
  } else {
    return true;
  }
  const barvik::Encoding* encoding = barvik::Encoding::Named(name);
  if (encoding == nullptr) {
    std::cerr << "barvik: --encoding: '" << barvik::TerminalText(name)
              << "' is not a code page of one byte per character known here, nor utf-8 (e.g. "
                 "windows-1252, windows-1251, iso-8859-2, utf-8)\n";
    return false;
  }
  barvik::SetLogEncoding(*encoding);
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(taken));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered before Qt starts, so it needs no display.
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::cout << "barvik " BARVIK_VERSION " (build " BARVIK_BUILD_TEXT ")\n";
    return barvik::kExitOk;
  }
  const barvik::Screen screen = barvik::ChooseScreen(argc, argv);
  const bool headless = screen != barvik::Screen::kVisible;
  if (headless) {
    barvik::UseOffscreenPlatform(argc, argv);
    barvik::QuietQtMessages("barvik");
  }
  try {
    QApplication app(argc, argv);
    // The task bar name. Set as the application's name: Qt appends a display name to every
    // window title, and the title bar shows the caption alone.
    QApplication::setApplicationName("Call Of Duty (UO) .LOG Analysys");
    QApplication::setStyle("Fusion");
    const char decimal_separator = barvik::UseUserLocale();
    // Qt has taken its own options out of argv; the rest are the program's arguments.
    std::vector<std::string> args(argv + 1, argv + argc);
    double wait_seconds = 0;
    for (size_t before = 0; before != args.size();) {  // the options, in either order
      before = args.size();
      if (!TakeEncodingOption(args)) return barvik::kExitUsage;
      if (!TakeWaitOption(args, wait_seconds)) {
        std::cerr << "barvik: --wait takes a whole number of seconds from 0 to 86400\n";
        return barvik::kExitUsage;
      }
    }

    barvik::Workspace workspace(decimal_separator);
    workspace.template_folder =
        barvik::FindTemplateFolder(barvik::ProgramFolder(), BARVIK_INSTALLED_DATA);
    workspace.build_text = BARVIK_BUILD_TEXT;
    workspace.maker_address = BARVIK_MAKER_ADDRESS;
    workspace.export_wait_seconds = wait_seconds;
    workspace.cache_folder = barvik::DefaultCacheFolder();

    if (headless) {
      if (args.size() != 2) {
        if (screen == barvik::Screen::kUnreachable) {
          std::cerr << "barvik: cannot open the display \""
                    << barvik::TerminalText(barvik::DisplayName())
                    << "\"; check DISPLAY, or run a batch with the two arguments LOG DIR\n";
        } else {
          std::cerr << "barvik: no display to show the window on; set DISPLAY, or run a "
                       "batch with the two arguments LOG DIR\n";
        }
        return barvik::kExitUsage;
      }
      setpriority(PRIO_PROCESS, 0, 19);
      return barvik::RunHeadlessBatch(workspace, args[0], args[1], std::cerr);
    }

    barvik::TFormCAL form(workspace);
    form.ConnectHooks();
    form.SetCommandLine(args);
    form.show();
    app.exec();
    return form.exit_status();
  } catch (const std::exception& e) {
    std::cerr << "barvik: " << barvik::FailureText(e) << "\n";
    return barvik::kExitFailure;
  }
}
