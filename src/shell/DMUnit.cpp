#include "shell/DMUnit.h"

#include <cstdio>

#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

const char* const kSystemRestoreOnlyMessage = "System Restore Point for Windows 2000 and XP!";

namespace {

constexpr int kSectionCount = 17;

// "%d" from 10 on, "0%d" below.
std::string TwoDigits(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, value >= 10 ? "%u" : "0%u", value);
  return text;
}

}  // namespace

void TDMFields::StepScanAnimation(ScanAnimationView& view) {
  if (AnimFrame > kScanAnimLast) AnimFrame = kScanAnimFirst;
  if (CurrentSection >= 1 && CurrentSection <= kSectionCount)
    view.DrawSectionFrame(CurrentSection, AnimFrame);
  ++AnimFrame;
  const int problems = view.TotalProblemCount();
  if (problems > 0) view.SetProblemWarning(ProblemsFoundText(problems), true);
  else view.SetProblemWarning("", false);
}

void TDMFields::ShowScanClock(ScanAnimationView& view, win::DWORD now) const {
  view.SetScanTimeText(ScanClockText(now - ScanStartTime));
}

void TDMFields::StepEvidenceAnimation(EvidenceAnimationView& view) {
  if (EvidenceFrame > kEvidenceAnimLast) EvidenceFrame = kEvidenceAnimFirst;
  view.SetNodeImage(EvidenceNode, EvidenceFrame);
  ++EvidenceFrame;
}

std::string ScanClockText(win::DWORD elapsedMilliseconds) {
  const unsigned secondsOfDay = elapsedMilliseconds / 1000 % (24 * 60 * 60);
  return TwoDigits(secondsOfDay / 3600) + ":" + TwoDigits(secondsOfDay / 60 % 60) + ":" +
         TwoDigits(secondsOfDay % 60);
}

std::string ProblemsFoundText(int count) { return std::to_string(count) + " Problems Found"; }

void QuitWhenIdle() {
  ScanState = 2;
  // The junk-file cleaner's search and clean stop after their current entry.
  if (JunkCleanerState == 1) JunkCleanerState = 2;
  else if (JunkCleanerState == 4) JunkCleanerState = 5;
  RunWhenIdle(TerminateApplication);
}

bool PageSwitchAllowed() { return !IsBusy(); }

bool SystemRestoreLauncherAllowed() {
  if (PlatformCode == 4) return true;
  if (PlatformCode == 2)
    CurrentDialogs().MessageBox(kSystemRestoreOnlyMessage, "Fernwick", MB_ICONWARNING | MB_OK);
  return false;
}
