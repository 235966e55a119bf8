#pragma once
// The ignore list file "FernwickIgnores.dat" beside the program: one entry
// per line, "section|key path|value name", in the machine's ANSI code page.

#include <string>
#include <vector>

#include "common/IgnoreItemUnit.h"

namespace regclean {

extern const char* const kIgnoreFileName;  // "FernwickIgnores.dat"

// Windows path of the file in the program's folder.
std::string IgnoreFilePath();

// The file's lines as text (a line ends at CR LF, LF or a CR alone; empty
// lines kept). A missing or unreadable file gives no lines and false.
bool ReadIgnoreFileLines(std::vector<std::string>& lines);
// Removes line `index` of ReadIgnoreFileLines, with its line end, when it
// still reads `text`; every other byte of the file stays as it was.
bool RemoveIgnoreFileLine(std::size_t index, const std::string& text);

// Splits one line: section before the first "|", key path up to the second,
// value name the rest (it may hold "|"). A line without "|" is all value name.
TIgnoreContent ParseIgnoreLine(const std::string& line);
// "section|key path|value name", without a line end.
std::string FormatIgnoreLine(const std::string& section, const std::string& keyPath,
                             const std::string& valueName);

// Appends one item per non-empty line of the file; a missing or unreadable
// file appends nothing.
void LoadIgnoreList(TIgnoreContents& list);
// Section and key path compare with the letters a to z folded, the value name
// exactly.
bool IsIgnoredItem(const TIgnoreContents& list, const std::string& section,
                   const std::string& keyPath, const std::string& valueName);
// Appends the line (ended by CR LF) to the file, creating it when missing.
// False, writing nothing, when the code page cannot hold the line; false
// when the file cannot be written.
bool AppendIgnoreLine(const std::string& section, const std::string& keyPath,
                      const std::string& valueName);

}  // namespace regclean
