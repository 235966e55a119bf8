#pragma once
// A small writer of shell link files (".lnk"): the header, a LinkInfo with
// the target's local base path (or network share), and the string data.
// Enough for the sample machine and the tests; ShellLink reads them back.

#include <cstdint>
#include <string>
#include <vector>

namespace win {

struct ShellLinkSpec {
  // "C:\Program Files\App\app.exe": written as the local base path of the
  // LinkInfo. "\\server\share\app.exe": written as a network share with the
  // rest as the common path suffix. Empty: no LinkInfo.
  std::string target;
  std::string relativePath;      // relative to the link's folder
  std::string workingDirectory;
  std::string arguments;
  std::string description;
  // Attribute word of the target as it was when the link was made.
  std::uint32_t targetAttributes = 0x20;
};

// The bytes of a shell link file.
std::vector<std::uint8_t> ShellLinkBytes(const ShellLinkSpec& spec);

// Writes the link file at a Windows path of the current machine.
bool WriteShellLink(const std::string& path, const ShellLinkSpec& spec);

}  // namespace win
