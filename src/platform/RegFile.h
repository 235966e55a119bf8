#pragma once
// .reg files in both forms: "REGEDIT4" (ANSI code page) and
// "Windows Registry Editor Version 5.00" (UTF-16LE with BOM, CRLF).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace win {

class RegistryStore;

enum class RegFileFormat { Regedit4, Version5 };

// One parsed entry: a key block header or a value line inside it.
struct RegFileValue {
  std::string name;      // empty = unnamed value (@)
  bool remove = false;   // "name"=-
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;  // raw, strings as UTF-16LE with terminator
  int line = 0;          // line where the value starts, 1-based (0 = not from a file)
};

struct RegFileKey {
  std::string path;      // full path, root name first
  bool remove = false;   // [-key]
  int line = 0;          // line of the key header, 1-based
  std::vector<RegFileValue> values;
};

struct RegFileContent {
  RegFileFormat format = RegFileFormat::Version5;
  std::vector<RegFileKey> keys;
};

// Parses the bytes of a .reg file (BOM or none, LF or CRLF). On the first bad
// line returns false with error "<fileName>: line <n>: <what>".
bool ParseRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                  unsigned codePage, RegFileContent& content, std::string& error);
// The file bytes for content: header, blank line, key blocks; long hex lines
// wrapped as regedit wraps them.
std::vector<std::uint8_t> FormatRegFile(const RegFileContent& content, unsigned codePage);

// Reads a key with its subtree (keyPath = full path) or, with an empty path,
// the whole registry, into content.
bool ReadRegistryTree(RegistryStore& store, const std::string& keyPath, RegFileContent& content,
                      std::string& error);
// Applies parsed content in one transaction: all or nothing.
bool ApplyRegFile(RegistryStore& store, const RegFileContent& content, std::string& error);

// Whole operations on files of the current machine (Windows paths): the
// "Regedit /E file [key]" and "Regedit /s file" commands.
bool ExportRegFile(const std::string& windowsPath, const std::string& keyPath,
                   RegFileFormat format, std::string& error);
bool ImportRegFile(const std::string& windowsPath, std::string& error);

}  // namespace win
