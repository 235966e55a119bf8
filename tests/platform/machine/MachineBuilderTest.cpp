// Machines made from a recipe: machine.ini, a .reg text and a file list.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

// A folder of its own for each test, holding the machine folders it makes.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "fwbuild-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) folder_ = pattern;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  // Names of everything directly in the scratch folder, hidden ones included.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) names.push_back(entry.path().filename().string());
    return names;
  }

 private:
  std::string folder_;
};

MachineRecipe Recipe(const std::string& regText, const std::string& fileList) {
  return {TestMachine::DefaultConfigText(), regText, fileList};
}

std::string ReadString(RegistryStore& store, HKEY root, const std::string& path, const std::string& name) {
  TRegistry registry(store, KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(path)) return "<no key>";
  return registry.ReadString(name).value_or("<no value>");
}

std::string HostText(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char kReg[] =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\r\n"
    "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\r\n"
    "[HKEY_CURRENT_USER\\Software\\Tester]\r\n"
    "\"Count\"=dword:00000003\r\n";

TEST(MachineBuilder, BuildsRegistryFilesAndTheProgramFile) {
  Scratch scratch;
  const std::string folder = scratch.Path("machine");
  const std::string files =
      "# comment and blank lines are skipped\n"
      "\n"
      "C:\\WINDOWS\\\n"
      "C:\\windows\\System32\\shell32.dll | size=5000000000\n"
      "C:\\WINDOWS\\win.ini | time=2008-03-07 14:05:09 | text=[windows]\\r\\nload=C:\\\\x.exe | y\\n\n"
      "C:\\boot.ini | attr=HS | text=\n"
      "C:\\Hidden\\ | attr=H\n"
      "C:\\Link | link=C:\\WINDOWS\n"
      "D:\\SETUP.EXE | attr=R\n";
  std::string error;
  ASSERT_TRUE(CreateMachine(folder, Recipe(kReg, files), error)) << error;

  auto machine = Machine::Open(folder, error);
  ASSERT_TRUE(machine) << error;
  SetCurrentMachine(machine.get());
  EXPECT_EQ(ReadString(machine->Registry(), HKEY_LOCAL_MACHINE,
                       "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
            "C:\\Program Files");
  TRegistry user(machine->Registry(), KEY_READ);
  ASSERT_TRUE(user.OpenKeyReadOnly("\\Software\\Tester"));
  EXPECT_EQ(user.ReadInteger("Count"), 3);

  // One host folder for C:\WINDOWS whatever the case of the lines that name it.
  int windowsFolders = 0;
  for (const auto& entry : fs::directory_iterator(machine->DriveFolder('C')))
    windowsFolders += UpperName(entry.path().filename().string()) == "WINDOWS";
  EXPECT_EQ(windowsFolders, 1);

  EXPECT_EQ(GetFileInfo("C:\\WINDOWS\\system32\\shell32.dll")->size, 5000000000u);
  EXPECT_EQ(HostText(HostPath("C:\\WINDOWS\\win.ini")), "[windows]\r\nload=C:\\x.exe | y\n");
  EXPECT_EQ(GetFileInfo("C:\\WINDOWS\\win.ini")->lastWriteTime, 128493723090000000u);
  EXPECT_EQ(GetFileAttributes("C:\\boot.ini"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(GetFileAttributes("C:\\Hidden"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFileAttributes("D:\\SETUP.EXE"), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(GetFileAttributes("C:\\Link") & FILE_ATTRIBUTE_REPARSE_POINT);
  EXPECT_TRUE(FileExists("C:\\Program Files\\Fernwick\\Fernwick.exe"));
  SetCurrentMachine(nullptr);
}

TEST(MachineBuilder, MovedMachineKeepsItsLinksAndAttributes) {
  Scratch scratch;
  std::string error;
  ASSERT_TRUE(CreateMachine(scratch.Path("first"),
                            Recipe("", "C:\\Data\\x.txt | attr=H\nC:\\Link | link=C:\\Data\n"), error))
      << error;
  fs::rename(scratch.Path("first"), scratch.Path("second"));
  auto machine = Machine::Open(scratch.Path("second"), error);
  ASSERT_TRUE(machine) << error;
  SetCurrentMachine(machine.get());
  EXPECT_EQ(GetFileAttributes("C:\\Data\\x.txt"), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_TRUE(fs::exists(HostPath("C:\\Link") + "/x.txt"));
  SetCurrentMachine(nullptr);
}

TEST(MachineBuilder, BadPartsNameTheirLineAndLeaveNothingBehind) {
  struct Case {
    std::string config, reg, files, error;
  };
  const std::string config = TestMachine::DefaultConfigText();
  const std::vector<Case> cases = {
      {"[Machine]\r\nOSMajor=five\r\n", "", "", "machine.ini: line 2: "},
      {config, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\x]\r\n\"a\"=hex:zz\r\n", "", "registry.reg: line 4: "},
      {config, "[HKEY_CURRENT_USER\\x]\r\n", "", "registry.reg: line 1: "},
      {config, "", "C:\\a\\\nC:\\a\\b.txt | colour=red\n", "files.txt: line 2: unknown option colour"},
      {config, "", "\n\nC:\\a.txt | text=C:\\WINDOWS\n", "files.txt: line 3: unknown escape \\W"},
      {config, "", "relative\\path.txt\n", "files.txt: line 1: not a drive path"},
      {config, "", "C:\\a\\..\\b.txt\n", "files.txt: line 1: relative name"},
      {config, "", "C:\\a<b.txt\n", "files.txt: line 1: character '<'"},
      {config, "", "C:\\a.txt | size=12 | text=x\n", "files.txt: line 1: text= and size= together"},
      {config, "", "C:\\a.txt | size=many\n", "files.txt: line 1: size is not a number"},
      {config, "", "C:\\a.txt | attr=HQ\n", "files.txt: line 1: unknown attribute 'Q'"},
      {config, "", "C:\\a.txt | time=yesterday\n", "files.txt: line 1: time is not"},
      {config, "", "C:\\a\\ | text=x\n", "files.txt: line 1: a folder takes no"},
      {config, "", "E:\\a.txt\n", "files.txt: line 1: drive E: has no folder"},
      {config, "", "Q:\\a.txt\n", "files.txt: line 1: no drive Q:"},
      {config, "", "C:\\a.txt\nC:\\A.TXT\n", "files.txt: line 2: C:\\A.TXT is listed twice"},
      {config, "", "C:\\a.txt\nC:\\a.txt\\b.txt\n", "files.txt: line 2: cannot make the folder"},
  };
  for (const Case& c : cases) {
    Scratch scratch;
    std::string error;
    EXPECT_FALSE(CreateMachine(scratch.Path("machine"), {c.config, c.reg, c.files}, error)) << c.files;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_TRUE(scratch.Entries().empty()) << c.error;
  }
}

TEST(MachineBuilder, RefusesFoldersThatAreTakenAndFillsEmptyOnes) {
  Scratch scratch;
  std::string error;
  const std::string folder = scratch.Path("machine");
  ASSERT_TRUE(CreateMachine(folder, Recipe(kReg, "C:\\keep.txt | text=mine\n"), error)) << error;

  EXPECT_FALSE(CreateMachine(folder, Recipe("", "C:\\other.txt\n"), error));
  EXPECT_EQ(error, folder + " already holds a machine");
  EXPECT_EQ(HostText(folder + "/drives/C/keep.txt"), "mine");
  EXPECT_FALSE(fs::exists(folder + "/drives/C/other.txt"));

  fs::create_directories(scratch.Path("busy"));
  std::ofstream(scratch.Path("busy/notes.txt")) << "x";
  EXPECT_FALSE(CreateMachine(scratch.Path("busy"), Recipe("", ""), error));
  EXPECT_EQ(error, scratch.Path("busy") + " is not an empty folder");

  fs::create_directories(scratch.Path("empty"));
  EXPECT_TRUE(CreateMachine(scratch.Path("empty") + "/", Recipe("", ""), error)) << error;
  EXPECT_TRUE(HoldsMachine(scratch.Path("empty")));

  EXPECT_TRUE(CreateMachine(scratch.Path("deeper/still/machine"), Recipe("", ""), error)) << error;
}

TEST(MachineBuilder, ReadOnlyKeysBindTheUserNotTheRecipe) {
  Scratch scratch;
  std::string error;
  const std::string config =
      TestMachine::DefaultConfigText() + "[ReadOnlyKeys]\r\n1=HKEY_CURRENT_USER\\Software\\Tester\r\n";
  ASSERT_TRUE(CreateMachine(scratch.Path("machine"), {config, kReg, ""}, error)) << error;
  auto machine = Machine::Open(scratch.Path("machine"), error);
  ASSERT_TRUE(machine) << error;
  TRegistry registry(machine->Registry());
  ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Tester"));
  EXPECT_EQ(registry.ReadInteger("Count"), 3);
  EXPECT_FALSE(registry.OpenKey("\\Software\\Tester", false));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(MachineBuilder, FinisherFailureAbandonsTheMachine) {
  Scratch scratch;
  std::string error;
  const MachineFinisher fail = [](const std::string& building, std::string& message) {
    message = fs::exists(building + "/registry.db") ? "stopped" : "ran too early";
    return false;
  };
  EXPECT_FALSE(CreateMachineWith(scratch.Path("machine"), Recipe(kReg, ""), fail, error));
  EXPECT_EQ(error, "stopped");
  EXPECT_TRUE(scratch.Entries().empty());
}

TEST(MachineBuilder, OpenOrCreateMakesTheSampleOnceAndKeepsItsChanges) {
  Scratch scratch;
  const std::string folder = scratch.Path("default");
  std::string error;
  {
    auto machine = OpenOrCreateMachine(folder, error);
    ASSERT_TRUE(machine) << error;
    TRegistry registry(machine->Registry());
    ASSERT_TRUE(registry.OpenKey("\\Software\\Fernwick", true));
    ASSERT_TRUE(registry.WriteString("setup", "1"));
  }
  auto again = OpenOrCreateMachine(folder, error);
  ASSERT_TRUE(again) << error;
  EXPECT_EQ(ReadString(again->Registry(), HKEY_CURRENT_USER, "\\Software\\Fernwick", "setup"), "1");

  fs::create_directories(scratch.Path("junk"));
  std::ofstream(scratch.Path("junk/registry.db")) << "not a machine";
  EXPECT_FALSE(OpenOrCreateMachine(scratch.Path("junk"), error));
  EXPECT_EQ(error, scratch.Path("junk") + " is not an empty folder");
}

TEST(TestMachineFixture, MakesItselfCurrentAndPutsBackTheMachineBefore) {
  std::string outerFolder;
  {
    TestMachine outer("[HKEY_CURRENT_USER\\Software\\Outer]\r\n\"a\"=\"1\"\r\n");
    outerFolder = outer.folder();
    EXPECT_EQ(CurrentMachine(), &outer.machine());
    {
      TestMachine inner("", "C:\\inner.txt\n");
      EXPECT_EQ(CurrentMachine(), &inner.machine());
      EXPECT_EQ(inner.host("C:\\inner.txt"), inner.folder() + "/drives/C/inner.txt");
      EXPECT_TRUE(FileExists("C:\\inner.txt"));
    }
    EXPECT_EQ(CurrentMachine(), &outer.machine());
    EXPECT_EQ(ReadString(*CurrentRegistry(), HKEY_CURRENT_USER, "\\Software\\Outer", "a"), "1");
  }
  EXPECT_EQ(CurrentMachine(), nullptr);
  EXPECT_FALSE(fs::exists(outerFolder));

  // A fixture that makes its next machine before freeing the last one.
  auto first = std::make_unique<TestMachine>();
  auto second = std::make_unique<TestMachine>();
  first = std::make_unique<TestMachine>();  // the first goes while the second is current
  EXPECT_EQ(CurrentMachine(), &first->machine());
  first.reset();
  EXPECT_EQ(CurrentMachine(), &second->machine());
  second.reset();
  EXPECT_EQ(CurrentMachine(), nullptr);
}

}  // namespace
