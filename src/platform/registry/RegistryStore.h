#pragma once
// The registry of an emulated machine, kept in an SQLite file (registry.db).
// Keys and values compare case-insensitively (upper-cased ordinal) and keep
// their case; subkeys enumerate sorted by upper-cased name, values in creation
// order. Value data is raw bytes; strings are UTF-16LE with terminator.
// Every write is committed when the call returns. Two processes may share a
// store (SQLite locking); one store object is used by one thread at a time.
// Between calls a store keeps its read transaction and what it has read for
// as long as no connection commits anything; any commit shows at the next
// call.
//
// Failures set GetLastError(): ERROR_FILE_NOT_FOUND (no such key or value),
// ERROR_KEY_DELETED (the key id is gone), ERROR_ACCESS_DENIED (a read-only
// key, or a root or alias target that cannot be deleted),
// ERROR_INVALID_PARAMETER (bad or over-long name), ERROR_CANTREAD /
// ERROR_CANTWRITE / ERROR_REGISTRY_CORRUPT (the file). The list calls return
// an empty list on failure. Writes to read-only keys fail here too, so a
// machine is built through a store opened without readOnlyKeys.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

struct RegistryOptions {
  // HKEY_CURRENT_USER is HKEY_USERS\<userSid>.
  std::string userSid = "S-1-5-21-1000000000-1000000000-1000000000-1003";
  // Full key paths ("HKEY_LOCAL_MACHINE\SOFTWARE\Locked") that the current
  // user may read but not change; the key and everything under it.
  std::vector<std::string> readOnlyKeys;
  // Reads served row by row before the whole registry is loaded into memory
  // (0: at the first read), again after another connection has committed.
  std::size_t rowReadsBeforeImage = 1024;
  // Without the image, a key's list is read with those of its siblings (a
  // walk goes on to them) up to this many rows for them all; the children of
  // a key that hold more are read one by one.
  std::size_t childListRows = std::size_t{1} << 17;
  // The image's tables are read by ranges in threads, one for every so many
  // keys (up to four; 0: none), and on the store's connection.
  std::size_t imageKeysPerThread = 25000;
  // A close that finds every page sound stamps the file (beside it, with
  // "-checked"); the next open skips the whole-file check when the file is
  // unchanged since and no log is beside it.
  bool checkStamp = false;
};

struct RegValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
};

// The subkeys of `key` as one read gives them: names and ids side by side.
// Items past `count` are kept with their room for the next read.
struct RegKeyList {
  std::int64_t key = -1;
  std::vector<std::string> names;
  std::vector<std::int64_t> ids;
  std::size_t count = 0;
};

// The values of a key as one read gives them. Items past `count` are kept
// with their room for the next read into the list.
struct RegValueList {
  std::vector<RegValue> items;
  std::size_t count = 0;
};

class RegistryStore {
 public:
  // Opens (creating when missing) the store at dbPath. Returns null and sets
  // error (naming the file) when the file is damaged or cannot be opened.
  static std::unique_ptr<RegistryStore> Open(const std::string& dbPath,
                                             const RegistryOptions& options,
                                             std::string& error);
  virtual ~RegistryStore();

  // Key ids. A root handle resolves to the id of its tree (aliases included).
  virtual std::optional<std::int64_t> RootId(HKEY root) = 0;
  // Child of a key by name (case-insensitive).
  virtual std::optional<std::int64_t> FindChild(std::int64_t parent, const std::string& name) = 0;
  // Finds or makes the child; names hold no backslash and at most 255
  // characters.
  virtual std::optional<std::int64_t> CreateChild(std::int64_t parent, const std::string& name) = 0;
  virtual bool KeyAlive(std::int64_t key) = 0;
  virtual std::vector<std::string> ChildNames(std::int64_t key) = 0;
  // ChildNames(key) with the children's ids into the list, reusing its room;
  // an empty list on failure.
  virtual void ReadChildren(std::int64_t key, RegKeyList& children) = 0;
  virtual std::vector<std::string> ValueNames(std::int64_t key) = 0;
  virtual std::vector<RegValue> Values(std::int64_t key) = 0;
  // Values(key) into the list, reusing the room of its items; an empty list
  // on failure.
  virtual void ReadValues(std::int64_t key, RegValueList& values) = 0;
  // Type and raw data of a value; they stay as they were on failure.
  virtual bool GetValue(std::int64_t key, const std::string& name, DWORD& type,
                        std::vector<std::uint8_t>& data) = 0;
  // A rewritten value keeps its place and the case of its first name.
  virtual bool SetValue(std::int64_t key, const std::string& name, DWORD type,
                        const std::vector<std::uint8_t>& data) = 0;
  virtual bool DeleteValue(std::int64_t key, const std::string& name) = 0;
  // Deletes the key and its whole subtree.
  virtual bool DeleteTree(std::int64_t key) = 0;
  // True when the current user may change this key.
  virtual bool Writable(std::int64_t key) = 0;
  // Full path "HKEY_LOCAL_MACHINE\SOFTWARE\..." of a key (canonical root).
  virtual std::string KeyPath(std::int64_t key) = 0;

  // False: reads that would load the image of the whole registry go row by
  // row instead (an image already loaded still serves them), so that one
  // pass over a large tree holds little; true (the default) again allows it.
  virtual void AllowImage(bool allow) = 0;

  // Changes whenever anything was committed (by anyone) or deleted since the
  // last call: key ids found while it stays the same are still valid.
  virtual std::uint64_t ChangeCount() = 0;

  // Groups many writes into one transaction (import, machine creation).
  // Batches nest; only the outermost commit makes the writes durable.
  virtual bool BeginBatch() = 0;
  virtual bool CommitBatch() = 0;
  virtual void RollbackBatch() = 0;
};

// Reads row by row (RegistryStore::AllowImage) while this object lives.
class ScopedRowReads {
 public:
  explicit ScopedRowReads(RegistryStore& store) : store_(store) { store_.AllowImage(false); }
  ~ScopedRowReads() { store_.AllowImage(true); }
  ScopedRowReads(const ScopedRowReads&) = delete;
  ScopedRowReads& operator=(const ScopedRowReads&) = delete;

 private:
  RegistryStore& store_;
};

// The registry of the current machine; null before a machine is opened.
RegistryStore* CurrentRegistry();
void SetCurrentRegistry(RegistryStore* store);

// "HKEY_LOCAL_MACHINE" etc. (any letter case); 0 / empty for anything else.
HKEY RootFromName(const std::string& name);
std::string RootName(HKEY root);

}  // namespace win
