// barvik-cli: the command line without any Qt library. An export or a watch, which draw the
// report images, is handed to barvik-export beside it.
#include <string>
#include <vector>

#include "app/CliProcess.h"

int main(int argc, char** argv) {
  const barvik::CliEnvironment env = barvik::CliProcessEnvironment();
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (barvik::DrawsImages(args)) barvik::HandToRenderer(argv, env.template_folder);
  return barvik::RunCliProcess(args, env);
}
