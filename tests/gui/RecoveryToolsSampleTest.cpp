#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "../recovery/RecoveryFixture.h"
#include "GuiTestApp.h"
#include "MouseEvents.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "recovery/gui/SysRestoreForm.h"
#include "recovery/gui/FormRegDll.h"
#include "recovery/gui/ErrorFixForm.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/EMailForm.h"
#include "shell/gui/ToolWindowFactory.h"

namespace {

using recovery::test::Snapshot;
using recovery::test::TakeSnapshot;

const char* const kHkcuSystem = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kHklmSystem = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const char* const kShowAll =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\Folder\\Hidden\\SHOWALL";
const char* const kIeSetup =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\"
    "{89820200-ECBD-11cf-8B85-00AA005B4383}";

// key -> value -> (before, after) for every value that differs; "" for none.
std::map<std::string, std::map<std::string, std::pair<std::string, std::string>>> Changes(const Snapshot& before,
                                                                                          const Snapshot& after) {
  std::map<std::string, std::map<std::string, std::pair<std::string, std::string>>> changes;
  auto note = [&](const Snapshot& a, const Snapshot& b, bool forward) {
    for (const auto& [key, values] : a) {
      const auto other = b.find(key);
      for (const auto& [name, data] : values) {
        std::string then;
        if (other != b.end() && other->second.count(name)) then = other->second.at(name);
        if (then == data) continue;
        changes[key][name] = forward ? std::make_pair(data, then) : std::make_pair(then, data);
      }
      if (other == b.end()) changes[key][forward ? "<key gone>" : "<key new>"] = {};
    }
  };
  note(before, after, true);
  note(after, before, false);
  return changes;
}

// A fresh copy of the sample machine with the data module, per test.
class RecoveryToolsSample : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApp();
    ResetSharedState();
    ASSERT_TRUE(temp_.isValid());
    folder_ = temp_.path().toStdString() + "/machine";
    std::string error;
    ASSERT_TRUE(win::CreateMachine(folder_, win::SampleMachineRecipe(), error)) << error;
    Open();
  }
  void TearDown() override {
    SetProcessMessagesHook(nullptr);
    dm_.reset();
    win::SetCurrentMachine(nullptr);
    ResetSharedState();
  }
  void Open() {
    dm_.reset();
    win::SetCurrentMachine(nullptr);
    machine_.reset();
    std::string error;
    machine_ = win::Machine::Open(folder_, error, win::PendingRestore::Apply);  // as the program starts
    ASSERT_TRUE(machine_) << error;
    win::SetCurrentMachine(machine_.get());
    LoadSettings();
    Settings.CheckUpdate = false;
    dm_ = std::make_unique<TDM>();
  }

  QTemporaryDir temp_;
  std::string folder_;
  std::unique_ptr<win::Machine> machine_;
  std::unique_ptr<TDM> dm_;
  ScriptedDialogs dialogs_;
};

std::vector<std::string> Column(const QTreeWidget* list, int column) {
  std::vector<std::string> texts;
  for (int i = 0; i < list->topLevelItemCount(); ++i) texts.push_back(list->topLevelItem(i)->text(column).toStdString());
  return texts;
}

// A left press on the row's state picture, through the list's viewport.
void PressStatePicture(TErrorFixForm& form, int row) {
  QTreeWidgetItem* item = form.listerror->topLevelItem(row);
  const QRect rect = form.listerror->visualItemRect(item);
  SendMouse(form.listerror->viewport(), QEvent::MouseButtonPress, Qt::LeftButton,
            QPoint(rect.left() + 4 + TErrorFixForm::kStatePictureLeft + 8, rect.center().y()), Qt::LeftButton);
}

}  // namespace

TEST_F(RecoveryToolsSample, LaunchersOpenTheRealTools) {
  QWidget parent;
  std::unique_ptr<QWidget> restore(NewToolWindow(ToolWindow::SysRestoreForm, &parent));
  std::unique_ptr<QWidget> regDll(NewToolWindow(ToolWindow::FormRegDll, &parent));
  std::unique_ptr<QWidget> errors(NewToolWindow(ToolWindow::ErrorFixForm, &parent));
  EXPECT_NE(nullptr, dynamic_cast<TSysRestoreForm*>(restore.get()));
  EXPECT_NE(nullptr, dynamic_cast<TFormRegDll*>(regDll.get()));
  EXPECT_NE(nullptr, dynamic_cast<TErrorFixForm*>(errors.get()));
  EXPECT_TRUE(restore->isHidden());
  EXPECT_TRUE(errors->isHidden());
  EXPECT_TRUE(dialogs_.messages().empty());
}

