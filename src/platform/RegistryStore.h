#pragma once
// The registry of an emulated machine, kept in an SQLite file (registry.db).
// Keys and values compare case-insensitively (upper-cased ordinal) and keep
// their case; subkeys enumerate sorted by upper-cased name, values in creation
// order. Value data is raw bytes; strings are UTF-16LE with terminator.
// Every write is committed when the call returns. Two processes may share a
// store (SQLite locking).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

namespace win {

struct RegistryOptions {
  // HKEY_CURRENT_USER is HKEY_USERS\<userSid>.
  std::string userSid = "S-1-5-21-1000000000-1000000000-1000000000-1003";
  // Full key paths ("HKEY_LOCAL_MACHINE\SOFTWARE\Locked") that the current
  // user may read but not change; the key and everything under it.
  std::vector<std::string> readOnlyKeys;
};

struct RegValue {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
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
  virtual std::optional<std::int64_t> CreateChild(std::int64_t parent, const std::string& name) = 0;
  virtual bool KeyAlive(std::int64_t key) = 0;
  virtual std::vector<std::string> ChildNames(std::int64_t key) = 0;
  virtual std::vector<std::string> ValueNames(std::int64_t key) = 0;
  virtual std::vector<RegValue> Values(std::int64_t key) = 0;
  virtual std::optional<RegValue> GetValue(std::int64_t key, const std::string& name) = 0;
  virtual bool SetValue(std::int64_t key, const std::string& name, DWORD type,
                        const std::vector<std::uint8_t>& data) = 0;
  virtual bool DeleteValue(std::int64_t key, const std::string& name) = 0;
  // Deletes the key and its whole subtree.
  virtual bool DeleteTree(std::int64_t key) = 0;
  // True when the current user may change this key.
  virtual bool Writable(std::int64_t key) = 0;
  // Full path "HKEY_LOCAL_MACHINE\SOFTWARE\..." of a key (canonical root).
  virtual std::string KeyPath(std::int64_t key) = 0;

  // Groups many writes into one transaction (import, machine creation).
  virtual bool BeginBatch() = 0;
  virtual bool CommitBatch() = 0;
  virtual void RollbackBatch() = 0;
};

// The registry of the current machine; null before a machine is opened.
RegistryStore* CurrentRegistry();
void SetCurrentRegistry(RegistryStore* store);

// "HKEY_LOCAL_MACHINE" etc.; 0 / empty for anything else.
HKEY RootFromName(const std::string& name);
std::string RootName(HKEY root);

}  // namespace win
