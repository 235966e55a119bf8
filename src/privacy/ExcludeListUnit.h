#pragma once
// The exclusion file "Exclude1Items.est" beside the program: one entry per
// line, "ItemName|Key!ValueName<Data" and CR LF, in the machine's code page.
// Appends add one line; a change or a removal rewrites the file through a
// temporary file and a rename and leaves every other line's bytes as they
// were.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "privacy/ExcludeItemUnit.h"

// Path of the exclusion file in the program's folder.
std::string ExcludeFilePath();

// One line (without its line break) as an entry: "|", "!" and "<" are each
// searched after the one before; a missing separator leaves its field and
// the later ones empty.
TExcludeContentItem ParseExclusionLine(const std::string& line);
// The entry's line with its CR LF.
std::string ExclusionLineText(const TExcludeContentItem& entry);

class TExclusionFile {
 public:
  explicit TExclusionFile(std::string path = ExcludeFilePath()) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // Fills List from the file: empty when it is missing; blank lines (blanks
  // and control characters only) are passed over.
  void Load(TExcludeContents& List);
  // Appends the entry's line, after a CR LF when the file does not end in
  // one. False when the line cannot be written (nothing written then).
  bool Append(const TExcludeContentItem& entry);
  // Rewrites the file with the line of the Index-th entry replaced by
  // entry's line (Replace) or left out (Remove). Old is what the entry held
  // when the file was loaded; when the file no longer holds it there, its
  // first line that does is taken. False, with the file as it was, when
  // there is no such line or the file cannot be written.
  bool Replace(std::int32_t Index, const TExcludeContentItem& Old, const TExcludeContentItem& entry);
  bool Remove(std::int32_t Index, const TExcludeContentItem& Old);

 private:
  struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;  // the line break included
    TExcludeContentItem entry;
  };
  bool Read(std::vector<std::uint8_t>& bytes, std::vector<Line>& lines) const;
  bool Rewrite(std::int32_t Index, const TExcludeContentItem& Old, const std::string* replacement);

  std::string path_;
};
