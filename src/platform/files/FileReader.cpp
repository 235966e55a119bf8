#include "platform/files/FileReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files/HostFiles.h"
#include "platform/files/PathResolver.h"

namespace win {

using namespace fs_detail;

std::unique_ptr<FileReader> FileReader::Open(const std::string& path) {
  ResolvedPath resolved;
  if (!ResolveExisting(path, resolved)) return nullptr;
  if (resolved.entry.kind != EntryKind::File) {
    Fail(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  std::uint64_t size = 0;
  const int fd = OpenRegularHostFile(resolved.host, O_RDONLY, &size);
  if (fd < 0) return nullptr;
  std::unique_ptr<FileReader> reader(new FileReader());
  reader->fd_ = fd;
  reader->size_ = size;
  return reader;
}

FileReader::~FileReader() {
  if (fd_ >= 0) close(fd_);
}

bool FileReader::ReadAt(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out) const {
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd_, out.data() + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      out.clear();
      return Fail(ERROR_READ_FAULT);
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return true;
}

}  // namespace win
