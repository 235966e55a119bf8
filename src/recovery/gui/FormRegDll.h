#pragma once
// TFormRegDll: the "Register ActiveX" tool window. "Re-register" runs the
// engine (recovery/SystemRepairUnit.h) over the system folder, one row per
// file; "Stop" ends the run before its next file.

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>
#include <cstdint>

#include "recovery/SystemRepairUnit.h"

class TFormRegDll : public QWidget, public recovery::RegDllView {
  Q_OBJECT
 public:
  explicit TFormRegDll(QWidget* owner = nullptr);

  QPlainTextEdit* Memo;
  QTreeWidget* lvActivexDLL;
  QPushButton* btnRepair;
  QPushButton* btnStop;

  // Runs each command line (tests replace it); empty runs regsvr32 on the machine.
  recovery::CommandRunner Runner;

  void btnRepairClick();
  void btnStopClick();
  void FormResize();

  // RegDllView
  void ClearRows() override;
  void AddRow(const std::string& path, const std::string& status) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::uint8_t running_ = 0;  // 1 while a run may go on, 0 after "Stop"
};

// The re-registration window, created hidden with parent as owner and parent.
TFormRegDll* CreateFormRegDll(QWidget* parent);
