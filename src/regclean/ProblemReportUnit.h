#pragma once
// Reporting a problem the way every section does: the unnamed value marked on
// the item, and the ignore list asked with the item's own key path and value
// name, so that an excluded problem never comes back.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

// Sets ValueName: "default" for the unnamed value, which the item marks.
void SetProblemValueName(TRegistryContent& problem, const std::string& valueName);
// A "Missing or Invalid Path" problem about `path` in the value `valueName`
// under `keyPath`: Value and the texts name the path, ValueNameText the value
// as it is named; DetailText the one given, else " The file (path) does not
// exist at the specified location".
TRegistryContent MissingPathProblem(const std::string& keyPath, const std::string& valueName,
                                    const std::string& path, std::string detailText = {});
// Appends the problem unless the ignore list holds it; true when appended.
bool AddUnlessIgnored(ScanContext& context, TRegistryContent problem);

}  // namespace regclean
