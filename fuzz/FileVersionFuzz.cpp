// File version resources of a file of any bytes: size, block and the usual
// queries; every value found lies inside the block.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/shell/FileVersion.h"

namespace {

void Query(const std::vector<std::uint8_t>& block, const std::string& subBlock) {
  const void* buffer = nullptr;
  unsigned len = 0;
  if (!win::VerQueryValue(block.data(), subBlock, &buffer, &len)) return;
  const auto* at = static_cast<const std::uint8_t*>(buffer);
  if (at < block.data() || len > block.size() || at - block.data() > static_cast<std::ptrdiff_t>(block.size() - len))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SampleMachine();
  const char* const path = "C:\\fuzz.exe";
  if (!win::WriteFileBytes(path, std::vector<std::uint8_t>(data, data + size))) return 0;
  win::DWORD handle = 1;
  const win::DWORD length = win::GetFileVersionInfoSize(path, &handle);
  if (length == 0) return 0;
  std::vector<std::uint8_t> block(length);
  if (win::GetFileVersionInfo(path, handle, length - 1, block.data())) std::abort();
  if (!win::GetFileVersionInfo(path, handle, length, block.data())) std::abort();
  Query(block, "\\");
  Query(block, "\\VarFileInfo\\Translation");
  std::vector<std::string> tables = {"040904b0", "040904E4"};
  const void* buffer = nullptr;
  unsigned len = 0;
  if (win::VerQueryValue(block.data(), "\\VarFileInfo\\Translation", &buffer, &len)) {
    const auto* words = static_cast<const std::uint8_t*>(buffer);
    for (unsigned i = 0; i + 4 <= len && i < 64; i += 4) {
      char table[9];
      std::snprintf(table, sizeof table, "%04x%04x", words[i] | (words[i + 1] << 8), words[i + 2] | (words[i + 3] << 8));
      tables.push_back(table);
    }
  }
  for (const std::string& table : tables) {
    Query(block, "\\StringFileInfo\\" + table);
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "ProductName", "ProductVersion"})
      Query(block, "\\\\StringFileInfo\\" + table + "\\" + name);
  }
  return 0;
}
