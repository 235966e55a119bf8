#pragma once
// .reg files in both forms: "REGEDIT4" (ANSI code page) and
// "Windows Registry Editor Version 5.00" (UTF-16LE with BOM, CRLF); the old
// "REGEDIT" form is read too.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/text/WinTypes.h"

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

// Counts a skipped line and keeps it when it is among the first
// kRegFileSkipsKept by line number.
void RecordSkippedLine(RegFileContent& content, int line, std::string what);

// Takes one key of a file or of the registry; false stops the work.
using RegKeyHandler = std::function<bool(RegFileKey& key)>;

enum class RegFileRead {
  Done,
  BadHeader,   // error says so, as ReadRegFile
  Unreadable,  // the source failed
  Refused,     // the key handler stopped it
};
// ReadRegFile over a file read in pieces (source may be read twice: 8-bit
// text with a version 5 header is checked for UTF-8 first). Each key goes to
// take once its last value is read and is not kept: content gets the format
// and the skipped lines (added to those it holds), and is changed even when
// the read fails.
RegFileRead ReadRegFileStream(const ByteSource& source, const std::string& fileName, unsigned codePage,
                              RegFileContent& content, const RegKeyHandler& take, std::string& error);

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
// The same bytes formed a key at a time: the header when made, then each
// key, then the end; Bytes() holds what was formed since it was last cleared.
class RegFileFormatter {
 public:
  RegFileFormatter(RegFileFormat format, unsigned codePage);
  void Key(const RegFileKey& key);
  void End();
  std::vector<std::uint8_t>& Bytes() { return bytes_; }

 private:
  void Flush();
  RegFileFormat format_;
  unsigned codePage_;
  std::string text_;
  std::vector<std::uint8_t> bytes_;
};

// The keys of a key's subtree (keyPath = full path) or, with an empty path,
// of the whole registry, one at a time in file order.
class RegistryKeyWalk {
 public:
  RegistryKeyWalk(RegistryStore& store, const std::string& keyPath);
  // The next key; false at the end, or (error set) when reading failed or
  // the key does not exist.
  bool Next(RegFileKey& key, std::string& error);

 private:
  struct Pending {
    std::int64_t id;
    std::string path;
  };
  RegistryStore& store_;
  std::vector<Pending> stack_;
  std::string startError_;
};

// Hands a key with its subtree (keyPath = full path) or, with an empty path,
// the whole registry to take, one key at a time in file order.
bool EachRegistryKey(RegistryStore& store, const std::string& keyPath, const RegKeyHandler& take,
                     std::string& error);
// Writes what EachRegistryKey reads as a .reg file to write, a piece at a
// time, without loading the store's image of the whole registry. keys gets
// the number of keys written. A key that RegFileCannotHold refuses stops it
// (ERROR_INVALID_DATA, error naming it).
bool WriteRegistryTree(RegistryStore& store, const std::string& keyPath, RegFileFormat format,
                       unsigned codePage, const ByteSink& write, std::size_t& keys, std::string& error);
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
// ImportRegContent over a file read in pieces, in one transaction for the
// whole file: content gets the format and the skipped lines, keys the number
// of key blocks read. The result says what failed; NotWritten (error set)
// when the registry could not be written (nothing applied then).
enum class RegImport { Done, BadHeader, Unreadable, NotWritten };
RegImport ImportRegFileStream(RegistryStore& store, const ByteSource& source, const std::string& fileName,
                              unsigned codePage, RegFileContent& content, std::size_t& keys,
                              std::string& error);

// What a .reg file of the form cannot bring back of a key: its path or a
// value name holding CR, LF or NUL, or not valid text; an empty or too long
// name; and in REGEDIT4 names or string data that the code page (0 = the
// machine's) cannot hold, and string data of odd length or with a lone
// surrogate. Empty when the file holds it all; otherwise what and why, as
// "the value \"x<CR>\" of the key \"...\": <why>".
std::string RegFileCannotHold(const RegFileKey& key, RegFileFormat format, unsigned codePage);
// A registry name or path for a message: CR, LF and NUL shown as <CR>, <LF>
// and <NUL>, and cut after 300 bytes with "...".
std::string ShownRegName(const std::string& name);
// True when importing brings back `meant` as `read`: the same name, type
// and bytes; string data without its terminator may come back with it.
bool SameRegValue(const RegFileValue& meant, const RegFileValue& read);
// Pulls the next key that a file must bring back; false when none is left.
using RegKeyPull = std::function<bool(RegFileKey& key)>;
// Proves a .reg file: reads it in pieces with the reader that imports it
// (the machine's code page) and compares what an import would apply with
// the keys `expected` pulls, in order: a file of the form, the same key
// paths and no others, no deletion lines, no skipped lines, and every
// value's name, type and data (SameRegValue). False, with the first
// difference in `difference`, when anything differs.
bool ProveRegFile(const ByteSource& source, const std::string& fileName, RegFileFormat format,
                  const RegKeyPull& expected, std::string& difference);

// Whole operations on files of the current machine (Windows paths): the
// "Regedit /E file [key]" and "Regedit /s file" commands. An export that
// fails changes no file. An import with
// skipped lines keeps what it applied and fails with ERROR_INVALID_DATA (or
// the code of a failed write) and SkippedLinesMessage.
bool ExportRegFile(const std::string& windowsPath, const std::string& keyPath,
                   RegFileFormat format, std::string& error);
bool ImportRegFile(const std::string& windowsPath, std::string& error);
// Proves an export of ExportRegFile against the registry as it is now.
bool ProveRegistryExport(const std::string& windowsPath, const std::string& keyPath,
                         RegFileFormat format, std::string& difference);
// The first key or value of the tree (as ExportRegFile walks it) that a
// file of the form cannot hold, as RegFileCannotHold tells it; empty when
// there is none.
std::string RegistryTreeRefusal(const std::string& keyPath, RegFileFormat format);

}  // namespace win
