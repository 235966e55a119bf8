#include "regclean/FileExtensionUnit.h"

#include "AbortProbe.h"
#include "SectionScanFixture.h"

namespace regclean::test {
namespace {

constexpr int kSection = 4;
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
const std::string kUserFileExts = "HKEY_CURRENT_USER\\" + kFileExts;

const char* const kMachine = R"(REGEDIT4

[HKEY_CLASSES_ROOT\*\shell]

[HKEY_CLASSES_ROOT\.bin]
@=hex:

[HKEY_CLASSES_ROOT\.exp]
@=hex(2):00,00

[HKEY_CLASSES_ROOT\.Folder1]
@=""

[HKEY_CLASSES_ROOT\.nodef]
"Content Type"="text/plain"

[HKEY_CLASSES_ROOT\.txt]
@="txtfile"

[HKEY_CLASSES_ROOT\.unknown]
@=""

[HKEY_CLASSES_ROOT\.Unknownx]
@=""

[HKEY_CLASSES_ROOT\.xyz]
@=""
"PerceivedType"="text"

[HKEY_CLASSES_ROOT\.xyz\ShellNew]
"NullFile"=""

[HKEY_CLASSES_ROOT\Applications\notepad.exe\shell]

[HKEY_CLASSES_ROOT\xyzfile]
@=""

[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\App Paths\WINWORD.EXE]
@="C:\\Program Files\\Office\\WINWORD.EXE"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.doc\openwithlist]
"a"="gone4.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.log\OpenWithList\Nested]
"a"="gone3.exe"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.txt\OpenWithList]
"a"="NOTEPAD.EXE"
"b"="gone.exe"
"c"="winword.exe"
"MRUList"="unregistered.exe"
"d"=dword:00000001
"e"=""

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts\.txt\OpenWithProgids]
"gone.exe"=hex(0):
)";

class FileExtensionsTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine(kMachine, "");
  }
};

TEST(SplitClassRootNamesTest, PatternsGoFirstThenExtensionsMoveOut) {
  std::vector<std::string> names = {"*",       "Directory", "Folder",   "Drive",  "Unknown", ".txt",
                                    "txtfile", ".Folder1",  "MyFolder", ".DriveX", "CLSID",  ".zz*",
                                    ".unknown", "Last",     ".last"};
  std::vector<std::string> extensions;
  SplitClassRootNames(names, extensions);
  EXPECT_EQ(extensions, (std::vector<std::string>{".txt", ".unknown", ".last"}));
  EXPECT_EQ(names, (std::vector<std::string>{"txtfile", "CLSID", "Last"}));
}

TEST_F(FileExtensionsTest, ReportsEmptyExtensionsThenUnregisteredOpenWithEntries) {
  Scan(kSection);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath + " | " + p.KeyName + " | " + p.Value; }),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\.exp | .exp | ",
                "HKEY_CLASSES_ROOT\\.unknown | .unknown | ",
                "HKEY_CLASSES_ROOT\\.xyz | .xyz | ",
                // A key below a list holds "OpenWithList" in its path too.
                kUserFileExts + "\\.log\\OpenWithList\\Nested | a | gone3.exe",
                kUserFileExts + "\\.txt\\OpenWithList | b | gone.exe",
                kUserFileExts + "\\.txt\\OpenWithList | e | ",
            }));
}

