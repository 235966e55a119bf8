#pragma once
// TFormMalignant: the "Block ActiveX" tool window. Lists the controls of the
// "Code" file with their block state, and locks or unlocks the ticked ones;
// the work is the engine's (recovery/UnitMalignantActiveX.h).

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <vector>

#include "recovery/UnitMalignantActiveX.h"

class THintForm;
class TImageEx;

class TFormMalignant : public QWidget, public recovery::ListDownloadView {
  Q_OBJECT
 public:
  // Downloads "Code" first when the program's folder has no list.
  explicit TFormMalignant(QWidget* owner = nullptr);
  ~TFormMalignant() override;

  QLabel* Label1;
  QLabel* LabelList;
  QPlainTextEdit* Memo1;
  QLabel* ImageWarning;
  QLabel* LabelWarning;
  QTreeWidget* ListActiveX;
  QProgressBar* ProtectGauge;
  QCheckBox* ChkList;
  QLabel* Label3;
  TImageEx* ImmunizeBtn;
  TImageEx* UnImmunizeBtn;

  void FormShow();
  void FormResize();
  // The check box ticks or unticks every row; the label flips it first. It
  // shows ticked exactly while every row is.
  void ChkListClick();
  void Label3Click();
  void ImmunizeBtnClick();
  void UnImmunizeBtnClick();

  // ListDownloadView
  void ShowWait(const std::string& title, const std::string& message) override;
  void CloseWait() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowRows();
  void ShowWarning();
  void ShowSelectAll();
  void TakeTicks();
  using Action = int (*)(std::vector<recovery::MalignantRow>&, const recovery::GaugeStep&);
  using Outcome = void (*)(const std::vector<recovery::MalignantRow>&, int);
  // The outcome is told once the rows, statuses, ticks and warning show it.
  void RunWithGauge(Action action, Outcome tell);

  std::vector<recovery::MalignantRow> rows_;
  std::unique_ptr<THintForm> waitForm_;
};

// The ActiveX blocker window, created hidden with parent as owner and parent.
TFormMalignant* CreateFormMalignant(QWidget* parent);
