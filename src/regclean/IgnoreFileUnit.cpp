#include "regclean/IgnoreFileUnit.h"

#include <cstdint>

#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"
#include "platform/text/TextCodec.h"
#include "regclean/SectionContractUnit.h"

namespace regclean {

const char* const kIgnoreFileName = "FernwickIgnores.dat";

std::string IgnoreFilePath() {
  return win::IncludeTrailingBackslash(win::ProgramFolder()) + kIgnoreFileName;
}

namespace {

// The file's bytes and their lines; false when it cannot be read.
bool ReadIgnoreFile(std::string& bytes, std::vector<win::TextLine>& lines) {
  std::vector<std::uint8_t> data;
  if (!win::ReadFileBytes(IgnoreFilePath(), data)) return false;
  bytes.assign(data.begin(), data.end());
  lines = win::SplitTextLines(bytes);
  return true;
}

std::string LineText(const std::string& bytes, const win::TextLine& line) {
  return win::AnsiToUtf8(bytes.substr(line.begin, line.end - line.begin));
}

}  // namespace

bool ReadIgnoreFileLines(std::vector<std::string>& lines) {
  std::string bytes;
  std::vector<win::TextLine> spans;
  if (!ReadIgnoreFile(bytes, spans)) return false;
  for (const win::TextLine& span : spans) lines.push_back(LineText(bytes, span));
  return true;
}

bool RemoveIgnoreFileLine(std::size_t index, const std::string& text) {
  std::string bytes;
  std::vector<win::TextLine> spans;
  if (!ReadIgnoreFile(bytes, spans) || index >= spans.size() || LineText(bytes, spans[index]) != text)
    return false;
  bytes.erase(spans[index].begin, spans[index].next - spans[index].begin);
  return win::WriteFileBytes(IgnoreFilePath(), std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
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
  if (win::ReadFileBytes(path, existing) && !existing.empty() && existing.back() != '\n' &&
      existing.back() != '\r')
    line.insert(0, "\r\n");
  return win::AppendFileBytes(path, std::vector<std::uint8_t>(line.begin(), line.end()));
}

}  // namespace regclean
