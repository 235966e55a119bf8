// The registry store on SQLite.
//
//   keys(id, parent, gparent, name, uname)   parent 0 for the two real roots
//   vals(key, parent, seq, name, uname, type, data)   seq = creation order
//
// uname is the upper-cased name; (parent, uname) and (key, uname) are unique.
// Key ids are never reused, so a handle to a deleted key stays dead.
//
// Reads share one read transaction from call to call for as long as no
// connection commits anything (the wal-index header tells without a system
// call). Outside batches they are served from a RegistryImage of both tables,
// loaded once a number of reads has gone row by row and kept in step with
// this store's writes; a commit by another connection drops it. Before it is
// loaded, and inside batches, the store reads row by row and keeps what it
// has read in a RegistryCache. Every write ends the
// read transaction first and commits before it returns.

#include "platform/registry/RegistryStore.h"

#include <sqlite3.h>

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/registry/RegistryCache.h"
#include "platform/registry/RegistryImage.h"
#include "platform/registry/RegistrySql.h"
#include "platform/registry/StoreCheckStamp.h"
#include "platform/registry/StoreLock.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr std::int64_t kNoParent = 0;
constexpr int kApplicationId = 0x46575247;  // "FWRG"
constexpr int kSchemaVersion = 1;

const char* const kSchema =
    "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
    " gparent INTEGER NOT NULL, name TEXT NOT NULL, uname TEXT NOT NULL,"
    " UNIQUE(parent, uname));"
    // The subkey lists of all children of a key side by side, read without
    // visiting the rows.
    "CREATE INDEX keys_family ON keys(gparent, parent, uname, name);"
    // Values lie by parent key: the values of all children of a key are read
    // in one pass.
    "CREATE TABLE vals(key INTEGER NOT NULL, parent INTEGER NOT NULL, seq INTEGER NOT NULL,"
    " name TEXT NOT NULL, uname TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(parent, key, seq)) WITHOUT ROWID;"
    "CREATE UNIQUE INDEX vals_name ON vals(key, uname);";

// Length of a name as Windows counts it (UTF-16 code units).
std::size_t WideLength(const std::string& name) {
  std::size_t units = 0;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < path.size()) {
    const std::size_t end = std::min(path.find('\\', start), path.size());
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool IsPrefix(const std::vector<std::string>& prefix, const std::vector<std::string>& path) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

DWORD ErrorOf(int rc, DWORD fallback) {
  switch (rc & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_REGISTRY_CORRUPT;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return ERROR_SHARING_VIOLATION;
    case SQLITE_NOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return fallback;
  }
}

// The values of one key as the image or the cache holds them.
class HeldValueList {
 public:
  explicit HeldValueList(std::span<const RegistryImage::Value> image) : image_(image), size_(image.size()) {}
  explicit HeldValueList(const RegistryCache::Values& cache) : cache_(&cache), size_(cache.items.size()) {}
  std::size_t size() const { return size_; }
  std::string_view Name(std::size_t i) const { return cache_ ? cache_->Name(cache_->items[i]) : image_[i].Name(); }
  DWORD Type(std::size_t i) const { return cache_ ? cache_->items[i].type : image_[i].type; }
  std::span<const std::uint8_t> Data(std::size_t i) const {
    return cache_ ? cache_->Data(cache_->items[i]) : image_[i].Data();
  }

 private:
  std::span<const RegistryImage::Value> image_;
  const RegistryCache::Values* cache_ = nullptr;
  std::size_t size_;
};

// Every page as the file holds it now, read on a connection of its own: the
// store's page cache may still hold pages as they were before a change.
bool FileFoundSound(const std::string& path) {
  sqlite3* db = nullptr;
  bool sound = false;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
    sql::Statement check;
    std::string message;
    sound = check.Prepare(db, "PRAGMA quick_check(1)", message) && check.Step() == SQLITE_ROW &&
            check.Text(0) == "ok";
  }
  sqlite3_close_v2(db);
  return sound;
}

class SqliteRegistryStore final : public RegistryStore {
 public:
  SqliteRegistryStore(std::string path, RegistryOptions options)
      : path_(std::move(path)), options_(std::move(options)) {}
  ~SqliteRegistryStore() override;

  bool Open(std::string& error);

  std::optional<std::int64_t> RootId(HKEY root) override;
  std::optional<std::int64_t> FindChild(std::int64_t parent, const std::string& name) override;
  std::optional<std::int64_t> CreateChild(std::int64_t parent, const std::string& name) override;
  bool KeyAlive(std::int64_t key) override;
  std::vector<std::string> ChildNames(std::int64_t key) override;
  void ReadChildren(std::int64_t key, RegKeyList& children) override;
  std::vector<std::string> ValueNames(std::int64_t key) override;
  std::vector<RegValue> Values(std::int64_t key) override;
  void ReadValues(std::int64_t key, RegValueList& values) override;
  bool GetValue(std::int64_t key, const std::string& name, DWORD& type,
                std::vector<std::uint8_t>& data) override;
  bool SetValue(std::int64_t key, const std::string& name, DWORD type,
                const std::vector<std::uint8_t>& data) override;
  bool DeleteValue(std::int64_t key, const std::string& name) override;
  bool DeleteTree(std::int64_t key) override;
  bool Writable(std::int64_t key) override;
  std::string KeyPath(std::int64_t key) override;
  std::uint64_t ChangeCount() override;
  void AllowImage(bool allow) override;
  bool BeginBatch() override;
  bool CommitBatch() override;
  void RollbackBatch() override;

