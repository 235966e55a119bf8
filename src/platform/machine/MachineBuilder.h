#pragma once
// Building machine folders: the steps behind CreateMachine (Machine.h), for
// callers that add more to a machine before it is put in place.

#include <functional>
#include <string>

#include "platform/machine/Machine.h"

namespace win {

// Runs on the finished but not yet placed machine folder; false (with error)
// abandons the whole machine.
using MachineFinisher = std::function<bool(const std::string& folder, std::string& error)>;

// CreateMachine with one more step before the folder is put in place.
bool CreateMachineWith(const std::string& folder, const MachineRecipe& recipe,
                       const MachineFinisher& finish, std::string& error);

// True when folder holds a machine (its machine.ini).
bool HoldsMachine(const std::string& folder);

// Makes a machine current for a scope, then makes the machine and registry
// that were current before current again.
class CurrentMachineScope {
 public:
  explicit CurrentMachineScope(Machine& machine);
  ~CurrentMachineScope();
  CurrentMachineScope(const CurrentMachineScope&) = delete;
  CurrentMachineScope& operator=(const CurrentMachineScope&) = delete;

 private:
  Machine* previousMachine_;
  RegistryStore* previousRegistry_;
};

}  // namespace win
