#pragma once
// String data in REGEDIT4 files. The 9x registry editor writes REG_EXPAND_SZ
// and REG_MULTI_SZ data as hex(2)/hex(7) lists of ANSI bytes; the store keeps
// every string as UTF-16LE. Lists that hold UTF-16LE already (as newer writers
// put them even under a REGEDIT4 header) are told apart by their zero bytes:
// ANSI text has a zero only where a string ends, never two in a row except
// the final pair of a REG_MULTI_SZ.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/WinTypes.h"

namespace win::regfile {

// True when hex(2) / hex(7) bytes of a REGEDIT4 file are ANSI strings.
bool LooksLikeAnsiStrings(DWORD type, const std::vector<std::uint8_t>& data);
// The UTF-16LE form the store keeps for ANSI string bytes.
std::vector<std::uint8_t> AnsiStringsToUtf16(DWORD type, const std::vector<std::uint8_t>& data,
                                             unsigned codePage);
// ANSI bytes that read back (through the two functions above) as exactly
// `data`; none when the data is no clean string list or holds characters the
// code page cannot carry.
std::optional<std::vector<std::uint8_t>> Utf16StringsToAnsi(DWORD type,
                                                            const std::vector<std::uint8_t>& data,
                                                            unsigned codePage);

// Appends UTF-8 text as UTF-16LE (no terminator); quick for ASCII, which
// most .reg text is.
void AppendUtf16Le(std::vector<std::uint8_t>& out, std::string_view text);

}  // namespace win::regfile
