#pragma once
// What every registry-cleaner section is: one or more scanners and one
// repairer, with the same inputs for all seventeen. A section plugs in by
// giving a RegistrySection for its number (SectionRegistryUnit.cpp); a number
// without one scans nothing and repairs nothing.
//
// A scanner walks its part of the registry (or the drives) and appends one
// item per finding with AddProblem. Once per entry it tests ScanStopRequested()
// and lets pending messages through (ProcessMessages).
//
// What the repairer deletes for an item is declared by the section's Target
// function; the repair backup exports exactly those targets, and the common
// repairer deletes them and logs whether each one is gone.

#include <array>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/IgnoreItemUnit.h"
#include "common/RegistryContentUnit.h"
#include "platform/text/WinTypes.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

class FileProbe;

// A caption the engine writes and a window shows (a label or a panel).
class CaptionSink {
 public:
  virtual ~CaptionSink() = default;
  virtual void SetCaption(const std::string& text) = 0;
};

// The Finish step's list, whose row count mirrors the repair log.
class RowCountSink {
 public:
  virtual ~RowCountSink() = default;
  // Sets the row count and repaints, so that a new line shows at once.
  virtual void SetRowCount(int count) = 0;
};

// Everything one scanner call receives.
struct ScanContext {
  int sectionPosition = 0;      // 0..16
  std::string caption;          // the section's caption (ignore lines)
  CaptionSink* outcome = nullptr;     // ScanOutcomePanel: the entry examined
  CaptionSink* countLabel = nullptr;  // the section's problem count
  win::HKEY root = 0;           // 0 when the section gets no root
  std::string startPath;        // below the root; may be empty
  TRegistryContents* collection = nullptr;
  const TIgnoreContents* ignoreList = nullptr;  // null when not consulted
  // The file tests of the whole scan (null: the scanner makes its own).
  FileProbe* files = nullptr;
};

// Everything one repairer call receives.
struct RepairContext {
  CaptionSink* status = nullptr;       // abRepair of the repair dialog
  RowCountSink* finishList = nullptr;  // FinishListView
  TRegistryContents* collection = nullptr;
  TRepairContents* repairLog = nullptr;
  // By item index: true for an item the repair keeps (its backup could not
  // hold it); it is logged as not repaired. Null: none.
  const std::vector<bool>* kept = nullptr;
};

// What repairing one item deletes.
struct RepairTarget {
  enum class Kind {
    Value,  // the value `valueName` (real name; empty = unnamed) under `path`
    Key,    // the key `path` with all its values and subkeys
    File,   // the file `path`, sent to the recycle bin of its drive
  };
  Kind kind = Kind::Value;
  std::string path;       // full key path (root name first) or a file path
  std::string valueName;
  std::string logText;    // the repair-log line and the status caption
  // Key: deleted only while it holds no values and no subkeys.
  bool onlyWhileEmpty = false;
};

using SectionScanner = std::function<void(ScanContext&)>;
using SectionTarget = std::function<RepairTarget(const TRegistryContent&)>;
using SectionRepairer = std::function<void(RepairContext&)>;

struct RegistrySection {
  // One per scanner call of the section table, in the same order; a missing
  // one finds nothing.
  std::vector<SectionScanner> scanners;
  // Required whenever the scanners can add problems.
  SectionTarget target;
  // Empty: the common repairer (RepairCheckedItems) with `target`.
  SectionRepairer repairer;
  // The common repairer lets messages through before each item; a section
  // may decline (then Cancel takes effect only between sections).
  bool letMessagesThroughOnRepair = true;
};

// The section implementation for a number 1..17; empty (no scanners, no
// target) for a section not yet built or a number out of range.
const RegistrySection& SectionImplementation(int number);
// Replaces a section's implementation until the returned object is destroyed
// (tests).
class ScopedSectionOverride {
 public:
  ScopedSectionOverride(int number, RegistrySection section);
  ~ScopedSectionOverride();
  ScopedSectionOverride(const ScopedSectionOverride&) = delete;
  ScopedSectionOverride& operator=(const ScopedSectionOverride&) = delete;

