// The registry cleaner at scale, every figure side by side in one run and each
// against its floor: the first walk through the registry class (which loads
// the image) and the warm walk against a direct read of the tables; the full
// scan against the walk plus the stat floor (one statx of each distinct host
// path the scan asks about, listed by a scan of its own); the scan in the real
// window (offscreen) against the headless scan; start-up to the first window
// against the sample machine's, after a clean end and after one that left no
// stamp of a sound registry file; and the peak memory of the scan, of a
// whole-registry export and of its import. Each part runs in a process of its
// own, so that its time starts cold and its peak memory is its own.
//
// ScaleBench --machine DIR [--machine DIR]...
//   Each DIR holding a machine is used as it is; otherwise one of 400,000
//   generated keys is made there ("fwmachine generate DIR --missing 1" makes
//   one with few problems).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ScanBenchSupport.h"
#include "platform/files/HostFiles.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/StoreCheckStamp.h"
#include "regclean/gui/ScanPageUnit.h"
#include "shell/Dialogs.h"
#include "shell/ProgramStartUnit.h"
#include "shell/gui/DM.h"
#include "shell/gui/MainUnit.h"
#include "shell/gui/ProgramStartGui.h"
#include "shell/gui/QtDialogs.h"
#include "shell/gui/QtMessagePump.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long PeakMegabytes() { return PeakKilobytes() / 1024; }

// What a part prints for the driver: name=value lines.
void Put(const char* name, double value) { std::printf("%s=%.6f\n", name, value); }

double Walk() {
  const auto start = Clock::now();
  win::TRegistry registry(win::KEY_READ);
  bench::WalkWholeRegistry(registry);
  return Since(start);
}

std::vector<int> EverySection() {
  std::vector<int> all;
  for (int section = 1; section <= regclean::kSectionCount; ++section) all.push_back(section);
  return all;
}

int AllSections() { return bench::ScanSections(EverySection()); }

// A full scan timed until its results are there, as the window shows them;
// freeing them (at the next scan, or the program's end) is timed apart.
void TimeFullScan(const std::function<void(int problems)>& withResults = {}) {
  const auto start = Clock::now();
  auto session = bench::ScanKeepingResults(EverySection());
  Put("seconds", Since(start));
  Put("problems", session->GetTotalProblemCount());
  if (withResults) withResults(session->GetTotalProblemCount());
  const auto freeing = Clock::now();
  session.reset();
  Put("freeSeconds", Since(freeing));
}

std::string PathListFile(const std::string& scratch, const std::string& folder) {
  return scratch + "/paths-" + fs::path(folder).filename().string() + ".txt";
}

// Time from the start of the part to the first window shown with its
// pending events done, through the program's own start-up.
int RunStartupPart(const std::string& folder, Clock::time_point start) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int argc = 1;
  char name[] = "ScaleBench";
  char* argv[] = {name, nullptr};
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  QtDialogs dialogs;
  std::string error;
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) {
    std::fprintf(stderr, "ScaleBench: %s\n", error.c_str());
    return 1;
  }
  win::SetCurrentMachine(machine.get());
  SetCurrentDialogs(&dialogs);
  InstallQtMessagePump();
  InstallQtTerminateHandler();
  SetProgramArguments({});
  QtStartupSteps steps(app);
  bool timed = false;
  QTimer watch;
  watch.setInterval(0);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    QWidget* window = steps.MainWindow();
    if (timed || window == nullptr || !window->isVisible()) return;
    timed = true;
    Put("seconds", Since(start));
    std::fflush(stdout);
    TerminateApplication();
  });
  watch.start();
  RunStartup(steps);
  SetCurrentDialogs(nullptr);
  win::SetCurrentMachine(nullptr);
  return timed ? 0 : 1;
}

