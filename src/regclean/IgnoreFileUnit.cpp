#include "regclean/IgnoreFileUnit.h"

#include <cstdint>

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "regclean/SectionContractUnit.h"

namespace regclean {

const char* const kIgnoreFileName = "FernwickIgnores.dat";

std::string IgnoreFilePath() {
  return win::IncludeTrailingBackslash(win::ProgramFolder()) + kIgnoreFileName;
}

bool ReadIgnoreFileLines(std::vector<std::string>& lines) {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(IgnoreFilePath(), bytes)) return false;
  const std::string text = win::AnsiToUtf8(std::string(bytes.begin(), bytes.end()));
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

TIgnoreContent ParseIgnoreLine(const std::string& line) {
  TIgnoreContent content;
  const std::size_t first = line.find('|');
  if (first == std::string::npos) {
    content.ValueName = line;
    return content;
  }
  content.Section = line.substr(0, first);
  const std::string rest = line.substr(first + 1);
  const std::size_t second = rest.find('|');
  if (second == std::string::npos) {
    content.KeyPath = rest;
    return content;
  }
  content.KeyPath = rest.substr(0, second);
  content.ValueName = rest.substr(second + 1);
  return content;
}

std::string FormatIgnoreLine(const std::string& section, const std::string& keyPath,
                             const std::string& valueName) {
  return section + "|" + keyPath + "|" + valueName;
}

void LoadIgnoreList(TIgnoreContents& list) {
  std::vector<std::string> lines;
  ReadIgnoreFileLines(lines);
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    list.GetItem(list.Add()).Content = ParseIgnoreLine(line);
  }
}

bool IsIgnoredItem(const TIgnoreContents& list, const std::string& section,
                   const std::string& keyPath, const std::string& valueName) {
  for (std::int32_t i = 0; i < list.Count(); ++i) {
    const TIgnoreContent& entry = list.GetItem(i).Content;
    if (entry.ValueName == valueName && SameTextNoCase(entry.KeyPath, keyPath) &&
        SameTextNoCase(entry.Section, section))
      return true;
  }
  return false;
}

bool AppendIgnoreLine(const std::string& section, const std::string& keyPath,
                      const std::string& valueName) {
  const std::string text = FormatIgnoreLine(section, keyPath, valueName);
  // A line the code page cannot hold would never match the problem again.
  if (!FitsAnsiCodePage(text)) return false;
  const std::string path = IgnoreFilePath();
  std::string line = win::Utf8ToAnsi(text) + "\r\n";
  // A last line left without its line end (a hand-edited file) must not be
  // joined with the new one.
  std::vector<std::uint8_t> existing;
  if (win::ReadFileBytes(path, existing) && !existing.empty() && existing.back() != '\n')
    line.insert(0, "\r\n");
  return win::AppendFileBytes(path, std::vector<std::uint8_t>(line.begin(), line.end()));
}

}  // namespace regclean
