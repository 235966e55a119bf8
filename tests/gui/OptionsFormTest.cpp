#include <gtest/gtest.h>

#include <QApplication>
#include <cstring>
#include <memory>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "platform/system/TaskScheduler.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/TaskSchedulerUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/FormOptions.h"
#include "shell/gui/ImageExUnit.h"

namespace {

const char* const kIgnoreFile = "C:\\Program Files\\Fernwick\\FernwickIgnores.dat";
const char* const kIgnoreText =
    "Font Entries|HKEY_LOCAL_MACHINE\\Fonts|Arial\r\n"
    "\r\n"
    "Help Section|HKEY_LOCAL_MACHINE\\Help|a\r\n";
const char* const kSettings =
    "[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n"
    "\"NotAutoBackup\"=\"0\"\r\n\"SelectAll\"=\"1\"\r\n\"CheckUpdate\"=\"0\"\r\n\"Version\"=\"4.0\"\r\n";

std::string FileText(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes)) return "<missing>";
  return std::string(bytes.begin(), bytes.end());
}

std::optional<std::string> RegText(win::HKEY root, const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(key)) return std::nullopt;
  return registry.ReadString(name);
}

bool JobExists() {
  std::shared_ptr<win::ITaskScheduler> scheduler;
  std::shared_ptr<win::ITask> task;
  return win::SUCCEEDED(win::CreateTaskScheduler(scheduler)) &&
         win::SUCCEEDED(scheduler->Activate(u"Fernwick.job", task));
}

class OptionsFormTest : public ::testing::Test {
 protected:
  OptionsFormTest() {
    GuiApp();
    Reset();
    dm = std::make_unique<TDM>();
  }
  ~OptionsFormTest() override {
    form.reset();
    dm.reset();
    Reset();
  }
  static void Reset() {
    ResetSharedState();
    ResetTaskSchedulerState();
    ResetTerminateRequest();
  }

  void Open(const std::string& config = "") {
    machine = std::make_unique<TestMachine>(kSettings, "C:\\Program Files\\Fernwick\\Fernwick.exe\n", config);
    std::vector<std::uint8_t> bytes(kIgnoreText, kIgnoreText + std::strlen(kIgnoreText));
    ASSERT_TRUE(win::WriteFileBytes(kIgnoreFile, bytes));
    form = CreateOptionsForm();
    if (!form) return;
    form->Clock = [] { return TDateTime{2008, 3, 7, 14, 5, 9}; };
    form->show();
    QCoreApplication::processEvents();
  }

  ScriptedDialogs dialogs;
  std::unique_ptr<TestMachine> machine;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TFormOptions> form;
};

TEST_F(OptionsFormTest, OpensOnTheFirstPageWithTheMachinesState) {
  Open();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->windowTitle(), "Preferences");
  EXPECT_EQ(form->MainPageControl->currentIndex(), 0);
  EXPECT_FALSE(form->ChkRun->isChecked());
  EXPECT_FALSE(form->ChkAutoBackup->isChecked());
  EXPECT_TRUE(form->ChkCheckItem->isChecked());
  EXPECT_FALSE(form->cbCheckUpdate->isChecked());
  EXPECT_TRUE(form->LabelVer->text().startsWith("Version: 4.0, Last Time: ")) << form->LabelVer->text().toStdString();
  ASSERT_EQ(form->IgnoreListView->topLevelItemCount(), 2);
  EXPECT_EQ(form->IgnoreListView->topLevelItem(1)->text(0), "Help Section");
  EXPECT_EQ(form->IgnoreListView->topLevelItem(1)->text(1), "HKEY_LOCAL_MACHINE\\Help");
  EXPECT_EQ(form->IgnoreListView->columnWidth(0), 80);
  EXPECT_EQ(form->IgnoreListView->columnWidth(1), 400);
  // No job: unticked, 09:30, one day, both disabled.
  EXPECT_FALSE(form->cbActiveTask->isChecked());
  EXPECT_EQ(form->dtpStartTime->time(), QTime(9, 30));
  EXPECT_EQ(form->SpinEditDays->value(), 1);
  EXPECT_FALSE(form->dtpStartTime->isEnabled());
  EXPECT_FALSE(form->SpinEditDays->isEnabled());
  EXPECT_FALSE(form->ImageTask->HasPicture());
}

