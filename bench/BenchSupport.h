#pragma once
// What every benchmark shares: best-of timing, the command line, a temporary
// folder, and the plain walk that reads keys and values through the registry
// class.

#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/MachineBuilder.h"
#include "platform/Registry.h"
#include "platform/SyntheticMachine.h"

namespace bench {

// Best of several rounds, in seconds.
inline double BestOf(int rounds, const std::function<void()>& run) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

struct BenchArgs {
  std::string folder;
  std::uint64_t keys = win::kDefaultSyntheticKeys;
  int rounds = 3;
  std::vector<int> sections;
};

// --machine DIR and --keys N always; --rounds R when `withRounds`; --section S
// (1 to `lastSection`) when `lastSection` is above 0. Prints `usage` and gives
// false on anything else.
inline bool ParseBenchArgs(int argc, char** argv, const char* usage, bool withRounds, int lastSection,
                           BenchArgs& args) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--machine" && hasValue) {
      args.folder = argv[++i];
    } else if (arg == "--keys" && hasValue) {
      args.keys = std::strtoull(argv[++i], nullptr, 10);
    } else if (arg == "--rounds" && hasValue && withRounds) {
      args.rounds = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--section" && hasValue && std::atoi(argv[i + 1]) >= 1 &&
               std::atoi(argv[i + 1]) <= lastSection) {
      args.sections.push_back(std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "Usage: %s\n", usage);
      return false;
    }
  }
  return true;
}

// A folder under $TMPDIR (else /tmp), made on request and removed with
// everything in it when this object goes.
class TemporaryFolder {
 public:
  TemporaryFolder() = default;
  ~TemporaryFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  bool Make() {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fwbench-XXXXXX";
    if (mkdtemp(path_.data()) != nullptr) return true;
    path_.clear();
    return false;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// The machine folder to run on: `folder` when given, else one in `temporary`.
// Unless it holds a machine already, one of `keys` generated keys is made there.
inline bool ReadyMachineFolder(std::string& folder, std::uint64_t keys, TemporaryFolder& temporary,
                               std::string& error) {
  if (folder.empty()) {
    if (!temporary.Make()) {
      error = "cannot make a temporary folder";
      return false;
    }
    folder = temporary.Path() + "/machine";
  }
  if (win::HoldsMachine(folder)) return true;
  std::printf("Generating %llu keys at %s ...\n", static_cast<unsigned long long>(keys), folder.c_str());
  const auto start = std::chrono::steady_clock::now();
  win::SyntheticCounts made;
  if (!win::CreateSyntheticMachine(folder, keys, made, error)) return false;
  std::printf("Generated %llu keys and %llu values in %.2f s\n", static_cast<unsigned long long>(made.keys),
              static_cast<unsigned long long>(made.values),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return true;
}

struct WalkCounts {
  std::uint64_t keys = 0;
  std::uint64_t values = 0;
};

// Opens the key at `path` ("\\" for the root itself) and reads all its values,
// then does the same for its subkeys down to `depth` levels (-1: all), each
// opened by its full path as the program opens keys.
inline void ReadTree(win::TRegistry& registry, const std::string& path, int depth, WalkCounts& counts) {
  if (!registry.OpenKeyReadOnly(path)) return;
  ++counts.keys;
  std::vector<std::string> names;
  registry.GetValueNames(names);
  win::DWORD type = 0;
  std::vector<std::uint8_t> data;
  for (const std::string& name : names)
    if (registry.ReadRaw(name, type, data)) ++counts.values;
  if (depth == 0) return;
  registry.GetKeyNames(names);
  const std::string prefix = path == "\\" ? path : path + "\\";
  for (const std::string& name : names) ReadTree(registry, prefix + name, depth - 1, counts);
}

// Every key and value of HKEY_LOCAL_MACHINE and HKEY_USERS.
inline WalkCounts WalkWholeRegistry(win::TRegistry& registry) {
  WalkCounts counts;
  for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_USERS}) {
    registry.SetRootKey(root);
    ReadTree(registry, "\\", -1, counts);
  }
  return counts;
}

}  // namespace bench
