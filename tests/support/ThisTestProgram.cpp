#include "ThisTestProgram.h"

#include <sys/wait.h>
#include <unistd.h>

pid_t StartThisTestProgram(const std::string& gtestFilter, const std::vector<std::string>& variables,
                           int input, int output) {
  std::vector<std::string> extra = variables;
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  for (std::string& variable : extra) environment.push_back(variable.data());
  environment.push_back(nullptr);
  std::string program = "/proc/self/exe";
  std::string filter = "--gtest_filter=" + gtestFilter;
  char* arguments[] = {program.data(), filter.data(), nullptr};
  // A fresh process: nothing of this one (connections, threads) crosses.
  const pid_t child = fork();
  if (child == 0) {
    if (input >= 0) dup2(input, 0);
    if (output >= 0) dup2(output, 1);
    execve(program.c_str(), arguments, environment.data());
    _exit(127);
  }
  return child;
}

bool EndedCleanly(pid_t child) {
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
