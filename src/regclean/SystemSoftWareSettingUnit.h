#pragma once
// Section "System Software Settings": string values below HKEY_LOCAL_MACHINE
// and HKEY_USERS that name a folder or file that no longer exists.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kSystemSoftwareCaption;  // "System Software Settings"

void ScanSystemSoftwareSettings(ScanContext& context);
// A value repairer: deletes the ticked values.
void RepairSystemSoftwareSettings(RepairContext& context);
RegistrySection SystemSoftwareSettingsSection();

}  // namespace regclean
