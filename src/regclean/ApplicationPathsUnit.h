#pragma once
// Section "Application Paths": registered programs (one subkey each under
// App Paths) whose program file no longer exists.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kApplicationPathsCaption;  // "Application Paths"

void ScanApplicationPaths(ScanContext& context);
// A key repairer: deletes the program's whole subkey.
void RepairApplicationPaths(RepairContext& context);
RegistrySection ApplicationPathsSection();

// True when the text has a folder part and a file-name part, split at its
// last backslash or colon.
bool IsFullFileName(const std::string& text);

}  // namespace regclean
