#pragma once
// File version resources of files on the current machine, read from the PE
// file itself (PE32 and PE32+) through its section table: the resource
// directory is followed to type 16 (version), name 1, and of its languages
// the one Windows' loader takes for a language-neutral lookup (neutral, the
// user's, the system's, US English, else the first). Every offset and length
// is checked; a file that is not PE, has no version resource or is damaged
// gives size 0.

#include <cstdint>
#include <string>

#include "platform/text/WinTypes.h"

namespace win {

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;  // 0xFEEF04BD
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};

// The size of the block GetFileVersionInfo fills; 0 when the file has no
// readable version resource (GetLastError() says why). handle is set to 0.
DWORD GetFileVersionInfoSize(const std::string& path, DWORD* handle);

// Fills data (len bytes, at least the size above) with the version block.
bool GetFileVersionInfo(const std::string& path, DWORD handle, DWORD len, void* data);

// Looks a value up in a block filled by GetFileVersionInfo:
//   "\"                        the VS_FIXEDFILEINFO (len 52)
//   "\VarFileInfo\Translation" the translation table (len in bytes)
//   "\StringFileInfo\040904b0\CompanyName"
//                              a UTF-8 text with its terminator (len in
//                              bytes, terminator included)
// Names compare case-insensitively; doubled backslashes are accepted.
// False when the value is not there.
bool VerQueryValue(const void* block, const std::string& subBlock, const void** buffer, unsigned* len);

}  // namespace win
