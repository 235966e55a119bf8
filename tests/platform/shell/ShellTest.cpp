#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/MachineConfig.h"
#include "platform/shell/Shell.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ShellTest : public ::testing::Test {
 protected:
  ShellTest() { win::ResetShellState(); }
  ~ShellTest() override { win::ResetShellState(); }
  TestMachine machine;
};

TEST_F(ShellTest, OpenServesWebAddressesOnly) {
  EXPECT_GT(win::ShellExecute(0, "open", "https://www.fernwick.invalid/", "", "", win::SW_SHOWNORMAL), 32u);
  EXPECT_GT(win::ShellExecute(0, "", "mailto:help@fernwick.invalid", "", "", win::SW_SHOWNORMAL), 32u);
  EXPECT_EQ(win::ShellExecute(0, "open", "C:\\boot.ini", "", "", win::SW_SHOWNORMAL),
            win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_LE(win::ShellExecute(0, "print", "http://x.invalid/", "", "", win::SW_SHOWNORMAL), 32u);
  EXPECT_EQ(win::ShellLog(), (std::vector<std::string>{
                                 "ShellExecute\topen\thttps://www.fernwick.invalid/\tok",
                                 "ShellExecute\t\tmailto:help@fernwick.invalid\tok",
                                 "ShellExecute\topen\tC:\\boot.ini\tfailed 2",
                                 "ShellExecute\tprint\thttp://x.invalid/\tfailed 2",
                             }));
}

TEST_F(ShellTest, RunasMarksTheMachineAndRestartsTheProgram) {
  std::vector<std::string> restarts;
  win::SetProgramRestarter([&](const std::string& parameters) {
    // The new copy must find the mark when it starts.
    win::MachineConfig config;
    std::string error;
    EXPECT_TRUE(win::ParseMachineConfig(ReadText(machine.folder() + "/machine.ini"), "machine.ini",
                                        config, error));
    EXPECT_TRUE(config.elevated);
    restarts.push_back(parameters);
    return true;
  });
  win::ShellExecuteInfo info;
  info.verb = "runas";
  info.file = "c:\\program files\\FERNWICK\\fernwick.exe";
  info.parameters = "-Scan";
  EXPECT_TRUE(win::ShellExecuteEx(info));
  EXPECT_GT(info.instApp, 32u);
  EXPECT_EQ(restarts, (std::vector<std::string>{"-Scan"}));
}

TEST_F(ShellTest, FailedRunasLeavesTheMachineAsItWas) {
  const std::string before = ReadText(machine.folder() + "/machine.ini");
  win::ShellExecuteInfo info;
  info.verb = "runas";
  info.file = win::ProgramFile();
  EXPECT_FALSE(win::ShellExecuteEx(info));  // no restarter
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);

  win::SetProgramRestarter([](const std::string&) { return false; });
  EXPECT_FALSE(win::ShellExecuteEx(info));
  info.file = "C:\\WINDOWS\\regedit.exe";
  win::SetProgramRestarter([](const std::string&) { return true; });
  EXPECT_FALSE(win::ShellExecuteEx(info));
  EXPECT_LE(info.instApp, 32u);
  EXPECT_EQ(ReadText(machine.folder() + "/machine.ini"), before);
  EXPECT_EQ(win::ShellLog().size(), 3u);
}

TEST_F(ShellTest, RestartNeedsTheShutdownPrivilege) {
  EXPECT_TRUE(win::ExitWindowsEx(win::EWX_LOGOFF, 0));
  EXPECT_FALSE(win::ExitWindowsEx(win::EWX_SHUTDOWN | win::EWX_FORCE, 0));
  EXPECT_EQ(win::GetLastError(), win::ERROR_PRIVILEGE_NOT_HELD);
  EXPECT_FALSE(win::EnablePrivilege("SeNoSuchPrivilege"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_NO_SUCH_PRIVILEGE);
  EXPECT_TRUE(win::EnablePrivilege(win::SE_SHUTDOWN_NAME));
  EXPECT_TRUE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
  EXPECT_EQ(win::ShellLog().back(), "ExitWindowsEx\t2\t0\tok");
}

TEST(ShellWithoutMachine, CallsFail) {
  win::Machine* current = win::CurrentMachine();
  win::SetCurrentMachine(nullptr);
  win::ShellExecuteInfo info;
  info.verb = "runas";
  EXPECT_FALSE(win::ShellExecuteEx(info));
  EXPECT_LE(win::ShellExecute(0, "open", "http://x.invalid/", "", "", 1), 32u);
  EXPECT_FALSE(win::EnablePrivilege(win::SE_SHUTDOWN_NAME));
  EXPECT_FALSE(win::ExitWindowsEx(win::EWX_REBOOT, 0));
  EXPECT_TRUE(win::ShellLog().empty());
  win::SetCurrentMachine(current);
}

}  // namespace
