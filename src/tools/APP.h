#pragma once
// The version texts of a program file (TAppObj) and the details records of
// the startup manager's registry rows (TFileContents).

#include <cstdint>
#include <string>

#include "common/Collection.h"

class TAppObj {
 public:
  TAppObj() = default;

  // Fills the fields from the file; starts from an empty reader every time,
  // so a file without version data or translation table gets empty texts.
  void ReadVersionInfo(const std::string& fileName);
  // The trimmed text "StringFileInfo\<LangCharset>\<key>", empty when there
  // is no version data or no such text.
  std::string QueryStringValue(const std::string& key) const;
  // Info 0 is the fixed file version "a.b.c.d", 1 to 10 the ten texts.
  std::string GetInfo(int index) const;

  std::uint32_t Translation = 0;
  std::string LangCharset;
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTradeMarks;
  std::string OriginalFilename;
  std::string ProductName;
  std::string ProductVersion;
  std::string Comments;
  std::uint32_t FileVersionMajor = 0;
  std::uint32_t FileVersionMinor = 0;
  std::uint32_t FileVersionRelease = 0;
  std::uint32_t FileVersionBuild = 0;
  std::string FileFolder;
  std::string FileName;
  std::string AppTitle;
  std::string Info[11];
  std::int32_t InfoCount = 10;

 private:
  std::vector<std::uint8_t> versionBuffer_;  // held while a file is read
};

struct TFilInfoeRecord {
  std::string EntryType;        // "Registry"
  std::string Position;         // root key name, backslash, key path
  std::string ProductName;
  std::string CompanyName;
  std::string FileVersion;
  std::string FileDescription;
  std::string Action;           // "Delete"
  std::string ValueName;
  std::string FilePath;
};

class TFileContentItem {
 public:
  TFilInfoeRecord Content;
};

using TFileContents = TContents<TFileContentItem>;

// Reads the file with the reader and appends one details record; returns
// its index.
std::int32_t AddEntryFileInfo(TAppObj& reader, TFileContents& details, const std::string& filePath,
                              const std::string& entryType, const std::string& valueName,
                              const std::string& location);
