#pragma once
// Shared pieces of the registry-cleaner tests: a view that records what the
// scan page was told, a fixture that resets the shared state, and small
// registry helpers.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"
#include "platform/text/WinTypes.h"
#include "regclean/ScanSessionUnit.h"
#include "regclean/SectionContractUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean::test {

// The file list line that makes the program's folder.
inline const char* const kProgramFolderLine = "C:\\Program Files\\Fernwick\\\n";

class RecordingView : public ScanPageView {
 public:
  std::vector<int> steps;
  std::vector<std::string> totalProcess;
  std::vector<std::string> outcomes;
  std::map<int, std::string> countText;
  std::map<int, std::vector<int>> frames;
  std::vector<std::string> scanTimes;
  std::vector<std::string> repairStatus;
  std::string elapsed;
  bool animationRunning = false;
  bool elapsedTimerRunning = false;
  int dialogShown = 0;
  int dialogHidden = 0;
  int repairLogChanges = 0;

  void ShowScanStep(int step) override { steps.push_back(step); }
  void SetScanTimeText(const std::string& text) override { scanTimes.push_back(text); }
  void SetOutcomeText(const std::string& text) override { outcomes.push_back(text); }
  void SetTotalProcess(const std::string& text, int) override { totalProcess.push_back(text); }
  void SetSectionCountText(int section, const std::string& text) override {
    countText[section] = text;
  }
  void SetSectionFrame(int section, int frame) override { frames[section].push_back(frame); }
  void SetElapsedText(const std::string& text) override { elapsed = text; }
  void StartScanAnimation() override { animationRunning = true; }
  void StopScanAnimation() override { animationRunning = false; }
  void StartElapsedTimer() override { elapsedTimerRunning = true; }
  void StopElapsedTimer() override { elapsedTimerRunning = false; }
  void ShowRepairDialog() override { ++dialogShown; }
  void HideRepairDialog() override { ++dialogHidden; }
  void SetRepairStatus(const std::string& text) override { repairStatus.push_back(text); }
  void RepairLogChanged() override { ++repairLogChanges; }
};

// Resets the shared state before and after each test: every problem starts
// ticked, NT file format, the machine's non-fixed drives listed.
class RegcleanTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetAll(); }
  void TearDown() override { ResetAll(); }

  // Makes the machine current and lists its non-fixed drives.
  void UseMachine(const std::string& regText, const std::string& fileList,
                  const std::string& configText = "") {
    machine_.reset();  // the next machine must not remember this one as the one to restore
    machine_ = std::make_unique<TestMachine>(regText, std::string(kProgramFolderLine) + fileList,
                                             configText);
    DriveList.clear();
    BuildNonFixedDriveList(DriveList);
  }
  TestMachine& machine() { return *machine_; }

 private:
  static void ResetAll() {
    ResetSharedState();
    Settings.SelectAll = true;
    PlatformCode = 4;
    SetProcessMessagesHook(nullptr);
  }
  std::unique_ptr<TestMachine> machine_;
};

// Raw registry access for arranging and checking.
inline bool WriteValue(win::HKEY root, const std::string& key, const std::string& name,
                       win::DWORD type, const std::vector<std::uint8_t>& data) {
  win::TRegistry registry;
  registry.SetRootKey(root);
  return registry.OpenKey("\\" + key, true) && registry.WriteRaw(name, type, data);
}

inline bool WriteText(win::HKEY root, const std::string& key, const std::string& name,
                      const std::string& text) {
  win::TRegistry registry;
  registry.SetRootKey(root);
  return registry.OpenKey("\\" + key, true) && registry.WriteString(name, text);
}

inline bool ValueExists(win::HKEY root, const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.OpenKeyReadOnly("\\" + key) && registry.ValueExists(name);
}

inline bool KeyExists(win::HKEY root, const std::string& key) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.KeyExists("\\" + key);
}

// Items of a collection as "ValueName" strings, in order.
inline std::vector<std::string> ValueNamesOf(const TRegistryContents& contents) {
  std::vector<std::string> names;
  for (int i = 0; i < contents.Count(); ++i) names.push_back(contents.GetItem(i).Content.ValueName);
  return names;
}

}  // namespace regclean::test

namespace regclean::test {

// Collects captions written to a label.
class CaptionLog : public CaptionSink {
 public:
  std::vector<std::string> captions;
  void SetCaption(const std::string& text) override { captions.push_back(text); }
};

// Runs one scanner call of a section as the driver makes it, into
// `collection`, with `ignoreList` when the section consults one.
inline void RunScannerCall(const SectionScanner& scanner, int section, std::size_t call,
                           TRegistryContents& collection, const TIgnoreContents& ignoreList,
                           CaptionLog* outcome = nullptr, CaptionLog* countLabel = nullptr) {
  const SectionSpec& spec = *SectionByNumber(section);
  ScanContext context;
  context.sectionPosition = section - 1;
  context.caption = spec.caption;
  context.outcome = outcome;
  context.countLabel = countLabel;
  context.root = spec.calls[call].root;
  context.startPath = spec.calls[call].startPath;
  context.collection = &collection;
  context.ignoreList = spec.calls[call].getsIgnoreList ? &ignoreList : nullptr;
  scanner(context);
}

// Every section replaced by a scanner that reports `found[section]` problems,
// one per entry, testing for a stop and letting messages through as real
// scanners do. Records what each call received.
class FakeSections {
 public:
  struct Call {
    int section = 0;
    std::size_t call = 0;
    win::HKEY root = 0;
    std::string startPath;
    bool hasIgnoreList = false;
    int ignoreCount = 0;
  };

  explicit FakeSections(std::map<int, int> found = {}) : found_(std::move(found)) {
    for (int section = 1; section <= kSectionCount; ++section) {
      RegistrySection fake;
      for (std::size_t call = 0; call < SectionByNumber(section)->calls.size(); ++call)
        fake.scanners.push_back([this, section, call](ScanContext& context) { Scan(section, call, context); });
      fake.target = ValueTargetOf;
      overrides_.push_back(std::make_unique<ScopedSectionOverride>(section, std::move(fake)));
    }
  }

  std::vector<Call> calls;
  std::function<void(int section)> onScan;  // runs at the start of each call

  std::vector<int> SectionsCalled() const {
    std::vector<int> sections;
    for (const Call& c : calls)
      if (sections.empty() || sections.back() != c.section) sections.push_back(c.section);
    return sections;
  }

 private:
  void Scan(int section, std::size_t call, ScanContext& context) {
    calls.push_back({section, call, context.root, context.startPath, context.ignoreList != nullptr,
                     context.ignoreList ? context.ignoreList->Count() : 0});
    if (onScan) onScan(section);
    const auto it = found_.find(section);
    const int count = call == 0 && it != found_.end() ? it->second : 0;
    for (int k = 0; k < count; ++k) {
      if (ScanStopRequested()) return;
      TRegistryContent problem;
      problem.KeyPath = "HKEY_CURRENT_USER\\Software\\Fake" + std::to_string(section);
      problem.ValueName = "v" + std::to_string(k);
      problem.ProblemType = "Type " + std::to_string(section);
      problem.Description = "Description " + std::to_string(k);
      AddProblem(context, problem);
      ProcessMessages();
    }
  }

  std::map<int, int> found_;
  std::vector<std::unique_ptr<ScopedSectionOverride>> overrides_;
};

}  // namespace regclean::test
