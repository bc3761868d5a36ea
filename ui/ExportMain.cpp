// barvik-export: barvik-cli with the off-screen renderer of the report images (barvik-cli hands
// it export and watch). Qt is started only when an export asks for images, always on the
// offscreen platform.
#include <clocale>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>

#include "app/CliProcess.h"
#include "ui/OffscreenImageSource.h"
#include "ui/Platform.h"

int main(int argc, char** argv) {
  barvik::CliEnvironment env = barvik::CliProcessEnvironment(BARVIK_INSTALLED_DATA);
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
  return barvik::RunCliProcess(std::vector<std::string>(argv + 1, argv + argc), env);
}
