// Command lines: splitting, the in-process registry editor and server
// registration, and programs of the machine.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "RegFileTestSupport.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/ProgramRunner.h"

using namespace win;
using regfiletest::Describe;

namespace {

constexpr int kHidden = 0;

TEST(SplitCommandLine, SplitsAsWindowsDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> parts;
  };
  const std::vector<Case> cases = {
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\a b.dll\"",
       {"regsvr32.exe", "/s", "C:\\WINDOWS\\system32\\a b.dll"}},
      {"  \"C:\\Program Files\\App\\un.exe\" /S\t/x=\"a b\"",
       {"C:\\Program Files\\App\\un.exe", "/S", "/x=a b"}},
      {"Regedit /E \"C:\\Program Files\\Fernwick\\FullBackup\\Backup_1.reg\"",
       {"Regedit", "/E", "C:\\Program Files\\Fernwick\\FullBackup\\Backup_1.reg"}},
      {"p \"b\\\"c\" d\\\\e \"f\\\\\" g", {"p", "b\"c", "d\\\\e", "f\\", "g"}},
      {"p \"x\"\"y\" a\"b c\"d", {"p", "x\"y", "ab cd"}},
      {"C:\\dir/sub\\x.exe /a", {"C:\\dir/sub\\x.exe", "/a"}},
      {"\"C:\\a b\\p.exe\"/s", {"C:\\a b\\p.exe", "/s"}},
      {"p", {"p"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.parts) << c.line;
  }
}

const char kRegText[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n"
    "\"Name\"=\"Owner\"\r\n"
    "\"Count\"=dword:00000003\r\n";

const char kFiles[] =
    "C:\\Backup\\\n"
    "C:\\Backup\\bad.reg | text=REGEDIT4\\r\\n[HKEY_CURRENT_USER\\\\Software\\\\Fernwick]\\r\\n"
    "\"Count\"=dword:9\\r\\n\"x\"=hex:zz\\r\\n\n"
    "C:\\WINDOWS\\system32\\a b.dll\n"
    "C:\\WINDOWS\\system32\\x.ocx\n";

RegFileContent ReadExport(const std::string& windowsPath) {
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(ReadFileBytes(windowsPath, bytes)) << windowsPath;
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ParseRegFile(bytes, windowsPath, 0, content, error)) << error;
  return content;
}

std::string UserKey() { return "HKEY_CURRENT_USER\\Software\\Fernwick"; }

RegFileContent UserTree() {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ReadRegistryTree(*CurrentRegistry(), UserKey(), content, error)) << error;
  return content;
}

TEST(Regedit, ExportsTheRegistryOrOneKey) {
  TestMachine machine(kRegText, kFiles);
  ASSERT_TRUE(WinExec("Regedit /E \"C:\\Backup\\all.reg\"", kHidden));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes("C:\\Backup\\all.reg", bytes));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  const std::string whole = Describe(ReadExport("C:\\Backup\\all.reg"));
  const std::string user = "HKEY_USERS\\" + machine.machine().Config().userSid + "\\Software\\Fernwick]\n";
  EXPECT_NE(whole.find("[HKEY_LOCAL_MACHINE]\n"), std::string::npos);
  EXPECT_NE(whole.find(user + "Name=1:4f0077006e00650072000000\nCount=4:03000000\n"), std::string::npos)
      << whole;

  ASSERT_TRUE(WinExec("C:\\WINDOWS\\REGEDIT.EXE /e C:\\Backup\\one.reg " + UserKey(), kHidden));
  const RegFileContent one = ReadExport("C:\\Backup\\one.reg");
  EXPECT_EQ(one.format, RegFileFormat::Version5);
  EXPECT_EQ(Describe(one), Describe(UserTree()));

  SetLastError(ERROR_SUCCESS);
  EXPECT_FALSE(WinExec("regedit /E C:\\Backup\\none.reg HKEY_CURRENT_USER\\Nope", kHidden));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FileExists("C:\\Backup\\none.reg"));
}

TEST(Regedit, ExportsRegedit4OnWindows9x) {
  std::string config = TestMachine::DefaultConfigText();
  config.replace(config.find("PlatformId=2"), 12, "PlatformId=1");
  TestMachine machine(kRegText, kFiles, config);
  ASSERT_TRUE(WinExec("regedit /e \"C:\\Backup\\9x.reg\" " + UserKey(), kHidden));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes("C:\\Backup\\9x.reg", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n\"Name\"=\"Owner\"\r\n"
            "\"Count\"=dword:00000003\r\n\r\n");
}

