// The file shredder on the Evidence Cleaner's Advanced page, opened from its
// launcher on the sample machine: "old drafts" shredded as a user would, and
// nothing else moving while the shred runs.

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCoreApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <string>

#include "GuiTestApp.h"
#include "ToolWindowTest.h"
#include "MouseEvents.h"
#include "SampleMachineCopy.h"
#include "platform/files/FileSystem.h"
#include "privacy/gui/AdvancedShredForm.h"
#include "privacy/gui/EvidenceCleanerForm.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/MainUnit.h"

namespace {

const std::string kDrafts = "C:\\Documents and Settings\\Owner\\My Documents\\old drafts";

using AdvancedShredWindow = ToolWindowTest;

TEST_F(AdvancedShredWindow, OldDraftsAreShreddedWhileTabsButtonsAndPagesWait) {
  SampleMachineCopy machine;
  ASSERT_TRUE(machine.Ready());
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  form.show();
  form.AdvancedBtnClick();
  form.ImageExClick(4);
  auto* evidence = qobject_cast<TEvidenceCleanerForm*>(form.ToolForm(ToolWindow::EvidenceCleanerForm));
  ASSERT_NE(evidence, nullptr);
  SendClick(evidence->AdvancedBtn);
  ASSERT_EQ(evidence->DataNotebook->currentIndex(), kAdvancedPage);
  TAdvancedShredForm* page = evidence->AdvancedShred;
  ASSERT_TRUE(page->isVisible());

  dialogs.setNextFileName(kDrafts);
  page->BitBtn1->click();
  ASSERT_EQ(page->listAdd->count(), 1);
  EXPECT_EQ(page->listAdd->item(0)->text().toStdString(), kDrafts);
  page->RGButtons->button(1)->click();  // Safe

  int calls = 0;
  std::size_t messagesDuring = 0;
  SetProcessMessagesHook([&] {
    if (++calls != 2) return;
    messagesDuring = dialogs.messages().size();
    page->btnShred->click();                 // pressed again
    page->RGButtons->button(2)->click();     // another level
    page->RemoveAllFilesfromthelist1->trigger();
    SendClick(evidence->ScanBtn);
    EXPECT_FALSE(form.ScanBtnClick());       // the main window's pages
    EXPECT_EQ(evidence->DataNotebook->currentIndex(), kAdvancedPage);
    EXPECT_EQ(messagesDuring, dialogs.messages().size());
  });
  dialogs.setNextAnswer(IDYES);
  page->btnShred->click();
  SetProcessMessagesHook(nullptr);
  EXPECT_GT(calls, 2);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(page->Shred.ShredPasses, 2);

  // Everything but the read-only draft is gone; nothing went to the bin.
  EXPECT_FALSE(win::FileExists(kDrafts + "\\letter to bank.doc"));
  EXPECT_FALSE(win::DirectoryExists(kDrafts + "\\notes"));
  EXPECT_TRUE(win::FileExists(kDrafts + "\\cv 2006.doc"));
  EXPECT_EQ(win::GetFileAttributes(kDrafts + "\\cv 2006.doc"), 33u);
  EXPECT_FALSE(win::FileExists("C:\\Recycled\\Dc1.doc"));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, "1 of 1 items could not be shredded.");
  ASSERT_EQ(page->listAdd->count(), 1);
  EXPECT_EQ(page->listAdd->item(0)->text().toStdString(), kDrafts);
  EXPECT_EQ(evidence->DataNotebook->currentIndex(), kAdvancedPage);

  // "Remove Selected Files from the list" takes the selected lines: a click,
  // two Ctrl clicks, and a Ctrl click that unselects the current line.
  page->AddAllRecycleFile1->trigger();
  ASSERT_EQ(page->listAdd->count(), 4);
  const QString second = page->listAdd->item(1)->text();
  const QString fourth = page->listAdd->item(3)->text();
  const auto click = [&page](int line, Qt::KeyboardModifiers modifiers) {
    page->listAdd->doItemsLayout();
    const QPointF at = page->listAdd->visualItemRect(page->listAdd->item(line)).center();
    QWidget* viewport = page->listAdd->viewport();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, modifiers);
      QCoreApplication::sendEvent(viewport, &event);
    }
  };
  click(0, Qt::NoModifier);
  click(2, Qt::ControlModifier);
  click(3, Qt::ControlModifier);
  click(3, Qt::ControlModifier);
  ASSERT_EQ(page->listAdd->currentRow(), 3);
  page->RemoveSelectedFilesfromthelist1->trigger();
  ASSERT_EQ(page->listAdd->count(), 2);
  EXPECT_EQ(page->listAdd->item(0)->text(), second);
  EXPECT_EQ(page->listAdd->item(1)->text(), fourth);
  EXPECT_EQ(page->Shred.listAdd.size(), 2u);
  form.hide();
}

}  // namespace
