#pragma once
// TSysRestoreForm: the "System Restore Point" tool window. Lists the restore
// points and forwards "Refresh", "Create a Restore Point", "Restore" and
// "Delete" to the engine (recovery/SysRestoreUnit.h).

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

#include "recovery/SysRestoreUnit.h"

class TSysRestoreForm : public QWidget, public recovery::SysRestoreView {
  Q_OBJECT
 public:
  explicit TSysRestoreForm(QWidget* owner = nullptr);

  // The column that holds a row's sequence number; it is never shown.
  static constexpr int kSequenceColumn = 2;

  QPlainTextEdit* Memo;
  QTreeWidget* RestoreListView;
  QPushButton* RefreshButton;
  QPushButton* BackupButton;
  QPushButton* RestoreButton;
  QPushButton* DeleteButton;  // under "Restore": reached with the keyboard only

  void FormShow();
  void FormResize();
  void RefreshButtonClick();
  void BackupButtonClick();
  void RestoreButtonClick();
  void DeleteButtonClick();

  // SysRestoreView
  void ShowRestorePoints(const std::vector<recovery::RestorePointRow>& rows) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The selected row's sequence number text; empty without a selection.
  std::string SelectedSequence() const;
};

// The restore tool window, created hidden with parent as owner and parent.
TSysRestoreForm* CreateSysRestoreForm(QWidget* parent);
