#include "app/TemplateFolder.h"

#include <filesystem>

namespace barvik {

std::string FindShippedFolder(const std::string& program_folder, std::string_view installed,
                              std::string_view probe) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path beside(program_folder);
  if (fs::exists(beside / probe, ec)) return program_folder;
  // The program's path is already resolved (/proc/self/exe), so ".." can be folded by text.
  const fs::path other = (beside / installed).lexically_normal();
  if (fs::exists(other / probe, ec) || fs::is_directory(other, ec)) return other.string();
  return program_folder;
}

std::string FindTemplateFolder(const std::string& program_folder, std::string_view installed) {
  // Every page is made from this one; a folder without it cannot give a report.
  return FindShippedFolder(program_folder, installed, "globhtml1.dat");
}

}  // namespace barvik
