// The Evidence Cleaner window: the exclusion dialog's OK rule, and the real
// window opened from its launcher on the sample machine, driven as a user
// would: untick, scan, untick a row, clean, finish, scan again.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeWidget>
#include <string>

#include "GuiTestApp.h"
#include "ToolWindowTest.h"
#include "MouseEvents.h"
#include "SampleMachineCopy.h"
#include "platform/FileSystem.h"
#include "platform/UrlCache.h"
#include "privacy/gui/EvidenceCleanerUnit.h"
#include "privacy/gui/ExcludeDataUnit.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DMUnit.h"
#include "shell/gui/MainUnit.h"

namespace {

class EvidenceCleanerWindow : public ToolWindowTest {
 protected:
  void SetUp() override {
    ToolWindowTest::SetUp();
    Settings.SelectAll = true;
  }
  // The tool window opened from its launcher on the Tools page.
  static TEvidenceCleanerForm* Open(TFernwickForm& form) {
    form.show();
    form.AdvancedBtnClick();
    form.ImageExClick(4);
    return qobject_cast<TEvidenceCleanerForm*>(form.ToolForm(ToolWindow::EvidenceCleanerForm));
  }
  // A press on the state icon of a tree item.
  static void PressState(QTreeWidget* tree, QTreeWidgetItem* item) {
    tree->doItemsLayout();
    const QRect rect = tree->visualItemRect(item);
    const QPoint at(rect.left() + 6, rect.center().y());
    SendMouse(tree->viewport(), QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
    SendMouse(tree->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
  }
  static QTreeWidgetItem* ItemNamed(QTreeWidget* tree, const QString& text) {
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.front();
  }
  static int CountOf(TEvidenceCleanerForm& ev, const std::string& item) {
    for (const TEvidenceNode& n : ev.Engine.CheckTree.Nodes)
      if (n.Level == 2 && n.Rec->ItemName == item) return n.Rec->Count;
    return -1;
  }
};

TEST_F(EvidenceCleanerWindow, ExcludeDialogEnablesOkForAnItemAndText) {
  TSectionList ie;
  BuildEvidenceItemList(0, ie);
  TExcludeDataForm dialog(ie);
  EXPECT_EQ(dialog.size(), QSize(336, 161));
  ASSERT_EQ(dialog.cbSection->count(), 3);
  EXPECT_EQ(dialog.cbSection->itemText(0), "Address Bar History");
  EXPECT_EQ(dialog.cbSection->itemText(1), "Cookies");
  EXPECT_EQ(dialog.cbSection->itemText(2), "Favorites");
  EXPECT_FALSE(dialog.mrOkBtn->isEnabled());
  struct Case {
    int item;
    const char* text;
    bool enabled;
  };
  const Case cases[] = {
      {-1, "", false},          {-1, "http://a/", false}, {0, "", false},
      {1, "   ", false},        {2, "\t ", false},        {0, "x", true},
      {1, "  site.htm ", true}, {2, "Links", true},       {2, "", false},  // cleared again
      {-1, "x", false},
  };
  for (const Case& c : cases) {
    dialog.cbSection->setCurrentIndex(c.item);
    dialog.edTextName->setText(QString::fromLatin1(c.text));
    EXPECT_EQ(dialog.mrOkBtn->isEnabled(), c.enabled) << c.item << " '" << c.text << "'";
  }
}

TEST_F(EvidenceCleanerWindow, ScanUntickCleanFinishAndScanAgainOnTheSampleMachine) {
  SampleMachineCopy machine;
  ASSERT_TRUE(machine.Ready());
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  TEvidenceCleanerForm* ev = Open(form);
  ASSERT_NE(ev, nullptr);
  EXPECT_TRUE(ev->isVisible());
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kScanPage);

  // A fresh tree: root, four categories, fifty items, all but Favorites ticked.
  QTreeWidgetItemIterator all(ev->tvItemsList);
  int nodes = 0;
  for (; *all; ++all) ++nodes;
  EXPECT_EQ(nodes, 55);
  EXPECT_EQ(ev->tvItemsList->currentItem(), ev->CheckItem(0));
  EXPECT_EQ(ev->Engine.CountTickedItems(), 49);

  // Untick "Cookies" by its state icon.
  QTreeWidgetItem* cookies = ItemNamed(ev->tvItemsList, "Cookies");
  ASSERT_NE(cookies, nullptr);
  PressState(ev->tvItemsList, cookies);
  EXPECT_EQ(ev->Engine.CountTickedItems(), 48);

  ev->ScanNowBtn->click();
  EXPECT_EQ(ScanState, 0);
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kResultPage);
  EXPECT_FALSE(ev->ScanNowBtn->isHidden());
  EXPECT_TRUE(ev->AbortBtn->isHidden());
  EXPECT_EQ(CountOf(*ev, "Cookies"), 0);
  EXPECT_EQ(CountOf(*ev, "Cache"), 9);
  EXPECT_EQ(CountOf(*ev, "RecycleBin"), 3);
  const int found = ev->Engine.FoundCount;
  EXPECT_EQ(ev->abResultCount->text().toInt(), found);
  EXPECT_EQ(ev->ResultListView->model()->rowCount(), found);
  EXPECT_EQ(ItemNamed(ev->ResultTreeView, "Cookies"), nullptr);

