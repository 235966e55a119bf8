#pragma once
// Thin RAII wrappers over SQLite for the registry store: a connection and
// prepared statements that are reset after every use, so that no read
// transaction outlives the call that started it.

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace win::sql {

class Statement {
 public:
  Statement() = default;
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // Prepares sql for keeping (prepared once, run many times).
  bool Prepare(sqlite3* db, const char* sql, std::string& error);

  // Text and blobs are not copied: they must live until the statement is
  // reset, so temporaries are refused.
  void Bind(int index, std::int64_t value);
  void Bind(int index, const std::string& text);
  void Bind(int index, const std::vector<std::uint8_t>& blob);
  void Bind(int index, std::string&& text) = delete;
  void Bind(int index, std::vector<std::uint8_t>&& blob) = delete;

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step();
  void Reset();

  bool IsNull(int column) const;
  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<std::uint8_t> Blob(int column) const;
  // The bytes of a blob, valid until the statement steps or resets.
  std::span<const std::uint8_t> Bytes(int column) const;

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement (and so ends its read transaction) when the scope ends.
class Use {
 public:
  explicit Use(Statement& statement) : statement_(statement) {}
  ~Use() { statement_.Reset(); }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;
  Statement* operator->() { return &statement_; }
  Statement& operator*() { return statement_; }

 private:
  Statement& statement_;
};

// The header of the shared wal-index as the last commit of any connection
// left it: equal stamps mean that nothing was committed in between. Reading
// it makes no system call, unlike starting a read transaction.
struct CommitStamp {
  std::array<std::uint64_t, 6> words{};
  bool operator==(const CommitStamp&) const = default;
};

class CommitWatch {
 public:
  // For a connection to a database in WAL mode only (elsewhere reading would
  // make the wal-index).
  bool Attach(sqlite3* db);
  // False when the wal-index is not mapped yet.
  bool Read(CommitStamp& stamp);

 private:
  sqlite3_file* file_ = nullptr;
  // Once mapped, the region stays where it is until the connection closes
  // its wal-index, that is until the connection closes: asking for it again
  // would cost a mutex and a page-size lookup on every read.
  const volatile std::uint64_t* header_ = nullptr;
};

}  // namespace win::sql
