#include "ui/Platform.h"

#include <cstdlib>
#include <cstring>

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

}  // namespace barvik
