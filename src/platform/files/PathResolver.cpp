#include "platform/files/PathResolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <list>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"

namespace win::fs_detail {

namespace {

constexpr std::size_t kMaxPath = 260;       // characters, terminator included
constexpr std::size_t kMaxComponent = 255;  // characters
constexpr std::int64_t kUnixEpochInFileTime = 11644473600LL;  // seconds 1601..1970
constexpr std::int64_t kTicksPerSecond = 10000000;

bool ValidComponent(const std::string& name, bool allowWildcards) {
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32) return false;
    switch (c) {
      case '<': case '>': case ':': case '"': case '|':
        return false;
      case '*': case '?':
        if (!allowWildcards) return false;
        break;
      default:
        break;
    }
  }
  return true;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

std::size_t Utf16Length(const std::string& text) { return IsAscii(text) ? text.size() : Utf8ToUtf16(text).size(); }

// Machine::DriveFolder, which normalises the joined path on each call, the
// last answer of this thread kept by what it is made of.
std::string DriveFolderOf(const Machine& machine, const DriveEntry& drive) {
  struct Last {
    std::string machineFolder;
    char letter = 0;
    std::string driveFolder;
    std::string host;
  };
  thread_local Last last;
  if (last.letter != drive.letter || last.driveFolder != drive.folder || last.machineFolder != machine.Folder()) {
    last.host = machine.DriveFolder(drive.letter);
    last.machineFolder = machine.Folder();
    last.letter = drive.letter;
    last.driveFolder = drive.folder;
  }
  return last.host;
}

FileTime FromStatx(const struct statx_timestamp& t) { return FileTimeFromUnix(t.tv_sec, t.tv_nsec); }

std::int64_t Nanoseconds(const struct timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::int64_t Nanoseconds(const struct statx_timestamp& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// Upper-cased names of one host folder, as listed at one moment. A listing
// stays good while the folder's change times are those seen then; it is
// trusted only when it was made well after the last change, since the file
// system stamps changes with a coarse clock.
struct FolderListing {
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t changed = 0;  // latest of mtime and ctime
  std::int64_t listedAt = 0;
  std::string host;
  struct Spelling {
    std::string name;      // of several, the first in byte order
    bool several = false;  // more than one name is so upper-cased
  };
  std::unordered_map<std::string, Spelling> byUpper;
};

constexpr std::int64_t kTrustMargin = 2'000'000'000;  // ns
constexpr std::size_t kMaxListings = 16384;
constexpr std::size_t kMaxListedNames = 1 << 18;

// Listings by host folder, the least recently used going first once either
// bound is passed.
class ListingCache {
 public:
  // The host spelling of upper inside the folder dirHost (also reached as
  // dirRel below the open folder base); empty when there is none. folder:
  // its metadata as just read without following a link, when the caller has
  // it.
  std::string Find(int base, const char* dirRel, const std::string& dirHost, const std::string& upper,
                   const HostEntry* folder = nullptr) {
    Answer answer;
    return Look(base, dirRel, dirHost, upper, answer, folder) ? std::move(answer.name) : std::string();
  }

  struct Answer {
    std::string name;      // empty: no such name
    bool several = false;  // the folder holds more than one name so upper-cased
    dev_t device = 0;      // of the folder
    ino_t inode = 0;
  };
  // Find, telling also whether the folder holds other names so upper-cased
  // (one of them may be the name exactly as asked) and which folder was
  // listed. False when the folder is not a real one or cannot be listed.
  bool Look(int base, const char* dirRel, const std::string& dirHost, const std::string& upper, Answer& answer,
            const HostEntry* folder = nullptr) {
    std::int64_t changed = 0;
    if (folder) {
      if (folder->kind != EntryKind::Folder) return false;
      answer.device = static_cast<dev_t>(folder->device);
      answer.inode = static_cast<ino_t>(folder->inode);
      changed = folder->changed;
    } else {
      struct stat st;
      // The folder itself, not where a link in its place leads.
      if (fstatat(base, dirRel, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) return false;
      answer.device = st.st_dev;
      answer.inode = st.st_ino;
      changed = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = index_.find(dirHost);
    if (it != index_.end()) order_.splice(order_.begin(), order_, it->second);
    if (it == index_.end() || it->second->device != answer.device || it->second->inode != answer.inode ||
        it->second->changed != changed || it->second->listedAt < changed + kTrustMargin) {
      FolderListing listing;
      if (!List(base, dirRel, listing)) return false;
      listing.device = answer.device;
      listing.inode = answer.inode;
      listing.changed = changed;
      listing.host = dirHost;
      if (it != index_.end()) {
        names_ -= it->second->byUpper.size();
        *it->second = std::move(listing);
      } else {
        order_.push_front(std::move(listing));
        it = index_.emplace(dirHost, order_.begin()).first;
      }
      names_ += it->second->byUpper.size();
      // The listing just made stays, however large.
      while (order_.size() > 1 && (order_.size() > kMaxListings || names_ > kMaxListedNames)) {
        names_ -= order_.back().byUpper.size();
        index_.erase(order_.back().host);
        order_.pop_back();
      }
    }
    const auto found = it->second->byUpper.find(upper);
    if (found != it->second->byUpper.end()) {
      answer.name = found->second.name;
      answer.several = found->second.several;
    }
    return true;
  }

 private:
  static bool List(int base, const char* dirRel, FolderListing& listing) {
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    listing.listedAt = Nanoseconds(now);
    const int fd = openat(base, dirRel, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(fd), closedir);
    if (!dir) {
      close(fd);
      return false;
    }
    while (const dirent* item = readdir(dir.get())) {
      const std::string name = item->d_name;
      if (name == "." || name == "..") continue;
      // Of two names equal but for case, the first in byte order wins.
      auto [slot, added] = listing.byUpper.try_emplace(UpperName(name), FolderListing::Spelling{name});
      if (added) continue;
      slot->second.several = true;
      if (name < slot->second.name) slot->second.name = name;
    }
    return true;
  }

  std::mutex mutex_;
  std::list<FolderListing> order_;  // most recently used first
  std::unordered_map<std::string, std::list<FolderListing>::iterator> index_;
  std::size_t names_ = 0;
};

}  // namespace

HostEntry StatHost(const std::string& hostPath) { return StatHostAt(AT_FDCWD, hostPath.c_str()); }

HostEntry StatHostAt(int folder, const char* path) {
  HostEntry entry;
  struct statx stx;
  const int flags = AT_SYMLINK_NOFOLLOW | (path[0] == '\0' ? AT_EMPTY_PATH : 0);
  if (statx(folder, path, flags, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0) {
    return entry;
  }
  if (S_ISREG(stx.stx_mode)) {
    entry.kind = EntryKind::File;
    entry.size = stx.stx_size;
  } else if (S_ISDIR(stx.stx_mode)) {
    entry.kind = EntryKind::Folder;
  } else {
    entry.kind = EntryKind::Link;
  }
  entry.mode = stx.stx_mode;
  entry.device = makedev(stx.stx_dev_major, stx.stx_dev_minor);
  entry.inode = stx.stx_ino;
  entry.changed = std::max(Nanoseconds(stx.stx_mtime), Nanoseconds(stx.stx_ctime));
  entry.lastWriteTime = FromStatx(stx.stx_mtime);
  entry.lastAccessTime = FromStatx(stx.stx_atime);
  entry.creationTime =
      (stx.stx_mask & STATX_BTIME) ? FromStatx(stx.stx_btime) : entry.lastWriteTime;
  return entry;
}

namespace {

// A drive's host folder held open, so that its paths resolve from it rather
// than from the host's root.
struct DriveRoot {
  std::string host;
  std::string machineFolder;
  int fd = -1;  // O_PATH
  dev_t device = 0;
  ino_t inode = 0;
  std::int64_t changed = 0;  // ctime when last checked against host
  // The machine folder is not below: a whole path opened in one call meets
  // no entry that a step-by-step walk would refuse.
  bool direct = false;
  ~DriveRoot() {
    if (fd >= 0) close(fd);
  }
};

bool SameIdentity(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::uint64_t MountId(int fd) {
  struct statx stx;
  if (statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &stx) != 0 || !(stx.stx_mask & STATX_MNT_ID)) return 0;
  return stx.stx_mnt_id;
}

// Whether the machine folder may be reached below the drive folder: it or
// one of its parents is the drive folder, or its file system shows through
// another mount, where parents do not tell.
bool MayHoldMachine(const Machine& machine, int rootFd, const struct stat& rootSt) {
  int fd = open(machine.Folder().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || !machine.IsMachineFolder(st.st_dev, st.st_ino)) {
    if (fd >= 0) close(fd);
    return true;
  }
  const std::uint64_t rootMount = MountId(rootFd);
  bool holds = st.st_dev == rootSt.st_dev && (rootMount == 0 || MountId(fd) != rootMount);
  for (int depth = 0; !holds && depth < 4096; ++depth) {
    if (SameIdentity(st, rootSt)) {
      holds = true;
      break;
    }
    const int up = openat(fd, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat upSt;
    if (up < 0 || fstat(up, &upSt) != 0) {
      if (up >= 0) close(up);
      holds = true;
      break;
    }
    close(fd);
    fd = up;
    if (SameIdentity(upSt, st)) break;  // the host's root
    st = upSt;
  }
  close(fd);
  return holds;
}

// The identity and change time of a folder, as a listing is checked against.
HostEntry FolderRead(const struct stat& st) {
  HostEntry entry;
  entry.kind = EntryKind::Folder;
  entry.mode = st.st_mode;
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.changed = std::max(Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim));
  return entry;
}

// The open drive folder of hostRoot, checked against the host's path when
// its change time moved, with what that read of it found in read; null when
// the folder is not there.
std::shared_ptr<const DriveRoot> DriveRootOf(const Machine& machine, const std::string& hostRoot, HostEntry& read) {
  static std::mutex mutex;
  static std::list<std::shared_ptr<DriveRoot>> roots;  // most recently used first
  constexpr std::size_t kMaxRoots = 64;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = std::find_if(roots.begin(), roots.end(), [&](const auto& root) {
    return root->host == hostRoot && root->machineFolder == machine.Folder();
  });
  if (it != roots.end()) {
    roots.splice(roots.begin(), roots, it);
    DriveRoot& root = *roots.front();
    struct stat st;
    if (fstat(root.fd, &st) == 0 && st.st_nlink != 0 && Nanoseconds(st.st_ctim) == root.changed) {
      read = FolderRead(st);
      return roots.front();
    }
    struct stat now;
    if (stat(hostRoot.c_str(), &now) == 0 && S_ISDIR(now.st_mode) && now.st_dev == root.device &&
        now.st_ino == root.inode && fstat(root.fd, &st) == 0) {
      root.changed = Nanoseconds(st.st_ctim);
      read = FolderRead(st);
      return roots.front();
    }
    roots.pop_front();
  }
  auto root = std::make_shared<DriveRoot>();
  root->host = hostRoot;
  root->machineFolder = machine.Folder();
  root->fd = open(hostRoot.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  struct stat st;
  if (root->fd < 0 || fstat(root->fd, &st) != 0) return nullptr;
  root->device = st.st_dev;
  root->inode = st.st_ino;
  root->changed = Nanoseconds(st.st_ctim);
  root->direct = !MayHoldMachine(machine, root->fd, st);
  read = FolderRead(st);
  roots.push_front(root);
  if (roots.size() > kMaxRoots) roots.pop_back();
  return root;
}

// Opens rel below the drive folder in one call, through real folders only
// (no link on the way, no mount crossed), and gives the metadata of what it
// names, a link itself included. False when any of that fails, with missing
// set when a part of rel is not there as spelled.
bool StatBeneath(int rootFd, const std::string& rel, HostEntry& entry, bool* missing = nullptr) {
  static std::atomic<bool> unsupported{false};
  if (missing) *missing = false;
  if (unsupported.load(std::memory_order_relaxed)) return false;
  struct open_how how {};
  how.flags = O_PATH | O_NOFOLLOW | O_CLOEXEC;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_NO_XDEV;
  const int fd = static_cast<int>(syscall(SYS_openat2, rootFd, rel.c_str(), &how, sizeof how));
  if (fd < 0) {
    if (errno == ENOSYS) unsupported.store(true, std::memory_order_relaxed);
    if (missing) *missing = errno == ENOENT;
    return false;
  }
  entry = StatHostAt(fd, "");
  close(fd);
  return entry.kind != EntryKind::Missing;
}

ListingCache& Listings() {
  static ListingCache cache;
  return cache;
}

// The host spelling of name inside the real folder dirRel of the drive
// folder (dirHost on the host), with its metadata in entry: the exact name
// when it is there, else the entry equal to it ignoring case; empty when
// there is none. With exactMissing the exact name was just found missing;
// folder: the folder's metadata as just read, when the caller has it.
std::string FindHostName(const DriveRoot& root, const std::string& dirRel, const std::string& dirHost,
                         const std::string& name, HostEntry& entry, bool exactMissing = false,
                         const HostEntry* folder = nullptr) {
  if (!exactMissing) {
    entry = StatHostAt(root.fd, (dirRel.empty() ? name : dirRel + "/" + name).c_str());
    if (entry.kind != EntryKind::Missing) return name;
  } else {
    entry = HostEntry();
  }
  std::string found =
      Listings().Find(root.fd, dirRel.empty() ? "." : dirRel.c_str(), dirHost, UpperName(name), folder);
  if (!found.empty()) entry = StatHostAt(root.fd, (dirRel.empty() ? found : dirRel + "/" + found).c_str());
  return found;
}

// Folders whose parts the host spells otherwise than a path did, as a walk
// found them: the host's names and each folder's identity. Only a guess: a
// path through one is answered from it when the listing of every folder on
// the way still gives the same name and the same folder.
struct CorrectedFolder {
  dev_t rootDevice = 0;
  ino_t rootInode = 0;
  std::vector<std::string> names;                 // host names below the drive folder
  std::vector<std::pair<dev_t, ino_t>> folders;   // the identity of each
};

// Kept by drive folder and upper-cased parts, the least recently used going
// first; dropped whole when this file system changed anything.
class CorrectedFolders {
 public:
  static std::string KeyOf(const std::string& hostRoot, const std::vector<std::string>& parts, std::size_t count) {
    std::string key = hostRoot;
    for (std::size_t i = 0; i < count; ++i) (key += '\\') += parts[i];
    return key.substr(0, hostRoot.size()) + UpperName(key.substr(hostRoot.size()));
  }

  std::shared_ptr<const CorrectedFolder> Find(std::string_view key) {
    std::lock_guard<std::mutex> lock(mutex_);
    DropIfChanged();
    const auto it = index_.find(key);
    if (it == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return it->second->second;
  }

  // The folder of the first count names, unless kept as it is.
  void Keep(std::string key, const DriveRoot& root, const std::vector<std::string>& names,
            const std::vector<std::pair<dev_t, ino_t>>& folders, std::size_t count) {
    const auto length = static_cast<std::ptrdiff_t>(count);
    std::lock_guard<std::mutex> lock(mutex_);
    DropIfChanged();
    auto it = index_.find(key);
    if (it != index_.end()) {
      order_.splice(order_.begin(), order_, it->second);
      const CorrectedFolder& held = *it->second->second;
      if (held.rootDevice == root.device && held.rootInode == root.inode && held.names.size() == count &&
          std::equal(held.names.begin(), held.names.end(), names.begin()) &&
          std::equal(held.folders.begin(), held.folders.end(), folders.begin())) {
        return;
      }
    }
    auto folder = std::make_shared<CorrectedFolder>();
    folder->rootDevice = root.device;
    folder->rootInode = root.inode;
    folder->names.assign(names.begin(), names.begin() + length);
    folder->folders.assign(folders.begin(), folders.begin() + length);
    if (it != index_.end()) {
      it->second->second = std::move(folder);
      return;
    }
    order_.emplace_front(key, std::move(folder));
    index_.emplace(std::move(key), order_.begin());
    if (order_.size() > kMaxKept) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
  }

  bool Empty() {
    std::lock_guard<std::mutex> lock(mutex_);
    return order_.empty();
  }

 private:
  static constexpr std::size_t kMaxKept = 4096;
  using Item = std::pair<std::string, std::shared_ptr<const CorrectedFolder>>;

  void DropIfChanged() {
    const std::uint64_t changes = ChangeCount();
    if (changes == changes_) return;
    changes_ = changes;
    order_.clear();
    index_.clear();
  }

  std::mutex mutex_;
  std::list<Item> order_;  // most recently used first
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
  };
  std::unordered_map<std::string, std::list<Item>::iterator, KeyHash, std::equal_to<>> index_;
  std::uint64_t changes_ = 0;
};

CorrectedFolders& Corrected() {
  static CorrectedFolders folders;
  return folders;
}

// Keeps each folder among the first count parts, walked to names with the
// identities folders, whose spelling differs from the parts' on the way.
void KeepCorrected(const DriveRoot& root, const std::vector<std::string>& parts, const std::vector<std::string>& names,
                   const std::vector<std::pair<dev_t, ino_t>>& folders, std::size_t count) {
  std::size_t first = 0;  // the first part spelled otherwise
  while (first < count && parts[first] == names[first]) ++first;
  if (first == count) return;
  const std::string key = CorrectedFolders::KeyOf(root.host, parts, count);
  std::size_t end = root.host.size();
  for (std::size_t level = 1; level <= count; ++level) {
    end = std::min(key.find('\\', end + 1), key.size());
    if (level > first) Corrected().Keep(key.substr(0, end), root, names, folders, level);
  }
}

// Where a path stands after the folders kept for its first parts.
struct CorrectedStart {
  std::string rel;   // below the drive folder, as the host spells it
  std::string host;  // the same on the host
  ListingCache::Answer next;  // the next part in the last folder's listing
};

// Checks the folders kept for the first parts of a path against the host,
// as the walk would find them: each folder on the way, looked at without
// following a link in its place, must be the one kept, and its listing must
// give the kept name for the part with no other name equal to it but for
// case. The last folder's listing is looked up for the next part too.
bool CheckCorrected(const DriveRoot& root, const HostEntry& rootRead, const CorrectedFolder& kept,
                    const std::vector<std::string>& parts, const std::string& hostRoot, CorrectedStart& start) {
  const std::size_t count = kept.names.size();
  if (kept.rootDevice != root.device || kept.rootInode != root.inode || count >= parts.size()) return false;
  start.host = hostRoot;
  std::pair<dev_t, ino_t> expected{root.device, root.inode};
  for (std::size_t i = 0; i <= count; ++i) {
    ListingCache::Answer& answer = start.next;
    answer = ListingCache::Answer();
    if (!Listings().Look(root.fd, start.rel.empty() ? "." : start.rel.c_str(), start.host, UpperName(parts[i]),
                         answer, i == 0 ? &rootRead : nullptr) ||
        answer.device != expected.first || answer.inode != expected.second || answer.several) {
      return false;
    }
    if (i == count) break;
    if (answer.name != kept.names[i]) return false;
    (start.rel.empty() ? start.rel : start.rel += '/') += answer.name;
    (start.host += '/') += answer.name;
    expected = kept.folders[i];
  }
  return true;
}

}  // namespace

namespace {
HostPathLog g_hostPathLog;
std::atomic<std::uint64_t> g_changes{0};
}  // namespace

void NoteChange() { g_changes.fetch_add(1, std::memory_order_relaxed); }
std::uint64_t ChangeCount() { return g_changes.load(std::memory_order_relaxed); }

void SetHostPathLog(HostPathLog log) { g_hostPathLog = std::move(log); }

bool HostPathLogOn() { return static_cast<bool>(g_hostPathLog); }

void LogHostPath(const std::string& hostPath) {
  if (g_hostPathLog) g_hostPathLog(hostPath);
}

std::string ResolvedPath::Key() const { return UpperName(windows); }

std::string ResolvedPath::ParentWindows() const {
  if (IsRoot()) return windows;
  return windows.substr(0, windows.size() - names.back().size() - 1);
}

std::string ResolvedPath::ParentHost() const {
  if (IsRoot()) return host;
  return host.substr(0, host.size() - names.back().size() - 1);
}

std::string ResolvedPath::WindowsDisplay() const { return IsRoot() ? windows + "\\" : windows; }

bool ResolvePath(const std::string& windowsPath, ResolvedPath& out, bool allowWildcards) {
  out = ResolvedPath();
  const Machine* machine = CurrentMachine();
  std::string path = windowsPath;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  if (!machine || path.size() < 2 || path[1] != ':' ||
      !std::isalpha(static_cast<unsigned char>(path[0]))) {
    return Fail(ERROR_PATH_NOT_FOUND);
  }
  out.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
  const DriveEntry* known = nullptr;
  for (const auto& drive : machine->Config().drives) {
    if (!known && drive.letter == out.drive) known = &drive;
  }
  if (!known) return Fail(ERROR_PATH_NOT_FOUND);

  // Components, with "." and ".." applied as Windows applies them: by text.
  std::vector<std::string> parts;
  std::size_t start = 2;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return Fail(ERROR_PATH_NOT_FOUND);
      parts.pop_back();
      continue;
    }
    const bool last = start > path.size();
    if (!ValidComponent(part, allowWildcards && last)) return Fail(ERROR_INVALID_NAME);
    parts.push_back(std::move(part));
  }
  std::size_t length = 2;  // "C:", then "\name" per part
  for (const auto& part : parts) {
    const std::size_t partLength = Utf16Length(part);
    if (partLength > kMaxComponent) return Fail(ERROR_FILENAME_EXCED_RANGE);
    length += partLength + 1;
  }
  if (length >= kMaxPath) return Fail(ERROR_FILENAME_EXCED_RANGE);

  out.hostRoot = DriveFolderOf(*machine, *known);
  HostEntry rootRead;  // the drive folder as read just now
  const std::shared_ptr<const DriveRoot> root =
      out.hostRoot.empty() ? nullptr : DriveRootOf(*machine, out.hostRoot, rootRead);
  if (!root) return Fail(ERROR_NOT_READY);

  out.windows = std::string(1, out.drive) + ":";
  out.host = out.hostRoot;
  out.given = parts;
  out.entry.kind = EntryKind::Folder;
  out.parentExists = true;
  const bool wildcardLast = allowWildcards && !parts.empty() && HasWildcard(parts.back());
  const auto logEnd = [&out, wildcardLast] {
    if (g_hostPathLog && !wildcardLast) g_hostPathLog(out.host);
  };
  // The root's own metadata matters only when the path names the root.
  if (parts.empty()) {
    out.entry = StatHost(out.hostRoot);
    out.entry.kind = EntryKind::Folder;
    logEnd();
    return true;
  }

  // The deepest folder on the way that a walk found spelled otherwise than
  // here: its listings answer for the parts so far.
  std::shared_ptr<const CorrectedFolder> kept;
  CorrectedStart from;
  if (root->direct && !wildcardLast && parts.size() > 1 && !Corrected().Empty()) {
    const std::string key = CorrectedFolders::KeyOf(out.hostRoot, parts, parts.size() - 1);
    for (std::size_t end = key.size(); !kept && end > out.hostRoot.size(); end = key.rfind('\\', end - 1)) {
      kept = Corrected().Find(std::string_view(key).substr(0, end));
    }
    if (kept && (std::equal(kept->names.begin(), kept->names.end(), parts.begin()) ||
                 !CheckCorrected(*root, rootRead, *kept, parts, out.hostRoot, from))) {
      kept = nullptr;
    }
  }
  // All but the last part from there: the listing gives the last.
  if (kept && kept->names.size() + 1 == parts.size()) {
    const std::string& name = from.next.name;
    HostEntry entry;
    if (!name.empty()) entry = StatHostAt(root->fd, (from.rel + "/" + name).c_str());
    if (name.empty() || (entry.kind != EntryKind::Missing && !IsMachineFolderEntry(entry))) {
      out.names = kept->names;
      out.names.push_back(name.empty() ? parts.back() : name);
      for (const auto& part : out.names) out.windows += "\\" + part;
      out.host = from.host + "/" + out.names.back();
      out.entry = entry;
      if (entry.kind == EntryKind::Folder) {
        std::vector<std::pair<dev_t, ino_t>> folders = kept->folders;
        folders.emplace_back(entry.device, entry.inode);
        KeepCorrected(*root, parts, out.names, folders, parts.size());
      }
      logEnd();
      return true;
    }
    kept = nullptr;  // the host moved since its listing: walked below
  }

  // Every part spelled as the host spells it: one call answers as the walk
  // below would.
  bool exactMissing = false;  // and tells when the path is not there so spelled
  if (root->direct && !kept) {
    const std::size_t looked = wildcardLast ? parts.size() - 1 : parts.size();
    std::string rel;
    for (std::size_t i = 0; i < looked; ++i) (i ? rel += '/' : rel) += parts[i];
    HostEntry entry;
    if (looked == 0 || (StatBeneath(root->fd, rel, entry, &exactMissing) && !IsMachineFolderEntry(entry) &&
                        (!wildcardLast || entry.kind == EntryKind::Folder))) {
      out.names = parts;
      for (const auto& part : parts) {
        out.windows += "\\" + part;
        out.host += "/" + part;
      }
      out.entry = wildcardLast ? HostEntry() : entry;
      logEnd();
      return true;
    }
  }

  // All but the last part spelled as the host spells them: only the last
  // needs looking up.
  if (root->direct && !kept && !wildcardLast && parts.size() > 1) {
    std::string parentRel;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) (i ? parentRel += '/' : parentRel) += parts[i];
    HostEntry parent;
    if (StatBeneath(root->fd, parentRel, parent) && parent.kind == EntryKind::Folder &&
        !IsMachineFolderEntry(parent)) {
      const std::string parentHost = out.hostRoot + "/" + parentRel;
      if (IsHiddenStoreName(parent, parts.back())) return Fail(ERROR_ACCESS_DENIED);
      HostEntry entry;
      // The parent there as spelled, the exact name is what was missing.
      std::string name = FindHostName(*root, parentRel, parentHost, parts.back(), entry, exactMissing, &parent);
      if (IsMachineFolderEntry(entry)) return Fail(ERROR_ACCESS_DENIED);
      const bool found = !name.empty();
      if (!found) name = parts.back();
      out.names = parts;
      out.names.back() = name;
      for (const auto& part : out.names) out.windows += "\\" + part;
      out.host = parentHost + "/" + name;
      out.entry = found ? entry : HostEntry();
      logEnd();
      return true;
    }
  }

  HostEntry folder = rootRead;  // the folder the next component lies in
  std::string rel;  // out.host below the drive folder
  bool inRealFolder = true;  // out.host is an existing folder, not a link
  bool folderRead = true;    // folder holds the metadata read on the way
  std::vector<std::pair<dev_t, ino_t>> folders;  // of the real folders walked
  if (kept) {
    out.names = kept->names;
    for (const auto& name : out.names) out.windows += "\\" + name;
    out.host = from.host;
    rel = from.rel;
    folders = kept->folders;
    folder.device = folders.back().first;
    folder.inode = folders.back().second;
    folderRead = false;
  }
  for (std::size_t i = out.names.size(); i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if (last) out.parentExists = inRealFolder;
    std::string name;
    HostEntry entry;
    if (inRealFolder && IsHiddenStoreName(folder, parts[i])) return Fail(ERROR_ACCESS_DENIED);
    if (inRealFolder && !(last && wildcardLast)) {
      // Just after the kept folders, their last listing has answered.
      if (kept && i == kept->names.size() && !from.next.name.empty()) {
        entry = StatHostAt(root->fd, (rel + "/" + from.next.name).c_str());
        if (entry.kind != EntryKind::Missing) name = from.next.name;
      }
      if (name.empty() && !(kept && i == kept->names.size() && from.next.name.empty())) {
        name = FindHostName(*root, rel, out.host, parts[i], entry, false, folderRead ? &folder : nullptr);
      }
      if (IsMachineFolderEntry(entry)) return Fail(ERROR_ACCESS_DENIED);
    }
    const bool found = !name.empty();
    if (!found) name = parts[i];
    out.names.push_back(name);
    out.windows += "\\" + name;
    out.host += "/" + name;
    (rel.empty() ? rel : rel += '/') += name;
    out.entry = found ? entry : HostEntry();
    inRealFolder = out.entry.kind == EntryKind::Folder;
    folder = out.entry;
    folderRead = true;
    if (inRealFolder) folders.emplace_back(folder.device, folder.inode);
  }
  if (root->direct && !wildcardLast) KeepCorrected(*root, parts, out.names, folders, folders.size());
  logEnd();
  return true;
}

bool IsMachineFolderEntry(const HostEntry& entry) {
  const Machine* machine = CurrentMachine();
  return machine && entry.kind == EntryKind::Folder && machine->IsMachineFolder(entry.device, entry.inode);
}

bool IsHiddenStoreName(const HostEntry& folder, const std::string& name) {
  return IsMachineFolderEntry(folder) && IsStoreFileName(name);
}

bool ResolveExisting(const std::string& windowsPath, ResolvedPath& out) {
  if (!ResolvePath(windowsPath, out)) return false;
  if (!out.Exists()) return Fail(out.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
  return true;
}

bool ResolveInExistingFolder(const std::string& windowsPath, ResolvedPath& out) {
  if (!ResolvePath(windowsPath, out)) return false;
  if (!out.parentExists) return Fail(ERROR_PATH_NOT_FOUND);
  return true;
}

StateStore* State() {
  Machine* machine = CurrentMachine();
  return machine ? &machine->State() : nullptr;
}

DWORD DefaultStoredBits(EntryKind kind) { return kind == EntryKind::File ? FILE_ATTRIBUTE_ARCHIVE : 0; }

DWORD AttributesOf(const HostEntry& entry, const std::optional<DWORD>& record) {
  const DWORD stored = record ? (*record & kStoredBits) : DefaultStoredBits(entry.kind);
  switch (entry.kind) {
    case EntryKind::Missing:
      return INVALID_FILE_ATTRIBUTES;
    case EntryKind::Folder:
      return FILE_ATTRIBUTE_DIRECTORY | stored;
    case EntryKind::Link:
      return FILE_ATTRIBUTE_REPARSE_POINT | stored;
    case EntryKind::File: {
      const DWORD bits = stored | ((entry.mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
      return bits ? bits : FILE_ATTRIBUTE_NORMAL;
    }
  }
  return INVALID_FILE_ATTRIBUTES;
}

DWORD AttributesOf(const ResolvedPath& path) {
  StateStore* state = State();
  return AttributesOf(path.entry, state ? state->FileAttributes(path.Key()) : std::nullopt);
}

FindData MakeFindData(const std::string& name, const HostEntry& entry, DWORD attributes) {
  FindData data;
  data.attributes = attributes;
  data.size = entry.kind == EntryKind::File ? entry.size : 0;
  data.creationTime = entry.creationTime;
  data.lastAccessTime = entry.lastAccessTime;
  data.lastWriteTime = entry.lastWriteTime;
  data.name = name;
  return data;
}

FileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds) {
  const std::int64_t since1601 = seconds + kUnixEpochInFileTime;
  if (since1601 < 0) return 0;
  return static_cast<FileTime>(since1601) * kTicksPerSecond +
         static_cast<FileTime>(nanoseconds / 100);
}

void UnixFromFileTime(FileTime time, std::int64_t& seconds, std::int64_t& nanoseconds) {
  seconds = static_cast<std::int64_t>(time / kTicksPerSecond) - kUnixEpochInFileTime;
  nanoseconds = static_cast<std::int64_t>(time % kTicksPerSecond) * 100;
}

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool FailFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return Fail(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
    case ELOOP:
      return Fail(ERROR_PATH_NOT_FOUND);
    case EEXIST:
      return Fail(ERROR_ALREADY_EXISTS);
    case ENOTEMPTY:
      return Fail(ERROR_DIR_NOT_EMPTY);
    case ENAMETOOLONG:
      return Fail(ERROR_FILENAME_EXCED_RANGE);
    case ENOSPC:
    case EDQUOT:
      return Fail(ERROR_DISK_FULL);
    case EIO:
      return Fail(ERROR_WRITE_FAULT);
    case ENOMEM:
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
    case EBUSY:
    case ETXTBSY:
      return Fail(ERROR_SHARING_VIOLATION);
    default:
      return Fail(ERROR_ACCESS_DENIED);
  }
}

}  // namespace win::fs_detail
