#pragma once
// Section "Sounds Section": a default value set on the sounds key.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kSoundsCaption;  // "Sounds Section"

void ScanSounds(ScanContext& context);
// A value repairer: deletes the ticked default value.
void RepairSounds(RepairContext& context);
RegistrySection SoundsSection();

}  // namespace regclean
