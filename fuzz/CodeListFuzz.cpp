// Block ActiveX's "Code" list: its rows; locking every row then unlocking
// them leaves none locked.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FuzzMachine.h"
#include "platform/FileSystem.h"
#include "recovery/UnitMalignantActiveX.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  const std::string path = recovery::ServerListPath(recovery::kCodeFileName);
  if (!win::WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size))) return 0;
  std::vector<recovery::MalignantRow> rows = recovery::LoadMalignantRows();
  for (recovery::MalignantRow& row : rows) row.Checked = true;
  recovery::LockRows(rows, nullptr);
  for (const recovery::MalignantRow& row : recovery::LoadMalignantRows())
    if (recovery::IsWellFormedClsid(row.Clsid) != row.Locked) std::abort();
  recovery::UnlockRows(rows, nullptr);
  for (const recovery::MalignantRow& row : recovery::LoadMalignantRows())
    if (row.Locked) std::abort();
  return 0;
}
