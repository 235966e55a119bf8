// The Evidence Cleaner window: the exclusion dialog's OK rule, and the real
// window opened from its launcher on the sample machine, driven as a user
// would: untick, scan, untick a row, clean, finish, scan again.

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTreeWidget>
#include <optional>
#include <string>

#include "GuiTestApp.h"
#include "ToolWindowTest.h"
#include "MouseEvents.h"
#include "SampleMachineCopy.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/shell/UrlCache.h"
#include "privacy/ExcludeListUnit.h"
#include "privacy/gui/AdvancedShredForm.h"
#include "privacy/gui/EvidenceCleanerForm.h"
#include "privacy/gui/ExcludeDataUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/DM.h"
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
  // Where on a tree row a press lands.
  enum class Spot { Box, Arrow, Indent, Image };
  static QPoint SpotOf(TEvidenceCleanerForm& ev, QTreeWidget* tree, QTreeWidgetItem* item, Spot spot) {
    tree->doItemsLayout();
    const QRect rect = tree->visualItemRect(item);
    const QRect box = ev.StateBoxRect(tree, item);
    switch (spot) {
      case Spot::Box: return box.center();
      case Spot::Arrow: return QPoint(rect.left() - tree->indentation() / 2, rect.center().y());
      case Spot::Indent: return QPoint(3, rect.center().y());
      case Spot::Image: return QPoint(box.right() + 10, rect.center().y());
    }
    return {};
  }
  // A press and release there; a double click when twice.
  static void PressAt(TEvidenceCleanerForm& ev, QTreeWidget* tree, QTreeWidgetItem* item, Spot spot,
                      bool twice = false) {
    const QPoint at = SpotOf(ev, tree, item, spot);
    SendMouse(tree->viewport(), QEvent::MouseButtonPress, Qt::LeftButton, at, Qt::LeftButton);
    SendMouse(tree->viewport(), QEvent::MouseButtonRelease, Qt::LeftButton, at, Qt::NoButton);
    if (!twice) return;
    SendMouse(tree->viewport(), QEvent::MouseButtonDblClick, Qt::LeftButton, at, Qt::LeftButton);
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
  // A fresh copy of the sample machine with scripted dialogs and the main
  // window, not shown yet.
  bool StartOnSample() {
    machine.emplace();
    if (!machine->Ready()) return false;
    dialogs.emplace();
    dm.emplace();
    form.emplace();
    return true;
  }
  void TearDown() override {
    form.reset();
    dm.reset();
    dialogs.reset();
    machine.reset();
    ToolWindowTest::TearDown();
  }
  std::optional<SampleMachineCopy> machine;
  std::optional<ScriptedDialogs> dialogs;
  std::optional<TDM> dm;
  std::optional<TFernwickForm> form;
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
  // An entry's text comes back whole, however long (a cache URL can be).
  const QString url = QStringLiteral("http://") + QString(100000, QLatin1Char('x'));
  dialog.edTextName->setText(url);
  EXPECT_EQ(dialog.edTextName->text(), url);
}

