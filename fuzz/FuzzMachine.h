#pragma once
// One sample machine in a temporary folder, current for the whole run.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Machine.h"
#include "platform/MachineBuilder.h"

namespace fuzz {

inline std::string TemporaryFolder(const char* name) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / (std::string("fw-fuzz-") + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  return folder.string();
}

inline win::Machine& SampleMachine() {
  static std::unique_ptr<win::Machine> machine;
  static std::unique_ptr<win::CurrentMachineScope> scope;
  if (!machine) {
    const std::string folder = TemporaryFolder("machine");
    std::string error;
    if (!win::CreateMachine(folder, win::SampleMachineRecipe(), error) ||
        !(machine = win::Machine::Open(folder, error))) {
      std::fprintf(stderr, "cannot make the sample machine: %s\n", error.c_str());
      std::abort();
    }
    scope = std::make_unique<win::CurrentMachineScope>(*machine);
  }
  return *machine;
}

}  // namespace fuzz
