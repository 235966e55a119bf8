// The Evidence Cleaner's exclusion file: loaded; each entry's line reads
// back as the entry; removing one entry and appending it again gives the
// list with that entry moved to the end.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "privacy/ExcludeListUnit.h"

namespace {

bool SameEntry(const TExcludeContentItem& x, const TExcludeContentItem& y) {
  return x.ItemName == y.ItemName && x.Key == y.Key && x.ValueName == y.ValueName && x.Data == y.Data;
}

std::vector<TExcludeContentItem> Entries(TExclusionFile& file) {
  TExcludeContents list;
  file.Load(list);
  std::vector<TExcludeContentItem> entries;
  for (std::int32_t i = 0; i < list.Count(); ++i) entries.push_back(list.GetItem(i));
  return entries;
}

bool SameEntries(const std::vector<TExcludeContentItem>& a, const std::vector<TExcludeContentItem>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (!SameEntry(a[i], b[i])) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  TExclusionFile file;
  if (!win::WriteFileBytes(file.Path(), std::vector<std::uint8_t>(data, data + size))) return 0;
  std::vector<TExcludeContentItem> entries = Entries(file);
  for (const TExcludeContentItem& entry : entries) {
    const std::string line = ExclusionLineText(entry);
    if (!SameEntry(ParseExclusionLine(line.substr(0, line.size() - 2)), entry)) std::abort();
  }
  if (entries.empty()) return 0;
  const std::size_t index = data[0] % entries.size();
  const TExcludeContentItem entry = entries[index];
  if (!file.Remove(static_cast<std::int32_t>(index), entry)) std::abort();
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
  if (!SameEntries(Entries(file), entries)) std::abort();
  if (!file.Append(entry)) return 0;  // a text the code page cannot hold again
  entries.push_back(entry);
  if (!SameEntries(Entries(file), entries)) std::abort();
  return 0;
}
