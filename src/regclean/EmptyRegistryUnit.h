#pragma once
// Section "Empty Registry Keys": keys below HKEY_USERS that hold neither
// values nor subkeys.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kEmptyRegistryKeysCaption;  // "Empty Registry Keys"

// The walk below the start path; nothing below the top-level ".DEFAULT" is
// visited, and the root itself is never reported.
void ScanEmptyRegistryKeys(ScanContext& context);
// A key repairer that deletes a ticked key only while it is still empty.
void RepairEmptyRegistryKeys(RepairContext& context);
RegistrySection EmptyRegistryKeysSection();

}  // namespace regclean
