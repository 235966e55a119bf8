#include "recovery/SystemRepairUnit.h"

#include <gtest/gtest.h>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/DMUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace {

using namespace recovery;

class RowRecorder : public RegDllView {
 public:
  void ClearRows() override { rows.clear(); }
  void AddRow(const std::string& path, const std::string& status) override {
    rows.push_back(path + " = " + status);
  }
  std::vector<std::string> rows;
};

const char* const kSystemFiles =
    "C:\\WINDOWS\\system32\\a.dll\n"
    "C:\\WINDOWS\\system32\\B.OCX\n"
    "C:\\WINDOWS\\system32\\c.exe\n"
    "C:\\WINDOWS\\system32\\d.dll\\\n"
    "C:\\WINDOWS\\system32\\e.dll.mui\n"
    "C:\\WINDOWS\\system32\\wbem\\w.dll\n";

const std::string kSys = "C:\\WINDOWS\\system32\\";

}  // namespace

TEST(ReRegister, CandidatesAreFilesWithDllOrOcxAnywhereInTheirPath) {
  struct Case {
    const char* name;
    win::DWORD attributes;
    bool candidate;
  };
  const Case cases[] = {
      {"a.dll", 0x20, true},        {"B.OCX", 0x20, true},  {"x.dll.mui", 0x20, true},
      {"y.OCXold", 0x20, true},     {"z.txt", 0x20, false}, {"d.dll", 0x10, false},
      {".", 0x10, false},           {"..", 0x10, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsRegistrationCandidate(kSys + c.name, c.attributes), c.candidate) << c.name;
  }
}

TEST(ReRegister, RunsOneCommandPerFileInOrderAndTellsFailures) {
  TestMachine machine("", kSystemFiles);
  ScriptedDialogs dialogs;
  RowRecorder view;
  std::vector<std::string> commands;
  std::uint8_t running = 0;
  const int failures = ReRegisterSystemFiles(
      view, running,
      [&](const std::string& line, win::DWORD& exitCode, const std::function<void()>& whileWaiting) {
        EXPECT_TRUE(IsBusy());
        whileWaiting();
        commands.push_back(line);
        if (line.find("B.OCX") != std::string::npos) return false;  // could not start
        exitCode = line.find("mui") != std::string::npos ? 4 : 0;
        return true;
      });
  EXPECT_EQ(failures, 2);
  EXPECT_EQ(commands, (std::vector<std::string>{
                          "regsvr32.exe/s \"C:\\WINDOWS\\system32\\a.dll\"",
                          "regsvr32.exe/s \"C:\\WINDOWS\\system32\\B.OCX\"",
                          "regsvr32.exe/s \"C:\\WINDOWS\\system32\\e.dll.mui\"",
                      }));
  EXPECT_EQ(view.rows, (std::vector<std::string>{
                           kSys + "a.dll = Re-register successfully",
                           kSys + "B.OCX = Re-register failed",
                           kSys + "e.dll.mui = Re-register failed",
                       }));
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "2 ActiveX and .Dll objects could not be re-registered!");
  EXPECT_FALSE(IsBusy());
}

// A run whose registrations let messages through; press runs while the
// second file is registered. The commands that ran.
std::vector<std::string> RunPressingDuringTheSecondFile(RowRecorder& view, std::uint8_t& running,
                                                        const std::function<void()>& press) {
  int started = 0;
  bool pressed = false;
  SetProcessMessagesHook([&] {
    if (started == 2 && !pressed) {
      pressed = true;
      press();
    }
  });
  std::vector<std::string> commands;
  ReRegisterSystemFiles(view, running,
                        [&](const std::string& line, win::DWORD& exitCode,
                            const std::function<void()>& whileWaiting) {
                          ++started;
                          commands.push_back(line);
                          whileWaiting();
                          exitCode = 0;
                          return true;
                        });
  SetProcessMessagesHook(nullptr);
  return commands;
}

TEST(ReRegister, StopDuringTheSecondFileEndsTheWalkBeforeTheThird) {
  TestMachine machine("", kSystemFiles);
  ScriptedDialogs dialogs;
  RowRecorder view;
  std::uint8_t running = 0;
  const auto commands = RunPressingDuringTheSecondFile(view, running, [&] { running = 0; });  // "Stop"
  EXPECT_EQ(commands.size(), 2u);
  EXPECT_EQ(view.rows.size(), 2u);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Re-registering ActiveX and .Dll objects run successfully!");
}

TEST(ReRegister, TrayQuitDuringTheSecondFileEndsTheWalkAndThenTheProgram) {
  TestMachine machine("", kSystemFiles);
  ScriptedDialogs dialogs;
  RowRecorder view;
  ResetSharedState();
  ResetTerminateRequest();
  ScanState = 2;  // left by an earlier Abort: no reason to stop this run
  int terminations = 0;
  bool terminatedWhileBusy = false;
  SetTerminateHandler([&] {
    ++terminations;
    terminatedWhileBusy = IsBusy();
  });
  std::uint8_t running = 0;
  const auto commands = RunPressingDuringTheSecondFile(view, running, [&] {
    QuitWhenIdle();  // "Exit" from the tray
    EXPECT_EQ(terminations, 0);
  });
  SetTerminateHandler(nullptr);
  EXPECT_EQ(commands.size(), 2u);  // the file in hand ran to its end
  EXPECT_EQ(view.rows.size(), 2u);
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(terminatedWhileBusy);
  ResetTerminateRequest();
  ResetSharedState();
}

TEST(ReRegister, TheMachinesRegsvr32JudgesEachFile) {
  const std::string reg =
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-000000000001}\\InprocServer32]\n"
      "@=\"a.dll\"\n";
  TestMachine machine(reg, kSystemFiles);
  ScriptedDialogs dialogs;
  RowRecorder view;
  std::uint8_t running = 0;
  EXPECT_EQ(ReRegisterSystemFiles(view, running), 2);
  EXPECT_EQ(view.rows, (std::vector<std::string>{
                           kSys + "a.dll = Re-register successfully",
                           kSys + "B.OCX = Re-register failed",
                           kSys + "e.dll.mui = Re-register failed",
                       }));
  // Refused while another long operation runs.
  BusyGuard other;
  EXPECT_EQ(ReRegisterSystemFiles(view, running), -1);
}
