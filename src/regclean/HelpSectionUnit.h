#pragma once
// Section "Help Section": registered help files (value name = file name,
// data = its folder) that no longer exist.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kHelpSectionCaption;  // "Help Section"

// The two help keys under the root ("SOFTWARE\Microsoft\Windows\Help" and
// "...\Html Help"); the start path is not used.
void ScanHelpSection(ScanContext& context);
// A value repairer: only the registration of the missing file goes; the log
// shows the path without the root name.
void RepairHelpSection(RepairContext& context);
RegistrySection HelpSection();

}  // namespace regclean
