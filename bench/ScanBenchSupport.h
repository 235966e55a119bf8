#pragma once
// What the registry-cleaner benchmarks share: a scan of chosen sections and
// the large generated machine they run on.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace bench {

// A scan with only the given sections ticked, nothing shown; the session
// holds its results, as the scan page does until the next scan.
inline std::unique_ptr<regclean::ScanSession> ScanKeepingResults(const std::vector<int>& sections) {
  auto session = std::make_unique<regclean::ScanSession>();
  regclean::ScanPageView view;
  for (int section = 1; section <= regclean::kSectionCount; ++section)
    session->SetSectionTicked(section,
                              std::find(sections.begin(), sections.end(), section) != sections.end());
  regclean::ScanNow(*session, view);
  return session;
}

// The same, the results freed at once; the number of problems found.
inline int ScanSections(const std::vector<int>& sections) {
  return ScanKeepingResults(sections)->GetTotalProblemCount();
}

// The machine a benchmark runs on, current while this object lives: a machine
// in `folder` is reused, otherwise one of `keys` generated keys is made there;
// an empty folder means a temporary one, removed afterwards. Problems start
// ticked and the non-fixed drives are listed.
class BenchMachine {
 public:
  BenchMachine(std::string folder, std::uint64_t keys) {
    if (!ReadyMachineFolder(folder, keys, temporary_, error_)) return;
    machine_ = win::Machine::Open(folder, error_);
    if (!machine_) return;
    win::SetCurrentMachine(machine_.get());
    BuildNonFixedDriveList(DriveList);
    Settings.SelectAll = true;
  }
  ~BenchMachine() {
    if (machine_) win::SetCurrentMachine(nullptr);
    machine_.reset();
  }
  BenchMachine(const BenchMachine&) = delete;
  BenchMachine& operator=(const BenchMachine&) = delete;

  bool Ok() const { return machine_ != nullptr; }
  const std::string& Error() const { return error_; }

 private:
  TemporaryFolder temporary_;  // outlives the machine in it
  std::unique_ptr<win::Machine> machine_;
  std::string error_;
};

}  // namespace bench
