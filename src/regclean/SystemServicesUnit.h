#pragma once
// Section "System Services": its scanner finds nothing, so the section always
// shows zero problems.

#include "regclean/SectionContractUnit.h"

namespace regclean {

extern const char* const kSystemServicesCaption;  // "System Services"

void ScanSystemServices(ScanContext& context);
// A value repairer; it never has anything to repair.
void RepairSystemServices(RepairContext& context);
RegistrySection SystemServicesSection();

}  // namespace regclean
