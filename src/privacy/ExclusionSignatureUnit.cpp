#include "privacy/ExclusionSignatureUnit.h"

TExclusionSignature ExclusionSignature(const TResultContentItem& Finding) {
  const std::string& item = Finding.ItemName;
  if (item == "Cache" || item == "Cookies" || item == "Favorites") return {Finding.Name, ""};
  if (Finding.Kind == kKindValueData) return {Finding.Path, Finding.Data};
  if (item == "Windows Explorer Open With History" || item == "Start Menu Click History")
    return {Finding.Path, Finding.KeyName};
  if (item == "Start Menu Order History") return {Finding.Path, Finding.Name};
  if ((item == "TrayNotify" && Finding.Name == "PasticonsStream") ||
      (item == "ACDSee History" && Finding.Name == "OpenFolder"))
    return {Finding.Path, Finding.Name};
  return {Finding.Path, ""};
}