TEST(Regedit, ImportsSilently) {
  TestMachine machine(kRegText, kFiles);
  ASSERT_TRUE(WinExec("regedit /e C:\\Backup\\one.reg " + UserKey(), kHidden));
  const std::string before = Describe(UserTree());
  std::string error;
  RegFileContent change;
  ASSERT_TRUE(ParseRegFile(regfiletest::ToBytes("REGEDIT4\n[-" + UserKey() + "]\n"), "x", 0, change, error));
  ASSERT_TRUE(ApplyRegFile(*CurrentRegistry(), change, error)) << error;

  ASSERT_TRUE(WinExec("\"C:\\WINDOWS\\regedit.exe\" /S \"C:\\Backup\\one.reg\"", kHidden));
  EXPECT_EQ(Describe(UserTree()), before);

  struct Case {
    std::string line;
    DWORD error;
  };
  const std::vector<Case> failures = {
      {"regedit -s C:\\Backup\\missing.reg", ERROR_FILE_NOT_FOUND},
      {"regedit /s C:\\Backup\\bad.reg", ERROR_INVALID_DATA},
      {"regedit", ERROR_INVALID_PARAMETER},
      {"regedit C:\\Backup\\one.reg", ERROR_INVALID_PARAMETER},
      {"regedit /x C:\\Backup\\one.reg", ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.line);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WinExec(c.line, kHidden));
    EXPECT_EQ(GetLastError(), c.error);
    DWORD exitCode = 0;
    EXPECT_TRUE(RunAndWait(c.line, exitCode));
    EXPECT_EQ(exitCode, 1u);
  }
  // The bad file failed, yet its good line stays applied, as with regedit.
  EXPECT_NE(Describe(UserTree()).find("Count=4:09000000\n"), std::string::npos);
  DWORD exitCode = 1;
  EXPECT_TRUE(RunAndWait("regedit /s C:\\Backup\\one.reg", exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(Describe(UserTree()), before);
}

TEST(Regsvr32, SucceedsOnlyForAFileThatAClassIsServedBy) {
  const std::string reg =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-000000000001}\\InprocServer32]\n"
      "@=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,74,00,25,00,5c,00,73,00,"
      "79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,65,00,78,00,70,00,2e,00,64,00,6c,00,6c,00,00,00\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000002-0000-0000-0000-000000000002}\\InprocServer32]\n"
      "@=\"bare.OCX\"\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000003-0000-0000-0000-000000000003}\\InprocServer32]\n"
      "@=\"c:\\\\windows\\\\SYSTEM32\\\\MIXED.dll\"\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000004-0000-0000-0000-000000000004}\\InprocServer32]\n"
      "@=\"C:\\\\WINDOWS\\\\system32\\\\gone.dll\"\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000005-0000-0000-0000-000000000005}\\InprocServer32]\n"
      "@=\"C:\\\\WINDOWS\\\\system32\\\\folder.dll\"\n";
  TestMachine machine(reg, std::string(kFiles) +
                               "C:\\WINDOWS\\system32\\exp.dll\n"
                               "C:\\WINDOWS\\system32\\bare.ocx\n"
                               "C:\\WINDOWS\\system32\\Mixed.DLL\n"
                               "C:\\WINDOWS\\system32\\plain.dll\n"
                               "C:\\WINDOWS\\system32\\folder.dll\\\n");
  struct Case {
    std::string line;
    DWORD exitCode;
  };
  const std::vector<Case> cases = {
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\exp.dll\"", 0},     // REG_EXPAND_SZ
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\bare.ocx\"", 0},    // a bare name
      {"REGSVR32 /s mixed.dll", 0},                                  // other letter case
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\plain.dll\"", 4},   // no class names it
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\a b.dll\"", 4},
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\gone.dll\"", 3},    // named but missing
      {"regsvr32.exe/s \"C:\\WINDOWS\\system32\\folder.dll\"", 3},  // a folder
      {"regsvr32 /s", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DWORD exitCode = 99;
    ASSERT_TRUE(RunAndWait(c.line, exitCode));
    EXPECT_EQ(exitCode, c.exitCode);
    EXPECT_EQ(WinExec(c.line, kHidden), c.exitCode == 0);
  }
  // A class added later is seen by the next run.
  TRegistry registry;
  registry.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(registry.OpenKey("\\CLSID\\{00000006-0000-0000-0000-000000000006}\\InprocServer32", true));
  ASSERT_TRUE(registry.WriteString("", "plain.dll"));
  DWORD exitCode = 99;
  ASSERT_TRUE(RunAndWait("regsvr32 /s plain.dll", exitCode));
  EXPECT_EQ(exitCode, 0u);
}

