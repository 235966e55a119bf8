// The machine file list (files.txt): a machine built from it, then removed.

#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzFolder.h"
#include "platform/machine/MachineBuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = fuzz::TemporaryFolder("files");
  static const win::MachineRecipe sample = win::SampleMachineRecipe();
  win::MachineRecipe recipe;
  recipe.configText = sample.configText;
  recipe.fileList.assign(reinterpret_cast<const char*>(data), size);
  std::string error;
  win::CreateMachine(folder, recipe, error);
  std::filesystem::remove_all(folder);
  return 0;
}
