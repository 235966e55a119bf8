#pragma once
// Shared pieces of the browser-tool tests: the registry-cleaner fixture for
// shared state and a machine, and a text dump of a registry tree that shows
// names, types and data of every value.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "../regclean/RegcleanFixture.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/text/TextCodec.h"

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

// A value as text: "sz:text", "expand:text", "dword:0000000a", else
// "<type>:hex bytes".
inline std::string ValueText(const win::RegFileValue& value) {
  if (value.type == win::REG_SZ || value.type == win::REG_EXPAND_SZ) {
    return (value.type == win::REG_SZ ? "sz:" : "expand:") + win::Utf16LeBytesToUtf8(value.data);
  }
  char hex[16];
  if (value.type == win::REG_DWORD && value.data.size() == 4) {
    std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", value.data[3], value.data[2], value.data[1], value.data[0]);
    return std::string("dword:") + hex;
  }
  std::string text = std::to_string(value.type) + ":";
  for (std::uint8_t byte : value.data) {
    std::snprintf(hex, sizeof hex, "%02x", byte);
    text += hex;
  }
  return text;
}

// The whole registry: key path -> value name -> ValueText; the current
// user's keys under "HKEY_CURRENT_USER".
using Snapshot = std::map<std::string, std::map<std::string, std::string>>;

inline Snapshot TakeSnapshot() {
  Snapshot snapshot;
  win::RegFileContent content;
  std::string error;
  if (!win::ReadRegistryTree(win::CurrentMachine()->Registry(), "", content, error)) return snapshot;
  const std::string user = "HKEY_USERS\\" + win::CurrentMachine()->Config().userSid;
  for (const win::RegFileKey& key : content.keys) {
    std::string path = key.path;
    if (path.compare(0, user.size(), user) == 0) path = "HKEY_CURRENT_USER" + path.substr(user.size());
    auto& values = snapshot[path];
    for (const win::RegFileValue& value : key.values) values[value.name] = ValueText(value);
  }
  return snapshot;
}

// What changed: "key" -> "<new key>" / "<gone>", "key|name" -> new text or
// "<gone>".
inline std::map<std::string, std::string> Changes(const Snapshot& before, const Snapshot& after) {
  std::map<std::string, std::string> changes;
  for (const auto& [key, values] : before) {
    const auto now = after.find(key);
    if (now == after.end()) {
      changes[key] = "<gone>";
      continue;
    }
    for (const auto& [name, text] : values) {
      const auto value = now->second.find(name);
      if (value == now->second.end()) changes[key + "|" + name] = "<gone>";
      else if (value->second != text) changes[key + "|" + name] = value->second;
    }
  }
  for (const auto& [key, values] : after) {
    const auto was = before.find(key);
    if (was == before.end()) changes[key] = "<new key>";
    for (const auto& [name, text] : values) {
      if (was == before.end() || !was->second.count(name)) changes[key + "|" + name] = text;
    }
  }
  return changes;
}

// The config of the default test machine with sections appended.
inline std::string MachineConfigWith(const std::string& sections) {
  return TestMachine::DefaultConfigText() + sections;
}

}  // namespace recovery::test
