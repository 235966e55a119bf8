#pragma once
// The data module's state that needs no window: the fields the scan loops set
// for the animation timers, what each timer tick does with them, and the
// rules the main window's frame applies (page switch, System Restore tool).

#include <string>

#include "platform/text/WinTypes.h"

// Where the registry scan's timers draw: the main window's scan page.
class ScanAnimationView {
 public:
  virtual ~ScanAnimationView() = default;
  // Clears the picture of section 1..17 and draws frame of StatImageList.
  virtual void DrawSectionFrame(int section, int frame) = 0;
  // Problems found so far in sections 1..17.
  virtual int TotalProblemCount() const = 0;
  // LabelWarning: its text and whether it shows.
  virtual void SetProblemWarning(const std::string& text, bool visible) = 0;
  // abScanTime.
  virtual void SetScanTimeText(const std::string& text) = 0;
};

// Where the privacy cleaner's timer draws: its tree of evidence items.
class EvidenceAnimationView {
 public:
  virtual ~EvidenceAnimationView() = default;
  // Gives the node at absolute index node the image index image.
  virtual void SetNodeImage(int node, int image) = 0;
};

// First and last frame of the animations.
constexpr int kScanAnimFirst = 4;    // StatImageList
constexpr int kScanAnimLast = 10;
constexpr int kEvidenceAnimFirst = 8;  // TreeImageList
constexpr int kEvidenceAnimLast = 14;

struct TDMFields {
  int AnimFrame = 0;         // next frame of the scanning section's picture
  int CurrentSection = 0;    // 1..17 while a section is scanned; else nothing animates
  win::DWORD ScanStartTime = 0;  // tick count when the registry scan started
  int EvidenceFrame = 0;     // next image of the privacy cleaner's busy node
  int EvidenceNode = 0;      // absolute index of that node

  // One ScanTimer tick (every 20 ms): the scanning section's next frame and
  // the problem count.
  void StepScanAnimation(ScanAnimationView& view);
  // One ScanTimerEx tick (every second): the time since ScanStartTime.
  void ShowScanClock(ScanAnimationView& view, win::DWORD now) const;
  // One EvidenceTimer tick (every 20 ms): the busy node's next image.
  void StepEvidenceAnimation(EvidenceAnimationView& view);
};

// "hh:nn:ss" of a time span, as a time of day: 24 hours or more wrap to 0.
std::string ScanClockText(win::DWORD elapsedMilliseconds);
// "%d Problems Found".
std::string ProblemsFoundText(int count);

// Every quit path: running scan loops are asked to stop (ScanState 2, and
// JunkCleanerState 2 or 5 for the junk-file cleaner's search or clean) and
// the application terminates once the last busy guard is released.
void QuitWhenIdle();

// Page buttons do nothing while any long operation runs.
bool PageSwitchAllowed();

// The System Restore launcher: true on the NT family; on Windows 9x it tells
// the user that the tool is for Windows 2000 and XP; otherwise nothing.
bool SystemRestoreLauncherAllowed();
extern const char* const kSystemRestoreOnlyMessage;