int RunExchangePart(const std::string& part, const std::string& folder, const std::string& scratch) {
  std::string error;
  const std::string regFile = scratch + "/all.reg";
  const auto start = Clock::now();
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

// One part in this process.
int RunPart(const std::string& part, const std::string& folder, const std::string& scratch) {
  const auto partStart = Clock::now();
  if (part == "export" || part == "import") return RunExchangePart(part, folder, scratch);
  if (part == "startup") return RunStartupPart(folder, partStart);
  if (part == "uncleanstartup") {
    // As after a session that ended without closing the registry: no stamp.
    std::error_code ec;
    fs::remove(win::CheckStampPath(folder + "/registry.db"), ec);
    return RunStartupPart(folder, Clock::now());
  }
  if (part == "floor") {
    const std::vector<std::string> paths = bench::ReadPathList(PathListFile(scratch, folder));
    if (paths.empty()) return 1;
    std::size_t found = 0;
    Put("seconds", bench::StatFloor(paths, found));
    Put("paths", static_cast<double>(paths.size()));
    Put("found", static_cast<double>(found));
    return 0;
  }
  if (part == "direct") {
    Put("first", bench::DirectTableRead(folder));
    Put("seconds", std::min(bench::DirectTableRead(folder), bench::DirectTableRead(folder)));
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
    return 0;
  }
  if (part == "paths") {
    int problems = 0;
    const std::vector<std::string> paths = bench::HostPathsAskedBy([&] { problems = AllSections(); });
    Put("paths", static_cast<double>(paths.size()));
    Put("problems", problems);
    return bench::WritePathList(PathListFile(scratch, folder), paths) ? 0 : 1;
  }
  if (part == "scan") {
    // Cold: the scan loads the image, as the first scan of a run does.
    TimeFullScan();
    return 0;
  }
  Walk();  // the image loaded, as the walk it is held against
  // What the problems cost: the growth of the peak over the scan, an upper
  // bound (it includes what the scanners use while they run).
  const long peakBefore = PeakKilobytes();
  const auto putBytesPerProblem = [peakBefore](int problems) {
    if (problems > 0) Put("bytesPerProblem", (PeakKilobytes() - peakBefore) * 1024.0 / problems);
  };
  if (part == "warmscan") {
    TimeFullScan(putBytesPerProblem);
    return 0;
  }
  if (part == "window") {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "ScaleBench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Pending events are handled during the scan, as in the program.
    InstallQtMessagePump();
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
    const auto start = Clock::now();
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

std::string LoadText() {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) != 3) return "unknown";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f, %.2f, %.2f", load[0], load[1], load[2]);
  return buffer;
}

int Drive(const std::vector<std::string>& folders) {
  bench::TemporaryFolder scratch;
  if (!scratch.Make()) return 1;
  std::string error;
  const std::string sample = scratch.Path() + "/sample";
  if (!win::CreateMachine(sample, win::SampleMachineRecipe(), error)) {
    std::fprintf(stderr, "ScaleBench: the sample machine: %s\n", error.c_str());
    return 1;
  }
  std::printf("load average at the start: %s\n", LoadText().c_str());
  Figures sampleFigures;
  if (!RunChild("uncleanstartup", sample, scratch.Path(), sampleFigures) ||
      !RunChild("startup", sample, scratch.Path(), sampleFigures)) {
    std::fprintf(stderr, "ScaleBench: the start-up part failed on the sample machine\n");
    return 1;
  }
  std::vector<Figures> results;
  for (const std::string& folder : folders) {
    bench::TemporaryFolder unused;
    std::string ready = folder;
    if (!bench::ReadyMachineFolder(ready, win::kDefaultSyntheticKeys, unused, error)) {
      std::fprintf(stderr, "ScaleBench: %s\n", error.c_str());
      return 1;
    }
    Figures figures;
    for (const char* part : {"direct", "walk", "paths", "floor", "scan", "warmscan", "window", "uncleanstartup", "startup", "export",
                             "import"}) {
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

  std::printf("%-46s %-8s", "", "aim");
  for (const std::string& folder : folders) std::printf(" %30s", fs::path(folder).filename().c_str());
  std::printf("\n");
  const auto line = [&](const char* what, const char* aim, auto value) {
    std::printf("%-46s %-8s", what, aim);
    for (const Figures& f : results) std::printf(" %30s", value(f).c_str());
    std::printf("\n");
  };
  const auto text = [](const char* format, double a, double b = 0, double c = 0) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return std::string(buffer);
  };
  const auto get = [](const Figures& f, const char* name) {
    const auto it = f.find(name);
    return it == f.end() ? 0.0 : it->second;
  };
  line("problems found (headless / window)", "", [&](const Figures& f) {
    return text("%.0f / %.0f", get(f, "scan.problems"), get(f, "window.problems"));
  });
  line("direct read of the tables", "", [&](const Figures& f) { return text("%.2f s", get(f, "direct.seconds")); });
  line("first walk, loading the image / direct read", "<=1.5x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "walk.firstWalk"), get(f, "walk.firstWalk") / get(f, "direct.seconds"));
  });
  line("warm walk / direct read", "", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "walk.walk"), get(f, "walk.walk") / get(f, "direct.seconds"));
  });
  line("stat floor: distinct host paths (existing)", "", [&](const Figures& f) {
    return text("%.0f (%.0f)", get(f, "floor.paths"), get(f, "floor.found"));
  });
  line("stat floor: one statx of each", "", [&](const Figures& f) { return text("%.2f s", get(f, "floor.seconds")); });
  line("full scan, cold / (first walk + stat floor)", "<=3x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "scan.seconds"),
                get(f, "scan.seconds") / (get(f, "walk.firstWalk") + get(f, "floor.seconds")));
  });
  line("full scan, warm / (warm walk + stat floor)", "<=3x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "warmscan.seconds"),
                get(f, "warmscan.seconds") / (get(f, "walk.walk") + get(f, "floor.seconds")));
  });
  line("  freeing the cold scan's results", "", [&](const Figures& f) {
    return text("%.2fs", get(f, "scan.freeSeconds"));
  });
  line("scan in the window / warm headless scan", "<=1.2x", [&](const Figures& f) {
    return text("%.2fs = %.2fx", get(f, "window.seconds"), get(f, "window.seconds") / get(f, "warmscan.seconds"));
  });
  line("start-up to the first window / sample's", "<=2x", [&](const Figures& f) {
    return text("%.2fs/%.2fs = %.2fx", get(f, "startup.seconds"), get(sampleFigures, "startup.seconds"),
                get(f, "startup.seconds") / get(sampleFigures, "startup.seconds"));
  });
  line("  after an unclean end (every page checked)", "", [&](const Figures& f) {
    return text("%.2fs/%.2fs = %.2fx", get(f, "uncleanstartup.seconds"), get(sampleFigures, "uncleanstartup.seconds"),
                get(f, "uncleanstartup.seconds") / get(sampleFigures, "uncleanstartup.seconds"));
  });
  line("peak memory of the full scan (cold)", "", [&](const Figures& f) { return text("%.0f MB", get(f, "scan.peakMB")); });
  line("  after the walk alone", "", [&](const Figures& f) { return text("%.0f MB", get(f, "walk.peakAfterWalkMB")); });
  line("  of the scan in the window", "", [&](const Figures& f) { return text("%.0f MB", get(f, "window.peakMB")); });
  line("bytes per problem (peak growth / problems)", "", [&](const Figures& f) {
    return text("%.0f B", get(f, "warmscan.bytesPerProblem"));
  });
  line("  in the window (with its list rows)", "", [&](const Figures& f) {
    return text("%.0f B", get(f, "window.bytesPerProblem"));
  });
  line("whole-registry export: time, peak", "", [&](const Figures& f) {
    return text("%.2fs %.0f MB", get(f, "export.seconds"), get(f, "export.peakMB"));
  });
  line("  .reg file", "", [&](const Figures& f) { return text("%.0f MB", get(f, "export.fileMB")); });
  line("import into an empty store: time, peak", "", [&](const Figures& f) {
    return text("%.2fs %.0f MB", get(f, "import.seconds"), get(f, "import.peakMB"));
  });
  std::printf("load average at the end: %s\n", LoadText().c_str());
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
