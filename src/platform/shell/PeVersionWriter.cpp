#include "platform/shell/PeVersionWriter.h"

#include <algorithm>
#include <cstdio>

#include "platform/files/FileSystem.h"
#include "platform/text/LittleEndian.h"
#include "platform/text/TextCodec.h"

namespace win {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kSectionRva = 0x1000;
constexpr std::uint32_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;
constexpr std::uint16_t kRtVersion = 16;

using le::PutU16;
using le::PutU32;
using le::PutU64;
using le::SetU16;

void Align(Bytes& out, std::size_t alignment) {
  while (out.size() % alignment != 0) out.push_back(0);
}

void PutKey(Bytes& out, const std::string& key) {
  const Bytes text = Utf8ToUtf16LeBytes(key, true);
  out.insert(out.end(), text.begin(), text.end());
  Align(out, 4);
}

// One version block node: header, key, value, children; wLength set at the end.
class Node {
 public:
  Node(Bytes& out, const std::string& key, std::uint16_t valueLength, std::uint16_t type)
      : out_(out), start_(out.size()) {
    PutU16(out_, 0);
    PutU16(out_, valueLength);
    PutU16(out_, type);
    PutKey(out_, key);
  }
  ~Node() {
    SetU16(out_, start_, static_cast<std::uint32_t>(out_.size() - start_));
    Align(out_, 4);
  }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

 private:
  Bytes& out_;
  std::size_t start_;
};

std::uint32_t High(const std::uint16_t v[4]) { return (std::uint32_t{v[0]} << 16) | v[1]; }
std::uint32_t Low(const std::uint16_t v[4]) { return (std::uint32_t{v[2]} << 16) | v[3]; }

std::string TableName(const PeVersionSpec& spec) {
  if (!spec.stringTable.empty()) return spec.stringTable;
  if (spec.translations.empty()) return "040904b0";
  char name[9];
  std::snprintf(name, sizeof name, "%4.4x%4.4x", spec.translations[0].first, spec.translations[0].second);
  return name;
}

// A resource directory header with `count` id entries.
void PutDirectory(Bytes& out, std::size_t count) {
  PutU32(out, 0);  // characteristics
  PutU32(out, 0);  // time stamp
  PutU32(out, 0);  // version
  PutU16(out, 0);  // named entries
  PutU16(out, static_cast<std::uint16_t>(count));
}

// The resource tree of version resources: type 16, then one directory per
// name id, then one data entry per language, then the data; ids and
// languages in ascending order, as resource compilers write them.
Bytes ResourceSection(std::vector<PeResource> resources) {
  std::sort(resources.begin(), resources.end(), [](const PeResource& a, const PeResource& b) {
    return a.id != b.id ? a.id < b.id : a.language < b.language;
  });
  std::vector<std::uint32_t> ids;
  for (const PeResource& r : resources)
    if (ids.empty() || ids.back() != r.id) ids.push_back(r.id);
  const std::uint32_t nameDir = 24;
  std::uint32_t at = nameDir + 16 + 8 * static_cast<std::uint32_t>(ids.size());
  std::vector<std::uint32_t> languageDirs;
  for (const std::uint32_t id : ids) {
    languageDirs.push_back(at);
    std::uint32_t count = 0;
    for (const PeResource& r : resources) count += r.id == id ? 1 : 0;
    at += 16 + 8 * count;
  }
  const std::uint32_t dataEntries = at;
  std::uint32_t data = dataEntries + 16 * static_cast<std::uint32_t>(resources.size());

  Bytes out;
  PutDirectory(out, 1);
  PutU32(out, kRtVersion);
  PutU32(out, nameDir | 0x80000000u);
  PutDirectory(out, ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    PutU32(out, ids[i]);
    PutU32(out, languageDirs[i] | 0x80000000u);
  }
  std::uint32_t entry = dataEntries;
  for (const std::uint32_t id : ids) {
    std::size_t count = 0;
    for (const PeResource& r : resources) count += r.id == id ? 1 : 0;
    PutDirectory(out, count);
    for (const PeResource& r : resources) {
      if (r.id != id) continue;
      PutU32(out, r.language);
      PutU32(out, entry);
      entry += 16;
    }
  }
  for (const PeResource& r : resources) {
    PutU32(out, kSectionRva + data);  // data entry: RVA, size, code page, reserved
    PutU32(out, static_cast<std::uint32_t>(r.block.size()));
    PutU32(out, 0);
    PutU32(out, 0);
    data += (static_cast<std::uint32_t>(r.block.size()) + 3) & ~3u;
  }
  for (const PeResource& r : resources) {
    out.insert(out.end(), r.block.begin(), r.block.end());
    Align(out, 4);
  }
  return out;
}

std::uint32_t RoundUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

}  // namespace

