// Times the Evidence Cleaner's scan of all fifty items on a large generated
// machine with many files in the Firefox cache, Recent and Send To, a large
// application-data tree outside the browser profiles and long MRU lists,
// against a raw walk of the same cache, folders and keys past the program's
// own file layer (the cache rows read with SQLite and one statx of each file,
// plain host listings with sizes); with peak memory. Times are reported,
// never judged.
//
// EvidenceFiftyBench [--machine DIR] [--keys N] [--rounds R] [--files F]
//                    [--appdata A] [--mru M] [--entries E]
//   F files each in the Firefox cache, Recent and Send To; A files in the
//   application-data tree (500 to a folder); M values in each of four MRU
//   keys; E URL-cache entries with their files. DIR holding a machine is
//   reused (the traces are added again); otherwise a machine of N generated
//   keys is made there (or in a temporary folder removed afterwards).

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
#include "platform/registry/Registry.h"
#include "platform/shell/UrlCache.h"
#include "privacy/EvidenceCleanerUnit.h"
#include "privacy/FinderSupportUnit.h"

namespace {

const char* const kUser = "C:\\Documents and Settings\\Owner\\";
const char* const kFirefoxCache =
    "Local Settings\\Application Data\\Mozilla\\Firefox\\Profiles\\k3x9q2ab.default\\Cache";
const char* const kFirefoxProfile = "Application Data\\Mozilla\\Firefox\\Profiles\\k3x9q2ab.default";
const char* const kAppDataTree = "Application Data\\Bench Vendor\\Bench Suite";
const char* const kContent = "Local Settings\\Temporary Internet Files\\Content.IE5\\";
const char* const kMruKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Map Network Drive MRU",
    "Software\\Microsoft\\Microsoft Management Console\\Recent File List",
    "Software\\Headlight\\GetRight\\MRU",
};

struct Sizes {
  int files = 50000;
  int appData = 50000;
  int mru = 3000;
  int entries = 20000;
};

using bench::HostPath;
using bench::PeakMegabytes;
using bench::WriteHostFile;

// `count` files straight on the host drive, `perFolder` to a folder
// (0: all in `folder` itself).
bool AddFiles(const std::string& folder, const char* prefix, const char* extension, int count, int perFolder) {
  std::error_code ec;
  std::filesystem::create_directories(HostPath(folder), ec);
  std::string current = folder;
  for (int i = 0; i < count; ++i) {
    if (perFolder > 0 && i % perFolder == 0) {
      char name[32];
      std::snprintf(name, sizeof name, "\\Part%04d", i / perFolder);
      current = folder + name;
      std::filesystem::create_directories(HostPath(current), ec);
    }
    if (!WriteHostFile(current + "\\" + prefix + std::to_string(i) + extension, 100 + static_cast<std::size_t>(i % 900)))
      return false;
  }
  return true;
}

bool AddUrlCache(int entries) {
  std::vector<win::UrlCacheEntryInfo> rows;
  rows.reserve(static_cast<std::size_t>(entries));
  const std::string content = std::string(kUser) + kContent;
  std::error_code ec;
  for (int folder = 0; folder < 16; ++folder)
    std::filesystem::create_directories(HostPath(content + "F" + std::to_string(folder)), ec);
  for (int i = 0; i < entries; ++i) {
    win::UrlCacheEntryInfo entry;
    entry.SourceUrlName = "http://bench" + std::to_string(i % 997) + ".example/page" + std::to_string(i) + ".htm";
    entry.LocalFileName = content + "F" + std::to_string(i % 16) + "\\page" + std::to_string(i) + "[1].htm";
    entry.Size = 200 + static_cast<std::uint64_t>(i % 1800);
    if (!WriteHostFile(entry.LocalFileName, static_cast<std::size_t>(entry.Size))) return false;
    rows.push_back(std::move(entry));
  }
  return win::AddUrlCacheEntries(win::CurrentMachine()->State(), rows);
}

bool AddMruValues(int count) {
  win::TRegistry registry;
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  for (const char* key : kMruKeys) {
    if (!registry.OpenKey(key, true)) return false;
    for (int i = 0; i < count; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "b%05d", i);
      if (!registry.WriteString(name, "C:\\Bench\\Documents\\report" + std::to_string(i) + ".doc")) return false;
    }
    registry.CloseKey();
  }
  return true;
}

bool AddBenchTraces(const Sizes& sizes) {
  const std::string user = kUser;
  return AddFiles(user + kFirefoxCache, "B", "d01", sizes.files, 0) &&
         AddFiles(user + "Recent", "Bench document ", ".lnk", sizes.files, 0) &&
         AddFiles(user + "SendTo", "Bench target ", ".lnk", sizes.files, 0) &&
         AddFiles(user + kAppDataTree, "data", ".dat", sizes.appData, 500) && AddUrlCache(sizes.entries) &&
         AddMruValues(sizes.mru);
}

struct RawCounts {
  std::uint64_t files = 0;
  std::uint64_t bytes = 0;
  std::uint64_t entries = 0;
  std::uint64_t values = 0;
};

