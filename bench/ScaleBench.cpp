// The registry cleaner at scale, every figure side by side in one run: the
// walk through the registry class against a direct read of the tables, the
// full scan against the walk, the scan in the real window (offscreen) against
// the headless scan, and the peak memory of the scan, of a whole-registry
// export and of its import. Each part runs in a process of its own, so that
// its peak memory is its own.
//
// ScaleBench --machine DIR [--machine DIR]...
//   Each DIR holding a machine is used as it is; otherwise one of 400,000
//   generated keys is made there ("fwmachine generate DIR --missing 1" makes
//   one with few problems).

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ScanBenchSupport.h"
#include "platform/HostFiles.h"
#include "platform/RegFile.h"
#include "platform/RegistryStore.h"
#include "regclean/gui/ScanPageUnit.h"
#include "shell/gui/DMUnit.h"
#include "shell/gui/MainUnit.h"

namespace fs = std::filesystem;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long PeakMegabytes() { return PeakKilobytes() / 1024; }

// What a part prints for the driver: name=value lines.
void Put(const char* name, double value) { std::printf("%s=%.6f\n", name, value); }

bool ReadTable(sqlite3* db, const char* sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return false;
  int step = SQLITE_ROW;
  while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int column = 0; column < sqlite3_column_count(statement); ++column) sqlite3_column_blob(statement, column);
  }
  sqlite3_finalize(statement);
  return step == SQLITE_DONE;
}

