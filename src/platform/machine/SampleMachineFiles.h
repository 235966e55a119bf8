#pragma once
// The files of the built-in sample machine (resources/machine/), compiled into
// the program by the build (cmake/EmbedFiles.cmake).

#include <cstddef>

namespace win {

struct EmbeddedFile {
  const char* name;            // file name, no folder
  const unsigned char* data;   // followed by one zero byte
  std::size_t size;            // without that zero byte
};

extern const EmbeddedFile kSampleMachineFiles[];
extern const std::size_t kSampleMachineFileCount;

}  // namespace win
