#pragma once
// This test program started again as another process, running only some of
// its tests, for tests that need a second process on the same files.

#include <sys/types.h>

#include <string>
#include <vector>

// Runs the tests of gtestFilter with the extra environment variables
// ("NAME=value"); the child's standard input and output are the given
// descriptors unless -1. -1 when it could not start.
pid_t StartThisTestProgram(const std::string& gtestFilter, const std::vector<std::string>& variables,
                           int input = -1, int output = -1);
// Waits for the child; true when it ended with exit code 0.
bool EndedCleanly(pid_t child);
