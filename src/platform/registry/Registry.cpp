#include "platform/registry/Registry.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace win {

namespace {

constexpr DWORD kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

// Key names of a path, as views into it; empty names (doubled or trailing
// backslashes) are skipped.
std::vector<std::string_view> KeyNames(const std::string& path) {
  std::vector<std::string_view> names;
  names.reserve(static_cast<std::size_t>(std::count(path.begin(), path.end(), '\\')) + 1);
  const std::string_view text(path);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\\', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

void AppendNames(std::string& path, const std::vector<std::string_view>& names) {
  for (const std::string_view name : names) {
    if (!path.empty()) path += '\\';
    path += name;
  }
}

bool IsString(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

TRegistry::TRegistry(DWORD access) : store_(CurrentRegistry()), access_(access) {}

TRegistry::TRegistry(RegistryStore& store, DWORD access) : store_(&store), access_(access) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

void TRegistry::CloseKey() {
  keyId_ = -1;
  keyAccess_ = 0;
  currentPath_.clear();
}

std::optional<std::int64_t> TRegistry::Resolve(const std::string& path, bool canCreate,
                                               std::vector<std::string_view>& names,
                                               bool& absolute) {
  if (!store_) {
    SetLastError(ERROR_INVALID_HANDLE);
    return std::nullopt;
  }
  absolute = !path.empty() && path.front() == '\\';
  names = KeyNames(path);
  const bool fromOpenKey = !absolute && HasOpenKey();
  std::optional<std::int64_t> at = fromOpenKey ? std::optional<std::int64_t>(keyId_)
                                               : store_->RootId(root_);
  std::size_t done = 0;
  if (!fromOpenKey) {
    // Keys of the last path from this root that this one begins with.
    const std::uint64_t changes = store_->ChangeCount();
    if (memoRoot_ != root_ || memoChanges_ != changes) {
      memoNames_.clear();
      memoIds_.clear();
    }
    memoRoot_ = root_;
    memoChanges_ = changes;
    while (done < names.size() && done < memoNames_.size() && names[done] == memoNames_[done]) {
      at = memoIds_[done++];
    }
    memoNames_.resize(done);
    memoIds_.resize(done);
  }
  // Creating below the open key needs its create right; below a root the
  // store's access rules decide.
  const bool mayCreate = canCreate && (!fromOpenKey || (keyAccess_ & KEY_CREATE_SUB_KEY));
  for (std::size_t i = done; i < names.size(); ++i) {
    if (!at) return std::nullopt;
    const std::string name(names[i]);
    at = mayCreate ? store_->CreateChild(*at, name) : store_->FindChild(*at, name);
    if (!at && canCreate && !mayCreate && GetLastError() == ERROR_FILE_NOT_FOUND) {
      SetLastError(ERROR_ACCESS_DENIED);
    }
    if (at && !fromOpenKey) {
      memoNames_.push_back(name);
      memoIds_.push_back(*at);
    }
  }
  if (at && names.empty() && fromOpenKey && !store_->KeyAlive(*at)) return std::nullopt;
  return at;
}

bool TRegistry::Open(const std::string& path, bool canCreate, DWORD access) {
  std::vector<std::string_view> names;
  bool absolute = false;
  const auto id = Resolve(path, canCreate, names, absolute);
  if (!id) return false;
  if ((access & kWriteRights) && !store_->Writable(*id)) return Fail(ERROR_ACCESS_DENIED);
  if (absolute || !HasOpenKey()) currentPath_.clear();
  AppendNames(currentPath_, names);
  keyId_ = *id;
  keyAccess_ = access;
  return true;
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
  return Open(path, canCreate, access_);
}

bool TRegistry::OpenKeyReadOnly(const std::string& path) { return Open(path, false, KEY_READ); }

bool TRegistry::OpenSubKeyReadOnly(const TRegistry& parent, const std::string& name) {
  return OpenSubKey(parent, name, std::nullopt);
}

bool TRegistry::OpenListedSubKeyReadOnly(const TRegistry& parent, const RegKeyList& subKeys, std::size_t index,
                                         std::uint64_t listedAt) {
  if (index >= subKeys.count) return Fail(ERROR_INVALID_PARAMETER);
  const bool listed =
      store_ && parent.store_ == store_ && subKeys.key == parent.keyId_ && store_->ChangeCount() == listedAt;
  return OpenSubKey(parent, subKeys.names[index], listed ? std::optional(subKeys.ids[index]) : std::nullopt);
}

bool TRegistry::OpenSubKey(const TRegistry& parent, const std::string& name, std::optional<std::int64_t> listedId) {
  if (!store_ || parent.store_ != store_ || !parent.HasOpenKey()) return Fail(ERROR_INVALID_HANDLE);
  if (name.empty() || name.find('\\') != std::string::npos) return Fail(ERROR_INVALID_PARAMETER);
  const auto id = listedId ? listedId : store_->FindChild(parent.keyId_, name);
  if (!id) return false;
  root_ = parent.root_;
  currentPath_ = parent.currentPath_;
  AppendNames(currentPath_, {name});
  keyId_ = *id;
  keyAccess_ = KEY_READ;
  return true;
}

bool TRegistry::KeyExists(const std::string& path) {
  std::vector<std::string_view> names;
  bool absolute = false;
  return Resolve(path, false, names, absolute).has_value();
}

bool TRegistry::CreateKey(const std::string& path) {
  std::vector<std::string_view> names;
  bool absolute = false;
  return Resolve(path, true, names, absolute).has_value();
}

bool TRegistry::DeleteKey(const std::string& path) {
  if (path.empty()) return Fail(ERROR_INVALID_PARAMETER);
  std::vector<std::string_view> names;
  bool absolute = false;
  const auto id = Resolve(path, false, names, absolute);
  if (!id) return false;
  if (names.empty()) return Fail(ERROR_ACCESS_DENIED);  // the root itself
  return store_->DeleteTree(*id);
}

bool TRegistry::Require(DWORD right) {
  if (!store_ || !HasOpenKey()) return Fail(ERROR_INVALID_HANDLE);
  if ((keyAccess_ & right) != right) return Fail(ERROR_ACCESS_DENIED);
  return true;
}

bool TRegistry::GetKeyNames(std::vector<std::string>& names) {
  names.clear();
  if (!Require(KEY_ENUMERATE_SUB_KEYS)) return false;
  SetLastError(ERROR_SUCCESS);
  names = store_->ChildNames(keyId_);
  return !names.empty() || GetLastError() == ERROR_SUCCESS;
}

bool TRegistry::GetValueNames(std::vector<std::string>& names) {
  names.clear();
  if (!Require(KEY_QUERY_VALUE)) return false;
  SetLastError(ERROR_SUCCESS);
  names = store_->ValueNames(keyId_);
  return !names.empty() || GetLastError() == ERROR_SUCCESS;
}

bool TRegistry::GetKeys(RegKeyList& subKeys) {
  subKeys.count = 0;
  subKeys.key = -1;
  if (!Require(KEY_ENUMERATE_SUB_KEYS)) return false;
  SetLastError(ERROR_SUCCESS);
  store_->ReadChildren(keyId_, subKeys);
  return subKeys.count != 0 || GetLastError() == ERROR_SUCCESS;
}

bool TRegistry::GetValues(RegValueList& values) {
  values.count = 0;
  if (!Require(KEY_QUERY_VALUE)) return false;
  SetLastError(ERROR_SUCCESS);
  store_->ReadValues(keyId_, values);
  return values.count != 0 || GetLastError() == ERROR_SUCCESS;
}

std::uint64_t TRegistry::ChangeCount() { return store_ ? store_->ChangeCount() : 0; }

bool TRegistry::HasSubKeys() {
  std::vector<std::string> names;
  return GetKeyNames(names) && !names.empty();
}

bool TRegistry::ReadRaw(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) {
  if (!Require(KEY_QUERY_VALUE)) return false;
  return store_->GetValue(keyId_, name, type, data);
}

bool TRegistry::ValueExists(const std::string& name) { return GetDataInfo(name).has_value(); }

std::optional<RegDataInfo> TRegistry::GetDataInfo(const std::string& name) {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  if (!ReadRaw(name, type, data)) return std::nullopt;
  return RegDataInfo{type, static_cast<DWORD>(data.size())};
}

std::int64_t TRegistry::GetDataType(const std::string& name) {
  const auto info = GetDataInfo(name);
  return info ? static_cast<std::int64_t>(info->type) : -1;
}

std::int64_t TRegistry::GetDataSize(const std::string& name) {
  const auto info = GetDataInfo(name);
  return info ? static_cast<std::int64_t>(info->size) : -1;
}

std::optional<std::string> TRegistry::ReadString(const std::string& name) {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  if (!ReadRaw(name, type, data)) return std::nullopt;
  if (!IsString(type)) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  return Utf16LeBytesToUtf8(data);
}

std::optional<std::int32_t> TRegistry::ReadInteger(const std::string& name) {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  if (!ReadRaw(name, type, data)) return std::nullopt;
  if (type != REG_DWORD || data.size() != 4) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  return static_cast<std::int32_t>(std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 |
                                   std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
}

std::optional<std::vector<std::string>> TRegistry::ReadMultiString(const std::string& name) {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  if (!ReadRaw(name, type, data)) return std::nullopt;
  if (type != REG_MULTI_SZ) {
    SetLastError(ERROR_INVALID_DATA);
    return std::nullopt;
  }
  std::vector<std::string> items;
  std::u16string item;
  // Each string ends at a zero code unit; an empty string ends the list. A
  // last string without its terminator still counts; an odd byte does not.
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit != 0) {
      item += unit;
      continue;
    }
    if (item.empty()) break;
    items.push_back(Utf16ToUtf8(item));
    item.clear();
  }
  if (!item.empty()) items.push_back(Utf16ToUtf8(item));
  return items;
}

std::optional<std::vector<std::uint8_t>> TRegistry::ReadBinaryData(const std::string& name) {
  DWORD type = REG_NONE;
  std::vector<std::uint8_t> data;
  if (!ReadRaw(name, type, data)) return std::nullopt;
  return data;
}

bool TRegistry::WriteRaw(const std::string& name, DWORD type,
                         const std::vector<std::uint8_t>& data) {
  if (!Require(KEY_SET_VALUE)) return false;
  return store_->SetValue(keyId_, name, type, data);
}

bool TRegistry::WriteString(const std::string& name, const std::string& text) {
  return WriteRaw(name, REG_SZ, Utf8ToUtf16LeBytes(text));
}

bool TRegistry::WriteExpandString(const std::string& name, const std::string& text) {
  return WriteRaw(name, REG_EXPAND_SZ, Utf8ToUtf16LeBytes(text));
}

bool TRegistry::WriteInteger(const std::string& name, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  return WriteRaw(name, REG_DWORD,
                  {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                   static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
}

bool TRegistry::WriteMultiString(const std::string& name, const std::vector<std::string>& items) {
  std::vector<std::uint8_t> data;
  for (const std::string& item : items) {
    if (item.empty() || item.find('\0') != std::string::npos) return Fail(ERROR_INVALID_PARAMETER);
    const auto bytes = Utf8ToUtf16LeBytes(item);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  data.push_back(0);
  data.push_back(0);
  return WriteRaw(name, REG_MULTI_SZ, data);
}

bool TRegistry::WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) {
  return WriteRaw(name, REG_BINARY, data);
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!Require(KEY_SET_VALUE)) return false;
  return store_->DeleteValue(keyId_, name);
}

}  // namespace win
