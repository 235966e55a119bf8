#pragma once
// What "Exclude" stores of a finding: the key and data that the finding's
// finder compares through IsExcludedEntry or IsExcludedValue, so that the
// entry keeps exactly that finding out of later scans. Every finder compares
// what this one table gives for its findings.

#include <string>

#include "privacy/ResultContentUnit.h"

struct TExclusionSignature {
  std::string Key;
  std::string Data;
};

// "Cache", "Cookies", "Favorites": (Name, ""), by URL or file name.
// Kind 2 (a value with its data): (Path, Data).
// "Windows Explorer Open With History", "Start Menu Click History" (value
// name in KeyName) and "Start Menu Order History" (in Name): (Path, the
// value name).
// The "TrayNotify" finding "PasticonsStream" and the "ACDSee History"
// finding "OpenFolder": (Path, that name).
// Every other finding, registry or file (the browser profiles' included,
// which are compared by their profile file): (Path, "").
TExclusionSignature ExclusionSignature(const TResultContentItem& Finding);
