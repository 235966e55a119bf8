#pragma once
// The user's exclusion list: each entry names an evidence item and the URL,
// file or registry value that later scans leave alone.

#include <string>

#include "common/Collection.h"

struct TExcludeContentItem {
  std::string ItemName;
  std::string Key;        // URL, file name or path, or full key path
  std::string ValueName;  // kept and written, not compared
  std::string Data;       // compared trimmed by IsExcludedValue
};

using TExcludeContents = TContents<TExcludeContentItem>;
