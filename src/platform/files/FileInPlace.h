#pragma once
// Writing an existing file in place: opened without truncating, written,
// flushed to the disk and closed, on the same inode and without a temporary
// file. Folders, read-only files and reparse points (host links) are refused
// with ERROR_ACCESS_DENIED. Failures set GetLastError().

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace win {

class InPlaceFile {
 public:
  // Null with GetLastError() set when the file cannot be opened for writing.
  static std::unique_ptr<InPlaceFile> Open(const std::string& path);
  ~InPlaceFile();
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  std::uint64_t Size() const { return size_; }
  // Writes size bytes at offset.
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size);
  // Flushes the written data to the disk (fdatasync).
  bool Flush();
  // Closes the file; false when closing reported an error.
  bool Close();

 private:
  InPlaceFile() = default;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::string host_;
};

// Test hooks: called with the host path just before a file is unlinked,
// after every Flush, and after a file written through a temporary file is
// renamed into place.
void SetBeforeUnlinkHook(std::function<void(const std::string& hostPath)> hook);
void SetAfterFlushHook(std::function<void(const std::string& hostPath)> hook);
void SetAfterReplaceHook(std::function<void(const std::string& hostPath)> hook);

namespace fs_detail {
// Runs the unlink hook (DeleteFile calls it).
void BeforeUnlink(const std::string& hostPath);
// Runs the replace hook (WriteFileBytes and WriteFileWith call it).
void AfterReplace(const std::string& hostPath);
}  // namespace fs_detail

}  // namespace win
