#pragma once
// Section "Font Entries": registered fonts whose font file no longer exists.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kFontEntriesCaption;  // "Font Entries"

void ScanFontEntries(ScanContext& context);
// A value repairer that does not let messages through between items.
void RepairFontEntries(RepairContext& context);
RegistrySection FontEntriesSection();

}  // namespace regclean
