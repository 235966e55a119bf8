// Times the Evidence Cleaner's nine Internet Explorer items and "RecycleBin"
// on a large generated machine with many URL-cache entries (each with its
// file) and many recycled files, against a raw enumeration of the same cache
// and folders past the program's own file layer (the cache rows read with
// SQLite and one statx of each file, a plain listing of the recycled files);
// then "Clean" of everything and "Finish", with peak memory. Times are
// reported, never judged.
//
// EvidenceBench [--machine DIR] [--keys N] [--rounds R] [--entries E] [--recycled F]
//   DIR holding a machine is reused (the cache entries and recycled files are
//   added again); otherwise a machine of N generated keys is made there (or
//   in a temporary folder removed afterwards).

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EvidenceBenchSupport.h"
#include "ScanBenchSupport.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/shell/UrlCache.h"
#include "privacy/EvidenceCleanerUnit.h"
#include "privacy/FinderSupportUnit.h"

namespace {

const char* const kContent =
    "C:\\Documents and Settings\\Owner\\Local Settings\\Temporary Internet Files\\Content.IE5\\";

using bench::HostPath;
using bench::PeakMegabytes;
using bench::WriteHostFile;

// Cache entries with their files in 64 folders, one cookie in 50, and
// recycled files.
bool AddBenchTraces(int entries, int recycled) {
  std::vector<win::UrlCacheEntryInfo> rows;
  rows.reserve(static_cast<std::size_t>(entries));
  std::error_code ec;
  for (int folder = 0; folder < 64; ++folder) {
    char name[16];
    std::snprintf(name, sizeof name, "B%04d", folder);
    std::filesystem::create_directories(HostPath(std::string(kContent) + name), ec);
  }
  std::filesystem::create_directories(HostPath("C:\\Documents and Settings\\Owner\\Cookies"), ec);
  for (int i = 0; i < entries; ++i) {
    win::UrlCacheEntryInfo entry;
    const bool cookie = i % 50 == 0;
    char folder[16];
    std::snprintf(folder, sizeof folder, "B%04d", i % 64);
    if (cookie) {
      entry.SourceUrlName = "Cookie:owner@bench" + std::to_string(i) + ".example/";
      entry.LocalFileName = "C:\\Documents and Settings\\Owner\\Cookies\\owner@bench" + std::to_string(i) + "[1].txt";
      entry.CacheEntryType = win::NORMAL_CACHE_ENTRY | win::COOKIE_CACHE_ENTRY;
    } else {
      entry.SourceUrlName = "http://bench" + std::to_string(i % 997) + ".example/page" + std::to_string(i) + ".htm";
      entry.LocalFileName = std::string(kContent) + folder + "\\page" + std::to_string(i) + "[1].htm";
    }
    entry.Size = 200 + static_cast<std::uint64_t>(i % 1800);
    if (!WriteHostFile(entry.LocalFileName, static_cast<std::size_t>(entry.Size))) return false;
    rows.push_back(std::move(entry));
  }
  if (!win::AddUrlCacheEntries(win::CurrentMachine()->State(), rows)) return false;
  std::filesystem::create_directories(HostPath("C:\\Recycled"), ec);
  for (int i = 0; i < recycled; ++i)
    if (!WriteHostFile("C:\\Recycled\\Dc" + std::to_string(100 + i) + ".txt", 64 + static_cast<std::size_t>(i % 512)))
      return false;
  return true;
}

struct RawCounts {
  std::uint64_t entries = 0;
  std::uint64_t bytes = 0;
  std::uint64_t recycled = 0;
};

// What the finders cannot do without: every cache entry with its file's
// size, every recycled file, and the registry values read once.
RawCounts RawEnumeration() {
  RawCounts counts;
  bench::RawUrlCache(counts.entries, counts.bytes);
  bench::HostListing recycled;
  bench::PlainListing(HostPath("C:\\Recycled"), false, recycled);
  counts.recycled = recycled.entries;
  counts.bytes += recycled.bytes;
  ForEachUserValue("Software\\Microsoft\\Internet Explorer\\TypedURLs",
                   [](win::TRegistry&, const std::string&, const std::string&) {});
  ForEachUserValue("Software\\Microsoft\\Internet Explorer\\Main",
                   [](win::TRegistry&, const std::string&, const std::string&) {});
  return counts;
}

// Ticks the nine Internet Explorer items and "RecycleBin" only.
void TickBenchItems(TEvidenceCleaner& cleaner) {
  cleaner.FormShow();
  for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
    const TEvidenceNode& n = cleaner.CheckTree.Nodes[node];
    if (n.Level != 2) continue;
    const bool wanted = n.Rec->Category == 0 || n.Rec->ItemName == "RecycleBin";
    if ((n.StateIndex == kStateTicked) != wanted) cleaner.CheckNodeStateClick(node);
  }
}

