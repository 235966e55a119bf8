#pragma once
// The tool windows that the main window embeds in its pages: one launcher
// each on the Tools page, and the registry backup window of the Backup page.
// A tool window is created on first use with the page's panel as owner and
// parent and freed with all the others on every page switch.

#include <array>
#include <cstddef>

class QWidget;

// In the order the windows are freed on a page switch.
enum class ToolWindow {
  SysDiskCleanerForm,
  EvidenceCleanerForm,
  RegBackupForm,
  SysRestoreForm,
  BrowserRepairForm,
  FormIePlugins,
  OptimizeForm,
  FormMalignant,
  MemorySaviorForm,
  FormRegDll,
  ErrorFixForm,
  StartupManagerForm,
  InstalledManageForm,
};
constexpr std::size_t kToolWindowCount = 13;

// Every tool in freeing order.
const std::array<ToolWindow, kToolWindowCount>& ToolWindowsInFreeOrder();
// The window's variable name, also its object name ("SysDiskCleanerForm").
const char* ToolWindowName(ToolWindow tool);
// Creates the tool's window, hidden, with parent as owner and parent.
QWidget* NewToolWindow(ToolWindow tool, QWidget* parent);
