#pragma once
// What every benchmark shares: best-of timing, the command line, a temporary
// folder, the plain walk that reads keys and values through the registry
// class, and the floors the program is held against: a direct read of the
// registry tables and one statx of each host path a run asks about.

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/files/PathResolver.h"
#include "platform/machine/MachineBuilder.h"
#include "platform/machine/SyntheticMachine.h"
#include "platform/registry/Registry.h"

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

// The floor of a walk: every row of both tables of the machine's registry.db
// read once with SQLite directly; seconds, or -1 when a read fails.
inline double DirectTableRead(const std::string& machineFolder) {
  const auto readTable = [](sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return false;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
      for (int column = 0; column < sqlite3_column_count(statement); ++column) sqlite3_column_blob(statement, column);
    }
    sqlite3_finalize(statement);
    return step == SQLITE_DONE;
  };
  sqlite3* db = nullptr;
  const auto start = std::chrono::steady_clock::now();
  const bool ok =
      sqlite3_open_v2((machineFolder + "/registry.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      readTable(db, "SELECT id, parent, name FROM keys") && readTable(db, "SELECT key, name, type, data FROM vals");
  sqlite3_close(db);
  return ok ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() : -1;
}

// The distinct host paths whose metadata the machine's file layer answers
// with while `run` runs, in the order first asked.
inline std::vector<std::string> HostPathsAskedBy(const std::function<void()>& run) {
  std::unordered_set<std::string> seen;
  std::vector<std::string> paths;
  win::fs_detail::SetHostPathLog([&](const std::string& path) {
    if (seen.insert(path).second) paths.push_back(path);
  });
  run();
  win::fs_detail::SetHostPathLog(nullptr);
  return paths;
}

inline bool WritePathList(const std::string& file, const std::vector<std::string>& paths) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  for (const std::string& path : paths) out << path << '\n';
  return static_cast<bool>(out);
}

inline std::vector<std::string> ReadPathList(const std::string& file) {
  std::vector<std::string> paths;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) paths.push_back(line);
  return paths;
}

// The stat floor: one statx of each path as the file layer asks (a link in
// the last part not followed), after one pass that warms the caches; the best
// of three passes, in seconds. `found` gets how many exist.
inline double StatFloor(const std::vector<std::string>& paths, std::size_t& found) {
  const auto pass = [&] {
    found = 0;
    struct statx stx;
    for (const std::string& path : paths)
      found += statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) == 0;
  };
  pass();
  return BestOf(3, pass);
}

}  // namespace bench
