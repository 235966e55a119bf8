// The startup manager and uninstaller manager windows over small machines:
// what they list, what clicks and buttons do, and that nothing happens while
// a long operation runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <chrono>
#include <memory>
#include <thread>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "tools/gui/InstalledManageForm.h"
#include "tools/gui/StartupManagerForm.h"

namespace {

const char* const kShellFolders =
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"Startup\"=\"C:\\\\Startup\"\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
    "\"Tool\"=\"C:\\\\Apps\\\\tool.exe /q\"\n";

class StartupManagerFormTest : public ::testing::Test {
 protected:
  StartupManagerFormTest()
      : machine(kShellFolders, "C:\\Startup\\a.lnk | text=A\nC:\\Apps\\tool.exe | version=1.2.3.4;tr=040904b0;ProductName=Tool\n"
                               "C:\\Program Files\\Fernwick\\Fernwick.exe\n") {
    GuiApp();
    ResetSharedState();
    dm = std::make_unique<TDM>();
    form = std::make_unique<TStartupManagerForm>();
    form->show();
    QCoreApplication::processEvents();
  }
  ~StartupManagerFormTest() override {
    form.reset();
    dm.reset();
    ResetSharedState();
  }
  QStringList Column(int column) const {
    QStringList texts;
    for (int i = 0; i < form->StartupListView->topLevelItemCount(); ++i)
      texts << form->StartupListView->topLevelItem(i)->text(column);
    return texts;
  }

  TestMachine machine;
  ScriptedDialogs dialogs;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TStartupManagerForm> form;
};

TEST_F(StartupManagerFormTest, ListsOnShowAndTogglesPicturesAndDetails) {
  EXPECT_EQ(Column(0), (QStringList{"a.lnk", "Tool"}));
  EXPECT_EQ(Column(2), (QStringList{"Enable", "Enable"}));
  const QImage before = form->StartupListView->topLevelItem(1)->icon(0).pixmap(32, 16).toImage();
  form->StartupListViewMouseDown(1, TStartupManagerForm::kPictureLeft + 3);
  EXPECT_EQ(form->Engine().Rows()[1].ImageIndex, 1);
  EXPECT_NE(form->StartupListView->topLevelItem(1)->icon(0).pixmap(32, 16).toImage(), before);
  form->StartupListViewMouseDown(1, TStartupManagerForm::kStatePictureLeft + 3);
  ASSERT_EQ(form->StartupListView->topLevelItemCount(), 9);
  EXPECT_EQ(form->StartupListView->topLevelItem(4)->text(0), "Product Name");
  EXPECT_EQ(form->StartupListView->topLevelItem(4)->text(1), "Tool");
  form->StartupListView->setCurrentItem(form->StartupListView->topLevelItem(1));
  form->StartupListViewDblClick();
  EXPECT_EQ(form->StartupListView->topLevelItemCount(), 2);
  // A press beside the pictures does nothing.
  form->StartupListViewMouseDown(1, 60);
  EXPECT_EQ(form->Engine().Rows()[1].ImageIndex, 1);

  form->DeleteItemBtn->click();
  EXPECT_EQ(Column(0), (QStringList{"a.lnk", "Tool"}));
  EXPECT_EQ(Column(2), (QStringList{"Enable", "Disable"}));
}

TEST_F(StartupManagerFormTest, PagesSwitchTheButtonsAndRestore) {
  form->StartupListViewMouseDown(0, TStartupManagerForm::kPictureLeft + 3);
  dialogs.setNextAnswer(IDYES);
  form->BtRemove->click();
  EXPECT_EQ(Column(0), (QStringList{"Tool"}));
  form->PageCIndex->setCurrentIndex(1);
  EXPECT_TRUE(form->RestoreBtn->isEnabled());
  EXPECT_FALSE(form->DeleteItemBtn->isEnabled());
  EXPECT_FALSE(form->OpenPathBtn->isEnabled());
  EXPECT_FALSE(form->BtRemove->isEnabled());
  ASSERT_EQ(form->ListRestore->topLevelItemCount(), 1);
  EXPECT_EQ(form->ListRestore->topLevelItem(0)->text(1), "C:\\Startup\\a.lnk");
  form->ListRestore->topLevelItem(0)->setCheckState(0, Qt::Checked);
  form->RestoreBtn->click();
  EXPECT_EQ(form->ListRestore->topLevelItemCount(), 0);
  EXPECT_TRUE(win::FileExists("C:\\Startup\\a.lnk"));
  form->PageCIndex->setCurrentIndex(0);
  EXPECT_FALSE(form->RestoreBtn->isEnabled());
  EXPECT_EQ(Column(0), (QStringList{"a.lnk", "Tool"}));
}

TEST_F(StartupManagerFormTest, NothingHappensWhileBusy) {
  form->StartupListViewMouseDown(1, TStartupManagerForm::kPictureLeft + 3);
  {
    BusyGuard busy;
    form->StartupListViewMouseDown(0, TStartupManagerForm::kPictureLeft + 3);
    form->StartupListViewMouseDown(1, TStartupManagerForm::kStatePictureLeft + 3);
    form->DeleteItemBtn->click();
    dialogs.setNextAnswer(IDYES);
    form->BtRemove->click();
    form->PageCIndex->setCurrentIndex(1);
    EXPECT_EQ(form->PageCIndex->currentIndex(), 0);
  }
  EXPECT_EQ(dialogs.messages().size(), 0u);
  EXPECT_EQ(form->Engine().Rows()[0].ImageIndex, 0);
  EXPECT_EQ(form->StartupListView->topLevelItemCount(), 2);
  EXPECT_EQ(Column(2), (QStringList{"Enable", "Enable"}));
}

const char* const kUninstallReg =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Beta]\n"
    "\"DisplayName\"=\"Beta\"\n"
    "\"UninstallString\"=\"C:\\\\Program Files\\\\Beta App\\\\uninst.bat /S\"\n"
    "\"InstallDate\"=\"20050307\"\n"
    "\"Publisher\"=\"b\"\n"
    "\"URLInfoAbout\"=\"http://beta.invalid\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha]\n"
    "\"DisplayName\"=\"Alpha\"\n"
    "\"UninstallString\"=\"C:\\\\Alpha\\\\gone.exe\"\n"
    "\"Publisher\"=\"A\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Alpha\\Child]\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Gamma]\n"
    "\"DisplayName\"=\"Gamma\"\n"
    "\"UninstallString\"=\"C:\\\\Gamma\\\\notes.txt\"\n"
    "\"InstallDate\"=\"20010101\"\n"
    "\"Publisher\"=\"a\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KB1]\n"
    "\"DisplayName\"=\"Update\"\n"
    "\"UninstallString\"=\"C:\\\\kb.exe\"\n"
    "\"ParentKeyName\"=\"OperatingSystem\"\n";

