#include "tools/DetailTempFileUnit.h"

namespace tools {

std::string DetailTotalText(std::size_t count) { return "Total: " + std::to_string(count); }

std::vector<std::string> DetailLines(const TTempFileInfo& file) {
  return {"FileName: " + file.FileName, "Path: " + file.FullPath, "Size: " + std::to_string(file.Size / 1024) + "KB"};
}

}  // namespace tools
