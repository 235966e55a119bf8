#include "regclean/ActivexSection.h"

#include "AbortProbe.h"
#include "SectionScanFixture.h"

namespace regclean::test {
namespace {

constexpr int kSection = 1;

// Server and help keys with every kind of default value, a key below AppID,
// and classes whose type libraries are registered or not.
const char* const kClasses = R"(REGEDIT4

[HKEY_CLASSES_ROOT\AppID\{C1}\HELPDIR]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A1}\InprocServer32]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A2}\InprocServer32]
"ThreadingModel"="Apartment"

[HKEY_CLASSES_ROOT\CLSID\{A3}\InprocServer32]
@=hex(2):00,00

[HKEY_CLASSES_ROOT\CLSID\{A4}\LocalServer32]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A5}\InprocServer]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A6}\LocalServer]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A7}\inprocserver32]
@=""

[HKEY_CLASSES_ROOT\CLSID\{A8}\InprocServer32]
@="C:\\WINDOWS\\system32\\gone.dll"

[HKEY_CLASSES_ROOT\CLSID\{A9}\InprocServer32]
@=dword:00000000

[HKEY_CLASSES_ROOT\CLSID\{B1}\TypeLib]
@="{L1}"

[HKEY_CLASSES_ROOT\CLSID\{B2}\TypeLib]
@="{L2}"

[HKEY_CLASSES_ROOT\CLSID\{B3}\TypeLib]
@=""

[HKEY_CLASSES_ROOT\CLSID\{B4}\TypeLib]
@="{l1}"

[HKEY_CLASSES_ROOT\CLSID\{B5}\TypeLib]
@=hex(2):7b,4c,33,7d,00

[HKEY_CLASSES_ROOT\Deep\AppID\HELPDIR]
@=""

[HKEY_CLASSES_ROOT\Lower\appid\HELPDIR]
@=""

[HKEY_CLASSES_ROOT\TypeLib\{L1}\1.0\HELPDIR]
@=""

[HKEY_CLASSES_ROOT\TypeLib\{L1}\1.0\0\win32]
@="C:\\WINDOWS\\system32\\l1.tlb"
)";

class ActiveXEntriesTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine(kClasses, "");
  }
};

TEST_F(ActiveXEntriesTest, ReportsEmptyKeysThenUnregisteredTypeLibraries) {
  Scan(kSection);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath + " | " + p.KeyName + " | " + p.Severity; }),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\CLSID\\{A1}\\InprocServer32 | InprocServer32 | High",
                "HKEY_CLASSES_ROOT\\CLSID\\{A4}\\LocalServer32 | LocalServer32 | High",
                "HKEY_CLASSES_ROOT\\CLSID\\{A5}\\InprocServer | InprocServer | High",
                "HKEY_CLASSES_ROOT\\Lower\\appid\\HELPDIR | HELPDIR | High",
                "HKEY_CLASSES_ROOT\\TypeLib\\{L1}\\1.0\\HELPDIR | HELPDIR | High",
                "HKEY_CLASSES_ROOT\\CLSID\\{B2}\\TypeLib | TypeLib | Normal",
            }));
}

TEST_F(ActiveXEntriesTest, FillsTheTextsOfEachKind) {
  Scan(kSection);
  ASSERT_EQ(found.Count(), 6);
  const TRegistryContent& server = found.GetItem(0).Content;
  const std::string serverPath = "HKEY_CLASSES_ROOT\\CLSID\\{A1}\\InprocServer32";
  EXPECT_EQ(server.ValueName, "default");
  EXPECT_TRUE(server.UnnamedValue);
  EXPECT_EQ(server.Value, "");
  EXPECT_EQ(server.KeyPathText, " Key Path:" + serverPath);
  EXPECT_EQ(server.ValueNameText, " ValueName:default");
  EXPECT_EQ(server.ValueText, " Value:");
  EXPECT_EQ(server.DetailText, " The key is Emtpy");
  EXPECT_EQ(server.ProblemType, "Empty Key: " + serverPath);
  EXPECT_EQ(server.Description, "The Key default under " + serverPath + " is Empty");

  const TRegistryContent& help = found.GetItem(4).Content;
  const std::string helpPath = "HKEY_CLASSES_ROOT\\TypeLib\\{L1}\\1.0\\HELPDIR";
  EXPECT_EQ(help.ValueName, "default");
  EXPECT_EQ(help.Value, "TypeLib\\{L1}\\1.0\\HELPDIR");
  EXPECT_EQ(help.ValueText, " Value:TypeLib\\{L1}\\1.0\\HELPDIR");
  EXPECT_EQ(help.DetailText, " The key is Emtpy");
  EXPECT_EQ(help.ProblemType, "Empty Key: " + helpPath);
  EXPECT_EQ(help.Description, "The Key HELPDIR under " + helpPath + " is Empty");

  const TRegistryContent& library = found.GetItem(5).Content;
  const std::string libraryPath = "HKEY_CLASSES_ROOT\\CLSID\\{B2}\\TypeLib";
  EXPECT_EQ(library.ValueName, "default");
  EXPECT_EQ(library.Value, "{L2}");
  EXPECT_EQ(library.KeyPathText, "Key Path:" + libraryPath);
  EXPECT_EQ(library.ValueNameText, "ValueName:default");
  EXPECT_EQ(library.ValueText, "Value:{L2}");
  EXPECT_EQ(library.DetailText, "The following App ID or CLSID doesn't exist");
  EXPECT_EQ(library.ProblemType, "Missing or Invalid Path");
  EXPECT_EQ(library.Description,
            "The Key default under " + libraryPath + " contains a bad path for the value");
  for (int i = 0; i < found.Count(); ++i) EXPECT_EQ(found.GetItem(i).Content.Index, i + 1);
}

