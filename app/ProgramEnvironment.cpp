#include "app/ProgramEnvironment.h"

#include <clocale>
#include <filesystem>

namespace barvik {

char UseUserLocale() {
  // Fails as a whole when one category names a locale the system lacks; the categories then
  // stay as they were, and LC_NUMERIC is tried alone below.
  std::setlocale(LC_ALL, "");
  char separator = '.';
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const char* point = std::localeconv()->decimal_point;
    if (point != nullptr && point[0] != '\0' && point[1] == '\0') separator = point[0];
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

std::string ProgramFolder() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? "." : self.parent_path().string();
}

}  // namespace barvik
