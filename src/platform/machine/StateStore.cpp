#include "platform/machine/StateStore.h"

#include <sqlite3.h>

#include <type_traits>

namespace win {

namespace {

constexpr int kBusyTimeoutMs = 5000;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS file_attributes ("
    " path TEXT PRIMARY KEY NOT NULL,"
    " attributes INTEGER NOT NULL)";

const char* const kChangesSchema =
    "CREATE TABLE IF NOT EXISTS file_changes ("
    " id INTEGER PRIMARY KEY,"
    " from_path TEXT NOT NULL,"
    " to_path TEXT NOT NULL,"
    " owner TEXT NOT NULL)";

// A statement of the store's cache, reset and unbound when the use ends.
class Statement {
 public:
  explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
  ~Statement() {
    if (stmt_ == nullptr) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Ok() const { return stmt_ != nullptr; }
  sqlite3_stmt* get() const { return stmt_; }

  bool Bind(const std::vector<StateValue>& params) {
    for (std::size_t i = 0; i < params.size(); ++i) {
      const int index = static_cast<int>(i) + 1;
      const int rc = std::visit(
          [&](const auto& v) -> int {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
              return sqlite3_bind_null(stmt_, index);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
              return sqlite3_bind_int64(stmt_, index, v);
            } else if constexpr (std::is_same_v<T, double>) {
              return sqlite3_bind_double(stmt_, index, v);
            } else if constexpr (std::is_same_v<T, std::string>) {
              return sqlite3_bind_text(stmt_, index, v.data(), static_cast<int>(v.size()),
                                       SQLITE_TRANSIENT);
            } else {
              return sqlite3_bind_blob(stmt_, index, v.data(), static_cast<int>(v.size()),
                                       SQLITE_TRANSIENT);
            }
          },
          params[i]);
      if (rc != SQLITE_OK) return false;
    }
    return true;
  }

  StateValue Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
      case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, i));
      case SQLITE_FLOAT:
        return sqlite3_column_double(stmt_, i);
      case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)));
      }
      case SQLITE_BLOB: {
        const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, i));
        return std::vector<std::uint8_t>(
            data, data + static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)));
      }
      default:
        return std::monostate{};
    }
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Below-path condition on column "path": the path itself or anything under it.
const char* const kPathOrBelow = "(path = ?1 OR substr(path, 1, length(?1) + 1) = ?1 || '\\')";
// The same as a key range: '\\' and ']' are neighbours, so everything below
// ?1 sorts from ?1 || '\\' up to ?1 || ']'.
const char* const kPathOrBelowRange = "(path = ?1 OR (path >= ?1 || '\\' AND path < ?1 || ']'))";

}  // namespace

std::int64_t StateInteger(const StateValue& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
  return 0;
}

std::string StateText(const StateValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  return {};
}

std::unique_ptr<StateStore> StateStore::Open(const std::string& dbPath, std::string& error) {
  std::unique_ptr<StateStore> store(new StateStore());
  store->path_ = dbPath;
  if (sqlite3_open_v2(dbPath.c_str(), &store->db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                      nullptr) != SQLITE_OK) {
    error = dbPath + ": cannot be opened (" +
            (store->db_ ? sqlite3_errmsg(store->db_) : "out of memory") + ")";
    return nullptr;
  }
  sqlite3_busy_timeout(store->db_, kBusyTimeoutMs);
  if (!store->Execute(kSchema) || !store->Execute(kChangesSchema)) {
    error = dbPath + ": damaged or not a state database (" + sqlite3_errmsg(store->db_) + ")";
    return nullptr;
  }
  return store;
}

StateStore::~StateStore() {
  for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

bool StateStore::Fail(const std::string& what) {
  lastError_ = path_ + ": " + what + " (" + sqlite3_errmsg(db_) + ")";
  return false;
}

sqlite3_stmt* StateStore::Prepared(const std::string& sql) {
  // Statements are kept for reuse; a long or rare one is prepared anew once
  // the cache is full.
  constexpr std::size_t kCached = 64;
  if (const auto found = statements_.find(sql); found != statements_.end()) return found->second;
  if (statements_.size() >= kCached) {
    for (auto& [text, stmt] : statements_) sqlite3_finalize(stmt);
    statements_.clear();
  }
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt,
                         nullptr) != SQLITE_OK || stmt == nullptr) {
    sqlite3_finalize(stmt);
    return nullptr;
  }
  statements_.emplace(sql, stmt);
  return stmt;
}

bool StateStore::Execute(const std::string& sql, const std::vector<StateValue>& params) {
  Statement stmt(Prepared(sql));
  if (!stmt.Ok()) return Fail("bad statement");
  if (!stmt.Bind(params)) return Fail("bad parameter");
  int rc;
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) return Fail("write failed");
  return true;
}

bool StateStore::Query(const std::string& sql, const std::vector<StateValue>& params,
                       std::vector<StateRow>& rows) {
  Statement stmt(Prepared(sql));
  if (!stmt.Ok()) return Fail("bad query");
  if (!stmt.Bind(params)) return Fail("bad parameter");
  int rc;
  const int columns = sqlite3_column_count(stmt.get());
  while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    StateRow row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(stmt.Column(i));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) return Fail("read failed");
  return true;
}

