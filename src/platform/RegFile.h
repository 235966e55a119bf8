#pragma once
// .reg files in both forms: "REGEDIT4" (ANSI code page) and
// "Windows Registry Editor Version 5.00" (UTF-16LE with BOM, CRLF); the old
// "REGEDIT" form is read too.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace win {

class RegistryStore;

// Regedit31: "REGEDIT" files of "HKEY_CLASSES_ROOT\path = value" lines; read
// only (writing one gives a version 5 file).
enum class RegFileFormat { Regedit4, Version5, Regedit31 };

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

// A line that regedit would not apply.
struct RegFileSkippedLine {
  int line = 0;  // 1-based
  std::string what;
};

struct RegFileContent {
  RegFileFormat format = RegFileFormat::Version5;
  std::vector<RegFileKey> keys;
  std::size_t skippedCount = 0;                // every skipped line
  std::vector<RegFileSkippedLine> skipped;     // the first kRegFileSkipsKept of them
};

constexpr std::size_t kRegFileSkipsKept = 10;

// Reads the bytes of a .reg file (BOM or none; CR, LF or CR LF) line by line
// as regedit does: lines regedit rejects are left out and listed in
// content.skipped. False, with error "<fileName>: line 1: ...", only when the
// file has no valid header (content then left as it was).
bool ReadRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                 unsigned codePage, RegFileContent& content, std::string& error);
// Strict form: also false when any line was skipped, with error
// "<fileName>: line <n>: <what>" for the first one; content is then left as
// it was.
bool ParseRegFile(const std::vector<std::uint8_t>& bytes, const std::string& fileName,
                  unsigned codePage, RegFileContent& content, std::string& error);
// "<fileName>: line <n>: <what>" for the first skipped line, with the count
// of all of them when there are more.
std::string SkippedLinesMessage(const std::string& fileName, const RegFileContent& content);
// The file bytes for content: header, blank line, key blocks; long hex lines
// wrapped as regedit wraps them.
std::vector<std::uint8_t> FormatRegFile(const RegFileContent& content, unsigned codePage);

// Reads a key with its subtree (keyPath = full path) or, with an empty path,
// the whole registry, into content.
bool ReadRegistryTree(RegistryStore& store, const std::string& keyPath, RegFileContent& content,
                      std::string& error);
// Applies parsed content in one transaction: all or nothing.
bool ApplyRegFile(RegistryStore& store, const RegFileContent& content, std::string& error);
// Applies content as regedit imports a file: a key that cannot be opened or a
// value that cannot be written is added to content.skipped and the rest
// still applies. False only when the registry could not be written at all
// (nothing applied then).
bool ImportRegContent(RegistryStore& store, RegFileContent& content, std::string& error);

// Whole operations on files of the current machine (Windows paths): the
// "Regedit /E file [key]" and "Regedit /s file" commands. An import with
// skipped lines keeps what it applied and fails with ERROR_INVALID_DATA (or
// the code of a failed write) and SkippedLinesMessage.
bool ExportRegFile(const std::string& windowsPath, const std::string& keyPath,
                   RegFileFormat format, std::string& error);
bool ImportRegFile(const std::string& windowsPath, std::string& error);

}  // namespace win
