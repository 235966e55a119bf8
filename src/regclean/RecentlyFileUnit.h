#pragma once
// Section "Most Recently Used Files": every entry of the file dialogs' and
// the Run box's history lists, so that a repair clears those histories.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kRecentFilesCaption;  // "Most Recently Used Files"

void ScanMruEntries(ScanContext& context);
// A value repairer: deletes the ticked history entries.
void RepairMruEntries(RepairContext& context);
RegistrySection MruEntriesSection();

}  // namespace regclean
