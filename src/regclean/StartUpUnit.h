#pragma once
// Section "Startup Programs": Start-menu order records of program folders
// that exist in neither the user's nor the common Programs folder.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kStartupProgramsCaption;  // "Startup Programs"

void ScanStartupPrograms(ScanContext& context);
// A key repairer: deletes the ticked records with everything under them.
void RepairStartupPrograms(RepairContext& context);
RegistrySection StartupProgramsSection();

// The common profile folder: the drive of the system folder followed by
// "Documents and Settings\All Users".
std::string GetAllUsersProfileFolder();

}  // namespace regclean