TEST_F(EvidenceCleanerWindow, ScanUntickCleanFinishAndScanAgainOnTheSampleMachine) {
  ASSERT_TRUE(StartOnSample());
  TEvidenceCleanerForm* ev = Open(*form);
  ASSERT_NE(ev, nullptr);
  EXPECT_TRUE(ev->isVisible());
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kScanPage);

  EXPECT_EQ(ev->AdvancedShred, nullptr);  // made at the first visit of "Advanced"

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
  PressAt(*ev, ev->tvItemsList, cookies, Spot::Box);
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
  EXPECT_EQ(ev->ResultListView->columnWidth(1), 500);
  // A cookie text starts with its line break; its cell shows the breaks as
  // blanks, the finding keeps them.
  int cookieRows = 0;
  for (int row = 0; row < found; ++row) {
    const TResultContentItem& finding = *ev->Engine.ResultRows[static_cast<std::size_t>(row)].Finding;
    if (finding.Kind != kKindFirefoxCookie && finding.Kind != kKindNetscapeCookie) continue;
    ++cookieRows;
    const QString cell = ev->ResultListView->model()->index(row, 1).data().toString();
    EXPECT_TRUE(cell.startsWith(QStringLiteral(" ."))) << cell.toStdString();
    EXPECT_FALSE(cell.contains(QLatin1Char('\r')) || cell.contains(QLatin1Char('\n'))) << cell.toStdString();
    const std::string& text = finding.Kind == kKindFirefoxCookie ? finding.FirefoxCookie : finding.NetscapeCookie;
    EXPECT_EQ(text.rfind("\r\n.", 0), 0u);
  }
  EXPECT_EQ(cookieRows, 4);

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
  ASSERT_EQ(dialogs->messages().size(), 1u);
  // The browser caches' subfolders are listed as files and cannot be wiped.
  EXPECT_EQ(dialogs->messages()[0].text,
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
  ASSERT_TRUE(StartOnSample());
  TEvidenceCleanerForm* ev = Open(*form);
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
  EXPECT_EQ(ev->ExcludeListView->columnWidth(1), ev->ExcludeListView->width() - 140 - 20);
  ev->ExcludeListView->resize(ev->ExcludeListView->width() + 50, ev->ExcludeListView->height());
  EXPECT_EQ(ev->ExcludeListView->columnWidth(1), ev->ExcludeListView->width() - 140 - 20);
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
  EXPECT_TRUE(dialogs->messages().empty());
}

