#include "privacy/ExcludeListUnit.h"

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

namespace {

bool SameEntry(const TExcludeContentItem& a, const TExcludeContentItem& b) {
  return a.ItemName == b.ItemName && a.Key == b.Key && a.ValueName == b.ValueName && a.Data == b.Data;
}

bool Blank(const std::uint8_t* begin, const std::uint8_t* end) {
  for (const std::uint8_t* p = begin; p != end; ++p)
    if (*p > ' ') return false;
  return true;
}

// The line's bytes in the code page; false when a character does not fit
// or a field holds a line break.
bool AnsiLine(const TExcludeContentItem& entry, std::string& bytes) {
  for (const std::string* field : {&entry.ItemName, &entry.Key, &entry.ValueName, &entry.Data})
    if (field->find_first_of("\r\n") != std::string::npos) return false;
  const std::string line = ExclusionLineText(entry);
  bytes = win::Utf8ToAnsi(line);
  return win::AnsiToUtf8(bytes) == line;
}

}  // namespace

std::string ExcludeFilePath() { return win::IncludeTrailingBackslash(win::ProgramFolder()) + "Exclude1Items.est"; }

TExcludeContentItem ParseExclusionLine(const std::string& line) {
  TExcludeContentItem entry;
  const std::size_t bar = line.find('|');
  if (bar == std::string::npos) {
    entry.ItemName = line;
    return entry;
  }
  entry.ItemName = line.substr(0, bar);
  const std::size_t bang = line.find('!', bar + 1);
  if (bang == std::string::npos) {
    entry.Key = line.substr(bar + 1);
    return entry;
  }
  entry.Key = line.substr(bar + 1, bang - bar - 1);
  const std::size_t less = line.find('<', bang + 1);
  if (less == std::string::npos) {
    entry.ValueName = line.substr(bang + 1);
    return entry;
  }
  entry.ValueName = line.substr(bang + 1, less - bang - 1);
  entry.Data = line.substr(less + 1);
  return entry;
}

std::string ExclusionLineText(const TExcludeContentItem& entry) {
  return entry.ItemName + "|" + entry.Key + "!" + entry.ValueName + "<" + entry.Data + "\r\n";
}

bool TExclusionFile::Read(std::vector<std::uint8_t>& bytes, std::vector<Line>& lines) const {
  bytes.clear();
  lines.clear();
  if (!win::ReadFileBytes(path_, bytes)) return false;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t stop = start;
    while (stop < bytes.size() && bytes[stop] != '\r' && bytes[stop] != '\n') ++stop;
    std::size_t next = stop;
    if (next < bytes.size()) next += bytes[next] == '\r' && next + 1 < bytes.size() && bytes[next + 1] == '\n' ? 2 : 1;
    if (!Blank(bytes.data() + start, bytes.data() + stop)) {
      Line line;
      line.begin = start;
      line.end = next;
      line.entry = ParseExclusionLine(win::AnsiToUtf8(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                                                  bytes.begin() + static_cast<std::ptrdiff_t>(stop))));
      lines.push_back(std::move(line));
    }
    start = next;
  }
  return true;
}

void TExclusionFile::Load(TExcludeContents& List) {
  List.Clear();
  std::vector<std::uint8_t> bytes;
  std::vector<Line> lines;
  Read(bytes, lines);
  List.Reserve(static_cast<std::int32_t>(lines.size()));
  for (Line& line : lines) List.GetItem(List.Add()) = std::move(line.entry);
}

bool TExclusionFile::Append(const TExcludeContentItem& entry) {
  std::string line;
  if (!AnsiLine(entry, line)) return false;
  std::vector<std::uint8_t> bytes;
  if (win::ReadFileBytes(path_, bytes) && !bytes.empty() &&
      !(bytes.size() >= 2 && bytes[bytes.size() - 2] == '\r' && bytes.back() == '\n'))
    line = "\r\n" + line;
  return win::AppendFileBytes(path_, std::vector<std::uint8_t>(line.begin(), line.end()));
}

bool TExclusionFile::Rewrite(std::int32_t Index, const TExcludeContentItem& Old, const std::string* replacement) {
  std::vector<std::uint8_t> bytes;
  std::vector<Line> lines;
  if (!Read(bytes, lines)) return false;
  const Line* target = nullptr;
  if (Index >= 0 && static_cast<std::size_t>(Index) < lines.size() && SameEntry(lines[static_cast<std::size_t>(Index)].entry, Old))
    target = &lines[static_cast<std::size_t>(Index)];
  for (std::size_t i = 0; !target && i < lines.size(); ++i)
    if (SameEntry(lines[i].entry, Old)) target = &lines[i];
  if (!target) return false;
  std::vector<std::uint8_t> out(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(target->begin));
  if (replacement) out.insert(out.end(), replacement->begin(), replacement->end());
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(target->end), bytes.end());
  return win::WriteFileBytes(path_, out);
}

bool TExclusionFile::Replace(std::int32_t Index, const TExcludeContentItem& Old, const TExcludeContentItem& entry) {
  std::string line;
  return AnsiLine(entry, line) && Rewrite(Index, Old, &line);
}

bool TExclusionFile::Remove(std::int32_t Index, const TExcludeContentItem& Old) {
  return Rewrite(Index, Old, nullptr);
}