TEST_F(FileExtensionsTest, FillsTheTextsOfEachKind) {
  Scan(kSection);
  ASSERT_EQ(found.Count(), 6);
  const TRegistryContent& extension = found.GetItem(2).Content;
  EXPECT_EQ(extension.ValueName, "default");
  EXPECT_TRUE(extension.UnnamedValue);
  EXPECT_EQ(extension.KeyPathText, " Key Path:HKEY_CLASSES_ROOT\\.xyz");
  EXPECT_EQ(extension.ValueNameText, " ValueName:default");
  EXPECT_EQ(extension.ValueText, " Value:");
  EXPECT_EQ(extension.DetailText, " The file()does not exist at the specified location");
  EXPECT_EQ(extension.Description,
            "The Key default under HKEY_CLASSES_ROOT\\.xyz contains a bad path for the value");
  EXPECT_EQ(extension.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(extension.Severity, "Low");

  const std::string list = kUserFileExts + "\\.txt\\OpenWithList";
  const TRegistryContent& entry = found.GetItem(4).Content;
  // The problem names the list entry itself.
  EXPECT_EQ(entry.ValueName, "b");
  EXPECT_FALSE(entry.UnnamedValue);
  EXPECT_EQ(entry.KeyPathText, " Key Path:" + list);
  EXPECT_EQ(entry.ValueNameText, " ValueName:default");
  EXPECT_EQ(entry.ValueText, " Value:gone.exe");
  EXPECT_EQ(entry.DetailText, " The file(gone.exe)does not exist at the specified location");
  EXPECT_EQ(entry.Description, "The Key gone.exe under " + list + " contains a bad path for the value");
  EXPECT_EQ(entry.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(entry.Severity, "Low");

  EXPECT_EQ(found.GetItem(5).Content.Description,
            "The Key default under " + list + " contains a bad path for the value");
}

TEST_F(FileExtensionsTest, IgnoredEntriesAreSkippedByTheirOwnNames) {
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"File Extensions", "HKEY_CLASSES_ROOT\\.XYZ", "default"};
  ignores.GetItem(ignores.Add()).Content = {"File Extensions", kUserFileExts + "\\.txt\\OpenWithList", "b"};
  Scan(kSection, ignores);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyName; }),
            (std::vector<std::string>{".exp", ".unknown", "a", "e"}));
}

TEST_F(FileExtensionsTest, RepairDeletesExtensionKeysAndSingleListEntries) {
  Scan(kSection);
  found.GetItem(0).Content.Checked = false;  // .exp
  found.GetItem(5).Content.Checked = false;  // e
  Repair(kSection);
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, ".exp"));
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, ".xyz"));
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, ".unknown"));
  const std::string list = kFileExts + "\\.txt\\OpenWithList";
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, list, "b"));
  for (const char* kept : {"a", "c", "MRUList", "d", "e"}) EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, list, kept)) << kept;
  EXPECT_FALSE(ValueExists(win::HKEY_CURRENT_USER, kFileExts + "\\.log\\OpenWithList\\Nested", "a"));
  EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, kFileExts + "\\.log\\OpenWithList\\Nested"));

  EXPECT_EQ(LogLines(log), (std::vector<std::string>{
                       "HKEY_CLASSES_ROOT\\.unknown | Repaired Successfully",
                       "HKEY_CLASSES_ROOT\\.xyz | Repaired Successfully",
                       kUserFileExts + "\\.log\\OpenWithList\\Nested | Repaired Successfully",
                       kUserFileExts + "\\.txt\\OpenWithList | Repaired Successfully",
                   }));
  const RegistrySection& section = SectionImplementation(kSection);
  EXPECT_EQ(section.target(found.GetItem(2).Content).kind, RepairTarget::Kind::Key);
  const RepairTarget entry = section.target(found.GetItem(4).Content);
  EXPECT_EQ(entry.kind, RepairTarget::Kind::Value);
  EXPECT_EQ(entry.valueName, "b");
}

TEST_F(FileExtensionsTest, AbortStopsBothScanners) {
  for (int i = 0; i < 20; ++i) {
    const std::string n = std::to_string(100 + i);
    ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, ".e" + n, "", ""));
    ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, kFileExts + "\\.e" + n + "\\OpenWithList", "a", "gone" + n + ".exe"));
  }
  const RegistrySection& section = SectionImplementation(kSection);
  for (std::size_t call = 0; call < 2; ++call) {
    SCOPED_TRACE(call);
    found.Clear();
    const AbortProbe probe(10, found);
    RunScannerCall(section.scanners[call], kSection, call, found, {});
    probe.ExpectStoppedAtOnce(20);
  }
}

}  // namespace
}  // namespace regclean::test
