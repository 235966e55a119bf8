// The Junk File Cleaner in the main window on the sample machine: the whole
// wizard from the launcher, what it finds and what it leaves alone, and the
// main window's rules while it searches and cleans.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QTemporaryDir>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "GuiTestApp.h"
#include "RecycleBinRecords.h"
#include "TestMachine.h"
#include "ToolWindowTest.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/MainUnit.h"
#include "tools/gui/DetailTempFileForm.h"
#include "tools/gui/SysDiskCleanerForm.h"
#include "tools/gui/TemporaryFileForm.h"

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

  // The findings went to C:\Recycled, each with its record there; nothing
  // else moved or changed.
  const std::map<std::string, std::uintmax_t> after = machine.Files();
  std::size_t gone = 0;
  for (const auto& [path, size] : before) {
    const auto now = after.find(path);
    if (now == after.end()) {
      ++gone;
    } else if (path != "C/Recycled/INFO2") {
      EXPECT_EQ(now->second, size) << path;
    }
  }
  std::set<std::string> putBack;
  for (const RecycledItem& item : ReadInfo2('C').items) {
    EXPECT_TRUE(win::FileExists(item.inBin)) << item.inBin;
    putBack.insert(item.originalPath);
  }
  EXPECT_EQ(putBack, found);
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

// Back and Next as a user sees them on each page, while the page works and
// after it; "Move all files in one folder" without a folder; the widths of
// the list of types.
class JunkWindowStates : public ToolWindowTest {
 protected:
  JunkWindowStates()
      : machine("", "C:\\Program Files\\Fernwick\\\nC:\\Temp\\a.tmp | text=one\n"
                    "C:\\Temp\\b.bak | text=two\nC:\\Dest\\\n") {}
  void SetUp() override {
    ToolWindowTest::SetUp();
    junk = std::make_unique<TSysDiskCleanerForm>();
    junk->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    junk.reset();
    ToolWindowTest::TearDown();
  }
  // "B+ Next>": Back enabled or not (B-), Next's caption, "(off)" when disabled.
  std::string Buttons() const {
    return std::string(junk->BackBtn->isEnabled() ? "B+ " : "B- ") + junk->NextBtn->text().toStdString() +
           (junk->NextBtn->isEnabled() ? "" : "(off)");
  }
  int Page() const { return junk->DataNotebook->currentIndex(); }

  TestMachine machine;
  ScriptedDialogs dialogs;
  std::unique_ptr<TSysDiskCleanerForm> junk;
};

TEST_F(JunkWindowStates, BackAndNextChangeAfterEachPagesWork) {
  std::string during;  // the buttons at the first message pump of a page's work
  SetProcessMessagesHook([&] {
    if (during.empty()) during = Buttons();
  });
  const struct {
    const char* press;
    int page;
    const char* during;
    const char* after;
  } steps[] = {
      {"next", 1, "", "B+ Next>"},          {"next", 2, "B+ Next>", "B+ Next>"},
      {"back", 1, "", "B+ Next>"},          {"back", 0, "", "B- Next>"},
      {"next", 1, "", "B+ Next>"},          {"next", 2, "B+ Next>", "B+ Next>"},
      {"next", 3, "", "B+ Next>"},          {"next", 4, "", "B+ Next>"},
      {"next", 5, "B+ Next>", "B- Finish"}, {"back", 5, "", "B- Finish"},
      {"next", 0, "", "B- Next>"},
  };
  EXPECT_EQ(Buttons(), "B- Next>");
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.press) + " to page " + std::to_string(step.page));
    during.clear();
    (std::string(step.press) == "next" ? junk->NextBtn : junk->BackBtn)->click();
    EXPECT_EQ(Page(), step.page);
    EXPECT_EQ(during, step.during);
    EXPECT_EQ(Buttons(), step.after);
  }
  EXPECT_TRUE(dialogs.messages().empty());
  EXPECT_FALSE(win::FileExists("C:\\Temp\\a.tmp"));  // recycled on the way
}

TEST_F(JunkWindowStates, MovingWithoutAFolderAsksForOneAndMovesNothing) {
  for (int page = 1; page <= tools::kCleanupOptionsPage; ++page) junk->NextBtn->click();
  ASSERT_EQ(Page(), tools::kCleanupOptionsPage);
  dialogs.setNextFileName(std::nullopt);  // the browser of the radio button
  junk->RadioButton3->click();
  EXPECT_EQ(junk->panJunkMoveFolder->text(), "");
  dialogs.setNextFileName(std::nullopt);  // asked again by Next
  junk->NextBtn->click();
  EXPECT_EQ(Page(), tools::kCleanupOptionsPage);
  EXPECT_EQ(Buttons(), "B+ Next>");
  EXPECT_EQ(junk->CleanerListView->topLevelItemCount(), 0);
  ASSERT_EQ(dialogs.fileRequests().size(), 2u);
  EXPECT_EQ(dialogs.fileRequests()[1].request.Title, "Select Directory");
  EXPECT_TRUE(win::FileExists("C:\\Temp\\a.tmp"));
  EXPECT_TRUE(dialogs.messages().empty());

  dialogs.setNextFileName("C:\\Dest");
  junk->NextBtn->click();
  EXPECT_EQ(Page(), tools::kCleanupPage);
  EXPECT_EQ(junk->panJunkMoveFolder->text(), "C:\\Dest");
  ASSERT_EQ(junk->CleanerListView->topLevelItemCount(), 2);
  for (int row = 0; row < 2; ++row) EXPECT_EQ(junk->CleanerListView->topLevelItem(row)->text(1), "File Moved");
  EXPECT_TRUE(win::FileExists("C:\\Dest\\a.tmp"));
}

// "Type" keeps 120 pixels and "Description" takes the rest, at any width,
// so that no description of the defaults is cut.
TEST_F(JunkWindowStates, TypesListGivesTheDescriptionTheRest) {
  junk->NextBtn->click();
  QTreeWidget* list = junk->JunkFilesListView;
  ASSERT_EQ(list->topLevelItemCount(), 47);
  for (const QSize size : {QSize(590, 440), QSize(800, 500), QSize(700, 400)}) {
    junk->resize(size);
    QCoreApplication::processEvents();
    SCOPED_TRACE(std::to_string(size.width()));
    EXPECT_EQ(list->header()->sectionSize(0), 120);
    EXPECT_EQ(list->header()->sectionSize(1), list->width() - 120 - 23);
    const QFontMetrics metrics(list->font());
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
      const QString text = list->topLevelItem(row)->text(1);
      EXPECT_LT(metrics.horizontalAdvance(text) + 12, list->header()->sectionSize(1)) << text.toStdString();
    }
  }
}

}  // namespace
