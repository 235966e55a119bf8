#include "platform/files/HostFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace win::fs_detail {

namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }

 private:
  int fd_;
};

unsigned DefaultFileMode() {
  static const unsigned mode = [] {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
  }();
  return mode;
}

constexpr char kTempPrefix[] = ".fw-";
constexpr std::size_t kTempNameLength = sizeof kTempPrefix - 1 + 6;  // mkostemp's six

std::string FolderOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string(".") : target.substr(0, slash == 0 ? 1 : slash);
}

std::string TempTemplate(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  return target.substr(0, slash == std::string::npos ? 0 : slash + 1) + kTempPrefix + "XXXXXX";
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A temporary file beside target, locked for as long as it is open: the lock
// tells a write in progress from one whose process has died. -1 on failure.
int CreateLockedTemp(const std::string& target, std::string& temp) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    temp = TempTemplate(target);
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
      FailFromErrno(errno);
      return -1;
    }
    int locked;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    // A file system without locks: nothing can be told stale there either.
    if (locked != 0) return fd;
    // Between creating and locking, a cleaner may have taken the name away.
    struct stat opened;
    struct stat named;
    if (fstat(fd, &opened) == 0 && lstat(temp.c_str(), &named) == 0 && SameInode(opened, named)) {
      return fd;
    }
    close(fd);
  }
  Fail(ERROR_WRITE_FAULT);
  return -1;
}

int OpenRegularForRead(const std::string& hostPath) { return OpenRegularHostFile(hostPath, O_RDONLY); }

// Reads fd to its end, handing each chunk to take.
bool ReadChunks(int fd, const std::function<bool(const char*, std::size_t)>& take) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail(ERROR_READ_FAULT);
    }
    if (n == 0) return true;
    if (!take(buffer, static_cast<std::size_t>(n))) return false;
  }
}

