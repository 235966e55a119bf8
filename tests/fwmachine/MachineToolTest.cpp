// The commands of the machine tool.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "fwmachine/MachineTool.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/machine/SyntheticMachine.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int code = -1;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  ToolRun run;
  run.code = RunMachineTool(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::string HostText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char kReg[] =
    "[HKEY_CURRENT_USER\\Software\\Tester]\r\n"
    "@=\"unnamed\"\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Blob\"=hex:01,02,ff\r\n"
    "\"List\"=hex(7):61,00,62,00,00\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tester\\Child]\r\n";

TEST(MachineTool, UsageErrorsShowTheUsage) {
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"frobnicate"}, {"create"}, {"create", "a", "b"}, {"export"}, {"ls"},
      {"export", "a.reg", "HKLM", "more"}, {"ls", "C:\\", "--keys", "5"}, {"create", "x", "--colour"},
      {"ls", "C:\\", "--machine"}, {"generate", "x", "--keys", "many"}, {"generate", "x", "--missing", "101"},
      {"ls", "C:\\", "--missing", "5"}};
  for (const auto& args : wrong) {
    const ToolRun run = Tool(args);
    EXPECT_EQ(run.code, kToolUsage) << (args.empty() ? "" : args[0]);
    EXPECT_TRUE(Contains(run.err, "Usage: fwmachine") || Contains(run.err, "--keys takes") ||
                Contains(run.err, "--missing takes"))
        << run.err;
  }
  const ToolRun help = Tool({"help"});
  EXPECT_EQ(help.code, kToolOk);
  EXPECT_TRUE(Contains(help.out, "generate DIR [--keys N]"));
}

TEST(MachineTool, CreateMakesTheSampleMachineOnce) {
  TestMachine scratch;
  const std::string folder = scratch.folder() + "/made";
  const ToolRun first = Tool({"create", folder});
  EXPECT_EQ(first.code, kToolOk) << first.err;
  EXPECT_TRUE(HoldsMachine(folder));
  const ToolRun second = Tool({"create", folder});
  EXPECT_EQ(second.code, kToolFailed);
  EXPECT_EQ(second.err, "fwmachine: " + folder + " already holds a machine\n");
}

