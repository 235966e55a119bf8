// Grid lines: drawn under every row and between columns, and shown by
// exactly the report lists of the tool windows that have them.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QTreeWidget>
#include <memory>
#include <set>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "ToolWindowTest.h"
#include "shell/Dialogs.h"
#include "shell/gui/DM.h"
#include "shell/gui/GridLines.h"
#include "shell/gui/ToolWindowFactory.h"

namespace {

// Pixels of the first row's bottom edge and of the first column's right edge.
void ExpectLinesDrawn(QAbstractItemView& view, const QRect& cell) {
  const QImage image = view.viewport()->grab().toImage();
  const QRgb line = GridLineColour().rgb();
  EXPECT_EQ(image.pixel(cell.center().x(), cell.bottom()), line);
  EXPECT_EQ(image.pixel(cell.right(), cell.center().y()), line);
  EXPECT_NE(image.pixel(cell.center().x(), cell.center().y() - 2), line);
  // The bottom edge runs on past the last column.
  EXPECT_EQ(image.pixel(view.viewport()->width() - 2, cell.bottom()), line);
}

TEST(GridLinesTest, LinesUnderRowsAndBetweenColumns) {
  GuiApp();
  {
    QTreeWidget tree;
    tree.setColumnCount(2);
    tree.setRootIsDecorated(false);
    tree.setColumnWidth(0, 80);
    tree.setColumnWidth(1, 80);
    tree.header()->setStretchLastSection(false);
    tree.addTopLevelItems({new QTreeWidgetItem({"a", "b"}), new QTreeWidgetItem({"c", "d"})});
    tree.topLevelItem(0)->setCheckState(0, Qt::Checked);
    ShowGridLines(&tree);
    tree.resize(300, 150);
    tree.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(HasGridLines(&tree));
    ExpectLinesDrawn(tree, tree.visualItemRect(tree.topLevelItem(0)).intersected(
                               QRect(0, 0, tree.columnWidth(0), tree.viewport()->height())));
  }
  {
    QStandardItemModel model(2, 2);
    QTableView table;
    table.setModel(&model);
    table.horizontalHeader()->setStretchLastSection(false);
    ShowGridLines(&table);
    EXPECT_FALSE(table.showGrid());
    table.resize(300, 150);
    table.show();
    QCoreApplication::processEvents();
    ExpectLinesDrawn(table, table.visualRect(model.index(0, 0)));
  }
}

using GridLinesInToolWindows = ToolWindowTest;

TEST_F(GridLinesInToolWindows, ExactlyTheReportListsThatHaveThem) {
  TestMachine machine("", "C:\\Program Files\\Fernwick\\Fernwick.exe\n");
  ScriptedDialogs dialogs;
  TDM dm;
  const std::set<QString> expected = {
      "StartupListView", "ListRestore",      "ListInstalled",   "ListView1",   "ResultListView", "ExcludeListView",
      "IERepairListView", "IEItemListView",  "IEBackupListView", "ListActiveX", "RestoreListView", "listerror",
  };
  std::set<QString> found;
  QWidget parent;
  for (ToolWindow tool : ToolWindowsInFreeOrder()) {
    std::unique_ptr<QWidget> window(NewToolWindow(tool, &parent));
    for (const QAbstractItemView* view : window->findChildren<QAbstractItemView*>())
      if (HasGridLines(view)) found.insert(view->objectName());
  }
  EXPECT_EQ(found, expected);
}

}  // namespace
