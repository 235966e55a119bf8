// The Junk File Cleaner in the main window on the sample machine: the whole
// wizard from the launcher, what it finds and what it leaves alone, and the
// main window's rules while it searches and cleans.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "GuiTestApp.h"
#include "ToolWindowTest.h"
#include "platform/FileSystem.h"
#include "platform/Machine.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DMUnit.h"
#include "shell/gui/MainUnit.h"
#include "tools/gui/DetailTempFileUnit.h"
#include "tools/gui/SysDiskCleanerUnit.h"
#include "tools/gui/TemporaryFileUnit.h"

namespace {

const std::string kOwner = "C:\\Documents and Settings\\Owner\\";

// A fresh sample machine, current while it lives.
class SampleMachine {
 public:
  SampleMachine() {
    folder_ = temp_.path().toStdString() + "/machine";
    std::string error;
    EXPECT_TRUE(win::CreateMachine(folder_, win::SampleMachineRecipe(), error)) << error;
    machine_ = win::Machine::Open(folder_, error);
    EXPECT_TRUE(machine_) << error;
    win::SetCurrentMachine(machine_.get());
  }
  ~SampleMachine() { win::SetCurrentMachine(nullptr); }
  SampleMachine(const SampleMachine&) = delete;
  SampleMachine& operator=(const SampleMachine&) = delete;

  // Every file and link under the machine's drive folders, with its size;
  // links are not followed.
  std::map<std::string, std::uintmax_t> Files() const {
    std::map<std::string, std::uintmax_t> files;
    const std::filesystem::path drives = folder_ + "/drives";
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(drives, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_symlink(ec)) files[it->path().lexically_relative(drives).string()] = 0;
      else if (it->is_regular_file(ec)) files[it->path().lexically_relative(drives).string()] = it->file_size(ec);
    }
    return files;
  }

 private:
  QTemporaryDir temp_;
  std::string folder_;
  std::unique_ptr<win::Machine> machine_;
};

class JunkCleanerWindow : public ToolWindowTest {
 protected:
  // The tool window opened from its launcher on the Tools page.
  TSysDiskCleanerForm* Open(TFernwickForm& form) {
    form.show();
    form.AdvancedBtnClick();
    form.ImageExClick(7);
    return qobject_cast<TSysDiskCleanerForm*>(form.ToolForm(ToolWindow::SysDiskCleanerForm));
  }
};

