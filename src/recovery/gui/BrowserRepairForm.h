#pragma once
// TBrowserRepairForm: the "Internet Explorer Restorer" tool window. A check
// list of the thirteen repairs with their status, "Select All" and
// "Restore"; the repairs are the engine's (recovery/BrowserRepairUnit.h).

#include <QCheckBox>
#include <QLabel>
#include <QTreeWidget>
#include <QWidget>

#include "recovery/BrowserRepairUnit.h"

class TImageEx;

class TBrowserRepairForm : public QWidget, public recovery::BrowserRepairView {
  Q_OBJECT
 public:
  explicit TBrowserRepairForm(QWidget* owner = nullptr);

  QTreeWidget* IERepairListView;
  QCheckBox* cbSelectAll;
  QLabel* abSelectAll;
  TImageEx* DeleteItemBtn;

  void FormShow();
  void FormResize();
  // fromLabel: the label was clicked, which flips the check box first.
  void cbSelectAllClick(bool fromLabel);
  void DeleteItemBtnClick();

  // BrowserRepairView
  bool IsRowChecked(int row) const override;
  void SetRowStatus(int row, const std::string& status) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
};

// The restorer window, created hidden with parent as owner and parent.
TBrowserRepairForm* CreateBrowserRepairForm(QWidget* parent);
