// Times the registry cleaner's scan of every section, one by one and all
// seventeen in one scan, on a large generated machine against a plain walk
// that reads every key and value of HKEY_LOCAL_MACHINE and HKEY_USERS once.
// Reports the peak memory of the process.
//
// SectionScanBench [--machine DIR] [--keys N] [--rounds R] [--section S]...
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).
//   With --section, only the sections named are timed, apart and together.

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScanBenchSupport.h"
#include "platform/Registry.h"

namespace {

using bench::BestOf;
using bench::ScanSections;

struct WalkCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
};

void ReadTree(win::HKEY root, const std::string& path, WalkCounts& counts) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly("\\" + path)) return;
  ++counts.keys;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  win::DWORD type = 0;
  std::vector<std::uint8_t> data;
  for (const std::string& name : names)
    if (registry.ReadRaw(name, type, data)) ++counts.values;
  registry.GetKeyNames(names);
  registry.CloseKey();
  for (const std::string& name : names) ReadTree(root, path.empty() ? name : path + "\\" + name, counts);
}

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "SectionScanBench: %s\n", what.c_str());
  return false;
}

bool Run(const std::string& folder, std::uint64_t keys, int rounds, std::vector<int> sections) {
  const bench::BenchMachine machine(folder, keys);
  if (!machine.Ok()) return Fail(machine.Error());

  WalkCounts walked;
  const double walkSeconds = BestOf(rounds, [&] {
    walked = {};
    ReadTree(win::HKEY_LOCAL_MACHINE, "", walked);
    ReadTree(win::HKEY_USERS, "", walked);
  });
  std::printf("%-28s %8.3f s  (%llu keys, %llu values read)\n", "raw walk", walkSeconds,
              static_cast<unsigned long long>(walked.keys), static_cast<unsigned long long>(walked.values));
  if (sections.empty())
    for (int section = 1; section <= regclean::kSectionCount; ++section) sections.push_back(section);
  for (int section : sections) {
    int problems = 0;
    const double seconds = BestOf(rounds, [&] { problems = ScanSections({section}); });
    std::printf("%2d %-25s %8.3f s  %7.2fx walk  (%d entries, %d problems)\n", section,
                regclean::SectionByNumber(section)->caption.c_str(), seconds, seconds / walkSeconds,
                ItemsProcessed, problems);
  }
  int problems = 0;
  const double allSeconds = BestOf(rounds, [&] { problems = ScanSections(sections); });
  std::printf("%-28s %8.3f s  %7.2fx walk  (%d problems)\n", "all in one scan", allSeconds,
              allSeconds / walkSeconds, problems);
  std::printf("%-28s %8ld MB\n", "peak memory", PeakMegabytes());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  std::uint64_t keys = win::kDefaultSyntheticKeys;
  int rounds = 3;
  std::vector<int> sections;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--machine" && i + 1 < argc) {
      folder = argv[++i];
    } else if (arg == "--keys" && i + 1 < argc) {
      keys = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--section" && i + 1 < argc && regclean::SectionByNumber(std::atoi(argv[i + 1]))) {
      sections.push_back(std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr,
                   "Usage: SectionScanBench [--machine DIR] [--keys N] [--rounds R] [--section S]...\n");
      return 2;
    }
  }
  return Run(folder, keys, rounds, sections) ? 0 : 1;
}