TEST_F(ActiveXEntriesTest, NoTypeLibraryRootMeansNoLibraryProblems) {
  ASSERT_TRUE(DeleteRegKey(win::HKEY_CLASSES_ROOT, "\\TypeLib"));
  Scan(kSection);
  for (int i = 0; i < found.Count(); ++i) EXPECT_NE(found.GetItem(i).Content.KeyName, "TypeLib");
}

TEST_F(ActiveXEntriesTest, IgnoredProblemsStayAwayAndTheOthersRemain) {
  ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "CLSID\\{B6}\\TypeLib", "", "{L6}"));
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"ActiveX, OLE/COM Entries",
                                            "hkey_classes_root\\clsid\\{b2}\\typelib", "default"};
  ignores.GetItem(ignores.Add()).Content = {"ActiveX, OLE/COM Entries",
                                            "HKEY_CLASSES_ROOT\\CLSID\\{A4}\\LocalServer32", "default"};
  Scan(kSection, ignores);
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath; }),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\CLSID\\{A1}\\InprocServer32",
                "HKEY_CLASSES_ROOT\\CLSID\\{A5}\\InprocServer",
                "HKEY_CLASSES_ROOT\\Lower\\appid\\HELPDIR",
                "HKEY_CLASSES_ROOT\\TypeLib\\{L1}\\1.0\\HELPDIR",
                "HKEY_CLASSES_ROOT\\CLSID\\{B6}\\TypeLib",
            }));
}

TEST_F(ActiveXEntriesTest, RepairDeletesTheKeysAndLogsThemWithoutTheRootName) {
  Scan(kSection);
  found.GetItem(1).Content.Checked = false;
  Repair(kSection);
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "CLSID\\{A1}\\InprocServer32"));
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, "CLSID\\{A1}"));
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, "CLSID\\{A4}\\LocalServer32"));
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "CLSID\\{B2}\\TypeLib"));
  // The help folder key goes; the library's other keys stay.
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "TypeLib\\{L1}\\1.0\\HELPDIR"));
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, "TypeLib\\{L1}\\1.0\\0\\win32"));
  EXPECT_EQ(LogLines(log), (std::vector<std::string>{
                       "\\CLSID\\{A1}\\InprocServer32 | Repaired Successfully",
                       "\\CLSID\\{A5}\\InprocServer | Repaired Successfully",
                       "\\Lower\\appid\\HELPDIR | Repaired Successfully",
                       "\\TypeLib\\{L1}\\1.0\\HELPDIR | Repaired Successfully",
                       "\\CLSID\\{B2}\\TypeLib | Repaired Successfully",
                   }));
  // Declared as key repairs, so that the backup holds the whole key.
  for (int i = 0; i < found.Count(); ++i)
    EXPECT_EQ(ActiveXSection().target(found.GetItem(i).Content).kind, RepairTarget::Kind::Key);
}

// A root name inside the path is no root: only the leading one goes.
TEST_F(ActiveXEntriesTest, OnlyTheLeadingRootNameLeavesTheLoggedPath) {
  ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\InprocServer32", "", ""));
  ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\InprocServer32", "x", "kept"));
  Scan(kSection);
  Repair(kSection);
  bool logged = false;
  for (int i = 0; i < log.Count(); ++i)
    logged = logged || log.GetItem(i).Content.KeyPath == "\\HKEY_CLASSES_ROOT\\InprocServer32";
  EXPECT_TRUE(logged);
  EXPECT_FALSE(KeyExists(win::HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\InprocServer32"));
  EXPECT_TRUE(KeyExists(win::HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"));
}

// A stop ends each walk at once: nothing is counted or found after it.
TEST_F(ActiveXEntriesTest, AbortStopsInsideTheWalks) {
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "CLSID\\{D" + std::to_string(i) + "}\\InprocServer32", "", ""));
    ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, "CLSID\\{D" + std::to_string(i) + "}\\TypeLib", "", "{Gone}"));
  }
  const RegistrySection& section = SectionImplementation(kSection);
  for (std::size_t call = 0; call < 2; ++call) {
    SCOPED_TRACE(call);
    ItemsProcessed = 0;
    found.Clear();
    const AbortProbe probe(25, found);
    RunScannerCall(section.scanners[call], kSection, call, found, {});
    probe.ExpectStoppedAtOnce(30);
  }
}

}  // namespace
}  // namespace regclean::test
