#pragma once
// TInstalledManageForm: the "Uninstaller Manager" tool window. It lists the
// installed programs (tools/UninstallItemUnit.h), shows the selected one's
// details, runs its uninstaller or removes its entry.

#include <QImage>
#include <QWidget>
#include <vector>

#include "tools/UninstallItemUnit.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class TInstalledManageForm : public QWidget {
  Q_OBJECT
 public:
  explicit TInstalledManageForm(QWidget* owner = nullptr);
  ~TInstalledManageForm() override;

  QCheckBox* ShowWindowsUpdate;
  QTreeWidget* ListInstalled;
  QLabel* picApplicationIcon;
  QLabel* abProgramName;
  QLabel* abInstruct1;
  QLabel* abInstruct2;
  QLabel* caVersion;
  QLabel* caPublisher;
  QLabel* caHomePage;
  QLabel* abVersion;
  QLabel* abPublisher;
  QLabel* abHomePage;
  QPushButton* TbtRefresh;
  QPushButton* TbtUninstall;
  QPushButton* TbrRemove;

  void FormShow();
  void FormResize();
  void TbtRefreshClick();
  void ShowWindowsUpdateClick();
  void ListInstalledColumnClick(int column);
  void ListInstalledSelectItem();
  void TbtUninstallClick();
  void TbrRemoveClick();

  void FillInstalledList();
  // The shell's icon of the file added to both picture lists; its index, or
  // -1 when the shell gives none.
  int GetProgramIconIndex(const std::string& path);

  const tools::TUninstallContents& Contents() const { return contents_; }
  int SortColumn() const { return sortColumn_; }
  int SortDirection() const { return sortDirection_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Reload();
  // The selected row; -1, after saying so, without one.
  int SelectedRowOrTell();
  void ShowDetails(bool selected);

  tools::TUninstallContents contents_;
  std::vector<QImage> AppIconList;    // 16 by 16
  std::vector<QImage> AppIconListEx;  // 32 by 32
  std::vector<int> rowIcons_;
  int sortColumn_ = 0;
  int sortDirection_ = 0;
  bool shown_ = false;
};

TInstalledManageForm* CreateInstalledManageForm(QWidget* parent);
