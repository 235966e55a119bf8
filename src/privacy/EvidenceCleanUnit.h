#pragma once
// The privacy cleaner's shared operations: removing the ticked findings of a
// result collection, the file wipe, emptying the recycle bins, the exclusion
// tests and the Firefox-running test.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "privacy/ExcludeItemUnit.h"
#include "privacy/ResultContentUnit.h"

// Bytes of the findings listed by the result views.
extern std::int64_t TotalEvidenceSize;

// Where a clean shows its progress: the name of the finding being removed
// and the gauge (0..100).
class CleanProgressView {
 public:
  virtual ~CleanProgressView() = default;
  virtual void ShowStepName(const std::string& name) = 0;
  virtual void SetCleanGauge(int position) = 0;
};

// One clean: Total is the number of ticked findings of the whole clean,
// Cleaned the number removed so far. The gauge shows 100 * Cleaned / Total
// (0 when Total is 0).
struct TCleanProgress {
  std::int32_t Total = 0;
  std::int32_t Cleaned = 0;
  CleanProgressView* View = nullptr;
  void Removed();
};

// Removes one finding; true when it is gone.
bool CleanFinding(const TResultContentItem& Item);

// Removes every ticked finding of Results (skip says which to pass over) and
// marks the removed ones Cleaned. A registry key that holds what an entry of
// Excludes names (its Key at or below the key) is never deleted.
void CleanEvidences(TResultContents& Results, TCleanProgress& Progress,
                    const std::function<bool(const TResultContentItem&)>& skip = {},
                    const TExcludeContents* Excludes = nullptr);

// Overwrites the file Passes + 1 times with "01" repeated, flushing after
// each pass, renames it to a free random number in its folder and deletes
// it. True only when the file is gone (a missing file: true); a file that
// cannot be opened or written stays and gives false, and one that cannot be
// deleted is renamed back and gives false.
bool WipeFile(const std::string& FileName, int Passes);

// Empties the recycle bin of each drive root given ("C:\").
void EmptyRecycleBins(const std::vector<std::string>& roots);

bool IsExcludedEntry(const std::string& ItemName, const std::string& Key,
                     const TExcludeContents& List);
bool IsExcludedValue(const std::string& ItemName, const std::string& Key,
                     const TExcludeContents& List, const std::string& Data);

bool IsFirefoxRunning();
