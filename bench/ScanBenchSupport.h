#pragma once
// What the registry-cleaner benchmarks share: best-of timing, a scan of
// chosen sections, and the large generated machine they run on.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/MachineBuilder.h"
#include "platform/SyntheticMachine.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace bench {

// Best of several rounds, in seconds.
inline double BestOf(int rounds, const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

// A scan with only the given sections ticked, nothing shown; the number of
// problems found.
inline int ScanSections(const std::vector<int>& sections) {
  regclean::ScanSession session;
  regclean::ScanPageView view;
  for (int section = 1; section <= regclean::kSectionCount; ++section)
    session.SetSectionTicked(section,
                             std::find(sections.begin(), sections.end(), section) != sections.end());
  regclean::ScanNow(session, view);
  return session.GetTotalProblemCount();
}

// The machine a benchmark runs on, current while this object lives: a machine
// in `folder` is reused, otherwise one of `keys` generated keys is made there;
// an empty folder means a temporary one, removed afterwards. Problems start
// ticked and the non-fixed drives are listed.
class BenchMachine {
 public:
  BenchMachine(std::string folder, std::uint64_t keys) {
    if (folder.empty()) {
      const char* tmp = std::getenv("TMPDIR");
      temporary_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fwbench-XXXXXX";
      if (mkdtemp(temporary_.data()) == nullptr) {
        temporary_.clear();
        error_ = "cannot make a temporary folder";
        return;
      }
      folder = temporary_ + "/machine";
    }
    if (!win::HoldsMachine(folder)) {
      std::printf("Generating %llu keys at %s ...\n", static_cast<unsigned long long>(keys), folder.c_str());
      win::SyntheticCounts made;
      if (!win::CreateSyntheticMachine(folder, keys, made, error_)) return;
    }
    machine_ = win::Machine::Open(folder, error_);
    if (!machine_) return;
    win::SetCurrentMachine(machine_.get());
    BuildNonFixedDriveList(DriveList);
    Settings.SelectAll = true;
  }
  ~BenchMachine() {
    if (machine_) win::SetCurrentMachine(nullptr);
    machine_.reset();
    std::error_code ec;
    if (!temporary_.empty()) std::filesystem::remove_all(temporary_, ec);
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

  bool Ok() const { return machine_ != nullptr; }
  const std::string& Error() const { return error_; }

 private:
  std::string temporary_;
  std::unique_ptr<win::Machine> machine_;
  std::string error_;
};

}  // namespace bench
