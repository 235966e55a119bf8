#pragma once
// The Internet Explorer URL cache of the current machine: an index table in
// state.db (URL, local file, entry type, size, times) beside the cached files
// in the user's Temporary Internet Files, Cookies and History folders.
// Failures are results with GetLastError() set.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

class StateStore;

// Cache entry types (bits).
constexpr DWORD NORMAL_CACHE_ENTRY = 0x1;
constexpr DWORD STICKY_CACHE_ENTRY = 0x4;
constexpr DWORD SPARSE_CACHE_ENTRY = 0x10000;
constexpr DWORD COOKIE_CACHE_ENTRY = 0x100000;
constexpr DWORD URLHISTORY_CACHE_ENTRY = 0x200000;

struct UrlCacheEntryInfo {
  std::string SourceUrlName;
  std::string LocalFileName;  // Windows path; empty for entries without a file
  DWORD CacheEntryType = NORMAL_CACHE_ENTRY;
  std::uint64_t Size = 0;
  FileTime LastModifiedTime = 0;
  FileTime LastAccessTime = 0;
};

// One walk over the cache, in the order the entries were added.
class UrlCacheFind {
 public:
  virtual ~UrlCacheFind();
  virtual bool Next(UrlCacheEntryInfo& entry) = 0;
};

// The first entry of a walk; null with ERROR_NO_MORE_ITEMS on an empty cache
// (ERROR_FILE_NOT_FOUND without a machine).
std::unique_ptr<UrlCacheFind> FindFirstUrlCacheEntry(UrlCacheEntryInfo& first);
// The next entry; false with ERROR_NO_MORE_ITEMS at the end.
bool FindNextUrlCacheEntry(UrlCacheFind& find, UrlCacheEntryInfo& entry);
void FindCloseUrlCache(std::unique_ptr<UrlCacheFind> find);

// Removes the entry of url and its local file. A local file is removed only
// when it is a plain file inside the user's Temporary Internet Files, Cookies
// or History folder; otherwise only the entry goes. ERROR_FILE_NOT_FOUND for
// a URL the cache does not hold.
bool DeleteUrlCacheEntry(const std::string& url);
// DeleteUrlCacheEntry for many entries, with their index deletes grouped
// into transactions of up to kUrlCacheDeleteGroup entries on state.db.
// done(i, error) is called for each entry once its group is committed:
// error 0 when it was removed, ERROR_FILE_NOT_FOUND when the cache did not
// hold it, another code when it is still listed (its file may be gone when
// the commit failed).
constexpr std::size_t kUrlCacheDeleteGroup = 4096;
void DeleteUrlCacheEntries(const std::vector<std::string>& urls,
                           const std::function<void(std::size_t index, DWORD error)>& done);
// True when the cache holds an entry for url.
bool UrlCacheEntryExists(const std::string& url);

// Adds (or replaces) entries in a machine's cache in one transaction
// (machine recipes and tests).
bool AddUrlCacheEntries(StateStore& store, const std::vector<UrlCacheEntryInfo>& entries);
// Every entry of a store's cache, in walk order (the machine tool).
bool ListUrlCache(StateStore& store, std::vector<UrlCacheEntryInfo>& entries);

}  // namespace win
