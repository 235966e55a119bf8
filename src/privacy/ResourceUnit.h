#pragma once
// The fixed table of the fifty evidence items in four categories: the record
// of one item (and of one node of the privacy cleaner's trees), the item
// lists, and what the result views need to know of each item.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TSectionRec {
  std::int32_t Category = 0;  // 0 Internet Explorer, 1 Windows Software, 2 Windows System, 3 Internet Software
  std::int32_t Index = 0;     // 1-based position inside the category
  std::string CategoryName;
  std::string ItemName;
  std::uint8_t Checked = 0;
  std::int32_t Count = 0;
};

using TSectionList = std::vector<std::unique_ptr<TSectionRec>>;

constexpr int kCategoryCount = 4;
constexpr int kEvidenceItemCount = 50;
// Number of items of each category.
constexpr int kCategoryItemCounts[kCategoryCount] = {9, 16, 15, 10};
// Absolute node index of the first item of each category in the check tree
// (0 is the root, each category node sits just before its first item).
constexpr int kCategoryFirstNode[kCategoryCount] = {2, 12, 29, 45};
constexpr int kEvidenceNodeCount = 55;

extern const char* const kCategoryNames[kCategoryCount];

// Appends the records of one category (0..3) in table order; any other
// category adds nothing.
void BuildEvidenceItemList(int Category, TSectionList& List);

// The finding field a result row shows as its "Name".
enum class ShownField { Name, Data, KeyName, Path, FirefoxUrl, FirefoxCookie, FirefoxCacheFile,
                        NetscapeUrl, NetscapeCookie, NetscapeCacheFile };

// How the result views find an item's findings: by Description, or (for the
// six browser-profile items, which have none) by Kind.
struct TEvidenceItemInfo {
  const char* ItemName;
  const char* Description;  // empty for the items matched by Kind
  int Kind;                 // -1 for the items matched by Description
  ShownField Shown;
  bool DefaultChecked;
};

// Info of item Index (1-based) of Category; null outside the table.
const TEvidenceItemInfo* EvidenceItemInfo(int Category, int Index);

// The item whose findings carry ItemName Name: the item of that name, or the
// browser item whose finder writes a name of its own ("FireFox Cookies",
// "Netscape History", "Netscape Cookies", "netscape Cache"). False for none.
bool ItemOfFindingName(const std::string& Name, int& Category, int& Index);
