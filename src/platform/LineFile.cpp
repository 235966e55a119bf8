#include "platform/LineFile.h"

#include <cstdint>

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

namespace win {

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  const std::string text = AnsiToUtf8(std::string(bytes.begin(), bytes.end()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++start;
  }
  return true;
}

bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    const std::string ansi = Utf8ToAnsi(line);
    if (line.find_first_of("\r\n") != std::string::npos || AnsiToUtf8(ansi) != line) {
      SetLastError(ERROR_INVALID_DATA);
      return false;
    }
    bytes += ansi;
    bytes += "\r\n";
  }
  return WriteFileBytes(path, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

}  // namespace win
