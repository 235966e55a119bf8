#pragma once
// TStartupManagerForm: the "Startup Manager" tool window. A thin window over
// the engine (tools/StartupManagerUnit.h): it draws the rows, turns clicks on
// a row's pictures into choices and details, and forwards the buttons.

#include <QWidget>

#include "tools/StartupManagerUnit.h"

class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

class TStartupManagerForm : public QWidget {
  Q_OBJECT
 public:
  explicit TStartupManagerForm(QWidget* owner = nullptr);
  ~TStartupManagerForm() override;

  QPlainTextEdit* Memo;
  QTabWidget* PageCIndex;
  QTreeWidget* StartupListView;
  QTreeWidget* ListRestore;
  QPushButton* OpenPathBtn;
  QPushButton* DeleteItemBtn;
  QPushButton* BtRemove;
  QPushButton* RestoreBtn;

  void FormShow();
  void FormResize();
  // A left press at x (in the list's viewport) on a row: its state picture
  // or its picture.
  void StartupListViewMouseDown(int row, int x);
  void StartupListViewDblClick();
  void PageCIndexChange();
  void DeleteItemBtnClick();
  void OpenPathBtnClick();
  void BtRemoveClick();
  void RestoreBtnClick();

  tools::TStartupManager& Engine() { return engine_; }
  // Where a row's state picture and picture lie in the "Name" column.
  static constexpr int kStatePictureLeft = 0;
  static constexpr int kPictureLeft = 16;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillStartupList();
  void FillRestoreList();
  void ListStartup();

  tools::TStartupManager engine_;
  bool shown_ = false;
};

TStartupManagerForm* CreateStartupManagerForm(QWidget* parent);
