#include "platform/shell/ShellFileInfo.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>

#include "platform/files/FileSystem.h"

namespace win {
namespace {

std::mutex g_iconsMutex;
std::map<HICON, StockIcon> g_icons;
HICON g_nextIcon = 0x1000;

HICON NewIcon(StockIcon kind) {
  std::lock_guard<std::mutex> lock(g_iconsMutex);
  const HICON icon = g_nextIcon++;
  g_icons.emplace(icon, kind);
  return icon;
}

std::string UpperExt(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return ext;
}

// "C:", "C:\" or "c:\": the drive letter, else 0.
char DriveRootLetter(const std::string& path) {
  if (path.size() < 2 || path.size() > 3 || path[1] != ':') return 0;
  if (path.size() == 3 && path[2] != '\\' && path[2] != '/') return 0;
  const unsigned char letter = static_cast<unsigned char>(path[0]);
  return std::isalpha(letter) ? static_cast<char>(std::toupper(letter)) : 0;
}

StockIcon DriveIcon(unsigned type) {
  switch (type) {
    case DRIVE_REMOVABLE: return StockIcon::DriveRemovable;
    case DRIVE_FIXED: return StockIcon::DriveFixed;
    case DRIVE_REMOTE: return StockIcon::DriveRemote;
    case DRIVE_CDROM: return StockIcon::DriveCdRom;
    case DRIVE_RAMDISK: return StockIcon::DriveRamDisk;
    default: return StockIcon::None;
  }
}

const char* DriveTypeName(unsigned type) {
  switch (type) {
    case DRIVE_REMOVABLE: return "Removable Disk";
    case DRIVE_REMOTE: return "Network Drive";
    case DRIVE_CDROM: return "CD Drive";
    case DRIVE_RAMDISK: return "RAM Disk";
    default: return "Local Disk";
  }
}

StockIcon FileIcon(const std::string& path) {
  const std::string ext = UpperExt(path);
  for (const char* program : {".EXE", ".COM", ".BAT", ".CMD", ".SCR", ".PIF"})
    if (ext == program) return StockIcon::Program;
  if (ext == ".LNK" || ext == ".URL") return StockIcon::Shortcut;
  return StockIcon::Document;
}

}  // namespace

std::uintptr_t SHGetFileInfo(const std::string& path, DWORD /*fileAttributes*/, SHFILEINFO* info, unsigned flags) {
  if (info) *info = SHFILEINFO{};
  StockIcon kind = StockIcon::None;
  std::string displayName;
  DWORD attributes = 0;
  if (const char letter = DriveRootLetter(path)) {
    const std::string root = std::string(1, letter) + ":\\";
    const unsigned type = GetDriveType(root);
    kind = DriveIcon(type);
    if (kind == StockIcon::None) return 0;
    displayName = std::string(DriveTypeName(type)) + " (" + letter + ":)";
    attributes = FILE_ATTRIBUTE_DIRECTORY;
  } else {
    attributes = GetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? StockIcon::Folder : FileIcon(path);
    std::string trimmed = path;
    while (trimmed.size() > 3 && (trimmed.back() == '\\' || trimmed.back() == '/')) trimmed.pop_back();
    const std::optional<FindData> found = GetFileInfo(trimmed);
    displayName = found ? found->name : ExtractFileName(trimmed);
  }
  if (!info) return 1;
  info->dwAttributes = attributes;
  if (flags & SHGFI_ICON) {
    info->hIcon = NewIcon(kind);
    info->iIcon = static_cast<int>(kind);
  }
  if (flags & SHGFI_DISPLAYNAME) info->szDisplayName = displayName;
  return 1;
}

StockIcon IconKind(HICON icon) {
  std::lock_guard<std::mutex> lock(g_iconsMutex);
  const auto it = g_icons.find(icon);
  return it == g_icons.end() ? StockIcon::None : it->second;
}

bool DestroyIcon(HICON icon) {
  std::lock_guard<std::mutex> lock(g_iconsMutex);
  return g_icons.erase(icon) > 0;
}

std::size_t LiveIconCount() {
  std::lock_guard<std::mutex> lock(g_iconsMutex);
  return g_icons.size();
}

}  // namespace win
