#include "regclean/SystemSoftWareSettingUnit.h"

#include "regclean/SoftwareSettingsWalkUnit.h"

namespace regclean {

const char* const kSystemSoftwareCaption = "System Software Settings";

namespace {

const SoftwareSettingsRules& SystemRules() {
  static const SoftwareSettingsRules rules = [] {
    SoftwareSettingsRules r;
    r.cutOffWords = {"SYSTEM", "Winlogon", "SOFTWARE\\Microsoft\\Rpc",
                     "SOFTWARE\\Microsoft\\Cryptography",
                     "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"};
    r.skipInstallerAndAppPaths = true;
    r.stopWords = {".sys", ".vxd", "Explorer.exe", "itunes"};
    r.skipDriveH = true;
    r.fileNeedsDriveRoot = true;
    r.folderDetail = {" The file (", TProblemField::Value, ") does not exist at the specified location"};
    r.fileDetail = {" The file(", TProblemField::Value, ")does not exist at the specified location"};
    return r;
  }();
  return rules;
}

}  // namespace

void ScanSystemSoftwareSettings(ScanContext& context) { ScanSoftwareSettings(context, SystemRules()); }

RegistrySection SystemSoftwareSettingsSection() {
  // The driver calls the scanner once for each of the two roots.
  return ValueRepairSection({ScanSystemSoftwareSettings, ScanSystemSoftwareSettings});
}

void RepairSystemSoftwareSettings(RepairContext& context) {
  RepairCheckedItems(context, SystemSoftwareSettingsSection());
}

}  // namespace regclean
