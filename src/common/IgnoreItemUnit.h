#pragma once
// The registry cleaner's ignore list.

#include <string>

#include "common/Collection.h"

struct TIgnoreContent {
  std::string Section;
  std::string KeyPath;
  std::string ValueName;
};

class TIgnoreContentItem {
 public:
  TIgnoreContent Content;
};

class TIgnoreContents : public TContents<TIgnoreContentItem> {};
