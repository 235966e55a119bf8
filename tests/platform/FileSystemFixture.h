#pragma once
// A machine made by hand for the file system tests: machine.ini plus drive
// folders in a temporary folder, opened with Machine::Open and made current.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/machine/Machine.h"

class HandMachine {
 public:
  // Drives: C fixed, D cdrom without a folder on disk, E removable,
  // N remote, R ramdisk.
  static std::string DefaultConfig(const std::string& machineLines = "") {
    return "[Machine]\n"
           "OSMajor=5\nOSMinor=1\nPlatformId=2\nUserName=Owner\nAnsiCodePage=1252\n" +
           machineLines +
           "[Drives]\n"
           "C=fixed,drives/C\nD=cdrom,drives/D\nE=removable,drives/E\n"
           "N=remote,drives/N\nR=ramdisk,drives/R\n";
  }

  explicit HandMachine(const std::string& configText = DefaultConfig()) {
    std::string pattern = "/tmp/fwfiles-XXXXXX";
    folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
    for (const char* drive : {"C", "E", "N", "R"}) {
      std::filesystem::create_directories(folder_ + "/drives/" + drive);
    }
    std::ofstream(folder_ + "/machine.ini") << configText;
    std::string error;
    machine_ = win::Machine::Open(folder_, error);
    if (!machine_) {
      ADD_FAILURE() << "machine: " << error;
      throw std::runtime_error(error);
    }
    win::SetCurrentMachine(machine_.get());
  }

  ~HandMachine() {
    machine_.reset();  // no longer current once gone
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder_, ec);
         !ec && it != std::filesystem::end(it); it.increment(ec)) {
      if (!it->is_symlink(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
      }
    }
    std::filesystem::remove_all(folder_, ec);
  }
  HandMachine(const HandMachine&) = delete;
  HandMachine& operator=(const HandMachine&) = delete;

  win::Machine& machine() { return *machine_; }
  const std::string& folder() const { return folder_; }
  // Host path below drive C's folder ("WINDOWS/win.ini").
  std::string C(const std::string& relative = "") const { return folder_ + "/drives/C/" + relative; }

  void File(const std::string& relative, const std::string& content = "") const {
    const std::filesystem::path path = C(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  void Folder(const std::string& relative) const { std::filesystem::create_directories(C(relative)); }
  std::string Content(const std::string& relative) const {
    std::ifstream in(C(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool HostExists(const std::string& relative) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(C(relative), ec));
  }

 private:
  std::string folder_;
  std::unique_ptr<win::Machine> machine_;
};
