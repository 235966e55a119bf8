#include "regclean/EmptyRegistryUnit.h"

#include "AbortProbe.h"
#include "SectionScanFixture.h"

namespace regclean::test {
namespace {

constexpr int kSection = 3;
const std::string kUser = "HKEY_USERS\\S-1-5-21-1000000000-1000000000-1000000000-1003";

const char* const kKeys = R"(REGEDIT4

[HKEY_USERS\.DEFAULT\Software\Empty]

[HKEY_USERS\Other\.DEFAULT]

[HKEY_USERS\S-1-5-19_Classes]

[HKEY_USERS\S-1-5-19\Software\Classes]

[HKEY_USERS\S-1-5-19\Software\Classes2]

[HKEY_USERS\S-1-5-20\Software\Classes]

[HKEY_USERS\S-1-5-20_CLASSES]

[HKEY_CURRENT_USER\Software\EmptyOne]

[HKEY_CURRENT_USER\Software\WithDefault]
@=""

[HKEY_CURRENT_USER\Software\Named]
"v"=dword:00000001

[HKEY_CURRENT_USER\Software\Parent\Child]

[HKEY_CURRENT_USER\Software\Classes\MIME\Database\Charset]

[HKEY_CURRENT_USER\Software\Classes\mimefile]

[HKEY_CURRENT_USER\Software\Classes\.xyz\Mime]
)";

class EmptyRegistryKeysTest : public SectionScanTest {};

TEST_F(EmptyRegistryKeysTest, ReportsKeysWithNeitherValuesNorSubkeys) {
  UseMachine(kKeys, "");
  Scan(kSection);
  // The left-out service profile names are matched exactly, letter case
  // included.
  EXPECT_EQ(Lines([](const TRegistryContent& p) { return p.KeyPath; }),
            (std::vector<std::string>{
                "HKEY_USERS\\Other\\.DEFAULT",
                "HKEY_USERS\\S-1-5-19\\Software\\Classes2",
                "HKEY_USERS\\S-1-5-20_CLASSES",
                kUser + "\\Software\\EmptyOne",
                kUser + "\\Software\\Parent\\Child",
            }));
}

TEST_F(EmptyRegistryKeysTest, FillsTheTexts) {
  UseMachine("[HKEY_USERS\\Other\\Gap]\n", "");
  Scan(kSection);
  ASSERT_EQ(found.Count(), 1);
  const TRegistryContent& p = found.GetItem(0).Content;
  const std::string path = "HKEY_USERS\\Other\\Gap";
  EXPECT_EQ(p.KeyPath, path);
  EXPECT_EQ(p.KeyName, "Other\\Gap");
  EXPECT_EQ(p.ValueName, "default");
  EXPECT_EQ(p.Value, "");
  EXPECT_EQ(p.KeyPathText, " Key Path:" + path);
  EXPECT_EQ(p.ValueNameText, " ValueName:default");
  EXPECT_EQ(p.ValueText, " Value: empty");
  EXPECT_EQ(p.DetailText, " The key is empty key");
  EXPECT_EQ(p.Description, "The Key default under " + path + " is Empty");
  EXPECT_EQ(p.ProblemType, "Empty Key: " + path);
  EXPECT_EQ(p.Severity, "Low");
}

// The user's own key is the root HKEY_CURRENT_USER: never reported, even
// when it holds nothing.
TEST_F(EmptyRegistryKeysTest, TheCurrentUsersKeyIsARootAndNeverReported) {
  UseMachine("", "");
  ASSERT_TRUE(DeleteRegKey(win::HKEY_USERS, "\\.DEFAULT") || !KeyExists(win::HKEY_USERS, ".DEFAULT"));
  std::vector<std::string> names;
  {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\"));
    registry.GetKeyNames(names);
  }
  for (const std::string& name : names) ASSERT_TRUE(DeleteRegKey(win::HKEY_CURRENT_USER, "\\" + name));
  Scan(kSection);
  EXPECT_EQ(found.Count(), 0);
}

TEST_F(EmptyRegistryKeysTest, IgnoredKeyIsSkipped) {
  UseMachine(kKeys, "");
  TIgnoreContents ignores;
  ignores.GetItem(ignores.Add()).Content = {"Empty Registry Keys", AsciiUpper(kUser + "\\Software\\EmptyOne"), "default"};
  Scan(kSection, ignores);
  EXPECT_EQ(found.Count(), 4);
  for (int i = 0; i < found.Count(); ++i)
    EXPECT_EQ(found.GetItem(i).Content.KeyPath.find("EmptyOne"), std::string::npos);
}

TEST_F(EmptyRegistryKeysTest, RepairDeletesOnlyKeysThatAreStillEmpty) {
  UseMachine(kKeys, "");
  Scan(kSection);
  ASSERT_EQ(found.Count(), 5);
  // Between scan and repair, one key gets a value and one a subkey.
  ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, "Software\\EmptyOne", "now", "used"));
  ASSERT_TRUE(WriteText(win::HKEY_USERS, "Other\\.DEFAULT\\Sub", "", ""));
  Repair(kSection);
  EXPECT_EQ(LogLines(log), (std::vector<std::string>{
                       "HKEY_USERS\\Other\\.DEFAULT | Error: Not Repaired",
                       "HKEY_USERS\\S-1-5-19\\Software\\Classes2 | Repaired Successfully",
                       "HKEY_USERS\\S-1-5-20_CLASSES | Repaired Successfully",
                       kUser + "\\Software\\EmptyOne | Error: Not Repaired",
                       kUser + "\\Software\\Parent\\Child | Repaired Successfully",
                   }));
  EXPECT_TRUE(ValueExists(win::HKEY_CURRENT_USER, "Software\\EmptyOne", "now"));
  EXPECT_TRUE(KeyExists(win::HKEY_USERS, "Other\\.DEFAULT\\Sub"));
  EXPECT_FALSE(KeyExists(win::HKEY_CURRENT_USER, "Software\\Parent\\Child"));
  EXPECT_TRUE(KeyExists(win::HKEY_CURRENT_USER, "Software\\Parent"));
  EXPECT_FALSE(KeyExists(win::HKEY_USERS, "S-1-5-20_CLASSES"));
  EXPECT_TRUE(KeyExists(win::HKEY_USERS, "S-1-5-19_Classes"));
  EXPECT_EQ(EmptyRegistryKeysSection().target(found.GetItem(0).Content).kind, RepairTarget::Kind::Key);
}

TEST_F(EmptyRegistryKeysTest, AbortStopsInsideTheWalk) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += "[HKEY_USERS\\Other\\Level\\K" + std::to_string(100 + i) + "]\n";
  UseMachine(text, "");
  const AbortProbe probe(8, found);
  Scan(kSection);
  probe.ExpectStoppedAtOnce(20);
}

}  // namespace
}  // namespace regclean::test