TEST_F(RecoveryToolsSample, RestorePointsListAndDeleteSitsUnderRestore) {
  TSysRestoreForm form;
  form.show();
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_EQ(Column(form.RestoreListView, 0),
            (std::vector<std::string>{"System Checkpoint before updates", "Installed Media Converter 2.1",
                                      "System Checkpoint", "Changed display settings"}));
  for (const std::string& date : Column(form.RestoreListView, 1)) EXPECT_FALSE(date.empty());
  EXPECT_TRUE(form.RestoreListView->isColumnHidden(TSysRestoreForm::kSequenceColumn));
  EXPECT_EQ(form.RestoreListView->columnWidth(0), form.RestoreListView->width() - (160 + 19));

  EXPECT_EQ(form.DeleteButton->geometry(), form.RestoreButton->geometry());
  EXPECT_EQ(form.childAt(form.RestoreButton->geometry().center()), form.RestoreButton);
  EXPECT_EQ(form.RestoreButton->nextInFocusChain(), form.DeleteButton);

  SendClick(form.RestoreButton);
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text, recovery::kNoPointToRestoreMessage);
  form.DeleteButton->click();  // nothing selected: nothing happens
  EXPECT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(form.RestoreListView->topLevelItemCount(), 4);

  form.RestoreListView->setCurrentItem(form.RestoreListView->topLevelItem(2));
  form.DeleteButton->click();
  EXPECT_EQ(dialogs_.messages().back().text, recovery::kPointRemovedMessage);
  EXPECT_EQ(Column(form.RestoreListView, 0),
            (std::vector<std::string>{"System Checkpoint before updates", "Installed Media Converter 2.1",
                                      "Changed display settings"}));
}

