// barvik: the window. Exactly two arguments (LOG DIR) run a batch: analyse LOG, write the
// report into DIR and close. With no display the batch runs on Qt's offscreen platform
// without a window and reports on standard error.
#include <sys/resource.h>

#include <iostream>
#include <string>
#include <vector>

#include <QApplication>

#include "app/Cli.h"
#include "app/ProgramEnvironment.h"
#include "app/Workspace.h"
#include "ui/BatchRun.h"
#include "ui/Platform.h"
#include "ui/TFormCAL.h"

int main(int argc, char** argv) {
  const bool headless = barvik::UseOffscreenWhenHeadless(argc, argv);
  try {
    QApplication app(argc, argv);
    // The task bar name. Set as the application's name: Qt appends a display name to every
    // window title, and the title bar shows the caption alone.
    QApplication::setApplicationName("Call Of Duty (UO) .LOG Analysys");
    QApplication::setStyle("Fusion");
    const char decimal_separator = barvik::UseUserLocale();
    // Qt has taken its own options out of argv; the rest are the program's arguments.
    std::vector<std::string> args(argv + 1, argv + argc);

    barvik::Workspace workspace(decimal_separator);
    workspace.template_folder = barvik::ProgramFolder();
    workspace.build_text = BARVIK_BUILD_TEXT;

    if (headless) {
      if (args.size() != 2) {
        std::cerr << "barvik: no display to show the window on; set DISPLAY, or run a batch "
                     "with the two arguments LOG DIR\n";
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
    std::cerr << "barvik: " << e.what() << "\n";
    return barvik::kExitFailure;
  }
}
