// Find first/next over a folder of the machine, and Windows wildcards.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/files/HostFiles.h"
#include "platform/files/PathResolver.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"

namespace win {

using namespace fs_detail;

namespace {

class ListFinder : public FileFinder {
 public:
  explicit ListFinder(std::vector<FindData> entries) : entries_(std::move(entries)) {}
  bool Next(FindData& data) override {
    if (next_ >= entries_.size()) {
      SetLastError(ERROR_NO_MORE_ITEMS);
      return false;
    }
    // Each entry goes out once.
    data = std::move(entries_[next_++]);
    return true;
  }

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 1;  // entry 0 went out with FindFirstFile
};

// Pattern tokens: code units, and the wildcards as Windows turns them into
// its DOS forms before matching.
enum Token : int {
  kStar = -1,     // "*": any run
  kDosStar = -2,  // "*" before ".": any run that stops before the name's last dot
  kDosQm = -3,    // "?": one character, or none at a dot or the end of the name
  kDosDot = -4,   // "." before a wildcard or at the end: a dot, or the end of the name
};

std::vector<int> DosPattern(const std::u16string& pattern) {
  std::vector<int> tokens;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char16_t c = pattern[i];
    const char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
    if (c == u'*') {
      tokens.push_back(next == u'.' ? kDosStar : kStar);
    } else if (c == u'?') {
      tokens.push_back(kDosQm);
    } else if (c == u'.' && (next == u'*' || next == u'?' || next == u'\0')) {
      tokens.push_back(kDosDot);
    } else {
      tokens.push_back(c);
    }
  }
  return tokens;
}

bool DosMatch(const std::vector<int>& pattern, const std::u16string& name) {
  const std::size_t lastDot = name.rfind(u'.');
  const std::size_t width = name.size() + 1;
  // matches[p * width + n]: pattern from p matches name from n.
  std::vector<char> matches((pattern.size() + 1) * width, 0);
  const auto at = [&](std::size_t p, std::size_t n) -> char& { return matches[p * width + n]; };
  at(pattern.size(), name.size()) = 1;
  for (std::size_t p = pattern.size(); p-- > 0;) {
    for (std::size_t n = name.size() + 1; n-- > 0;) {
      const bool end = n == name.size();
      const bool dot = !end && name[n] == u'.';
      bool match = false;
      switch (pattern[p]) {
        case kStar:
          match = at(p + 1, n) || (!end && at(p, n + 1));
          break;
        case kDosStar:
          match = at(p + 1, n) || (!end && n != lastDot && at(p, n + 1));
          break;
        case kDosQm:
          match = end || dot ? at(p + 1, n) : at(p + 1, n + 1);
          break;
        case kDosDot:
          match = end ? at(p + 1, n) : dot && at(p + 1, n + 1);
          break;
        default:
          match = !end && name[n] == pattern[p] && at(p + 1, n + 1);
          break;
      }
      at(p, n) = match ? 1 : 0;
    }
  }
  return at(0, 0) != 0;
}

// The folder one level up; the root stays the root.
std::string UpOne(const std::string& path, char separator, std::size_t rootLength) {
  const std::size_t cut = path.rfind(separator);
  return cut == std::string::npos || cut < rootLength ? path : path.substr(0, cut);
}

}  // namespace

FileFinder::~FileFinder() = default;

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  return DosMatch(DosPattern(Utf8ToUtf16(UpperName(pattern))), Utf8ToUtf16(UpperName(name)));
}

std::unique_ptr<FileFinder> FindFirstFile(const std::string& pattern, FindData& first) {
  ResolvedPath resolved;
  if (!ResolvePath(pattern, resolved, true)) return nullptr;
  if (resolved.IsRoot()) {
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  if (!resolved.parentExists) {
    Fail(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  const std::string mask = resolved.given.back();
  const std::string folderHost = resolved.ParentHost();
  const std::string folderWindows = resolved.ParentWindows();
  StateStore* state = State();
  const auto recordOf = [state](const std::string& windowsPath) {
    return state ? state->FileAttributes(UpperName(windowsPath)) : std::nullopt;
  };

  // "*" and "*.*" match every name: a whole-folder listing tests none.
  const bool everyName = mask == "*" || mask == "*.*";
  std::vector<FindData> dots;
  if (everyName || WildcardMatch(mask, ".")) {
    const HostEntry here = StatHost(folderHost);
    LogHostPath(folderHost);
    dots.push_back(MakeFindData(".", here, AttributesOf(here, recordOf(folderWindows))));
  }
  if (everyName || WildcardMatch(mask, "..")) {
    const std::string upHost = UpOne(folderHost, '/', resolved.hostRoot.size());
    const std::string upWindows = UpOne(folderWindows, '\\', 2);
    const HostEntry up = StatHost(upHost);
    LogHostPath(upHost);
    dots.push_back(MakeFindData("..", up, AttributesOf(up, recordOf(upWindows))));
  }

  std::vector<std::pair<std::string, FindData>> entries;  // by upper-cased name
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folderHost.c_str()), closedir);
  if (!dir) {
    FailFromErrno(errno);
    return nullptr;
  }
  const auto records = state ? state->FileAttributesIn(UpperName(folderWindows))
                             : std::map<std::string, DWORD>();
  const std::vector<int> maskTokens = DosPattern(Utf8ToUtf16(UpperName(mask)));
  const int folderFd = dirfd(dir.get());
  const HostEntry folder = StatHostAt(folderFd, ".");
  while (const dirent* item = readdir(dir.get())) {
    const std::string name = item->d_name;
    // A name with a backslash could never be reached by a Windows path.
    if (name == "." || name == ".." || name.find('\\') != std::string::npos) continue;
    std::string upper = UpperName(name);
    if (!everyName && !DosMatch(maskTokens, Utf8ToUtf16(upper))) continue;
    if (IsHiddenStoreName(folder, name)) continue;
    const HostEntry entry = StatHostAt(folderFd, item->d_name);
    if (HostPathLogOn()) LogHostPath(folderHost + "/" + name);
    if (entry.kind == EntryKind::Missing || IsMachineFolderEntry(entry)) continue;
    // The program's own temporary files are never shown.
    if (entry.kind != EntryKind::Folder && IsTemporaryFileName(name)) continue;
    const auto record = records.empty() ? records.end() : records.find(upper);
    const std::optional<DWORD> stored =
        record == records.end() ? std::nullopt : std::optional<DWORD>(record->second);
    entries.emplace_back(std::move(upper), MakeFindData(name, entry, AttributesOf(entry, stored)));
  }
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.name < b.second.name;
  });
  for (auto& item : entries) dots.push_back(std::move(item.second));
  if (dots.empty()) {
    Fail(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  first = dots.front();
  return std::make_unique<ListFinder>(std::move(dots));
}

}  // namespace win
