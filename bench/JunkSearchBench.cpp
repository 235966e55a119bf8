// Times the Junk File Cleaner's search with the default types over a
// generated tree (about 200,000 empty or sparse files in 10,000 folders on
// drive C: of a machine of its own) against GNU find with the same masks,
// and checks that both find the same files with the same sizes. Runs: the
// engine with no pump, the engine with the Qt pump (offscreen), and the real
// window (its view and the Qt pump); each the best of R rounds, every round
// timing find and the three in turn.
//
// JunkSearchBench [--machine DIR] [--rounds R] [--folders N] [--files-per-folder M]
//   DIR holding a machine is reused; otherwise one is made there (or in a
//   temporary folder that is removed afterwards).

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "platform/machine/Machine.h"
#include "platform/machine/MachineBuilder.h"
#include "shell/MessagePump.h"
#include "shell/PublicFunctionUnit.h"
#include "shell/gui/QtMessagePump.h"
#include "tools/Persrec.h"
#include "tools/SysDiskCleanerUnit.h"
#include "tools/gui/SysDiskCleanerForm.h"

namespace {

using bench::BestOf;
using Finding = std::pair<std::string, std::uint64_t>;  // Windows path, size

const char* const kConfig =
    "[Machine]\nOSMajor=5\nOSMinor=1\nPlatformId=2\n[Drives]\nC=fixed,drives/C\n";

// Makes the tree under the drive's host folder: `folders` folders in two
// levels, `perFolder` files in each; about 2% of the names are junk of the
// default types, some more are near misses. A few files are sparse.
bool MakeTree(const std::string& driveHost, int folders, int perFolder) {
  std::mt19937 rng(20261210);
  const auto below = [&rng](unsigned n) { return static_cast<unsigned>(rng() % n); };
  const char* const junk[] = {"a.tmp", "~wrd0001.tmp", "x.$$$", "setup.log", "old.bak", "core.dmp",
                              "help.gid", "thumbs.db", "readme.txt", "list.chk", "n.~*", "f.^",
                              "file0001._dd", "twain001.mtx", "old.old", "w.wri"};
  const char* const nearMiss[] = {"A.TMP", "notes.tmpl", "Thumbs.db", "README.TXT", "x.bak2", "ffastun.ffa",
                                  "a.tar.gz.tmpx", "chklist.ms"};
  const char* const plain[] = {".doc", ".txt", ".jpg", ".dll", ".exe", ".htm", ".ini", ".png"};
  const int top = std::max(1, folders / 100);
  int made = 0;
  for (int t = 0; t < top && made < folders; ++t) {
    const std::string topFolder = driveHost + "/tree/dir" + std::to_string(t);
    for (int s = 0; s < 100 && made < folders; ++s, ++made) {
      const std::string folder = topFolder + "/sub" + std::to_string(s);
      std::error_code ec;
      std::filesystem::create_directories(folder, ec);
      if (ec) return false;
      for (int f = 0; f < perFolder; ++f) {
        const unsigned pick = below(1000);
        std::string name;
        if (pick < 20) name = std::to_string(f) + junk[below(sizeof junk / sizeof junk[0])];
        else if (pick < 30) name = std::to_string(f) + nearMiss[below(sizeof nearMiss / sizeof nearMiss[0])];
        else name = "file" + std::to_string(f) + plain[below(sizeof plain / sizeof plain[0])];
        std::ofstream file(folder + "/" + name, std::ios::binary);
        if (!file) return false;
        if (below(50) == 0) {
          file.close();
          std::filesystem::resize_file(folder + "/" + name, 1 + below(1u << 24), ec);
        }
      }
    }
  }
  return true;
}

// A find -name pattern for a literal text.
std::string FindEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

// The find expression of the ticked types as the search reads them: "*.ext"
// matches the extension from the last dot, a mask without "*" the whole
// name, anything else nothing.
std::vector<std::string> FindNames(const std::vector<tools::TJunkFileType>& types) {
  std::set<std::string> names;
  for (const auto& type : types) {
    const std::string& mask = type.Mask;
    if (!type.Checked) continue;
    if (mask.size() >= 2 && mask[0] == '*' && mask[1] == '.') {
      if (mask.find('.', 2) == std::string::npos) names.insert("*" + FindEscaped(mask.substr(1)));
    } else if (mask.find('*') == std::string::npos) {
      names.insert(FindEscaped(mask));
    }
  }
  return {names.begin(), names.end()};
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string FindCommand(const std::string& driveHost, const std::vector<std::string>& names,
                        const std::string& output) {
  std::string command = "find " + ShellQuoted(driveHost) + " -type f \\(";
  for (std::size_t i = 0; i < names.size(); ++i)
    command += std::string(i == 0 ? "" : " -o") + " -name " + ShellQuoted(names[i]);
  return command + " \\) -printf '%s %p\\n' > " + ShellQuoted(output);
}

std::set<Finding> ReadFindOutput(const std::string& output, const std::string& driveHost) {
  std::set<Finding> findings;
  std::ifstream in(output);
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t blank = line.find(' ');
    std::string path = "C:" + line.substr(blank + 1 + driveHost.size());
    std::replace(path.begin(), path.end(), '/', '\\');
    findings.insert({path, std::strtoull(line.c_str(), nullptr, 10)});
  }
  return findings;
}

std::set<Finding> Found(const tools::TSysDiskCleaner& cleaner) {
  std::set<Finding> findings;
  for (const auto& file : cleaner.Findings) findings.insert({file.FullPath, file.Size});
  return findings;
}

// One search as Next starts it, on the cleaner's ticked drives.
void Search(tools::TSysDiskCleaner& cleaner) {
  JunkCleanerState = tools::kJunkSearching;
  cleaner.ScanDrives();
  JunkCleanerState = tools::kJunkSearched;
}

struct Args {
  std::string folder;
  int rounds = 3;
  int folders = 10000;
  int perFolder = 20;
};

bool ParseArgs(int argc, char** argv, Args& args) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--machine") args.folder = argv[i + 1];
    else if (arg == "--rounds") args.rounds = std::max(1, std::atoi(argv[i + 1]));
    else if (arg == "--folders") args.folders = std::max(1, std::atoi(argv[i + 1]));
    else if (arg == "--files-per-folder") args.perFolder = std::max(1, std::atoi(argv[i + 1]));
    else return false;
  }
  return argc % 2 == 1;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "JunkSearchBench: %s\n", what.c_str());
  return false;
}