  // Untick the first row, a cache entry, by its state icon.
  ASSERT_EQ(ev->ResultListView->model()->index(0, 0).data().toString(), "Cache");
  const std::string keptUrl = ev->Engine.ResultRows[0].Finding->Name;
  ev->ResultListView->doItemsLayout();
  const QRect first = ev->ResultListView->visualRect(ev->ResultListView->model()->index(0, 0));
  SendMouse(ev->ResultListView->viewport(), QEvent::MouseButtonPress, Qt::LeftButton,
            QPoint(first.left() + 6, first.center().y()), Qt::LeftButton);
  EXPECT_EQ(ev->Engine.ResultRows[0].Finding->Checked, 0);
  EXPECT_EQ(ev->abHintStr->text().toStdString().rfind(std::to_string(found - 1) + " items found", 0), 0u)
      << ev->abHintStr->text().toStdString();

  ev->CleanBtn->click();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  // The browser caches' subfolders are listed as files and cannot be wiped.
  EXPECT_EQ(dialogs.messages()[0].text,
            "2 of " + std::to_string(found - 1) + " evidences could not be cleaned.");
  EXPECT_TRUE(ev->CleanBtn->isHidden());
  EXPECT_FALSE(ev->FinishBtn->isHidden());
  const QAbstractItemModel* rows = ev->ResultListView->model();
  EXPECT_EQ(rows->rowCount(), found);
  EXPECT_EQ(rows->index(0, 3).data().toString(), "");
  EXPECT_EQ(rows->index(1, 3).data().toString(), "Deleted");
  EXPECT_TRUE(win::UrlCacheEntryExists(keptUrl));
  EXPECT_FALSE(win::FileExists("C:\\Recycled\\Dc1.txt"));
  EXPECT_TRUE(win::FileExists("C:\\Recycled\\INFO2"));

  ev->FinishBtn->click();
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kScanPage);
  EXPECT_FALSE(ev->CleanBtn->isHidden());
  EXPECT_EQ(CountOf(*ev, "Cache"), 1);
  EXPECT_EQ(CountOf(*ev, "FireFoxCache"), 1);
  EXPECT_EQ(CountOf(*ev, "NetscapeCache"), 1);
  EXPECT_EQ(ev->Engine.CheckTree.Nodes[0].Rec->Count, 3);
  EXPECT_EQ(ev->Engine.CountTickedItems(), 49);  // the ticks are the defaults again

  ev->ScanNowBtn->click();
  EXPECT_EQ(CountOf(*ev, "Cache"), 1);
  EXPECT_EQ(CountOf(*ev, "Cookies"), 3);
  EXPECT_EQ(CountOf(*ev, "Address Bar History"), 0);
  EXPECT_EQ(CountOf(*ev, "RecycleBin"), 0);
  EXPECT_EQ(CountOf(*ev, "FireFoxCache"), 1);
  EXPECT_EQ(ev->Engine.FoundCount, 6);
}