// Presses land where they are drawn, on both trees: the tick box ticks, the
// arrow expands or collapses, the indentation does nothing, and the node's
// picture only selects. A double click on the box ticks twice.
TEST_F(EvidenceCleanerWindow, PressesActOnTheBoxTheArrowAndNothingInTheIndentation) {
  ASSERT_TRUE(StartOnSample());
  TEvidenceCleanerForm* ev = Open(*form);
  ASSERT_NE(ev, nullptr);
  struct Press {
    const char* node;
    Spot spot;
    bool twice;
    int ticked;          // ticked items afterwards
    const char* current;  // the current node afterwards
    bool softExpanded;    // "Windows Software" afterwards
  };
  const Press checkTree[] = {
      {"Windows Software", Spot::Arrow, false, 49, "My Computer", false},
      {"Windows Software", Spot::Arrow, false, 49, "My Computer", true},
      {"Paint", Spot::Indent, false, 49, "My Computer", true},
      {"Windows Software", Spot::Indent, false, 49, "My Computer", true},
      {"Paint", Spot::Box, false, 48, "Paint", true},
      {"WordPad", Spot::Image, false, 48, "WordPad", true},
      {"Windows Software", Spot::Box, false, 33, "Windows Software", true},
      {"Cookies", Spot::Box, true, 33, "Cookies", true},
      {"Windows Software", Spot::Box, false, 49, "Windows Software", true},
  };
  for (const Press& p : checkTree) {
    QTreeWidgetItem* item = ItemNamed(ev->tvItemsList, p.node);
    ASSERT_NE(item, nullptr) << p.node;
    PressAt(*ev, ev->tvItemsList, item, p.spot, p.twice);
    EXPECT_EQ(ev->Engine.CountTickedItems(), p.ticked) << p.node << " " << static_cast<int>(p.spot);
    EXPECT_EQ(ev->tvItemsList->currentItem()->text(0), p.current) << p.node << " " << static_cast<int>(p.spot);
    EXPECT_EQ(ItemNamed(ev->tvItemsList, "Windows Software")->isExpanded(), p.softExpanded) << p.node;
  }

  ev->ScanNowBtn->click();
  ASSERT_EQ(ev->DataNotebook->currentIndex(), kResultPage);
  QTreeWidget* tree = ev->ResultTreeView;
  const auto shown = [&](const char* node) {
    return ev->Engine.ResultStates[static_cast<std::size_t>(ItemNamed(tree, node)->data(0, Qt::UserRole).toInt())];
  };
  const auto cacheTicks = [&] {
    int ticked = 0;
    for (std::int32_t i = 0; i < ev->Engine.Results[0].Count(); ++i)
      ticked += ev->Engine.Results[0].GetItem(i).ItemName == "Cache" && ev->Engine.Results[0].GetItem(i).Checked;
    return ticked;
  };
  ASSERT_EQ(cacheTicks(), 9);
  PressAt(*ev, tree, ItemNamed(tree, "Internet Explorer"), Spot::Arrow);
  EXPECT_FALSE(ItemNamed(tree, "Internet Explorer")->isExpanded());
  EXPECT_EQ(shown("Internet Explorer"), kStateTicked);
  PressAt(*ev, tree, ItemNamed(tree, "Internet Explorer"), Spot::Arrow);
  EXPECT_TRUE(ItemNamed(tree, "Internet Explorer")->isExpanded());
  PressAt(*ev, tree, ItemNamed(tree, "Cache"), Spot::Indent);
  EXPECT_EQ(tree->currentItem()->text(0), "My Computer");
  EXPECT_EQ(cacheTicks(), 9);
  PressAt(*ev, tree, ItemNamed(tree, "Cache"), Spot::Box);
  EXPECT_EQ(shown("Cache"), kStateUnticked);
  EXPECT_EQ(cacheTicks(), 0);

  // The Scan page sets its own ticks back; the result tree keeps what it
  // shows, and one press flips it.
  SendClick(ev->ScanBtn);
  SendClick(ev->ResultBtn);
  EXPECT_EQ(shown("Cache"), kStateUnticked);
  PressAt(*ev, tree, ItemNamed(tree, "Cache"), Spot::Box);
  EXPECT_EQ(shown("Cache"), kStateTicked);
  EXPECT_EQ(cacheTicks(), 9);
  PressAt(*ev, tree, ItemNamed(tree, "Internet Explorer"), Spot::Box);
  EXPECT_EQ(shown("Internet Explorer"), kStateUnticked);
  EXPECT_EQ(shown("Cache"), kStateUnticked);
  EXPECT_EQ(cacheTicks(), 0);
}

// The node being scanned, or -1.
int BusyNode(const TEvidenceCleanerForm& ev) {
  for (int i = 0; i < ev.Engine.CheckTree.Count(); ++i)
    if (ev.Engine.CheckTree.Nodes[i].ImageIndex >= kImageBusyFirst) return i;
  return -1;
}

