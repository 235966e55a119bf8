#pragma once
// What the Evidence Cleaner benchmarks share: peak memory, files written
// straight onto the current machine's host drive folder, and the floors the
// finders are held against, measured past the program's own file layer: the
// URL-cache rows read with SQLite and one statx of each entry's file, and
// plain host listings with sizes.

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/machine/Machine.h"

namespace bench {

// Peak resident memory of this process so far, in megabytes.
inline double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The host path of a "C:\..." path on the current machine, spelt as given.
inline std::string HostPath(const std::string& windowsPath) {
  if (windowsPath.size() < 3) return {};
  std::string relative = windowsPath.substr(3);
  for (char& c : relative)
    if (c == '\\') c = '/';
  return win::CurrentMachine()->DriveFolder(windowsPath[0]) + "/" + relative;
}

// A file of `size` bytes, written past the machine's own file layer.
inline bool WriteHostFile(const std::string& windowsPath, std::size_t size) {
  std::ofstream out(HostPath(windowsPath), std::ios::binary | std::ios::trunc);
  const std::string text(size, 'x');
  out << text;
  return static_cast<bool>(out);
}

// Every URL-cache row of state.db read with SQLite, and one statx of the
// file of each that names one, its size added to `bytes` when it is a file.
inline bool RawUrlCache(std::uint64_t& entries, std::uint64_t& bytes) {
  sqlite3* db = nullptr;
  const std::string file = win::CurrentMachine()->Folder() + "/state.db";
  bool ok = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK;
  sqlite3_stmt* statement = nullptr;
  ok = ok && sqlite3_prepare_v2(db, "SELECT url, local_file, entry_type, size, modified, accessed FROM url_cache",
                                -1, &statement, nullptr) == SQLITE_OK;
  int step = SQLITE_DONE;
  while (ok && (step = sqlite3_step(statement)) == SQLITE_ROW) {
    ++entries;
    const auto* local = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
    if (local == nullptr || *local == '\0') continue;
    struct statx stx;
    if (statx(AT_FDCWD, HostPath(local).c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0 &&
        S_ISREG(stx.stx_mode))
      bytes += stx.stx_size;
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return ok && step == SQLITE_DONE;
}

struct HostListing {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;
};

// Every entry of a host folder with its size, one statx each (links not
// followed); down into every subfolder when `deep`.
inline void PlainListing(const std::string& hostFolder, bool deep, HostListing& counts) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(hostFolder.c_str()), closedir);
  if (!dir) return;
  const int fd = dirfd(dir.get());
  std::vector<std::string> folders;
  while (const dirent* item = readdir(dir.get())) {
    if (item->d_name[0] == '.' && (item->d_name[1] == '\0' || (item->d_name[1] == '.' && item->d_name[2] == '\0')))
      continue;
    struct statx stx;
    if (statx(fd, item->d_name, AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) continue;
    ++counts.entries;
    if (S_ISREG(stx.stx_mode)) counts.bytes += stx.stx_size;
    if (deep && S_ISDIR(stx.stx_mode)) folders.push_back(hostFolder + "/" + item->d_name);
  }
  dir.reset();
  for (const std::string& folder : folders) PlainListing(folder, deep, counts);
}

}  // namespace bench