bool StateStore::BeginBatch() { return Execute("BEGIN IMMEDIATE"); }
bool StateStore::CommitBatch() { return Execute("COMMIT"); }
void StateStore::RollbackBatch() {
  if (!sqlite3_get_autocommit(db_)) Execute("ROLLBACK");
}
bool StateStore::InBatch() const { return sqlite3_get_autocommit(db_) == 0; }

std::optional<DWORD> StateStore::FileAttributes(const std::string& upperPath) {
  std::vector<StateRow> rows;
  if (!Query("SELECT attributes FROM file_attributes WHERE path = ?1", {upperPath}, rows) ||
      rows.empty()) {
    return std::nullopt;
  }
  return static_cast<DWORD>(StateInteger(rows[0][0]));
}

std::map<std::string, DWORD> StateStore::FileAttributesIn(const std::string& upperFolder) {
  std::map<std::string, DWORD> result;
  const std::string prefix = upperFolder + "\\";
  std::vector<StateRow> rows;
  if (!Query("SELECT substr(path, length(?1) + 1), attributes FROM file_attributes"
             " WHERE substr(path, 1, length(?1)) = ?1"
             " AND instr(substr(path, length(?1) + 1), '\\') = 0",
             {prefix}, rows)) {
    return result;
  }
  for (const auto& row : rows) result[StateText(row[0])] = static_cast<DWORD>(StateInteger(row[1]));
  return result;
}

bool StateStore::SetFileAttributes(const std::string& upperPath, DWORD attributes) {
  return Execute("INSERT OR REPLACE INTO file_attributes (path, attributes) VALUES (?1, ?2)",
                 {upperPath, static_cast<std::int64_t>(attributes)});
}

bool StateStore::ForgetFileAttributes(const std::string& upperPath) {
  return Execute(std::string("DELETE FROM file_attributes WHERE ") + kPathOrBelow, {upperPath});
}

bool StateStore::MoveFileAttributes(const std::string& fromUpper, const std::string& toUpper) {
  if (fromUpper == toUpper) return true;
  // A savepoint nests inside a batch the caller may hold.
  if (!Execute("SAVEPOINT move_attributes")) return false;
  const bool ok =
      ForgetFileAttributes(toUpper) &&
      Execute(std::string("UPDATE file_attributes SET path = ?2 || substr(path, length(?1) + 1)"
                          " WHERE ") +
                  kPathOrBelow,
              {fromUpper, toUpper});
  if (!ok) Execute("ROLLBACK TO move_attributes");
  return Execute("RELEASE move_attributes") && ok;
}

bool StateStore::HasFileAttributes(const std::string& upperPath) {
  std::vector<StateRow> rows;
  return Query(std::string("SELECT 1 FROM file_attributes WHERE ") + kPathOrBelowRange + " LIMIT 1",
               {upperPath}, rows) &&
         !rows.empty();
}

std::int64_t StateStore::BeginFileChange(const std::string& fromUpper, const std::string& toUpper,
                                         const std::string& owner) {
  if (!Execute("SAVEPOINT begin_file_change")) return 0;
  bool ok = true;
  if (!toUpper.empty()) {
    ok = ForgetFileAttributes(toUpper) &&
         Execute(std::string("INSERT OR REPLACE INTO file_attributes (path, attributes)"
                             " SELECT ?2 || substr(path, length(?1) + 1), attributes FROM file_attributes WHERE ") +
                     kPathOrBelowRange,
                 {fromUpper, toUpper});
  }
  ok = ok && Execute("INSERT INTO file_changes (from_path, to_path, owner) VALUES (?1, ?2, ?3)",
                     {fromUpper, toUpper, owner});
  const std::int64_t id = ok ? sqlite3_last_insert_rowid(db_) : 0;
  if (!ok) Execute("ROLLBACK TO begin_file_change");
  return Execute("RELEASE begin_file_change") ? id : 0;
}

bool StateStore::EndFileChange(std::int64_t id, bool happened) {
  std::vector<StateRow> rows;
  if (!Query("SELECT from_path, to_path FROM file_changes WHERE id = ?1", {id}, rows)) return false;
  if (rows.empty()) return true;  // ended already
  const std::string from = StateText(rows[0][0]);
  const std::string to = StateText(rows[0][1]);
  if (!Execute("SAVEPOINT end_file_change")) return false;
  const bool ok = (happened ? ForgetFileAttributes(from) : to.empty() || ForgetFileAttributes(to)) &&
                  Execute("DELETE FROM file_changes WHERE id = ?1", {id});
  if (!ok) Execute("ROLLBACK TO end_file_change");
  return Execute("RELEASE end_file_change") && ok;
}

std::vector<StateStore::FileChange> StateStore::PendingFileChanges() {
  std::vector<FileChange> changes;
  std::vector<StateRow> rows;
  if (!Query("SELECT id, from_path, to_path, owner FROM file_changes ORDER BY id", {}, rows)) return changes;
  for (const auto& row : rows)
    changes.push_back({StateInteger(row[0]), StateText(row[1]), StateText(row[2]), StateText(row[3])});
  return changes;
}

}  // namespace win
