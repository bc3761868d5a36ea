#include "ui/Platform.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace barvik {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

bool IsHeadless(int argc, char** argv) {
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) return false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
        std::strncmp(argv[i], "-platform=", 10) == 0) {
      return false;
    }
  }
  return true;
}

bool UseOffscreenWhenHeadless(int argc, char** argv) {
  if (!IsHeadless(argc, argv)) return false;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  return true;
}

std::string ProgramFolder() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "." : self.parent_path().string();
}

char LocaleDecimalSeparator() {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  std::setlocale(LC_NUMERIC, "");
  const char* point = std::localeconv()->decimal_point;
  const char separator = (point && point[0] && !point[1]) ? point[0] : '.';
  std::setlocale(LC_NUMERIC, saved.c_str());
  return separator;
}

}  // namespace barvik
