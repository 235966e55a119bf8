#pragma once
// The error utilities' list entries: one item per line of "errorlist.txt".

#include <cstdint>
#include <string>

#include "common/Collection.h"

namespace recovery {

struct TContent {
  std::string Title;
  std::string KeyPath;   // root name, backslash, subkey path
  std::string SpecList;  // the fixes, comma-separated, then "##" and the description
  std::u16string Description;
  std::int32_t Selected = 0;
};

class TErrorContentItem {
 public:
  TContent Content;
};

class TErrorContents : public TContents<TErrorContentItem> {};

}  // namespace recovery
