#pragma once
// Section "User Software Settings": string values below HKEY_CURRENT_USER
// that name a folder or file that no longer exists.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kUserSoftwareCaption;  // "User Software Settings"

void ScanUserSoftwareSettings(ScanContext& context);
// A value repairer: deletes the ticked values.
void RepairUserSoftwareSettings(RepairContext& context);
RegistrySection UserSoftwareSettingsSection();

}  // namespace regclean