bool RenameNoReplace(const std::string& source, const std::string& target) {
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
  struct stat st;
  if (lstat(target.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(source.c_str(), target.c_str()) == 0;
}

bool CopyLink(const std::string& source, const std::string& target) {
  std::vector<char> buffer(4096);
  const ssize_t length = readlink(source.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return FailFromErrno(errno);
  std::string temp = TempTemplate(target);
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return FailFromErrno(errno);
  close(fd);
  unlink(temp.c_str());
  if (symlink(std::string(buffer.data(), static_cast<std::size_t>(length)).c_str(),
              temp.c_str()) != 0) {
    return FailFromErrno(errno);
  }
  if (rename(temp.c_str(), target.c_str()) != 0) {
    const int error = errno;
    unlink(temp.c_str());
    return FailFromErrno(error);
  }
  return true;
}

}  // namespace

int OpenRegularHostFile(const std::string& hostPath, int flags, std::uint64_t* size) {
  // O_NOFOLLOW: a link put in the file's place is refused.
  const int fd = open(hostPath.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    FailFromErrno(errno == ELOOP ? EACCES : errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    Fail(ERROR_ACCESS_DENIED);
    return -1;
  }
  if (size) *size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return FailFromErrno(errno);
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadHostFile(const std::string& hostPath, std::vector<std::uint8_t>& data) {
  Fd fd(OpenRegularForRead(hostPath));
  if (fd.get() < 0) return false;
  data.clear();
  return ReadChunks(fd.get(), [&data](const char* chunk, std::size_t size) {
    data.insert(data.end(), chunk, chunk + size);
    return true;
  });
}

bool HostFileSizeForRead(const std::string& hostPath, std::uint64_t& size) {
  Fd fd(OpenRegularForRead(hostPath));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0) return false;
  size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

bool ReadHostFileChunks(const std::string& hostPath,
                        const std::function<bool(const char*, std::size_t)>& take) {
  Fd fd(OpenRegularForRead(hostPath));
  return fd.get() >= 0 && ReadChunks(fd.get(), take);
}

bool IsTemporaryFileName(const std::string& name) {
  return name.size() == kTempNameLength && name.compare(0, sizeof kTempPrefix - 1, kTempPrefix) == 0;
}

bool ReplaceHostFile(const std::string& target, std::optional<unsigned> mode,
                     const std::function<bool(int fd)>& fill) {
  const ChangeNote note;
  RemoveStaleTempFiles(FolderOf(target));
  std::string temp;
  Fd fd(CreateLockedTemp(target, temp));
  if (fd.get() < 0) return false;
  const auto abandon = [&temp] {
    unlink(temp.c_str());
    return false;
  };
  if (!fill(fd.get())) return abandon();
  if (fchmod(fd.get(), mode.value_or(DefaultFileMode()) & 07777) != 0 || fsync(fd.get()) != 0) {
    FailFromErrno(errno);
    return abandon();
  }
  // Renamed while still open and locked, so that no cleaner takes it first.
  if (rename(temp.c_str(), target.c_str()) != 0) {
    FailFromErrno(errno);
    return abandon();
  }
  return true;
}

bool AppendHostFile(const std::string& hostPath, const std::vector<std::uint8_t>& data) {
  const ChangeNote note;
  Fd fd(open(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
             0666));
  if (fd.get() < 0) return FailFromErrno(errno);
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  if (!WriteAll(fd.get(), data.data(), data.size())) return false;
  if (fsync(fd.get()) != 0 || !fd.Close()) return FailFromErrno(errno);
  return true;
}

bool CopyHostEntry(const std::string& source, const HostEntry& entry, const std::string& target) {
  const ChangeNote note;
  if (entry.kind == EntryKind::Link) {
    return S_ISLNK(entry.mode) ? CopyLink(source, target) : Fail(ERROR_ACCESS_DENIED);
  }
  Fd in(OpenRegularForRead(source));
  if (in.get() < 0) return false;
  const bool copied = ReplaceHostFile(target, entry.mode, [&in](int out) {
    return ReadChunks(in.get(), [out](const char* chunk, std::size_t size) {
      return WriteAll(out, chunk, size);
    });
  });
  return copied && SetHostWriteTime(target, entry.lastWriteTime);
}

bool MoveHostEntry(const std::string& source, const HostEntry& entry, const std::string& target) {
  const ChangeNote note;
  if (RenameNoReplace(source, target)) return true;
  if (errno != EXDEV || entry.kind != EntryKind::File) return FailFromErrno(errno);
  if (!CopyHostEntry(source, entry, target)) return false;
  if (unlink(source.c_str()) != 0) return FailFromErrno(errno);
  return true;
}

bool SetHostWriteTime(const std::string& hostPath, FileTime lastWrite) {
  std::int64_t seconds = 0;
  std::int64_t nanoseconds = 0;
  UnixFromFileTime(lastWrite, seconds, nanoseconds);
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = static_cast<long>(nanoseconds);
  if (utimensat(AT_FDCWD, hostPath.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    return FailFromErrno(errno);
  }
  return true;
}

bool RemoveHostTree(const std::string& hostPath) {
  const ChangeNote note;
  std::error_code ec;
  std::filesystem::remove_all(hostPath, ec);  // does not follow links
  if (ec) return FailFromErrno(ec.value());
  return true;
}

void RemoveStaleTempFiles(const std::string& hostFolder) {
  const ChangeNote note;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(hostFolder.c_str()), closedir);
  if (!dir) return;
  const int folder = dirfd(dir.get());
  while (const dirent* item = readdir(dir.get())) {
    if (!IsTemporaryFileName(item->d_name)) continue;
    Fd fd(openat(folder, item->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened;
    if (fd.get() < 0 || fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode)) continue;
    // Locked: a write still running; no lock to be had at all: cannot tell.
    if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    struct stat named;
    if (fstatat(folder, item->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameInode(opened, named)) {
      unlinkat(folder, item->d_name, 0);
    }
  }
}

}  // namespace win::fs_detail