double Seconds(const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// DropCleanedResults over collections of growing size, half of them cleaned:
// nanoseconds per finding at each size.
void DropScaling() {
  std::printf("DropCleanedResults, half of the findings cleaned\n");
  for (int n : {25000, 50000, 100000, 200000}) {
    TResultContents results;
    for (int i = 0; i < n; ++i) {
      TResultContentItem& item = results.GetItem(results.Add());
      item.Cleaned = i % 2;
      item.Name = "http://bench.example/page" + std::to_string(i);
    }
    std::int32_t dropped = 0;
    const double seconds = Seconds([&] { dropped = TEvidenceCleaner::DropCleanedResults(results); });
    std::printf("  %7d findings  %8.4f s  %6.1f ns per finding  (%d dropped)\n", n, seconds, seconds * 1e9 / n,
                dropped);
  }
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "EvidenceBench: %s\n", what.c_str());
  return false;
}

bool Run(const bench::BenchArgs& args, int entries, int recycled) {
  const bench::BenchMachine machine(args.folder, args.keys);
  if (!machine.Ok()) return Fail(machine.Error());
  std::printf("Adding %d URL-cache entries with their files and %d recycled files ...\n", entries, recycled);
  if (!AddBenchTraces(entries, recycled)) return Fail("cannot add the cache entries and recycled files");
  std::printf("  peak memory so far %.1f MB\n", PeakMegabytes());

  RawCounts raw = RawEnumeration();  // once first, so that both timings find the files cached
  const double rawSeconds = bench::BestOf(args.rounds, [&] { raw = RawEnumeration(); });
  TEvidenceCleaner cleaner;
  TickBenchItems(cleaner);
  const double scanSeconds = bench::BestOf(args.rounds, [&] { cleaner.ScanNowBtnClick(); });
  std::printf("Scan: nine Internet Explorer items and RecycleBin\n");
  std::printf("  %-28s %8.3f s  (%llu cache entries, %llu recycled entries)\n", "raw enumeration", rawSeconds,
              static_cast<unsigned long long>(raw.entries), static_cast<unsigned long long>(raw.recycled));
  std::printf("  %-28s %8.3f s  (%d findings)\n", "scan", scanSeconds, cleaner.FoundCount);
  std::printf("  %-28s %8.2fx\n", "scan / raw enumeration", scanSeconds / rawSeconds);
  std::printf("  peak memory so far %.1f MB\n", PeakMegabytes());

  const int found = cleaner.FoundCount;
  const double cleanSeconds = Seconds([&] { cleaner.CleanBtnClick(); });
  std::int32_t cleaned = 0;
  for (const auto& results : cleaner.Results)
    for (std::int32_t i = 0; i < results.Count(); ++i) cleaned += results.GetItem(i).Cleaned;
  const double finishSeconds = Seconds([&] { cleaner.FinishBtnClick(); });
  std::printf("Clean of everything and Finish\n");
  std::printf("  %-28s %8.3f s  %6.1f us per finding  (%d of %d cleaned)\n", "clean", cleanSeconds,
              found > 0 ? cleanSeconds * 1e6 / found : 0.0, cleaned, found);
  std::printf("  %-28s %8.3f s  %6.1f us per finding  (%d left)\n", "finish", finishSeconds,
              found > 0 ? finishSeconds * 1e6 / found : 0.0, cleaner.FoundCount);
  std::printf("  %-28s %8.2fx\n", "clean / scan", cleanSeconds / scanSeconds);
  DropScaling();
  std::printf("Peak memory %.1f MB\n", PeakMegabytes());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "EvidenceBench [--machine DIR] [--keys N] [--rounds R] [--entries E] [--recycled F]";
  int entries = 100000;
  int recycled = 20000;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--entries" && i + 1 < argc) entries = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--recycled" && i + 1 < argc) recycled = std::max(0, std::atoi(argv[++i]));
    else rest.push_back(argv[i]);
  }
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(static_cast<int>(rest.size()), rest.data(), usage, true, 0, args)) return 2;
  return Run(args, entries, recycled) ? 0 : 1;
}
