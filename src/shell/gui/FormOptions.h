#pragma once
// TFormOptions: the modal "Preferences" dialog with its pages "General
// Settings", "Ignore List" and "Scheduling". Its handlers hand the controls'
// state to the Options engine (shell/OptionUnit.h) and show what comes back.

#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "shell/OptionUnit.h"

class TImageEx;

class TFormOptions : public QDialog {
  Q_OBJECT
 public:
  explicit TFormOptions(QWidget* owner = nullptr);

  QTabWidget* MainPageControl;
  // General Settings
  QGroupBox* GroupSchedule;
  QCheckBox* ChkRun;
  QGroupBox* GroupAutomatic;
  QCheckBox* ChkAutoBackup;
  QCheckBox* ChkCheckItem;
  QGroupBox* GroupUpdate;
  QLabel* LabelVer;
  QCheckBox* cbCheckUpdate;
  QPushButton* CheckUpdateBtn;
  // Ignore List
  QTreeWidget* IgnoreListView;
  QPushButton* RemoveSelectBtn;
  // Scheduling
  QLabel* abScheduleSettings;
  QCheckBox* cbActiveTask;
  QLabel* abStartTime;
  QTimeEdit* dtpStartTime;
  QLabel* abDayIncrements;
  QSpinBox* SpinEditDays;
  QLabel* abDays;
  QLabel* abTaskName;
  TImageEx* ImageTask;

  QPushButton* BitBtn1;
  QPushButton* BtnCancel;

  // The time "now" (tests replace it).
  std::function<TDateTime()> Clock = Now;

  // False when the Task Scheduler could not be created: the program is then
  // ending and the dialog must not be shown.
  bool SchedulerReady() const { return schedulerReady_; }

  void FormCreate();
  void FormShow();
  void MainPageControlChange(int page);
  void BitBtn1Click();
  void BtnCancelClick();
  void CheckUpdateBtnClick();
  void RemoveSelectBtnClick();
  void cbActiveTaskClick();

  void LoadGeneralSettingsPage();
  void FillIgnoreListPage();
  void LoadSchedulePage();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildGeneralPage(QWidget* page);
  void BuildIgnorePage(QWidget* page);
  void BuildSchedulePage(QWidget* page);
  GeneralSettingsPage ReadGeneral() const;
  SchedulePage ReadSchedule() const;
  void ShowSchedule(const SchedulePage& page);

  TIgnoreListPage ignoreList_;
  SchedulePage schedule_;
  bool schedulerReady_ = false;
};

// The Options dialog for the main window's Options button: null when the
// Task Scheduler cannot be created (the message is shown and the program
// ends).
std::unique_ptr<TFormOptions> CreateOptionsForm(QWidget* owner = nullptr);
// Creates the dialog, runs it modally and frees it.
void ShowOptionsDialog(QWidget* owner = nullptr);
