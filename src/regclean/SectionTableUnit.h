#pragma once
// The seventeen registry-cleaner sections: captions, descriptions, where each
// scanner call starts and which inputs it receives, the components that show
// a section, and the four visual steps of the scan page.

#include <array>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace regclean {

constexpr int kSectionCount = 17;
// Position 0 of the collections is "All Problems", 1..17 the sections.
constexpr int kAllProblems = 0;
extern const char* const kAllProblemsCaption;  // "All Problems"

// One scanner call of a section, in the order the driver makes them.
struct ScanCallSpec {
  win::HKEY root = 0;        // 0: the call gets no root (the fixed drives)
  std::string startPath;     // below the root; empty = the root itself
  bool getsRoot = true;
  bool getsPath = true;
  bool getsIgnoreList = true;
};

struct SectionSpec {
  int number = 0;            // 1..17, the section's position + 1
  std::string caption;       // label text and the section's name everywhere
  std::string description;   // details panel text
  std::vector<ScanCallSpec> calls;
  std::string labelName;     // "abSection01"
  std::string countLabelName;  // "abItemCount01"
  std::string pictureName;   // "picSection01"
};

// The table in section order; element i is section number i + 1.
const std::array<SectionSpec, kSectionCount>& SectionTable();
// Section number 1..17; null for any other number.
const SectionSpec* SectionByNumber(int number);
// Exact caption; null when no section has it.
const SectionSpec* SectionByCaption(const std::string& caption);
// Description of the section with that caption; empty when there is none.
std::string SectionDescription(const std::string& caption);

// Frames of the shared status image list drawn in a section picture.
constexpr int kFrameNone = -1;  // picture cleared
constexpr int kFrameUnticked = 0;
constexpr int kFrameTicked = 1;
constexpr int kFrameScanFirst = 4;  // first frame of the scanning animation
constexpr int kFrameScanLast = 10;
constexpr int kFrameClean = 11;     // finished without problems
constexpr int kFrameProblems = 12;  // finished with problems

// Controls of the scan page whose visibility depends on the step.
enum ScanStepControl : unsigned {
  kSelectAllBox = 1u << 0,      // cbSelectAll
  kSelectAllLabel = 1u << 1,    // abSelectAll
  kScanNowButton = 1u << 2,     // ScanNowBtn
  kProgressPanel = 1u << 3,     // ShowPanel
  kWarningLabel = 1u << 4,      // LabelWarning
  kAbortButton = 1u << 5,       // AbortScanBtn
  kRepairButton = 1u << 6,      // RepairBtn
  kFinishButton = 1u << 7,      // FinishBtn
};

// Steps: 0 start, 1 scanning, 2 results, 3 finished.
struct ScanStepLayout {
  std::string stepImage;   // JPEG resource for ScanStepImage
  std::string stepImage1;  // resource for ScanStepImage1
  bool stepImage1IsGif = false;
  unsigned visible = 0;    // ScanStepControl bits shown
  unsigned hidden = 0;     // bits hidden; the rest keep their state
  int notebookPage = 0;    // ScanNotebook page the step belongs to
};
// Steps outside 0..3 give the layout of step 0.
const ScanStepLayout& ScanStep(int step);

}  // namespace regclean