TEST(Regsvr32, EachMachineIsJudgedByItsOwnClasses) {
  const std::string files = std::string(kFiles) + "C:\\WINDOWS\\system32\\plain.dll\n";
  const std::string served =
      "[HKEY_CLASSES_ROOT\\CLSID\\{00000001-0000-0000-0000-000000000001}\\InprocServer32]\n"
      "@=\"plain.dll\"\n";
  // The same machine twice, with and without the class, one after the other.
  for (const auto& [reg, expected] : {std::pair<std::string, DWORD>{served, 0}, {"", 4}, {served, 0}}) {
    TestMachine machine(reg, files);
    DWORD exitCode = 99;
    ASSERT_TRUE(RunAndWait("regsvr32 /s plain.dll", exitCode));
    EXPECT_EQ(exitCode, expected) << reg;
  }
}

const char kScript[] = "#!/bin/sh\\necho \"$@\" > \"$(dirname \"$0\")/args.txt\"\\nexit 3\\n";

class MachinePrograms : public testing::Test {
 protected:
  MachinePrograms()
      : machine_("", std::string("C:\\Program Files\\App\\uninst.sh | text=") + kScript +
                         "\nC:\\WINDOWS\\system32\\tool.exe | text=" + kScript +
                         "\nC:\\Program Files\\App\\readme.txt | text=hello\n") {
    for (const char* path : {"C:\\Program Files\\App\\uninst.sh", "C:\\WINDOWS\\system32\\tool.exe"}) {
      std::filesystem::permissions(machine_.host(path), std::filesystem::perms::owner_exec,
                                   std::filesystem::perm_options::add);
    }
  }

  std::string Args(const std::string& folder) {
    std::ifstream in(machine_.host(folder + "\\args.txt"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TestMachine machine_;
};

TEST_F(MachinePrograms, RunsExecutableFilesWithTheirArguments) {
  struct Case {
    std::string line;
    std::string folder;
    std::string args;
  };
  const std::vector<Case> cases = {
      {"C:\\Program Files\\App\\uninst.sh /S \"a b\"", "C:\\Program Files\\App", "/S a b\n"},
      {"\"C:\\Program Files\\App\\uninst.sh\" x", "C:\\Program Files\\App", "x\n"},
      {"tool /q", "C:\\WINDOWS\\system32", "/q\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DWORD exitCode = 0;
    ASSERT_TRUE(RunAndWait(c.line, exitCode)) << GetLastError();
    EXPECT_EQ(exitCode, 3u);
    EXPECT_EQ(Args(c.folder), c.args);
  }
}

TEST_F(MachinePrograms, StartsWithoutWaiting) {
  ASSERT_TRUE(WinExec("\"C:\\Program Files\\App\\uninst.sh\" started", 1));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Args("C:\\Program Files\\App") != "started\n" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Args("C:\\Program Files\\App"), "started\n");
}

TEST_F(MachinePrograms, FailsWithTheWindowsError) {
  struct Case {
    std::string line;
    DWORD error;
  };
  const std::vector<Case> cases = {
      {"\"C:\\Program Files\\App\\readme.txt\"", ERROR_BAD_EXE_FORMAT},
      {"C:\\Program Files\\Nope\\un.exe /S", ERROR_FILE_NOT_FOUND},
      {"notthere", ERROR_FILE_NOT_FOUND},
      {"\"C:\\Program Files\\App\"", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(WinExec(c.line, 1));
    EXPECT_EQ(GetLastError(), c.error);
    DWORD exitCode = 0;
    EXPECT_FALSE(RunAndWait(c.line, exitCode));
    EXPECT_EQ(GetLastError(), c.error);
  }
}

}  // namespace
