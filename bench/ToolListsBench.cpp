// Times showing the Uninstaller Manager's list and the Startup Manager's list
// on a large generated machine, with a few hundred more Run values: loading,
// sorting and filling the real window (offscreen), each part apart and the
// whole as a click runs it.
//
// ToolListsBench [--machine DIR] [--keys N] [--rounds R]
//   DIR holding a machine is reused; otherwise a machine of N generated keys
//   is made there (or in a temporary folder that is removed afterwards).

#include <QApplication>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ScanBenchSupport.h"
#include "platform/registry/Registry.h"
#include "tools/UninstallItemUnit.h"
#include "tools/gui/InstalledManageForm.h"
#include "tools/gui/StartupManagerForm.h"

namespace {

using bench::BestOf;

const char* const kRun = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Programs of the sample machine (with version resources and icons) and
// programs that are not there, in turn.
const char* const kRunTargets[] = {
    "\"C:\\Program Files\\Harbor Tone\\TuneBox\\tbhelper.exe\" /startup",
    "C:\\Program Files\\PackIt\\pkupdate.exe /check",
    "\"C:\\Program Files\\Lumina Works\\PhotoPad\\pptray.exe\" -hide",
    "\"C:\\Program Files\\Gone Soft\\Missing\\missing.exe\" /tray",
    "%SystemRoot%\\system32\\ctfmon.exe",
};

// Brings the Run values of both roots up to `wanted` in all.
int AddRunValues(int wanted) {
  int count = 0;
  for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
    win::TRegistry registry;
    registry.SetRootKey(root);
    if (!registry.OpenKey(kRun, true)) continue;
    std::vector<std::string> names;
    registry.GetValueNames(names);
    count += static_cast<int>(names.size());
  }
  for (int i = 0; count < wanted; ++i, ++count) {
    win::TRegistry registry;
    registry.SetRootKey(i % 3 == 0 ? win::HKEY_CURRENT_USER : win::HKEY_LOCAL_MACHINE);
    if (!registry.OpenKey(kRun, true)) break;
    const std::string name = "Bench Helper " + std::to_string(i);
    if (registry.ValueExists(name)) continue;
    registry.WriteString(name, kRunTargets[i % (sizeof kRunTargets / sizeof kRunTargets[0])]);
  }
  return count;
}

void Line(const char* what, double seconds, const std::string& note = {}) {
  std::printf("  %-34s %8.3f s  %s\n", what, seconds, note.c_str());
}

bool Run(const std::string& folder, std::uint64_t keys, int rounds) {
  const bench::BenchMachine machine(folder, keys);
  if (!machine.Ok()) {
    std::fprintf(stderr, "ToolListsBench: %s\n", machine.Error().c_str());
    return false;
  }
  const int runValues = AddRunValues(400);

  std::printf("Uninstaller Manager\n");
  {
    tools::TUninstallContents contents;
    const double load = BestOf(rounds, [&] { tools::LoadInstalledPrograms(contents, false); });
    Line("load", load, std::to_string(contents.Count()) + " programs");
    for (int direction : {0, 1}) {
      tools::TUninstallContents sorted;
      double sort = 1e300;
      for (int i = 0; i < rounds; ++i) {
        tools::LoadInstalledPrograms(sorted, false);
        sort = std::min(sort, BestOf(1, [&] { tools::SortUninstallContents(sorted, 0, direction); }));
      }
      Line(direction == 0 ? "sort by name, ascending" : "sort by name, descending", sort);
    }
    TInstalledManageForm form;
    form.resize(700, 520);
    form.show();
    const double fill = BestOf(rounds, [&] { form.FillInstalledList(); });
    Line("fill with icons", fill, std::to_string(form.ListInstalled->topLevelItemCount()) + " rows");
    const double whole = BestOf(rounds, [&] { form.TbtRefreshClick(); });
    Line("Refresh: load + sort + fill", whole);
  }

  std::printf("Startup Manager\n");
  {
    TStartupManagerForm form;
    form.resize(700, 520);
    form.show();
    const double load = BestOf(rounds, [&] { form.Engine().RefreshStartupList(); });
    Line("load + sort", load,
         std::to_string(form.Engine().Rows().size()) + " rows, " + std::to_string(runValues) +
             " Run values");
    const double whole = BestOf(rounds, [&] { form.FormShow(); });
    Line("show: load + sort + fill", whole,
         std::to_string(form.StartupListView->topLevelItemCount()) + " rows");
    Line("fill (show - load)", whole - load);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  bench::BenchArgs args;
  if (!bench::ParseBenchArgs(argc, argv, "ToolListsBench [--machine DIR] [--keys N] [--rounds R]", true,
                             0, args))
    return 2;
  return Run(args.folder, args.keys, args.rounds) ? 0 : 1;
}