// Create a point, repair errors and every finding of the registry cleaner,
// restore the point, open the machine again: both repairs are undone and the
// point is still there.
TEST_F(RecoveryToolsSample, RestoreUndoesARepairAtTheNextOpening) {
  const Snapshot original = TakeSnapshot();
  {
    TSysRestoreForm restore;
    restore.show();
    dialogs_.setNextInput(std::string("Before the error repair"));
    restore.BackupButton->click();
    EXPECT_EQ(dialogs_.messages().back().text, recovery::kPointCreatedMessage);
    ASSERT_EQ(restore.RestoreListView->topLevelItemCount(), 5);
    EXPECT_EQ(restore.RestoreListView->topLevelItem(4)->text(0).toStdString(), "Before the error repair");

    TErrorFixForm errors;
    errors.show();
    errors.cbSelectAll->click();
    errors.BitBtn1->click();
    EXPECT_EQ(dialogs_.messages().back().text, recovery::kErrorsRepairedMessage);
    const std::size_t changedByErrorRepair = Changes(original, TakeSnapshot()).size();
    EXPECT_GT(changedByErrorRepair, 0u);

    DriveList.clear();
    BuildNonFixedDriveList(DriveList);
    regclean::ScanSession session;
    regclean::test::RecordingView view;
    for (int section = 1; section <= regclean::kSectionCount; ++section) session.SetSectionTicked(section, true);
    ASSERT_EQ(regclean::ScanNow(session, view), regclean::ScanOutcome::ProblemsFound);
    ASSERT_EQ(regclean::RepairCheckedProblems(session, view), regclean::RepairOutcome::Repaired);
    EXPECT_GT(Changes(original, TakeSnapshot()).size(), changedByErrorRepair + 20);

    restore.RestoreListView->setCurrentItem(restore.RestoreListView->topLevelItem(4));
    dialogs_.setNextAnswer(IDYES);
    restore.RestoreButton->click();
    EXPECT_EQ(dialogs_.messages().back().text, recovery::kRestoredRebootQuestion);
    ASSERT_FALSE(win::ShellLog().empty());
    EXPECT_EQ(win::ShellLog().back(), "ExitWindowsEx\t2\t0\tok");
    EXPECT_FALSE(Changes(original, TakeSnapshot()).empty());  // only at the next start
  }
  Open();
  for (const auto& [key, values] : Changes(original, TakeSnapshot()))
    for (const auto& [name, change] : values) ADD_FAILURE() << key << " " << name << " " << change.first << " -> " << change.second;
  TSysRestoreForm restore;
  restore.show();
  EXPECT_EQ(restore.RestoreListView->topLevelItemCount(), 5);

  // Applied once: a change made now survives the next opening.
  win::TRegistry registry(win::KEY_ALL_ACCESS);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  ASSERT_TRUE(registry.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", false));
  ASSERT_TRUE(registry.DeleteValue("NoDispCPL"));
  registry.CloseKey();
  Open();
  EXPECT_EQ(Changes(original, TakeSnapshot()).size(), 1u);
}

TEST_F(RecoveryToolsSample, ErrorListRowsTicksAndDescriptions) {
  TErrorFixForm form;
  form.show();
  EXPECT_TRUE(dialogs_.messages().empty());
  EXPECT_EQ(Column(form.listerror, 0),
            (std::vector<std::string>{"Unable to reinstall IE 5.x", "Unable to reinstall IE 6.x",
                                      "Task Manager has been disabled by your administrator",
                                      "Hidden files cannot be shown",
                                      "Command Prompt has been disabled by your administrator",
                                      "\"Internal application error\" occurred in Windows Media Player",
                                      "1607: Unable to install InstallShield Scripting Runtime",
                                      "Unable to open new window by IE hyperlink", "Unable to update Windows online"}));
  EXPECT_TRUE(form.BitBtn2->isHidden());
  EXPECT_FALSE(form.BitBtn1->isHidden());

  form.listerror->setCurrentItem(form.listerror->topLevelItem(2));
  EXPECT_EQ(form.MemoText->toPlainText().toStdString(),
            "Pressing Ctrl+Alt+Del, or choosing Task Manager on the taskbar, shows \"Task Manager has been disabled "
            "by your administrator\", although nobody set this policy.");
  form.listerror->setCurrentItem(form.listerror->topLevelItem(7));
  EXPECT_EQ(form.MemoText->toPlainText().toStdString(), "It was unable to open new Window in IE hyperlink. ");
  form.listerror->clearSelection();
  EXPECT_TRUE(form.MemoText->toPlainText().isEmpty());

  // Rows 0 and 1 need the warning answered Yes; others flip at once.
  dialogs_.setNextAnswer(IDNO);
  PressStatePicture(form, 0);
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text, recovery::kIeOptionWarning);
  EXPECT_EQ(form.Rows()[0].State, 0);
  dialogs_.setNextAnswer(IDYES);
  PressStatePicture(form, 0);
  EXPECT_EQ(form.Rows()[0].State, 1);
  PressStatePicture(form, 3);
  EXPECT_EQ(form.Rows()[3].State, 1);
  EXPECT_EQ(dialogs_.messages().size(), 2u);
  form.listerrorMouseDown(4, 40);  // on the caption, not the picture
  EXPECT_EQ(form.Rows()[4].State, 0);

  SendClick(form.abSelectAll);
  EXPECT_TRUE(form.cbSelectAll->isChecked());
  std::vector<int> states;
  for (const recovery::ErrorRow& row : form.Rows()) states.push_back(row.State);
  EXPECT_EQ(states, (std::vector<int>{0, 0, 1, 1, 1, 1, 1, 1, 1}));
  SendClick(form.abSelectAll);
  states.clear();
  for (const recovery::ErrorRow& row : form.Rows()) states.push_back(row.State);
  EXPECT_EQ(states, std::vector<int>(9, 0));
  form.BitBtn1->click();
  EXPECT_EQ(dialogs_.messages().back().text, recovery::kSelectErrorMessage);
}

TEST_F(RecoveryToolsSample, HiddenReportOpensTheSupportFormModallyAndFreesIt) {
  TErrorFixForm form;
  form.show();
  QString title;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    if (auto* mail = dynamic_cast<TEMailForm*>(QApplication::activeModalWidget())) {
      title = mail->windowTitle();
      modal = mail->isModal();
      mail->btnClose->click();
    }
  });
  form.BitBtn2Click();
  EXPECT_EQ(title, "Support");
  EXPECT_TRUE(modal);
  EXPECT_TRUE(form.findChildren<TEMailForm*>().isEmpty());
  EXPECT_TRUE(dialogs_.messages().empty());
}

