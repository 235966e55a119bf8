// The startup manager's line files: the same bytes as "startup.dat",
// "removestartup.dat" and "del.txt", listed with the rows' details opened;
// the lines written back read back the same. The machine's run keys go
// first, so that each run lists little more than what the files hold.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"
#include "platform/registry/Registry.h"
#include "tools/StartupManagerUnit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  static tools::TStartupManager* const manager = [] {
    for (win::HKEY root : {win::HKEY_LOCAL_MACHINE, win::HKEY_CURRENT_USER}) {
      win::TRegistry registry;
      registry.SetRootKey(root);
      registry.DeleteKey("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
    static tools::TStartupManager prepared;
    prepared.Prepare();
    return &prepared;
  }();
  const std::vector<std::uint8_t> bytes(data, data + size);
  for (const char* name : {tools::kStartupFileName, tools::kRemoveStartupFileName, tools::kDelFileName})
    if (!win::WriteFileBytes(tools::StartupBackupPath(name), bytes)) return 0;
  manager->RefreshStartupList();
  for (int row = static_cast<int>(manager->Rows().size()) - 1; row >= 0; --row) manager->ToggleEntryDetails(row);
  manager->ListRemovedEntries();

  const std::string path = tools::StartupBackupPath(tools::kStartupFileName);
  std::vector<std::string> lines;
  if (!win::ReadLineFile(path, lines)) std::abort();
  if (!win::WriteLineFile(path, lines)) return 0;  // a text the code page cannot hold again
  std::vector<std::string> again;
  if (!win::ReadLineFile(path, again) || again != lines) std::abort();
  return 0;
}