// What the items cannot do without: the URL cache with its files' sizes, the
// cache, Recent, Send To and recycled folders listed, the Firefox profile
// read to its history and cookies, every value of the MRU keys read once.
RawCounts RawWalk() {
  RawCounts counts;
  bench::RawUrlCache(counts.entries, counts.bytes);
  const std::string user = kUser;
  bench::HostListing listed;
  for (const std::string& folder : {user + kFirefoxCache, user + "Recent", user + "SendTo", std::string("C:\\Recycled"),
                                    user + kFirefoxProfile})
    bench::PlainListing(HostPath(folder), false, listed);
  counts.files = listed.entries;
  counts.bytes += listed.bytes;
  for (const char* name : {"\\history.dat", "\\cookies.txt"}) {
    std::ifstream in(HostPath(user + kFirefoxProfile + name), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    counts.bytes += text.size();
  }
  for (const char* key : kMruKeys)
    ForEachUserValue(key, [&](win::TRegistry& registry, const std::string& name, const std::string&) {
      if (registry.ReadString(name)) ++counts.values;
    });
  return counts;
}

// Every item ticked, or only the one at `only` (an item's node).
void TickItems(TEvidenceCleaner& cleaner, int only = -1) {
  for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
    const TEvidenceNode& n = cleaner.CheckTree.Nodes[node];
    if (n.Level == 2 && (n.StateIndex == kStateTicked) != (only < 0 || node == only))
      cleaner.CheckNodeStateClick(node);
  }
}

// Each item scanned alone, once; those taking `atLeast` seconds or more shown.
void TimeEachItem(TEvidenceCleaner& cleaner, double atLeast) {
  std::printf("Items scanned alone, those of %.2f s or more\n", atLeast);
  for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
    if (cleaner.CheckTree.Nodes[node].Level != 2) continue;
    TickItems(cleaner, node);
    const double seconds = bench::BestOf(1, [&] { cleaner.ScanNowBtnClick(); });
    if (seconds >= atLeast)
      std::printf("  %-34s %8.3f s  (%d findings)\n", cleaner.CheckTree.Nodes[node].Rec->ItemName.c_str(), seconds,
                  cleaner.FoundCount);
  }
  TickItems(cleaner);
}

int TickedItems(const TEvidenceCleaner& cleaner) {
  int ticked = 0;
  for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
    const TEvidenceNode& n = cleaner.CheckTree.Nodes[node];
    ticked += n.Level == 2 && n.StateIndex == kStateTicked;
  }
  return ticked;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "EvidenceFiftyBench: %s\n", what.c_str());
  return false;
}

bool Run(const bench::BenchArgs& args, const Sizes& sizes) {
  const bench::BenchMachine machine(args.folder, args.keys);
  if (!machine.Ok()) return Fail(machine.Error());
  std::printf("Adding %d files each to the Firefox cache, Recent and Send To, %d application-data files, "
              "%d values to each of %zu MRU keys and %d URL-cache entries ...\n",
              sizes.files, sizes.appData, sizes.mru, std::size(kMruKeys), sizes.entries);
  const double addSeconds = bench::BestOf(1, [&] {
    if (!AddBenchTraces(sizes)) std::fprintf(stderr, "EvidenceFiftyBench: cannot add the traces\n");
  });
  std::printf("  added in %.2f s, peak memory so far %.1f MB\n", addSeconds, PeakMegabytes());

  RawCounts raw = RawWalk();  // once first, so that both timings find the files cached
  const double rawSeconds = bench::BestOf(args.rounds, [&] { raw = RawWalk(); });
  const std::string treeFolder = HostPath(std::string(kUser) + kAppDataTree);
  bench::HostListing tree;
  bench::PlainListing(treeFolder, true, tree);
  const double treeSeconds = bench::BestOf(args.rounds, [&] {
    tree = {};
    bench::PlainListing(treeFolder, true, tree);
  });

  TEvidenceCleaner cleaner;
  cleaner.FormShow();
  TickItems(cleaner);
  const int ticked = TickedItems(cleaner);
  const double scanSeconds = bench::BestOf(args.rounds, [&] { cleaner.ScanNowBtnClick(); });
  std::printf("Scan: %d items ticked\n", ticked);
  std::printf("  %-34s %8.3f s  (%llu files, %llu cache entries, %llu MRU values)\n", "raw walk", rawSeconds,
              static_cast<unsigned long long>(raw.files), static_cast<unsigned long long>(raw.entries),
              static_cast<unsigned long long>(raw.values));
  std::printf("  %-34s %8.3f s  (%llu entries, not the items' to read)\n", "application-data tree walk", treeSeconds,
              static_cast<unsigned long long>(tree.entries));
  std::printf("  %-34s %8.3f s  (%d findings)\n", "scan", scanSeconds, cleaner.FoundCount);
  std::printf("  %-34s %8.2fx\n", "scan / raw walk", scanSeconds / rawSeconds);
  std::printf("  %-34s %8.2fx\n", "scan / (raw walk + tree walk)", scanSeconds / (rawSeconds + treeSeconds));
  std::printf("Peak memory %.1f MB\n", PeakMegabytes());
  TimeEachItem(cleaner, 0.05);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "EvidenceFiftyBench [--machine DIR] [--keys N] [--rounds R] [--files F] [--appdata A] [--mru M] [--entries E]";
  Sizes sizes;
  std::vector<char*> rest{argv[0]};
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--files" && i + 1 < argc) sizes.files = std::max(0, std::atoi(argv[++i]));
    else if (arg == "--appdata" && i + 1 < argc) sizes.appData = std::max(0, std::atoi(argv[++i]));
    else if (arg == "--mru" && i + 1 < argc) sizes.mru = std::max(0, std::atoi(argv[++i]));
    else if (arg == "--entries" && i + 1 < argc) sizes.entries = std::max(0, std::atoi(argv[++i]));
    else rest.push_back(argv[i]);
  }
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(static_cast<int>(rest.size()), rest.data(), usage, true, 0, args)) return 2;
  return Run(args, sizes) ? 0 : 1;
}
