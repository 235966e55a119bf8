#pragma once
// The results step: "All Problems", the grid rows, ticks that a problem has in
// its section and in "All Problems" alike, "Select All/None", and "Exclude and
// add key to ignore list".

#include <string>
#include <vector>

#include "regclean/ScanSessionUnit.h"

namespace regclean {

// Fills "All Problems" with every section's problems, the items the sections
// hold (SectionName set), and the grid rows: "All Problems" first when
// anything was found, then one row per section that found something.
void ShowScanResults(ScanSession& session);

// Problems of a grid row's section number (0..17); 0 for any other number.
int ProblemCount(ScanSession& session, int section);
// Null for a section or position that does not exist.
const TRegistryContent* Problem(ScanSession& session, int section, int position);
// ProblemType, a carriage return, Description.
std::string GetProblemText(ScanSession& session, int section, int position);
// The caption of the section a shown problem belongs to.
std::string ProblemSectionCaption(ScanSession& session, int section, int position);

// Ticks one problem, in its section and in "All Problems" alike.
// False (nothing changed) while a scan or repair runs or when there is no
// such problem.
bool SetProblemChecked(ScanSession& session, int section, int position, bool checked);
// Every problem of one grid row's section, in both lists.
bool SetAllProblemsChecked(ScanSession& session, int section, bool checked);

enum class ExcludeResult {
  Excluded,         // line appended, problem gone from both lists
  ExcludedUnsaved,  // problem gone from both lists; the line could not be written (warned)
  Refused,          // busy, or no such problem
};
// Appends the problem to the ignore file, removes it from its section and
// from "All Problems", and updates both rows' counts.
ExcludeResult ExcludeProblem(ScanSession& session, int section, int position);

// "%d Problems Found" (label over the list) and "Problems Found: %d" (the
// grid's second column after an exclusion).
std::string ProblemsFoundText(int count);
std::string ProblemsFoundColumnText(int total);

// How the details panel shows a severity.
struct SeverityStyle {
  std::string text;
  unsigned red = 0, green = 0, blue = 0;
  int frame = -1;  // LelvelImageList frame; -1 none
};
SeverityStyle StyleOfSeverity(const std::string& severity);

// One row of the owner-drawn problem list: the bold headline and up to three
// description lines, cut for the list's width from the width of "A" and the
// width available for text (the list's width minus 44).
struct ProblemRowText {
  std::string headline;
  std::vector<std::string> descriptionLines;
};
ProblemRowText LayoutProblemRow(const std::string& problemText, int charWidth, int availableWidth);
// True when a left press at (x, y) lies on the tick box of the row whose
// rectangle starts at (left, top).
bool HitsTickBox(int x, int y, int left, int top);

extern const char* const kIgnoreAppendFailedMessage;

}  // namespace regclean
