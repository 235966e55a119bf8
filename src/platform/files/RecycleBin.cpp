// The recycle bin: X:\Recycled\ of each drive, with its INFO2 index.

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "platform/files/FileInPlace.h"
#include "platform/files/FileReader.h"
#include "platform/files/FileRecords.h"
#include "platform/files/FileSystem.h"
#include "platform/files/HostFiles.h"
#include "platform/machine/Machine.h"
#include "platform/text/TextCodec.h"

namespace win {

using namespace fs_detail;

namespace {

std::string Info2Path(char drive) { return RecycleBinFolder(drive) + "\\INFO2"; }

// The bin's own files stay when it is emptied, as Windows keeps them.
bool IsBinOwnFile(const std::string& name) {
  const std::string upper = UpperName(name);
  return upper == "INFO2" || upper == "DESKTOP.INI";
}

// INFO2: a header of five 32-bit words (version, two unused, the size of a
// record, one unused), then one record per item sent to the bin: its
// original path in the ANSI code page (260 bytes), its number n (the item is
// "D" + drive letter + n + its extension), its drive (0 for A:), the time it
// was deleted (a file time), its size on the disk, and in the records of the
// NT family its original path in UTF-16 (260 units).
constexpr std::size_t kHeaderSize = 20;
constexpr std::uint32_t kAnsiRecordSize = 280;
constexpr std::uint32_t kUnicodeRecordSize = 800;
constexpr std::size_t kPathChars = 260;
constexpr std::uint64_t kClusterSize = 4096;

void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
  return value;
}

// What a bin's INFO2 holds, from its header and its last record.
struct Info2 {
  enum class State { None, Records, Foreign } state = State::None;  // None: missing or blank
  std::uint32_t recordSize = 0;
  std::uint64_t wholeSize = 0;    // header and whole records
  bool torn = false;              // a record cut short at the end
  std::uint32_t lastNumber = 0;   // of the last whole record
};

bool AllZero(const std::vector<std::uint8_t>& bytes) {
  for (const std::uint8_t b : bytes)
    if (b != 0) return false;
  return true;
}

// False when INFO2 is there but cannot be read.
bool ReadInfo2(char drive, Info2& info) {
  info = Info2();
  const std::unique_ptr<FileReader> reader = FileReader::Open(Info2Path(drive));
  if (!reader) return GetLastError() == ERROR_FILE_NOT_FOUND;
  std::vector<std::uint8_t> header;
  if (!reader->ReadAt(0, kHeaderSize, header)) return false;
  const std::uint32_t recordSize = header.size() == kHeaderSize ? Get32(header, 12) : 0;
  if (recordSize != kAnsiRecordSize && recordSize != kUnicodeRecordSize) {
    // Nothing but zeros (or nothing at all) holds no record to keep.
    std::vector<std::uint8_t> all;
    const bool blank = reader->Size() <= 64 * 1024 && reader->ReadAt(0, reader->Size(), all) && AllZero(all);
    info.state = blank ? Info2::State::None : Info2::State::Foreign;
    return true;
  }
  info.state = Info2::State::Records;
  info.recordSize = recordSize;
  const std::uint64_t records = (reader->Size() - kHeaderSize) / recordSize;
  info.wholeSize = kHeaderSize + records * recordSize;
  info.torn = info.wholeSize != reader->Size();
  if (records > 0) {
    std::vector<std::uint8_t> last;
    if (!reader->ReadAt(info.wholeSize - recordSize + kPathChars, 4, last) || last.size() != 4) return false;
    info.lastNumber = Get32(last, 0);
  }
  return true;
}

// A fresh header for the machine's Windows family.
std::vector<std::uint8_t> NewHeader() {
  std::vector<std::uint8_t> header(kHeaderSize, 0);
  const Machine* machine = CurrentMachine();
  const bool nt = !machine || machine->Config().platformId == 2;
  const bool millennium = machine && machine->Config().osMajor == 4 && machine->Config().osMinor >= 90;
  Put32(header, 0, nt || millennium ? 5 : 4);
  Put32(header, 12, nt ? kUnicodeRecordSize : kAnsiRecordSize);
  return header;
}

std::uint64_t OnDisk(std::uint64_t size) { return (size + kClusterSize - 1) / kClusterSize * kClusterSize; }

// Size on the disk of a file or of a folder's files, as a record holds it.
std::uint32_t RecordedSize(const ResolvedPath& item) {
  std::uint64_t total = 0;
  if (item.entry.kind == EntryKind::File) {
    total = OnDisk(item.entry.size);
  } else if (item.entry.kind == EntryKind::Folder) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(item.host, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::error_code entryError;
      if (it->is_regular_file(entryError) && !it->is_symlink(entryError)) total += OnDisk(it->file_size(entryError));
    }
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(total, 0xFFFFFFFFu));
}

