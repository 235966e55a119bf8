#pragma once
// INI files with Windows semantics: sections and keys compare
// case-insensitively, the first matching section and key win, values are
// trimmed and lose one pair of surrounding quotes on reading. A rewrite keeps
// every line it does not change (comments, blank and unknown lines).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win {

// An INI text held line by line (UTF-8).
class IniText {
 public:
  enum class LineKind { Blank, Comment, Section, Entry, Other };
  struct Line {
    LineKind kind = LineKind::Blank;
    std::string text;     // as read, without the line break
    std::string ending;   // its line break as read: CR LF, LF, CR or none
    std::string name;     // section name or key, trimmed
    std::string value;    // entry value as read: trimmed, one pair of quotes removed
    bool closed = true;   // a section header has its ']'
  };

  IniText() = default;
  // A line ends at CR LF, LF or a CR alone.
  explicit IniText(const std::string& text);
  // The text again: each line read keeps its own line end; new lines end as
  // the first line of the input ended (CRLF when it had none).
  std::string Text() const;
  // Line i is line i + 1 of the text.
  const std::vector<Line>& Lines() const { return lines_; }

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::optional<std::string> Value(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal (with sign) or hex ("0x1F", "$1F"); defaultValue otherwise.
  std::int32_t ReadInteger(const std::string& section, const std::string& key,
                           std::int32_t defaultValue) const;
  std::vector<std::string> ReadSections() const;  // file order, each name once
  std::vector<std::string> ReadSection(const std::string& section) const;  // keys
  std::vector<std::string> ReadSectionValues(const std::string& section) const;  // "key=value"

  // Replaces the value of the key in place, or adds the key at the end of its
  // section, or adds the section at the end (with no blank line before it).
  // False for names or values that a line cannot hold (line breaks, '=' in a
  // key, ']' in a section).
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
  // Removes every section of that name with all its lines; false when none.
  bool EraseSection(const std::string& section);
  // Removes the first occurrence of the key in the first section of that
  // name; false when none.
  bool DeleteKey(const std::string& section, const std::string& key);

 private:
  // Index of the first header of the section, or npos.
  std::size_t FindSection(const std::string& section) const;
  // One past the last line of the section whose header is at index.
  std::size_t SectionEnd(std::size_t header) const;
  std::size_t FindKey(std::size_t header, const std::string& key) const;
  // A line made by a write: it ends as the text's lines do.
  Line NewLine(const std::string& text) const;

  std::vector<Line> lines_;
  std::string newline_ = "\r\n";
};

// Parses one INI line.
IniText::Line ParseIniLine(const std::string& text);

// An INI file on the current machine (a Windows path), read and written in
// the machine's ANSI code page, or in UTF-16LE when it starts with that
// byte-order mark. Every read sees the file as it is now; every
// write lands in the file at once, through a temporary file and a rename.
// A missing file reads as empty. Write failures return false with
// GetLastError() set.
class TIniFile {
 public:
  explicit TIniFile(const std::string& windowsPath) : path_(windowsPath) {}
  const std::string& FileName() const { return path_; }

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  std::int32_t ReadInteger(const std::string& section, const std::string& key,
                           std::int32_t defaultValue) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(const std::string& section) const;
  std::vector<std::string> ReadSectionValues(const std::string& section) const;

  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, std::int32_t value);
  bool EraseSection(const std::string& section);
  bool DeleteKey(const std::string& section, const std::string& key);
  // Writes are never held back, so there is nothing left to write.
  bool UpdateFile() { return true; }

 private:
  // The text and how the file holds it (a rewrite keeps that).
  struct Loaded;
  // False when the file exists but cannot be read.
  bool Load(Loaded& loaded) const;
  IniText Load() const;
  bool Store(const Loaded& loaded);
  template <typename Change>
  bool Modify(Change change);

  std::string path_;
};

}  // namespace win
