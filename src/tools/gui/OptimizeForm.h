#pragma once
// TOptimizeForm: the "System Optimizer" tool. Four pages: the model, the
// service boxes, the tweak boxes, and the list of earlier backups. The work
// is the engine's (tools/SystemSpeedUnit.h).

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QWidget>
#include <array>
#include <functional>

#include "tools/SystemSpeedUnit.h"

class TOptimizeForm : public QWidget {
  Q_OBJECT
 public:
  explicit TOptimizeForm(QWidget* owner = nullptr);
  ~TOptimizeForm() override;

  QStackedWidget* Notebook1;
  QPlainTextEdit* Memo1;
  QGroupBox* RGMode;
  QButtonGroup* RGModeButtons;
  QPlainTextEdit* MemoText;
  std::array<QCheckBox*, tools::kServiceBoxCount> chk{};
  QPlainTextEdit* MemoSer;
  std::array<QCheckBox*, tools::kTweakBoxCount> Ochk{};
  QPlainTextEdit* MemoReg;
  QTreeWidget* ListView1;
  QPushButton* BtnRestore;
  QPushButton* btndelete;
  QPushButton* btnOneClick;
  QPushButton* ReturnBtn;
  QPushButton* btnOptimize;
  QPushButton* btnExe;
  QPushButton* btnDefault;

  // The time of a new backup's name (tests replace it).
  std::function<TDateTime()> Clock = Now;

  // The active page's name, "1".."4".
  QString ActivePage() const;
  int SelectedModel() const;
  void SelectModel(int model);

  void FormCreate();
  void RGModeClick();
  void btnOptimizeClick();
  void ReturnBtnClick();
  void btnExeClick();
  void btnOneClickClick();
  void btnDefaultClick();
  void BtnRestoreClick();
  void btndeleteClick();
  void Notebook1PageChanged();
  void FillBackupList();

  tools::ServiceTicks ServiceTicks() const;
  tools::TweakTicks TweakTicks() const;
  void SetServiceTicks(const tools::ServiceTicks& ticks);
  void SetTweakTicks(const tools::TweakTicks& ticks);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetPage(int page);
  void Run(const char* success);
};

TOptimizeForm* CreateOptimizeForm(QWidget* parent);
