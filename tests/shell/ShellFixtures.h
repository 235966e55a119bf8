#pragma once
// Small helpers for the shell tests: machine.ini variants of the default test
// machine and a reset of the process-wide state around each test.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "TestMachine.h"
#include "platform/registry/Registry.h"
#include "platform/shell/Shell.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

// The default test machine.ini with one "Name=old" line replaced and further
// sections appended.
inline std::string ConfigWith(const std::string& from, const std::string& to,
                              const std::string& extraSections = "") {
  std::string text = TestMachine::DefaultConfigText();
  if (!from.empty()) {
    const std::size_t at = text.find(from);
    if (at == std::string::npos) ADD_FAILURE() << "no line " << from;
    else text.replace(at, from.size(), to);
  }
  return text + extraSections;
}

// A string value of the current machine, or nullopt when key or value is missing.
inline std::optional<std::string> RegString(win::HKEY root, const std::string& key,
                                            const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(key)) return std::nullopt;
  return registry.ReadString(name);
}

inline bool RegKeyExists(win::HKEY root, const std::string& key) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.KeyExists(key);
}

class SharedStateTest : public ::testing::Test {
 protected:
  SharedStateTest() { Reset(); }
  ~SharedStateTest() override { Reset(); }

 private:
  static void Reset() {
    ResetSharedState();
    win::ResetShellState();
    SetProcessMessagesHook(nullptr);
    ResetProcessMessagesCount();
  }
};
