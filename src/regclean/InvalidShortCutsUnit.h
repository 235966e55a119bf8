#pragma once
// Section "Invalid Shortcuts": shortcut files (".lnk") on the fixed drives
// whose target no longer exists. The one section that walks folders.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kInvalidShortcutsCaption;  // "Invalid Shortcuts"

// Every folder of every fixed drive C: to Z:; nothing whose path holds
// "Recent" is visited, and no reparse point is followed.
void ScanInvalidShortcuts(ScanContext& context);
// The target path of a shortcut file; empty when it cannot be read.
std::string ResolveShortcut(const std::string& path);
// Deletes each ticked shortcut file; the target is not touched.
void RepairInvalidShortcuts(RepairContext& context);
RegistrySection InvalidShortcutsSection();

}  // namespace regclean
