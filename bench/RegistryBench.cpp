// Times the registry of a large generated machine: a walk of every key and
// value through the registry class, a direct sequential read of the same
// SQLite tables, an export to a version 5 .reg file and an import of that file
// into an empty store.
//
// RegistryBench [--machine DIR] [--keys N]
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"

namespace fs = std::filesystem;

namespace {

using Counts = bench::WalkCounts;

class Stopwatch {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

void Report(const char* what, double seconds, const Counts& counts) {
  std::printf("%-34s %8.2f s %12.0f keys/s %12.0f values/s  (%llu keys, %llu values)\n", what,
              seconds, counts.keys / seconds, counts.values / seconds,
              static_cast<unsigned long long>(counts.keys),
              static_cast<unsigned long long>(counts.values));
}

Counts WalkRegistry(win::RegistryStore& store) {
  win::TRegistry registry(store, win::KEY_READ);
  return bench::WalkWholeRegistry(registry);
}

bool ReadTable(sqlite3* db, const char* sql, std::uint64_t& rows, std::uint64_t& bytes) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return false;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    ++rows;
    for (int column = 0; column < sqlite3_column_count(statement); ++column) {
      sqlite3_column_blob(statement, column);
      bytes += static_cast<std::uint64_t>(sqlite3_column_bytes(statement, column));
    }
  }
  sqlite3_finalize(statement);
  return step == SQLITE_DONE;
}

bool ReadTablesDirectly(const std::string& dbPath, Counts& counts) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return false;
  }
  std::uint64_t bytes = 0;
  const bool ok = ReadTable(db, "SELECT id, parent, name FROM keys", counts.keys, bytes) &&
                  ReadTable(db, "SELECT key, name, type, data FROM vals", counts.values, bytes);
  sqlite3_close(db);
  return ok;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "RegistryBench: %s\n", what.c_str());
  return false;
}

bool Run(const std::string& folder) {
  std::string error;
  auto machine = win::Machine::Open(folder, error);
  if (!machine) return Fail(error);

  Stopwatch walkWatch;
  const Counts walked = WalkRegistry(machine->Registry());
  const double walkSeconds = walkWatch.Seconds();
  Report("walk through TRegistry", walkSeconds, walked);

  Counts direct;
  Stopwatch directWatch;
  if (!ReadTablesDirectly((fs::path(folder) / "registry.db").string(), direct))
    return Fail("cannot read the tables of registry.db");
  const double directSeconds = directWatch.Seconds();
  Report("direct read of the SQLite tables", directSeconds, direct);
  std::printf("%-34s %8.2fx\n", "walk / direct read", walkSeconds / directSeconds);

  const std::string regPath = (fs::path(folder) / "bench-export.reg").string();
  Stopwatch exportWatch;
  win::RegFileContent content;
  if (!win::ReadRegistryTree(machine->Registry(), "", content, error)) return Fail(error);
  const double readSeconds = exportWatch.Seconds();
  content.format = win::RegFileFormat::Version5;
  const std::vector<std::uint8_t> bytes = win::FormatRegFile(content, 1252);
  {
    std::ofstream out(regPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) return Fail("cannot write " + regPath);
  }
  const double exportSeconds = exportWatch.Seconds();
  Counts exported{content.keys.size(), 0};
  for (const auto& key : content.keys) exported.values += key.values.size();
  Report("export to a version 5 .reg file", exportSeconds, exported);
  std::printf("%-34s %8.2f s\n", "  of which reading the registry", readSeconds);
  std::printf("%-34s %8.1f MB\n", "  .reg file size", bytes.size() / 1e6);
  content = {};
  machine.reset();

  const std::string emptyDb = (fs::path(folder) / "bench-import.db").string();
  std::error_code ec;
  fs::remove(emptyDb, ec);
  Stopwatch importWatch;
  std::vector<std::uint8_t> fileBytes(fs::file_size(regPath, ec));
  {
    std::ifstream in(regPath, std::ios::binary);
    in.read(reinterpret_cast<char*>(fileBytes.data()), static_cast<std::streamsize>(fileBytes.size()));
    if (!in) return Fail("cannot read " + regPath);
  }
  win::RegFileContent parsed;
  if (!win::ParseRegFile(fileBytes, "bench-export.reg", 1252, parsed, error)) return Fail(error);
  const double parseSeconds = importWatch.Seconds();
  auto store = win::RegistryStore::Open(emptyDb, win::RegistryOptions{}, error);
  if (!store || !win::ApplyRegFile(*store, parsed, error)) return Fail(error);
  const double importSeconds = importWatch.Seconds();
  Counts imported{parsed.keys.size(), 0};
  for (const auto& key : parsed.keys) imported.values += key.values.size();
  Report("import into an empty store", importSeconds, imported);
  std::printf("%-34s %8.2f s\n", "  of which reading and parsing", parseSeconds);

  store.reset();
  fs::remove(emptyDb, ec);
  fs::remove(regPath, ec);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(argc, argv, "RegistryBench [--machine DIR] [--keys N]", false, 0, args))
    return 2;
  bench::TemporaryFolder temporary;
  std::string error;
  if (!bench::ReadyMachineFolder(args.folder, args.keys, temporary, error)) {
    Fail(error);
    return 1;
  }
  return Run(args.folder) ? 0 : 1;
}
