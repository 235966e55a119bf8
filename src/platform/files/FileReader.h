#pragma once
// Reading parts of a file of the machine, at any offset, without reading the
// whole file. Failures set GetLastError().

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace win {

class FileReader {
 public:
  // Null with GetLastError() set when the path is no readable file.
  static std::unique_ptr<FileReader> Open(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  std::uint64_t Size() const { return size_; }
  // Up to size bytes from offset (fewer at the end of the file) into out;
  // false on a read error.
  bool ReadAt(std::uint64_t offset, std::size_t size, std::vector<std::uint8_t>& out) const;

 private:
  FileReader() = default;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace win
