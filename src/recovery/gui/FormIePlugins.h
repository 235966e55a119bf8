#pragma once
// TFormIePlugins: the "BHO Manager" tool window. Page "List" shows the
// add-on entries of the ticked kinds and removes the ticked ones after a
// backup; page "Restore" lists those backups, imports or removes one. The
// work is the engine's (recovery/IePluginsUnit.h).

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <vector>

#include "recovery/IePluginsUnit.h"

class TImageEx;

class TFormIePlugins : public QWidget {
  Q_OBJECT
 public:
  explicit TFormIePlugins(QWidget* owner = nullptr);

  QStackedWidget* NoteBook;
  QWidget* ListPage;
  QGroupBox* Display;
  QCheckBox* CkMenuExtension;
  QCheckBox* CkToolBar;
  QCheckBox* CkExplorerBars;
  QTreeWidget* IEItemListView;
  QWidget* RestorePage;
  QTreeWidget* IEBackupListView;
  QWidget* DetailPanel;  // kept hidden, as the layout has it
  QLabel* DetailCaption;
  QTreeWidget* DetailListView;
  QCheckBox* cbSelectAll;
  QLabel* abSelectAll;
  TImageEx* RepairItemBtn;
  TImageEx* RemoveRestoreBtn;
  TImageEx* BackBtn;

  // The time "now" of a removal's backup (tests replace it).
  std::function<TDateTime()> Clock = Now;

  void FormShow();
  void FormResize();
  void RefreshIEAddOnList();
  void abSelectAllClick(bool fromLabel);
  void RepairItemBtnClick();
  void RemoveRestoreBtnClick();
  void BackBtnClick();
  void IEBackupListViewDblClick();
  void IEBackupListViewSelectItem();
  void ListIEBackups();
  bool OnRestorePage() const { return NoteBook->currentIndex() == 1; }
  const std::vector<recovery::TDetailBackup>& DetailRecords() const { return details_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::string SelectedBackup() const;

  std::vector<recovery::AddOnRow> rows_;
  std::vector<recovery::TDetailBackup> details_;
};

// The add-on manager window, created hidden with parent as owner and parent.
TFormIePlugins* CreateFormIePlugins(QWidget* parent);
