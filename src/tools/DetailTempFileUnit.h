#pragma once
// The texts of the details window of the junk-file cleaner's findings.

#include <string>
#include <vector>

#include "tools/SysDiskCleanerUnit.h"

namespace tools {

// "Total: %d".
std::string DetailTotalText(std::size_t count);
// The three lines of one entry: "FileName: ", "Path: ", "Size: " with the
// size in KB.
std::vector<std::string> DetailLines(const TTempFileInfo& file);

}  // namespace tools