TEST(MachineTool, ListsKeysAndFolders) {
  TestMachine machine(kReg, "C:\\WINDOWS\\win.ini | time=2008-03-07 14:05:09 | text=abc\nC:\\WINDOWS\\Fonts\\ | attr=S\n");
  const ToolRun key = Tool({"--machine", machine.folder(), "ls", "HKCU\\Software\\Tester"});
  EXPECT_EQ(key.code, kToolOk) << key.err;
  EXPECT_EQ(key.out,
            "HKEY_CURRENT_USER\\Software\\Tester\n"
            "  Child\\\n"
            "  (default)  REG_SZ  \"unnamed\"\n"
            "  \"Count\"  REG_DWORD  0x0000002a (42)\n"
            "  \"Blob\"  REG_BINARY  01 02 ff\n"
            "  \"List\"  REG_MULTI_SZ  \"a\" \"b\"\n");

  const ToolRun folder = Tool({"ls", "C:\\windows", "--machine", machine.folder()});
  EXPECT_EQ(folder.code, kToolOk) << folder.err;
  EXPECT_EQ(folder.out.rfind("C:\\windows\\\n  D--S--                 ", 0), 0u) << folder.out;
  EXPECT_TRUE(Contains(folder.out, "  Fonts\\\n  ----A-              3  2008-03-07 14:05:09  win.ini\n")) << folder.out;

  const ToolRun missingKey = Tool({"--machine", machine.folder(), "ls", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing"});
  EXPECT_EQ(missingKey.code, kToolFailed);
  EXPECT_EQ(missingKey.err, "fwmachine: no key HKEY_LOCAL_MACHINE\\SOFTWARE\\Nothing\n");
  EXPECT_EQ(Tool({"--machine", machine.folder(), "ls", "C:\\Nothing"}).code, kToolFailed);
  EXPECT_EQ(Tool({"--machine", machine.folder(), "ls", "HKXX\\Software"}).code, kToolUsage);
  EXPECT_EQ(Tool({"--machine", machine.folder() + "/none", "ls", "C:\\"}).code, kToolFailed);
  EXPECT_EQ(CurrentMachine(), &machine.machine());

  // Without --machine: the machine named by the environment.
  const char* before = std::getenv("FERNWICK_MACHINE");
  const std::string saved = before ? before : "";
  setenv("FERNWICK_MACHINE", machine.folder().c_str(), 1);
  EXPECT_EQ(Tool({"ls", "HKCU\\Software\\Tester"}).out, key.out);
  if (before) setenv("FERNWICK_MACHINE", saved.c_str(), 1);
  else unsetenv("FERNWICK_MACHINE");
}

TEST(MachineTool, ExportAndImportRoundTripAKey) {
  TestMachine machine(kReg);
  const std::string file = machine.folder() + "/tester.reg";
  const ToolRun exported = Tool({"--machine", machine.folder(), "export", file, "HKCU\\Software\\Tester"});
  ASSERT_EQ(exported.code, kToolOk) << exported.err;
  EXPECT_EQ(exported.out, "Exported 2 keys to " + file + "\n");
  const std::string bytes = HostText(file);
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");  // version 5: UTF-16LE with its mark

  TRegistry registry(machine.machine().Registry());
  ASSERT_TRUE(registry.DeleteKey("\\Software\\Tester"));
  const ToolRun imported = Tool({"--machine", machine.folder(), "import", file});
  ASSERT_EQ(imported.code, kToolOk) << imported.err;
  EXPECT_EQ(imported.out, "Imported 2 keys from " + file + "\n");
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Tester"));
  EXPECT_EQ(registry.ReadString(""), "unnamed");
  EXPECT_EQ(registry.ReadInteger("Count"), 42);
  EXPECT_EQ(registry.ReadMultiString("List"), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(registry.KeyExists("\\Software\\Tester\\Child"));

  const ToolRun whole = Tool({"--machine", machine.folder(), "export", machine.folder() + "/all.reg"});
  EXPECT_EQ(whole.code, kToolOk) << whole.err;
  EXPECT_TRUE(Contains(HostText(machine.folder() + "/all.reg"), std::string("T\0e\0s\0t\0e\0r\0", 12)));
}

TEST(MachineTool, ImportAppliesGoodLinesAndListsTheSkippedOnes) {
  TestMachine machine(kReg);
  const std::string file = machine.folder() + "/bad.reg";
  std::ofstream(file, std::ios::binary) << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tester]\r\n"
                                           "\"Count\"=dword:00000007\r\n\"Broken\"=hex:0g\r\n";
  const ToolRun run = Tool({"--machine", machine.folder(), "import", file});
  EXPECT_EQ(run.code, kToolFailed);
  EXPECT_EQ(run.err,
            "fwmachine: bad.reg: line 5: text after hex byte: \"g\"\n"
            "fwmachine: bad.reg: 1 line skipped\n");
  TRegistry registry(machine.machine().Registry(), KEY_READ);
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Tester"));
  EXPECT_EQ(registry.ReadInteger("Count"), 7);  // as regedit does: good lines apply
  EXPECT_FALSE(registry.ValueExists("Broken"));

  const std::string header = machine.folder() + "/header.reg";
  std::ofstream(header, std::ios::binary) << "regedit4\r\n[HKEY_CURRENT_USER\\Software\\Tester]\r\n"
                                             "\"Count\"=dword:00000009\r\n";
  const ToolRun refused = Tool({"--machine", machine.folder(), "import", header});
  EXPECT_EQ(refused.code, kToolFailed);
  EXPECT_EQ(refused.err, "fwmachine: header.reg: line 1: missing header \"REGEDIT4\" or "
                         "\"Windows Registry Editor Version 5.00\"\n");
  EXPECT_EQ(registry.ReadInteger("Count"), 7);

  const ToolRun missing = Tool({"--machine", machine.folder(), "import", machine.folder() + "/none.reg"});
  EXPECT_EQ(missing.code, kToolFailed);
  EXPECT_EQ(missing.err, "fwmachine: cannot read " + machine.folder() + "/none.reg\n");
}

TEST(MachineTool, GenerateMakesTheSameLargeMachineEveryTime) {
  TestMachine scratch;
  const ToolRun run = Tool({"generate", scratch.folder() + "/big", "--keys", "3000"});
  ASSERT_EQ(run.code, kToolOk) << run.err;
  unsigned long long keys = 0;
  ASSERT_EQ(std::sscanf(run.out.c_str(), "Generated %llu keys", &keys), 1) << run.out;
  EXPECT_GE(keys, 3000u);  // the last program or class may add a few more
  EXPECT_LT(keys, 3100u);
  std::string openError;
  EXPECT_TRUE(Machine::Open(scratch.folder() + "/big", openError)) << openError;

  // Same seed, same registry; about three values a key.
  std::string error;
  std::string exports[2];
  for (std::string& text : exports) {
    auto store = RegistryStore::Open(scratch.folder() + "/gen" + std::to_string(&text - exports) + ".db",
                                     RegistryOptions{}, error);
    ASSERT_TRUE(store) << error;
    SyntheticCounts counts;
    ASSERT_TRUE(FillSyntheticRegistry(*store, 2000, 7, counts, error)) << error;
    EXPECT_GE(counts.keys, 2000u);
    EXPECT_LT(counts.keys, 2100u);
    EXPECT_GT(counts.values, 2 * counts.keys);
    EXPECT_LT(counts.values, 4 * counts.keys);
    RegFileContent content;
    ASSERT_TRUE(ReadRegistryTree(*store, "", content, error)) << error;
    std::uint64_t values = 0;
    for (const auto& key : content.keys) values += key.values.size();
    EXPECT_EQ(values, counts.values);
    const auto bytes = FormatRegFile(content, 1252);
    text.assign(bytes.begin(), bytes.end());
  }
  EXPECT_EQ(exports[0], exports[1]);
}

// The share of missing files changes the drive, not the registry: at 0 every
// generated uninstaller is there, at the default none is (the sample
// machine's own three entries are the same in both).
TEST(MachineTool, GenerateMakesTheFilesThatAreNotMissing) {
  TestMachine scratch;
  std::string exports[2];
  int present[2] = {0, 0};
  int named[2] = {0, 0};
  for (int i = 0; i < 2; ++i) {
    const std::string folder = scratch.folder() + "/gen" + std::to_string(i);
    std::vector<std::string> args = {"generate", folder, "--keys", "3000"};
    if (i == 0) args.insert(args.end(), {"--missing", "0"});
    const ToolRun run = Tool(args);
    ASSERT_EQ(run.code, kToolOk) << run.err;
    std::string error;
    auto machine = Machine::Open(folder, error);
    ASSERT_TRUE(machine) << error;
    RegFileContent content;
    ASSERT_TRUE(ReadRegistryTree(machine->Registry(), "", content, error)) << error;
    const auto bytes = FormatRegFile(content, 1252);
    exports[i].assign(bytes.begin(), bytes.end());
    for (const RegFileKey& key : content.keys) {
      if (!Contains(key.path, "\\Uninstall\\")) continue;
      for (const RegFileValue& value : key.values) {
        if (value.name != "UninstallString") continue;
        std::string command = Utf16LeBytesToUtf8(value.data);
        const std::size_t end = command.find(".exe");
        if (command.rfind("\"C:\\Program Files\\", 0) != 0 || end == std::string::npos) continue;
        std::string below = command.substr(4, end + 4 - 4);
        std::replace(below.begin(), below.end(), '\\', '/');
        ++named[i];
        if (std::filesystem::is_regular_file(machine->DriveFolder('C') + "/" + below)) ++present[i];
      }
    }
  }
  EXPECT_EQ(exports[0], exports[1]);
  EXPECT_GT(named[0], 10);
  EXPECT_EQ(named[0] - present[0], 1);
  EXPECT_EQ(present[1], 2);
}

}  // namespace
