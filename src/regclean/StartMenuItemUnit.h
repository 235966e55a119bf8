#pragma once
// Section "Start Menu Items": every record of Explorer's Start-menu order
// below "MenuOrder\Start Menu2\Programs", its keys and their values.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kStartMenuItemsCaption;  // "Start Menu Items"

void ScanStartMenuItems(ScanContext& context);
// Deletes the ticked record keys with everything under them, and the ticked
// values whose key is not deleted with them.
void RepairStartMenuItems(RepairContext& context);
RegistrySection StartMenuItemsSection();

}  // namespace regclean
