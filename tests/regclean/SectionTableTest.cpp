#include "regclean/SectionTableUnit.h"

#include "RegcleanFixture.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanResultsUnit.h"

namespace regclean::test {
namespace {

using win::HKEY_CLASSES_ROOT;
using win::HKEY_CURRENT_USER;
using win::HKEY_LOCAL_MACHINE;
using win::HKEY_USERS;

TEST(SectionTableTest, CaptionsRootsPathsAndInputsInSectionOrder) {
  struct Call {
    win::HKEY root;
    std::string path;
    bool root_, path_, ignores;
  };
  struct Row {
    std::string caption;
    std::vector<Call> calls;
  };
  const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer";
  const std::vector<Row> rows = {
      {"ActiveX, OLE/COM Entries", {{HKEY_CLASSES_ROOT, "", true, true, true}, {HKEY_CLASSES_ROOT, "", true, true, true}}},
      {"Application Paths", {{HKEY_LOCAL_MACHINE, cv + "App Paths", true, true, true}}},
      {"Empty Registry Keys", {{HKEY_USERS, "", true, true, true}}},
      {"File Extensions", {{HKEY_CLASSES_ROOT, "", true, true, true},
                           {HKEY_CURRENT_USER, explorer + "\\FileExts", true, true, true}}},
      {"Font Entries", {{HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts", true, true, true}}},
      {"Help Section", {{HKEY_LOCAL_MACHINE, "", true, false, true}}},
      {"Invalid File Associations", {{HKEY_CLASSES_ROOT, "", true, true, true}}},
      {"Invalid Shortcuts", {{0, "", false, false, true}}},
      {"Most Recently Used Files", {{HKEY_CURRENT_USER, explorer + "\\ComDlg32\\OpenSaveMRU", true, true, true}}},
      {"Shared DLL's Sections", {{HKEY_LOCAL_MACHINE, cv + "SharedDlls", true, true, true}}},
      {"Sounds Section", {{HKEY_LOCAL_MACHINE, "Control Panel\\Sounds", true, true, false}}},
      {"Start Menu Items", {{HKEY_CURRENT_USER, explorer + "\\MenuOrder\\Start Menu2\\Programs", true, true, true}}},
      {"Startup Programs", {{HKEY_CURRENT_USER, explorer + "\\MenuOrder", true, true, true}}},
      {"System Services", {{HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services", true, true, false}}},
      {"System Software Settings", {{HKEY_LOCAL_MACHINE, "", true, true, true}, {HKEY_USERS, "", true, true, true}}},
      {"Uninstall Entries", {{HKEY_LOCAL_MACHINE, cv + "Uninstall", true, true, true}}},
      {"User Software Settings", {{HKEY_CURRENT_USER, "", true, true, true}}},
  };
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kSectionCount));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const SectionSpec& spec = SectionTable()[i];
    SCOPED_TRACE(spec.caption);
    EXPECT_EQ(spec.number, static_cast<int>(i + 1));
    EXPECT_EQ(spec.caption, rows[i].caption);
    EXPECT_EQ(SectionByCaption(rows[i].caption), &spec);
    EXPECT_EQ(SectionByNumber(spec.number), &spec);
    EXPECT_FALSE(spec.description.empty());
    ASSERT_EQ(spec.calls.size(), rows[i].calls.size());
    for (std::size_t c = 0; c < spec.calls.size(); ++c) {
      EXPECT_EQ(spec.calls[c].root, rows[i].calls[c].root);
      EXPECT_EQ(spec.calls[c].startPath, rows[i].calls[c].path);
      EXPECT_EQ(spec.calls[c].getsRoot, rows[i].calls[c].root_);
      EXPECT_EQ(spec.calls[c].getsPath, rows[i].calls[c].path_);
      EXPECT_EQ(spec.calls[c].getsIgnoreList, rows[i].calls[c].ignores);
    }
  }
  EXPECT_EQ(SectionTable()[9].pictureName, "picSection10");
  EXPECT_EQ(SectionTable()[0].labelName, "abSection01");
  EXPECT_EQ(SectionTable()[16].countLabelName, "abItemCount17");
  EXPECT_EQ(SectionByNumber(0), nullptr);
  EXPECT_EQ(SectionByNumber(18), nullptr);
  EXPECT_EQ(SectionByCaption("shared dll's sections"), nullptr);
  EXPECT_EQ(SectionDescription("Uninstall Entries"),
            "The Uninstall Entries section of registry contains some invalid entities that link to "
            "the missing entities. This is caused by the incorrect installing and uninstalling of "
            "application in system.");
  EXPECT_EQ(SectionDescription("Most Recently Used Files"),
            "The invalid or empty registry entities of the Recently Used Files have not matched correctly");
}

TEST(SectionTableTest, StepsShowTheirControls) {
  EXPECT_EQ(ScanStep(0).stepImage, "ScanFirst");
  EXPECT_EQ(ScanStep(0).visible, kSelectAllBox | kSelectAllLabel | kScanNowButton);
  EXPECT_TRUE(ScanStep(1).stepImage1IsGif);
  EXPECT_EQ(ScanStep(1).stepImage1, "ScanInProcess1");
  EXPECT_EQ(ScanStep(1).hidden & kProgressPanel, 0u);  // the panel stays as Scan Now left it
  EXPECT_EQ(ScanStep(2).notebookPage, 1);
  EXPECT_EQ(ScanStep(3).visible, static_cast<unsigned>(kFinishButton));
  EXPECT_EQ(ScanStep(3).notebookPage, 2);
  for (int step = 0; step < 4; ++step) {
    EXPECT_EQ(ScanStep(step).visible & ScanStep(step).hidden, 0u);
    EXPECT_EQ((ScanStep(step).visible | ScanStep(step).hidden) | kProgressPanel, 0xFFu);
  }
  EXPECT_EQ(&ScanStep(7), &ScanStep(0));
}

TEST(ProblemRowTest, CutsTheHeadlineAndWrapsTheDescriptionOnThreeLines) {
  // 7 pixels per character, 70 for text: 10 characters fit; pieces of 16.
  const ProblemRowText shortRow = LayoutProblemRow("Type\rshort", 7, 70);
  EXPECT_EQ(shortRow.headline, "Type");
  EXPECT_EQ(shortRow.descriptionLines, std::vector<std::string>{"short"});

  const ProblemRowText longRow =
      LayoutProblemRow("Missing or Invalid Path\r0123456789abcdefghijklmnopqrstuvwxyzABCDEFGH", 7, 70);
  EXPECT_EQ(longRow.headline, "Missing ");  // 10 - 2 characters
  EXPECT_EQ(longRow.descriptionLines,
            (std::vector<std::string>{"0123456789abcdef", "ghijklmnopqrstuv", "wxyzABCDEFGH"}));

  // A rest that fits goes whole on the second line.
  EXPECT_EQ(LayoutProblemRow("T\r0123456789abcdefXYZ", 7, 70).descriptionLines,
            (std::vector<std::string>{"0123456789abcdef", "XYZ"}));
  // Halves round to even: 75 / 10 = 7.5 gives 8; 65 / 10 = 6.5 gives 6.
  EXPECT_EQ(LayoutProblemRow("0123456789\rx", 10, 75).headline, "012345");
  EXPECT_EQ(LayoutProblemRow("0123456789\rx", 10, 65).headline, "0123");
  // Characters, not bytes.
  EXPECT_EQ(LayoutProblemRow("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\rx", 10, 30).headline, "\xC3\xA9");
}

TEST(ProblemRowTest, TickBoxHitArea) {
  EXPECT_TRUE(HitsTickBox(10, 29, 0, 0));
  EXPECT_TRUE(HitsTickBox(126, 146, 100, 100));
  EXPECT_FALSE(HitsTickBox(9, 30, 0, 0));  // just left of the box: selects only
  EXPECT_FALSE(HitsTickBox(27, 30, 0, 0));
  EXPECT_FALSE(HitsTickBox(12, 28, 0, 0));
  EXPECT_FALSE(HitsTickBox(12, 47, 0, 0));
}

TEST(RepairTextsTest, StatusColourFollowsTheWordError) {
  EXPECT_TRUE(IsErrorResult("Error: Not Repaired"));
  EXPECT_TRUE(IsErrorResult("Repair Error"));
  EXPECT_FALSE(IsErrorResult("Repaired Successfully"));
  EXPECT_FALSE(IsErrorResult("error"));
  EXPECT_TRUE(IsErrorResult(kNotRepairedText));
  EXPECT_EQ(std::string(kRepairDialogCaption), "Fernwick");
}

}  // namespace
}  // namespace regclean::test
