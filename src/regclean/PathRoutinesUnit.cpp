#include "regclean/PathRoutinesUnit.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <utility>

#include "platform/files/FileSystem.h"
#include "regclean/SectionContractUnit.h"
#include "shell/PublicFunctionUnit.h"

namespace regclean {

namespace {

// A set of characters, each looked up in a table.
class CharacterSet {
 public:
  constexpr explicit CharacterSet(std::string_view characters) {
    for (char c : characters) held_[static_cast<unsigned char>(c)] = true;
  }
  constexpr bool Holds(char c) const { return held_[static_cast<unsigned char>(c)]; }
  bool HeldIn(std::string_view text) const {
    return std::any_of(text.begin(), text.end(), [this](char c) { return Holds(c); });
  }

 private:
  std::array<bool, 256> held_{};
};

// The characters the severity rule counts.
constexpr CharacterSet kReservedCharacters{"%/*?\"<>|;,"};
constexpr CharacterSet kFolderPathCharacters{"/*?\"<>|;.+-&@!,%"};
constexpr std::size_t kMaxPath = 260;

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.';
}

// The length of the file name up to where its extension ends: from its
// first dot (or its first character) on, the first character that cannot be
// part of a name starts the arguments.
std::size_t NameEndLength(std::string_view name) {
  const std::size_t dot = name.find('.');
  for (std::size_t i = dot == std::string_view::npos ? 0 : dot; i < name.size(); ++i)
    if (!IsNameCharacter(name[i])) return i;
  return name.size();
}

// Replaces `variable` (found in any letter case) by `folder` in the
// upper-cased data; data without it is left as it is.
void ExpandVariable(std::string& data, const std::string& variable, const std::string& folder) {
  if (!ContainsNoCase(data, variable)) return;
  data = ReplaceAll(AsciiUpper(data), AsciiUpper(variable), AsciiUpper(folder));
}

std::string CutProgramPath(const std::string& text, const ProgramPathOptions& options) {
  if (options.probe ? options.probe->NonFolderExists(text) : win::FileExists(text)) return text;
  const std::size_t firstColon = text.find(':');
  // Where the drive letter before the first colon stands (0 when the colon is
  // the first character or there is none).
  const std::size_t driveLetter =
      firstColon == std::string::npos || firstColon == 0 ? 0 : firstColon - 1;
  const std::size_t secondColon =
      firstColon == std::string::npos ? std::string::npos : text.find(':', firstColon + 1);

  if (secondColon == std::string::npos) {
    // The folder (as ExtractFilePath gives it) and the name cut at its end.
    const std::size_t cut = text.find_last_of("\\:");
    const std::size_t folder = cut == std::string::npos ? 0 : cut + 1;
    const std::size_t program = folder + NameEndLength(std::string_view(text).substr(folder));
    const std::size_t from = std::min(driveLetter, program);
    return text.substr(from, program - from);
  }
  // A second path follows: the program ends before its drive letter. That
  // part holds one colon only, so cutting it again ends there.
  const std::string first = text.substr(driveLetter, secondColon - driveLetter);
  const std::string tail = options.cutAgainWhen == ProgramPathOptions::CutAgainWhen::FileNameLonger
                               ? win::ExtractFileName(first)
                               : win::ExtractFileExt(first);
  return tail.size() > 4 ? CutProgramPath(first, options) : first;
}

// The length of the folder the probe files a path under: without its
// trailing backslash unless it is a drive root; 0 when the path names no
// other folder.
std::size_t HoldingFolderLength(std::string_view path) {
  std::size_t end = path.size();  // past the last backslash or colon
  while (end != 0 && path[end - 1] != '\\' && path[end - 1] != ':') --end;
  if (end == 0) return 0;
  const std::size_t length = end > 3 && path[end - 1] == '\\' ? end - 1 : end;
  return length == path.size() ? 0 : length;
}

// A ".." may climb out of a missing folder into an existing one, so a path
// holding one is looked up whatever its folders are.
bool ClimbsUp(std::string_view path) { return path.find("..") != std::string_view::npos; }

}  // namespace

