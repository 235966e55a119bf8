#pragma once
// One sample machine in a temporary folder, current for the whole run. It is
// made before the first input, so that its making does not count against
// that input's time limit.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "FuzzFolder.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"

namespace fuzz {

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

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  fuzz::SampleMachine();
  return 0;
}
