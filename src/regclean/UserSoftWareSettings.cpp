#include "regclean/UserSoftWareSettings.h"

#include "regclean/SoftwareSettingsWalkUnit.h"

namespace regclean {

const char* const kUserSoftwareCaption = "User Software Settings";

namespace {

const SoftwareSettingsRules& UserRules() {
  static const SoftwareSettingsRules rules = [] {
    SoftwareSettingsRules r;
    r.cutOffWords = {"Winlogon", "outlook"};
    r.stopWords = {".sys", ".vxd", "itunes"};
    r.folderDetail = {"The file (", TProblemField::Value, ") does not exist at the specified location"};
    r.fileDetail = {" The file (", TProblemField::Value, ") does not exist at the specified location"};
    return r;
  }();
  return rules;
}

}  // namespace

void ScanUserSoftwareSettings(ScanContext& context) { ScanSoftwareSettings(context, UserRules()); }

RegistrySection UserSoftwareSettingsSection() { return ValueRepairSection({ScanUserSoftwareSettings}); }

void RepairUserSoftwareSettings(RepairContext& context) {
  RepairCheckedItems(context, UserSoftwareSettingsSection());
}

}  // namespace regclean
