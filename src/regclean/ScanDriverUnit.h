#pragma once
// "Scan Now", "Abort" and the loop over the ticked sections, with the
// progress texts of the scan page.

#include <string>

#include "platform/text/WinTypes.h"
#include "regclean/ScanSessionUnit.h"

namespace regclean {

enum class ScanOutcome {
  NothingTicked,  // the message was shown; nothing changed
  Refused,        // a scan or repair is already running
  ProblemsFound,  // results step (2)
  NothingFound,   // finished step (3) with "Problems Found: 0"
};

// ScanNowBtnClick.
ScanOutcome ScanNow(ScanSession& session, ScanPageView& view);
// AbortScanBtnClick: asks the running scan to stop (ScanState 2).
void AbortScan();
// RunRegistryScan: the ticked sections in order 1..17.
void RunRegistryScan(ScanSession& session, ScanPageView& view);
// SetScanStep; step 0 also ticks every section again and empties the count
// labels.
void SetScanStep(ScanSession& session, ScanPageView& view, int step);
// The one-second timer: the elapsed time since the scan started.
void ShowScanTime(ScanSession& session, ScanPageView& view);
// The main window's first activation: with a non-blank command-line
// argument, waits a second letting messages through and then scans, unless a
// scan started meanwhile. Acts once per session; true when it scanned.
bool RunAutomaticScan(ScanSession& session, ScanPageView& view, const std::string& commandArg);

// Section pictures before a scan: one click toggles a section (ignored while
// scanning); "Select All" on page 0 sets all seventeen.
void ToggleSection(ScanSession& session, ScanPageView& view, int section);
void SetAllSectionsTicked(ScanSession& session, ScanPageView& view, bool ticked);

// numerator / denominator (both positive) rounded to the nearest whole
// number, halves to the even one.
long long RoundedQuotient(long long numerator, long long denominator);
// Done / selected in percent, rounded to the nearest (halves to even).
int ScanPercent(int done, int selected);
// "Total Process: 42%".
std::string TotalProcessText(int percent);
// "Elapsed time: 1 minute 5 seconds      " from a "hh:nn:ss" text.
std::string ElapsedTimeText(const std::string& scanTimeText);

extern const char* const kNothingTickedMessage;
extern const char* const kProblemsFoundZero;  // "Problems Found: 0"

}  // namespace regclean
