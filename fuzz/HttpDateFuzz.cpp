// HTTP dates ("Last-Modified" values).

#include <cstdint>
#include <string>

#include "platform/net/Http.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  win::FileTime time{};
  win::ParseHttpDate(std::string(reinterpret_cast<const char*>(data), size), time);
  return 0;
}