TEST_F(EvidenceCleanerWindow, ExcludeARowThenModifyAndRemoveItsEntry) {
  SampleMachineCopy machine;
  ASSERT_TRUE(machine.Ready());
  ScriptedDialogs dialogs;
  TDM dm;
  TFernwickForm form;
  TEvidenceCleanerForm* ev = Open(form);
  ASSERT_NE(ev, nullptr);
  ev->ScanNowBtn->click();
  const int cookies = CountOf(*ev, "Cookies");
  ASSERT_GT(cookies, 0);

  // A right click selects the row under the mouse; "Exclude" takes that one.
  QTreeWidgetItem* cookiesNode = ItemNamed(ev->ResultTreeView, "Cookies");
  ASSERT_NE(cookiesNode, nullptr);
  ev->ResultTreeView->setCurrentItem(cookiesNode);
  ASSERT_EQ(ev->ResultListView->model()->rowCount(), cookies);
  ev->ResultListView->doItemsLayout();
  const QRect second = ev->ResultListView->visualRect(ev->ResultListView->model()->index(1, 1));
  SendMouse(ev->ResultListView->viewport(), QEvent::MouseButtonPress, Qt::RightButton, second.center(),
            Qt::RightButton);
  const std::string url = ev->Engine.ResultRows[1].Finding->Name;
  ev->Exclude1->trigger();
  EXPECT_EQ(ev->ResultListView->model()->rowCount(), cookies - 1);
  EXPECT_EQ(ev->abResultCount->text().toInt(), cookies - 1);
  EXPECT_EQ(CountOf(*ev, "Cookies"), cookies - 1);
  ASSERT_EQ(ev->Engine.ExcludeList.Count(), 1);
  EXPECT_EQ(ev->Engine.ExcludeList.GetItem(0).Key, url);

  // The Exclude page: counts in the tree, the entry in the list.
  SendClick(ev->ExcludeBtn);
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kExcludePage);
  EXPECT_EQ(ev->ExcludeListView->topLevelItemCount(), 1);
  QTreeWidgetItem* excludedCookies = ItemNamed(ev->tvExclude, "Cookies");
  ASSERT_NE(excludedCookies, nullptr);
  ev->tvExclude->setCurrentItem(excludedCookies);
  ASSERT_EQ(ev->ExcludeListView->topLevelItemCount(), 1);
  EXPECT_EQ(ev->ExcludeListView->topLevelItem(0)->text(0), "Cookies");
  EXPECT_EQ(ev->ExcludeListView->topLevelItem(0)->text(1).toStdString(), url);
  EXPECT_EQ(ev->Engine.ExcludeCounts[4], 1);

  // "Modify" shows the dialog with the item and the text; OK changes the entry.
  ev->ExcludeListView->setCurrentItem(ev->ExcludeListView->topLevelItem(0));
  QString caption;
  int item = -2;
  QString shown;
  ev->RunModal = [&](QDialog& dialog) {
    auto* data = qobject_cast<TExcludeDataForm*>(&dialog);
    if (!data) return false;
    caption = data->windowTitle();
    item = data->cbSection->currentIndex();
    shown = data->edTextName->text();
    data->edTextName->setText(QStringLiteral("Cookie:owner@changed/"));
    return data->mrOkBtn->isEnabled();
  };
  ev->ModifyBtn->click();
  EXPECT_EQ(caption, "Modify Exclude Item");
  EXPECT_EQ(item, 1);
  EXPECT_EQ(shown.toStdString(), url);
  EXPECT_EQ(ev->ExcludeListView->topLevelItem(0)->text(1), "Cookie:owner@changed/");
  EXPECT_EQ(ev->Engine.ExcludeList.GetItem(0).Key, "Cookie:owner@changed/");

  ev->ExcludeListView->setCurrentItem(ev->ExcludeListView->topLevelItem(0));
  ev->RemoveBtn->click();
  EXPECT_EQ(ev->ExcludeListView->topLevelItemCount(), 0);
  EXPECT_EQ(ev->Engine.ExcludeList.Count(), 0);
  EXPECT_EQ(ev->Engine.ExcludeCounts[0], 0);
  EXPECT_TRUE(dialogs.messages().empty());
}

}  // namespace

