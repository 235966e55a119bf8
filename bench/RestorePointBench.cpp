// Times System Restore on a large generated machine: making a restore point
// (a snapshot of registry.db) and putting one in place at the program's next
// start, each against a plain file copy of registry.db.
//
// RestorePointBench [--machine DIR] [--keys N] [--rounds R]
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "platform/system/SystemRestore.h"

namespace fs = std::filesystem;

namespace {

std::unique_ptr<win::Machine> OpenCurrent(const std::string& folder) {
  std::string error;
  auto machine = win::Machine::Open(folder, error, win::PendingRestore::Apply);
  if (!machine) std::fprintf(stderr, "cannot open %s: %s\n", folder.c_str(), error.c_str());
  win::SetCurrentMachine(machine.get());
  return machine;
}

// The sequence number of the newest point, or 0.
win::DWORD NewestPoint() {
  std::vector<win::RestorePoint> points;
  if (win::ListRestorePoints(points) != 0 || points.empty()) return 0;
  return static_cast<win::DWORD>(std::stoul(points.back().SequenceNumber));
}

}  // namespace

int main(int argc, char** argv) {
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(argc, argv, "RestorePointBench [--machine DIR] [--keys N] [--rounds R]", true, 0,
                             args)) {
    return 2;
  }
  bench::TemporaryFolder temporary;
  std::string error;
  if (!bench::ReadyMachineFolder(args.folder, args.keys, temporary, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const fs::path registry = fs::path(args.folder) / "registry.db";
  std::printf("registry.db: %.1f MB\n", static_cast<double>(fs::file_size(registry)) / (1 << 20));

  const fs::path copy = fs::path(args.folder) / "registry-copy.db";
  const double plainCopy = bench::BestOf(args.rounds, [&] {
    fs::copy_file(registry, copy, fs::copy_options::overwrite_existing);
  });
  fs::remove(copy);

  auto machine = OpenCurrent(args.folder);
  if (!machine) return 1;
  bool failed = false;
  const double create = bench::BestOf(args.rounds, [&] {
    failed = failed || win::CreateRestorePoint("Benchmark point", 0, 100) != 0;
  });
  const win::DWORD point = NewestPoint();
  if (failed || point == 0) {
    std::fprintf(stderr, "a restore point could not be made\n");
    return 1;
  }

  // The opening without a pending restore, then with one.
  win::SetCurrentMachine(nullptr);
  machine.reset();
  const double plainOpen = bench::BestOf(args.rounds, [&] {
    machine = OpenCurrent(args.folder);
    win::SetCurrentMachine(nullptr);
    machine.reset();
  });
  double applyOpen = 1e300;
  for (int round = 0; round < args.rounds && !failed; ++round) {
    machine = OpenCurrent(args.folder);
    failed = !machine || win::RestoreToPoint(point) != 0;
    win::SetCurrentMachine(nullptr);
    machine.reset();
    applyOpen = std::min(applyOpen, bench::BestOf(1, [&] {
                           machine = OpenCurrent(args.folder);
                           win::SetCurrentMachine(nullptr);
                           machine.reset();
                         }));
  }
  if (failed) {
    std::fprintf(stderr, "the restore could not be asked for\n");
    return 1;
  }
  std::printf("%-40s %8.3f s\n", "plain copy of registry.db", plainCopy);
  std::printf("%-40s %8.3f s  %6.2fx the copy\n", "create a restore point", create, create / plainCopy);
  std::printf("%-40s %8.3f s\n", "opening without a pending restore", plainOpen);
  std::printf("%-40s %8.3f s  %6.2fx the copy (%.3f s over a plain opening: %.2fx the copy)\n",
              "opening that applies a restore", applyOpen, applyOpen / plainCopy, applyOpen - plainOpen,
              (applyOpen - plainOpen) / plainCopy);
  return 0;
}