// The record of an item; false when its path does not fit the record.
bool MakeRecord(const ResolvedPath& item, std::uint32_t recordSize, std::uint32_t number,
                std::vector<std::uint8_t>& record) {
  record.assign(recordSize, 0);
  std::string ansi = Utf8ToAnsi(item.windows);
  const bool exact = AnsiToUtf8(ansi) == item.windows;
  if (recordSize == kAnsiRecordSize) {
    // The path in the ANSI code page is all there is to put it back by.
    if (!exact) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    if (ansi.size() >= kPathChars) return Fail(ERROR_FILENAME_EXCED_RANGE);
  } else {
    const std::u16string wide = Utf8ToUtf16(item.windows);
    if (wide.size() >= kPathChars) return Fail(ERROR_FILENAME_EXCED_RANGE);
    for (std::size_t i = 0; i < wide.size(); ++i) {
      record[kAnsiRecordSize + 2 * i] = static_cast<std::uint8_t>(wide[i] & 0xFF);
      record[kAnsiRecordSize + 2 * i + 1] = static_cast<std::uint8_t>(wide[i] >> 8);
    }
    // The UTF-16 path is the one that counts; the ANSI one is cut to fit,
    // never inside a double-byte character.
    std::size_t fit = 0;
    while (fit < ansi.size()) {
      const std::size_t step = IsDBCSLeadByte(static_cast<std::uint8_t>(ansi[fit])) ? 2 : 1;
      if (fit + step >= kPathChars) break;
      fit += step;
    }
    ansi.resize(fit);
  }
  std::copy(ansi.begin(), ansi.end(), record.begin());
  Put32(record, kPathChars, number);
  Put32(record, kPathChars + 4, static_cast<std::uint32_t>(item.drive - 'A'));
  const FileTime now = CurrentFileTime();
  Put32(record, kPathChars + 8, static_cast<std::uint32_t>(now & 0xFFFFFFFFu));
  Put32(record, kPathChars + 12, static_cast<std::uint32_t>(now >> 32));
  Put32(record, kPathChars + 16, RecordedSize(item));
  return true;
}

// The highest n of the "D<letter><n>..." names in the bin, for a bin whose
// INFO2 tells none.
std::uint32_t HighestNumberInFolder(const ResolvedPath& bin) {
  std::uint32_t highest = 0;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(bin.host.c_str()), closedir);
  if (!dir) return highest;
  while (const dirent* item = readdir(dir.get())) {
    const std::string name = item->d_name;
    if (name.size() < 3 || (name[0] != 'D' && name[0] != 'd') || !std::isalpha(static_cast<unsigned char>(name[1])))
      continue;
    std::uint64_t number = 0;
    std::size_t i = 2;
    while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && number < 0xFFFFFFFFu)
      number = number * 10 + static_cast<std::uint64_t>(name[i++] - '0');
    if (i > 2 && number <= 0xFFFFFFFFu) highest = std::max(highest, static_cast<std::uint32_t>(number));
  }
  return highest;
}

bool RemovePermanently(const ResolvedPath& item) {
  return ChangeWithRecords(item.Key(), "", [&] { return RemoveHostTree(item.host); });
}

// The bin folder of a drive, made (hidden and system, as Windows makes it)
// when missing.
bool OpenBin(char drive, ResolvedPath& bin) {
  if (!ResolvePath(RecycleBinFolder(drive), bin)) return false;
  if (!bin.Exists()) {
    if (!CreateDirectory(bin.windows)) return false;
    SetFileAttributes(bin.windows, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!ResolvePath(RecycleBinFolder(drive), bin)) return false;
  }
  return bin.entry.kind == EntryKind::Folder ? true : Fail(ERROR_ACCESS_DENIED);
}