TEST_F(EvidenceCleanerWindow, CancelDuringAScanStopsItWhileTabsTicksAndPagesWait) {
  ASSERT_TRUE(StartOnSample());
  TEvidenceCleanerForm* ev = Open(*form);
  ASSERT_NE(ev, nullptr);

  // Cancel pressed while the second Windows Software item ("WordPad") runs;
  // before that, tabs, ticks and the main window's pages do nothing.
  bool pressed = false;
  SetProcessMessagesHook([&] {
    if (pressed || BusyNode(*ev) != 13) return;
    pressed = true;
    EXPECT_TRUE(ev->ScanNowBtn->isHidden());
    EXPECT_FALSE(ev->AbortBtn->isHidden());
    SendClick(ev->ExcludeBtn);
    SendClick(ev->AdvancedBtn);
    EXPECT_EQ(ev->DataNotebook->currentIndex(), kScanPage);
    PressAt(*ev, ev->tvItemsList, ItemNamed(ev->tvItemsList, "Telnet Menu History"), Spot::Box);
    EXPECT_EQ(ev->Engine.CountTickedItems(), 49);
    EXPECT_FALSE(form->ScanBtnClick());
    ev->ScanNowBtn->click();  // hidden, and a scan runs
    ev->AbortBtn->click();
  });
  ev->ScanNowBtn->click();
  SetProcessMessagesHook(nullptr);
  ASSERT_TRUE(pressed);
  EXPECT_EQ(ScanState, 0);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(ev->DataNotebook->currentIndex(), kResultPage);
  EXPECT_FALSE(ev->ScanNowBtn->isHidden());
  EXPECT_TRUE(ev->AbortBtn->isHidden());
  // Internet Explorer and Paint ran to the end, WordPad stopped, the rest never ran.
  EXPECT_EQ(CountOf(*ev, "Cache"), 9);
  EXPECT_EQ(CountOf(*ev, "Paint"), 2);
  for (const char* item : {"Media Player History_List", "Run History", "RecycleBin", "GetRight"})
    EXPECT_EQ(CountOf(*ev, item), 0) << item;
  int shown = 0;
  for (const auto& results : ev->Engine.Results) shown += results.Count();
  EXPECT_EQ(ev->Engine.FoundCount, shown);
  EXPECT_EQ(ev->ResultListView->model()->rowCount(), shown);
  EXPECT_TRUE(dialogs->messages().empty());

  // A scan after the stop runs in full.
  ev->Engine.ScanBtnClick();
  ev->ScanNowBtn->click();
  EXPECT_EQ(CountOf(*ev, "RecycleBin"), 3);
  EXPECT_EQ(CountOf(*ev, "GetRight"), 3);
}

TEST_F(EvidenceCleanerWindow, TrayExitDuringAScanOrAShredEndsTheProgramOnceItStops) {
  ASSERT_TRUE(StartOnSample());
  TEvidenceCleanerForm* ev = Open(*form);
  ASSERT_NE(ev, nullptr);
  int terminations = 0;
  SetTerminateHandler([&terminations] { ++terminations; });

  int during = -1;
  SetProcessMessagesHook([&] {
    if (during >= 0 || BusyNode(*ev) != 30) return;  // "Windows Send To"
    dm->Exit1->trigger();
    during = terminations;
  });
  ev->ScanNowBtn->click();
  SetProcessMessagesHook(nullptr);
  EXPECT_EQ(during, 0) << "not while the scan runs";
  EXPECT_EQ(terminations, 1);
  EXPECT_EQ(ScanState, 0);
  EXPECT_EQ(CountOf(*ev, "Run History"), 6);
  EXPECT_EQ(CountOf(*ev, "Recent Files"), 0);

  // The shred: the wipe stops at its next entry and what is left stays listed.
  ResetTerminateRequest();
  terminations = 0;
  SetTerminateHandler([&terminations] { ++terminations; });
  const std::string drafts = "C:\\Documents and Settings\\Owner\\My Documents\\old drafts";
  SendClick(ev->AdvancedBtn);
  ASSERT_EQ(ev->DataNotebook->currentIndex(), kAdvancedPage);
  TAdvancedShredForm* page = ev->AdvancedShred;
  dialogs->setNextFileName(drafts);
  page->BitBtn1->click();
  ASSERT_EQ(page->listAdd->count(), 1);
  int calls = 0;
  during = -1;
  SetProcessMessagesHook([&] {
    if (++calls != 2) return;
    dm->Exit1->trigger();
    during = terminations;
  });
  dialogs->setNextAnswer(IDYES);
  page->btnShred->click();
  SetProcessMessagesHook(nullptr);
  EXPECT_EQ(during, 0) << "not while the shred runs";
  EXPECT_EQ(terminations, 1);
  EXPECT_FALSE(IsBusy());
  EXPECT_TRUE(win::DirectoryExists(drafts));
  EXPECT_TRUE(win::DirectoryExists(drafts + "\\notes"));
  ASSERT_EQ(page->listAdd->count(), 1);
  ASSERT_FALSE(dialogs->messages().empty());
  EXPECT_EQ(dialogs->messages().back().text, "1 of 1 items could not be shredded.");
}


