// Times the registry cleaner's scan of every section, one by one and all
// seventeen in one scan, on a large generated machine, each against its
// floors: the walk that reads every key and value of HKEY_LOCAL_MACHINE and
// HKEY_USERS once through the registry class (the first walk, which loads
// the image, and the warm walk, both against a direct read of the tables),
// and the stat floor, one statx of each distinct host path the scan asks
// about (listed by an untimed scan of its own). The floors are measured the
// same way whatever --rounds is. Reports the peak memory of the process.
//
// SectionScanBench [--machine DIR] [--keys N] [--rounds R] [--section S]...
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).
//   With --section, only the sections named are timed, apart and together.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ScanBenchSupport.h"
#include "platform/registry/Registry.h"

namespace {

using bench::BestOf;
using bench::ScanSections;

constexpr int kFloorRounds = 3;

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "SectionScanBench: %s\n", what.c_str());
  return false;
}

// The stat floor of a scan of these sections: its distinct host paths listed
// by one untimed scan, then each stat-ed once.
double FloorOf(const std::vector<int>& sections, std::size_t& paths) {
  const std::vector<std::string> asked = bench::HostPathsAskedBy([&] { ScanSections(sections); });
  paths = asked.size();
  std::size_t found = 0;
  return bench::StatFloor(asked, found);
}

bool Run(const std::string& folder, std::uint64_t keys, int rounds, std::vector<int> sections) {
  const bench::BenchMachine machine(folder, keys);
  if (!machine.Ok()) return Fail(machine.Error());

  bench::WalkCounts walked;
  const double firstWalk = BestOf(1, [&] {
    win::TRegistry registry(win::KEY_READ);
    walked = bench::WalkWholeRegistry(registry);
  });
  const double walkSeconds = BestOf(kFloorRounds, [&] {
    win::TRegistry registry(win::KEY_READ);
    walked = bench::WalkWholeRegistry(registry);
  });
  double direct = 1e300;
  for (int i = 0; i < kFloorRounds; ++i) direct = std::min(direct, bench::DirectTableRead(win::CurrentMachine()->Folder()));
  std::printf("%-28s %8.3f s\n", "direct read of the tables", direct);
  std::printf("%-28s %8.3f s  %7.2fx direct read  (loads the image)\n", "first walk", firstWalk, firstWalk / direct);
  std::printf("%-28s %8.3f s  %7.2fx direct read  (%llu keys, %llu values read)\n", "warm walk", walkSeconds,
              walkSeconds / direct, static_cast<unsigned long long>(walked.keys),
              static_cast<unsigned long long>(walked.values));
  if (sections.empty())
    for (int section = 1; section <= regclean::kSectionCount; ++section) sections.push_back(section);
  std::printf("%-28s %8s    %8s  %7s  %s\n", "", "scan", "floor", "", "scan / (warm walk + floor)");
  for (int section : sections) {
    std::size_t paths = 0;
    const double floor = FloorOf({section}, paths);
    int problems = 0;
    const double seconds = BestOf(rounds, [&] { problems = ScanSections({section}); });
    std::printf("%2d %-25s %8.3f s  %8.3f s  %7.2fx  (%d entries, %zu paths, %d problems)\n", section,
                regclean::SectionByNumber(section)->caption.c_str(), seconds, floor,
                seconds / (walkSeconds + floor), ItemsProcessed, paths, problems);
  }
  std::size_t paths = 0;
  const double floor = FloorOf(sections, paths);
  int problems = 0;
  const double allSeconds = BestOf(rounds, [&] { problems = ScanSections(sections); });
  std::printf("%-28s %8.3f s  %8.3f s  %7.2fx  (%zu paths, %d problems)\n", "all in one scan", allSeconds, floor,
              allSeconds / (walkSeconds + floor), paths, problems);
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