 private:
  // A write transaction, nested as a savepoint inside a batch.
  class Transaction {
   public:
    explicit Transaction(SqliteRegistryStore& store) : store_(store), ok_(store.Begin()) {}
    ~Transaction() {
      if (ok_ && !done_) store_.Rollback();
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return ok_; }
    bool Commit() {
      done_ = true;
      return store_.Commit();
    }

   private:
    SqliteRegistryStore& store_;
    bool ok_;
    bool done_ = false;
  };

  bool OpenDatabase(std::string& message);
  bool PrepareStatements(std::string& message);
  bool EnsureRoots();

  // Before every read: keeps the shared read transaction and the cache while
  // nothing was committed, else starts afresh.
  void BeginRead();
  // Before every write: ends the shared read transaction.
  void EndRead();
  void ForgetAll();
  // The image, loaded when missing; null inside a batch or when the file
  // cannot be read.
  const RegistryImage* Image();
  void UsePageRoom(bool use);
  // Drops the image when another connection has committed since it loaded.
  void CheckImage();
  std::optional<std::int64_t> DataVersion();

  bool Exec(const char* sql, DWORD failure);
  bool Begin();
  bool Commit();
  void Rollback();
  bool Failed(int rc, DWORD fallback);
  // After a step of insertKey_ or setValue_: false with ERROR_KEY_DELETED
  // when the key the row belongs to is gone, or with the error of the file.
  bool Inserted(int rc);
  std::optional<std::int64_t> InsertChild(std::int64_t parent, const std::string& name);
  // Rows of a list of key, read with checked or, when key is known to exist,
  // with ofLive; empty with the error set when key is gone or the file fails.
  template <typename Row, typename ReadRow>
  std::vector<Row> ListOf(sql::Statement& checked, sql::Statement& ofLive, std::int64_t key,
                          ReadRow readRow);
  // The lists of key from the cache, read when missing (with those of its
  // siblings when its parent is known); null on failure.
  const RegistryCache::Children* HeldChildren(std::int64_t key);
  std::optional<HeldValueList> HeldValues(std::int64_t key);
  // Per-child lists of the children of parent from a statement whose rows
  // begin with the child id; nothing when there are too many rows, and
  // then at once for that parent, which goes to tooMany.
  template <typename List, typename Append>
  std::optional<RegistryCache::Lists<List>> ReadChildLists(
      sql::Statement& statement, std::int64_t parent, std::size_t& rows,
      std::unordered_set<std::int64_t>& tooMany, Append append);
  // Finds or makes the keys of parts below from, whatever the access rules;
  // their ids go to visited.
  std::optional<std::int64_t> EnsurePath(std::int64_t from, const std::vector<std::string>& parts,
                                         std::vector<std::int64_t>* visited = nullptr);
  std::optional<std::vector<std::string>> PathParts(std::int64_t key);
  std::vector<std::string> UpperParts(std::int64_t key);
  std::vector<std::string> CanonicalParts(const std::string& fullPath);
  bool TreeWritable(std::int64_t key);
  // Writable, else false with ERROR_ACCESS_DENIED or ERROR_KEY_DELETED.
  bool MayChange(std::int64_t key);
  bool KeyGone(std::int64_t key);

  // Closes the connection after the statements (declared below) are gone.
  struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close_v2(db); }
  };

  std::string path_;
  RegistryOptions options_;
  // Declared first: stamps a file found sound once the connection has closed.
  struct CloseStamp {
    CloseStamp() = default;
    CloseStamp(const CloseStamp&) = delete;
    CloseStamp& operator=(const CloseStamp&) = delete;
    ~CloseStamp() {
      if (sound) LeaveCheckStamp(path);
    }
    std::string path;
    bool armed = false;
    bool sound = false;
  } closeStamp_;
  // Declared before the connection: its handles close after the connection.
  StoreLock lock_;
  bool wal_ = false;
  Connection connection_;
  sqlite3*& db_ = connection_.db;
  int depth_ = 0;         // open write transaction levels (batches and own writes)
  sql::CommitWatch watch_;  // attached in WAL mode only
  bool reading_ = false;  // the shared read transaction is open
  sql::CommitStamp stamp_;
  RegistryCache cache_;
  std::unique_ptr<RegistryImage> image_;
  bool imageWanted_ = false;  // from the first read after opening
  bool imageAllowed_ = true;
  bool imageFailed_ = false;  // until something is committed
  std::size_t rowReads_ = 0;  // reads served row by row since the image was loaded
  std::int64_t imageVersion_ = 0;  // data_version when the image was loaded
  std::uint64_t changes_ = 0;  // times the cache was emptied
  std::size_t nextValue_ = 0;  // where GetValue starts looking in a held list

  std::int64_t localMachine_ = 0;
  std::int64_t users_ = 0;
  std::int64_t classes_ = 0;
  std::int64_t currentUser_ = 0;
  std::int64_t currentConfig_ = 0;
  std::vector<std::int64_t> anchors_;  // roots, alias targets and their parents
  std::vector<std::vector<std::string>> readOnly_;  // upper-cased canonical parts
  std::unordered_map<std::int64_t, bool> writableCache_;
  // Parents whose children's lists are too long to read at once.
  std::unordered_set<std::int64_t> tooManyChildren_, tooManyValues_;

  sql::Statement findChild_, insertKey_, keyAlive_, childNames_, childNamesOfLive_, values_,
      childValues_, grandChildren_, getValue_, setValue_, deleteValue_, pathOf_, deleteTreeValues_,
      deleteTreeKeys_, dataVersion_;
};

