#pragma once
// Shared pieces of the junk-file cleaner tests: a view that records what the
// wizard was told, and the shared state put back around each test.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell/BusyGuard.h"
#include "shell/MessagePump.h"
#include "shell/ProgramStartUnit.h"
#include "shell/PublicFunctionUnit.h"
#include "tools/SysDiskCleanerUnit.h"

namespace tools::test {

class RecordingJunkView : public JunkCleanerView {
 public:
  std::vector<std::string> scanStatus;  // "row status" in the order told
  std::vector<std::string> messages;
  std::string countTotal;
  std::string sizeTotal;
  int cleanRowsAdded = 0;
  std::vector<bool> progressShown;

  void ScanStatusChanged(int row) override {
    scanStatus.push_back(std::to_string(row) + " " + cleaner->ScanRows[static_cast<std::size_t>(row)].Status);
  }
  void SetScanMessage(const std::string& text) override { messages.push_back(text); }
  void ReportTotalsChanged(const std::string& count, const std::string& size) override {
    countTotal = count;
    sizeTotal = size;
  }
  void CleanRowAdded(int) override { ++cleanRowsAdded; }
  void ShowCleanProgress(bool visible) override { progressShown.push_back(visible); }

  TSysDiskCleaner* cleaner = nullptr;
};

class JunkCleanerTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetSharedState(); }
  void TearDown() override {
    SetProcessMessagesHook(nullptr);
    ResetSharedState();
    ResetTerminateRequest();
  }
};

// Whether the program was ended, and whether a long operation still ran then.
struct TerminationWatch {
  TerminationWatch() {
    SetTerminateHandler([this] {
      terminated = true;
      whileBusy = IsBusy();
    });
  }
  bool terminated = false;
  bool whileBusy = false;
};

// Full paths of the findings.
inline std::set<std::string> FoundPaths(const TSysDiskCleaner& cleaner) {
  std::set<std::string> paths;
  for (const TTempFileInfo& file : cleaner.Findings) paths.insert(file.FullPath);
  return paths;
}

}  // namespace tools::test