 private:
  int number_;
  RegistrySection previous_;
};

// ---- Helpers for scanners -------------------------------------------------

// True when a stop was asked for (ScanState 2).
bool ScanStopRequested();
// Shows the entry being examined in the outcome caption.
void ShowOutcome(const ScanContext& context, const std::string& text);
// True when the scan's ignore list holds this problem of the section.
bool IsIgnored(const ScanContext& context, const std::string& keyPath,
               const std::string& valueName);
// Appends a problem: ticked by the "SelectAll" setting, numbered with the next
// ProblemIndex; then the count label shows the collection's count. Returns
// the new item's index.
int AddProblem(ScanContext& context, TRegistryContent problem);
// Paths with "\\", with "A:" in any case, or on a listed non-fixed drive are
// never tested for existence.
bool PassesLocalPathRule(const std::string& path);
// The same rule with the drive list as it is now, for many paths: entries
// of a letter and a colon are looked up at the colons of the path.
class LocalPathRule {
 public:
  explicit LocalPathRule(const std::vector<std::string>& driveList);
  bool Passes(const std::string& path) const;

 private:
  std::array<bool, 256> driveLetter_{};  // by the byte before a colon
  std::vector<std::string> otherEntries_;
};
// Upper case for the letters a to z only.
std::string AsciiUpper(std::string text);
// Substring tests: exact, and with both sides upper-cased (a to z).
bool Contains(const std::string& text, const std::string& part);
bool ContainsNoCase(std::string_view text, std::string_view part);
// Equal once both sides are upper-cased (a to z).
bool SameTextNoCase(std::string_view a, std::string_view b);
// The parts one after the other, in a string of just their length.
std::string Concat(std::initializer_list<std::string_view> parts);
// True when the machine's ANSI code page holds every character of the text,
// so that it comes back unchanged from an ANSI file.
bool FitsAnsiCodePage(const std::string& text);
// "HKEY_LOCAL_MACHINE" + "\" + path (the root name alone for an empty path).
std::string FullKeyPath(win::HKEY root, const std::string& path);
// a + "\" + b, or the non-empty one of the two.
std::string JoinKeyPath(const std::string& a, const std::string& b);
// Makes `path` JoinKeyPath(path, name) in place.
void AppendKeyPath(std::string& path, std::string_view name);

// ---- Targets and the common repairer --------------------------------------

// The shared key-path splitter (shell/PublicFunctionUnit.h).
using ::SplitFullKeyPath;
// The key path without its leading root name, from the backslash on
// ("\CLSID\{...}"); the text itself when no root name leads.
std::string PathBelowRoot(const std::string& keyPath);

// Value target for an item: `ValueName` under `KeyPath`, the unnamed value
// when the item says so; logged with the key path.
RepairTarget ValueTargetOf(const TRegistryContent& item);
// Key target: the key `KeyPath` itself.
RepairTarget KeyTargetOf(const TRegistryContent& item);

// A section whose repairer deletes each ticked item's value (or key) with the
// common repairer.
RegistrySection ValueRepairSection(std::vector<SectionScanner> scanners);
RegistrySection KeyRepairSection(std::vector<SectionScanner> scanners);

// True when the target no longer exists.
bool TargetGone(const RepairTarget& target);
// Deletes the target (a file goes to its drive's recycle bin) unless it is
// already gone; true when it is gone afterwards.
bool RemoveTarget(const RepairTarget& target);

extern const char* const kRepairedText;      // "Repaired Successfully"
extern const char* const kNotRepairedText;   // contains "Error"

// The common repairer: for each ticked item in collection order, shows and
// logs the target's text, removes the target (unless the context keeps the
// item) and records the result; stops before an item when ScanState is 4.
void RepairCheckedItems(RepairContext& context, const RegistrySection& section);
// The section's repairer, or the common one.
void RunSectionRepairer(RepairContext& context, const RegistrySection& section);

}  // namespace regclean