SqliteRegistryStore::~SqliteRegistryStore() {
  if (depth_ > 0 || reading_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  if (closeStamp_.armed) closeStamp_.sound = FileFoundSound(path_);
  lock_.Release();
}

bool SqliteRegistryStore::Open(std::string& error) {
  std::string message;
  if (!OpenDatabase(message) || !PrepareStatements(message)) {
    error = path_ + ": " + message;
    return false;
  }
  if (!EnsureRoots()) {
    error = path_ + ": " + sqlite3_errmsg(db_);
    return false;
  }
  if (wal_) lock_.Hold(path_);
  closeStamp_.path = path_;
  closeStamp_.armed = options_.checkStamp;
  for (const std::string& path : options_.readOnlyKeys) {
    auto parts = CanonicalParts(path);
    if (!parts.empty()) readOnly_.push_back(std::move(parts));
  }
  imageWanted_ = true;
  return true;
}

bool SqliteRegistryStore::OpenDatabase(std::string& message) {
  // Taken before the connection makes its own log.
  const bool stamped = options_.checkStamp && TakeCheckStamp(path_);
  if (sqlite3_open_v2(path_.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    message = db_ ? sqlite3_errmsg(db_) : "cannot open";
    return false;
  }
  sqlite3_extended_result_codes(db_, 0);
  sqlite3_busy_timeout(db_, 10000);

  // One-row statements; the first column of the row goes to result.
  const auto single = [&](const char* sql, std::string& result) {
    sql::Statement s;
    if (!s.Prepare(db_, sql, message)) return false;
    const int rc = s.Step();
    if (rc == SQLITE_ROW) result = s.Text(0);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
      message = sqlite3_errmsg(db_);
      return false;
    }
    return true;
  };
  std::string tables, appId, version, journal, unused;
  if (!single("SELECT count(*) FROM sqlite_master", tables) ||
      !single("PRAGMA application_id", appId) || !single("PRAGMA user_version", version)) {
    return false;
  }
  if (tables != "0" &&
      (appId != std::to_string(kApplicationId) || version != std::to_string(kSchemaVersion))) {
    message = "not a registry database";
    return false;
  }
  // A damaged page anywhere refuses the file now, before anything reads a
  // part of it or writes to it; unless it is as it was when a close last
  // found it sound.
  std::string check = "ok";
  if (tables != "0" && !stamped && (!single("PRAGMA quick_check(1)", check) || check != "ok")) {
    if (check == "ok") check = message;
    const std::string heading = "*** in database main ***\n";
    if (check.rfind(heading, 0) == 0) check.erase(0, heading.size());
    message = "the file is damaged (" + check + ")";
    return false;
  }
  // Pages are read through a memory map: no system call per page.
  if (!single("PRAGMA journal_mode=WAL", journal) || !single("PRAGMA synchronous=FULL", unused) ||
      !single("PRAGMA mmap_size=4294967296", unused) ||
      // Room for the pages a large batch changes before it commits.
      !single("PRAGMA cache_size=-262144", unused)) {
    return false;
  }
  wal_ = journal == "wal";
  if (wal_) watch_.Attach(db_);
  if (tables != "0") return true;

  // Two processes may create the store at once: decide inside the lock.
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK ||
      !single("SELECT count(*) FROM sqlite_master", tables)) {
    message = sqlite3_errmsg(db_);
    return false;
  }
  std::string create;
  if (tables == "0") {
    create = std::string(kSchema) + "PRAGMA application_id=" + std::to_string(kApplicationId) +
             ";PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
  }
  if (sqlite3_exec(db_, (create + "COMMIT").c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
    message = sqlite3_errmsg(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
  }
  return true;
}

bool SqliteRegistryStore::PrepareStatements(std::string& message) {
  const std::pair<sql::Statement*, const char*> statements[] = {
      {&findChild_, "SELECT id FROM keys WHERE parent = ?1 AND uname = ?2"},
      // Single rows from VALUES: an INSERT from a SELECT that reads the same
      // table would stage its rows in a temporary table on every call. A
      // parent that is gone leaves a NULL that the NOT NULL refuses.
      {&insertKey_, "INSERT INTO keys(parent, gparent, name, uname) VALUES (?1,"
                    " CASE WHEN ?1 = 0 THEN 0 ELSE (SELECT parent FROM keys WHERE id = ?1) END,"
                    " ?2, ?3)"},
      {&keyAlive_, "SELECT 1 FROM keys WHERE id = ?1"},
      // No row when the key is gone; one row of NULLs when it has no children
      // or values. The indexes give the order: nothing is sorted.
      {&childNames_, "SELECT c.name, c.uname, c.id FROM keys p LEFT JOIN keys c"
                     " ON c.parent = p.id WHERE p.id = ?1 ORDER BY c.uname"},
      {&values_, "SELECT v.name, v.type, v.data FROM keys p LEFT JOIN vals v"
                 " ON v.parent = p.parent AND v.key = p.id WHERE p.id = ?1 ORDER BY v.seq"},
      // The same for a key known to exist in the current read transaction.
      {&childNamesOfLive_, "SELECT name, uname, id FROM keys WHERE parent = ?1 ORDER BY uname"},
      // Lists of all children of a key, child by child.
      {&childValues_, "SELECT key, name, type, data FROM vals WHERE parent = ?1"
                      " ORDER BY key, seq"},
      {&grandChildren_, "SELECT parent, name, uname, id FROM keys WHERE gparent = ?1"
                        " ORDER BY parent, uname"},
      {&getValue_, "SELECT type, data FROM vals WHERE key = ?1 AND uname = ?2"},
      {&setValue_, "INSERT INTO vals(key, parent, seq, name, uname, type, data) VALUES (?1,"
                   " (SELECT parent FROM keys WHERE id = ?1), (SELECT IFNULL(MAX(seq), 0) + 1"
                   " FROM vals WHERE parent = (SELECT parent FROM keys WHERE id = ?1)"
                   " AND key = ?1), ?2, ?3, ?4, ?5) ON CONFLICT(key, uname) DO UPDATE SET"
                   " type = excluded.type, data = excluded.data"},
      {&deleteValue_, "DELETE FROM vals WHERE key = ?1 AND uname = ?2"},
      {&pathOf_, "WITH RECURSIVE up(id, parent, name, depth) AS ("
                 " SELECT id, parent, name, 0 FROM keys WHERE id = ?1 UNION ALL"
                 " SELECT k.id, k.parent, k.name, up.depth + 1 FROM keys k JOIN up"
                 " ON k.id = up.parent) SELECT name FROM up ORDER BY depth DESC"},
      {&deleteTreeValues_, "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
                           " SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
                           " DELETE FROM vals WHERE key IN sub"},
      {&deleteTreeKeys_, "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
                         " SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
                         " DELETE FROM keys WHERE id IN sub"},
      // Changes only when another connection commits.
      {&dataVersion_, "PRAGMA data_version"},
  };
  for (const auto& [statement, sql] : statements) {
    if (!statement->Prepare(db_, sql, message)) return false;
  }
  return true;
}

bool SqliteRegistryStore::EnsureRoots() {
  // The two real roots and the keys the three aliases stand for.
  const auto lm = EnsurePath(kNoParent, {"HKEY_LOCAL_MACHINE"});
  const auto users = EnsurePath(kNoParent, {"HKEY_USERS"});
  if (!lm || !users) return false;
  localMachine_ = *lm;
  users_ = *users;
  anchors_ = {localMachine_, users_};
  const auto classes = EnsurePath(localMachine_, {"SOFTWARE", "Classes"}, &anchors_);
  const auto user = EnsurePath(users_, {options_.userSid}, &anchors_);
  const auto config =
      EnsurePath(localMachine_, {"SYSTEM", "CurrentControlSet", "Hardware Profiles", "Current"},
                 &anchors_);
  if (!classes || !user || !config) return false;
  classes_ = *classes;
  currentUser_ = *user;
  currentConfig_ = *config;
  std::sort(anchors_.begin(), anchors_.end());
  anchors_.erase(std::unique(anchors_.begin(), anchors_.end()), anchors_.end());
  return true;
}

void SqliteRegistryStore::BeginRead() {
  if (depth_ > 0) return;  // inside an own write transaction everything is current
  sql::CommitStamp now;
  if (!watch_.Read(now)) {
    EndRead();  // nothing tells of other commits: every call reads afresh
    ForgetAll();
    image_.reset();
    return;
  }
  if (reading_ && now == stamp_) return;
  EndRead();
  ForgetAll();
  // The transaction's snapshot is at least as new as this stamp; a commit in
  // between only makes the next call start again.
  stamp_ = now;
  reading_ = Exec("BEGIN", ERROR_CANTREAD);
  imageFailed_ = false;
  CheckImage();
}

std::optional<std::int64_t> SqliteRegistryStore::DataVersion() {
  sql::Use q(dataVersion_);
  if (q->Step() != SQLITE_ROW) return std::nullopt;
  return q->Int(0);
}

void SqliteRegistryStore::CheckImage() {
  if (!image_) return;
  const auto version = DataVersion();
  if (!version || *version != imageVersion_) image_.reset();
}

const RegistryImage* SqliteRegistryStore::Image() {
  BeginRead();
  if (image_) return image_.get();
  if (!imageWanted_ || !imageAllowed_ || imageFailed_ || depth_ > 0 || !reading_) return nullptr;
  // A few reads (a program starting, a key read after another process
  // wrote) go row by row; a walk soon passes the limit.
  if (rowReads_ < options_.rowReadsBeforeImage) {
    ++rowReads_;
    return nullptr;
  }
  auto image = std::make_unique<RegistryImage>();
  int rc = SQLITE_OK;
  // The one pass keeps none of the file's pages: they are all in the image.
  // It reads them from the file, not from pages held from before.
  UsePageRoom(false);
  sqlite3_db_release_memory(db_);
  RegistryImage::Threads threads;
  threads.keysPerThread = options_.imageKeysPerThread;
  threads.sameSnapshot = [this] {
    sql::CommitStamp now;
    return watch_.Read(now) && now == stamp_;
  };
  const bool loaded = image->Load(db_, rc, threads);
  sqlite3_db_release_memory(db_);  // the pages it read, for what comes next
  UsePageRoom(true);
  const auto version = loaded ? DataVersion() : std::nullopt;
  if (!version) {
    imageFailed_ = true;  // the row-by-row reads report the failure
    return nullptr;
  }
  imageVersion_ = *version;
  image_ = std::move(image);
  rowReads_ = 0;
  return image_.get();
}

void SqliteRegistryStore::AllowImage(bool allow) {
  if (allow == imageAllowed_) return;
  imageAllowed_ = allow;
  // A pass over the whole file keeps few of its pages (a batch spills what it
  // changed to the log).
  UsePageRoom(allow);
}

void SqliteRegistryStore::UsePageRoom(bool use) {
  // Either the file mapped and a large page cache, or none mapped and a small
  // one.
  sqlite3_exec(db_, use ? "PRAGMA mmap_size=4294967296; PRAGMA cache_size=-262144"
                        : "PRAGMA mmap_size=0; PRAGMA cache_size=-16384",
               nullptr, nullptr, nullptr);
}

void SqliteRegistryStore::ForgetAll() {
  cache_.Clear();
  tooManyChildren_.clear();
  tooManyValues_.clear();
  ++changes_;
}

std::uint64_t SqliteRegistryStore::ChangeCount() {
  BeginRead();
  return changes_;
}

void SqliteRegistryStore::EndRead() {
  if (!reading_) return;
  reading_ = false;
  sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
}

bool SqliteRegistryStore::Failed(int rc, DWORD fallback) {
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return false;
  SetLastError(ErrorOf(rc, fallback));
  // Some errors end the transaction by themselves.
  if (sqlite3_get_autocommit(db_)) {
    depth_ = 0;
    reading_ = false;
  }
  ForgetAll();
  image_.reset();
  return true;
}

bool SqliteRegistryStore::Inserted(int rc) {
  if (rc == SQLITE_CONSTRAINT &&
      sqlite3_extended_errcode(db_) == SQLITE_CONSTRAINT_NOTNULL) {
    SetLastError(ERROR_KEY_DELETED);  // only the statement was undone
    return false;
  }
  return !Failed(rc, ERROR_CANTWRITE);
}

bool SqliteRegistryStore::Exec(const char* sql, DWORD failure) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) return true;
  SetLastError(ErrorOf(rc, failure));
  return false;
}