TEST_F(JunkCleanerWindow, LauncherRunsTheWizardAndOnlyFindingsAreTouched) {
  SampleMachine machine;
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  TSysDiskCleanerForm* junk = Open(form);
  ASSERT_NE(junk, nullptr);
  EXPECT_TRUE(junk->isVisible());

  // Only C: is fixed with a folder; its space is the host's.
  ASSERT_EQ(junk->DiskListView->topLevelItemCount(), 1);
  EXPECT_EQ(junk->DiskListView->topLevelItem(0)->text(0), "Local Disk (C:)");
  EXPECT_EQ(junk->DiskListView->topLevelItem(0)->text(3), "C:");
  EXPECT_FALSE(junk->BackBtn->isEnabled());

  junk->NextBtn->click();
  EXPECT_EQ(junk->DataNotebook->currentIndex(), 1);
  EXPECT_EQ(junk->JunkFilesListView->topLevelItemCount(), 47);

  const std::map<std::string, std::uintmax_t> before = machine.Files();
  junk->NextBtn->click();
  EXPECT_EQ(junk->ScanListView->topLevelItem(0)->text(1), "Finished");
  EXPECT_EQ(junk->ScanMessage->text(), "");
  std::set<std::string> found;
  for (const tools::TTempFileInfo& file : junk->Cleaner.Findings) found.insert(file.FullPath);
  for (const std::string& path : {
           kOwner + "Local Settings\\Temp\\inst0.$$$",
           kOwner + "Local Settings\\Temp\\~WRL0003.tmp",
           kOwner + "Local Settings\\Temp\\pgw42.tmp",
           kOwner + "Application Data\\Harbor Tone\\TuneBox\\crash.dmp",
           kOwner + "Application Data\\Harbor Tone\\TuneBox\\tunebox.old",
           kOwner + "Desktop\\thumbs.db",
           std::string("C:\\FOUND.000\\file0000.chk"),
           kOwner + "My Documents\\Downloads\\manual.gid",
           kOwner + "My Documents\\budget 2008.bak",
       })
    EXPECT_EQ(found.count(path), 1u) << path;
  for (const std::string& path : found) {
    EXPECT_NE(path.rfind("C:\\WINDOWS\\", 0), 0u) << path;
    EXPECT_NE(path.rfind("C:\\Program Files\\", 0), 0u) << path;
    EXPECT_EQ(path.find("Antivirus Files"), std::string::npos) << path;
  }

  junk->NextBtn->click();
  ASSERT_EQ(junk->ReportListView->topLevelItemCount(), 1);
  EXPECT_EQ(junk->ReportListView->topLevelItem(0)->text(1).toStdString(), std::to_string(found.size()));
  EXPECT_EQ(junk->ReportStatusPanels[1]->text().toStdString(), std::to_string(found.size()));
  EXPECT_TRUE(junk->ReportStatusPanels[2]->text().endsWith(" KB"));

  // The details of the drive.
  int shown = -1;
  junk->RunModal = [&shown](QDialog& dialog) {
    if (auto* details = qobject_cast<TDetailTempFileForm*>(&dialog)) {
      shown = details->TempFilesListBox->count();
      EXPECT_EQ(details->abFileTotal->text().toStdString(), "Total: " + std::to_string(shown));
    }
    return true;
  };
  junk->ReportListView->setCurrentItem(junk->ReportListView->topLevelItem(0));
  junk->ReportListViewDblClick();
  EXPECT_EQ(shown, static_cast<int>(found.size()));

  junk->NextBtn->click();
  EXPECT_TRUE(junk->RadioButton2->isChecked());
  junk->NextBtn->click();
  EXPECT_EQ(junk->NextBtn->text(), "Finish");
  EXPECT_FALSE(junk->BackBtn->isEnabled());
  ASSERT_EQ(junk->CleanerListView->topLevelItemCount(), static_cast<int>(found.size()));
  for (int i = 0; i < junk->CleanerListView->topLevelItemCount(); ++i)
    EXPECT_EQ(junk->CleanerListView->topLevelItem(i)->text(1), "File Deleted");
  EXPECT_TRUE(dialogs.messages().empty());

  // The findings went to C:\Recycled; nothing else moved or changed.
  const std::map<std::string, std::uintmax_t> after = machine.Files();
  std::size_t gone = 0;
  for (const auto& [path, size] : before) {
    const auto now = after.find(path);
    if (now == after.end()) ++gone;
    else EXPECT_EQ(now->second, size) << path;
  }
  EXPECT_EQ(gone, found.size());
  std::size_t recycled = 0;
  for (const auto& [path, size] : after) {
    if (before.count(path)) continue;
    EXPECT_EQ(path.rfind("C/Recycled/", 0), 0u) << path;
    ++recycled;
  }
  EXPECT_EQ(recycled, found.size());
  for (const std::string& path : {
           std::string("C:\\WINDOWS\\setupapi.log"),
           std::string("C:\\Program Files\\Bastion Security\\ShieldGuard\\update.log"),
           std::string("C:\\Documents and Settings\\All Users\\NTUSER.DAT.LOG"),
           kOwner + "ntuser.dat.LOG",
           kOwner + "My Documents\\My Pictures\\Thumbs.db",
           kOwner + "My Documents\\A.TMP",
           kOwner + "My Documents\\notes.tmpl",
           kOwner + "My Documents\\drafts.bak\\chapter one.txt",
           std::string("C:\\System Volume Information\\change.log"),
           std::string("D:\\SUPPORT\\TOOLS\\setup.log"),
       })
    EXPECT_TRUE(win::FileExists(path)) << path;

  junk->NextBtn->click();
  EXPECT_EQ(junk->DataNotebook->currentIndex(), 0);
  EXPECT_EQ(junk->NextBtn->text(), "Next>");
  form.hide();
}

TEST_F(JunkCleanerWindow, PagesStayWhileSearchingOrCleaningAndTrayQuitEndsTheSearch) {
  SampleMachine machine;
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  TSysDiskCleanerForm* junk = Open(form);
  ASSERT_NE(junk, nullptr);
  junk->NextBtnClick();

  int refusals = 0;
  int calls = 0;
  SetProcessMessagesHook([&] {
    if (++calls % 50 == 0 && !form.ScanBtnClick()) ++refusals;
  });
  junk->NextBtnClick();
  EXPECT_GT(refusals, 0);
  EXPECT_EQ(refusals, calls / 50);
  EXPECT_EQ(form.MainNotebook->currentIndex(), 2);
  EXPECT_EQ(form.ToolForm(ToolWindow::SysDiskCleanerForm), junk);

  refusals = 0;
  calls = 0;
  SetProcessMessagesHook([&] {
    ++calls;
    if (!form.BackupBtnClick()) ++refusals;
  });
  junk->NextBtnClick();
  junk->NextBtnClick();
  junk->NextBtnClick();
  EXPECT_EQ(junk->DataNotebook->currentIndex(), tools::kCleanupPage);
  EXPECT_GT(calls, 0);
  EXPECT_EQ(refusals, calls);
  SetProcessMessagesHook(nullptr);

  // Finish, and a new search that the tray's quit ends.
  junk->NextBtnClick();
  junk->NextBtnClick();
  bool terminated = false;
  bool busyAtTermination = true;
  SetTerminateHandler([&] {
    terminated = true;
    busyAtTermination = IsBusy();
  });
  calls = 0;
  int callsAfterQuit = 0;
  SetProcessMessagesHook([&] {
    if (++calls == 20) form.WMTrayIcon(TRAY_QUIT);
    else if (calls > 20) ++callsAfterQuit;
  });
  junk->NextBtnClick();
  EXPECT_TRUE(terminated);
  EXPECT_FALSE(busyAtTermination);
  EXPECT_LT(callsAfterQuit, 40);  // one per folder level on the way out
  EXPECT_EQ(junk->ScanListView->topLevelItem(0)->text(1), "User Stop");
  form.hide();
}

