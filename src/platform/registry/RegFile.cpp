// .reg files against the registry store: export of a tree, import of a file.

#include "platform/registry/RegFile.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

struct KeySteps {
  HKEY root = 0;
  std::vector<std::string> names;  // below the root
};

// "HKEY_LOCAL_MACHINE\SOFTWARE\x" into its root and key names; an empty
// name (doubled or trailing backslash) makes it invalid.
bool SplitKeyPath(const std::string& path, KeySteps& steps, bool allowTrailingBackslash) {
  std::size_t start = path.find('\\');
  steps.root = RootFromName(path.substr(0, start));
  if (steps.root == 0) return false;
  while (start != std::string::npos) {
    const std::size_t next = path.find('\\', start + 1);
    std::string name = path.substr(start + 1, next == std::string::npos ? next : next - start - 1);
    if (name.empty()) return allowTrailingBackslash && next == std::string::npos;
    steps.names.push_back(std::move(name));
    start = next;
  }
  return true;
}

std::string Reason() {
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
      return "access denied";
    case ERROR_REGISTRY_CORRUPT:
      return "the registry file is damaged";
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_PARAMETER:
      return "invalid name";
    default:
      return "error " + std::to_string(GetLastError());
  }
}

// After a store read that gave nothing: true, with error set, when the read
// failed. A missing key, or one deleted meanwhile by another process, is no
// failure of the read.
bool ReadFailed(const std::string& keyPath, std::string& error) {
  const DWORD code = GetLastError();
  if (code == ERROR_SUCCESS || code == ERROR_KEY_DELETED || code == ERROR_FILE_NOT_FOUND) {
    return false;
  }
  error = "cannot read key " + keyPath + ": " + Reason();
  SetLastError(code);
  return true;
}

std::string AtLine(int line, const std::string& what) {
  return line > 0 ? "line " + std::to_string(line) + ": " + what : what;
}

// Where applying stopped short: the line and what failed. The handler
// says whether to go on.
using FailureHandler = std::function<bool(int line, const std::string& what)>;

// Applies the keys of one file, remembering the key ids of the previous
// path so that a file in tree order does not walk from the root each time.
class Applier {
 public:
  Applier(RegistryStore& store, FailureHandler fail) : store_(store), fail_(std::move(fail)) {}

  // False when a failure stops the whole.
  bool Apply(const RegFileKey& key) {
    KeySteps steps;
    if (!SplitKeyPath(key.path, steps, false)) return fail_(key.line, "bad key path \"" + key.path + "\"");
    if (key.remove) return Remove(key, steps);
    const std::optional<std::int64_t> id = Open(steps, true);
    if (!id) return fail_(key.line, "cannot create key " + key.path + ": " + Reason());
    for (const RegFileValue& value : key.values) {
      const int line = value.line > 0 ? value.line : key.line;
      const std::string shown = value.name.empty() ? "@" : "\"" + value.name + "\"";
      if (value.remove) {
        DWORD type = REG_NONE;
        std::vector<std::uint8_t> data;
        const bool present = store_.GetValue(*id, value.name, type, data);
        if (present ? !store_.DeleteValue(*id, value.name)
                    : GetLastError() != ERROR_FILE_NOT_FOUND) {
          if (!fail_(line, "cannot delete value " + shown + " of " + key.path + ": " + Reason())) return false;
        }
      } else if (!store_.SetValue(*id, value.name, value.type, value.data)) {
        if (!fail_(line, "cannot write value " + shown + " of " + key.path + ": " + Reason())) return false;
      }
    }
    return true;
  }

 private:
  bool Remove(const RegFileKey& key, const KeySteps& steps) {
    if (steps.names.empty()) return fail_(key.line, "a root key cannot be deleted");
    const std::optional<std::int64_t> id = Open(steps, false);
    cachedRoot_ = 0;
    cached_.clear();
    if (id ? !store_.DeleteTree(*id) : GetLastError() != ERROR_FILE_NOT_FOUND) {
      return fail_(key.line, "cannot delete key " + key.path + ": " + Reason());
    }
    return true;
  }

