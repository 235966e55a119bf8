#pragma once
// An emulated Windows machine: a folder holding machine.ini, registry.db,
// state.db and one host folder per drive.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine/MachineConfig.h"

namespace win {

class RegistryStore;
class StateStore;

// Whether an opening puts a pending System Restore point in place. Only the
// program does, at its start, while no other copy of it has the machine
// open; every other opening (fwmachine, tools, tests) leaves it pending.
enum class PendingRestore { Leave, Apply };

class Machine {
 public:
  // Opens an existing machine folder. Null with a message naming the damaged
  // file (and line) when it cannot be opened.
  static std::unique_ptr<Machine> Open(const std::string& folder, std::string& error,
                                       PendingRestore restore = PendingRestore::Leave);
  ~Machine();

  const std::string& Folder() const { return folder_; }
  const MachineConfig& Config() const { return config_; }
  RegistryStore& Registry() { return *registry_; }
  StateStore& State() { return *state_; }
  // Host folder of a drive letter; empty when there is no such drive.
  std::string DriveFolder(char letter) const;
  // Why the restore asked for in the last session could not be put in place
  // at this opening (the registry then stays as it was); empty otherwise.
  const std::string& RestoreError() const { return restoreError_; }
  // True for the host folder of the machine itself (by device and inode),
  // however a drive reaches it.
  bool IsMachineFolder(std::uint64_t device, std::uint64_t inode) const;

 private:
  Machine() = default;
  std::string folder_;
  MachineConfig config_;
  std::string restoreError_;
  std::uint64_t folderDevice_ = 0;
  std::uint64_t folderInode_ = 0;
  std::unique_ptr<RegistryStore> registry_;
  std::unique_ptr<StateStore> state_;
};

// The machine the program runs on. SetCurrentMachine also makes its registry
// the current registry. Null before one is opened.
Machine* CurrentMachine();
void SetCurrentMachine(Machine* machine);

// registry.db, state.db and the files SQLite keeps beside them, in any
// letter case. Only the stores open them: a close() of any other handle to
// one of them drops every lock the process holds on it.
bool IsStoreFileName(const std::string& name);

// Default machine folder: $FERNWICK_MACHINE, else
// $XDG_DATA_HOME/fernwick/machine (~/.local/share/fernwick/machine).
std::string DefaultMachineFolder();

// What a new machine is made of: machine.ini text, a .reg text (either form),
// a file list and a URL-cache list (see MachineBuilder.cpp for its lines).
struct MachineRecipe {
  std::string configText;
  std::string regText;
  std::string fileList;
  std::string urlCache = {};  // URL-cache entries (see MachineBuilder.cpp for its lines)
};

// Creates a machine folder from a recipe. Fails (and leaves no half-made
// machine behind) when the folder already holds a machine or a part of the
// recipe does not parse; the error names the part and its line.
bool CreateMachine(const std::string& folder, const MachineRecipe& recipe, std::string& error);
// The built-in sample machine (resources/machine/).
MachineRecipe SampleMachineRecipe();
// Makes the machine at folder from the sample when the folder holds none.
bool EnsureMachine(const std::string& folder, std::string& error);
// Opens the machine at folder, creating it from the sample first when missing.
std::unique_ptr<Machine> OpenOrCreateMachine(const std::string& folder, std::string& error);

}  // namespace win