Bytes VersionResourceBytes(const PeVersionSpec& spec) {
  Bytes out;
  {
    Node root(out, "VS_VERSION_INFO", 52, 0);
    PutU32(out, 0xFEEF04BDu);
    PutU32(out, 0x00010000u);
    PutU32(out, High(spec.fileVersion));
    PutU32(out, Low(spec.fileVersion));
    PutU32(out, High(spec.productVersion));
    PutU32(out, Low(spec.productVersion));
    PutU32(out, 0x3F);        // flags mask
    PutU32(out, 0);           // flags
    PutU32(out, 0x00040004);  // NT, Win32
    PutU32(out, 1);           // application
    PutU32(out, 0);
    PutU32(out, 0);
    PutU32(out, 0);
    Align(out, 4);
    if (!spec.strings.empty()) {
      Node info(out, "StringFileInfo", 0, 1);
      Node table(out, TableName(spec), 0, 1);
      for (const auto& [key, text] : spec.strings) {
        const Bytes value = Utf8ToUtf16LeBytes(text, true);
        Node string(out, key, static_cast<std::uint16_t>(value.size() / 2), 1);
        out.insert(out.end(), value.begin(), value.end());
      }
    }
    if (!spec.translations.empty()) {
      Node info(out, "VarFileInfo", 0, 1);
      Node var(out, "Translation", static_cast<std::uint16_t>(4 * spec.translations.size()), 0);
      for (const auto& [language, codePage] : spec.translations) {
        PutU16(out, language);
        PutU16(out, codePage);
      }
    }
  }
  return out;
}

Bytes PeFileBytes(const PeVersionSpec& spec) {
  std::vector<PeResource> resources;
  if (spec.withResource) {
    const std::uint16_t language = spec.translations.empty() ? 0x0409 : spec.translations[0].first;
    resources.push_back({1, language, VersionResourceBytes(spec)});
  }
  return PeFileBytesWith(resources, spec.pe32Plus);
}

