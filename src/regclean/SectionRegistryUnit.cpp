// The built sections, by number. A section joins the scan by adding its line
// here; the numbers left out scan and repair nothing.

#include <array>

#include "regclean/ActivexSection.h"
#include "regclean/ApplicationPathsUnit.h"
#include "regclean/EmptyRegistryUnit.h"
#include "regclean/FileAssociationsUnit.h"
#include "regclean/FileExtensionUnit.h"
#include "regclean/HelpSectionUnit.h"
#include "regclean/InvalidShortCutsUnit.h"
#include "regclean/RecentlyFileUnit.h"
#include "regclean/SectionContractUnit.h"
#include "regclean/SectionTableUnit.h"
#include "regclean/SharedDLLsUnit.h"
#include "regclean/SoundsUnit.h"
#include "regclean/StartMenuItemUnit.h"
#include "regclean/StartUpUnit.h"
#include "regclean/SystemServicesUnit.h"
#include "regclean/SystemSoftWareSettingUnit.h"
#include "regclean/UninstallSectionUnit.h"
#include "regclean/UserSoftWareSettings.h"
#include "regclean/WindowsFontsUnit.h"

namespace regclean {

std::array<RegistrySection, kSectionCount> BuiltSections() {
  std::array<RegistrySection, kSectionCount> sections;
  sections[1 - 1] = ActiveXSection();
  sections[2 - 1] = ApplicationPathsSection();
  sections[3 - 1] = EmptyRegistryKeysSection();
  sections[4 - 1] = FileExtensionsSection();
  sections[5 - 1] = FontEntriesSection();
  sections[6 - 1] = HelpSection();
  sections[7 - 1] = FileAssociationsSection();
  sections[8 - 1] = InvalidShortcutsSection();
  sections[9 - 1] = MruEntriesSection();
  sections[10 - 1] = SharedDllsSection();
  sections[11 - 1] = SoundsSection();
  sections[12 - 1] = StartMenuItemsSection();
  sections[13 - 1] = StartupProgramsSection();
  sections[14 - 1] = SystemServicesSection();
  sections[15 - 1] = SystemSoftwareSettingsSection();
  sections[16 - 1] = UninstallEntriesSection();
  sections[17 - 1] = UserSoftwareSettingsSection();
  return sections;
}

}  // namespace regclean
