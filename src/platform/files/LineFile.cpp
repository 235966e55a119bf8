#include "platform/files/LineFile.h"

#include <cstdint>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

namespace win {

std::vector<TextLine> SplitTextLines(std::string_view text) {
  std::vector<TextLine> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    TextLine line;
    line.begin = start;
    line.end = text.find_first_of("\r\n", start);
    if (line.end == std::string_view::npos) line.end = text.size();
    line.next = line.end;
    if (line.next < text.size()) {
      const bool crlf = text[line.next] == '\r' && line.next + 1 < text.size() && text[line.next + 1] == '\n';
      line.next += crlf ? 2 : 1;
    }
    lines.push_back(line);
    start = line.next;
  }
  return lines;
}

bool ReadLineFile(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path, bytes)) return false;
  const std::string text = AnsiToUtf8(std::string(bytes.begin(), bytes.end()));
  for (const TextLine& line : SplitTextLines(text)) {
    if (line.end > line.begin) lines.push_back(text.substr(line.begin, line.end - line.begin));
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
