#include "platform/shell/UrlCache.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS url_cache ("
    " id INTEGER PRIMARY KEY,"
    " url TEXT NOT NULL UNIQUE,"
    " local_file TEXT NOT NULL DEFAULT '',"
    " entry_type INTEGER NOT NULL,"
    " size INTEGER NOT NULL DEFAULT 0,"
    " modified INTEGER NOT NULL DEFAULT 0,"
    " accessed INTEGER NOT NULL DEFAULT 0)";

constexpr const char* kColumns = "id, url, local_file, entry_type, size, modified, accessed";
constexpr int kBatchRows = 2048;

bool EnsureTable(StateStore& store) { return store.Execute(kSchema); }

StateStore* CacheStore() {
  Machine* machine = CurrentMachine();
  if (!machine || !EnsureTable(machine->State())) return nullptr;
  return &machine->State();
}

UrlCacheEntryInfo EntryOf(const StateRow& row) {
  UrlCacheEntryInfo entry;
  entry.SourceUrlName = StateText(row[1]);
  entry.LocalFileName = StateText(row[2]);
  entry.CacheEntryType = static_cast<DWORD>(StateInteger(row[3]));
  entry.Size = static_cast<std::uint64_t>(StateInteger(row[4]));
  entry.LastModifiedTime = static_cast<FileTime>(StateInteger(row[5]));
  entry.LastAccessTime = static_cast<FileTime>(StateInteger(row[6]));
  return entry;
}

// Reads the rows in id order, a batch at a time, so that a walk over a large
// cache neither holds it all nor asks the store once per entry.
class StoreWalk : public UrlCacheFind {
 public:
  explicit StoreWalk(StateStore& store) : store_(store) {}

  bool Next(UrlCacheEntryInfo& entry) override {
    if (rows_.empty() && !Refill()) return false;
    if (rows_.empty()) {
      SetLastError(ERROR_NO_MORE_ITEMS);
      return false;
    }
    entry = EntryOf(rows_.front());
    rows_.pop_front();
    return true;
  }

 private:
  bool Refill() {
    std::vector<StateRow> rows;
    if (!store_.Query(std::string("SELECT ") + kColumns +
                          " FROM url_cache WHERE id > ?1 ORDER BY id LIMIT " +
                          std::to_string(kBatchRows),
                      {lastId_}, rows)) {
      SetLastError(ERROR_NO_MORE_ITEMS);
      return false;
    }
    if (!rows.empty()) lastId_ = StateInteger(rows.back()[0]);
    for (auto& row : rows) rows_.push_back(std::move(row));
    return true;
  }

  StateStore& store_;
  std::int64_t lastId_ = 0;
  std::deque<StateRow> rows_;
};

// The user's folders that hold cached files, upper-cased with a trailing
// backslash.
std::vector<std::string> CacheFolders() {
  std::vector<std::string> folders;
  TRegistry registry(KEY_READ);
  registry.SetRootKey(HKEY_CURRENT_USER);
  if (!registry.OpenKeyReadOnly("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"))
    return folders;
  for (const char* name : {"Cache", "Cookies", "History"}) {
    const auto folder = registry.ReadString(name);
    if (folder && folder->size() > 3) folders.push_back(UpperName(IncludeTrailingBackslash(*folder)));
  }
  return folders;
}

bool InCacheFolder(const std::string& path, const std::vector<std::string>& folders) {
  if (path.find("..") != std::string::npos) return false;
  const std::string upper = UpperName(path);
  for (const auto& folder : folders)
    if (upper.size() > folder.size() && upper.compare(0, folder.size(), folder) == 0) return true;
  return false;
}

}  // namespace

UrlCacheFind::~UrlCacheFind() = default;

std::unique_ptr<UrlCacheFind> FindFirstUrlCacheEntry(UrlCacheEntryInfo& first) {
  StateStore* store = CacheStore();
  if (!store) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto walk = std::make_unique<StoreWalk>(*store);
  if (!walk->Next(first)) return nullptr;
  return walk;
}

bool FindNextUrlCacheEntry(UrlCacheFind& find, UrlCacheEntryInfo& entry) { return find.Next(entry); }

void FindCloseUrlCache(std::unique_ptr<UrlCacheFind> find) { find.reset(); }

bool UrlCacheEntryExists(const std::string& url) {
  StateStore* store = CacheStore();
  std::vector<StateRow> rows;
  return store && store->Query("SELECT 1 FROM url_cache WHERE url = ?1", {url}, rows) &&
         !rows.empty();
}

