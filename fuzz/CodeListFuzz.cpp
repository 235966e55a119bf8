// Block ActiveX's "Code" list: its rows; after "Lock" of every row, a row is
// locked exactly when it did not fail (a malformed identifier, or a flags
// value that is no DWORD, fails), and after "Unlock" none is locked.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "recovery/UnitMalignantActiveX.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  const std::string path = recovery::ServerListPath(recovery::kCodeFileName);
  if (!win::WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size))) return 0;
  std::vector<recovery::MalignantRow> rows = recovery::LoadMalignantRows();
  for (recovery::MalignantRow& row : rows) row.Checked = true;
  const int failed = recovery::LockRows(rows, nullptr);
  int notLocked = 0;
  for (const recovery::MalignantRow& row : recovery::LoadMalignantRows()) {
    if (row.Locked && !recovery::IsWellFormedClsid(row.Clsid)) std::abort();
    if (!row.Locked) ++notLocked;
  }
  if (failed != notLocked) std::abort();
  recovery::UnlockRows(rows, nullptr);
  for (const recovery::MalignantRow& row : recovery::LoadMalignantRows())
    if (row.Locked) std::abort();
  return 0;
}
