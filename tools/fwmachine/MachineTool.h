#pragma once
// The commands of the machine tool (tools/fwmachine): create, generate,
// import, export and ls on machine folders.

#include <ostream>
#include <string>
#include <vector>

namespace win {

constexpr int kToolOk = 0;
constexpr int kToolFailed = 1;
constexpr int kToolUsage = 2;

// Runs one command line (without the program name). Results go to out,
// messages and usage to err. Returns kToolOk, kToolFailed or kToolUsage.
int RunMachineTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace win
