#include <gtest/gtest.h>

#include <filesystem>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/system/ProgramRunner.h"

using namespace win;

namespace {

TEST(RunAndWaitWithMessages, CallsTheWaiterUntilTheProgramHasEnded) {
  TestMachine machine("", "C:\\Tools\\slow.sh | text=#!/bin/sh\\nsleep 0.3\\nexit 4\\n\n");
  std::filesystem::permissions(machine.host("C:\\Tools\\slow.sh"), std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  int calls = 0;
  DWORD exitCode = 0;
  ASSERT_TRUE(RunAndWait("C:\\Tools\\slow.sh", exitCode, [&calls] { ++calls; }));
  EXPECT_EQ(exitCode, 4u);
  EXPECT_GT(calls, 5);
}

TEST(RunAndWaitWithMessages, InProcessCommandsAreDoneWhenItReturns) {
  TestMachine machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n\"Version\"=\"4.0\"\r\n",
                      "C:\\Backup\\\n");
  int calls = 0;
  DWORD exitCode = 9;
  ASSERT_TRUE(RunAndWait("Regedit /E \"C:\\Backup\\all.reg\"", exitCode, [&calls] { ++calls; }));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(FileExists("C:\\Backup\\all.reg"));
  ASSERT_TRUE(RunAndWait("Regedit /s \"C:\\Backup\\gone.reg\"", exitCode, [&calls] { ++calls; }));
  EXPECT_EQ(exitCode, 1u);
}

}  // namespace