TEST_F(OptionsFormTest, TickAndOkSavesEverything) {
  Open();
  form->ChkRun->setChecked(true);
  form->ChkAutoBackup->setChecked(true);
  form->ChkCheckItem->setChecked(false);
  form->cbCheckUpdate->setChecked(true);
  form->MainPageControl->setCurrentIndex(2);
  form->cbActiveTask->click();
  EXPECT_EQ(form->dtpStartTime->time(), QTime(14, 5));
  EXPECT_TRUE(form->dtpStartTime->isEnabled());
  EXPECT_TRUE(form->SpinEditDays->isEnabled());
  form->SpinEditDays->setValue(7);
  form->BitBtn1->click();

  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(RegText(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Fernwick.exe"),
            "C:\\Program Files\\Fernwick\\Fernwick.exe");
  EXPECT_EQ(RegText(win::HKEY_CURRENT_USER, "Software\\Fernwick", "NotAutoBackup"), "1");
  EXPECT_EQ(RegText(win::HKEY_CURRENT_USER, "Software\\Fernwick", "SelectAll"), "0");
  EXPECT_EQ(RegText(win::HKEY_CURRENT_USER, "Software\\Fernwick", "CheckUpdate"), "1");
  EXPECT_TRUE(Settings.NotAutoBackup);
  EXPECT_FALSE(Settings.SelectAll);
  EXPECT_TRUE(Settings.CheckUpdate);
  ASSERT_TRUE(JobExists());

  // Opened again, the job shows with its picture and time.
  form = CreateOptionsForm();
  form->show();
  QCoreApplication::processEvents();
  EXPECT_TRUE(form->ChkRun->isChecked());
  EXPECT_TRUE(form->cbActiveTask->isChecked());
  EXPECT_EQ(form->dtpStartTime->time(), QTime(14, 5));
  EXPECT_EQ(form->SpinEditDays->value(), 7);
  EXPECT_EQ(form->abTaskName->text(), "Fernwick.job");
  EXPECT_TRUE(form->ImageTask->HasPicture());

  // Unticking shows 09:30 again; OK deletes the job.
  form->cbActiveTask->click();
  EXPECT_EQ(form->dtpStartTime->time(), QTime(9, 30));
  EXPECT_FALSE(form->SpinEditDays->isEnabled());
  form->ChkRun->setChecked(false);
  form->BitBtn1->click();
  EXPECT_FALSE(JobExists());
  EXPECT_EQ(RegText(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Fernwick.exe"),
            std::nullopt);
  EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(OptionsFormTest, CancelKeepsEverythingButAnIgnoreRowRemovedAtOnce) {
  Open();
  form->ChkRun->setChecked(true);
  form->ChkAutoBackup->setChecked(true);
  form->cbActiveTask->click();
  form->IgnoreListView->setCurrentItem(form->IgnoreListView->topLevelItem(0));
  form->RemoveSelectBtn->click();
  EXPECT_EQ(form->IgnoreListView->topLevelItemCount(), 1);
  EXPECT_EQ(FileText(kIgnoreFile), "\r\nHelp Section|HKEY_LOCAL_MACHINE\\Help|a\r\n");
  form->BtnCancel->click();

  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(RegText(win::HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Fernwick.exe"),
            std::nullopt);
  EXPECT_EQ(RegText(win::HKEY_CURRENT_USER, "Software\\Fernwick", "NotAutoBackup"), "0");
  EXPECT_FALSE(JobExists());
  EXPECT_EQ(FileText(kIgnoreFile), "\r\nHelp Section|HKEY_LOCAL_MACHINE\\Help|a\r\n");
}

TEST_F(OptionsFormTest, RemoveWithoutASelectionDoesNothing) {
  Open();
  form->IgnoreListView->clearSelection();
  form->IgnoreListView->setCurrentItem(nullptr);
  form->RemoveSelectBtn->click();
  EXPECT_EQ(form->IgnoreListView->topLevelItemCount(), 2);
  EXPECT_EQ(FileText(kIgnoreFile), kIgnoreText);
}

TEST_F(OptionsFormTest, TurningToAPageDropsItsUnsavedChanges) {
  Open();
  form->ChkAutoBackup->setChecked(true);
  form->MainPageControl->setCurrentIndex(2);
  form->cbActiveTask->click();
  form->MainPageControl->setCurrentIndex(0);
  EXPECT_FALSE(form->ChkAutoBackup->isChecked());
  form->MainPageControl->setCurrentIndex(2);
  EXPECT_FALSE(form->cbActiveTask->isChecked());
  EXPECT_EQ(form->dtpStartTime->time(), QTime(9, 30));
}

TEST_F(OptionsFormTest, WithoutTaskSchedulerTheDialogNeverShowsAndTheProgramEnds) {
  std::string config = TestMachine::DefaultConfigText();
  config.insert(config.find("[Drives]"), "TaskScheduler=0\r\n");
  Open(config);
  EXPECT_EQ(form, nullptr);
  EXPECT_TRUE(ApplicationTerminated());
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Error in ActiveX.CoCreateInstance.Error Code :80040154");
}

}  // namespace