namespace {

// "?,?,...,?" for n parameters (unnumbered: SQLite looks numbered ones up
// one by one).
std::string Placeholders(std::size_t n) {
  std::string marks;
  marks.reserve(2 * n);
  for (std::size_t i = 0; i < n; ++i) marks += i > 0 ? ",?" : "?";
  return marks;
}

// One entry and its local file; folders are CacheFolders().
bool DeleteEntry(StateStore& store, const std::vector<std::string>& folders, const std::string& url) {
  std::vector<StateRow> rows;
  if (!store.Query("SELECT local_file FROM url_cache WHERE url = ?1", {url}, rows)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (rows.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  const std::string file = StateText(rows.front()[0]);
  // Only a plain file goes (a folder or a host link stays); one in use or
  // read-only keeps its entry.
  if (!file.empty() && InCacheFolder(file, folders) && !DeleteIfPlainFile(file)) return false;
  if (!store.Execute("DELETE FROM url_cache WHERE url = ?1", {url})) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return true;
}

}  // namespace

bool DeleteUrlCacheEntry(const std::string& url) {
  StateStore* store = CacheStore();
  if (!store) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  return DeleteEntry(*store, CacheFolders(), url);
}

void DeleteUrlCacheEntries(const std::vector<std::string>& urls,
                           const std::function<void(std::size_t index, DWORD error)>& done) {
  StateStore* store = CacheStore();
  if (!store) {
    for (std::size_t i = 0; i < urls.size(); ++i) done(i, ERROR_FILE_NOT_FOUND);
    return;
  }
  const std::vector<std::string> folders = CacheFolders();
  for (std::size_t first = 0; first < urls.size(); first += kUrlCacheDeleteGroup) {
    const std::size_t count = std::min(kUrlCacheDeleteGroup, urls.size() - first);
    std::vector<DWORD> errors(count, ERROR_FILE_NOT_FOUND);
    // Without a batch each statement is committed on its own.
    bool batch = store->BeginBatch();
    std::vector<StateValue> params;
    for (std::size_t i = 0; i < count; ++i) params.emplace_back(urls[first + i]);
    std::vector<StateRow> rows;
    bool ok = store->Query("SELECT url, local_file FROM url_cache WHERE url IN (" + Placeholders(count) + ")",
                           params, rows);
    std::unordered_map<std::string, std::string> files;
    for (const auto& row : rows) files.emplace(StateText(row[0]), StateText(row[1]));
    std::vector<StateValue> gone;
    for (std::size_t i = 0; ok && i < count; ++i) {
      const auto file = files.find(urls[first + i]);
      if (file == files.end()) continue;
      // A file in use or read-only keeps its entry.
      if (!file->second.empty() && InCacheFolder(file->second, folders) && !DeleteIfPlainFile(file->second)) {
        errors[i] = GetLastError();
        continue;
      }
      errors[i] = 0;
      gone.emplace_back(urls[first + i]);
    }
    // SQLite may have ended the batch on a failure: the row deletes still go
    // together.
    if (batch && !store->InBatch()) batch = store->BeginBatch();
    ok = ok && (gone.empty() ||
                store->Execute("DELETE FROM url_cache WHERE url IN (" + Placeholders(gone.size()) + ")", gone));
    ok = ok && (!batch || store->CommitBatch());
    if (!ok) store->RollbackBatch();
    for (std::size_t i = 0; i < count; ++i)
      done(first + i, ok || errors[i] == ERROR_FILE_NOT_FOUND ? errors[i] : ERROR_WRITE_FAULT);
  }
}

bool AddUrlCacheEntries(StateStore& store, const std::vector<UrlCacheEntryInfo>& entries) {
  if (!EnsureTable(store) || !store.BeginBatch()) return false;
  for (const auto& e : entries) {
    if (!store.Execute("INSERT OR REPLACE INTO url_cache (url, local_file, entry_type, size, "
                       "modified, accessed) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                       {e.SourceUrlName, e.LocalFileName, static_cast<std::int64_t>(e.CacheEntryType),
                        static_cast<std::int64_t>(e.Size), static_cast<std::int64_t>(e.LastModifiedTime),
                        static_cast<std::int64_t>(e.LastAccessTime)})) {
      store.RollbackBatch();
      return false;
    }
  }
  return store.CommitBatch();
}

bool ListUrlCache(StateStore& store, std::vector<UrlCacheEntryInfo>& entries) {
  if (!EnsureTable(store)) return false;
  std::vector<StateRow> rows;
  if (!store.Query(std::string("SELECT ") + kColumns + " FROM url_cache ORDER BY id", {}, rows))
    return false;
  for (const auto& row : rows) entries.push_back(EntryOf(row));
  return true;
}

}  // namespace win
