// The startup manager and the uninstaller on the sample machine: what its
// startup additions list, and a round of Disable, Remove, Enable and Restore
// that leaves everything as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "SampleMachineCopy.h"
#include "StartupFixture.h"
#include "platform/files/FileSystem.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"
#include "tools/StartupManagerUnit.h"
#include "tools/UninstallItemUnit.h"

using namespace tools;

namespace {

TEST(StartupSampleTest, SampleMachineEntriesRoundTrip) {
  SampleMachineCopy sample;
  ASSERT_TRUE(sample.Ready());
  ScriptedDialogs dialogs;
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  for (const char* caption : {"PackIt Quick Start.lnk", "Reminder.lnk", "Updater", "SysHelper", "TuneBoxSetup",
                              "PackItTips", "TuneBoxTray", "PackItCheck"})
    EXPECT_GE(FindRow(manager, caption, "Enable"), 0) << caption;
  const auto& rows = manager.Rows();
  EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const TStartupRow& r) { return r.Caption == "Updater"; }), 2);

  manager.ToggleChosen(FindRow(manager, "SysHelper", "Enable"));
  manager.DisableSelected();
  EXPECT_GE(FindRow(manager, "SysHelper", "Disable"), 0);
  manager.ToggleChosen(FindRow(manager, "Reminder.lnk", "Enable"));
  dialogs.setNextAnswer(IDYES);
  manager.RemoveSelected();
  EXPECT_EQ(FindRow(manager, "Reminder.lnk", "Enable"), -1);
  manager.ListRemovedEntries();
  ASSERT_EQ(manager.RestoreRows().size(), 1u);
  manager.SetRestoreChecked(0, true);
  manager.RestoreItems();
  manager.ToggleChosen(FindRow(manager, "SysHelper", "Disable"));
  manager.EnableSelected();
  EXPECT_GE(FindRow(manager, "SysHelper", "Enable"), 0);
  manager.RefreshStartupList();
  EXPECT_GE(FindRow(manager, "Reminder.lnk", "Enable"), 0);

  TUninstallContents contents;
  LoadInstalledPrograms(contents, false);
  bool quickZip = false;
  for (std::int32_t i = 0; i < contents.Count(); ++i) {
    const TContent& item = contents.GetItem(i).Content;
    if (item.KeyName == "QuickZip") {
      quickZip = true;
      EXPECT_EQ(item.DisplayVersion, "");
    }
    if (item.KeyName == "PackIt") {
      EXPECT_EQ(FormatInstallDate(item.InstallDate), "NOT AVAILABLE");
    }
  }
  EXPECT_TRUE(quickZip);
  ResetSharedState();
}

}  // namespace
