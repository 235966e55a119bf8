#pragma once
// The registry class the program uses, shaped like the registry class of a
// Windows GUI framework: a root key, one open key at a time, typed reads and
// writes. Failures are results (false / std::nullopt) with GetLastError() set;
// nothing throws. Text is UTF-8 here and UTF-16LE in the store.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

class RegistryStore;
struct RegKeyList;
struct RegValueList;

struct RegDataInfo {
  DWORD type = REG_NONE;
  DWORD size = 0;  // bytes of raw data, string terminators included
};

class TRegistry {
 public:
  // Works on the registry of the current machine (CurrentRegistry()).
  explicit TRegistry(DWORD access = KEY_ALL_ACCESS);
  // Works on an explicit store (tests, the machine tool).
  TRegistry(RegistryStore& store, DWORD access = KEY_ALL_ACCESS);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);  // closes the open key
  DWORD Access() const { return access_; }
  void SetAccess(DWORD access) { access_ = access; }

  // A path with a leading backslash starts at the root, otherwise at the open
  // key (or the root when none is open). An empty path opens the root itself.
  // Backslashes separate key names; doubled and trailing ones are ignored.
  // Opening with write rights in Access() fails (ERROR_ACCESS_DENIED) on a
  // key the user may only read; OpenKeyReadOnly opens it for reading and
  // leaves Access() as it is. A failed open keeps the key that was open.
  bool OpenKey(const std::string& path, bool canCreate);
  bool OpenKeyReadOnly(const std::string& path);
  // Opens the subkey `name` (one key name) of the key open in `parent` for
  // reading, by the parent's handle as RegOpenKeyEx does: nothing is looked
  // up from the root. Takes the parent's root; a failed open keeps the key
  // that was open.
  bool OpenSubKeyReadOnly(const TRegistry& parent, const std::string& name);
  // OpenSubKeyReadOnly(parent, subKeys.names[index]) for a list GetKeys made
  // of the key open in parent, `listedAt` being ChangeCount() just before:
  // while it still is, the listed key is opened without looking it up.
  bool OpenListedSubKeyReadOnly(const TRegistry& parent, const RegKeyList& subKeys, std::size_t index,
                                std::uint64_t listedAt);
  void CloseKey();
  bool HasOpenKey() const { return keyId_ >= 0; }
  // Path of the open key below the root, without a leading backslash.
  std::string CurrentPath() const { return currentPath_; }

  // Paths as for OpenKey; the open key stays as it is.
  bool KeyExists(const std::string& path);
  bool CreateKey(const std::string& path);
  // Deletes the key with all its subkeys, all or nothing. Refuses the root
  // (ERROR_ACCESS_DENIED), an empty name (ERROR_INVALID_PARAMETER) and a tree
  // holding a key the user may only read (ERROR_ACCESS_DENIED).
  bool DeleteKey(const std::string& path);

  bool GetKeyNames(std::vector<std::string>& names);
  // Names and ids of the subkeys at once, into the list's room.
  bool GetKeys(RegKeyList& subKeys);
  bool GetValueNames(std::vector<std::string>& names);
  // Names, types and data of all values at once, into the list's room.
  bool GetValues(RegValueList& values);
  bool HasSubKeys();

  // Value names: the empty name is the key's unnamed value.
  bool ValueExists(const std::string& name);
  std::optional<RegDataInfo> GetDataInfo(const std::string& name);
  // -1 when the value does not exist.
  std::int64_t GetDataType(const std::string& name);
  std::int64_t GetDataSize(const std::string& name);

  // REG_SZ and REG_EXPAND_SZ; data up to the first terminator.
  std::optional<std::string> ReadString(const std::string& name);
  // REG_DWORD (four bytes) only.
  std::optional<std::int32_t> ReadInteger(const std::string& name);
  // REG_MULTI_SZ: the strings up to the first empty one.
  std::optional<std::vector<std::string>> ReadMultiString(const std::string& name);
  // The raw bytes of a value of any type.
  std::optional<std::vector<std::uint8_t>> ReadBinaryData(const std::string& name);
  bool ReadRaw(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data);

  bool WriteString(const std::string& name, const std::string& text);
  bool WriteExpandString(const std::string& name, const std::string& text);
  bool WriteInteger(const std::string& name, std::int32_t value);
  // Refuses empty items (ERROR_INVALID_PARAMETER): they would end the list.
  bool WriteMultiString(const std::string& name, const std::vector<std::string>& items);
  bool WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data);
  bool WriteRaw(const std::string& name, DWORD type, const std::vector<std::uint8_t>& data);

  bool DeleteValue(const std::string& name);

  // The store's RegistryStore::ChangeCount(): what was read while it stays
  // the same is still what the store holds.
  std::uint64_t ChangeCount();

 private:
  // Resolves path from the root or the open key, creating missing keys when
  // asked; names gets the key names of the path (views into it).
  std::optional<std::int64_t> Resolve(const std::string& path, bool canCreate,
                                      std::vector<std::string_view>& names, bool& absolute);
  bool Open(const std::string& path, bool canCreate, DWORD access);
  // OpenSubKeyReadOnly, with the child's id when it is known.
  bool OpenSubKey(const TRegistry& parent, const std::string& name, std::optional<std::int64_t> listedId);
  // True when a key is open with the given right; else sets the error.
  bool Require(DWORD right);

  RegistryStore* store_;
  HKEY root_ = HKEY_CURRENT_USER;
  DWORD access_;
  std::int64_t keyId_ = -1;
  DWORD keyAccess_ = 0;  // rights of the open key
  std::string currentPath_;
  // The key names and ids of the last path resolved from the root, valid
  // while the store's ChangeCount() stays memoChanges_.
  HKEY memoRoot_ = 0;
  std::uint64_t memoChanges_ = 0;
  std::vector<std::string> memoNames_;
  std::vector<std::int64_t> memoIds_;
};

}  // namespace win
