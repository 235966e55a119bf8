#pragma once
// Registry problems (one collection per section and the combined list) and
// the repair log.

#include <cstdint>
#include <string>

#include "common/Collection.h"

struct TRegistryContent {
  bool Checked = false;
  bool Flag = false;
  std::string SectionName;
  std::string KeyPath;
  std::string KeyName;
  std::string ValueName;
  std::string Value;
  std::string Data1;
  std::string Data2;
  std::int32_t Index = 0;
  std::string KeyPathText;
  std::string ValueNameText;
  std::string ValueText;
  std::string DetailText;
  std::string Severity;
  std::string Description;
  std::string ProblemType;
  // The problem is about the key's unnamed value (ValueName then reads
  // "default"); keeps it apart from a real value named "default".
  bool UnnamedValue = false;
};

class TRegistryContentItem {
 public:
  TRegistryContent Content;
};

class TRegistryContents : public TContents<TRegistryContentItem> {};

struct TRepairRec {
  std::string KeyPath;
  std::string Result;
};

class TRepairContentItem {
 public:
  TRepairRec Content;
};

class TRepairContents : public TContents<TRepairContentItem> {};
