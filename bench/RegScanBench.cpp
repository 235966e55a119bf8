// Times the registry cleaner's "Shared DLL's Sections" and "Uninstall
// Entries" scans on a large generated machine against a plain walk that only
// reads the same keys and values.
//
// RegScanBench [--machine DIR] [--keys N] [--rounds R]
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScanBenchSupport.h"
#include "platform/registry/Registry.h"

namespace {

const char* const kDlls = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const char* const kUninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

using bench::BestOf;
using bench::ScanSections;
using bench::WalkCounts;

WalkCounts RawWalk(const char* path, bool subkeys) {
  WalkCounts counts;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  bench::ReadTree(registry, path, subkeys ? 1 : 0, counts);
  return counts;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "RegScanBench: %s\n", what.c_str());
  return false;
}

bool Run(const std::string& folder, std::uint64_t keys, int rounds) {
  const bench::BenchMachine machine(folder, keys);
  if (!machine.Ok()) return Fail(machine.Error());

  struct Part {
    const char* caption;
    const char* key;
    bool subkeys;
    std::vector<int> sections;
  };
  const Part parts[] = {{"Shared DLL's Sections", kDlls, false, {10}},
                        {"Uninstall Entries", kUninstall, true, {16}}};
  double walkTotal = 0;
  double scanTotal = 0;
  for (const Part& part : parts) {
    WalkCounts walked;
    const double walkSeconds = BestOf(rounds, [&] { walked = RawWalk(part.key, part.subkeys); });
    int problems = 0;
    const double scanSeconds = BestOf(rounds, [&] { problems = ScanSections(part.sections); });
    std::printf("%s\n", part.caption);
    std::printf("  %-30s %8.3f s  (%llu keys, %llu values read)\n", "raw walk", walkSeconds,
                static_cast<unsigned long long>(walked.keys),
                static_cast<unsigned long long>(walked.values));
    std::printf("  %-30s %8.3f s  (%d entries examined, %d problems)\n", "scan", scanSeconds,
                ItemsProcessed, problems);
    std::printf("  %-30s %8.2fx  %8.1f us per entry\n", "scan / raw walk", scanSeconds / walkSeconds,
                ItemsProcessed > 0 ? scanSeconds * 1e6 / ItemsProcessed : 0.0);
    walkTotal += walkSeconds;
    scanTotal += scanSeconds;
  }
  int problems = 0;
  const double bothSeconds = BestOf(rounds, [&] { problems = ScanSections({10, 16}); });
  std::printf("Both sections in one scan\n");
  std::printf("  %-30s %8.3f s  (%d problems; raw walks together %.3f s, scans apart %.3f s)\n",
              "scan", bothSeconds, problems, walkTotal, scanTotal);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(argc, argv, "RegScanBench [--machine DIR] [--keys N] [--rounds R]", true, 0,
                             args))
    return 2;
  return Run(args.folder, args.keys, args.rounds) ? 0 : 1;
}
