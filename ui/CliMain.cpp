// barvik-cli entry: the user's locale and the templates' folder (found as the window finds
// them), the off-screen renderer of the report images, then RunCli. Qt is started only when an
// export asks for images, always on the offscreen platform.
//
// Built without the renderer (BARVIK_WITH_IMAGES undefined: barvik-cli) the program loads no
// Qt library at all; an export is handed to barvik-export (beside it in the build folder,
// installed in libexec/barvik/), the same program with the renderer, which replaces this
// process (same arguments, streams and exit status).
#include <unistd.h>

#include <clocale>
#include <iostream>
#include <memory>

#include "app/Cli.h"
#include "app/ProgramEnvironment.h"
#include "app/TemplateFolder.h"

#ifdef BARVIK_WITH_IMAGES
#include <QApplication>

#include "ui/OffscreenImageSource.h"
#include "ui/Platform.h"
#endif

int main(int argc, char** argv) {
  barvik::CliEnvironment env;
  env.decimal_separator = barvik::UseUserLocale();
  const std::string program_folder = barvik::ProgramFolder();
  env.template_folder = barvik::FindTemplateFolder(program_folder, BARVIK_INSTALLED_DATA);
  env.version = BARVIK_VERSION;
  env.build_text = BARVIK_BUILD_TEXT;
  env.progress_bar = isatty(STDERR_FILENO);
  env.terminal_output = isatty(STDOUT_FILENO);
  std::vector<std::string> args(argv + 1, argv + argc);
#ifndef BARVIK_WITH_IMAGES
  if (!args.empty() && (args[0] == "export" || args[0] == "watch")) {
    const std::string renderer =
        barvik::FindShippedFolder(program_folder, BARVIK_INSTALLED_HELPER, "barvik-export") +
        "/barvik-export";
    if (::access(renderer.c_str(), X_OK) == 0) {
      argv[0] = const_cast<char*>("barvik-cli");
      ::execv(renderer.c_str(), argv);
    }
    // Not there or not startable: RunCli reports that this build cannot export.
  }
#endif

#ifdef BARVIK_WITH_IMAGES
  static int qt_argc = 1;
  static char* qt_argv[] = {argv[0], nullptr};
  std::unique_ptr<QApplication> app;
  env.make_image_source = [&app](barvik::Workspace& ws) -> std::unique_ptr<barvik::ImageSource> {
    if (!app) {
      // The tool never shows a window: offscreen whatever DISPLAY says, so a display that
      // is not there cannot stop it, and Qt's notes stay off standard error.
      barvik::UseOffscreenPlatform(qt_argc, qt_argv);
      barvik::QuietQtMessages("barvik-cli");
      app = std::make_unique<QApplication>(qt_argc, qt_argv);
      QApplication::setStyle("Fusion");
      // Qt set the C locale from the environment; numbers are formatted by the engine.
      std::setlocale(LC_NUMERIC, "C");
    }
    return std::make_unique<barvik::OffscreenImageSource>(ws);
  };
#endif
  try {
    return barvik::RunCli(args, std::cout, std::cerr, env);
  } catch (const std::exception& e) {
    std::cerr << "barvik-cli: " << barvik::FailureText(e) << "\n";
    return barvik::kExitFailure;
  }
}
