// fwmachine: makes, fills and lists emulated machine folders.
#include <iostream>
#include <string>
#include <vector>

#include "fwmachine/MachineTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return win::RunMachineTool(args, std::cout, std::cerr);
}
