// Times the registry repair's backup of a large repair (written and read
// back to be proven before anything is deleted) and shows the memory it
// takes against the size of the file.
//
// RepairBackupBench [--values N] [--bytes B] [--rounds R]
//   N binary values of B bytes each (default 1,000 of 27,300: a version 5
//   backup of about 164 MB) on a copy of the sample machine in a temporary
//   folder. Each round runs in a process of its own, so that its peak memory
//   is its own.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "regclean/RepairDriverUnit.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

const char* const kKey = "Software\\FwBig";

long PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// One value problem per value of kKey.
regclean::RegistrySection BigSection() {
  regclean::RegistrySection section;
  section.scanners = {[](regclean::ScanContext& context) {
    win::TRegistry registry(win::KEY_READ);
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    std::vector<std::string> names;
    if (registry.OpenKeyReadOnly(std::string("\\") + kKey)) registry.GetValueNames(names);
    for (const std::string& name : names) {
      TRegistryContent problem;
      problem.KeyPath = std::string("HKEY_CURRENT_USER\\") + kKey;
      problem.ValueName = name;
      regclean::AddProblem(context, problem);
    }
  }};
  section.target = regclean::ValueTargetOf;
  return section;
}

// The backup of one round, in this process: prints its figures.
int Round(const std::string& folder) {
  std::string error;
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  win::SetCurrentMachine(machine.get());
  PlatformCode = 4;
  Settings.SelectAll = true;  // every problem ticked
  regclean::ScanSession session;
  regclean::ScanPageView view;
  regclean::ScopedSectionOverride big(3, BigSection());
  for (int section = 1; section <= regclean::kSectionCount; ++section) session.SetSectionTicked(section, section == 3);
  const regclean::ScanOutcome scanned = regclean::ScanNow(session, view);
  if (scanned != regclean::ScanOutcome::ProblemsFound) {
    std::printf("  the scan found nothing (%d)\n", static_cast<int>(scanned));
    return 1;
  }
  const long before = PeakMegabytes();
  const auto start = std::chrono::steady_clock::now();
  const regclean::BackupResult backup = regclean::BackupCheckedProblems(session);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long after = PeakMegabytes();
  if (!backup.ok || !backup.written) {
    std::printf("  backup FAILED: %s\n", backup.difference.c_str());
    return 1;
  }
  const auto size = std::filesystem::file_size(win::HostPath(backup.fileName));
  std::printf("  backup proven: %.1f MB in %.2f s; peak memory %ld MB before it, %ld MB after (%.2f of the file)\n",
              static_cast<double>(size) / 1e6, seconds, before, after,
              static_cast<double>(after - before) * (1 << 20) / static_cast<double>(size));
  win::DeleteFile(backup.fileName);
  win::SetCurrentMachine(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  long values = 1000;
  long bytes = 27300;
  int rounds = 3;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--values") values = std::atol(argv[i + 1]);
    else if (arg == "--bytes") bytes = std::atol(argv[i + 1]);
    else if (arg == "--rounds") rounds = std::atoi(argv[i + 1]);
    else {
      std::fprintf(stderr, "Usage: RepairBackupBench [--values N] [--bytes B] [--rounds R]\n");
      return 2;
    }
  }
  bench::TemporaryFolder temporary;
  if (!temporary.Make()) return 1;
  const std::string folder = temporary.Path() + "/machine";
  std::string error;
  if (!win::CreateMachine(folder, win::SampleMachineRecipe(), error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  {
    std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
    if (!machine) return 1;
    win::SetCurrentMachine(machine.get());
    win::TRegistry registry;
    registry.SetRootKey(win::HKEY_CURRENT_USER);
    if (!registry.OpenKey(std::string("\\") + kKey, true)) return 1;
    std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
    for (long v = 0; v < values; ++v) {
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + v);
      if (!registry.WriteRaw("value " + std::to_string(v), win::REG_BINARY, data)) return 1;
    }
    win::SetCurrentMachine(nullptr);
  }
  std::printf("Repair backup of %ld values of %ld bytes\n", values, bytes);
  std::fflush(stdout);
  int failed = 0;
  for (int round = 0; round < rounds; ++round) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
      const int result = Round(folder);
      std::fflush(stdout);
      _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::printf("  round %d failed (status %d)\n", round + 1, status);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
