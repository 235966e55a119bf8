#include "shell/gui/ScanPageFactory.h"

#include "regclean/gui/ScanPageUnit.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/MainUnit.h"

void TScanPage::AbortScanBtnClick() { ScanState = 2; }

void TScanPage::SetScanStep(int step) { Form.ShowScanStep(step); }

void TScanPage::RunAutomaticScan() {
  bool firstActivation = true;
  MainWindowActivated(firstActivation, [this] { ScanNowBtnClick(); });
}

std::unique_ptr<TScanPage> NewScanPage(TFernwickForm& form) { return std::make_unique<TRegistryScanPage>(form); }
