#pragma once
// SHGetFileInfo of the current machine: the stock icon of a file, folder or
// drive (by kind; windows draw the kinds) and its display name. Icons are
// handles that the caller gives back with DestroyIcon.

#include <cstdint>
#include <string>

#include "platform/text/WinTypes.h"

namespace win {

using HICON = std::uintptr_t;

constexpr unsigned SHGFI_LARGEICON = 0x000;
constexpr unsigned SHGFI_SMALLICON = 0x001;
constexpr unsigned SHGFI_ICON = 0x100;
constexpr unsigned SHGFI_DISPLAYNAME = 0x200;

// What an icon shows. The values are the pictures' places in the stock icon
// strips of the windows.
enum class StockIcon {
  None = -1,
  Program = 0,
  Shortcut,
  Folder,
  Document,
  DriveRemovable,
  DriveFixed,
  DriveRemote,
  DriveCdRom,
  DriveRamDisk,
};
constexpr int kStockIconCount = 9;

struct SHFILEINFO {
  HICON hIcon = 0;
  int iIcon = 0;  // the StockIcon value, -1 without icon
  DWORD dwAttributes = 0;
  std::string szDisplayName;
};

// Fills what the flags ask for. A path that does not exist (or names no
// drive) gives no icon and no name and returns 0; otherwise nonzero.
// Programs are .exe, .com, .bat, .cmd, .scr and .pif files, shortcuts .lnk
// and .url files, any other file a document. A drive root ("C:\") is named
// like "Local Disk (C:)"; a file or folder by its name.
std::uintptr_t SHGetFileInfo(const std::string& path, DWORD fileAttributes, SHFILEINFO* info, unsigned flags);

// The kind behind a live icon handle; StockIcon::None for any other value.
StockIcon IconKind(HICON icon);

// Gives an icon handle back; false for a handle that is not live.
bool DestroyIcon(HICON icon);

// How many icon handles are live (tests look for leaks with it).
std::size_t LiveIconCount();

}  // namespace win
