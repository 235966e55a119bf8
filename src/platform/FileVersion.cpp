#include "platform/FileVersion.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"

// The block GetFileVersionInfo fills: the raw VS_VERSIONINFO resource (its
// first word is its length), then the UTF-8 copies of its text values, each
// with a terminator, in the order the resource holds them.

namespace win {
namespace {

constexpr std::uint64_t kMaxFileSize = 256u * 1024 * 1024;
constexpr std::uint32_t kRtVersion = 16;
constexpr int kMaxDepth = 8;

using Bytes = std::vector<std::uint8_t>;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bounds-checked reads of a file image.
struct Image {
  const Bytes& bytes;
  bool Has(std::uint64_t offset, std::uint64_t size) const {
    return offset <= bytes.size() && size <= bytes.size() - offset;
  }
  std::optional<std::uint16_t> Word(std::uint64_t offset) const {
    if (!Has(offset, 2)) return std::nullopt;
    return U16(&bytes[offset]);
  }
  std::optional<std::uint32_t> Dword(std::uint64_t offset) const {
    if (!Has(offset, 4)) return std::nullopt;
    return U32(&bytes[offset]);
  }
};

struct Section {
  std::uint32_t virtualAddress;
  std::uint32_t virtualSize;
  std::uint32_t rawSize;
  std::uint32_t rawOffset;
};

// File offset of an RVA range that lies wholly in one section's raw data.
std::optional<std::uint64_t> RvaToOffset(const Image& image, const std::vector<Section>& sections,
                                         std::uint32_t rva, std::uint32_t size) {
  for (const Section& s : sections) {
    const std::uint64_t extent = s.rawSize;
    if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
    const std::uint64_t within = rva - s.virtualAddress;
    if (size > extent - within) return std::nullopt;
    const std::uint64_t offset = std::uint64_t{s.rawOffset} + within;
    if (!image.Has(offset, size)) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

// The entry of a resource directory at `dir` (offset within the section):
// the one whose id is `id`, or the first one when id is none. Returns the
// entry's OffsetToData word.
std::optional<std::uint32_t> DirectoryEntry(const Image& image, std::uint64_t base, std::uint64_t limit,
                                            std::uint32_t dir, std::optional<std::uint32_t> id) {
  if (dir > limit || limit - dir < 16) return std::nullopt;
  const auto named = image.Word(base + dir + 12);
  const auto ids = image.Word(base + dir + 14);
  if (!named || !ids) return std::nullopt;
  const std::uint32_t count = std::uint32_t{*named} + *ids;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t entry = std::uint64_t{dir} + 16 + 8ull * i;
    if (entry + 8 > limit) return std::nullopt;
    const auto name = image.Dword(base + entry);
    const auto data = image.Dword(base + entry + 4);
    if (!name || !data) return std::nullopt;
    if (!id || (!(*name & 0x80000000u) && *name == *id)) return *data;
  }
  return std::nullopt;
}

// The raw version resource of a PE image; none when there is none or the
// image is damaged.
std::optional<Bytes> VersionResource(const Bytes& bytes) {
  const Image image{bytes};
  if (!image.Has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return std::nullopt;
  const std::uint64_t pe = *image.Dword(0x3C);
  if (image.Dword(pe) != std::optional<std::uint32_t>(0x00004550u)) return std::nullopt;
  const std::uint64_t coff = pe + 4;
  const auto sectionCount = image.Word(coff + 2);
  const auto optionalSize = image.Word(coff + 16);
  if (!sectionCount || !optionalSize) return std::nullopt;
  const std::uint64_t opt = coff + 20;
  const auto magic = image.Word(opt);
  if (!magic) return std::nullopt;
  std::uint64_t countAt = 0;
  if (*magic == 0x10B) countAt = 92;
  else if (*magic == 0x20B) countAt = 108;
  else return std::nullopt;
  const auto dirCount = image.Dword(opt + countAt);
  if (!dirCount || *dirCount < 3 || countAt + 4 + 8ull * 3 > *optionalSize) return std::nullopt;
  const auto resourceRva = image.Dword(opt + countAt + 4 + 16);
  const auto resourceSize = image.Dword(opt + countAt + 4 + 20);
  if (!resourceRva || !resourceSize || *resourceRva == 0 || *resourceSize == 0) return std::nullopt;

  std::vector<Section> sections;
  const std::uint64_t table = opt + *optionalSize;
  for (std::uint32_t i = 0; i < *sectionCount; ++i) {
    const std::uint64_t at = table + 40ull * i;
    if (!image.Has(at, 40)) return std::nullopt;
    sections.push_back({U32(&bytes[at + 12]), U32(&bytes[at + 8]), U32(&bytes[at + 16]), U32(&bytes[at + 20])});
  }
  // The resource tree: the part of its section from the directory onward.
  std::optional<std::uint64_t> base;
  std::uint64_t limit = 0;
  for (const Section& s : sections) {
    if (*resourceRva < s.virtualAddress || *resourceRva - s.virtualAddress >= s.rawSize) continue;
    base = std::uint64_t{s.rawOffset} + (*resourceRva - s.virtualAddress);
    limit = s.rawSize - (*resourceRva - s.virtualAddress);
    break;
  }
  if (!base || *base > bytes.size()) return std::nullopt;
  if (limit > bytes.size() - *base) limit = bytes.size() - *base;

  const auto type = DirectoryEntry(image, *base, limit, 0, kRtVersion);
  if (!type || !(*type & 0x80000000u)) return std::nullopt;
  const auto name = DirectoryEntry(image, *base, limit, *type & 0x7FFFFFFFu, std::nullopt);
  if (!name || !(*name & 0x80000000u)) return std::nullopt;
  const auto language = DirectoryEntry(image, *base, limit, *name & 0x7FFFFFFFu, std::nullopt);
  if (!language || (*language & 0x80000000u) || *language > limit || limit - *language < 16) return std::nullopt;
  const std::uint32_t dataRva = U32(&bytes[*base + *language]);
  const std::uint32_t dataSize = U32(&bytes[*base + *language + 4]);
  const auto offset = RvaToOffset(image, sections, dataRva, dataSize);
  if (!offset || dataSize < 6) return std::nullopt;
  const std::uint16_t length = U16(&bytes[*offset]);
  if (length < 6 || length > dataSize) return std::nullopt;
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(*offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(*offset + length));
}

// One node of a version block.
struct VersionNode {
  std::size_t start = 0;
  std::size_t end = 0;  // start + wLength
  std::u16string key;
  std::size_t value = 0;      // offset of the value
  std::size_t valueSize = 0;  // bytes
  bool text = false;
  std::size_t children = 0;   // offset of the first child
};

std::size_t Align4(std::size_t offset) { return (offset + 3) & ~std::size_t{3}; }

// The node at `start`, lying wholly before `limit`.
std::optional<VersionNode> ReadNode(const std::uint8_t* block, std::size_t start, std::size_t limit) {
  if (start > limit || limit - start < 6) return std::nullopt;
  VersionNode node;
  node.start = start;
  const std::size_t length = U16(block + start);
  if (length < 6 || length > limit - start) return std::nullopt;
  node.end = start + length;
  const std::uint16_t valueLength = U16(block + start + 2);
  const std::uint16_t type = U16(block + start + 4);
  std::size_t at = start + 6;
  while (true) {
    if (at + 2 > node.end) return std::nullopt;
    const char16_t c = static_cast<char16_t>(U16(block + at));
    at += 2;
    if (c == 0) break;
    node.key.push_back(c);
  }
  node.text = type == 1;
  node.value = std::min(Align4(at), node.end);
  node.valueSize = std::min<std::size_t>(node.text ? 2u * valueLength : valueLength, node.end - node.value);
  node.children = std::min(Align4(node.value + node.valueSize), node.end);
  return node;
}

char16_t Upper(char16_t c) { return c < 128 ? static_cast<char16_t>(std::toupper(c)) : c; }

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::u16string NodeText(const std::uint8_t* block, const VersionNode& node) {
  std::u16string text;
  for (std::size_t at = node.value; at + 2 <= node.value + node.valueSize; at += 2) {
    const char16_t c = static_cast<char16_t>(U16(block + at));
    if (c == 0) break;
    text.push_back(c);
  }
  return text;
}

// Calls visit(node) for every text node in block order; false when the block
// is damaged.
template <typename Visit>
bool WalkTexts(const std::uint8_t* block, const VersionNode& node, int depth, Visit&& visit) {
  if (depth > kMaxDepth) return false;
  for (std::size_t at = node.children; at < node.end;) {
    const auto child = ReadNode(block, at, node.end);
    if (!child) return false;
    if (child->text && child->valueSize > 0) visit(*child);
    if (!WalkTexts(block, *child, depth + 1, visit)) return false;
    at = Align4(child->end);
  }
  return true;
}

std::optional<Bytes> ReadBlock(const std::string& path) {
  const auto info = GetFileInfo(path);
  if (!info || (info->attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  if (info->size > kMaxFileSize) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  Bytes bytes;
  if (!ReadFileBytes(path, bytes)) return std::nullopt;
  auto raw = VersionResource(bytes);
  if (!raw) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  const auto root = ReadNode(raw->data(), 0, raw->size());
  if (!root || !SameName(root->key, u"VS_VERSION_INFO")) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  Bytes block(raw->begin(), raw->begin() + static_cast<std::ptrdiff_t>(root->end));
  // The texts are gathered apart and appended after the walk, which reads
  // the block.
  std::string texts;
  const bool whole = WalkTexts(block.data(), *root, 0, [&](const VersionNode& node) {
    texts += Utf16ToUtf8(NodeText(block.data(), node));
    texts.push_back('\0');
  });
  block.insert(block.end(), texts.begin(), texts.end());
  if (!whole) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return std::nullopt;
  }
  SetLastError(ERROR_SUCCESS);
  return block;
}

}  // namespace

DWORD GetFileVersionInfoSize(const std::string& path, DWORD* handle) {
  if (handle) *handle = 0;
  const auto block = ReadBlock(path);
  return block ? static_cast<DWORD>(block->size()) : 0;
}

bool GetFileVersionInfo(const std::string& path, DWORD /*handle*/, DWORD len, void* data) {
  const auto block = ReadBlock(path);
  if (!block || data == nullptr) return false;
  if (len < block->size()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(data, block->data(), block->size());
  return true;
}

bool VerQueryValue(const void* blockData, const std::string& subBlock, const void** buffer, unsigned* len) {
  if (buffer) *buffer = nullptr;
  if (len) *len = 0;
  if (blockData == nullptr) return false;
  const auto* block = static_cast<const std::uint8_t*>(blockData);
  const std::size_t rawSize = U16(block);
  const auto root = ReadNode(block, 0, rawSize);
  if (!root) return false;

  std::vector<std::u16string> names;
  std::size_t start = 0;
  while (start <= subBlock.size()) {
    std::size_t slash = subBlock.find('\\', start);
    if (slash == std::string::npos) slash = subBlock.size();
    if (slash > start) names.push_back(Utf8ToUtf16(subBlock.substr(start, slash - start)));
    start = slash + 1;
  }

  VersionNode node = *root;
  for (const std::u16string& name : names) {
    std::optional<VersionNode> found;
    for (std::size_t at = node.children; at < node.end && !found;) {
      const auto child = ReadNode(block, at, node.end);
      if (!child) return false;
      if (SameName(child->key, name)) found = child;
      at = Align4(child->end);
    }
    if (!found) return false;
    node = *found;
  }
  if (!node.text) {
    if (node.valueSize == 0) return false;
    if (buffer) *buffer = block + node.value;
    if (len) *len = static_cast<unsigned>(node.valueSize);
    return true;
  }
  if (node.valueSize == 0) return false;
  // The UTF-8 copy of a text node: the one whose place among the texts in
  // block order is the node's.
  std::size_t ordinal = 0;
  bool seen = false;
  WalkTexts(block, *root, 0, [&](const VersionNode& other) {
    if (other.start == node.start) seen = true;
    if (!seen) ++ordinal;
  });
  if (!seen) return false;
  const char* text = reinterpret_cast<const char*>(block + rawSize);
  for (std::size_t i = 0; i < ordinal; ++i) text += std::strlen(text) + 1;
  if (buffer) *buffer = text;
  if (len) *len = static_cast<unsigned>(std::strlen(text) + 1);
  return true;
}

}  // namespace win
