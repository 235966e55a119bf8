#include "privacy/AdvancedShredUnit.h"

#include <cstdio>
#include <memory>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"
#include "privacy/EvidenceCleanUnit.h"
#include "shell/BusyGuard.h"
#include "shell/Dialogs.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"

const char* const kShredEmptyListMessage = "You haven't added the files you want to deleted to the list!";
const char* const kShredQuestion =
    "The selected file will be permanently deleted! Do you want to continue?\r\r"
    "Important: This action is immediate and is NOT reversible!";
const char* const kShredDoneMessage = "File Shreds Completed Successfully!";
const char* const kShredSystemFolderMessage = "System folders and drive roots cannot be shredded.";
const char* const kShredFailedFormat = "%d of %d items could not be shredded.";
const char* const kSelectFolderTitle = "Select Drive or Directory";

namespace {

constexpr const char* kFernwick = "Fernwick";
constexpr const char* kEvidenceCleaner = "Evidence Cleaner";

// The attribute words whose entries a folder shred takes.
bool ShreddedAttributes(win::DWORD attributes) {
  switch (attributes) {
    case 16: case 2: case 4: case 128: case 256: case 19: case 32: case 22:
      return true;
    default:
      return false;
  }
}

bool InRecentPath(const std::string& path) { return win::UpperName(path).find("RECENT") != std::string::npos; }

// The path upper-cased, without "." and ".." parts or doubled backslashes;
// a drive root ends in a backslash.
std::string CanonicalUpper(const std::string& path) { return win::UpperName(win::CombinePath(path, "")); }

// Whether folder is inner or holds it (or is it).
bool Holds(const std::string& folder, const std::string& inner) {
  return inner == folder || inner.rfind(folder + "\\", 0) == 0;
}

bool IsLink(win::DWORD attributes) {
  return attributes != win::INVALID_FILE_ATTRIBUTES && (attributes & win::FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool Exists(const std::string& path) { return win::GetFileAttributes(path) != win::INVALID_FILE_ATTRIBUTES; }

// Whether the nearest folder on the way to a missing path is a host link:
// the shred never reaches through it, so what the path names is not gone.
bool ThroughHostLink(std::string path) {
  for (;;) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    const std::size_t slash = path.rfind('\\');
    if (slash == std::string::npos) return false;
    path.resize(slash);
    const win::DWORD attributes = win::GetFileAttributes(path);
    if (attributes != win::INVALID_FILE_ATTRIBUTES) return IsLink(attributes);
  }
}

// Whether the shred reaches this path at all: host links never.
bool IsPlainFile(win::DWORD attributes) {
  return attributes != win::INVALID_FILE_ATTRIBUTES &&
         (attributes & (win::FILE_ATTRIBUTE_DIRECTORY | win::FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

bool IsProtectedShredPath(const std::string& path) {
  const std::string canonical = CanonicalUpper(path);
  if (canonical.empty() || canonical.back() == '\\') return true;  // a drive root
  const std::string windows = CanonicalUpper(win::GetWindowsDirectory());
  if (Holds(windows, canonical)) return true;
  for (const std::string& folder :
       {windows, CanonicalUpper(win::ExpandEnvironmentStrings("%ProgramFiles%")),
        CanonicalUpper(win::ProgramFolder())}) {
    if (Holds(canonical, folder)) return true;
  }
  return false;
}

std::vector<std::string> RecycledFiles(const std::string& folder) {
  std::vector<std::string> files;
  win::FindData entry;
  const std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(folder + "\\*.*", entry);
  if (!finder) return files;
  do {
    if (entry.attributes >= 101 || entry.name == "." || entry.name == ".." ||
        win::SameName(entry.name, "INFO2") || win::SameName(entry.name, "desktop.ini"))
      continue;
    files.push_back(folder + "\\" + entry.name);
  } while (finder->Next(entry));
  return files;
}

void TAdvancedShred::Changed() {
  if (View) View->ShredListChanged();
}

bool TAdvancedShred::AddPath(const std::string& path) {
  if (IsProtectedShredPath(path)) {
    CurrentDialogs().MessageBox(kShredSystemFolderMessage, kFernwick, MB_OK | MB_ICONWARNING);
    return false;
  }
  listAdd.push_back(path);
  Changed();
  return true;
}

void TAdvancedShred::AddFiles1Click() {
  if (IsBusy()) return;
  FileDialogRequest request;
  request.Filter = "All Files (*.*)|*.*";
  std::string fileName;
  if (CurrentDialogs().OpenFileName(request, fileName) && !fileName.empty()) AddPath(fileName);
}

void TAdvancedShred::AddAllRecycleFile1Click() {
  if (IsBusy()) return;
  const std::string folder = win::GetSystemDirectory().substr(0, 3) + "Recycled";
  const std::vector<std::string> files = RecycledFiles(folder);
  if (files.empty()) return;
  listAdd.insert(listAdd.end(), files.begin(), files.end());
  Changed();
}

void TAdvancedShred::BitBtn1Click() {
  if (IsBusy()) return;
  std::string folder;
  if (CurrentDialogs().BrowseForFolder(kSelectFolderTitle, folder) && !folder.empty()) AddPath(folder);
}

void TAdvancedShred::RemoveSelectedFilesfromthelist1Click(const std::vector<int>& selected) {
  if (IsBusy()) return;
  std::vector<bool> drop(listAdd.size(), false);
  bool any = false;
  for (int line : selected) {
    if (line < 0 || line >= static_cast<int>(listAdd.size())) continue;
    drop[static_cast<std::size_t>(line)] = true;
    any = true;
  }
  if (!any) return;
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < listAdd.size(); ++i)
    if (!drop[i]) kept.push_back(listAdd[i]);
  listAdd = std::move(kept);
  Changed();
}

void TAdvancedShred::RemoveAllFilesfromthelist1Click() {
  if (IsBusy() || listAdd.empty()) return;
  listAdd.clear();
  Changed();
}

void TAdvancedShred::btnShredClick() {
  if (IsBusy()) return;
  Dialogs& dialogs = CurrentDialogs();
  if (listAdd.empty()) {
    dialogs.MessageBox(kShredEmptyListMessage, kFernwick, MB_OK | MB_ICONWARNING);
    return;
  }
  for (const std::string& path : listAdd) {
    if (IsProtectedShredPath(path)) {
      dialogs.MessageBox(kShredSystemFolderMessage, kFernwick, MB_OK | MB_ICONWARNING);
      return;
    }
  }
  ShredPasses = ShredLevel == 2 ? 7 : ShredLevel == 1 ? 2 : 1;
  if (dialogs.MessageBox(kShredQuestion, kFernwick, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
    return;

  std::vector<std::string> left;
  {
    BusyGuard busy;
    ScanState = 0;  // a stop left by an earlier Abort must not skip the wipe
    bool stopped = false;
    for (const std::string& path : listAdd) {
      if (!stopped) {
        const win::DWORD attributes = win::GetFileAttributes(path);
        if (IsPlainFile(attributes)) {
          WipeFile(path, ShredPasses);
        } else if (!IsLink(attributes)) {
          stopped = !ShredFolder(path, ShredPasses);
          if (!stopped) RemoveFolder(path);
        }
      }
      if (Exists(path) || ThroughHostLink(path)) left.push_back(path);
    }
  }
  const int total = static_cast<int>(listAdd.size());
  listAdd = left;
  Changed();
  if (left.empty()) {
    dialogs.MessageBox(kShredDoneMessage, kEvidenceCleaner, MB_OK);
    return;
  }
  char text[128];
  std::snprintf(text, sizeof text, kShredFailedFormat, static_cast<int>(left.size()), total);
  dialogs.MessageBox(text, kEvidenceCleaner, MB_OK | MB_ICONWARNING);
}

bool TAdvancedShred::ShredFolder(const std::string& Folder, int Passes) {
  win::FindData entry;
  const std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(Folder + "\\*.*", entry);
  if (!finder) return ScanState != 2;
  do {
    ProcessMessages();
    if (ScanState == 2) return false;
    const std::string path = Folder + "\\" + entry.name;
    if (InRecentPath(path)) return true;  // this folder's walk ends here
    if (!ShreddedAttributes(entry.attributes)) continue;
    if (entry.name == "." || entry.name == "..") continue;
    if ((entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if (!ShredFolder(path, Passes)) return false;
    } else {
      WipeFile(path, Passes);
    }
  } while (finder->Next(entry));
  return true;
}

void TAdvancedShred::RemoveFolder(const std::string& Folder) {
  if (InRecentPath(Folder)) return;
  const win::DWORD attributes = win::GetFileAttributes(Folder);
  if (attributes == win::INVALID_FILE_ATTRIBUTES || IsLink(attributes) ||
      (attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0)
    return;
  std::vector<std::string> folders;
  win::FindData entry;
  if (const std::unique_ptr<win::FileFinder> finder = win::FindFirstFile(Folder + "\\*.*", entry)) {
    do {
      if (entry.name != "." && entry.name != ".." && (entry.attributes & win::FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (entry.attributes & win::FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        folders.push_back(Folder + "\\" + entry.name);
    } while (finder->Next(entry));
  }
  for (const std::string& folder : folders) RemoveFolder(folder);
  win::RemoveDirectory(Folder);
}
