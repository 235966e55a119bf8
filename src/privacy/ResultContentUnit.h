#pragma once
// The findings of a scan, one collection per category.

#include <cstdint>
#include <string>

#include "common/Collection.h"

// What a finding is and how it is removed.
enum TEvidenceKind : std::int32_t {
  kKindFile = 0,             // wipe the file at Path
  kKindValue = 1,            // delete value Name of key Path
  kKindValueData = 2,        // the same, Data shown
  kKindKey = 3,              // delete key Path with everything below it
  kKindFirefoxUrl = 4,
  kKindFirefoxCookie = 5,
  kKindFirefoxCache = 6,
  kKindNetscapeUrl = 7,
  kKindNetscapeCookie = 8,
  kKindNetscapeCache = 9,
  kKindUrlCache = 10,        // delete the URL-cache entry of Name
  kKindUrlCookie = 11,
};

struct TResultContentItem {
  std::uint8_t Checked = 0;
  std::uint8_t Cleaned = 0;
  std::int32_t Kind = 0;
  std::uint8_t Filled = 0;
  std::string EntryType;  // "Reg" or "File"
  std::string Section;
  std::string Description;
  std::string ItemName;
  std::string Name;
  std::string KeyName;
  std::string Data;
  std::string Path;
  std::string FirefoxUrl;
  std::string FirefoxCookie;
  std::string FirefoxCacheFile;
  std::string NetscapeUrl;
  std::string NetscapeCookie;
  std::string NetscapeCacheFile;
  std::int64_t Size = 0;
};

using TResultContents = TContents<TResultContentItem>;