bool Run(const Args& args) {
  bench::TemporaryFolder temporary;
  std::string folder = args.folder;
  if (folder.empty()) {
    if (!temporary.Make()) return Fail("cannot make a temporary folder");
    folder = temporary.Path() + "/machine";
  }
  std::string error;
  if (!win::HoldsMachine(folder)) {
    std::printf("Making %d folders of %d files at %s ...\n", args.folders, args.perFolder, folder.c_str());
    const auto tree = [&args](const std::string& made, std::string& why) {
      if (MakeTree(made + "/drives/C", args.folders, args.perFolder)) return true;
      why = "cannot make the tree";
      return false;
    };
    if (!win::CreateMachineWith(folder, {kConfig, "REGEDIT4\n", ""}, tree, error)) return Fail(error);
  }
  const std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  if (!machine) return Fail(error);
  const win::CurrentMachineScope current(*machine);
  const std::string driveHost = folder + "/drives/C";
  const std::string output = folder + "/find-output.txt";

  tools::JunkCleanerView noView;
  tools::TSysDiskCleaner engine(noView);
  engine.FormCreate();
  engine.Types = tools::DefaultJunkTypes();
  engine.FillScanList();
  if (engine.ScanRows.size() != 1) return Fail("drive C: is not listed");

  const std::string command = FindCommand(driveHost, FindNames(engine.Types), output);
  std::printf("find: %s\n", command.c_str());
  if (std::system(command.c_str()) != 0) return Fail("find failed");
  const std::set<Finding> expected = ReadFindOutput(output, driveHost);

  std::unique_ptr<TSysDiskCleanerForm> form(CreateSysDiskCleanerForm(nullptr));
  form->show();
  form->Cleaner.Types = tools::DefaultJunkTypes();
  form->Cleaner.FillScanList();
  struct Timed {
    const char* what;
    tools::TSysDiskCleaner& cleaner;
    bool qtPump;
    double best = 1e300;
    bool equal = true;
  };
  Timed runs[] = {{"search, no pump", engine, false},
                  {"search, Qt pump", engine, true},
                  {"search in the window, Qt pump", form->Cleaner, true}};
  const auto pump = [](const Timed& run) {
    if (run.qtPump) InstallQtMessagePump();
    else SetMessagePump({});
  };
  for (const Timed& run : runs) {
    pump(run);
    Search(run.cleaner);
  }
  // Each round times find and then each search, so that a change in the
  // machine's load falls on all of them alike.
  double findSeconds = 1e300;
  for (int round = 0; round < args.rounds; ++round) {
    findSeconds = std::min(findSeconds, BestOf(1, [&] { (void)std::system(command.c_str()); }));
    for (Timed& run : runs) {
      pump(run);
      run.best = std::min(run.best, BestOf(1, [&] { Search(run.cleaner); }));
      run.equal = run.equal && Found(run.cleaner) == expected;
    }
  }
  std::printf("  %-36s %8.3f s  %zu findings\n", "find", findSeconds, expected.size());
  bool same = true;
  for (const Timed& run : runs) {
    same = same && run.equal;
    std::printf("  %-36s %8.3f s  %zu findings%s  %.2fx find\n", run.what, run.best, run.cleaner.Findings.size(),
                run.equal ? "" : " DIFFERENT FROM find", run.best / findSeconds);
  }
  SetMessagePump({});
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  Args args;
  if (!ParseArgs(argc, argv, args)) {
    std::fprintf(stderr,
                 "Usage: JunkSearchBench [--machine DIR] [--rounds R] [--folders N] [--files-per-folder M]\n");
    return 2;
  }
  return Run(args) ? 0 : 1;
}
