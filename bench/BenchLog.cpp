#include "bench/BenchLog.h"

#include <filesystem>
#include <fstream>

#include "tools/loggen/LogGenerator.h"

namespace barvik {

std::string BenchLogPath(size_t lines, int players) {
  auto path = std::filesystem::temp_directory_path() /
              ("barvik-bench-" + std::to_string(lines) + "-" + std::to_string(players) + ".log");
  if (!std::filesystem::exists(path)) {
    LogGeneratorOptions o;
    o.lines = lines;
    o.players = players;
    o.seed = 7;
    auto tmp = path;
    tmp += ".tmp";
    {
      std::ofstream out(tmp, std::ios::binary);
      out << GenerateLog(o);
    }
    std::filesystem::rename(tmp, path);
  }
  return path.string();
}

}  // namespace barvik