// Adds the item's record to INFO2 and gives its name in the bin; the record
// goes in before the item moves, so that a kill in between leaves the item
// where it was.
bool RecordItem(const ResolvedPath& item, const ResolvedPath& bin, std::string& nameInBin,
                std::uint64_t& recordAt) {
  Info2 info;
  if (!ReadInfo2(item.drive, info)) return false;
  if (info.state == Info2::State::Foreign) return Fail(ERROR_FILE_CORRUPT);
  const std::string info2 = Info2Path(item.drive);
  std::vector<std::uint8_t> head;
  if (info.state == Info2::State::None) {
    head = NewHeader();
  } else if (info.torn) {
    // A record cut short by a kill: its item never moved.
    if (!ReadFileBytes(info2, head)) return false;
    head.resize(info.wholeSize);
  }
  const std::uint32_t recordSize = info.state == Info2::State::Records ? info.recordSize : Get32(head, 12);
  std::uint32_t number = (info.state == Info2::State::Records ? info.lastNumber : HighestNumberInFolder(bin)) + 1;
  const std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(item.drive))));
  const std::string ext = ExtractFileExt(item.names.back());
  for (;; ++number) {
    ResolvedPath slot;
    nameInBin = "D" + letter + std::to_string(number) + ext;
    if (!ResolvePath(bin.windows + "\\" + nameInBin, slot)) return false;  // too long for the bin
    if (!slot.Exists()) break;
  }
  std::vector<std::uint8_t> record;
  if (!MakeRecord(item, recordSize, number, record)) return false;
  if (head.empty()) {
    recordAt = info.wholeSize;
    return AppendFileBytes(info2, record);
  }
  recordAt = head.size();
  const bool created = info.state == Info2::State::None && !FileExists(info2);
  head.insert(head.end(), record.begin(), record.end());
  if (!WriteFileBytes(info2, head)) return false;
  if (created) SetFileAttributes(info2, FILE_ATTRIBUTE_HIDDEN);
  return true;
}

// Marks a record as Windows marks one whose item is gone: its path emptied.
void MarkRecordGone(char drive, std::uint64_t recordAt) {
  const DWORD error = GetLastError();
  if (const auto file = InPlaceFile::Open(Info2Path(drive))) {
    const std::uint8_t zero = 0;
    if (file->WriteAt(recordAt, &zero, 1)) file->Flush();
  }
  SetLastError(error);
}

// After a bin is emptied its INFO2 keeps its header only.
bool ClearInfo2(char drive) {
  Info2 info;
  if (!ReadInfo2(drive, info)) return false;
  if (info.state != Info2::State::Records || info.wholeSize == kHeaderSize) return true;
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(Info2Path(drive), bytes)) return false;
  bytes.resize(kHeaderSize);
  return WriteFileBytes(Info2Path(drive), bytes);
}

bool EmptyBinOf(char drive, bool skipMissingDrive) {
  ResolvedPath bin;
  if (!ResolvePath(RecycleBinFolder(drive), bin)) {
    return skipMissingDrive && GetLastError() == ERROR_NOT_READY;
  }
  if (bin.entry.kind != EntryKind::Folder) return true;  // nothing was ever recycled here
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(bin.host.c_str()), closedir);
  if (!dir) return FailFromErrno(errno);
  // Temporary files of writes into the bin are no items: a running write
  // keeps its own, the stale ones go.
  RemoveStaleTempFiles(bin.host);
  std::vector<std::string> names;
  while (const dirent* item = readdir(dir.get())) {
    const std::string name = item->d_name;
    if (name == "." || name == ".." || IsBinOwnFile(name)) continue;
    if (IsTemporaryFileName(name) && StatHostAt(dirfd(dir.get()), item->d_name).kind != EntryKind::Folder) continue;
    names.push_back(name);
  }
  bool ok = true;
  for (const auto& name : names) {
    ResolvedPath item;
    if (!ResolvePath(bin.windows + "\\" + name, item) || !RemovePermanently(item)) ok = false;
  }
  // Records of items that could not go stay.
  return ok && ClearInfo2(drive);
}

}  // namespace

std::string RecycleBinFolder(char drive) { return std::string(1, drive) + ":\\Recycled"; }

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
  const std::string binKey = UpperName(RecycleBinFolder(item.drive));
  const std::string itemKey = item.Key();
  if (itemKey == binKey) return Fail(ERROR_ACCESS_DENIED);
  // What is already in the bin goes for good.
  if (itemKey.rfind(binKey + "\\", 0) == 0) return RemovePermanently(item);

  ResolvedPath bin;
  std::string nameInBin;
  std::uint64_t recordAt = 0;
  if (!OpenBin(item.drive, bin) || !RecordItem(item, bin, nameInBin, recordAt)) return false;
  ResolvedPath target;
  const bool moved =
      ResolvePath(bin.windows + "\\" + nameInBin, target) &&
      ChangeWithRecords(itemKey, target.Key(), [&] { return MoveHostEntry(item.host, item.entry, target.host); });
  if (!moved) MarkRecordGone(item.drive, recordAt);
  return moved;
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
