#pragma once
// What the file and folder choosers show and accept: the drives of the
// current machine and what lies on them, in Windows paths. Above the drives
// there is only the list of drives; nothing else of the host is reached, and
// everything is listed through the machine's file system, which keeps the
// machine's own files out of reach.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"
#include "shell/Dialogs.h"

enum class ChooserKind { Open, Save, Folder };

// One "Description|*.a;*.b" pair of a filter text.
struct ChooserFilter {
  std::string description;
  std::vector<std::string> patterns;
};
// "Registry files (*.reg)|*.reg|All files|*.*"; a description without its
// patterns is dropped.
std::vector<ChooserFilter> ParseChooserFilter(const std::string& filter);

struct ChooserEntry {
  std::string name;  // "C:\" for a drive, else as the drive stores it
  std::string path;  // full Windows path
  bool folder = false;  // a drive or a folder
  unsigned driveType = 0;  // drives only
  win::DWORD attributes = 0;
  std::uint64_t size = 0;
  win::FileTime lastWriteTime = 0;
};

class MachineChooser {
 public:
  // Starts in the folder the request names when it is one on the machine,
  // else at the root of the first drive that can be listed.
  MachineChooser(ChooserKind kind, const FileDialogRequest& request);

  ChooserKind Kind() const { return kind_; }
  // "" while the drive list shows, else "C:\" or "C:\WINDOWS".
  const std::string& Folder() const { return folder_; }
  // Drives, or the folders and then the files (by the filter) of the folder.
  const std::vector<ChooserEntry>& Entries() const { return entries_; }
  void Refresh();

  bool CanGoUp() const { return !folder_.empty(); }
  // One level up; from a drive's root to the drive list.
  void GoUp();
  // Opens a drive ("C:\") or a folder by its full Windows path; false with a
  // message when it is not a folder that can be listed.
  bool GoTo(const std::string& path, std::string& message);

  // Only inside a drive.
  bool CanCreateFolder() const { return !folder_.empty(); }
  // Makes "New Folder" (or "New Folder (2)"...) in the folder; its path, or
  // empty with a message.
  std::string CreateFolder(std::string& message);

  const std::vector<ChooserFilter>& Filters() const { return filters_; }
  int FilterIndex() const { return filterIndex_; }  // 0-based
  void SetFilter(int index);

  enum class Outcome {
    Chosen,   // `chosen` holds the full Windows path
    Opened,   // the text named a folder (or a pattern): it now shows
    Refused,  // `message` says why (empty: nothing to do)
  };
  // OK with the text of the name box: a name in the folder, a path from the
  // drive's root ("\x") or a full path ("C:\x"). An empty text chooses the
  // folder itself in a folder chooser.
  Outcome Accept(const std::string& text, std::string& chosen, std::string& message);

 private:
  std::vector<std::string> Patterns() const;
  // Full Windows path of a typed text, or empty with a message.
  std::string FullPath(const std::string& text, std::string& message) const;

  ChooserKind kind_;
  std::string defaultExt_;
  std::vector<ChooserFilter> filters_;
  int filterIndex_ = 0;
  std::vector<std::string> typedPatterns_;  // a pattern typed into the name box
  std::string folder_;
  std::vector<ChooserEntry> entries_;
};