bool SqliteRegistryStore::Begin() {
  EndRead();
  if (!Exec(depth_ == 0 ? "BEGIN IMMEDIATE" : "SAVEPOINT nested", ERROR_CANTWRITE)) return false;
  if (depth_ == 0) {
    ForgetAll();  // others may have committed before the lock
    CheckImage();
  }
  ++depth_;
  return true;
}

bool SqliteRegistryStore::Commit() {
  if (depth_ == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (!Exec(depth_ == 1 ? "COMMIT" : "RELEASE nested", ERROR_CANTWRITE)) {
    Rollback();
    return false;
  }
  --depth_;
  return true;
}

void SqliteRegistryStore::Rollback() {
  if (depth_ == 0) return;
  ForgetAll();
  image_.reset();
  if (depth_ == 1 || sqlite3_get_autocommit(db_)) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    depth_ = 0;
    writableCache_.clear();  // ids made inside may come again
    return;
  }
  sqlite3_exec(db_, "ROLLBACK TO nested; RELEASE nested", nullptr, nullptr, nullptr);
  --depth_;
}

bool SqliteRegistryStore::BeginBatch() {
  // A batch may write the whole registry: its reads go row by row, and the
  // image is loaded afresh afterwards.
  if (depth_ == 0) image_.reset();
  return Begin();
}
bool SqliteRegistryStore::CommitBatch() { return Commit(); }
void SqliteRegistryStore::RollbackBatch() { Rollback(); }

