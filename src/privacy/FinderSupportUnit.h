#pragma once
// What every finder shares: its signature, a new finding with the common
// fields, the running count of its item, and reads of the current user's
// registry keys that exist.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"
#include "privacy/EvidenceTreeUnit.h"
#include "privacy/ExcludeItemUnit.h"
#include "privacy/ResultContentUnit.h"

// A finder appends the findings of one item to Results and keeps the count
// of the item's node (NodeIndex) in Tree up to date.
using TEvidenceFinder = std::function<void(TEvidenceTree& Tree, int NodeIndex,
                                           TResultContents& Results,
                                           const TExcludeContents& ExcludeList)>;

// What the registry findings of one item share.
struct TRegistryItem {
  const char* Section;
  const char* ItemName;  // also the exclusion item
  const char* Description;
};

// Records the findings of one finder call: each Add appends a finding
// ticked by the "SelectAll" setting, Filled 1, and Recorded sets the
// item's count to the number recorded so far.
class TFindingRecorder {
 public:
  TFindingRecorder(TEvidenceTree& tree, int nodeIndex, TResultContents& results)
      : tree_(tree), node_(nodeIndex), results_(results) {}
  TResultContentItem& Add();
  // Add with the fields every registry finding of an item has.
  TResultContentItem& AddRegistry(std::int32_t kind, const TRegistryItem& item,
                                  const std::string& path);
  void Recorded();

 private:
  TEvidenceTree& tree_;
  int node_;
  TResultContents& results_;
  int count_ = 0;
};

// "HKEY_CURRENT_USER\" + subKey.
std::string CurrentUserPath(const std::string& subKey);

namespace win {
class TRegistry;
}

using TValueVisitor = std::function<void(win::TRegistry& registry, const std::string& name,
                                         const std::string& keyPath)>;

// Calls visit for each value name of an existing key of the current user,
// with the open key and the key's full path; stops when the scan is
// cancelled.
void ForEachUserValue(const std::string& subKey, const TValueVisitor& visit);
// The same under another root (HKEY_LOCAL_MACHINE...).
void ForEachKeyValue(win::HKEY root, const std::string& subKey, const TValueVisitor& visit);

// The same for each subkey name.
void ForEachUserSubKey(const std::string& subKey,
                       const std::function<void(const std::string& name, const std::string& keyPath)>& visit);

// Records each value of an existing key of the current user (those take
// accepts, when given) as a kind-2 finding with its text (empty when it is
// not a string) unless IsExcludedValue(item, key path, text).
void RecordValueTexts(TFindingRecorder& recorder, const TRegistryItem& item, const std::string& subKey,
                      const TExcludeContents& ExcludeList,
                      const std::function<bool(win::TRegistry& registry, const std::string& name)>& take = {});
// The same for a key under another root.
void RecordValueTexts(TFindingRecorder& recorder, const TRegistryItem& item, win::HKEY root,
                      const std::string& subKey, const TExcludeContents& ExcludeList,
                      const std::function<bool(win::TRegistry& registry, const std::string& name)>& take = {});

// A key shared by findings that each name one of its subkeys (subKeys) or
// values; entry is the field of each finding that holds that name.
std::shared_ptr<const TSharedTarget> SharedKey(bool subKeys, std::string TResultContentItem::*entry);

// True while a scan may go on: lets messages through, then tests ScanState.
bool ContinueScan();

// Size of an existing plain file; 0 otherwise.
std::int64_t FileSizeOf(const std::string& path);

// The attribute words of folder entries that the shell-folder finders list:
// folders and plain, hidden, system, archive or temporary entries, and
// read-only folders or read-only hidden or system files.
bool IsListedEntryAttribute(unsigned attributes);

// A folder that names no drive root and is not the Windows or system folder.
bool IsSafeEvidenceFolder(const std::string& folder);

// The folder a value of the current user's "Shell Folders" names; empty when
// it is missing or names a root or the system's own folders.
std::string UserShellFolder(const char* name);

// The entries of a folder (not of its subfolders), "." and ".." left out;
// stops when ScanState asks it to.
struct TFolderEntry {
  std::string Name;
  unsigned Attributes = 0;
  std::int64_t Size = 0;  // as the listing gives it; 0 for folders and host links
};
std::vector<TFolderEntry> ListFolderEntries(const std::string& folder);