class InstalledManageFormTest : public ::testing::Test {
 protected:
  InstalledManageFormTest()
      : machine(kUninstallReg,
                "C:\\Program Files\\Beta App\\beta.exe | text=B\n"
                "C:\\Program Files\\Beta App\\uninst.bat | exec | text=#!/bin/sh\\ncd \"$(dirname \"$0\")\" && "
                "rm -f beta.exe\\n\n"
                "C:\\Gamma\\notes.txt | text=not a program\n") {
    GuiApp();
    ResetSharedState();
    form = std::make_unique<TInstalledManageForm>();
    form->show();
    QCoreApplication::processEvents();
  }
  ~InstalledManageFormTest() override {
    form.reset();
    ResetSharedState();
  }
  QStringList Column(int column) const {
    QStringList texts;
    for (int i = 0; i < form->ListInstalled->topLevelItemCount(); ++i)
      texts << form->ListInstalled->topLevelItem(i)->text(column);
    return texts;
  }
  void Select(int row) { form->ListInstalled->setCurrentItem(form->ListInstalled->topLevelItem(row)); }

  TestMachine machine;
  ScriptedDialogs dialogs;
  std::unique_ptr<TInstalledManageForm> form;
};

TEST_F(InstalledManageFormTest, ListsSortsAndShowsDetails) {
  EXPECT_EQ(Column(0), (QStringList{"Alpha", "Beta", "Gamma"}));
  EXPECT_EQ(Column(1), (QStringList{"", "3/7/2005", "1/1/2001"}));
  EXPECT_EQ(Column(2), (QStringList{"A", "b", "a"}));
  // Header clicks: a new column sorts ascending, the same one again toggles.
  struct Click {
    int column;
    int direction;
    QStringList names;
  };
  const std::vector<Click> clicks = {{1, 0, {"Gamma", "Beta", "Alpha"}},
                                     {1, 1, {"Alpha", "Beta", "Gamma"}},
                                     {2, 0, {"Alpha", "Gamma", "Beta"}},
                                     {2, 1, {"Beta", "Gamma", "Alpha"}}};
  for (const Click& click : clicks) {
    form->ListInstalled->header()->sectionClicked(click.column);
    EXPECT_EQ(form->SortColumn(), click.column);
    EXPECT_EQ(form->SortDirection(), click.direction);
    EXPECT_EQ(Column(0), click.names) << click.column << " " << click.direction;
  }
  form->ShowWindowsUpdate->click();
  EXPECT_EQ(Column(0), (QStringList{"Beta", "Gamma", "Update", "Alpha"}));
  EXPECT_EQ(form->SortColumn(), 2);

  Select(3);
  EXPECT_EQ(form->abProgramName->text(), "Alpha");
  EXPECT_TRUE(form->caVersion->isVisibleTo(form.get()));
  EXPECT_FALSE(form->abInstruct1->isVisibleTo(form.get()));
  EXPECT_EQ(form->abVersion->text(), "NOT AVAILABLE");
  EXPECT_EQ(form->abHomePage->text(), "NOT AVAILABLE");
  form->ListInstalled->clearSelection();
  EXPECT_EQ(form->abProgramName->text(), "Instructions");
  EXPECT_TRUE(form->abInstruct1->isVisibleTo(form.get()));
  EXPECT_EQ(form->abVersion->text(), "");
}

