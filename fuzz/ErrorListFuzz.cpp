// Error Utilities' "errorlist.txt": items, rows, fixes and descriptions; the
// description of a title is the text after "##" of its first line.

#include <cstdint>
#include <cstdlib>
#include <set>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "recovery/UnitSystemError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  const std::string path = recovery::ServerListPath(recovery::kErrorListFileName);
  if (!win::WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size))) return 0;
  std::vector<std::string> lines;
  recovery::TErrorContents contents;
  std::vector<recovery::ErrorRow> rows;
  if (recovery::ReadServerList(recovery::kErrorListFileName, lines)) recovery::ParseErrorList(lines, contents, rows);
  recovery::AddBuiltInErrors(rows);
  std::set<std::string> titles;
  for (std::int32_t i = 0; i < contents.Count(); ++i) {
    const recovery::TContent& content = contents.GetItem(i).Content;
    recovery::ParseFixes(content.SpecList);
    if (!titles.insert(content.Title).second) continue;
    const std::size_t hashes = content.SpecList.find("##");
    const std::string description = hashes == std::string::npos ? std::string() : content.SpecList.substr(hashes + 2);
    if (recovery::GetErrorDescription(contents, content.Title) != description) std::abort();
  }
  for (const recovery::ErrorRow& row : rows) recovery::ErrorRowDescription(row, contents);
  return 0;
}
