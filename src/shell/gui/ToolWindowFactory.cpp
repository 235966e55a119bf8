#include "shell/gui/ToolWindowFactory.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "recovery/gui/BrowserRepairUnit.h"
#include "recovery/gui/IePluginsUnit.h"
#include "privacy/gui/EvidenceCleanerUnit.h"
#include "recovery/gui/RegBackupUnit.h"
#include "recovery/gui/SysRestoreUnit.h"
#include "recovery/gui/SystemRepairUnit.h"
#include "recovery/gui/UnitSystemError.h"
#include "recovery/gui/UnitMalignantActiveX.h"
#include "shell/gui/FormPlacement.h"
#include "tools/gui/MemorySaviorUnit.h"
#include "tools/gui/SysDiskCleanerUnit.h"
#include "tools/gui/SystemSpeedUnit.h"
#include "tools/gui/InstalledManageForm.h"
#include "tools/gui/StartupManagerForm.h"

namespace {

struct ToolEntry {
  ToolWindow tool;
  const char* name;
  const char* title;  // shown by the stand-in
};

constexpr ToolEntry kTools[kToolWindowCount] = {
    {ToolWindow::SysDiskCleanerForm, "SysDiskCleanerForm", "Junk File Cleaner"},
    {ToolWindow::EvidenceCleanerForm, "EvidenceCleanerForm", "Evidence Cleaner"},
    {ToolWindow::RegBackupForm, "RegBackupForm", "Registry Backup"},
    {ToolWindow::SysRestoreForm, "SysRestoreForm", "System Restore Point"},
    {ToolWindow::BrowserRepairForm, "BrowserRepairForm", "Internet Explorer Restorer"},
    {ToolWindow::FormIePlugins, "FormIePlugins", "BHO Manager"},
    {ToolWindow::OptimizeForm, "OptimizeForm", "System Optimizer"},
    {ToolWindow::FormMalignant, "FormMalignant", "Block ActiveX"},
    {ToolWindow::MemorySaviorForm, "MemorySaviorForm", "Memory Optimize"},
    {ToolWindow::FormRegDll, "FormRegDll", "Register ActiveX"},
    {ToolWindow::ErrorFixForm, "ErrorFixForm", "Error Utilities"},
    {ToolWindow::StartupManagerForm, "StartupManagerForm", "Startup Manager"},
    {ToolWindow::InstalledManageForm, "InstalledManageForm", "Uninstaller Manager"},
};

const ToolEntry& Entry(ToolWindow tool) { return kTools[static_cast<std::size_t>(tool)]; }

// A white page with the tool's name, until the tool's window exists.
QWidget* NewStandIn(const ToolEntry& entry, QWidget* parent) {
  auto* window = new QWidget(parent);
  SetWhiteBackground(window);
  auto* layout = new QVBoxLayout(window);
  auto* title = new QLabel(QString::fromLatin1(entry.title), window);
  title->setAlignment(Qt::AlignCenter);
  QFont font = title->font();
  font.setBold(true);
  title->setFont(font);
  layout->addWidget(title);
  return window;
}

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

QWidget* NewToolWindow(ToolWindow tool, QWidget* parent) {
  if (tool == ToolWindow::RegBackupForm) return CreateRegBackupForm(parent);
  if (tool == ToolWindow::EvidenceCleanerForm) return CreateEvidenceCleanerForm(parent);
  if (tool == ToolWindow::BrowserRepairForm) return CreateBrowserRepairForm(parent);
  if (tool == ToolWindow::FormIePlugins) return CreateFormIePlugins(parent);
  if (tool == ToolWindow::FormMalignant) return CreateFormMalignant(parent);
  if (tool == ToolWindow::OptimizeForm) return CreateOptimizeForm(parent);
  if (tool == ToolWindow::MemorySaviorForm) return CreateMemorySaviorForm(parent);
  if (tool == ToolWindow::SysDiskCleanerForm) return CreateSysDiskCleanerForm(parent);
  if (tool == ToolWindow::StartupManagerForm) return CreateStartupManagerForm(parent);
  if (tool == ToolWindow::InstalledManageForm) return CreateInstalledManageForm(parent);
  if (tool == ToolWindow::SysRestoreForm) return CreateSysRestoreForm(parent);
  if (tool == ToolWindow::FormRegDll) return CreateFormRegDll(parent);
  if (tool == ToolWindow::ErrorFixForm) return CreateErrorFixForm(parent);
  const ToolEntry& entry = Entry(tool);
  QWidget* window = NewStandIn(entry, parent);
  window->setObjectName(QString::fromLatin1(entry.name));
  window->hide();
  return window;
}