  std::optional<std::int64_t> Open(const KeySteps& steps, bool create) {
    std::size_t same = 0;
    if (steps.root == cachedRoot_) {
      while (same < steps.names.size() && same < cached_.size() &&
             cached_[same].first == steps.names[same]) {
        ++same;
      }
    } else {
      cached_.clear();
      cachedRoot_ = 0;
    }
    cached_.resize(same);
    std::optional<std::int64_t> id = same > 0 ? std::optional(cached_[same - 1].second)
                                              : store_.RootId(steps.root);
    if (!id) return id;
    for (std::size_t i = same; i < steps.names.size(); ++i) {
      const std::optional<std::int64_t> child = create ? store_.CreateChild(*id, steps.names[i])
                                                       : store_.FindChild(*id, steps.names[i]);
      if (!child) return child;
      id = child;
      if (create) cached_.emplace_back(steps.names[i], *id);
    }
    if (create) cachedRoot_ = steps.root;
    return id;
  }

  RegistryStore& store_;
  FailureHandler fail_;
  HKEY cachedRoot_ = 0;
  std::vector<std::pair<std::string, std::int64_t>> cached_;
};

bool Commit(RegistryStore& store, std::string& error) {
  if (store.CommitBatch()) return true;
  error = "cannot save the registry: " + Reason();
  const DWORD code = GetLastError();
  store.RollbackBatch();
  SetLastError(code);
  return false;
}

// Applies as regedit imports: a failure is a skipped line of content (the
// first one's code kept in firstCode) and the rest still applies.
Applier SkippingApplier(RegistryStore& store, RegFileContent& content, DWORD& firstCode) {
  return Applier(store, [&content, &firstCode](int line, const std::string& what) {
    if (firstCode == ERROR_SUCCESS) firstCode = GetLastError();
    RecordSkippedLine(content, line, what);
    return true;
  });
}

}  // namespace

RegistryKeyWalk::RegistryKeyWalk(RegistryStore& store, const std::string& keyPath) : store_(store) {
  if (keyPath.empty()) {
    // The other three roots are views of these two trees.
    for (HKEY root : {HKEY_USERS, HKEY_LOCAL_MACHINE}) {
      if (const auto id = store.RootId(root)) stack_.push_back({*id, RootName(root)});
    }
    return;
  }
  KeySteps steps;
  if (!SplitKeyPath(keyPath, steps, true)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    startError_ = "bad key path \"" + keyPath + "\"";
    return;
  }
  std::optional<std::int64_t> id = store.RootId(steps.root);
  std::string path = RootName(steps.root);
  for (const std::string& name : steps.names) {
    if (!id) break;
    std::string stored = name;
    for (const std::string& child : store.ChildNames(*id)) {
      if (SameName(child, name)) stored = child;
    }
    id = store.FindChild(*id, name);
    path += '\\';
    path += stored;
  }
  if (!id) {
    if (!ReadFailed(keyPath, startError_)) startError_ = "key " + keyPath + " does not exist";
    return;
  }
  stack_.push_back({*id, std::move(path)});
}

bool RegistryKeyWalk::Next(RegFileKey& entry, std::string& error) {
  if (!startError_.empty()) {
    error = std::exchange(startError_, std::string());
    return false;
  }
  if (stack_.empty()) return false;
  Pending key = std::move(stack_.back());
  stack_.pop_back();
  entry = RegFileKey();
  entry.path = key.path;
  SetLastError(ERROR_SUCCESS);
  std::vector<RegValue> values = store_.Values(key.id);
  if (values.empty() && ReadFailed(key.path, error)) return false;
  for (RegValue& value : values) {
    entry.values.push_back({std::move(value.name), false, value.type, std::move(value.data), 0});
  }
  SetLastError(ERROR_SUCCESS);
  const std::vector<std::string> children = store_.ChildNames(key.id);
  if (children.empty() && ReadFailed(key.path, error)) return false;
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const std::string path = key.path + '\\' + *it;
    if (const auto child = store_.FindChild(key.id, *it)) {
      stack_.push_back({*child, path});
    } else if (ReadFailed(path, error)) {
      return false;
    }
  }
  return true;
}

