#pragma once
// Little-endian words appended to or set in a byte buffer (file writers).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace win::le {

inline void PutU16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutU16(out, value & 0xFFFFu);
  PutU16(out, value >> 16);
}

inline void PutU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  PutU32(out, static_cast<std::uint32_t>(value));
  PutU32(out, static_cast<std::uint32_t>(value >> 32));
}

inline void SetU16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void SetU32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
  SetU16(out, at, value & 0xFFFFu);
  SetU16(out, at + 2, value >> 16);
}

}  // namespace win::le
