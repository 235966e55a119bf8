#pragma once
// state.db of an emulated machine (SQLite): what the machine keeps besides its
// registry. The store itself holds the file attributes that the host file
// system cannot hold; other services add their own tables through the small
// generic interface (Execute / Query) and create them on first use.
// Every write is committed when the call returns; two processes may share the
// file (SQLite locking with a busy timeout).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/text/WinTypes.h"

struct sqlite3;
struct sqlite3_stmt;

namespace win {

// One SQL value: NULL, integer, real, text (UTF-8) or blob.
using StateValue =
    std::variant<std::monostate, std::int64_t, double, std::string, std::vector<std::uint8_t>>;
using StateRow = std::vector<StateValue>;

// A column as an integer (0 unless it is one) or as text (empty unless it is
// text).
std::int64_t StateInteger(const StateValue& value);
std::string StateText(const StateValue& value);

class StateStore {
 public:
  // Opens (creating when missing) the store at dbPath. Null with error naming
  // the file when it is damaged or cannot be opened.
  static std::unique_ptr<StateStore> Open(const std::string& dbPath, std::string& error);
  ~StateStore();
  StateStore(const StateStore&) = delete;
  StateStore& operator=(const StateStore&) = delete;

  const std::string& FileName() const { return path_; }
  // Message of the last failed call, naming the file.
  const std::string& LastError() const { return lastError_; }

  // Runs one statement with ?1, ?2... bound to params. Without a batch open,
  // it is committed on return.
  bool Execute(const std::string& sql, const std::vector<StateValue>& params = {});
  // Runs one query and appends its rows.
  bool Query(const std::string& sql, const std::vector<StateValue>& params,
             std::vector<StateRow>& rows);
  // Groups many writes into one transaction.
  bool BeginBatch();
  bool CommitBatch();
  void RollbackBatch();
  // Whether a batch is open (SQLite ends one by itself on some failures).
  bool InBatch() const;

  // File attributes (read-only, hidden, system, archive bits) recorded for a
  // path. Paths are Windows paths upper-cased ("C:\WINDOWS\WIN.INI"), with no
  // trailing backslash ("C:" for a drive root).
  std::optional<DWORD> FileAttributes(const std::string& upperPath);
  // Records of the direct children of a folder, by upper-cased name.
  std::map<std::string, DWORD> FileAttributesIn(const std::string& upperFolder);
  bool SetFileAttributes(const std::string& upperPath, DWORD attributes);
  // Drops the record of a path and of everything below it.
  bool ForgetFileAttributes(const std::string& upperPath);
  // Moves the records of a path and of everything below it to a new path.
  bool MoveFileAttributes(const std::string& fromUpper, const std::string& toUpper);
  // True when the path or anything below it has a record.
  bool HasFileAttributes(const std::string& upperPath);

  // A move (toUpper set) or deletion (toUpper empty) of a path with records,
  // noted so that a process killed halfway leaves the records with the
  // entry: BeginFileChange copies the records of the path and below to
  // toUpper and notes the change as owner's; EndFileChange drops the records
  // of the place the entry has left (fromUpper when the change happened,
  // toUpper when not) and the note. Begin gives 0 when nothing was noted.
  std::int64_t BeginFileChange(const std::string& fromUpper, const std::string& toUpper,
                               const std::string& owner);
  bool EndFileChange(std::int64_t id, bool happened);
  struct FileChange {
    std::int64_t id = 0;
    std::string fromUpper;
    std::string toUpper;
    std::string owner;
  };
  // The changes begun and not ended, oldest first.
  std::vector<FileChange> PendingFileChanges();

 private:
  StateStore() = default;
  bool Fail(const std::string& what);
  // The prepared statement of sql, from the cache; null when it does not
  // prepare.
  sqlite3_stmt* Prepared(const std::string& sql);
  sqlite3* db_ = nullptr;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  std::string path_;
  std::string lastError_;
};

}  // namespace win
