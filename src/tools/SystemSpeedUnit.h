#pragma once
// The "System Optimizer" without its window: the models and what they tick,
// the service and tweak boxes, the backup file of a run, the run itself
// (services, then tweaks) and the restore, with the messages they end with.

#include <array>
#include <string>
#include <vector>

#include "shell/PublicFunctionUnit.h"

namespace tools {

constexpr int kModelCount = 7;
constexpr int kServiceBoxCount = 22;
constexpr int kTweakBoxCount = 27;

extern const std::array<const char*, kModelCount> ModelNames;
extern const std::array<const char*, kModelCount> ModelDescriptions;

struct ServiceBox {
  const char* caption;
  const char* service;
  const char* description;
};
struct TweakBox {
  const char* caption;
  int tweak;  // 1-based row of TweakTable()
  const char* description;
};
extern const std::array<ServiceBox, kServiceBoxCount> ServiceBoxes;
extern const std::array<TweakBox, kTweakBoxCount> TweakBoxes;

using ServiceTicks = std::array<bool, kServiceBoxCount>;
using TweakTicks = std::array<bool, kTweakBoxCount>;

// The boxes a model ticks; "Customization" leaves the service boxes as they
// are (and the default model the tweak boxes): then ticks stays unchanged.
void SetServiceBoxesForModel(int model, ServiceTicks& ticks);
void SetTweakBoxesForModel(int model, TweakTicks& ticks);

extern const char* const kRunMessage;        // after "Optimize"
extern const char* const kFastRunMessage;    // after "Fast Optimize"
extern const char* const kRestoredMessage;
extern const char* const kNotChangedMessage;  // heading of the list of failures
extern const char* const kChooseItemMessage;
extern const char* const kDeletedMessage;
extern const char* const kBackupFailedMessage;
extern const char* const kBackupStoppedMessage;
extern const char* const kNoBackupMessage;
extern const char* const kNothingRestoredMessage;

// "...\RepairBackup\speedRestore<yyyymmdd_hhnnss>.ini", with "_2", "_3"...
// before ".ini" when that name is taken.
std::string SpeedBackupName(const TDateTime& now);

// One row of the backup list: file name and full path.
struct SpeedBackupRow {
  std::string Name;
  std::string FileName;
};
// The "*.ini" files of RepairBackup whose names hold "speed" (any case), in
// the order the search gives them; folders are skipped.
std::vector<SpeedBackupRow> ListSpeedBackups();

struct RunResult {
  bool backupWritten = false;  // the "Services" section
  bool stopped = false;        // a tweak's back-up failed and the run ended there
  std::vector<std::string> failed;  // box captions, with every ticked one left out
};
// A run into SpeedBackupFileName: the "Services" section first (nothing
// changes when it cannot be written), then every service box in order
// (ticked enables, unticked disables), then each ticked tweak once.
RunResult ApplyChoices(const ServiceTicks& services, const TweakTicks& tweaks);
// The tweaks of a run: each ticked tweak once, in box order. A back-up that
// cannot be written ends it, and every ticked tweak after it is failed too.
void ApplyTweakBoxes(const TweakTicks& tweaks, RunResult& result);

struct RestoreResult {
  bool isBackup = false;  // a tweak or the services section is there
  int restored = 0;       // values, keys and services put back
  std::vector<std::string> failed;  // tweak titles and service names
};
// Restores the tweaks and then the recorded services of a backup file.
RestoreResult RestoreChoices(const std::string& fileName);

// The message a run or a restore ends with: success only when something
// was done and nothing failed, else a warning that says what happened.
void TellRun(const char* success, const RunResult& result);
void TellRestore(const std::string& fileName, const RestoreResult& result);
void TellOutcome(const char* success, const std::vector<std::string>& failed);
int TellOptimizer(const std::string& text, unsigned flags);

}  // namespace tools
