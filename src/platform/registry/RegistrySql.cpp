#include "platform/registry/RegistrySql.h"

#include <atomic>

namespace win::sql {

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::Prepare(sqlite3* db, const char* sql, std::string& error) {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
  if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) != SQLITE_OK) {
    error = sqlite3_errmsg(db);
    return false;
  }
  return true;
}

void Statement::Bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }

void Statement::Bind(int index, const std::string& text) {
  sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
}

void Statement::Bind(int index, const std::vector<std::uint8_t>& blob) {
  // A zero-length blob, not NULL, for empty data.
  static const std::uint8_t kEmpty = 0;
  sqlite3_bind_blob64(stmt_, index, blob.empty() ? &kEmpty : blob.data(), blob.size(),
                      SQLITE_STATIC);
}

int Statement::Step() { return sqlite3_step(stmt_); }

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

bool Statement::IsNull(int column) const {
  return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(text, static_cast<std::size_t>(size)) : std::string();
}

std::vector<std::uint8_t> Statement::Blob(int column) const {
  const auto bytes = Bytes(column);
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::span<const std::uint8_t> Statement::Bytes(int column) const {
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  if (!data) return {};
  return {data, static_cast<std::size_t>(size)};
}

bool CommitWatch::Attach(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
      !file->pMethods || file->pMethods->iVersion < 2 || !file->pMethods->xShmMap) {
    return false;
  }
  file_ = file;
  return true;
}

bool CommitWatch::Read(CommitStamp& stamp) {
  if (!header_) {
    if (!file_) return false;
    // Region 0 starts with the wal-index header; bExtend 0 never grows it.
    volatile void* region = nullptr;
    if (file_->pMethods->xShmMap(file_, 0, 32768, 0, &region) != SQLITE_OK || !region) {
      return false;
    }
    header_ = static_cast<const volatile std::uint64_t*>(region);  // page aligned
  }
  std::atomic_thread_fence(std::memory_order_acquire);
  for (std::size_t i = 0; i < stamp.words.size(); ++i) stamp.words[i] = header_[i];
  return true;
}

}  // namespace win::sql
