#include "platform/shell/ShellLinkWriter.h"

#include "platform/files/FileSystem.h"
#include "platform/text/LittleEndian.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr std::uint32_t kHeaderSize = 0x4C;
constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// Link flags.
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kHasName = 0x4;
constexpr std::uint32_t kHasRelativePath = 0x8;
constexpr std::uint32_t kHasWorkingDir = 0x10;
constexpr std::uint32_t kHasArguments = 0x20;
constexpr std::uint32_t kIsUnicode = 0x80;

// LinkInfo flags.
constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLink = 0x2;

constexpr std::uint32_t kShowNormal = 1;
constexpr std::uint32_t kNetworkProviderLanman = 0x00020000;
constexpr std::uint32_t kValidNetType = 0x2;

using Bytes = std::vector<std::uint8_t>;

using le::PutU16;
using le::PutU32;
using le::SetU32;

void PutAnsiZ(Bytes& out, const std::string& text) {
  const std::string ansi = Utf8ToAnsi(text);
  out.insert(out.end(), ansi.begin(), ansi.end());
  out.push_back(0);
}

void PutUnicodeZ(Bytes& out, const std::string& text) {
  const Bytes wide = Utf8ToUtf16LeBytes(text, true);
  out.insert(out.end(), wide.begin(), wide.end());
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

bool IsNetworkPath(const std::string& path) { return path.rfind("\\\\", 0) == 0; }

// "\\server\share\dir\file" as "\\server\share" and "dir\file".
void SplitShare(const std::string& path, std::string& share, std::string& rest) {
  const std::size_t serverEnd = path.find('\\', 2);
  const std::size_t shareEnd = serverEnd == std::string::npos ? std::string::npos : path.find('\\', serverEnd + 1);
  share = path.substr(0, shareEnd);
  rest = shareEnd == std::string::npos ? std::string() : path.substr(shareEnd + 1);
}

unsigned DriveTypeOf(const std::string& path) {
  const unsigned type = path.size() >= 2 ? GetDriveType(path.substr(0, 2) + "\\") : DRIVE_NO_ROOT_DIR;
  return type == DRIVE_NO_ROOT_DIR || type == DRIVE_UNKNOWN ? DRIVE_FIXED : type;
}

// LinkInfo for a local path: a volume ID and the local base path; the
// Unicode copy only when the path holds characters beyond ASCII.
Bytes LocalLinkInfo(const std::string& path) {
  const bool unicode = !IsAscii(path);
  const std::uint32_t headerSize = unicode ? 0x24 : 0x1C;
  Bytes info(headerSize, 0);
  SetU32(info, 8, kVolumeIdAndLocalBasePath);

  SetU32(info, 12, static_cast<std::uint32_t>(info.size()));  // VolumeID
  PutU32(info, 0x11);              // size of the VolumeID with an empty label
  PutU32(info, DriveTypeOf(path));
  PutU32(info, 0x1C0FFEE5);        // drive serial number
  PutU32(info, 0x10);              // label offset
  info.push_back(0);

  SetU32(info, 16, static_cast<std::uint32_t>(info.size()));
  PutAnsiZ(info, path);
  SetU32(info, 24, static_cast<std::uint32_t>(info.size()));  // common path suffix
  info.push_back(0);
  if (unicode) {
    SetU32(info, 28, static_cast<std::uint32_t>(info.size()));
    PutUnicodeZ(info, path);
    SetU32(info, 32, static_cast<std::uint32_t>(info.size()));
    PutUnicodeZ(info, "");
  }
  SetU32(info, 0, static_cast<std::uint32_t>(info.size()));
  SetU32(info, 4, headerSize);
  return info;
}

// LinkInfo for a path on a network share.
Bytes NetworkLinkInfo(const std::string& path) {
  std::string share;
  std::string rest;
  SplitShare(path, share, rest);
  Bytes info(0x1C, 0);
  SetU32(info, 4, 0x1C);
  SetU32(info, 8, kCommonNetworkRelativeLink);

  const std::size_t link = info.size();
  SetU32(info, 20, static_cast<std::uint32_t>(link));
  PutU32(info, 0);  // size, set below
  PutU32(info, kValidNetType);
  PutU32(info, 0x14);  // net name offset
  PutU32(info, 0);     // no device name
  PutU32(info, kNetworkProviderLanman);
  PutAnsiZ(info, share);
  SetU32(info, link, static_cast<std::uint32_t>(info.size() - link));

  SetU32(info, 24, static_cast<std::uint32_t>(info.size()));
  PutAnsiZ(info, rest);
  SetU32(info, 0, static_cast<std::uint32_t>(info.size()));
  return info;
}

// A counted UTF-16 string; the count holds at most 65535 characters.
void PutStringData(Bytes& out, const std::string& text) {
  Bytes wide = Utf8ToUtf16LeBytes(text, false);
  if (wide.size() > 2 * 0xFFFFu) wide.resize(2 * 0xFFFFu);
  PutU16(out, static_cast<std::uint32_t>(wide.size() / 2));
  out.insert(out.end(), wide.begin(), wide.end());
}

}  // namespace

std::vector<std::uint8_t> ShellLinkBytes(const ShellLinkSpec& spec) {
  std::uint32_t flags = kIsUnicode;
  if (!spec.target.empty()) flags |= kHasLinkInfo;
  if (!spec.description.empty()) flags |= kHasName;
  if (!spec.relativePath.empty()) flags |= kHasRelativePath;
  if (!spec.workingDirectory.empty()) flags |= kHasWorkingDir;
  if (!spec.arguments.empty()) flags |= kHasArguments;

  Bytes out;
  PutU32(out, kHeaderSize);
  out.insert(out.end(), std::begin(kLinkClsid), std::end(kLinkClsid));
  PutU32(out, flags);
  PutU32(out, spec.targetAttributes);
  const FileTime now = CurrentFileTime();
  for (int i = 0; i < 3; ++i) {
    PutU32(out, static_cast<std::uint32_t>(now));
    PutU32(out, static_cast<std::uint32_t>(now >> 32));
  }
  PutU32(out, 0);  // target size
  PutU32(out, 0);  // icon index
  PutU32(out, kShowNormal);
  PutU16(out, 0);  // hot key
  out.resize(kHeaderSize, 0);

  if (!spec.target.empty()) {
    const Bytes info = IsNetworkPath(spec.target) ? NetworkLinkInfo(spec.target) : LocalLinkInfo(spec.target);
    out.insert(out.end(), info.begin(), info.end());
  }
  if (flags & kHasName) PutStringData(out, spec.description);
  if (flags & kHasRelativePath) PutStringData(out, spec.relativePath);
  if (flags & kHasWorkingDir) PutStringData(out, spec.workingDirectory);
  if (flags & kHasArguments) PutStringData(out, spec.arguments);
  PutU32(out, 0);  // no extra data blocks
  return out;
}

bool WriteShellLink(const std::string& path, const ShellLinkSpec& spec) {
  return WriteFileBytes(path, ShellLinkBytes(spec));
}

}  // namespace win