Bytes PeFileBytesWith(const std::vector<PeResource>& resources, bool pe32Plus) {
  const bool withResource = !resources.empty();
  const Bytes section = withResource ? ResourceSection(resources) : Bytes{};
  const std::uint32_t rawSize = RoundUp(static_cast<std::uint32_t>(section.size()), kFileAlignment);
  const std::uint32_t imageSize = kSectionRva + RoundUp(static_cast<std::uint32_t>(section.size()), kSectionAlignment);
  const std::uint16_t optionalSize = pe32Plus ? 240 : 224;

  Bytes out(0x40, 0);
  out[0] = 'M';
  out[1] = 'Z';
  SetU16(out, 0x3C, 0x40);
  PutU32(out, 0x00004550);  // "PE\0\0"
  PutU16(out, pe32Plus ? 0x8664 : 0x014C);
  PutU16(out, withResource ? 1 : 0);
  PutU32(out, 0);  // time stamp
  PutU32(out, 0);  // symbol table
  PutU32(out, 0);
  PutU16(out, optionalSize);
  PutU16(out, pe32Plus ? 0x0022 : 0x0102);  // executable, 32-bit or large-address

  PutU16(out, pe32Plus ? 0x20B : 0x10B);
  PutU16(out, 0);            // linker version
  PutU32(out, 0);            // size of code
  PutU32(out, rawSize);      // initialised data
  PutU32(out, 0);            // uninitialised data
  PutU32(out, 0);            // entry point
  PutU32(out, 0);            // base of code
  if (pe32Plus) {
    PutU64(out, 0x140000000ull);
  } else {
    PutU32(out, 0);            // base of data
    PutU32(out, 0x00400000u);  // image base
  }
  PutU32(out, kSectionAlignment);
  PutU32(out, kFileAlignment);
  PutU16(out, 4);  // OS version
  PutU16(out, 0);
  PutU16(out, 0);  // image version
  PutU16(out, 0);
  PutU16(out, 4);  // subsystem version
  PutU16(out, 0);
  PutU32(out, 0);
  PutU32(out, imageSize);
  PutU32(out, kFileAlignment);  // size of headers
  PutU32(out, 0);               // checksum
  PutU16(out, 2);               // Windows GUI
  PutU16(out, 0);
  for (int i = 0; i < 4; ++i) {  // stack and heap reserve and commit
    if (pe32Plus) PutU64(out, 0x100000);
    else PutU32(out, 0x100000);
  }
  PutU32(out, 0);   // loader flags
  PutU32(out, 16);  // data directories
  for (std::uint32_t i = 0; i < 16; ++i) {
    const bool resource = i == 2 && withResource;
    PutU32(out, resource ? kSectionRva : 0);
    PutU32(out, resource ? static_cast<std::uint32_t>(section.size()) : 0);
  }
  if (withResource) {
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    out.insert(out.end(), name, name + 8);
    PutU32(out, static_cast<std::uint32_t>(section.size()));
    PutU32(out, kSectionRva);
    PutU32(out, rawSize);
    PutU32(out, kFileAlignment);
    PutU32(out, 0);
    PutU32(out, 0);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU32(out, 0x40000040u);  // initialised data, readable
  }
  out.resize(kFileAlignment, 0);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(kFileAlignment + rawSize, 0);
  return out;
}

bool WritePeFile(const std::string& path, const PeVersionSpec& spec) {
  return WriteFileBytes(path, PeFileBytes(spec));
}

std::optional<PeVersionSpec> ParsePeVersionSpec(const std::string& text) {
  PeVersionSpec spec;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t semi = text.find(';', start);
    parts.push_back(text.substr(start, semi == std::string::npos ? semi : semi - start));
    if (semi == std::string::npos) break;
    start = semi + 1;
  }
  unsigned v[4] = {0, 0, 0, 0};
  char tail = 0;
  if (std::sscanf(parts[0].c_str(), "%u.%u.%u.%u%c", &v[0], &v[1], &v[2], &v[3], &tail) != 4) return std::nullopt;
  for (int i = 0; i < 4; ++i) {
    if (v[i] > 0xFFFF) return std::nullopt;
    spec.fileVersion[i] = spec.productVersion[i] = static_cast<std::uint16_t>(v[i]);
  }
  auto hexPair = [](const std::string& hex, std::pair<std::uint16_t, std::uint16_t>& pair) {
    if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return false;
    const unsigned long value = std::stoul(hex, nullptr, 16);
    pair = {static_cast<std::uint16_t>(value >> 16), static_cast<std::uint16_t>(value & 0xFFFF)};
    return true;
  };
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const std::string& part = parts[i];
    const std::size_t eq = part.find('=');
    if (part == "pe32+") {
      spec.pe32Plus = true;
    } else if (eq == std::string::npos || eq == 0) {
      return std::nullopt;
    } else if (part.compare(0, eq, "tr") == 0) {
      std::pair<std::uint16_t, std::uint16_t> pair;
      if (!hexPair(part.substr(eq + 1), pair)) return std::nullopt;
      spec.translations.push_back(pair);
    } else if (part.compare(0, eq, "table") == 0) {
      std::pair<std::uint16_t, std::uint16_t> pair;
      if (!hexPair(part.substr(eq + 1), pair)) return std::nullopt;
      spec.stringTable = part.substr(eq + 1);
    } else {
      spec.strings.emplace_back(part.substr(0, eq), part.substr(eq + 1));
    }
  }
  return spec;
}

}  // namespace win
