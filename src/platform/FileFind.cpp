// Find first/next over a folder of the machine, and Windows wildcards.

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/FileSystem.h"
#include "platform/PathResolver.h"
#include "platform/StateStore.h"
#include "platform/TextCodec.h"

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
    data = entries_[next_++];
    return true;
  }

 private:
  std::vector<FindData> entries_;
  std::size_t next_ = 1;  // entry 0 went out with FindFirstFile
};

// '*' any run, '?' one character.
bool Glob(const std::u16string& pattern, const std::u16string& name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::u16string::npos;
  std::size_t mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == u'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      mark = n;
    } else if (star != std::u16string::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// The folder one level up; the root stays the root.
std::string UpOne(const std::string& path, char separator, std::size_t rootLength) {
  const std::size_t cut = path.rfind(separator);
  return cut == std::string::npos || cut < rootLength ? path : path.substr(0, cut);
}

}  // namespace

FileFinder::~FileFinder() = default;

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  const std::u16string p = Utf8ToUtf16(UpperName(pattern));
  const std::u16string n = Utf8ToUtf16(UpperName(name));
  // "x.*" also matches "x" (so "*.*" matches every name); "x." matches only
  // names without an extension.
  if (p.size() >= 2 && p.compare(p.size() - 2, 2, u".*") == 0 &&
      Glob(p.substr(0, p.size() - 2), n)) {
    return true;
  }
  if (p.size() >= 2 && p.back() == u'.' && n.find(u'.') == std::u16string::npos &&
      Glob(p.substr(0, p.size() - 1), n)) {
    return true;
  }
  return Glob(p, n);
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

  std::vector<FindData> dots;
  if (WildcardMatch(mask, ".")) {
    const HostEntry here = StatHost(folderHost);
    dots.push_back(MakeFindData(".", here, AttributesOf(here, recordOf(folderWindows))));
  }
  if (WildcardMatch(mask, "..")) {
    const std::string upHost = UpOne(folderHost, '/', resolved.hostRoot.size());
    const std::string upWindows = UpOne(folderWindows, '\\', 2);
    const HostEntry up = StatHost(upHost);
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
  while (const dirent* item = readdir(dir.get())) {
    const std::string name = item->d_name;
    // A name with a backslash could never be reached by a Windows path.
    if (name == "." || name == ".." || name.find('\\') != std::string::npos) continue;
    if (!WildcardMatch(mask, name)) continue;
    const HostEntry entry = StatHost(folderHost + "/" + name);
    if (entry.kind == EntryKind::Missing) continue;
    const auto record = records.find(UpperName(name));
    const std::optional<DWORD> stored =
        record == records.end() ? std::nullopt : std::optional<DWORD>(record->second);
    entries.emplace_back(UpperName(name), MakeFindData(name, entry, AttributesOf(entry, stored)));
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