std::optional<std::int64_t> SqliteRegistryStore::RootId(HKEY root) {
  switch (root) {
    case HKEY_LOCAL_MACHINE:
      return localMachine_;
    case HKEY_USERS:
      return users_;
    case HKEY_CLASSES_ROOT:
      return classes_;
    case HKEY_CURRENT_USER:
      return currentUser_;
    case HKEY_CURRENT_CONFIG:
      return currentConfig_;
    default:
      SetLastError(ERROR_INVALID_HANDLE);
      return std::nullopt;
  }
}

bool SqliteRegistryStore::KeyGone(std::int64_t key) {
  if (const RegistryImage* image = Image()) {
    if (key != kNoParent && image->Has(key)) return false;
    SetLastError(ERROR_KEY_DELETED);
    return true;
  }
  if (cache_.KnownAlive(key)) return false;
  sql::Use q(keyAlive_);
  q->Bind(1, key);
  const int rc = q->Step();
  if (Failed(rc, ERROR_CANTREAD)) return true;
  if (rc == SQLITE_DONE) {
    SetLastError(ERROR_KEY_DELETED);
    return true;
  }
  return false;
}

bool SqliteRegistryStore::KeyAlive(std::int64_t key) { return !KeyGone(key); }

std::optional<std::int64_t> SqliteRegistryStore::FindChild(std::int64_t parent,
                                                           const std::string& name) {
  std::string upper = UpperName(name);
  if (const RegistryImage* image = Image()) {
    if (const auto id = image->Child(parent, upper)) return id;
    SetLastError(parent == kNoParent || image->Has(parent) ? ERROR_FILE_NOT_FOUND
                                                            : ERROR_KEY_DELETED);
    return std::nullopt;
  }
  if (const auto cached = cache_.Child(parent, upper)) {
    cache_.MarkAlive(*cached, parent);
    return cached;
  }
  if (cache_.ChildrenOf(parent) && cache_.KnownAlive(parent)) {
    SetLastError(ERROR_FILE_NOT_FOUND);  // its whole list is known
    return std::nullopt;
  }
  {
    sql::Use q(findChild_);
    q->Bind(1, parent);
    q->Bind(2, upper);
    const int rc = q->Step();
    if (rc == SQLITE_ROW) {
      const std::int64_t id = q->Int(0);
      cache_.AddChild(parent, std::move(upper), id);
      cache_.MarkAlive(id, parent);
      return id;
    }
    if (Failed(rc, ERROR_CANTREAD)) return std::nullopt;
  }
  if (parent == kNoParent || !KeyGone(parent)) SetLastError(ERROR_FILE_NOT_FOUND);
  return std::nullopt;
}