TEST_F(EvidenceCleanerWindow, DamagedExclusionFileAndHugeUrlsAreShownAndKept) {
  ASSERT_TRUE(StartOnSample());
  // A cache entry with a 100,000-character URL; an exclusion file with binary
  // bytes, a NUL, characters outside the code page and a 10 MB line.
  const std::string longUrl = "http://" + std::string(100000, 'x') + "/";
  win::UrlCacheEntryInfo entry;
  entry.SourceUrlName = longUrl;
  ASSERT_TRUE(win::AddUrlCacheEntries(win::CurrentMachine()->State(), {entry}));
  using namespace std::string_literals;
  std::string file = "Cache|\x01\x02\xff\xfe\x81!<\r\nCookies|a\0b!<\r\nPaint|HKEY_CURRENT_USER\\\xe4\xb8\xad!v<d\r\n"s;
  file += "Favorites|" + std::string(10 << 20, 'y') + "\r\n";
  const std::vector<std::uint8_t> bytes(file.begin(), file.end());
  ASSERT_TRUE(win::WriteFileBytes(ExcludeFilePath(), bytes));
  TEvidenceCleanerForm* ev = Open(*form);
  ASSERT_NE(ev, nullptr);
  ASSERT_EQ(ev->Engine.ExcludeList.Count(), 4);

  ev->ScanNowBtn->click();
  EXPECT_EQ(CountOf(*ev, "Cache"), 10);
  ev->grab();
  // Cells show the start of a huge text only; laying out all of it stalls
  // the window for tens of seconds.
  for (int row = 0; row < ev->ResultListView->model()->rowCount(); ++row)
    EXPECT_LE(ev->ResultListView->model()->index(row, 1).data().toString().size(), 1024);
  SendClick(ev->ExcludeBtn);
  ASSERT_EQ(ev->DataNotebook->currentIndex(), kExcludePage);
  ASSERT_EQ(ev->ExcludeListView->topLevelItemCount(), 4);
  EXPECT_EQ(ev->ExcludeListView->topLevelItem(3)->text(1), QString(1024, QLatin1Char('y')));
  EXPECT_EQ(ev->ExcludeListView->topLevelItem(1)->text(1).toStdString(), "a"s + '\0' + "b");
  ev->grab();

  // The long URL excluded from the result list, then modified and kept whole.
  SendClick(ev->ResultBtn);
  int row = -1;
  for (std::size_t i = 0; i < ev->Engine.ResultRows.size(); ++i)
    if (ev->Engine.ResultRows[i].Finding->Name == longUrl) row = static_cast<int>(i);
  ASSERT_GE(row, 0);
  ev->ResultListView->selectRow(row);
  ev->Exclude1->trigger();
  EXPECT_EQ(ev->Engine.ExcludeList.Count(), 5);
  SendClick(ev->ExcludeBtn);
  ev->ExcludeListView->setCurrentItem(ev->ExcludeListView->topLevelItem(4));
  ev->RunModal = [](QDialog& dialog) {
    auto* data = qobject_cast<TExcludeDataForm*>(&dialog);
    if (!data) return false;
    data->cbSection->setCurrentIndex(1);
    return data->mrOkBtn->isEnabled();
  };
  ev->ModifyBtn->click();
  EXPECT_EQ(ev->Engine.ExcludeList.GetItem(4).Key, longUrl);
  SendClick(ev->ScanBtn);
  ev->ScanNowBtn->click();
  EXPECT_EQ(CountOf(*ev, "Cache"), 9);
  std::vector<std::uint8_t> after;
  ASSERT_TRUE(win::ReadFileBytes(ExcludeFilePath(), after));
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), after.begin()));
  EXPECT_TRUE(dialogs->messages().empty());
}

}  // namespace
