#pragma once
// The registry cleaner's state for the whole run, owned by the main window:
// the eighteen problem collections, the repair log, the ignore list, the
// section ticks and the result grid's rows; and the one view interface the
// scan page implements.

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "common/IgnoreItemUnit.h"
#include "common/RegistryContentUnit.h"
#include "platform/text/WinTypes.h"
#include "regclean/SectionTableUnit.h"

namespace regclean {

// One row of the result grid.
struct ResultRow {
  std::string caption;    // "All Problems" or four blanks and the section caption
  std::string countText;  // "Problems Found" column
  int section = 0;        // 0 for "All Problems", else 1..17
};

// What the scan page shows. Every call has an empty default, so a test fakes
// only what it looks at.
class ScanPageView {
 public:
  virtual ~ScanPageView() = default;
  // SetScanStep with the notebook page of that step (ScanStep(step)).
  virtual void ShowScanStep(int /*step*/) {}
  virtual void ShowProgressPanel(bool /*visible*/) {}
  virtual void SetScanTimeText(const std::string& /*text*/) {}     // abScanTime
  virtual void SetOutcomeText(const std::string& /*text*/) {}      // ScanOutcomePanel
  // panTotalProcess and pbTotalProcess.
  virtual void SetTotalProcess(const std::string& /*text*/, int /*percent*/) {}
  virtual void SetSectionCountText(int /*section*/, const std::string& /*text*/) {}
  // Frame of StatImageList in the section picture; kFrameNone clears it.
  virtual void SetSectionFrame(int /*section*/, int /*frame*/) {}
  virtual void SetElapsedText(const std::string& /*text*/) {}      // abExcludeMsg
  // The data module's timers: ScanTimer (animation of the current section,
  // "%d Problems Found") and ScanTimerEx (elapsed time, once a second).
  virtual void StartScanAnimation() {}
  virtual void StopScanAnimation() {}
  virtual void StartElapsedTimer() {}
  virtual void StopElapsedTimer() {}
  // The result grid, the problem list or the Finish list changed: re-read
  // them from the session.
  virtual void ResultsChanged() {}
  virtual void RepairLogChanged() {}
  // The repair progress dialog.
  virtual void ShowRepairDialog() {}
  virtual void HideRepairDialog() {}
  virtual void SetRepairStatus(const std::string& /*text*/) {}     // abRepair
};

class ScanSession {
 public:
  ScanSession();

  // Position 0 "All Problems", 1..17 the sections.
  std::array<TRegistryContents, kSectionCount + 1> SectionContents;
  TRepairContents RepairLog;
  TIgnoreContents IgnoreList;
  std::vector<ResultRow> ResultRows;

  // ClearScanCollections: all collections, the log, the ignore list, the rows.
  void Clear();
  // Sum of the counts of sections 1..17.
  int GetTotalProblemCount() const;
  // The collection of a section number 0..17; null for any other number.
  TRegistryContents* Collection(int section);

  // Section ticks (the pictures' Tag).
  bool SectionTicked(int section) const;
  void SetSectionTicked(int section, bool ticked);
  int TickedSectionCount() const;

  // Operation state.
  bool Scanning() const { return scanning_; }
  bool Repairing() const { return repairing_; }
  bool Busy() const { return scanning_ || repairing_; }
  int CurrentSection() const { return currentSection_; }
  int ScansStarted() const { return scansStarted_; }

  // The clock of the elapsed-time display, in milliseconds (tests replace it).
  std::function<win::DWORD()> tickCount;
  win::DWORD ScanStartTick() const { return scanStartTick_; }

 private:
  friend class ScanRun;
  friend class RepairRun;
  std::array<bool, kSectionCount> ticked_{};
  bool scanning_ = false;
  bool repairing_ = false;
  int currentSection_ = -1;
  int scansStarted_ = 0;
  bool automaticScanClaimed_ = false;
  win::DWORD scanStartTick_ = 0;
};

}  // namespace regclean
