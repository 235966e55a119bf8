#pragma once
// TSysDiskCleanerForm: the "Junk File Cleaner" tool window, a six-page
// wizard (drives, junk file types, search, report, cleaning options,
// cleanup) with Back and Next under the pages. The steps are the engine's
// (tools/SysDiskCleanerUnit.h); the window shows its rows and forwards the
// clicks.

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "tools/SysDiskCleanerUnit.h"

class QDialog;

class TSysDiskCleanerForm : public QWidget, public tools::JunkCleanerView {
  Q_OBJECT
 public:
  explicit TSysDiskCleanerForm(QWidget* owner = nullptr);
  ~TSysDiskCleanerForm() override;

  QStackedWidget* DataNotebook;
  // Page 0.
  QTreeWidget* DiskListView;
  QPlainTextEdit* Memo1;
  // Page 1.
  QTreeWidget* JunkFilesListView;
  QCheckBox* cbJunkFileSelectAll;
  QPushButton* AddBtn;
  QPushButton* EditBtn;
  QPushButton* DelBtn;
  // Page 2.
  QTreeWidget* ScanListView;
  QLabel* ScanMessage;
  QPushButton* StopScanBtn;
  // Page 3.
  QTreeWidget* ReportListView;
  QWidget* ReportStatusBar;
  std::array<QLabel*, 4> ReportStatusPanels{};
  QLabel* Label23;  // "Click here"
  // Page 4.
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QRadioButton* RadioButton3;
  QLabel* panJunkMoveFolder;
  // Page 5.
  QTreeWidget* CleanerListView;
  QWidget* panCleanProgress;
  QProgressBar* pbClean;
  QPushButton* StopRepairBtn;

  QPushButton* BackBtn;
  QPushButton* NextBtn;

  tools::TSysDiskCleaner Cleaner{*this};
  // Shows a dialog modally; true when it was accepted (tests answer it).
  std::function<bool(QDialog&)> RunModal;

  void FormResize();
  void NextBtnClick();
  void BackBtnClick();
  void AddBtnClick();
  void EditBtnClick();
  void DelBtnClick();
  void cbJunkFileSelectAllClick();
  void ReportListViewDblClick();
  void Label23Click();
  // The details window of one drive ("X:"), or of all with an empty drive.
  void ShowDetails(const std::string& drive);

  // JunkCleanerView
  void PageChanged() override;
  void ButtonsChanged() override;
  void TypesChanged() override;
  void ScanRowsChanged() override;
  void ReportChanged() override;
  void CleanRowsChanged() override;
  void ScanStatusChanged(int row) override;
  void SetScanMessage(const std::string& text) override;
  void ReportTotalsChanged(const std::string& count, const std::string& size) override;
  void CleanRowAdded(int row) override;
  void CleanStatusChanged(int row) override;
  void ShowCleanProgress(bool visible) override;
  void SetCleanProgress(int done, int total) override;
  void MoveFolderChanged() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* NewPage(const char* name, const char* title, const std::vector<const char*>& lines);
  // widths: of the columns other than fillColumn, in order.
  QTreeWidget* NewList(QWidget* page, const char* name, const QStringList& columns, const std::vector<int>& widths,
                       int fillColumn = 0);
  void FillDriveList();
  void FitColumns(QTreeWidget* list);
  void CheckChanged(QTreeWidgetItem* item, int column);
  QIcon DriveIcon(int driveRow) const;

  std::vector<QIcon> driveIcons_;
  bool filling_ = false;
  QElapsedTimer messageClock_;
  unsigned messagesSkipped_ = 0;
};

// The Junk File Cleaner's window, created hidden with parent as owner and
// parent.
TSysDiskCleanerForm* CreateSysDiskCleanerForm(QWidget* parent);
