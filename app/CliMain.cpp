// barvik-cli: the command line without any Qt library. An export or a watch, which draw the
// report images, is handed to barvik-export (beside it in the build folder, installed in
// libexec/barvik/).
#include <string>
#include <vector>

#include "app/CliProcess.h"

int main(int argc, char** argv) {
  const barvik::CliEnvironment env = barvik::CliProcessEnvironment(BARVIK_INSTALLED_DATA);
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (barvik::DrawsImages(args)) barvik::HandToRenderer(argv, BARVIK_INSTALLED_HELPER);
  return barvik::RunCliProcess(args, env);
}