bool EachRegistryKey(RegistryStore& store, const std::string& keyPath, const RegKeyHandler& take,
                     std::string& error) {
  RegistryKeyWalk walk(store, keyPath);
  RegFileKey key;
  error.clear();
  while (walk.Next(key, error)) {
    if (!take(key)) return false;
  }
  return error.empty();
}

bool ReadRegistryTree(RegistryStore& store, const std::string& keyPath, RegFileContent& content,
                      std::string& error) {
  std::vector<RegFileKey> keys;
  if (!EachRegistryKey(store, keyPath,
                       [&keys](RegFileKey& key) {
                         keys.push_back(std::move(key));
                         return true;
                       },
                       error)) {
    return false;
  }
  content.keys = std::move(keys);
  return true;
}

bool WriteRegistryTree(RegistryStore& store, const std::string& keyPath, RegFileFormat format,
                       unsigned codePage, const ByteSink& write, std::size_t& keys, std::string& error) {
  constexpr std::size_t kPiece = 1 << 20;
  const ScopedRowReads rowReads(store);
  RegFileFormatter formatter(format, codePage);
  keys = 0;
  bool written = true;
  const auto flush = [&](std::size_t atLeast) {
    std::vector<std::uint8_t>& bytes = formatter.Bytes();
    if (bytes.size() < atLeast) return true;
    written = write(bytes.data(), bytes.size());
    bytes.clear();
    return written;
  };
  std::string refusal;
  const bool read = EachRegistryKey(store, keyPath,
                                    [&](RegFileKey& key) {
                                      refusal = RegFileCannotHold(key, format, codePage);
                                      if (!refusal.empty()) return false;
                                      formatter.Key(key);
                                      ++keys;
                                      return flush(kPiece);
                                    },
                                    error);
  if (!refusal.empty()) {
    SetLastError(ERROR_INVALID_DATA);
    error = "a .reg file cannot hold " + refusal;
    return false;
  }
  if (read) {
    formatter.End();
    flush(0);
  }
  if (!written) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_CANTWRITE);
    error = "cannot write the file";
  }
  return read && written;
}


bool ApplyRegFile(RegistryStore& store, const RegFileContent& content, std::string& error) {
  if (!store.BeginBatch()) {
    error = "cannot start writing to the registry: " + Reason();
    return false;
  }
  Applier applier(store, [&error](int line, const std::string& what) {
    error = AtLine(line, what);
    return false;
  });
  for (const RegFileKey& key : content.keys) {
    if (!applier.Apply(key)) {
      const DWORD code = GetLastError();
      store.RollbackBatch();
      SetLastError(code);
      return false;
    }
  }
  return Commit(store, error);
}

bool ImportRegContent(RegistryStore& store, RegFileContent& content, std::string& error) {
  if (!store.BeginBatch()) {
    error = "cannot start writing to the registry: " + Reason();
    return false;
  }
  DWORD firstCode = ERROR_SUCCESS;
  Applier applier = SkippingApplier(store, content, firstCode);
  for (const RegFileKey& key : content.keys) applier.Apply(key);
  if (!Commit(store, error)) return false;
  SetLastError(firstCode);
  return true;
}

RegImport ImportRegFileStream(RegistryStore& store, const ByteSource& source, const std::string& fileName,
                              unsigned codePage, RegFileContent& content, std::size_t& keys,
                              std::string& error) {
  keys = 0;
  const ScopedRowReads rowReads(store);
  if (!store.BeginBatch()) {
    error = "cannot start writing to the registry: " + Reason();
    return RegImport::NotWritten;
  }
  DWORD firstCode = ERROR_SUCCESS;
  Applier applier = SkippingApplier(store, content, firstCode);
  const RegFileRead read = ReadRegFileStream(source, fileName, codePage, content,
                                             [&](RegFileKey& key) {
                                               ++keys;
                                               return applier.Apply(key);
                                             },
                                             error);
  if (read != RegFileRead::Done) {
    const DWORD code = GetLastError();
    store.RollbackBatch();
    SetLastError(code);
    return read == RegFileRead::BadHeader ? RegImport::BadHeader : RegImport::Unreadable;
  }
  if (!Commit(store, error)) return RegImport::NotWritten;
  SetLastError(firstCode);
  return RegImport::Done;
}

