#include "regclean/ScanDriverUnit.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "regclean/IgnoreFileUnit.h"
#include "regclean/PathRoutinesUnit.h"
#include "regclean/ScanResultsUnit.h"
#include "regclean/SectionContractUnit.h"
#include "shell/BusyGuard.h"
#include "shell/DMUnit.h"
#include "shell/Dialogs.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

const char* const kNothingTickedMessage = "Please select the specific options before scanning.";
const char* const kProblemsFoundZero = "Problems Found: 0";

// Marks the session as scanning for its lifetime and stops both timers on
// every way out.
class ScanRun {
 public:
  ScanRun(ScanSession& session, ScanPageView& view) : session_(session), view_(view) {
    session_.scanning_ = true;
    ++session_.scansStarted_;
  }
  ~ScanRun() {
    view_.StopScanAnimation();
    view_.StopElapsedTimer();
    session_.scanning_ = false;
    session_.currentSection_ = -1;
  }
  ScanRun(const ScanRun&) = delete;
  ScanRun& operator=(const ScanRun&) = delete;

  void StartClock() { session_.scanStartTick_ = session_.tickCount(); }
  static void SetCurrentSection(ScanSession& session, int section) {
    session.currentSection_ = section;
  }
  // True the first time only.
  static bool ClaimAutomaticScan(ScanSession& session) {
    return !std::exchange(session.automaticScanClaimed_, true);
  }

 private:
  ScanSession& session_;
  ScanPageView& view_;
  BusyGuard busy_;
};

namespace {

class OutcomeCaption : public CaptionSink {
 public:
  explicit OutcomeCaption(ScanPageView& view) : view_(view) {}
  void SetCaption(const std::string& text) override { view_.SetOutcomeText(text); }

 private:
  ScanPageView& view_;
};

class CountCaption : public CaptionSink {
 public:
  CountCaption(ScanPageView& view, int section) : view_(view), section_(section) {}
  void SetCaption(const std::string& text) override { view_.SetSectionCountText(section_, text); }

 private:
  ScanPageView& view_;
  int section_;
};

void ResetProgressDisplay(ScanPageView& view) {
  view.SetScanTimeText("00:00:00");
  view.SetOutcomeText("");
  view.SetTotalProcess("Total Process:", 0);
  if (ItemsProgress) {
    ItemsProgress->SetItemsGaugePosition(0);
    ItemsProgress->SetItemsProcessedText("Items processed: 0");
  }
  view.ShowProgressPanel(true);
}

// Runs the scanner calls of one ticked section.
void ScanSection(ScanSession& session, ScanPageView& view, const SectionSpec& spec, FileProbe& files) {
  const RegistrySection& section = SectionImplementation(spec.number);
  OutcomeCaption outcome(view);
  CountCaption count(view, spec.number);
  for (std::size_t call = 0; call < spec.calls.size(); ++call) {
    if (ScanStopRequested()) return;
    if (call >= section.scanners.size() || !section.scanners[call]) continue;
    const ScanCallSpec& input = spec.calls[call];
    ScanContext context;
    context.sectionPosition = spec.number - 1;
    context.caption = spec.caption;
    context.outcome = &outcome;
    context.countLabel = &count;
    context.root = input.getsRoot ? input.root : 0;
    context.startPath = input.getsPath ? input.startPath : std::string();
    context.collection = session.Collection(spec.number);
    context.ignoreList = input.getsIgnoreList ? &session.IgnoreList : nullptr;
    context.files = &files;
    try {
      section.scanners[call](context);
    } catch (const std::exception&) {
      // A failing scanner ends its call; what it found so far stays.
    }
  }
}

}  // namespace

long long RoundedQuotient(long long numerator, long long denominator) {
  long long quotient = numerator / denominator;
  const long long twiceRemainder = 2 * (numerator % denominator);
  if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0)) ++quotient;
  return quotient;
}

int ScanPercent(int done, int selected) {
  return selected <= 0 ? 0 : static_cast<int>(RoundedQuotient(100LL * done, selected));
}

std::string TotalProcessText(int percent) {
  return "Total Process: " + std::to_string(percent) + "%";
}

std::string ElapsedTimeText(const std::string& scanTimeText) {
  int hours = 0;
  int minutes = 0;
  int seconds = 0;
  if (std::sscanf(scanTimeText.c_str(), "%d:%d:%d", &hours, &minutes, &seconds) != 3)
    hours = minutes = seconds = 0;
  if (hours == 0 && minutes == 0 && seconds == 0) return "Elapsed time: 0 second      ";
  auto part = [](int n, const char* one, const char* more, const char* tail) {
    if (n == 0) return std::string();
    return std::to_string(n) + (n == 1 ? one : more) + tail;
  };
  return "Elapsed time: " + part(hours, " hour", " hours", " ") +
         part(minutes, " minute", " minutes", " ") +
         part(seconds, " second", " seconds", "      ");
}

