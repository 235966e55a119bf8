#include "TestMachine.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/registry/RegistryStore.h"

namespace fs = std::filesystem;

namespace {

std::string MakeTempFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fwtest-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
  return pattern;
}

// A .reg text without its header line gets the REGEDIT4 one.
std::string WithRegHeader(const std::string& regText) {
  if (regText.find_first_not_of(" \t\r\n") == std::string::npos) return regText;
  if (regText.rfind("REGEDIT4", 0) == 0 || regText.rfind("Windows Registry Editor", 0) == 0 ||
      regText.rfind("\xFF\xFE", 0) == 0 || regText.rfind("\xEF\xBB\xBF", 0) == 0)
    return regText;
  return "REGEDIT4\r\n\r\n" + regText;
}

// Removes a folder even where a test left parts of it without write access.
void RemoveFolder(const std::string& folder) {
  std::error_code ec;
  if (fs::remove_all(folder, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_symlink(ec))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(folder, ec);
}

// The test machines alive, oldest first: when the current one goes, the
// youngest one left becomes current.
std::vector<TestMachine*>& LiveMachines() {
  static std::vector<TestMachine*> machines;
  return machines;
}

}  // namespace

TestMachine::TestMachine(const std::string& regText, const std::string& fileList,
                         const std::string& configText, const std::string& urlCache)
    : folder_(MakeTempFolder()) {
  win::MachineRecipe recipe;
  recipe.configText = configText.empty() ? DefaultConfigText() : configText;
  recipe.regText = WithRegHeader(regText);
  recipe.fileList = fileList;
  recipe.urlCache = urlCache;
  std::string error;
  if (win::CreateMachine(folder_, recipe, error)) machine_ = win::Machine::Open(folder_, error);
  if (!machine_) {
    RemoveFolder(folder_);
    ADD_FAILURE() << "test machine: " << error;
    throw std::runtime_error("test machine: " + error);
  }
  win::SetCurrentMachine(machine_.get());
  LiveMachines().push_back(this);
}

TestMachine::~TestMachine() {
  auto& live = LiveMachines();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
  if (win::CurrentMachine() == machine_.get())
    win::SetCurrentMachine(live.empty() ? nullptr : &live.back()->machine());
  machine_.reset();
  RemoveFolder(folder_);
}

std::string TestMachine::host(const std::string& windowsPath) const {
  return win::HostPath(windowsPath);
}

std::string TestMachine::DefaultConfigText() {
  return "[Machine]\r\n"
         "OSMajor=5\r\n"
         "OSMinor=1\r\n"
         "PlatformId=2\r\n"
         "CSDVersion=Service Pack 2\r\n"
         "UserName=Owner\r\n"
         "ComputerName=TEST-PC\r\n"
         "AnsiCodePage=1252\r\n"
         "[Drives]\r\n"
         "C=fixed,drives/C\r\n"
         "D=cdrom,drives/D\r\n"
         "E=removable\r\n";
}
