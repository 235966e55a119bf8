#include "shell/gui/ToolWindowFactory.h"

#include <QWidget>

#include "recovery/gui/BrowserRepairForm.h"
#include "recovery/gui/FormIePlugins.h"
#include "privacy/gui/EvidenceCleanerForm.h"
#include "recovery/gui/RegBackupForm.h"
#include "recovery/gui/SysRestoreForm.h"
#include "recovery/gui/FormRegDll.h"
#include "recovery/gui/ErrorFixForm.h"
#include "recovery/gui/FormMalignant.h"
#include "tools/gui/MemorySaviorForm.h"
#include "tools/gui/SysDiskCleanerForm.h"
#include "tools/gui/OptimizeForm.h"
#include "tools/gui/InstalledManageForm.h"
#include "tools/gui/StartupManagerForm.h"

namespace {

template <auto Create>
QWidget* NewWindow(QWidget* parent) {
  return Create(parent);
}

struct ToolEntry {
  ToolWindow tool;
  const char* name;
  QWidget* (*create)(QWidget* parent);
};

constexpr ToolEntry kTools[kToolWindowCount] = {
    {ToolWindow::SysDiskCleanerForm, "SysDiskCleanerForm", &NewWindow<CreateSysDiskCleanerForm>},
    {ToolWindow::EvidenceCleanerForm, "EvidenceCleanerForm", &NewWindow<CreateEvidenceCleanerForm>},
    {ToolWindow::RegBackupForm, "RegBackupForm", &NewWindow<CreateRegBackupForm>},
    {ToolWindow::SysRestoreForm, "SysRestoreForm", &NewWindow<CreateSysRestoreForm>},
    {ToolWindow::BrowserRepairForm, "BrowserRepairForm", &NewWindow<CreateBrowserRepairForm>},
    {ToolWindow::FormIePlugins, "FormIePlugins", &NewWindow<CreateFormIePlugins>},
    {ToolWindow::OptimizeForm, "OptimizeForm", &NewWindow<CreateOptimizeForm>},
    {ToolWindow::FormMalignant, "FormMalignant", &NewWindow<CreateFormMalignant>},
    {ToolWindow::MemorySaviorForm, "MemorySaviorForm", &NewWindow<CreateMemorySaviorForm>},
    {ToolWindow::FormRegDll, "FormRegDll", &NewWindow<CreateFormRegDll>},
    {ToolWindow::ErrorFixForm, "ErrorFixForm", &NewWindow<CreateErrorFixForm>},
    {ToolWindow::StartupManagerForm, "StartupManagerForm", &NewWindow<CreateStartupManagerForm>},
    {ToolWindow::InstalledManageForm, "InstalledManageForm", &NewWindow<CreateInstalledManageForm>},
};

const ToolEntry& Entry(ToolWindow tool) { return kTools[static_cast<std::size_t>(tool)]; }

}  // namespace

const std::array<ToolWindow, kToolWindowCount>& ToolWindowsInFreeOrder() {
  static const std::array<ToolWindow, kToolWindowCount> order = [] {
    std::array<ToolWindow, kToolWindowCount> tools{};
    for (std::size_t i = 0; i < kToolWindowCount; ++i) tools[i] = kTools[i].tool;
    return tools;
  }();
  return order;
}

const char* ToolWindowName(ToolWindow tool) { return Entry(tool).name; }

QWidget* NewToolWindow(ToolWindow tool, QWidget* parent) { return Entry(tool).create(parent); }