void AbortScan() { ScanState = 2; }

void RunRegistryScan(ScanSession& session, ScanPageView& view) {
  for (int section = 1; section <= kSectionCount; ++section)
    view.SetSectionFrame(section, kFrameNone);
  LoadIgnoreList(session.IgnoreList);
  VisitedCount = 0;
  ProblemIndex = 0;
  ItemsProcessed = 0;
  int done = 0;
  const int selected = session.TickedSectionCount();
  view.StartScanAnimation();
  // One set of file answers for all sections of this scan, gone with it.
  FileProbe files;

  for (const SectionSpec& spec : SectionTable()) {
    if (ScanStopRequested()) break;
    const bool ticked = session.SectionTicked(spec.number);
    ScanRun::SetCurrentSection(session, ticked ? spec.number : -1);
    if (ticked) {
      view.SetSectionCountText(spec.number, "0");
      ScanSection(session, view, spec, files);
      ++done;
      view.SetSectionFrame(spec.number, kFrameNone);
      view.SetSectionFrame(spec.number,
                           session.Collection(spec.number)->Count() == 0 ? kFrameClean
                                                                         : kFrameProblems);
    }
    const int percent = ScanPercent(done, selected);
    view.SetTotalProcess(TotalProcessText(percent), percent);
  }
  view.StopScanAnimation();
}

ScanOutcome ScanNow(ScanSession& session, ScanPageView& view) {
  if (session.Busy()) return ScanOutcome::Refused;
  if (session.TickedSectionCount() == 0) {
    CurrentDialogs().MessageBox(kNothingTickedMessage, "Fernwick", MB_ICONWARNING | MB_OK);
    return ScanOutcome::NothingTicked;
  }
  ScanState = 0;
  {
    ScanRun run(session, view);
    session.Clear();
    view.ResultsChanged();
    SetScanStep(session, view, 1);
    ResetProgressDisplay(view);
    run.StartClock();
    view.StartElapsedTimer();
    RunRegistryScan(session, view);
    const std::string scanTime =
        ScanClockText(session.tickCount() - session.ScanStartTick());
    view.SetScanTimeText(scanTime);
    view.SetElapsedText(ElapsedTimeText(scanTime));
  }
  ShowScanResults(session);
  view.ResultsChanged();
  if (!session.ResultRows.empty()) {
    SetScanStep(session, view, 2);
    return ScanOutcome::ProblemsFound;
  }
  session.RepairLog.Clear();
  session.RepairLog.GetItem(session.RepairLog.Add()).Content.KeyPath = kProblemsFoundZero;
  view.RepairLogChanged();
  SetScanStep(session, view, 3);
  return ScanOutcome::NothingFound;
}

void SetScanStep(ScanSession& session, ScanPageView& view, int step) {
  view.ShowScanStep(step);
  if (step != 0) return;
  for (int section = 1; section <= kSectionCount; ++section) {
    session.SetSectionTicked(section, true);
    view.SetSectionFrame(section, kFrameNone);
    view.SetSectionFrame(section, kFrameTicked);
    view.SetSectionCountText(section, "");
  }
}

void ShowScanTime(ScanSession& session, ScanPageView& view) {
  if (!session.Scanning()) return;
  view.SetScanTimeText(ScanClockText(session.tickCount() - session.ScanStartTick()));
}

bool RunAutomaticScan(ScanSession& session, ScanPageView& view, const std::string& commandArg) {
  if (!ScanRun::ClaimAutomaticScan(session)) return false;
  // Any argument counts once blanks and control characters are trimmed.
  if (std::all_of(commandArg.begin(), commandArg.end(),
                  [](char c) { return static_cast<unsigned char>(c) <= ' '; }))
    return false;
  const int started = session.ScansStarted();
  Delay(1000);
  // A quit during the wait ends the program without a scan.
  if (ApplicationTerminated()) return false;
  if (session.Busy() || session.ScansStarted() != started) return false;
  return ScanNow(session, view) != ScanOutcome::Refused;
}

void ToggleSection(ScanSession& session, ScanPageView& view, int section) {
  if (session.Scanning() || section < 1 || section > kSectionCount) return;
  const bool ticked = !session.SectionTicked(section);
  session.SetSectionTicked(section, ticked);
  view.SetSectionFrame(section, ticked ? kFrameTicked : kFrameUnticked);
}

void SetAllSectionsTicked(ScanSession& session, ScanPageView& view, bool ticked) {
  if (session.Scanning()) return;
  for (int section = 1; section <= kSectionCount; ++section) {
    session.SetSectionTicked(section, ticked);
    view.SetSectionFrame(section, ticked ? kFrameTicked : kFrameUnticked);
  }
}

}  // namespace regclean
