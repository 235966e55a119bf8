#pragma once
// Helpers for the optimizer tests: the sample machine in a temporary folder,
// raw registry values and the backup file of a run.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "SampleMachineCopy.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"

namespace optimizer_test {

using SampleMachine = SampleMachineCopy;

struct RawValue {
  bool exists = false;
  win::DWORD type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const RawValue& other) const {
    return exists == other.exists && (!exists || (type == other.type && data == other.data));
  }
};

inline RawValue ReadRaw(win::HKEY root, const std::string& key, const std::string& name) {
  RawValue value;
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  if (reg.OpenKeyReadOnly("\\" + key)) value.exists = reg.ReadRaw(name, value.type, value.data);
  return value;
}

inline RawValue DwordValue(std::int32_t number) {
  RawValue value{true, win::REG_DWORD, {}};
  for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(number) >> (8 * i)));
  return value;
}

inline RawValue StringValue(const std::string& text) {
  RawValue value{true, win::REG_SZ, {}};
  for (const char c : text) {
    value.data.push_back(static_cast<std::uint8_t>(c));
    value.data.push_back(0);
  }
  value.data.insert(value.data.end(), {0, 0});
  return value;
}

inline bool KeyExists(win::HKEY root, const std::string& key) {
  win::TRegistry reg(win::KEY_READ);
  reg.SetRootKey(root);
  return reg.KeyExists("\\" + key);
}

// The bytes of a file on the machine, as text.
inline std::string FileText(const std::string& windowsPath) {
  std::vector<std::uint8_t> data;
  win::ReadFileBytes(windowsPath, data);
  return std::string(data.begin(), data.end());
}

}  // namespace optimizer_test
