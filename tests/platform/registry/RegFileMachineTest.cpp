// Export and import of .reg files on the current machine.

#include <gtest/gtest.h>

#include "RegFileTestSupport.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"

using namespace win;
using regfiletest::Describe;

namespace {

const char kRegText[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n"
    "\"Name\"=\"Owner\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked]\r\n"
    "\"v\"=dword:1\r\n";

const char kFiles[] =
    "C:\\Backup\\\n"
    "C:\\Backup\\bad.reg | text=REGEDIT4\\r\\n\\r\\n[HKEY_CURRENT_USER\\\\Software\\\\Fernwick]\\r\\n"
    "\"Name\"=\"Changed\"\\r\\n\"x\"=hex:zz\\r\\n\n"
    "C:\\Backup\\locked.reg | text=REGEDIT4\\r\\n\\r\\n[HKEY_CURRENT_USER\\\\Software\\\\Fernwick]\\r\\n"
    "\"Name\"=\"Changed\"\\r\\n[HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Locked]\\r\\n\"v\"=dword:2\\r\\n\n";

std::string Config() {
  return TestMachine::DefaultConfigText() + "[ReadOnlyKeys]\r\n1=HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked\r\n";
}

std::string WholeRegistry() {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ReadRegistryTree(*CurrentRegistry(), "", content, error)) << error;
  return Describe(content);
}

TEST(RegFileMachine, ExportedFileImportsBack) {
  TestMachine machine(kRegText, kFiles, Config());
  const std::string before = WholeRegistry();
  std::string error;
  ASSERT_TRUE(ExportRegFile("C:\\Backup\\user.reg", "HKEY_CURRENT_USER\\Software\\Fernwick",
                            RegFileFormat::Version5, error))
      << error;
  RegFileContent change;
  ASSERT_TRUE(ParseRegFile(regfiletest::ToBytes("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Fernwick]\n"
                                                "\"Name\"=\"Other\"\n\"New\"=dword:5\n"),
                           "x", 0, change, error));
  ASSERT_TRUE(ApplyRegFile(*CurrentRegistry(), change, error)) << error;
  ASSERT_NE(WholeRegistry(), before);

  // Import writes the exported values over the changed ones; a value that
  // the file does not name stays, as it does for the registry editor.
  ASSERT_TRUE(ImportRegFile("C:\\Backup\\user.reg", error)) << error;
  RegFileContent user;
  ASSERT_TRUE(ReadRegistryTree(*CurrentRegistry(), "HKEY_CURRENT_USER\\Software\\Fernwick", user, error));
  EXPECT_EQ(Describe(user),
            "[HKEY_CURRENT_USER\\Software\\Fernwick]\nName=1:4f0077006e00650072000000\nNew=4:05000000\n");
}

TEST(RegFileMachine, ErrorsNameTheFileAndLine) {
  TestMachine machine(kRegText, kFiles, Config());
  const std::string before = WholeRegistry();
  // Both files set "Name" before their bad line; that stays applied.
  std::string changed = before;
  const std::string owner = "Name=1:4f0077006e00650072000000";
  changed.replace(changed.find(owner), owner.size(), "Name=1:4300680061006e006700650064000000");
  struct Case {
    const char* file;
    std::string error;
    DWORD code;
  };
  const std::vector<Case> imports = {
      {"C:\\Backup\\bad.reg", "C:\\Backup\\bad.reg: line 5: bad hex byte \"zz\"", ERROR_INVALID_DATA},
      {"C:\\Backup\\locked.reg",
       "C:\\Backup\\locked.reg: line 6: cannot write value \"v\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked: "
       "access denied",
       ERROR_ACCESS_DENIED},
      {"C:\\Backup\\missing.reg", "C:\\Backup\\missing.reg: cannot read the file", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : imports) {
    SCOPED_TRACE(c.file);
    std::string error;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(ImportRegFile(c.file, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(GetLastError(), c.code);
  }
  EXPECT_EQ(WholeRegistry(), changed);

  std::string error;
  EXPECT_FALSE(ExportRegFile("C:\\Backup\\nope.reg", "HKEY_CURRENT_USER\\Nope", RegFileFormat::Version5, error));
  EXPECT_EQ(error, "C:\\Backup\\nope.reg: key HKEY_CURRENT_USER\\Nope does not exist");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(FileExists("C:\\Backup\\nope.reg"));
  EXPECT_FALSE(ExportRegFile("C:\\NoFolder\\x.reg", "", RegFileFormat::Version5, error));
  EXPECT_EQ(error, "C:\\NoFolder\\x.reg: cannot write the file");
  EXPECT_NE(GetLastError(), ERROR_SUCCESS);
}

}  // namespace