bool ExportRegFile(const std::string& windowsPath, const std::string& keyPath,
                   RegFileFormat format, std::string& error) {
  RegistryStore* store = CurrentRegistry();
  if (store == nullptr) {
    SetLastError(ERROR_NOT_READY);
    error = windowsPath + ": no machine is open";
    return false;
  }
  std::size_t keys = 0;
  std::string readError;
  bool writeFailed = false;
  const bool written = WriteFileWith(windowsPath, [&](const ByteSink& write) {
    const ByteSink noted = [&](const std::uint8_t* data, std::size_t size) {
      writeFailed = !write(data, size);
      return !writeFailed;
    };
    return WriteRegistryTree(*store, keyPath, format, 0, noted, keys, readError);
  });
  if (!written && !writeFailed && !readError.empty()) {
    error = windowsPath + ": " + readError;
    return false;
  }
  if (!written) {
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_CANTWRITE);
    error = windowsPath + ": cannot write the file";
    return false;
  }
  return true;
}

bool ProveRegistryExport(const std::string& windowsPath, const std::string& keyPath,
                         RegFileFormat format, std::string& difference) {
  RegistryStore* store = CurrentRegistry();
  if (store == nullptr) {
    difference = windowsPath + ": no machine is open";
    return false;
  }
  const ScopedRowReads rowReads(*store);
  RegistryKeyWalk walk(*store, keyPath);
  std::string readError;
  const RegKeyPull expected = [&walk, &readError](RegFileKey& key) { return walk.Next(key, readError); };
  const ByteSource source = [&windowsPath](const ByteSink& take) { return ReadFileChunks(windowsPath, take); };
  const bool proven = ProveRegFile(source, windowsPath, format, expected, difference);
  if (!readError.empty()) difference = windowsPath + ": " + readError;
  return proven && readError.empty();
}

std::string RegistryTreeRefusal(const std::string& keyPath, RegFileFormat format) {
  RegistryStore* store = CurrentRegistry();
  if (store == nullptr) return {};
  const ScopedRowReads rowReads(*store);
  RegistryKeyWalk walk(*store, keyPath);
  RegFileKey key;
  std::string error;
  while (walk.Next(key, error)) {
    std::string refusal = RegFileCannotHold(key, format, 0);
    if (!refusal.empty()) return refusal;
  }
  return {};
}

bool ImportRegFile(const std::string& windowsPath, std::string& error) {
  RegistryStore* store = CurrentRegistry();
  if (store == nullptr) {
    SetLastError(ERROR_NOT_READY);
    error = windowsPath + ": no machine is open";
    return false;
  }
  const ByteSource source = [&windowsPath](const ByteSink& take) { return ReadFileChunks(windowsPath, take); };
  RegFileContent content;
  std::size_t keys = 0;
  switch (ImportRegFileStream(*store, source, windowsPath, 0, content, keys, error)) {
    case RegImport::Done:
      break;
    case RegImport::BadHeader:
      SetLastError(ERROR_INVALID_DATA);
      return false;
    case RegImport::Unreadable:
      if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_FILE_NOT_FOUND);
      error = windowsPath + ": cannot read the file";
      return false;
    case RegImport::NotWritten:
      error = windowsPath + ": " + error;
      if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_CANTWRITE);
      return false;
  }
  if (content.skippedCount > 0) {
    // What applied stays applied, as with regedit; the import still failed.
    error = SkippedLinesMessage(windowsPath, content);
    if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  return true;
}

}  // namespace win
