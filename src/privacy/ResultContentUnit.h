#pragma once
// The findings of a scan, one collection per category.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/Collection.h"

// What a finding is and how it is removed.
enum TEvidenceKind : std::int32_t {
  kKindFile = 0,             // wipe the file at Path
  kKindValue = 1,            // delete value Name of key Path (subkey KeyName when set)
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

struct TSharedTarget;

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
  // Set when the key or file at Path holds several findings (see
  // TSharedTarget for how the clean engine removes them).
  std::shared_ptr<const TSharedTarget> Shared;
};

// What several findings share. A file (Whole) goes as a whole, only when
// every entry List gives at clean time is a ticked finding. A key whose
// findings each name one of its subkeys (SubKey) or values (Value) loses
// the entry of each ticked finding, and the key itself goes once nothing
// else is left in it.
struct TSharedTarget {
  enum class TPart { Whole, SubKey, Value };
  TPart Part = TPart::Whole;
  // Whole: the entries the finder would list there now, excluded ones
  // included, each as Entry of its finding; false when the target cannot
  // be read.
  std::function<bool(std::vector<std::string>& Entries)> List;
  // The field of a finding that names its entry.
  std::string TResultContentItem::*Entry = &TResultContentItem::Name;
};

using TResultContents = TContents<TResultContentItem>;
