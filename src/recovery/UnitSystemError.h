#pragma once
// "Error Utilities" without its window: the known errors of "errorlist.txt"
// (downloaded when missing or empty) with their registry fixes, and four
// built-in errors without fixes. The window shows the rows and forwards its
// ticks, "Select All" and "Repair" here.

#include <string>
#include <vector>

#include "platform/net/Http.h"
#include "recovery/ServerListUnit.h"
#include "recovery/UnitErrorList.h"

namespace recovery {

extern const char* const kErrorListFileName;    // "errorlist.txt"
extern const char* const kErrorListServerPath;  // "/update/errorlist.txt"
extern const char* const kErrorListWaitTitle;   // "Fernwick - Error Utilities"
extern const char* const kIeOptionWarning;
extern const char* const kSelectErrorMessage;
extern const char* const kErrorsRepairedMessage;
extern const char* const kFixesFailedMessage;  // "%d registry fix(es) could not be applied!"

// One list row: caption (the title), description, "reg" for an error from the
// file, and the state picture (0 unticked, 1 ticked).
struct ErrorRow {
  std::string Caption;
  std::string Description;
  std::string Mark;
  int State = 0;
};

// One fix of a SpecList: Name#Data$Action@Type.
struct RegistryFix {
  std::string Name;
  std::string Data;
  int Action = 0;
  int Type = 0;
};

// Applied changed the registry; AlreadySo found it as the fix wants it (a
// value to delete already gone); Skipped had nothing to act on.
enum class FixOutcome { Applied, AlreadySo, Skipped, Failed };

// What the fixes of the ticked rows did.
struct RepairTally {
  int changed = 0;     // applied or already so
  int failed = 0;      // refused or bad data
  int notApplied = 0;  // skipped fixes, and ticked rows without any fix
};

// Title, key path, fix list and description of a line. False (no item) when
// the line has no ")" or no "||" after it.
bool SplitErrorLine(const std::string& line, TContent& content);
// The comma-separated pieces of a text, empty ones kept.
std::vector<std::string> SplitCommaList(const std::string& text);
// The decimal number of a text; 0 for an empty text or one that is not a
// number.
int StrToIntOrZero(const std::string& text);
// The fixes of a SpecList: its pieces before the first "##". A piece without
// "#", "$" or "@" is left out.
std::vector<RegistryFix> ParseFixes(const std::string& specList);
// One fix on the key at keyPath, which is not created. Action 1 writes Name
// as REG_DWORD (type 0, data a signed 32-bit decimal) or REG_SZ (type 1);
// action 2 deletes Name (AlreadySo when it is gone). A missing key, an
// unknown root or another action is Skipped; bad DWORD data, a refused write
// or delete and a path that names only a root are Failed.
FixOutcome ApplyRegistryFix(const std::string& keyPath, const std::string& valueName,
                            const std::string& data, int action, int type);

// Items and rows of the list's lines: one row for each run of lines with the
// same title.
void ParseErrorList(const std::vector<std::string>& lines, TErrorContents& contents,
                    std::vector<ErrorRow>& rows);
void AddBuiltInErrors(std::vector<ErrorRow>& rows);
// The description of the first item with exactly this title; empty when none.
std::string GetErrorDescription(const TErrorContents& contents, const std::string& title);

// Creation: makes sure the list is there (the wait window shows during a
// download), reads it (an error box names the file when there is none) and
// makes the items and rows; the built-in rows come last in every case.
void LoadErrorList(win::HttpClient& http, ListDownloadView* view, TErrorContents& contents,
                   std::vector<ErrorRow>& rows);

// A click on a row's state picture. Rows 0 and 1 are ticked only after the
// warning is answered Yes. True when the state changed.
bool ToggleErrorRow(std::vector<ErrorRow>& rows, std::size_t index);
// "Select All": rows 0 and 1 unticked, every other row as checked.
void SelectAllErrorRows(std::vector<ErrorRow>& rows, bool checked);
// The memo's text for a selected row.
std::string ErrorRowDescription(const ErrorRow& row, const TErrorContents& contents);

// All fixes of the ticked rows from the file.
RepairTally RepairSelectedErrors(const std::vector<ErrorRow>& rows, const TErrorContents& contents);
// "Repair": asks for a tick first, repairs and tells the outcome: success
// only when some fix changed something or was already so and none failed;
// otherwise the number of failed fixes, or when none failed, of those that
// did nothing (a built-in row counts one). True on success.
bool RepairErrors(const std::vector<ErrorRow>& rows, const TErrorContents& contents);

}  // namespace recovery
