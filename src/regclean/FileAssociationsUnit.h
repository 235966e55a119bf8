#pragma once
// Section "Invalid File Associations": extensions under HKEY_CLASSES_ROOT
// whose default value names a file class that is registered nowhere.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kFileAssociationsCaption;  // "Invalid File Associations"

// Empties the section's collection first.
void ScanFileAssociations(ScanContext& context);
// A value repairer: the extension's default value goes, the key stays.
void RepairFileAssociations(RepairContext& context);
RegistrySection FileAssociationsSection();

}  // namespace regclean
