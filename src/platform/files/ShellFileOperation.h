#pragma once
// SHFileOperation: moving files into a folder and deleting them, to the
// recycle bin with FOF_ALLOWUNDO.

#include <cstdint>
#include <string>

#include "platform/shell/Shell.h"

namespace win {

constexpr unsigned FO_MOVE = 1;
constexpr unsigned FO_COPY = 2;
constexpr unsigned FO_DELETE = 3;
constexpr unsigned FO_RENAME = 4;

constexpr std::uint16_t FOF_SILENT = 0x4;
constexpr std::uint16_t FOF_NOCONFIRMATION = 0x10;
constexpr std::uint16_t FOF_ALLOWUNDO = 0x40;
constexpr std::uint16_t FOF_NOERRORUI = 0x400;

// A source that is its own destination.
constexpr int DE_SAMEFILE = 0x71;

struct SHFILEOPSTRUCT {
  HWND hwnd = 0;
  unsigned wFunc = 0;
  // Paths, each ended by a NUL, the list by a second NUL; a string without
  // NUL is one path.
  std::string pFrom;
  std::string pTo;  // FO_MOVE: the destination folder
  std::uint16_t fFlags = 0;
  bool fAnyOperationsAborted = false;
};

// 0 when every source was handled; else the error code of the first failure
// (the sources after it are left alone). Only files are handled:
// - FO_DELETE: with FOF_ALLOWUNDO into X:\Recycled\ of the file's drive,
//   without it for good;
// - FO_MOVE: into the existing folder pTo, as "name (2).ext" and so on when
//   the name is taken there; across drives the file is copied and the source
//   deleted only after the copy succeeded (a source that cannot be deleted
//   leaves no copy behind).
// Any other function fails with ERROR_CALL_NOT_IMPLEMENTED.
int SHFileOperation(SHFILEOPSTRUCT& operation);

}  // namespace win
