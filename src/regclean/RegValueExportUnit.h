#pragma once
// Registry values as .reg text lines that "Regedit /s" reads back: the key
// line "[root\subkey]" and one line per value, never wrapped. Used by the
// repair backup and by the add-on manager's backups.

#include <cstdint>
#include <string>
#include <vector>

namespace regclean {

// The first line of the .reg files the program writes, by PlatformCode:
// "REGEDIT4" (9x), "Windows Registry Editor Version 5.00" (NT), else empty.
std::string RegFileHeaderLine();

// Appends the key line and the value line of the value `valueName` (the
// real name; empty = the unnamed value, written "@") under the key
// `keyPath` (root name first), as they are now. Nothing when the key or the
// value does not exist.
void ExportRegValue(const std::string& keyPath, const std::string& valueName,
                    std::vector<std::string>& lines);
// Appends the key line of `keyPath` with every value of the key, then each
// subkey the same way, depth first. Nothing when the key does not exist.
void ExportRegKey(const std::string& keyPath, std::vector<std::string>& lines);

// The value line for raw registry data: "name"= or @= followed by the data
// in the form its type takes ("text", dword:, hex:, hex(N):).
std::string FormatRegValueLine(const std::string& valueName, std::uint32_t type,
                               const std::vector<std::uint8_t>& data);

// One character in the machine's ANSI code page (one or two bytes) as the
// two bytes of its first UTF-16 code unit, low byte first: "LL,HH,".
std::string DbcsCharToRegHex(const std::string& ansiCharacter);

// The bytes of a .reg file holding the lines, each ended by CR LF: UTF-16LE
// with a byte-order mark under the version 5 header, else the ANSI code page.
std::vector<std::uint8_t> RegLinesToFileBytes(const std::vector<std::string>& lines);
// True when "Regedit /s" reads that file back as written: the first line is
// a header it knows (not the empty one), and an ANSI file's code page holds
// every character.
bool RegLinesReadBackAsWritten(const std::vector<std::string>& lines);

}  // namespace regclean
