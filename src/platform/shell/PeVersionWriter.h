#pragma once
// A small writer of PE files that carry version resources: headers, one
// ".rsrc" section and the VS_VERSIONINFO blocks. Enough for the sample
// machine and the tests; FileVersion reads them back.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace win {

struct PeVersionSpec {
  bool pe32Plus = false;    // PE32+ (64-bit) headers instead of PE32
  bool withResource = true; // false: a PE without any resource
  std::uint16_t fileVersion[4] = {0, 0, 0, 0};
  std::uint16_t productVersion[4] = {0, 0, 0, 0};
  // Translation table entries (language, code page); empty: no VarFileInfo.
  std::vector<std::pair<std::uint16_t, std::uint16_t>> translations;
  // Name of the one string table ("040904b0"); empty: that of the first
  // translation, else "040904b0".
  std::string stringTable;
  // Version texts in order (UTF-8); none: no StringFileInfo.
  std::vector<std::pair<std::string, std::string>> strings;
};

// The VS_VERSIONINFO block alone.
std::vector<std::uint8_t> VersionResourceBytes(const PeVersionSpec& spec);

// The bytes of a whole PE file.
std::vector<std::uint8_t> PeFileBytes(const PeVersionSpec& spec);

// One version resource of a PE file: its name id, its language and its block.
struct PeResource {
  std::uint32_t id = 1;
  std::uint16_t language = 0x0409;
  std::vector<std::uint8_t> block;
};
// A PE file with these version resources (none: no resource section).
std::vector<std::uint8_t> PeFileBytesWith(const std::vector<PeResource>& resources, bool pe32Plus);

// Writes the file at a Windows path of the current machine.
bool WritePeFile(const std::string& path, const PeVersionSpec& spec);

// The file-list form: "1.2.3.4" then ";"-separated parts: "tr=LLLLCCCC"
// (hex, repeatable), "table=LLLLCCCC", "pe32+", and "Key=Text" (texts hold
// no ";"). The product version is the file version. None for bad text.
std::optional<PeVersionSpec> ParsePeVersionSpec(const std::string& text);

}  // namespace win
