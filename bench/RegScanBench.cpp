// Times the registry cleaner's "Shared DLL's Sections" and "Uninstall
// Entries" scans on a large generated machine against a plain walk that only
// reads the same keys and values.
//
// RegScanBench [--machine DIR] [--keys N] [--rounds R]
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Machine.h"
#include "platform/MachineBuilder.h"
#include "platform/Registry.h"
#include "platform/SyntheticMachine.h"
#include "regclean/ScanDriverUnit.h"
#include "regclean/SectionTableUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace {

const char* const kDlls = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const char* const kUninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Best of several rounds, in seconds.
double BestOf(int rounds, const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

struct WalkCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
};

// Opens a key and reads all its values, then its subkeys the same way.
void ReadTree(win::TRegistry& registry, const std::string& path, bool recurse, WalkCounts& counts) {
  if (!registry.OpenKeyReadOnly(path)) return;
  ++counts.keys;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  win::DWORD type = 0;
  std::vector<std::uint8_t> data;
  for (const std::string& name : names)
    if (registry.ReadRaw(name, type, data)) ++counts.values;
  if (!recurse) return;
  registry.GetKeyNames(names);
  for (const std::string& name : names) ReadTree(registry, path + "\\" + name, false, counts);
}

WalkCounts RawWalk(const char* path, bool subkeys) {
  WalkCounts counts;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_LOCAL_MACHINE);
  ReadTree(registry, path, subkeys, counts);
  return counts;
}

// A scan with only the given sections ticked, nothing shown; the number of
// problems found.
int ScanSections(const std::vector<int>& sections) {
  regclean::ScanSession session;
  regclean::ScanPageView view;
  for (int section = 1; section <= regclean::kSectionCount; ++section)
    session.SetSectionTicked(section,
                             std::find(sections.begin(), sections.end(), section) != sections.end());
  regclean::ScanNow(session, view);
  return session.GetTotalProblemCount();
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "RegScanBench: %s\n", what.c_str());
  return false;
}

bool Run(const std::string& folder, std::uint64_t keys, int rounds) {
  std::string error;
  if (!win::HoldsMachine(folder)) {
    std::printf("Generating %llu keys at %s ...\n", static_cast<unsigned long long>(keys), folder.c_str());
    win::SyntheticCounts made;
    if (!win::CreateSyntheticMachine(folder, keys, made, error)) return Fail(error);
  }
  auto machine = win::Machine::Open(folder, error);
  if (!machine) return Fail(error);
  win::SetCurrentMachine(machine.get());
  BuildNonFixedDriveList(DriveList);
  Settings.SelectAll = true;

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
  win::SetCurrentMachine(nullptr);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder;
  std::uint64_t keys = win::kDefaultSyntheticKeys;
  int rounds = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--machine" && i + 1 < argc) {
      folder = argv[++i];
    } else if (arg == "--keys" && i + 1 < argc) {
      keys = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--rounds" && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "Usage: RegScanBench [--machine DIR] [--keys N] [--rounds R]\n");
      return 2;
    }
  }
  std::string temporary;
  if (folder.empty()) {
    const char* tmp = std::getenv("TMPDIR");
    temporary = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fwscanbench-XXXXXX";
    if (mkdtemp(temporary.data()) == nullptr) return Fail("cannot make a temporary folder") ? 0 : 1;
    folder = temporary + "/machine";
  }
  const bool ok = Run(folder, keys, rounds);
  if (!temporary.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(temporary, ec);
  }
  return ok ? 0 : 1;
}
