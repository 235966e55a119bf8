// Times the Evidence Cleaner's clean of N Internet Explorer cache entries
// with their files against its floor, measured in the same run: unlinking a
// copy of the same files and the same index deletes in one SQLite
// transaction on a copy of state.db. Each round makes everything anew and
// times the floor, then the clean (and with --single the entries deleted one
// call at a time); the best of the rounds is printed with the ratio and the
// load average.
//
// UrlCacheCleanBench [--entries N]... [--rounds R] [--single]
//   (default 20000 and 100000, 3 rounds)

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "platform/shell/UrlCache.h"
#include "privacy/EvidenceCleanUnit.h"

namespace {

const char* const kConfig = "[Machine]\nOSMajor=5\nOSMinor=1\nPlatformId=2\n[Drives]\nC=fixed,drives/C\n";
const char* const kReg =
    "REGEDIT4\n\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"Cache\"=\"C:\\\\TIF\"\n";

bool Fail(const std::string& what) {
  std::fprintf(stderr, "UrlCacheCleanBench: %s\n", what.c_str());
  return false;
}

std::string Url(std::size_t i) { return "http://www.example.com/page" + std::to_string(i) + ".htm"; }
std::string FileName(std::size_t i) { return "page" + std::to_string(i) + "[1].htm"; }

// N small files in a host folder.
bool MakeFiles(const std::string& folder, std::size_t count) {
  std::filesystem::create_directories(folder);
  const std::string body(512, 'x');
  for (std::size_t i = 0; i < count; ++i) {
    const int fd = open((folder + "/" + FileName(i)).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || write(fd, body.data(), body.size()) != static_cast<ssize_t>(body.size())) return false;
    close(fd);
  }
  return true;
}

double Seconds(const std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The floor: unlink every file, then the index deletes in one transaction.
bool Floor(const std::string& files, const std::string& db, std::size_t count, double& seconds) {
  sqlite3* handle = nullptr;
  if (sqlite3_open(db.c_str(), &handle) != SQLITE_OK) return Fail("cannot open " + db);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < count; ++i) unlink((files + "/" + FileName(i)).c_str());
  sqlite3_exec(handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(handle, "DELETE FROM url_cache WHERE url = ?1", -1, &statement, nullptr);
  for (std::size_t i = 0; i < count; ++i) {
    const std::string url = Url(i);
    sqlite3_bind_text(statement, 1, url.c_str(), static_cast<int>(url.size()), SQLITE_TRANSIENT);
    sqlite3_step(statement);
    sqlite3_reset(statement);
  }
  sqlite3_finalize(statement);
  const bool ok = sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
  seconds = Seconds(start);
  sqlite3_close(handle);
  return ok || Fail("the floor's commit failed");
}

double LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double load = 0;
  in >> load;
  return load;
}

struct Times {
  double clean = 1e300;
  double floor = 1e300;
  double single = 1e300;
};

bool Round(std::size_t count, bool single, Times& best) {
  bench::TemporaryFolder temporary;
  if (!temporary.Make()) return Fail("cannot make a temporary folder");
  const std::string folder = temporary.Path() + "/machine";
  std::string error;
  if (!win::CreateMachine(folder, {kConfig, kReg, ""}, error)) return Fail(error);
  const std::string cache = folder + "/drives/C/TIF";
  const std::string floorFiles = temporary.Path() + "/floor-files";
  if (!MakeFiles(cache, count) || !MakeFiles(floorFiles, count)) return Fail("cannot make the files");
  {
    const std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
    if (!machine) return Fail(error);
    std::vector<win::UrlCacheEntryInfo> entries(count);
    for (std::size_t i = 0; i < count; ++i) {
      entries[i].SourceUrlName = Url(i);
      entries[i].LocalFileName = "C:\\TIF\\" + FileName(i);
      entries[i].Size = 512;
    }
    if (!win::AddUrlCacheEntries(machine->State(), entries)) return Fail("cannot fill the cache");
  }
  std::filesystem::copy_file(folder + "/state.db", temporary.Path() + "/floor-state.db");
  std::filesystem::copy_file(folder + "/state.db", temporary.Path() + "/single-state.db");
  TResultContents results;
  for (std::size_t i = 0; i < count; ++i) {
    TResultContentItem& item = results.GetItem(results.Add());
    item.Checked = 1;
    item.Kind = kKindUrlCache;
    item.EntryType = "File";
    item.Section = "IE Cache";
    item.Name = Url(i);
    item.Path = "C:\\TIF\\" + FileName(i);
  }

  double floor = 0;
  if (!Floor(floorFiles, temporary.Path() + "/floor-state.db", count, floor)) return false;
  best.floor = std::min(best.floor, floor);

  {
    const std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
    if (!machine) return Fail(error);
    const win::CurrentMachineScope current(*machine);
    TCleanProgress progress;
    progress.Total = static_cast<std::int32_t>(count);
    const auto start = std::chrono::steady_clock::now();
    CleanEvidences(results, progress);
    best.clean = std::min(best.clean, Seconds(start));
    if (progress.Cleaned != progress.Total) return Fail("not every entry was cleaned");
    std::size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(cache)) left += entry.is_regular_file();
    if (left != 0 || win::UrlCacheEntryExists(Url(0)) || win::UrlCacheEntryExists(Url(count - 1)))
      return Fail("files or entries are left");
  }
  if (!single) return true;

  // The same entries deleted one call (one transaction) at a time.
  std::filesystem::copy_file(temporary.Path() + "/single-state.db", folder + "/state.db",
                             std::filesystem::copy_options::overwrite_existing);
  if (!MakeFiles(cache, count)) return Fail("cannot make the files");
  const std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) return Fail(error);
  const win::CurrentMachineScope current(*machine);
  const auto start = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < count; ++i)
    if (!win::DeleteUrlCacheEntry(Url(i))) return Fail("an entry could not be deleted");
  best.single = std::min(best.single, Seconds(start));
  return true;
}

bool Run(std::size_t count, int rounds, bool single) {
  Times best;
  for (int round = 0; round < rounds; ++round)
    if (!Round(count, single, best)) return false;
  std::printf("%7zu entries: clean %8.2f s, floor %8.2f s, ratio %5.2f", count, best.clean, best.floor,
              best.clean / best.floor);
  if (single) std::printf(", one at a time %8.2f s (ratio %.2f)", best.single, best.single / best.floor);
  std::printf(", load %.2f\n", LoadAverage());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::size_t> counts;
  int rounds = 3;
  bool single = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--entries" && i + 1 < argc && std::atoll(argv[i + 1]) > 0) {
      counts.push_back(static_cast<std::size_t>(std::atoll(argv[++i])));
    } else if (arg == "--rounds" && i + 1 < argc && std::atoi(argv[i + 1]) > 0) {
      rounds = std::atoi(argv[++i]);
    } else if (arg == "--single") {
      single = true;
    } else {
      std::fprintf(stderr, "Usage: UrlCacheCleanBench [--entries N]... [--rounds R] [--single]\n");
      return 2;
    }
  }
  if (counts.empty()) counts = {20000, 100000};
  bool ok = true;
  for (std::size_t count : counts) ok = Run(count, rounds, single) && ok;
  return ok ? 0 : 1;
}