TEST_F(InstalledManageFormTest, RemoveAsksAndDeletesOnlyThatEntry) {
  form->TbrRemove->click();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "Please select one application to continue this operation.");
  Select(0);
  dialogs.setNextAnswer(IDNO);
  form->TbrRemove->click();
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].flags, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
  EXPECT_EQ(dialogs.messages()[1].text.substr(0, 66),
            "Warning: It is going to remove the registry information of \"Alpha\"");
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  const std::string uninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  EXPECT_TRUE(registry.KeyExists(uninstall + "Alpha\\Child"));
  EXPECT_EQ(Column(0), (QStringList{"Alpha", "Beta", "Gamma"}));
  dialogs.setNextAnswer(IDYES);
  form->TbrRemove->click();
  EXPECT_FALSE(registry.KeyExists(uninstall + "Alpha"));
  EXPECT_TRUE(registry.KeyExists(uninstall + "Beta"));
  EXPECT_EQ(Column(0), (QStringList{"Beta", "Gamma"}));
}

TEST_F(InstalledManageFormTest, UninstallRunsScriptsAndChangesNothingElse) {
  Select(2);  // not a program: nothing runs
  form->TbtUninstall->click();
  Select(0);  // missing
  form->TbtUninstall->click();
  EXPECT_TRUE(win::FileExists("C:\\Gamma\\notes.txt"));
  EXPECT_EQ(Column(0), (QStringList{"Alpha", "Beta", "Gamma"}));
  Select(1);
  form->TbtUninstall->click();
  for (int i = 0; i < 100 && win::FileExists("C:\\Program Files\\Beta App\\beta.exe"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(win::FileExists("C:\\Program Files\\Beta App\\beta.exe"));
  EXPECT_TRUE(win::FileExists("C:\\Program Files\\Beta App\\uninst.bat"));
  EXPECT_TRUE(dialogs.messages().empty());
}

// The details panel after each action: name, version, publisher and home
// page of the program whose row is selected, or the instructions.
TEST_F(InstalledManageFormTest, DetailsShowTheSelectedProgramAfterEachAction) {
  const auto details = [this] {
    if (form->abInstruct1->isVisibleTo(form.get())) return std::string("instructions");
    return form->abProgramName->text().toStdString() + "|" + form->abVersion->text().toStdString() + "|" +
           form->abPublisher->text().toStdString() + "|" + form->abHomePage->text().toStdString();
  };
  const auto selected = [this] {
    const QList<QTreeWidgetItem*> rows = form->ListInstalled->selectedItems();
    return rows.isEmpty() ? std::string("-") : rows.front()->text(0).toStdString();
  };
  const struct {
    const char* action;
    int row;
    const char* selected;
    const char* details;
  } steps[] = {
      {"select", 1, "Beta", "Beta|NOT AVAILABLE|b|http://beta.invalid"},
      {"remove", -1, "Gamma", "Gamma|NOT AVAILABLE|a|NOT AVAILABLE"},  // the list selects the next row
      {"select", 0, "Alpha", "Alpha|NOT AVAILABLE|A|NOT AVAILABLE"},
      {"remove", -1, "Gamma", "Gamma|NOT AVAILABLE|a|NOT AVAILABLE"},
      {"select", 0, "Gamma", "Gamma|NOT AVAILABLE|a|NOT AVAILABLE"},
      {"refresh", -1, "-", "instructions"},
  };
  EXPECT_EQ(details(), "instructions");
  for (const auto& step : steps) {
    SCOPED_TRACE(std::string(step.action) + " " + std::to_string(step.row));
    const std::string action = step.action;
    if (action == "select") {
      Select(step.row);
    } else if (action == "remove") {
      dialogs.setNextAnswer(IDYES);
      form->TbrRemove->click();
    } else {
      form->TbtRefresh->click();
    }
    EXPECT_EQ(selected(), step.selected);
    EXPECT_EQ(details(), step.details);
  }
  EXPECT_EQ(Column(0), (QStringList{"Gamma"}));
}

}  // namespace
