// barvik-cli entry: the locale's decimal separator, the program's folder for the templates,
// then RunCli.
#include <unistd.h>
#include <clocale>
#include <filesystem>
#include <iostream>

#include "app/Cli.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  barvik::CliEnvironment env;
  const char* point = std::localeconv()->decimal_point;
  env.decimal_separator = (point && point[0] && !point[1]) ? point[0] : '.';
  std::setlocale(LC_NUMERIC, "C");
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  env.template_folder = ec ? "." : self.parent_path().string();
  env.build_text = BARVIK_BUILD_TEXT;
  env.progress_bar = isatty(STDERR_FILENO);
  std::vector<std::string> args(argv + 1, argv + argc);
  return barvik::RunCli(args, std::cout, std::cerr, env);
}
