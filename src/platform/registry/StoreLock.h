#pragma once
// Locks that keep a store's SQLite file safe from the rest of the process.
// SQLite locks its files with POSIX locks, and a close() of any handle of
// the process to such a file drops all of them: another process opening and
// closing the store then takes itself for the last one and deletes the
// write-ahead log that this process still writes to. A StoreLock holds, on
// handles of its own, open-file-description locks that no other close
// drops: a read lock on the database's shared range and on the wal-index's
// dead-man byte, which say "still open" to every other connection.

#include <string>

namespace win {

class StoreLock {
 public:
  StoreLock() = default;
  ~StoreLock();  // closes the handles: only once the connection has closed
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

  // For a database in WAL mode whose wal-index exists; false when the
  // locks cannot be taken (the store then works as SQLite alone does).
  bool Hold(const std::string& dbPath);
  // Before the connection closes, so that the last connection can still
  // fold the log into the database; the handles stay open.
  void Release();

 private:
  int db_ = -1;
  int shm_ = -1;
};

}  // namespace win
