// barvik-cli entry: the locale's decimal separator, the program's folder for the templates,
// the off-screen renderer of the report images, then RunCli. Qt is started only when an
// export asks for images, always on the offscreen platform. Built without
// the window (BARVIK_WITH_IMAGES undefined) the tool has no renderer and cannot export.
#include <unistd.h>

#include <clocale>
#include <iostream>
#include <memory>

#include "app/Cli.h"

#ifdef BARVIK_WITH_IMAGES
#include <QApplication>

#include "ui/OffscreenImageSource.h"
#include "ui/Platform.h"
#else
#include <filesystem>
#endif

int main(int argc, char** argv) {
  barvik::CliEnvironment env;
#ifdef BARVIK_WITH_IMAGES
  env.decimal_separator = barvik::LocaleDecimalSeparator();
  env.template_folder = barvik::ProgramFolder();
#else
  std::setlocale(LC_ALL, "");
  const char* point = std::localeconv()->decimal_point;
  env.decimal_separator = (point && point[0] && !point[1]) ? point[0] : '.';
  std::setlocale(LC_NUMERIC, "C");
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  env.template_folder = ec ? "." : self.parent_path().string();
#endif
  env.build_text = BARVIK_BUILD_TEXT;
  env.progress_bar = isatty(STDERR_FILENO);
  std::vector<std::string> args(argv + 1, argv + argc);

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
