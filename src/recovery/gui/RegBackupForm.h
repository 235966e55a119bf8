#pragma once
// TRegBackupForm: the "Backup" page's window. Two picture tabs switch between
// the repair backups ("Repair Backup") and the whole-registry exports ("Full
// Backup"); each list restores or removes the selected file, and the full
// page makes new exports. The actions are the engine's (recovery/
// RegBackupUnit.h).

#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QWidget>
#include <memory>

#include "recovery/RegBackupUnit.h"

class QFrame;
class THintForm;
class TImageEx;

class TRegBackupForm : public QWidget, public recovery::RegBackupView {
  Q_OBJECT
 public:
  explicit TRegBackupForm(QWidget* owner = nullptr);
  ~TRegBackupForm() override;

  QPlainTextEdit* Memo1;
  TImageEx* PartialSheet;
  TImageEx* FullSheet;
  QFrame* SheetLine;
  QStackedWidget* BackupNotebook;
  QWidget* Partial;
  QTreeWidget* PartialListView;
  TImageEx* RestorePartialBtn;
  TImageEx* RemovePartialBtn;
  QWidget* Full;
  QTreeWidget* BackupDataListView;
  TImageEx* BackupRegistryBtn;
  TImageEx* RestoreRegistryBtn;
  TImageEx* RemoveBackupBtn;

  // The time "now" of a new export (tests replace it).
  std::function<TDateTime()> Clock = Now;

  void FormShow();
  void FormResize();
  void PartialSheetClick();
  void FullSheetClick();
  void BackupRegistryBtnClick();
  void RestoreRegistryBtnClick();
  void RemoveBackupBtnClick();
  void RestorePartialBtnClick();
  void RemovePartialBtnClick();

  void ListRepairBackups();
  void ListFullBackups();
  // The full path of a list's selected row; empty without one.
  static std::string SelectedFile(const QTreeWidget* list);

  // RegBackupView
  void ShowWait(const std::string& title, const std::string& message) override;
  void CloseWait() override;
  void BackupCreated(const recovery::BackupFileRow& row) override;
  void BackupRemoved() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QTreeWidget* NewList(QWidget* page);
  TImageEx* NewButton(QWidget* page, const char* name, const char* caption, void (TRegBackupForm::*click)());
  void PlaceButtons();
  void FillList(QTreeWidget* list, const std::string& folder);
  void AddRow(QTreeWidget* list, const recovery::BackupFileRow& row);
  // Even rows on the page's colour, odd ones on the window colour.
  static void PaintRows(QTreeWidget* list);

  std::unique_ptr<THintForm> waitForm_;
  QTreeWidget* removing_ = nullptr;  // the list whose selected row is being removed
};

// The Backup page's window, created hidden with parent as owner and parent.
TRegBackupForm* CreateRegBackupForm(QWidget* parent);
