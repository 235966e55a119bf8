#pragma once
// The text of a .reg file as the importer reads it: UTF-16LE (with or
// without BOM), UTF-8 with BOM, or ANSI in the code page (0 = the machine's).

#include <cstdint>
#include <string>
#include <vector>

namespace win {

std::string DecodeRegFileText(const std::vector<std::uint8_t>& bytes, unsigned codePage = 0);

}  // namespace win