TEST_F(JunkCleanerWindow, ClosingTheWindowStopsTheSearchAndTouchesNothing) {
  SampleMachine machine;
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  TSysDiskCleanerForm* junk = Open(form);
  ASSERT_NE(junk, nullptr);
  junk->NextBtnClick();
  const std::map<std::string, std::uintmax_t> before = machine.Files();

  int calls = 0;
  int callsAfterClose = 0;
  SetProcessMessagesHook([&] {
    if (++calls == 20) EXPECT_TRUE(junk->close());
    else if (calls > 20) ++callsAfterClose;
  });
  junk->NextBtnClick();
  SetProcessMessagesHook(nullptr);
  EXPECT_FALSE(junk->isVisible());
  EXPECT_LT(callsAfterClose, 40);  // one per folder level on the way out
  EXPECT_EQ(junk->ScanListView->topLevelItem(0)->text(1), "User Stop");
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(machine.Files(), before);

  // Opened again, the wizard starts anew and searches to the end.
  TSysDiskCleanerForm* again = Open(form);
  ASSERT_NE(again, nullptr);
  ASSERT_EQ(again->DataNotebook->currentIndex(), tools::kDrivesPage);
  again->NextBtnClick();
  again->NextBtnClick();
  EXPECT_EQ(again->DataNotebook->currentIndex(), tools::kScanPage);
  EXPECT_EQ(again->ScanListView->topLevelItem(0)->text(1), "Finished");
  EXPECT_EQ(machine.Files(), before);
  form.hide();
}

TEST_F(JunkCleanerWindow, TypeDialogNeedsAMask) {
  SampleMachine machine;
  ScriptedDialogs dialogs;
  TSysDiskCleanerForm junk;
  junk.NextBtnClick();
  junk.RunModal = [](QDialog& dialog) {
    auto& types = static_cast<TTemporaryFileForm&>(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Add a new file type");
    EXPECT_FALSE(types.OKBtn->isEnabled());
    types.edExtension->setText("   ");
    EXPECT_FALSE(types.OKBtn->isEnabled());
    types.edExtension->setText(" *.xyz");
    EXPECT_TRUE(types.OKBtn->isEnabled());
    types.edDesc->setText("Mine");
    return true;
  };
  junk.AddBtnClick();
  ASSERT_EQ(junk.JunkFilesListView->topLevelItemCount(), 48);
  QTreeWidgetItem* added = junk.JunkFilesListView->topLevelItem(47);
  EXPECT_EQ(added->text(0), "*.xyz");
  EXPECT_EQ(added->checkState(0), Qt::Checked);

  // Unticking a row unticks its type; Select All ticks them all again.
  added->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(junk.Cleaner.Types[47].Checked);
  junk.cbJunkFileSelectAll->setChecked(true);
  junk.cbJunkFileSelectAllClick();
  EXPECT_TRUE(junk.Cleaner.Types[47].Checked);

  junk.JunkFilesListView->setCurrentItem(junk.JunkFilesListView->topLevelItem(47));
  junk.RunModal = [](QDialog& dialog) {
    auto& types = static_cast<TTemporaryFileForm&>(dialog);
    EXPECT_EQ(dialog.windowTitle(), "Modify file type");
    EXPECT_EQ(types.edExtension->text(), "*.xyz");
    types.edExtension->setText("*.abc");
    return true;
  };
  junk.EditBtnClick();
  EXPECT_EQ(junk.JunkFilesListView->topLevelItem(47)->text(0), "*.abc");
  dialogs.setNextAnswer(IDYES);
  junk.DelBtnClick();
  EXPECT_EQ(junk.JunkFilesListView->topLevelItemCount(), 47);
}

}  // namespace
