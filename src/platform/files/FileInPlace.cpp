#include "platform/files/FileInPlace.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/HostFiles.h"
#include "platform/files/PathResolver.h"

namespace win {

using namespace fs_detail;

namespace {

std::function<void(const std::string&)>& UnlinkHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

std::function<void(const std::string&)>& FlushHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

std::function<void(const std::string&)>& ReplaceHook() {
  static std::function<void(const std::string&)> hook;
  return hook;
}

}  // namespace

void SetAfterReplaceHook(std::function<void(const std::string& hostPath)> hook) {
  ReplaceHook() = std::move(hook);
}

void SetBeforeUnlinkHook(std::function<void(const std::string& hostPath)> hook) {
  UnlinkHook() = std::move(hook);
}

void SetAfterFlushHook(std::function<void(const std::string& hostPath)> hook) {
  FlushHook() = std::move(hook);
}

namespace fs_detail {
void BeforeUnlink(const std::string& hostPath) {
  if (UnlinkHook()) UnlinkHook()(hostPath);
}
void AfterReplace(const std::string& hostPath) {
  if (ReplaceHook()) ReplaceHook()(hostPath);
}
}  // namespace fs_detail

std::unique_ptr<InPlaceFile> InPlaceFile::Open(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return nullptr;
  if (resolved.IsRoot() || resolved.entry.kind != EntryKind::File ||
      (AttributesOf(resolved) & FILE_ATTRIBUTE_READONLY) != 0) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  std::uint64_t size = 0;
  const int fd = OpenRegularHostFile(resolved.host, O_WRONLY, &size);
  if (fd < 0) return nullptr;
  std::unique_ptr<InPlaceFile> file(new InPlaceFile());
  file->fd_ = fd;
  file->size_ = size;
  file->host_ = resolved.host;
  return file;
}

InPlaceFile::~InPlaceFile() { Close(); }

bool InPlaceFile::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = pwrite(fd_, bytes, size, static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return FailFromErrno(errno);
    }
    bytes += written;
    offset += static_cast<std::uint64_t>(written);
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool InPlaceFile::Flush() {
  if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE);
  if (fdatasync(fd_) != 0) return FailFromErrno(errno);
  if (FlushHook()) FlushHook()(host_);
  return true;
}

bool InPlaceFile::Close() {
  if (fd_ < 0) return true;
  const int result = close(fd_);
  fd_ = -1;
  return result == 0 ? true : FailFromErrno(errno);
}

}  // namespace win
