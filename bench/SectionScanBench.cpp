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

  bench::WalkCounts walked;
  const double walkSeconds = BestOf(rounds, [&] {
    win::TRegistry registry(win::KEY_READ);
    walked = bench::WalkWholeRegistry(registry);
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
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(argc, argv,
                             "SectionScanBench [--machine DIR] [--keys N] [--rounds R] [--section S]...",
                             true, regclean::kSectionCount, args))
    return 2;
  return Run(args.folder, args.keys, args.rounds, args.sections) ? 0 : 1;
}
