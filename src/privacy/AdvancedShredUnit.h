#pragma once
// The file shredder of the Evidence Cleaner's "Advanced" page without its
// window: the shred list, its choosers and the shred itself. Every file is
// wiped with the clean engine's WipeFile; a listed folder is emptied that way
// and its emptied folders are removed bottom-up. System folders and drive
// roots are refused, host links are never followed, and what could not be
// shredded stays listed and is reported.

#include <string>
#include <vector>

extern const char* const kShredEmptyListMessage;
extern const char* const kShredQuestion;
extern const char* const kShredDoneMessage;
extern const char* const kShredSystemFolderMessage;
extern const char* const kShredFailedFormat;  // "%d of %d items could not be shredded."
extern const char* const kSelectFolderTitle;

// What the page shows.
class AdvancedShredView {
 public:
  virtual ~AdvancedShredView() = default;
  virtual void ShredListChanged() {}
};

// True for a drive root, the Windows folder or anything in it, and a folder
// holding the Windows, Program Files or program folder.
bool IsProtectedShredPath(const std::string& path);

// The entries of the recycle folder that "Add All Recycle Files..." lists:
// attribute word below 101, not ".", "..", "INFO2" or "desktop.ini".
std::vector<std::string> RecycledFiles(const std::string& folder);

class TAdvancedShred {
 public:
  std::vector<std::string> listAdd;  // the shred list, in the order added
  int ShredLevel = 0;                // RG: 0 Quick, 1 Safe, 2 Thorough
  int ShredPasses = 1;               // handed to WipeFile
  AdvancedShredView* View = nullptr;

  void AddFiles1Click();
  void AddAllRecycleFile1Click();
  void BitBtn1Click();  // "Add Folder"
  // Removes the lines given (positions in the list); others are ignored.
  void RemoveSelectedFilesfromthelist1Click(const std::vector<int>& selected);
  void RemoveAllFilesfromthelist1Click();
  void btnShredClick();

  // Wipes the files under Folder (not in "Recent" paths, with the attribute
  // words the shredder takes); false when a stop (ScanState 2) ended it.
  bool ShredFolder(const std::string& Folder, int Passes);
  // Removes Folder's emptied folders bottom-up, then Folder when empty.
  void RemoveFolder(const std::string& Folder);

 private:
  // Adds a path after refusing protected ones; true when added.
  bool AddPath(const std::string& path);
  void Changed();
};