std::uint32_t FileProbe::Memo::HashOf(std::uint32_t parent, std::string_view part) {
  const std::size_t hash = std::hash<std::string_view>()(part) ^ (std::size_t{parent} * 0x9E3779B97F4A7C15ULL);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

std::uint32_t FileProbe::Memo::PartOf(std::uint32_t parent, std::string_view part) {
  if ((parts_.size() + 1) * 4 > slots_.size() * 3) Grow();
  const std::uint32_t hash = HashOf(parent, part);
  const std::size_t mask = slots_.size() - 1;
  std::size_t at = hash & mask;
  for (;; at = (at + 1) & mask) {
    const Slot& slot = slots_[at];
    if (slot.index == kTop) break;
    if (slot.hash != hash) continue;
    const Part& held = parts_[slot.index];
    if (held.parent == parent && std::string_view(text_.data() + held.offset, held.length) == part) return slot.index;
  }
  slots_[at] = {static_cast<std::uint32_t>(parts_.size()), hash};
  parts_.push_back({parent, static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(part.size()),
                    win::PathKind::None, false});
  text_.insert(text_.end(), part.begin(), part.end());
  return slots_[at].index;
}

const win::PathKind* FileProbe::Memo::KindOf(std::uint32_t part) const {
  return parts_[part].known ? &parts_[part].kind : nullptr;
}

void FileProbe::Memo::Learn(std::uint32_t part, win::PathKind kind) {
  parts_[part].kind = kind;
  parts_[part].known = true;
}

void FileProbe::Memo::Grow() {
  // The slots held are all different, so each goes to the first free one.
  std::vector<Slot> old(slots_.empty() ? 512 : slots_.size() * 2, Slot{kTop, 0});
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.index == kTop) continue;
    std::size_t at = slot.hash & mask;
    while (slots_[at].index != kTop) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

void FileProbe::Memo::Clear() {
  text_ = {};
  parts_ = {};
  slots_ = {};
}

// The memo answers a path the same way until the file system changes, so
// the path asked last is answered again without walking it.
win::PathKind FileProbe::Kind(const std::string& path) {
  if (const std::uint64_t changes = win::FileSystemChangeCount(); changes != changes_) {
    kinds_.Clear();
    lastKnown_ = false;
    changes_ = changes;
  }
  if (lastKnown_ && path == lastPath_) return lastKind_;
  lastKind_ = LookUp(path);
  lastPath_.assign(path);  // its buffer is kept from call to call
  lastKnown_ = true;
  return lastKind_;
}

// A path asked before is answered from its part at the end of one walk of
// its parts. Otherwise the folders it is filed under are taken from the
// drive down, from the parts walked: the first one not known yet is looked
// up, and so is each one below it while the one above is a folder. Anything
// below a file, link or missing path is missing without asking, and is
// learnt so.
win::PathKind FileProbe::LookUp(const std::string& path) {
  upper_ = AsciiUpper(std::move(upper_.assign(path)));  // its buffer is kept from call to call
  const std::string_view upper = upper_;
  walked_.clear();
  for (std::size_t start = 0;;) {
    const std::size_t end = std::min(upper.find('\\', start), upper.size());
    walked_.push_back(kinds_.PartOf(walked_.empty() ? Memo::kTop : walked_.back(), upper.substr(start, end - start)));
    if (end == upper.size()) break;
    start = end + 1;
  }
  if (const win::PathKind* known = kinds_.KindOf(walked_.back())) return *known;

  lengths_.clear();
  const bool climbsUp = ClimbsUp(upper);
  for (std::size_t length = upper.size(); length != 0 || lengths_.empty();) {
    lengths_.push_back(length);
    length = climbsUp ? 0 : HoldingFolderLength(upper.substr(0, length));
  }
  // The backslashes before `counted`, and where the part after the last one starts.
  std::size_t counted = 0;
  std::size_t backslashes = 0;
  std::size_t start = 0;
  for (auto at = lengths_.rbegin(); at != lengths_.rend(); ++at) {
    const std::size_t length = *at;
    for (; counted < length; ++counted)
      if (upper[counted] == '\\') {
        ++backslashes;
        start = counted + 1;
      }
    // A drive root or a name cut at a colon is a part beside the walk.
    const std::uint32_t part =
        length == upper.size() || upper[length] == '\\'
            ? walked_[backslashes]
            : kinds_.PartOf(backslashes == 0 ? Memo::kTop : walked_[backslashes - 1],
                            upper.substr(start, length - start));
    const bool last = length == upper.size();
    const win::PathKind* known = kinds_.KindOf(part);
    win::PathKind kind;
    if (known) {
      kind = *known;
    } else {
      kind = win::GetPathKind(last ? path : path.substr(0, length));
      kinds_.Learn(part, kind);
    }
    if (last) return kind;
    if (kind != win::PathKind::Folder) break;
  }
  kinds_.Learn(walked_.back(), win::PathKind::None);
  return win::PathKind::None;
}

bool FileProbe::Exists(const std::string& path) { return Kind(path) != win::PathKind::None; }

bool FileProbe::NonFolderExists(const std::string& path) {
  const win::PathKind kind = Kind(path);
  return kind != win::PathKind::None && kind != win::PathKind::Folder;
}

bool FileProbe::FileExists(const std::string& path) { return Kind(path) == win::PathKind::File; }

bool FileProbe::DirectoryExists(const std::string& path) { return Kind(path) == win::PathKind::Folder; }

ScanFiles::ScanFiles(const ScanContext& context) : probe_(context.files ? *context.files : own_) {}

KnownFolders KnownFolders::OfCurrentMachine() {
  KnownFolders folders;
  folders.windowsFolder = win::GetWindowsDirectory();
  folders.systemFolder = win::GetSystemDirectory();
  GetProgramFilesPath(0, folders.programFilesFolder);
  return folders;
}

std::string GuessWindowsFolder(const std::string& systemFolder) {
  return systemFolder.substr(0, 3) + (ContainsNoCase(systemFolder, "WINDOWS") ? "WINDOWS\\" : "WINNT\\");
}

std::string GuessWindowsFolder() { return GuessWindowsFolder(win::GetSystemDirectory()); }

std::string ExpandFolderVariables(const std::string& data, const KnownFolders& folders) {
  if (data.find('%') == std::string::npos) return data;
  std::string expanded = data;
  ExpandVariable(expanded, "%systemroot%", folders.windowsFolder);
  ExpandVariable(expanded, "%windir%", folders.windowsFolder);
  ExpandVariable(expanded, "%ProgramFiles%", folders.programFilesFolder);
  return expanded;
}

std::string ExtractProgramPath(std::string text, const ProgramPathOptions& options) {
  if (options.dropLeadingAt && !text.empty() && text.front() == '@') text.erase(0, 1);
  if (options.removeQuotes) text = WithoutQuotes(std::move(text));
  if (!options.systemRootFolder.empty())
    ExpandVariable(text, "%SYSTEMROOT%\\", options.systemRootFolder);
  return CutProgramPath(text, options);
}

ProgramPathOptions CommandFilePathOptions(const KnownFolders& folders, FileProbe* probe) {
  ProgramPathOptions options;
  options.probe = probe;
  options.dropLeadingAt = true;
  options.removeQuotes = true;
  options.systemRootFolder = GuessWindowsFolder(folders.systemFolder);
  options.cutAgainWhen = ProgramPathOptions::CutAgainWhen::ExtensionLonger;
  return options;
}

std::string ExtractCommandFilePath(const std::string& text, const KnownFolders& folders,
                                   FileProbe* probe) {
  return ExtractProgramPath(text, CommandFilePathOptions(folders, probe));
}

std::string ExtractCommandFilePath(const std::string& text) {
  return ExtractCommandFilePath(text, KnownFolders::OfCurrentMachine());
}

// Quotes count as spaces. The extension is part of the text, so it holds no
// reserved character once the text holds none.
bool IsValidFilePath(const std::string& text) {
  const auto isReserved = [](char c) { return c != '"' && kReservedCharacters.Holds(c); };
  if (std::any_of(text.begin(), text.end(), isReserved)) return false;
  const std::size_t nameCut = text.find_last_of("\\:");
  const std::size_t extensionCut = text.find_last_of(".\\:");
  if (text.empty() || nameCut == text.size() - 1 || extensionCut == std::string::npos || text[extensionCut] != '.')
    return false;
  const std::size_t firstColon = text.find(':');
  if (firstColon != std::string::npos && text.find(':', firstColon + 1) != std::string::npos)
    return false;
  const char drive = text[0];
  return ((drive >= 'a' && drive <= 'z') || (drive >= 'A' && drive <= 'Z')) && text.size() >= 2 &&
         text[1] == ':';
}

bool IsPlainFolderPath(const std::string& text) {
  const std::size_t characters = static_cast<std::size_t>(std::count_if(
      text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
  return characters <= kMaxPath && !kFolderPathCharacters.HeldIn(text);
}

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

bool HasDriveRoot(std::string_view text) { return text.size() >= 3 && text.compare(1, 2, ":\\") == 0; }

}  // namespace regclean
