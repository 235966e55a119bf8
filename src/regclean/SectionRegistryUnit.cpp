// The built sections, by number. A section joins the scan by adding its line
// here; the numbers left out scan and repair nothing.

#include <array>

#include "regclean/SectionContractUnit.h"
#include "regclean/SectionTableUnit.h"
#include "regclean/SharedDLLsUnit.h"
#include "regclean/UninstallSectionUnit.h"

namespace regclean {

std::array<RegistrySection, kSectionCount> BuiltSections() {
  std::array<RegistrySection, kSectionCount> sections;
  sections[10 - 1] = SharedDllsSection();
  sections[16 - 1] = UninstallEntriesSection();
  return sections;
}

}  // namespace regclean
