#pragma once
// Shared pieces of the browser-tool tests: the registry-cleaner fixture for
// shared state and a machine, and a text dump of a registry tree that shows
// names, types and data of every value.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../regclean/RegcleanFixture.h"
#include "platform/Machine.h"
#include "platform/RegFile.h"

namespace recovery::test {

using regclean::test::KeyExists;
using regclean::test::RegcleanTest;
using regclean::test::ValueExists;
using regclean::test::WriteText;
using regclean::test::WriteValue;

// One line per key ("[path]") and per value ("name=type:hex bytes") below
// keyPath (root name first); "<none>" when the key is missing.
inline std::string DumpTree(const std::string& keyPath) {
  win::RegFileContent content;
  std::string error;
  if (!win::ReadRegistryTree(win::CurrentMachine()->Registry(), keyPath, content, error)) return "<none>";
  std::string text;
  for (const win::RegFileKey& key : content.keys) {
    text += "[" + key.path + "]\n";
    for (const win::RegFileValue& value : key.values) {
      text += (value.name.empty() ? std::string("@") : value.name) + "=" + std::to_string(value.type) + ":";
      for (std::uint8_t byte : value.data) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        text += hex;
      }
      text += "\n";
    }
  }
  return text;
}

// The config of the default test machine with sections appended.
inline std::string MachineConfigWith(const std::string& sections) {
  return TestMachine::DefaultConfigText() + sections;
}

}  // namespace recovery::test
