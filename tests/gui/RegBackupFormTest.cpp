#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "GuiTestApp.h"
#include "MouseEvents.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "recovery/RegBackupUnit.h"
#include "recovery/gui/RegBackupForm.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/HintUnit.h"
#include "shell/gui/ImageExUnit.h"

namespace {

const char* const kRepair = "C:\\Program Files\\Fernwick\\RepairBackup\\";

class RegBackupFormTest : public ::testing::Test {
 protected:
  RegBackupFormTest()
      : machine("[HKEY_CURRENT_USER\\Software\\Fernwick]\r\n\"Version\"=\"4.0\"\r\n",
                "C:\\Program Files\\Fernwick\\RepairBackup\\Repair_20080307_140509.reg | text=REGEDIT4\\r\\n\n"
                "C:\\Program Files\\Fernwick\\RepairBackup\\Repair_20080308_090000.reg | text=REGEDIT4\\r\\n\n"
                "C:\\Program Files\\Fernwick\\RepairBackup\\Repair_20080309_090000.reg | text=REGEDIT4\\r\\n\n"
                "C:\\Program Files\\Fernwick\\RepairBackup\\startup.dat\n") {
    GuiApp();
    ResetSharedState();
    dm = std::make_unique<TDM>();
    form = std::make_unique<TRegBackupForm>();
    form->Clock = [] { return TDateTime{2008, 3, 7, 14, 5, 9}; };
    form->resize(590, 440);
    form->show();
    QCoreApplication::processEvents();
  }
  ~RegBackupFormTest() override {
    SetProcessMessagesHook(nullptr);
    form.reset();
    dm.reset();
    ResetSharedState();
  }

  static QStringList Files(const QTreeWidget* list) {
    QStringList names;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
      names << QString::fromStdString(win::ExtractFileName(list->topLevelItem(i)->data(0, Qt::UserRole).toString().toStdString()));
    return names;
  }

  TestMachine machine;
  ScriptedDialogs dialogs;
  std::unique_ptr<TDM> dm;
  std::unique_ptr<TRegBackupForm> form;
};

TEST_F(RegBackupFormTest, ShowsTheRepairBackupsOnAlternatingRows) {
  EXPECT_EQ(form->BackupNotebook->currentIndex(), 0);
  EXPECT_EQ(Files(form->PartialListView),
            (QStringList{"Repair_20080307_140509.reg", "Repair_20080308_090000.reg", "Repair_20080309_090000.reg"}));
  const QColor band(0x56, 0xAB, 0xAB);
  for (int i = 0; i < 3; ++i) {
    const QBrush background = form->PartialListView->topLevelItem(i)->background(0);
    if (i % 2 == 0) EXPECT_EQ(background.color(), band) << i;
    else EXPECT_EQ(background.style(), Qt::NoBrush) << i;
    EXPECT_FALSE(form->PartialListView->topLevelItem(i)->icon(0).isNull());
  }
  EXPECT_TRUE(form->PartialSheet->HasPicture());
  EXPECT_TRUE(form->RestorePartialBtn->HasPicture());
}

TEST_F(RegBackupFormTest, ButtonsShowTheirHoverPicture) {
  const QImage normal = form->RemovePartialBtn->Picture();
  SendEnter(form->RemovePartialBtn);
  const QImage hover = form->RemovePartialBtn->Picture();
  EXPECT_NE(hover, normal);
  // The hover frame's own colour at its left edge, half-way down.
  EXPECT_EQ(hover.pixelColor(1, 14), dm->BtnImageList.Frame(1).pixelColor(1, 14));
  SendLeave(form->RemovePartialBtn);
  EXPECT_EQ(form->RemovePartialBtn->Picture(), normal);
}

TEST_F(RegBackupFormTest, CreateBackupAddsItsRowOnTheFullPageWhileTheWaitWindowShows) {
  SendClick(form->FullSheet);
  EXPECT_EQ(form->BackupNotebook->currentIndex(), 1);
  EXPECT_EQ(form->BackupDataListView->topLevelItemCount(), 0);
  bool waitShown = false;
  SetProcessMessagesHook([&] {
    for (QWidget* window : QApplication::topLevelWidgets())
      if (qobject_cast<THintForm*>(window) && window->isVisible()) waitShown = true;
  });
  SendClick(form->BackupRegistryBtn);
  SendClick(form->BackupRegistryBtn);
  EXPECT_TRUE(waitShown);
  EXPECT_EQ(Files(form->BackupDataListView), (QStringList{"Backup_20080307_140509.reg", "Backup_20080307_140509_2.reg"}));
  EXPECT_EQ(form->BackupDataListView->topLevelItem(1)->background(0).style(), Qt::NoBrush);
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, recovery::kBackupCreatedMessage);
  for (QWidget* window : QApplication::topLevelWidgets())
    EXPECT_FALSE(qobject_cast<THintForm*>(window) && window->isVisible());
}

TEST_F(RegBackupFormTest, RemoveDropsTheRowAndKeepsItWhenTheFileIsGone) {
  form->PartialListView->setCurrentItem(form->PartialListView->topLevelItem(0));
  dialogs.setNextAnswer(IDYES);
  SendClick(form->RemovePartialBtn);
  EXPECT_EQ(Files(form->PartialListView), (QStringList{"Repair_20080308_090000.reg", "Repair_20080309_090000.reg"}));
  EXPECT_FALSE(win::FileExists(std::string(kRepair) + "Repair_20080307_140509.reg"));
  // Rows are coloured again from the top.
  EXPECT_EQ(form->PartialListView->topLevelItem(0)->background(0).color(), QColor(0x56, 0xAB, 0xAB));

  ASSERT_TRUE(win::DeleteFile(std::string(kRepair) + "Repair_20080308_090000.reg"));
  form->PartialListView->setCurrentItem(form->PartialListView->topLevelItem(0));
  dialogs.setNextAnswer(IDYES);
  SendClick(form->RemovePartialBtn);
  EXPECT_EQ(form->PartialListView->topLevelItemCount(), 2);
  EXPECT_EQ(dialogs.messages().back().text, recovery::kRemoveFailedMessage);
}

TEST_F(RegBackupFormTest, RestoreWithoutASelectionAsksForOne) {
  form->PartialListView->setCurrentItem(nullptr);
  SendClick(form->RestorePartialBtn);
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, recovery::kSelectItemMessage);
}

TEST_F(RegBackupFormTest, FactoryMakesAHiddenChildOfThePanel) {
  QWidget panel;
  TRegBackupForm* backup = CreateRegBackupForm(&panel);
  EXPECT_EQ(backup->parentWidget(), &panel);
  EXPECT_FALSE(backup->isVisible());
  EXPECT_EQ(backup->objectName(), "RegBackupForm");
}

}  // namespace
