#pragma once
// Registry values as .reg text lines that "Regedit /s" reads back: the key
// line "[root\subkey]" and one line per value, never wrapped. Used by the
// repair backup and by the add-on manager's backups.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry/RegFile.h"

namespace regclean {

// The first line of the .reg files the program writes, by PlatformCode:
// "REGEDIT4" (9x), "Windows Registry Editor Version 5.00" (NT), else empty.
std::string RegFileHeaderLine();
// The form of those files: version 5 on NT, else REGEDIT4 (ANSI).
win::RegFileFormat RegBackupFormat();

// The key block of the value `valueName` (the real name; empty = the
// unnamed value) under the key `keyPath` (root name first), as it is now:
// the key line's path and the one value. False when the key or the value
// does not exist.
bool ReadRegValueBlock(const std::string& keyPath, const std::string& valueName, win::RegFileKey& block);
// The blocks of a key with every value, then each subkey the same way,
// depth first. None when the key does not exist.
void ReadRegKeyBlocks(const std::string& keyPath, std::vector<win::RegFileKey>& blocks);
// What a file of RegBackupFormat() cannot hold of a block (RegFileCannotHold
// in the machine's code page); empty when it holds it all.
std::string RegBlockRefusal(const win::RegFileKey& block);
// Appends a block's key line "[path]" and one line per value.
void AppendRegBlockLines(const win::RegFileKey& block, std::vector<std::string>& lines);

// ReadRegValueBlock and ReadRegKeyBlocks as lines; nothing when the key or
// the value does not exist or a file cannot hold all of it.
void ExportRegValue(const std::string& keyPath, const std::string& valueName,
                    std::vector<std::string>& lines);
void ExportRegKey(const std::string& keyPath, std::vector<std::string>& lines);

// The value line for raw registry data: "name"= or @= followed by the data
// in the form its type takes ("text", dword:, hex:, hex(N):).
std::string FormatRegValueLine(const std::string& valueName, std::uint32_t type,
                               const std::vector<std::uint8_t>& data);

// One character in the machine's ANSI code page (one or two bytes) as the
// two bytes of its first UTF-16 code unit, low byte first: "LL,HH,".
std::string DbcsCharToRegHex(const std::string& ansiCharacter);

// The bytes of .reg file lines, each ended by CR LF: UTF-16LE under the
// version 5 header (with the byte-order mark when they start the file),
// else the ANSI code page.
std::vector<std::uint8_t> RegLinesToFileBytes(const std::vector<std::string>& lines, bool fileStart = true);

}  // namespace regclean