std::optional<std::int64_t> SqliteRegistryStore::InsertChild(std::int64_t parent,
                                                             const std::string& name) {
  EndRead();
  std::string upper = UpperName(name);
  sql::Use q(insertKey_);
  q->Bind(1, parent);
  q->Bind(2, name);
  q->Bind(3, upper);
  if (!Inserted(q->Step())) return std::nullopt;
  const std::int64_t id = sqlite3_last_insert_rowid(db_);
  if (image_) image_->AddChild(parent, id, name, upper);
  cache_.ForgetChildren();
  cache_.AddChild(parent, std::move(upper), id);
  cache_.MarkAlive(id, parent);
  return id;
}

std::optional<std::int64_t> SqliteRegistryStore::EnsurePath(std::int64_t from,
                                                            const std::vector<std::string>& parts,
                                                            std::vector<std::int64_t>* visited) {
  std::int64_t at = from;
  for (const std::string& part : parts) {
    auto child = FindChild(at, part);
    if (!child) child = InsertChild(at, part);
    if (!child) return std::nullopt;
    at = *child;
    if (visited) visited->push_back(at);
  }
  return at;
}

std::optional<std::int64_t> SqliteRegistryStore::CreateChild(std::int64_t parent,
                                                             const std::string& name) {
  if (name.empty() || name.find('\\') != std::string::npos || WideLength(name) > MAX_KEY_NAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (auto existing = FindChild(parent, name)) return existing;
  if (GetLastError() != ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (!MayChange(parent)) return std::nullopt;
  return InsertChild(parent, name);
}

template <typename Row, typename ReadRow>
std::vector<Row> SqliteRegistryStore::ListOf(sql::Statement& checked, sql::Statement& ofLive,
                                             std::int64_t key, ReadRow readRow) {
  BeginRead();
  std::vector<Row> rows;
  sql::Use q(cache_.KnownAlive(key) ? ofLive : checked);
  q->Bind(1, key);
  int rc = q->Step();
  if (rc == SQLITE_DONE && !cache_.KnownAlive(key)) SetLastError(ERROR_KEY_DELETED);
  for (; rc == SQLITE_ROW; rc = q->Step()) {
    if (!q->IsNull(0)) rows.push_back(readRow(*q));
  }
  if (Failed(rc, ERROR_CANTREAD)) rows.clear();
  return rows;
}

template <typename List, typename Append>
std::optional<RegistryCache::Lists<List>> SqliteRegistryStore::ReadChildLists(
    sql::Statement& statement, std::int64_t parent, std::size_t& rows,
    std::unordered_set<std::int64_t>& tooMany, Append append) {
  if (tooMany.contains(parent)) return std::nullopt;
  RegistryCache::Lists<List> lists;
  sql::Use q(statement);
  q->Bind(1, parent);
  int rc;
  while ((rc = q->Step()) == SQLITE_ROW) {
    if (++rows > options_.childListRows) {
      tooMany.insert(parent);
      return std::nullopt;
    }
    const std::int64_t key = q->Int(0);
    if (lists.empty() || lists.back().first != key) lists.emplace_back(key, List());
    append(lists.back().second, *q);
  }
  if (Failed(rc, ERROR_CANTREAD)) return std::nullopt;
  return lists;
}

const RegistryCache::Children* SqliteRegistryStore::HeldChildren(std::int64_t key) {
  BeginRead();
  if (const auto* held = cache_.ChildrenOf(key)) return held;
  if (const auto parent = cache_.ParentOf(key)) {
    std::size_t rows = 0;
    auto lists = ReadChildLists<RegistryCache::Children>(
        grandChildren_, *parent, rows, tooManyChildren_, [](RegistryCache::Children& list, sql::Statement& s) {
          if (list.empty()) list.reserve(4);  // most keys have a few
          list.push_back({s.Text(2), s.Text(1), s.Int(3)});
        });
    if (lists) {
      cache_.HoldChildLists(*parent, std::move(*lists), rows);
      return cache_.ChildrenOf(key);
    }
  }
  SetLastError(ERROR_SUCCESS);
  auto children = ListOf<RegistryCache::KnownChild>(
      childNames_, childNamesOfLive_, key, [](sql::Statement& s) {
        return RegistryCache::KnownChild{s.Text(1), s.Text(0), s.Int(2)};
      });
  if (children.empty() && GetLastError() != ERROR_SUCCESS) return nullptr;
  cache_.HoldChildren(key, std::move(children));
  return cache_.ChildrenOf(key);
}

std::optional<HeldValueList> SqliteRegistryStore::HeldValues(std::int64_t key) {
  if (const RegistryImage* image = Image()) {
    if (key != kNoParent && image->Has(key)) return HeldValueList(image->Values(key));
    SetLastError(ERROR_KEY_DELETED);
    return std::nullopt;
  }
  if (const auto* held = cache_.ValuesOf(key)) return HeldValueList(*held);
  if (const auto parent = cache_.ParentOf(key)) {
    std::size_t rows = 0;
    auto lists = ReadChildLists<RegistryCache::Values>(
        childValues_, *parent, rows, tooManyValues_, [](RegistryCache::Values& list, sql::Statement& s) {
          if (list.items.empty()) {  // most keys have a few short ones
            list.items.reserve(4);
            list.bytes.reserve(256);
          }
          list.Add(s.Text(1), static_cast<DWORD>(s.Int(2)), s.Bytes(3));
        });
    if (lists) {
      cache_.HoldChildValues(*parent, std::move(*lists), rows);
      if (const auto* held = cache_.ValuesOf(key)) return HeldValueList(*held);
      return std::nullopt;
    }
  }
  SetLastError(ERROR_SUCCESS);
  auto values = ListOf<RegValue>(values_, values_, key, [](sql::Statement& s) {
    return RegValue{s.Text(0), static_cast<DWORD>(s.Int(1)), s.Blob(2)};
  });
  if (values.empty() && GetLastError() != ERROR_SUCCESS) return std::nullopt;
  RegistryCache::Values held;
  for (const RegValue& value : values) held.Add(value.name, value.type, value.data);
  cache_.HoldValues(key, std::move(held));
  if (const auto* kept = cache_.ValuesOf(key)) return HeldValueList(*kept);
  return std::nullopt;
}

std::vector<std::string> SqliteRegistryStore::ChildNames(std::int64_t key) {
  RegKeyList children;
  ReadChildren(key, children);
  children.names.resize(children.count);
  return std::move(children.names);
}

void SqliteRegistryStore::ReadChildren(std::int64_t key, RegKeyList& children) {
  children.key = key;
  children.count = 0;
  const auto fill = [&children](std::size_t count, auto nameOf, auto idOf) {
    if (children.names.size() < count) children.names.resize(count);
    if (children.ids.size() < count) children.ids.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
      children.names[i].assign(nameOf(i));
      children.ids[i] = idOf(i);
    }
    children.count = count;
  };
  if (const RegistryImage* image = Image()) {
    if (key == kNoParent || !image->Has(key)) {
      SetLastError(ERROR_KEY_DELETED);
      return;
    }
    const auto ids = image->Children(key);
    fill(ids.size(), [&](std::size_t i) { return image->Name(ids[i]); }, [&](std::size_t i) { return ids[i]; });
    return;
  }
  if (const auto* held = HeldChildren(key)) {
    fill(held->size(), [&](std::size_t i) -> const std::string& { return (*held)[i].name; },
         [&](std::size_t i) { return (*held)[i].id; });
  }
}

std::vector<RegValue> SqliteRegistryStore::Values(std::int64_t key) {
  RegValueList values;
  ReadValues(key, values);
  values.items.resize(values.count);
  return std::move(values.items);
}

void SqliteRegistryStore::ReadValues(std::int64_t key, RegValueList& values) {
  values.count = 0;
  const auto held = HeldValues(key);
  if (!held) return;
  if (values.items.size() < held->size()) values.items.resize(held->size());
  for (std::size_t i = 0; i < held->size(); ++i) {
    RegValue& value = values.items[i];
    const auto data = held->Data(i);
    value.name.assign(held->Name(i));
    value.type = held->Type(i);
    value.data.assign(data.begin(), data.end());
  }
  values.count = held->size();
}

std::vector<std::string> SqliteRegistryStore::ValueNames(std::int64_t key) {
  std::vector<std::string> names;
  if (const auto held = HeldValues(key)) {
    names.reserve(held->size());
    for (std::size_t i = 0; i < held->size(); ++i) names.emplace_back(held->Name(i));
  }
  return names;
}

bool SqliteRegistryStore::GetValue(std::int64_t key, const std::string& name, DWORD& type,
                                   std::vector<std::uint8_t>& data) {
  const RegistryImage* image = Image();
  if (image && (key == kNoParent || !image->Has(key))) {
    SetLastError(ERROR_KEY_DELETED);
    return false;
  }
  std::optional<HeldValueList> held;
  if (image) {
    held.emplace(image->Values(key));
  } else if (const auto* cached = cache_.ValuesOf(key)) {
    held.emplace(*cached);
  }
  const auto found = [&](std::size_t at) {
    type = held->Type(at);
    const auto bytes = held->Data(at);
    data.assign(bytes.begin(), bytes.end());  // into the room data has
    return true;
  };
  if (held) {
    // A name as listed is its own value (names are unique in any case).
    // Values are mostly read in their listed order: look from the one after
    // the value found last.
    for (std::size_t i = 0, count = held->size(); i < count; ++i) {
      const std::size_t at = (nextValue_ + i) % count;
      if (held->Name(at) == name) {
        nextValue_ = at + 1;
        return found(at);
      }
    }
  }
  const std::string upper = UpperName(name);
  if (held) {
    for (std::size_t at = 0; at < held->size(); ++at) {
      if (NameUppersTo(held->Name(at), upper)) return found(at);
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return false;
  }
  {
    sql::Use q(getValue_);
    q->Bind(1, key);
    q->Bind(2, upper);
    const int rc = q->Step();
    if (rc == SQLITE_ROW) {
      type = static_cast<DWORD>(q->Int(0));
      data = q->Blob(1);
      return true;
    }
    if (Failed(rc, ERROR_CANTREAD)) return false;
  }
  if (!KeyGone(key)) SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

bool SqliteRegistryStore::SetValue(std::int64_t key, const std::string& name, DWORD type,
                                   const std::vector<std::uint8_t>& data) {
  if (WideLength(name) > MAX_VALUE_NAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!MayChange(key)) return false;
  EndRead();
  cache_.ForgetValues();
  const std::string upper = UpperName(name);
  const auto type64 = static_cast<std::int64_t>(type);
  sql::Use q(setValue_);
  q->Bind(1, key);
  q->Bind(2, name);
  q->Bind(3, upper);
  q->Bind(4, type64);
  q->Bind(5, data);
  if (!Inserted(q->Step())) return false;
  if (image_) image_->SetValue(key, name, upper, type, data);
  return true;
}

bool SqliteRegistryStore::DeleteValue(std::int64_t key, const std::string& name) {
  if (!MayChange(key)) return false;
  EndRead();
  cache_.ForgetValues();
  {
    const std::string upper = UpperName(name);
    sql::Use q(deleteValue_);
    q->Bind(1, key);
    q->Bind(2, upper);
    if (Failed(q->Step(), ERROR_CANTWRITE)) return false;
    if (sqlite3_changes(db_) > 0) {
      if (image_) image_->DeleteValue(key, upper);
      return true;
    }
  }
  if (!KeyGone(key)) SetLastError(ERROR_FILE_NOT_FOUND);
  return false;
}

bool SqliteRegistryStore::DeleteTree(std::int64_t key) {
  if (KeyGone(key)) return false;
  if (std::binary_search(anchors_.begin(), anchors_.end(), key) || !TreeWritable(key)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  Transaction txn(*this);
  if (!txn.ok()) return false;
  ForgetAll();  // the subtree's ids are not known one by one
  for (sql::Statement* statement : {&deleteTreeValues_, &deleteTreeKeys_}) {
    sql::Use q(*statement);
    q->Bind(1, key);
    if (Failed(q->Step(), ERROR_CANTWRITE)) return false;
  }
  if (!txn.Commit()) return false;
  if (image_) image_->DeleteTree(key);
  return true;
}

std::optional<std::vector<std::string>> SqliteRegistryStore::PathParts(std::int64_t key) {
  std::vector<std::string> parts;
  if (const RegistryImage* image = Image()) {
    for (std::int64_t at = key; at != kNoParent && image->Has(at); at = image->Parent(at)) {
      parts.emplace_back(image->Name(at));
    }
    if (parts.empty()) {
      SetLastError(ERROR_KEY_DELETED);
      return std::nullopt;
    }
    std::reverse(parts.begin(), parts.end());
    return parts;
  }
  sql::Use q(pathOf_);
  q->Bind(1, key);
  int rc;
  while ((rc = q->Step()) == SQLITE_ROW) parts.push_back(q->Text(0));
  if (Failed(rc, ERROR_CANTREAD)) return std::nullopt;
  if (parts.empty()) {
    SetLastError(ERROR_KEY_DELETED);
    return std::nullopt;
  }
  return parts;
}

std::vector<std::string> SqliteRegistryStore::UpperParts(std::int64_t key) {
  auto parts = PathParts(key).value_or(std::vector<std::string>());
  for (std::string& part : parts) part = UpperName(part);
  return parts;
}

std::string SqliteRegistryStore::KeyPath(std::int64_t key) {
  std::string path;
  for (const std::string& part : PathParts(key).value_or(std::vector<std::string>())) {
    if (!path.empty()) path += '\\';
    path += part;
  }
  return path;
}

std::vector<std::string> SqliteRegistryStore::CanonicalParts(const std::string& fullPath) {
  std::vector<std::string> parts = SplitPath(fullPath);
  if (parts.empty()) return parts;
  const HKEY root = RootFromName(parts.front());
  const auto rootId = root ? RootId(root) : std::nullopt;
  if (!rootId) return {};
  std::vector<std::string> canonical = UpperParts(*rootId);
  for (std::size_t i = 1; i < parts.size(); ++i) canonical.push_back(UpperName(parts[i]));
  return canonical;
}

bool SqliteRegistryStore::Writable(std::int64_t key) {
  if (readOnly_.empty()) return true;
  if (const auto hit = writableCache_.find(key); hit != writableCache_.end()) return hit->second;
  const std::vector<std::string> path = UpperParts(key);
  if (path.empty()) return false;  // gone
  const bool writable = std::none_of(readOnly_.begin(), readOnly_.end(),
                                     [&](const auto& locked) { return IsPrefix(locked, path); });
  if (writableCache_.size() > 4096) writableCache_.clear();
  writableCache_[key] = writable;
  return writable;
}

bool SqliteRegistryStore::MayChange(std::int64_t key) {
  if (Writable(key)) return true;
  if (!KeyGone(key)) SetLastError(ERROR_ACCESS_DENIED);
  return false;
}

bool SqliteRegistryStore::TreeWritable(std::int64_t key) {
  if (!Writable(key)) return false;
  const std::vector<std::string> path = UpperParts(key);
  for (const auto& locked : readOnly_) {
    if (!IsPrefix(path, locked)) continue;
    // A read-only key below this one blocks the delete when it exists.
    std::optional<std::int64_t> at = key;
    for (std::size_t i = path.size(); at && i < locked.size(); ++i) at = FindChild(*at, locked[i]);
    if (at) return false;
  }
  return true;
}

}  // namespace

RegistryStore::~RegistryStore() = default;

std::unique_ptr<RegistryStore> RegistryStore::Open(const std::string& dbPath,
                                                   const RegistryOptions& options,
                                                   std::string& error) {
  auto store = std::make_unique<SqliteRegistryStore>(dbPath, options);
  if (!store->Open(error)) return nullptr;
  return store;
}

}  // namespace win