TEST_F(RecoveryToolsSample, RepairChangesOnlyWhatTheFixesName) {
  const Snapshot before = TakeSnapshot();
  TErrorFixForm form;
  form.show();
  form.cbSelectAll->click();
  form.BitBtn1->click();
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text, recovery::kErrorsRepairedMessage);
  EXPECT_EQ(dialogs_.messages()[0].flags, MB_OK | MB_ICONINFORMATION);
  using Change = std::map<std::string, std::pair<std::string, std::string>>;
  EXPECT_EQ(Changes(before, TakeSnapshot()),
            (std::map<std::string, Change>{
                {kHkcuSystem, {{"DisableTaskMgr", {"dword:00000001", ""}}}},
                {kHklmSystem, {{"DisableTaskMgr", {"dword:00000001", "dword:00000000"}}}},
                {kShowAll, {{"CheckedValue", {"dword:00000000", "dword:00000001"}}, {"Type", {"sz:checkbox", "sz:radio"}}}},
            }));
  EXPECT_FALSE(recovery::test::KeyExists(win::HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Windows\\System"));

  // The IE rows, once ticked, set the component to be installed again.
  const Snapshot repaired = TakeSnapshot();
  form.cbSelectAll->click();
  dialogs_.setNextAnswer(IDYES);
  form.listerrorMouseDown(1, TErrorFixForm::kStatePictureLeft + 2);
  form.BitBtn1->click();
  EXPECT_EQ(dialogs_.messages().back().text, recovery::kErrorsRepairedMessage);
  EXPECT_EQ(Changes(repaired, TakeSnapshot()),
            (std::map<std::string, Change>{{kIeSetup, {{"IsInstalled", {"dword:00000001", "dword:00000000"}}}}}));
}

TEST_F(RecoveryToolsSample, ReRegisterWalksTheSystemFolderAndChangesNothing) {
  const Snapshot before = TakeSnapshot();
  TFormRegDll form;
  form.show();
  form.btnRepair->click();
  const std::vector<std::string> paths = Column(form.lvActivexDLL, 0);
  const std::vector<std::string> statuses = Column(form.lvActivexDLL, 1);
  ASSERT_EQ(paths.size(), 120u);
  int failed = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(paths[i].rfind("C:\\WINDOWS\\system32\\", 0), 0u) << paths[i];
    EXPECT_EQ(paths[i].find('\\', 20), std::string::npos) << paths[i];  // no subfolder
    if (statuses[i] == recovery::kReRegisterFailed) ++failed;
  }
  const auto status = [&](const std::string& name) {
    for (std::size_t i = 0; i < paths.size(); ++i)
      if (paths[i] == "C:\\WINDOWS\\system32\\" + name) return statuses[i];
    return std::string("<no row>");
  };
  EXPECT_EQ(status("msvbvm60.dll.bak"), recovery::kReRegisterFailed);
  EXPECT_EQ(status("shdocvw.dll"), recovery::kReRegisterSuccess);
  EXPECT_EQ(status("kernel32.dll"), recovery::kReRegisterFailed);
  EXPECT_EQ(status("notepad.exe"), "<no row>");
  EXPECT_GT(failed, 0);
  EXPECT_LT(failed, static_cast<int>(paths.size()));
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text,
            std::to_string(failed) + " ActiveX and .Dll objects could not be re-registered!");
  EXPECT_TRUE(Changes(before, TakeSnapshot()).empty());
}

TEST_F(RecoveryToolsSample, StopHalfwayKeepsTheRowsSoFar) {
  TFormRegDll form;
  form.show();
  int commands = 0;
  form.Runner = [&](const std::string&, win::DWORD& exitCode, const std::function<void()>& whileWaiting) {
    ++commands;
    whileWaiting();
    exitCode = 0;
    return true;
  };
  SetProcessMessagesHook([&] {
    if (form.lvActivexDLL->topLevelItemCount() == 2) form.btnStop->click();
  });
  form.btnRepair->click();
  SetProcessMessagesHook(nullptr);
  EXPECT_EQ(commands, 2);
  EXPECT_EQ(Column(form.lvActivexDLL, 1), std::vector<std::string>(2, recovery::kReRegisterSuccess));
  ASSERT_EQ(dialogs_.messages().size(), 1u);
  EXPECT_EQ(dialogs_.messages()[0].text, recovery::kReRegisterDoneMessage);
}
