// The recycle bin: X:\Recycled\ of each drive.

#include <dirent.h>

#include <cctype>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/HostFiles.h"
#include "platform/Machine.h"
#include "platform/StateStore.h"
#include "platform/TextCodec.h"

namespace win {

using namespace fs_detail;

namespace {

std::string BinPath(char drive) { return std::string(1, drive) + ":\\Recycled"; }

// The bin's own files stay when it is emptied, as Windows keeps them.
bool IsBinOwnFile(const std::string& name) {
  const std::string upper = UpperName(name);
  return upper == "INFO2" || upper == "DESKTOP.INI";
}

bool RemovePermanently(const ResolvedPath& item) {
  if (!RemoveHostTree(item.host)) return false;
  if (StateStore* state = State()) state->ForgetFileAttributes(item.Key());
  return true;
}

// The bin folder of a drive, made (hidden and system, as Windows makes it)
// when missing.
bool OpenBin(char drive, ResolvedPath& bin) {
  if (!ResolvePath(BinPath(drive), bin)) return false;
  if (!bin.Exists()) {
    if (!CreateDirectory(bin.windows)) return false;
    SetFileAttributes(bin.windows, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!ResolvePath(BinPath(drive), bin)) return false;
  }
  return bin.entry.kind == EntryKind::Folder ? true : Fail(ERROR_ACCESS_DENIED);
}

bool EmptyBinOf(char drive, bool skipMissingDrive) {
  ResolvedPath bin;
  if (!ResolvePath(BinPath(drive), bin)) {
    return skipMissingDrive && GetLastError() == ERROR_NOT_READY;
  }
  if (bin.entry.kind != EntryKind::Folder) return true;  // nothing was ever recycled here
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(bin.host.c_str()), closedir);
  if (!dir) return FailFromErrno(errno);
  std::vector<std::string> names;
  while (const dirent* item = readdir(dir.get())) {
    const std::string name = item->d_name;
    if (name != "." && name != ".." && !IsBinOwnFile(name)) names.push_back(name);
  }
  bool ok = true;
  for (const auto& name : names) {
    ResolvedPath item;
    if (!ResolvePath(bin.windows + "\\" + name, item) || !RemovePermanently(item)) ok = false;
  }
  return ok;
}

}  // namespace

std::string fs_detail::FreeNameIn(const std::string& folderWindows, const std::string& name) {
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
  const std::string ext = stem.size() == name.size() ? std::string() : name.substr(dot);
  std::string candidate = name;
  for (int n = 2;; ++n) {
    ResolvedPath slot;
    if (!ResolvePath(folderWindows + "\\" + candidate, slot) || !slot.Exists()) return candidate;
    candidate = stem + " (" + std::to_string(n) + ")" + ext;
  }
}

bool DeleteToRecycleBin(const std::string& path) {
  ResolvedPath item;
  if (!ResolveExisting(path, item)) return false;
  if (item.IsRoot()) return Fail(ERROR_ACCESS_DENIED);
  const std::string binKey = UpperName(BinPath(item.drive));
  const std::string itemKey = item.Key();
  if (itemKey == binKey) return Fail(ERROR_ACCESS_DENIED);
  // What is already in the bin goes for good.
  if (itemKey.rfind(binKey + "\\", 0) == 0) return RemovePermanently(item);

  ResolvedPath bin;
  if (!OpenBin(item.drive, bin)) return false;
  const std::string targetWindows = bin.windows + "\\" + FreeNameIn(bin.windows, item.names.back());
  ResolvedPath target;
  if (!ResolvePath(targetWindows, target)) return false;
  if (!MoveHostEntry(item.host, item.entry, target.host)) return false;
  if (StateStore* state = State()) state->MoveFileAttributes(itemKey, target.Key());
  return true;
}

bool EmptyRecycleBin(const std::string& rootPath) {
  if (rootPath.empty()) {
    bool ok = true;
    for (const char drive : GetLogicalDrives()) ok = EmptyBinOf(drive, true) && ok;
    return ok;
  }
  if (GetDriveType(rootPath) == DRIVE_NO_ROOT_DIR) return Fail(ERROR_PATH_NOT_FOUND);
  return EmptyBinOf(static_cast<char>(std::toupper(static_cast<unsigned char>(rootPath[0]))),
                    false);
}

}  // namespace win
