#pragma once
// A temporary folder of this process for a fuzz target.

#include <unistd.h>

#include <filesystem>
#include <string>

namespace fuzz {

inline std::string TemporaryFolder(const char* name) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / (std::string("fw-fuzz-") + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  return folder.string();
}

}  // namespace fuzz
