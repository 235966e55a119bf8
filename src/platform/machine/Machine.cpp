#include "platform/machine/Machine.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/files/FileRecords.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/RegistryStore.h"
#include "platform/system/SystemRestore.h"

namespace win {

namespace {

Machine* currentMachine = nullptr;

std::string JoinHostPath(const std::string& folder, const std::string& name) {
  return (std::filesystem::path(folder) / name).lexically_normal().string();
}

bool ReadHostText(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  text = buffer.str();
  return true;
}

}  // namespace

std::unique_ptr<Machine> Machine::Open(const std::string& folder, std::string& error, PendingRestore restore) {
  std::error_code ec;
  const std::string absolute = std::filesystem::absolute(folder, ec).lexically_normal().string();
  if (ec || !std::filesystem::is_directory(absolute, ec)) {
    error = folder + ": no machine folder there";
    return nullptr;
  }
  std::unique_ptr<Machine> machine(new Machine());
  machine->folder_ = absolute;
  struct stat st;
  if (stat(absolute.c_str(), &st) == 0) {
    machine->folderDevice_ = st.st_dev;
    machine->folderInode_ = st.st_ino;
  }

  const std::string iniPath = JoinHostPath(absolute, "machine.ini");
  std::string text;
  if (!ReadHostText(iniPath, text)) {
    error = iniPath + ": cannot be read";
    return nullptr;
  }
  if (!ParseMachineConfig(text, iniPath, machine->config_, error)) return nullptr;

  // A restore asked for in the last session goes in before the registry opens.
  std::string restoreError;
  if (restore == PendingRestore::Apply && !ApplyPendingRestore(absolute, machine->config_.userSid, restoreError))
    machine->restoreError_ = restoreError.empty() ? "the restore point could not be read" : restoreError;

  RegistryOptions options;
  options.userSid = machine->config_.userSid;
  options.readOnlyKeys = machine->config_.readOnlyKeys;
  options.checkStamp = true;
  machine->registry_ = RegistryStore::Open(JoinHostPath(absolute, "registry.db"), options, error);
  if (!machine->registry_) return nullptr;
  machine->state_ = StateStore::Open(JoinHostPath(absolute, "state.db"), error);
  if (!machine->state_) return nullptr;
  // Moves and deletions that a killed process left halfway.
  if (!machine->state_->PendingFileChanges().empty()) {
    CurrentMachineScope scope(*machine);
    fs_detail::EndAbandonedFileChanges();
  }
  return machine;
}

Machine::~Machine() {
  if (currentMachine == this) SetCurrentMachine(nullptr);
}

std::string Machine::DriveFolder(char letter) const {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter);
  for (const auto& drive : config_.drives) {
    if (drive.letter != upper) continue;
    if (drive.folder.empty()) return {};
    return JoinHostPath(folder_, drive.folder);  // an absolute folder stays as it is
  }
  return {};
}

bool Machine::IsMachineFolder(std::uint64_t device, std::uint64_t inode) const {
  return folderInode_ != 0 && device == folderDevice_ && inode == folderInode_;
}

bool IsStoreFileName(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* store : {"registry.db", "state.db"}) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal", "-checked"}) {
      if (lower == std::string(store) + suffix) return true;
    }
  }
  return false;
}

Machine* CurrentMachine() { return currentMachine; }

void SetCurrentMachine(Machine* machine) {
  currentMachine = machine;
  SetCurrentRegistry(machine ? &machine->Registry() : nullptr);
}

std::string DefaultMachineFolder() {
  const auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  if (const std::string machine = env("FERNWICK_MACHINE"); !machine.empty()) return machine;
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty() || dataHome[0] != '/') {
    const std::string home = env("HOME");
    dataHome = (home.empty() ? std::string(".") : home) + "/.local/share";
  }
  return dataHome + "/fernwick/machine";
}

}  // namespace win
