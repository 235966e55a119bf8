#pragma once
// Section "Uninstall Entries": installed-program entries whose
// "UninstallString" names a program file that no longer exists.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

class FileProbe;

extern const char* const kUninstallCaption;  // "Uninstall Entries"

void ScanUninstallEntries(ScanContext& context);
// A value repairer: deletes "UninstallString"; the entry's key stays.
void RepairUninstallEntries(RepairContext& context);
RegistrySection UninstallEntriesSection();

// The program file cut out of an uninstall command line; files are looked
// up through the probe when one is given.
std::string ExtractUninstallProgram(const std::string& command, FileProbe* probe = nullptr);
// True when the file that ExtractUninstallProgram gives exists.
bool UninstallProgramExists(const std::string& command, FileProbe* probe = nullptr);

}  // namespace regclean
