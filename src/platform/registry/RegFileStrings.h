#pragma once
// String data in hex lists of .reg files. hex(1), hex(2) and hex(7) lists of
// a REGEDIT4 file are ANSI bytes, those of a version 5 file UTF-16LE; regedit
// adds a terminator when the last character is not zero. The store keeps
// every string as UTF-16LE.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win::regfile {

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
bool IsStringType(DWORD type);
// The data a string-typed hex list stands for.
std::vector<std::uint8_t> StringListData(bool ansi, const std::vector<std::uint8_t>& list,
                                         unsigned codePage);
// The hex list that reads back (through StringListData) as exactly `data`;
// none when no list does.
std::optional<std::vector<std::uint8_t>> StringDataList(bool ansi,
                                                        const std::vector<std::uint8_t>& data,
                                                        unsigned codePage);

// The hex list to write for string data: the one StringDataList gives, or
// for data without its terminator the one that reads back with the
// terminator regedit adds (which counts as the same data); none when no
// list brings the text back.
std::optional<std::vector<std::uint8_t>> StringHexList(bool ansi, const std::vector<std::uint8_t>& data,
                                                       unsigned codePage);
// True when `read` is string data `meant` as a hex list brings it back:
// the same bytes, or data without a terminator with the one regedit adds.
bool SameStringData(const std::vector<std::uint8_t>& meant, const std::vector<std::uint8_t>& read);

// Appends UTF-8 text as UTF-16LE (no terminator); quick for ASCII, which
// most .reg text is.
void AppendUtf16Le(std::vector<std::uint8_t>& out, std::string_view text);

}  // namespace win::regfile
