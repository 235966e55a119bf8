#include "platform/shell/FileVersion.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "platform/files/FileReader.h"
#include "platform/registry/Registry.h"
#include "platform/text/TextCodec.h"

// The block GetFileVersionInfo fills: the raw VS_VERSIONINFO resource (its
// first word is its length), then the UTF-8 copies of its text values, each
// with a terminator, in the order the resource holds them.

namespace win {
namespace {

constexpr std::uint32_t kRtVersion = 16;
constexpr std::uint32_t kVersionId = 1;
constexpr std::uint16_t kUsEnglish = 0x0409;
constexpr int kMaxDepth = 8;
constexpr std::uint32_t kMaxSections = 96;

using Bytes = std::vector<std::uint8_t>;

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bounds-checked reads of a file, each only the bytes it asks for.
struct Image {
  const FileReader& file;
  std::optional<Bytes> Read(std::uint64_t offset, std::uint64_t size) const {
    if (offset > file.Size() || size > file.Size() - offset) return std::nullopt;
    Bytes bytes;
    if (!file.ReadAt(offset, static_cast<std::size_t>(size), bytes) || bytes.size() != size) return std::nullopt;
    return bytes;
  }
  std::optional<std::uint16_t> Word(std::uint64_t offset) const {
    const auto bytes = Read(offset, 2);
    if (!bytes) return std::nullopt;
    return U16(bytes->data());
  }
  std::optional<std::uint32_t> Dword(std::uint64_t offset) const {
    const auto bytes = Read(offset, 4);
    if (!bytes) return std::nullopt;
    return U32(bytes->data());
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
    if (offset > image.file.Size() || size > image.file.Size() - offset) return std::nullopt;
    return offset;
  }
  return std::nullopt;
}

// The id entries of the resource directory at `dir` (offset within the
// tree) as (id, OffsetToData); named entries are left out.
std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>> DirectoryEntries(
    const Image& image, std::uint64_t base, std::uint64_t limit, std::uint32_t dir) {
  if (dir > limit || limit - dir < 16) return std::nullopt;
  const auto header = image.Read(base + dir, 16);
  if (!header) return std::nullopt;
  const std::uint32_t count = std::uint32_t{U16(header->data() + 12)} + U16(header->data() + 14);
  if (8ull * count > limit - dir - 16) return std::nullopt;
  const auto entries = image.Read(base + dir + 16, 8ull * count);
  if (!entries) return std::nullopt;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ids;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t name = U32(entries->data() + 8 * i);
    if (!(name & 0x80000000u)) ids.emplace_back(name, U32(entries->data() + 8 * i + 4));
  }
  return ids;
}

// A language id from a registry text in hexadecimal ("00000809", "0409").
std::optional<std::uint16_t> LanguageOf(const std::optional<std::string>& text) {
  if (!text || text->empty() || text->size() > 8 ||
      text->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  return static_cast<std::uint16_t>(std::stoul(*text, nullptr, 16) & 0xFFFF);
}

std::optional<std::string> ReadMachineString(HKEY root, const std::string& key, const std::string& name) {
  TRegistry registry(KEY_READ);
  registry.SetRootKey(root);
  if (!registry.OpenKeyReadOnly(key)) return std::nullopt;
  return registry.ReadString(name);
}

// The languages Windows' resource loader tries for a language-neutral
// lookup, in its order: neutral, the user's, the system's, US English (and
// then whichever comes first).
std::vector<std::uint16_t> LookupLanguages() {
  std::vector<std::uint16_t> languages{0};
  const auto user = LanguageOf(ReadMachineString(HKEY_CURRENT_USER, "Control Panel\\International", "Locale"));
  const char* const nls = "SYSTEM\\CurrentControlSet\\Control\\Nls\\Language";
  auto system = LanguageOf(ReadMachineString(HKEY_LOCAL_MACHINE, nls, "Default"));
  if (!system) system = LanguageOf(ReadMachineString(HKEY_LOCAL_MACHINE, nls, "InstallLanguage"));
  for (const auto& language : {user, system, std::optional<std::uint16_t>(kUsEnglish)})
    if (language) languages.push_back(*language);
  return languages;
}

// The raw version resource of a PE file: resource type 16, name 1, in the
// language the loader takes; none when there is none or the file is damaged.
// Only the headers, the section table, the directories on the way and the
// resource itself are read.
std::optional<Bytes> VersionResource(const FileReader& file) {
  const Image image{file};
  const auto dos = image.Read(0, 64);
  if (!dos || (*dos)[0] != 'M' || (*dos)[1] != 'Z') return std::nullopt;
  const std::uint64_t pe = U32(dos->data() + 0x3C);
  const auto headers = image.Read(pe, 24);
  if (!headers || U32(headers->data()) != 0x00004550u) return std::nullopt;
  const std::uint32_t sectionCount = U16(headers->data() + 6);
  const std::uint16_t optionalSize = U16(headers->data() + 20);
  if (sectionCount > kMaxSections) return std::nullopt;
  const std::uint64_t opt = pe + 24;
  const auto optional = image.Read(opt, optionalSize);
  if (!optional || optionalSize < 2) return std::nullopt;
  const std::uint16_t magic = U16(optional->data());
  std::size_t countAt = 0;
  if (magic == 0x10B) countAt = 92;
  else if (magic == 0x20B) countAt = 108;
  else return std::nullopt;
  if (countAt + 4 + 8 * 3 > optionalSize) return std::nullopt;
  const std::uint32_t dirCount = U32(optional->data() + countAt);
  const std::uint32_t resourceRva = U32(optional->data() + countAt + 4 + 16);
  const std::uint32_t resourceSize = U32(optional->data() + countAt + 4 + 20);
  if (dirCount < 3 || resourceRva == 0 || resourceSize == 0) return std::nullopt;

  const auto table = image.Read(opt + optionalSize, 40ull * sectionCount);
  if (!table) return std::nullopt;
  std::vector<Section> sections;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* at = table->data() + 40 * i;
    sections.push_back({U32(at + 12), U32(at + 8), U32(at + 16), U32(at + 20)});
  }
  // The resource tree: the part of its section from the directory onward.
  std::optional<std::uint64_t> base;
  std::uint64_t limit = 0;
  for (const Section& s : sections) {
    if (resourceRva < s.virtualAddress || resourceRva - s.virtualAddress >= s.rawSize) continue;
    base = std::uint64_t{s.rawOffset} + (resourceRva - s.virtualAddress);
    limit = s.rawSize - (resourceRva - s.virtualAddress);
    break;
  }
  if (!base || *base > file.Size()) return std::nullopt;
  if (limit > file.Size() - *base) limit = file.Size() - *base;

  const auto subdirectory = [](const std::vector<std::pair<std::uint32_t, std::uint32_t>>& entries,
                               std::uint32_t id) -> std::optional<std::uint32_t> {
    for (const auto& [entryId, data] : entries)
      if (entryId == id) return (data & 0x80000000u) ? std::optional<std::uint32_t>(data & 0x7FFFFFFFu) : std::nullopt;
    return std::nullopt;
  };
  const auto types = DirectoryEntries(image, *base, limit, 0);
  const auto type = types ? subdirectory(*types, kRtVersion) : std::nullopt;
  const auto names = type ? DirectoryEntries(image, *base, limit, *type) : std::nullopt;
  const auto name = names ? subdirectory(*names, kVersionId) : std::nullopt;
  const auto languages = name ? DirectoryEntries(image, *base, limit, *name) : std::nullopt;
  if (!languages || languages->empty()) return std::nullopt;
  std::uint32_t chosen = languages->front().second;
  for (const std::uint16_t wanted : LookupLanguages()) {
    const auto found = std::find_if(languages->begin(), languages->end(),
                                    [wanted](const auto& entry) { return entry.first == wanted; });
    if (found != languages->end()) {
      chosen = found->second;
      break;
    }
  }
  if ((chosen & 0x80000000u) || chosen > limit || limit - chosen < 16) return std::nullopt;
  const auto entry = image.Read(*base + chosen, 16);
  if (!entry) return std::nullopt;
  const std::uint32_t dataRva = U32(entry->data());
  const std::uint32_t dataSize = U32(entry->data() + 4);
  const auto offset = RvaToOffset(image, sections, dataRva, dataSize);
  if (!offset || dataSize < 6) return std::nullopt;
  const auto length = image.Word(*offset);
  if (!length || *length < 6 || *length > dataSize) return std::nullopt;
  return image.Read(*offset, *length);
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
  const std::unique_ptr<FileReader> file = FileReader::Open(path);
  if (!file) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return std::nullopt;
  }
  auto raw = VersionResource(*file);
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
