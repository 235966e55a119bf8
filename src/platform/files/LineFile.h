#pragma once
// Whole text files of lines in the machine's ANSI code page: read at once
// and rewritten at once, each line ended by CR LF, through a temporary file
// and a rename (a failed write leaves the old file as it was).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace win {

// One line of a text: its text is [begin, end), its line end [end, next).
struct TextLine {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

// The lines of a text as Windows reads them: a line ends at CR LF, at LF or
// at a CR alone; the last line may have no end. Empty lines are kept.
std::vector<TextLine> SplitTextLines(std::string_view text);

// The file's lines as UTF-8 (a line ends at CR LF, LF or CR). Empty lines
// are left out. A missing or unreadable file gives no lines and false.
bool ReadLineFile(const std::string& path, std::vector<std::string>& lines);

// Writes every line followed by CR LF. False, writing nothing, when a line
// holds a character the code page cannot hold or a line break, or when the
// file cannot be written.
bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines);

}  // namespace win
