#pragma once
// The registry cleaner's side of the main window's Scan page. The frame
// builds ScanPanel with its notebook ScanNotebook, the two step pictures and
// the four scan buttons; it forwards the buttons, the Scan page's start step,
// the data module's scan timers and the problem-list popup here.
//
// Until the registry cleaner's page exists, NewScanPage gives a TScanPage
// that shows the steps' pictures and buttons and does nothing else.

#include <memory>
#include <string>

#include "shell/DMUnit.h"

class TFernwickForm;

class TScanPage : public ScanAnimationView {
 public:
  explicit TScanPage(TFernwickForm& form) : Form(form) {}
  ~TScanPage() override = default;
  TScanPage(const TScanPage&) = delete;
  TScanPage& operator=(const TScanPage&) = delete;

  virtual void ScanNowBtnClick() {}
  // Asks a running scan to stop: ScanState 2.
  virtual void AbortScanBtnClick();
  virtual void RepairBtnClick() {}
  virtual void FinishBtnClick() {}
  // The main window's first activation: with a command-line argument, a scan
  // a second later.
  virtual void RunAutomaticScan();
  // Step 0 start, 1 scanning, 2 results, 3 finished.
  virtual void SetScanStep(int step);
  // The result grid loses its selection (before the program ends).
  virtual void ClearResultSelection() {}
  // The window changed size: list columns follow.
  virtual void FormResize() {}
  // Problem-list popup: "Exclude and add key to ignore list", and ticking or
  // unticking cbSelectAll.
  virtual void ExcludeSelectedProblem() {}
  virtual void SetSelectAll(bool /*ticked*/) {}

  void DrawSectionFrame(int /*section*/, int /*frame*/) override {}
  int TotalProblemCount() const override { return 0; }
  void SetProblemWarning(const std::string& /*text*/, bool /*visible*/) override {}
  void SetScanTimeText(const std::string& /*text*/) override {}

 protected:
  TFernwickForm& Form;
};

std::unique_ptr<TScanPage> NewScanPage(TFernwickForm& form);
