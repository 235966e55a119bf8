#pragma once
// Reporting a problem the way every section does: the unnamed value marked on
// the item, and the ignore list asked with the item's own key path and value
// name, so that an excluded problem never comes back.

#include <string>

#include "regclean/SectionContractUnit.h"

namespace regclean {

// The texts most problems share, formed from the problem's fields.
inline constexpr TTextForm kKeyPathTextForm{" Key Path:", TProblemField::KeyPath};
inline constexpr TTextForm kValueNameTextForm{" ValueName:", TProblemField::NamedValue};
inline constexpr TTextForm kDefaultValueNameText{" ValueName:default"};
inline constexpr TTextForm kValueTextForm{" Value:", TProblemField::Value};
inline constexpr TTextForm kMissingFileDetailForm{" The file (", TProblemField::Value,
                                                  ") does not exist at the specified location"};
inline constexpr TTextForm kBadPathDescriptionForm{"The Key ", TProblemField::Value, " under ", TProblemField::KeyPath,
                                                   " contains a bad path for the value"};
inline constexpr TTextForm kDefaultBadPathDescription{"The Key default under ", TProblemField::KeyPath,
                                                      " contains a bad path for the value"};
inline constexpr TTextForm kMissingPathType{"Missing or Invalid Path"};

// "Low", "Normal" or "High" without a copy; any other text as it is.
TProblemText SeverityText(const std::string& severity);
// The severity GetSeverity gives for the text.
TProblemText SeverityOf(const std::string& text);

// Sets ValueName: "default" for the unnamed value, which the item marks.
void SetProblemValueName(TRegistryContent& problem, const std::string& valueName);
// A "Missing or Invalid Path" problem about `path` in the value `valueName`
// under `keyPath`: Value and the texts name the path, ValueNameText the value
// as it is named; DetailText the one given, else " The file (path) does not
// exist at the specified location".
TRegistryContent MissingPathProblem(std::string keyPath, const std::string& valueName, std::string path,
                                    const TTextForm& detailText = kMissingFileDetailForm);
// Appends the problem unless the ignore list holds it; true when appended.
bool AddUnlessIgnored(ScanContext& context, TRegistryContent problem);

}  // namespace regclean