double DirectRead(const std::string& folder) {
  sqlite3* db = nullptr;
  const auto start = std::chrono::steady_clock::now();
  const bool ok = sqlite3_open_v2((folder + "/registry.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
                  ReadTable(db, "SELECT id, parent, name FROM keys") &&
                  ReadTable(db, "SELECT key, name, type, data FROM vals");
  sqlite3_close(db);
  return ok ? Since(start) : -1;
}

double Walk() {
  const auto start = std::chrono::steady_clock::now();
  win::TRegistry registry(win::KEY_READ);
  bench::WalkWholeRegistry(registry);
  return Since(start);
}

int AllSections() {
  std::vector<int> all;
  for (int section = 1; section <= regclean::kSectionCount; ++section) all.push_back(section);
  return bench::ScanSections(all);
}

// One part in this process.
int RunPart(const std::string& part, const std::string& folder, const std::string& scratch) {
  if (part == "export" || part == "import") {
    std::string error;
    const std::string regFile = scratch + "/all.reg";
    const auto start = std::chrono::steady_clock::now();
    std::size_t keys = 0;
    bool ok = false;
    if (part == "export") {
      auto machine = win::Machine::Open(folder, error);
      ok = machine && win::fs_detail::ReplaceHostFile(regFile, std::nullopt, [&](int fd) {
             return win::WriteRegistryTree(machine->Registry(), "", win::RegFileFormat::Version5, 1252,
                                           [fd](const std::uint8_t* data, std::size_t size) {
                                             return win::fs_detail::WriteAll(fd, data, size);
                                           },
                                           keys, error);
           });
    } else {
      auto store = win::RegistryStore::Open(scratch + "/import.db", {}, error);
      const win::ByteSource source = [&regFile](const win::ByteSink& take) {
        return win::fs_detail::ReadHostFileChunks(regFile, [&take](const char* data, std::size_t size) {
          return take(reinterpret_cast<const std::uint8_t*>(data), size);
        });
      };
      win::RegFileContent content;
      ok = store && win::ImportRegFileStream(*store, source, "all.reg", 1252, content, keys, error) ==
                        win::RegImport::Done;
    }
    if (!ok) {
      std::fprintf(stderr, "ScaleBench: %s: %s\n", part.c_str(), error.c_str());
      return 1;
    }
    Put("seconds", Since(start));
    Put("keys", static_cast<double>(keys));
    std::error_code ec;
    Put("fileMB", static_cast<double>(fs::file_size(regFile, ec)) / 1e6);
    return 0;
  }

  const bench::BenchMachine machine(folder, win::kDefaultSyntheticKeys);
  if (!machine.Ok()) {
    std::fprintf(stderr, "ScaleBench: %s\n", machine.Error().c_str());
    return 1;
  }
  if (part == "walk") {
    Put("firstWalk", Walk());  // loads the image
    Put("peakAfterWalkMB", static_cast<double>(PeakMegabytes()));
    Put("walk", std::min(Walk(), Walk()));
    Put("direct", std::min(DirectRead(folder), DirectRead(folder)));
    return 0;
  }
  Walk();  // the scans start with the image loaded, as the walk they are held against
  // What the problems cost: the growth of the peak over the scan, an upper
  // bound (it includes what the scanners use while they run).
  const long peakBefore = PeakKilobytes();
  const auto putBytesPerProblem = [peakBefore](int problems) {
    if (problems > 0) Put("bytesPerProblem", (PeakKilobytes() - peakBefore) * 1024.0 / problems);
  };
  if (part == "scan") {
    const auto start = std::chrono::steady_clock::now();
    const int problems = AllSections();
    Put("seconds", Since(start));
    Put("problems", problems);
    putBytesPerProblem(problems);
    return 0;
  }
  if (part == "window") {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "ScaleBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    LoadSettings();
    Settings.CheckUpdate = false;
    Settings.SelectAll = true;
    TDM dm;
    TFernwickForm form;
    form.show();
    QCoreApplication::processEvents();
    auto* page = dynamic_cast<TRegistryScanPage*>(form.ScanPage.get());
    if (page == nullptr) return 1;
    for (int section = 1; section <= regclean::kSectionCount; ++section) page->Session.SetSectionTicked(section, true);
    const auto start = std::chrono::steady_clock::now();
    form.ScanNowBtnClick();
    Put("seconds", Since(start));
    Put("problems", page->Session.GetTotalProblemCount());
    putBytesPerProblem(page->Session.GetTotalProblemCount());
    return 0;
  }
  std::fprintf(stderr, "ScaleBench: no part %s\n", part.c_str());
  return 2;
}

using Figures = std::map<std::string, double>;

// Runs one part in a child process: its figures and its peak memory.
bool RunChild(const std::string& part, const std::string& folder, const std::string& scratch, Figures& figures) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return false;
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    dup2(pipeEnds[1], STDOUT_FILENO);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    execl("/proc/self/exe", "ScaleBench", "--part", part.c_str(), "--machine", folder.c_str(), "--scratch",
          scratch.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeEnds[1]);
  std::string out;
  char buffer[4096];
  ssize_t n = 0;
  while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
  std::size_t at = 0;
  while (at < out.size()) {
    const std::size_t end = std::min(out.find('\n', at), out.size());
    const std::string line = out.substr(at, end - at);
    const std::size_t equals = line.find('=');
    if (equals != std::string::npos) figures[part + "." + line.substr(0, equals)] = std::atof(line.c_str() + equals + 1);
    at = end + 1;
  }
  figures[part + ".peakMB"] = static_cast<double>(usage.ru_maxrss) / 1024;
  return true;
}

struct Row {
  const char* what;
  const char* baseline;
  const char* aim;
};

int Drive(const std::vector<std::string>& folders) {
  bench::TemporaryFolder scratch;
  if (!scratch.Make()) return 1;
  std::vector<Figures> results;
  for (const std::string& folder : folders) {
    std::string error;
    bench::TemporaryFolder unused;
    std::string ready = folder;
    if (!bench::ReadyMachineFolder(ready, win::kDefaultSyntheticKeys, unused, error)) {
      std::fprintf(stderr, "ScaleBench: %s\n", error.c_str());
      return 1;
    }
    Figures figures;
    for (const char* part : {"walk", "scan", "window", "export", "import"}) {
      std::fprintf(stderr, "%s: %s ...\n", folder.c_str(), part);
      if (!RunChild(part, folder, scratch.Path(), figures)) {
        std::fprintf(stderr, "ScaleBench: the %s part failed on %s\n", part, folder.c_str());
        return 1;
      }
    }
    std::error_code ec;
    fs::remove(scratch.Path() + "/import.db", ec);
    results.push_back(figures);
  }

  std::printf("%-44s %-16s %-8s", "", "issue baseline", "aim");
  for (const std::string& folder : folders) std::printf(" %24s", fs::path(folder).filename().c_str());
  std::printf("\n");
  const auto line = [&](const char* what, const char* baseline, const char* aim, auto value) {
    std::printf("%-44s %-16s %-8s", what, baseline, aim);
    for (const Figures& f : results) std::printf(" %24s", value(f).c_str());
    std::printf("\n");
  };
  const auto text = [](const char* format, double a, double b = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b);
    return std::string(buffer);
  };
  const auto get = [](const Figures& f, const char* name) {
    const auto it = f.find(name);
    return it == f.end() ? 0.0 : it->second;
  };
  line("problems found (headless / window)", "449,359", "", [&](const Figures& f) {
    return text("%.0f / %.0f", get(f, "scan.problems"), get(f, "window.problems"));
  });
  line("walk / direct read of the tables", "1.20s/0.42s=2.9x", "<=1.5x", [&](const Figures& f) {
    return text("%.2fs/%.2fs", get(f, "walk.walk"), get(f, "walk.direct")) +
           text(" = %.2fx", get(f, "walk.walk") / get(f, "walk.direct"));
  });
  line("  (first walk, loading the image)", "", "", [&](const Figures& f) { return text("%.2f s", get(f, "walk.firstWalk")); });
  line("full scan / walk", "8.7s = 7.2x", "<=2x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "scan.seconds"), get(f, "scan.seconds") / get(f, "walk.walk"));
  });
  line("scan in the window / headless scan", "150s = 17x", "<=1.2x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "window.seconds"), get(f, "window.seconds") / get(f, "scan.seconds"));
  });
  line("peak memory of the full scan", "1,319 MB", "<=500 MB",
       [&](const Figures& f) { return text("%.0f MB", get(f, "scan.peakMB")); });
  line("  after the walk alone", "244 MB", "",
       [&](const Figures& f) { return text("%.0f MB", get(f, "walk.peakAfterWalkMB")); });
  line("  of the scan in the window", "", "",
       [&](const Figures& f) { return text("%.0f MB", get(f, "window.peakMB")); });
  line("bytes per problem (peak growth / problems)", "about 2.4 KB", "<=600 B", [&](const Figures& f) {
    return text("%.0f B", get(f, "scan.bytesPerProblem"));
  });
  line("  in the window (with its list rows)", "", "", [&](const Figures& f) {
    return text("%.0f B", get(f, "window.bytesPerProblem"));
  });
  line("whole-registry export: time, peak", "805 MB", "<=120 MB", [&](const Figures& f) {
    return text("%.2fs %.0f MB", get(f, "export.seconds"), get(f, "export.peakMB"));
  });
  line("  .reg file", "250 MB", "", [&](const Figures& f) { return text("%.0f MB", get(f, "export.fileMB")); });
  line("import into an empty store: time, peak", "752 MB", "<=120 MB", [&](const Figures& f) {
    return text("%.2fs %.0f MB", get(f, "import.seconds"), get(f, "import.peakMB"));
  });
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> folders;
  std::string part;
  std::string scratch;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--machine") folders.push_back(argv[i + 1]);
    else if (arg == "--part") part = argv[i + 1];
    else if (arg == "--scratch") scratch = argv[i + 1];
  }
  if (folders.empty() || argc % 2 == 0) {
    std::fprintf(stderr, "Usage: ScaleBench --machine DIR [--machine DIR]...\n");
    return 2;
  }
  if (!part.empty()) return RunPart(part, folders[0], scratch);
  return Drive(folders);
}
