#include "platform/registry/StoreLock.h"

#include <fcntl.h>
#include <unistd.h>

namespace win {

namespace {

// SQLite's lock bytes (os_unix.c): the shared range of the database file
// and the dead-man switch of the wal-index.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kSharedFirst = kPendingByte + 2;
constexpr off_t kSharedSize = 510;
constexpr off_t kDeadManByte = 120 + 8;

bool LockRange(int fd, short type, off_t start, off_t length) {
  struct flock lock = {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  lock.l_pid = 0;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

int OpenForLock(const std::string& path) { return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); }

}  // namespace

bool StoreLock::Hold(const std::string& dbPath) {
  if (db_ >= 0) return true;
  db_ = OpenForLock(dbPath);
  shm_ = OpenForLock(dbPath + "-shm");
  if (db_ < 0 || shm_ < 0 || !LockRange(db_, F_RDLCK, kSharedFirst, kSharedSize) ||
      !LockRange(shm_, F_RDLCK, kDeadManByte, 1)) {
    Release();
    return false;
  }
  return true;
}

void StoreLock::Release() {
  if (db_ >= 0) LockRange(db_, F_UNLCK, kSharedFirst, kSharedSize);
  if (shm_ >= 0) LockRange(shm_, F_UNLCK, kDeadManByte, 1);
}

StoreLock::~StoreLock() {
  Release();
  if (db_ >= 0) close(db_);
  if (shm_ >= 0) close(shm_);
}

}  // namespace win
