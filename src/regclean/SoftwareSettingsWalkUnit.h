#pragma once
// The walk of the two software-settings sections: every string value below a
// root whose data names a folder or a file that no longer exists. The two
// sections differ only in the rules below.

#include <string>
#include <vector>

#include "regclean/SectionContractUnit.h"

namespace regclean {

struct SoftwareSettingsRules {
  // Nothing below a key whose path holds one of these (any letter case) is
  // walked; the key's own values are still examined.
  std::vector<std::string> cutOffWords;
  // Installer data and the "App Paths" keys are left out of the walk.
  bool skipInstallerAndAppPaths = false;
  // Data holding one of these (any letter case) is passed over.
  std::vector<std::string> stopWords;
  // Data holding "H:\" (exactly so) is passed over.
  bool skipDriveH = false;
  // A file cut out of the data must hold ":\".
  bool fileNeedsDriveRoot = false;
  // DetailText of the two kinds of problem, formed around the path.
  TTextForm folderDetail;
  TTextForm fileDetail;
};

void ScanSoftwareSettings(ScanContext& context, const SoftwareSettingsRules& rules);

}  // namespace regclean
