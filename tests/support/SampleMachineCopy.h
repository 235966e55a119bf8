#pragma once
// The built-in sample machine made afresh in a temporary folder, current
// while it lives.

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/machine/Machine.h"

class SampleMachineCopy {
 public:
  SampleMachineCopy() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fwsample-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    parent_ = pattern;
    std::string error;
    machine_ = win::OpenOrCreateMachine(parent_ + "/machine", error);
    if (machine_) win::SetCurrentMachine(machine_.get());
  }
  ~SampleMachineCopy() {
    if (machine_) win::SetCurrentMachine(nullptr);
    machine_.reset();
    std::error_code ignored;
    if (!parent_.empty()) std::filesystem::remove_all(parent_, ignored);
  }
  SampleMachineCopy(const SampleMachineCopy&) = delete;
  SampleMachineCopy& operator=(const SampleMachineCopy&) = delete;
  bool Ready() const { return machine_ != nullptr; }

 private:
  std::string parent_;
  std::unique_ptr<win::Machine> machine_;
};
