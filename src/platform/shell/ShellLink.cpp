#include "platform/shell/ShellLink.h"

// The file-handle functions need libbfio's headers, which are not installed;
// only the functions that take a file name are used.
#include <liblnk/features.h>
#undef LIBLNK_HAVE_BFIO
#include <liblnk.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

// One open liblnk file, closed and freed on every way out.
class LnkFile {
 public:
  LnkFile() {
    if (liblnk_file_initialize(&file_, &error_) != 1) file_ = nullptr;
    ClearError();
  }
  ~LnkFile() {
    if (file_ == nullptr) return;
    if (open_) liblnk_file_close(file_, nullptr);
    liblnk_file_free(&file_, nullptr);
  }
  LnkFile(const LnkFile&) = delete;
  LnkFile& operator=(const LnkFile&) = delete;

  bool Open(const std::string& hostPath, unsigned codePage) {
    if (file_ == nullptr) return false;
    // A code page liblnk does not know keeps its default.
    liblnk_file_set_ascii_codepage(file_, static_cast<int>(codePage), &error_);
    ClearError();
    open_ = liblnk_file_open(file_, hostPath.c_str(), LIBLNK_OPEN_READ, &error_) == 1;
    ClearError();
    return open_;
  }

  using SizeGetter = int (*)(liblnk_file_t*, std::size_t*, liblnk_error_t**);
  using TextGetter = int (*)(liblnk_file_t*, std::uint8_t*, std::size_t, liblnk_error_t**);

  // A UTF-8 string of the link; empty when it is absent or unreadable.
  std::string Text(SizeGetter getSize, TextGetter getText) {
    std::size_t size = 0;
    std::string text;
    if (getSize(file_, &size, &error_) == 1 && size > 0) {
      std::vector<std::uint8_t> buffer(size, 0);
      if (getText(file_, buffer.data(), buffer.size(), &error_) == 1)
        text.assign(reinterpret_cast<const char*>(buffer.data()));
    }
    ClearError();
    return text;
  }

 private:
  void ClearError() {
    if (error_ != nullptr) liblnk_error_free(&error_);
    error_ = nullptr;
  }

  liblnk_file_t* file_ = nullptr;
  liblnk_error_t* error_ = nullptr;
  bool open_ = false;
};

std::uint32_t LittleEndian(const unsigned char* bytes, int count) {
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

// The sizes that the header, the item id list and the LinkInfo block give
// stay inside the file. liblnk allocates a LinkInfo block of its stated size
// (up to 4 GB) before it reads it, so a damaged link is refused first.
bool LinkSizesFitFile(const std::string& hostPath) {
  constexpr std::uint64_t kHeaderSize = 76;
  constexpr std::uint32_t kHasTargetIdList = 1;
  constexpr std::uint32_t kHasLinkInfo = 2;
  std::ifstream in(hostPath, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const auto end = in.tellg();
  if (end < 0) return false;
  const auto size = static_cast<std::uint64_t>(end);
  unsigned char header[kHeaderSize];
  in.seekg(0);
  if (size < kHeaderSize || !in.read(reinterpret_cast<char*>(header), kHeaderSize)) return false;
  const std::uint32_t flags = LittleEndian(header + 0x14, 4);
  std::uint64_t at = kHeaderSize;
  unsigned char field[4];
  if ((flags & kHasTargetIdList) != 0) {
    if (at + 2 > size || !in.read(reinterpret_cast<char*>(field), 2)) return false;
    at += 2 + LittleEndian(field, 2);
    if (at > size) return false;
  }
  if ((flags & kHasLinkInfo) != 0) {
    in.seekg(static_cast<std::streamoff>(at));
    if (at + 4 > size || !in.read(reinterpret_cast<char*>(field), 4)) return false;
    if (LittleEndian(field, 4) > size - at) return false;
  }
  return true;
}

}  // namespace

bool ShellLink::Load(const std::string& path) {
  path_.clear();
  arguments_.clear();
  workingDirectory_.clear();
  const DWORD attributes = GetFileAttributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0)
    return false;
  const std::string host = HostPath(path);
  LnkFile file;
  if (host.empty() || !LinkSizesFitFile(host) || !file.Open(host, CurrentAnsiCodePage())) return false;

  path_ = file.Text(liblnk_file_get_utf8_network_path_size, liblnk_file_get_utf8_network_path);
  if (path_.empty())
    path_ = file.Text(liblnk_file_get_utf8_local_path_size, liblnk_file_get_utf8_local_path);
  if (path_.empty()) {
    const std::string relative =
        file.Text(liblnk_file_get_utf8_relative_path_size, liblnk_file_get_utf8_relative_path);
    if (!relative.empty()) path_ = CombinePath(ExtractFilePath(path), relative);
  }
  arguments_ = file.Text(liblnk_file_get_utf8_command_line_arguments_size,
                         liblnk_file_get_utf8_command_line_arguments);
  workingDirectory_ = file.Text(liblnk_file_get_utf8_working_directory_size,
                                liblnk_file_get_utf8_working_directory);
  return true;
}

std::string ShellLinkTarget(const std::string& path) {
  ShellLink link;
  return link.Load(path) ? link.GetPath() : std::string();
}

}  // namespace win
