#pragma once
// What the Evidence Cleaner benchmarks share: peak memory, files written
// straight onto the current machine's host drive folder, and the raw walk
// of the URL cache.

#include <sys/resource.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "platform/Machine.h"
#include "platform/UrlCache.h"
#include "privacy/FinderSupportUnit.h"

namespace bench {

// Peak resident memory of this process so far, in megabytes.
inline double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The host path of a "C:\..." path on the current machine.
inline std::string HostPath(const std::string& windowsPath) {
  std::string relative = windowsPath.substr(3);
  for (char& c : relative)
    if (c == '\\') c = '/';
  return win::CurrentMachine()->DriveFolder('C') + "/" + relative;
}

// A file of `size` bytes, written past the machine's own file layer.
inline bool WriteHostFile(const std::string& windowsPath, std::size_t size) {
  std::ofstream out(HostPath(windowsPath), std::ios::binary | std::ios::trunc);
  const std::string text(size, 'x');
  out << text;
  return static_cast<bool>(out);
}

// Every URL-cache entry counted, with its file's size added to `bytes`.
inline void WalkUrlCache(std::uint64_t& entries, std::uint64_t& bytes) {
  win::UrlCacheEntryInfo entry;
  if (auto find = win::FindFirstUrlCacheEntry(entry)) {
    do {
      ++entries;
      if (!entry.LocalFileName.empty()) bytes += static_cast<std::uint64_t>(FileSizeOf(entry.LocalFileName));
    } while (win::FindNextUrlCacheEntry(*find, entry));
    win::FindCloseUrlCache(std::move(find));
  }
}

}  // namespace bench
