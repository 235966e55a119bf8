// Times the file shredder against GNU shred: for each shred level, files of
// 1 KiB to 64 MiB (doubling, over and over) up to the total size, once in a
// folder of drive C: of a machine of its own, shredded from the Advanced
// page's engine, and once as identical copies in a plain folder, given to
// `shred -n K -u` with K the same number of overwriting passes. Both flush
// every pass.
//
// ShredBench [--machine DIR] [--total-mib N]   (default 1024)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "privacy/AdvancedShredUnit.h"
#include "shell/Dialogs.h"

namespace {

const char* const kConfig =
    "[Machine]\nOSMajor=5\nOSMinor=1\nPlatformId=2\n[Drives]\nC=fixed,drives/C\n";

// The same files, with the same bytes, in each folder; the total size.
std::uint64_t MakeFiles(const std::vector<std::string>& folders, std::uint64_t total) {
  std::mt19937_64 rng(15);
  std::vector<std::uint64_t> block(1 << 17);
  std::uint64_t made = 0;
  std::uint64_t size = 1024;
  for (int index = 0; made < total; ++index) {
    const std::uint64_t length = std::min(size, total - made);
    for (const std::string& folder : folders) std::filesystem::create_directories(folder);
    std::vector<std::ofstream> files;
    for (const std::string& folder : folders)
      files.emplace_back(folder + "/f" + std::to_string(index) + ".dat", std::ios::binary);
    for (std::uint64_t written = 0; written < length;) {
      for (auto& word : block) word = rng();
      const std::uint64_t chunk = std::min<std::uint64_t>(length - written, block.size() * 8);
      for (auto& file : files) file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(chunk));
      written += chunk;
    }
    made += length;
    size = size >= (64u << 20) ? 1024 : size * 2;
  }
  return made;
}

double Seconds(const std::function<void()>& run) { return bench::BestOf(1, run); }

bool Fail(const std::string& what) {
  std::fprintf(stderr, "ShredBench: %s\n", what.c_str());
  return false;
}

bool Run(std::string folder, std::uint64_t totalMib) {
  bench::TemporaryFolder temporary;
  if (folder.empty()) {
    if (!temporary.Make()) return Fail("cannot make a temporary folder");
    folder = temporary.Path() + "/machine";
  }
  std::string error;
  if (!win::HoldsMachine(folder) && !win::CreateMachine(folder, {kConfig, "REGEDIT4\n", ""}, error))
    return Fail(error);
  const std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) return Fail(error);
  const win::CurrentMachineScope current(*machine);
  const std::string ours = folder + "/drives/C/shred";
  const std::string theirs = folder + "/gnu-shred";
  const std::uint64_t total = totalMib << 20;

  bool ok = true;
  for (int level = 0; level < 3; ++level) {
    const std::uint64_t bytes = MakeFiles({ours, theirs}, total);
    ScriptedDialogs dialogs;
    TAdvancedShred shred;
    shred.listAdd = {"C:\\shred"};
    shred.ShredLevel = level;
    dialogs.setNextAnswer(IDYES);
    const double ourSeconds = Seconds([&] { shred.btnShredClick(); });
    const int passes = shred.ShredPasses + 1;
    const std::string command = "find '" + theirs + "' -type f -exec shred -n " + std::to_string(passes) +
                                " -u {} +";
    int status = 0;
    const double theirSeconds = Seconds([&] { status = std::system(command.c_str()); });
    const bool clean = shred.listAdd.empty() && !std::filesystem::exists(ours) && status == 0 &&
                       std::filesystem::is_empty(theirs);
    ok = ok && clean;
    const double mib = static_cast<double>(bytes) / (1 << 20);
    std::printf("level %d (%d passes), %.0f MiB\n", level, passes, mib);
    std::printf("  %-22s %8.2f s  %8.1f MiB/s\n", "shred list", ourSeconds, mib * passes / ourSeconds);
    std::printf("  %-22s %8.2f s  %8.1f MiB/s  (%s)\n", "shred -n K -u", theirSeconds, mib * passes / theirSeconds,
                command.c_str());
    std::printf("  %-22s %8.2fx its throughput%s\n", "ours / GNU shred", theirSeconds / ourSeconds,
                clean ? "" : "  NOT EVERYTHING WAS REMOVED");
    std::filesystem::remove_all(theirs);
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  std::uint64_t totalMib = 1024;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--machine") folder = argv[i + 1];
    else if (arg == "--total-mib") totalMib = std::max(1ull, std::strtoull(argv[i + 1], nullptr, 10));
    else argc = 0;
  }
  if (argc % 2 == 0) {
    std::fprintf(stderr, "Usage: ShredBench [--machine DIR] [--total-mib N]\n");
    return 2;
  }
  return Run(folder, totalMib) ? 0 : 1;
}
