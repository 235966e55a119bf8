// The registry cleaner's page on the sample machine, driven as a user would:
// scan, untick one problem, exclude another, repair, scan again, restore the
// backup and scan once more.

#include <gtest/gtest.h>

#include <QAction>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "GuiTestApp.h"
#include "RecycleBinRecords.h"
#include "MouseEvents.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "regclean/gui/FinishListUnit.h"
#include "regclean/gui/ProblemListUnit.h"
#include "regclean/gui/ScanPageUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/ImageExUnit.h"
#include "shell/gui/MainUnit.h"

namespace {

// Windows names of the files in a folder of the current machine.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  win::FindData found;
  auto finder = win::FindFirstFile(folder + "*.*", found);
  if (!finder) return names;
  do {
    if (!(found.attributes & win::FILE_ATTRIBUTE_DIRECTORY)) names.push_back(folder + found.name);
  } while (finder->Next(found));
  return names;
}

// A problem as the ignore list names it: section, key path, value name.
using ProblemKey = std::tuple<std::string, std::string, std::string>;

ProblemKey KeyOf(const TRegistryContent& problem) {
  return {problem.SectionName, problem.KeyPath, problem.ValueName};
}

// What the last scan found ("All Problems" carries the section names).
std::set<ProblemKey> Problems(TRegistryScanPage& page) {
  std::set<ProblemKey> problems;
  for (int i = 0; i < regclean::ProblemCount(page.Session, 0); ++i)
    problems.insert(KeyOf(*regclean::Problem(page.Session, 0, i)));
  return problems;
}

TEST(ScanPageSample, ScanRepairScanAgainAndRestore) {
  GuiApp();
  ResetSharedState();
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const std::string folder = temp.path().toStdString() + "/machine";
  std::string error;
  ASSERT_TRUE(win::CreateMachine(folder, win::SampleMachineRecipe(), error)) << error;
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  ASSERT_TRUE(machine) << error;
  win::SetCurrentMachine(machine.get());
  LoadSettings();
  Settings.CheckUpdate = false;
  ScriptedDialogs dialogs;
  {
    TDM dm;
    TFernwickForm form;
    form.show();
    auto* page = dynamic_cast<TRegistryScanPage*>(form.ScanPage.get());
    ASSERT_NE(page, nullptr);

    SendClick(form.ScanNowBtn);
    const int found = page->Session.GetTotalProblemCount();
    ASSERT_GT(found, 2);
    const std::set<ProblemKey> first = Problems(*page);
    ASSERT_EQ(form.ScanNotebook->currentIndex(), 1);

    // "All Problems": untick the first problem, exclude the second.
    page->RepairGrid->setCurrentItem(page->RepairGrid->topLevelItem(0));
    QCoreApplication::processEvents();
    const TRegistryContent kept = *regclean::Problem(page->Session, 0, 0);
    const TRegistryContent excluded = *regclean::Problem(page->Session, 0, 1);
    const QRect row0 = page->ProblemsListBox->visualItemRect(page->ProblemsListBox->item(0));
    SendMouse(page->ProblemsListBox->viewport(), QEvent::MouseButtonPress, Qt::LeftButton,
              row0.topLeft() + QPoint(14, 36), Qt::LeftButton);
    SendMouse(page->ProblemsListBox->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton,
              row0.topLeft() + QPoint(14, 36), Qt::NoButton);
    EXPECT_EQ(page->ProblemsListBox->StateImage(0), 0);
    page->ProblemsListBox->setCurrentRow(1);
    dm.Excludeandaddkeytoignorelist1->trigger();
    EXPECT_EQ(page->Session.GetTotalProblemCount(), found - 1);

    SendClick(form.RepairBtn);
    ASSERT_EQ(form.ScanNotebook->currentIndex(), 2);
    const TRepairContents& log = page->Session.RepairLog;
    EXPECT_EQ(log.Count(), found - 2);
    for (int i = 0; i < log.Count(); ++i)
      EXPECT_EQ(log.GetItem(i).Content.Result, "Repaired Successfully") << log.GetItem(i).Content.KeyPath;

    // Scanning again: the unticked problem is still there, the excluded one
    // is ignored, and no repaired problem comes back.
    SendClick(form.FinishBtn);
    SendClick(form.ScanNowBtn);
    const std::set<ProblemKey> again = Problems(*page);
    EXPECT_TRUE(again.count(KeyOf(kept)));
    EXPECT_FALSE(again.count(KeyOf(excluded)));
    for (const ProblemKey& problem : first) {
      if (problem == KeyOf(kept)) continue;
      EXPECT_FALSE(again.count(problem)) << std::get<1>(problem);
    }

    // Importing the backup restores every value the repair deleted, and the
    // shortcuts come back from the recycle bin by their records: the next
    // scan finds what the first one found, less the ignored problem.
    const std::vector<std::string> backups =
        FilesIn(win::IncludeTrailingBackslash(win::ProgramFolder()) + "RepairBackup\\");
    ASSERT_EQ(backups.size(), 1u);
    ASSERT_TRUE(win::ImportRegFile(backups[0], error)) << error;
    std::size_t shortcuts = 0;
    for (const RecycledItem& item : ReadInfo2('C').items) {
      ASSERT_TRUE(win::MoveFile(item.inBin, item.originalPath)) << item.originalPath;
      ++shortcuts;
    }
    EXPECT_EQ(shortcuts, static_cast<std::size_t>(std::count_if(first.begin(), first.end(), [](const ProblemKey& problem) {
                return std::get<0>(problem) == "Invalid Shortcuts";
              })));
    if (form.FinishBtn->isVisible()) SendClick(form.FinishBtn);
    SendClick(form.ScanNowBtn);
    std::set<ProblemKey> expected = first;
    expected.erase(KeyOf(excluded));
    EXPECT_EQ(Problems(*page), expected);
  }
  win::SetCurrentMachine(nullptr);
  ResetSharedState();
}

}  // namespace
