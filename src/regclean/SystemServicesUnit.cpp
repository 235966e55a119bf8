#include "regclean/SystemServicesUnit.h"

namespace regclean {

const char* const kSystemServicesCaption = "System Services";

void ScanSystemServices(ScanContext&) {}

RegistrySection SystemServicesSection() { return ValueRepairSection({ScanSystemServices}); }

void RepairSystemServices(RepairContext& context) {
  RepairCheckedItems(context, SystemServicesSection());
}

}  // namespace regclean
