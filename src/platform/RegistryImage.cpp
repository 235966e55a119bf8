#include "platform/RegistryImage.h"

#include <algorithm>
#include <span>
#include <utility>

#include "platform/TextCodec.h"

namespace win {

namespace {

std::string Text(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string();
}

// Runs sql and hands every row to row; the SQLite result of the last step.
template <typename Row>
int EachRow(sqlite3* db, const char* sql, Row row) {
  sqlite3_stmt* statement = nullptr;
  int rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
  if (rc != SQLITE_OK) return rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) row(statement);
  sqlite3_finalize(statement);
  return rc;
}

}  // namespace

bool RegistryImage::Load(sqlite3* db, int& rc) {
  keys_.clear();
  std::int64_t lastId = 0;
  rc = EachRow(db, "SELECT max(id) FROM keys", [&](sqlite3_stmt* s) { lastId = sqlite3_column_int64(s, 0); });
  if (rc != SQLITE_DONE) return false;
  keys_.reserve(static_cast<std::size_t>(std::max<std::int64_t>(lastId, 0)) + 1);
  keys_.resize(1);
  keys_[0].parent = 0;
  rc = EachRow(db, "SELECT id, parent, name, uname FROM keys", [&](sqlite3_stmt* s) {
    const auto id = sqlite3_column_int64(s, 0);
    if (id <= 0) return;
    if (static_cast<std::size_t>(id) >= keys_.size()) keys_.resize(static_cast<std::size_t>(id) + 1);
    Key& key = keys_[static_cast<std::size_t>(id)];
    key.parent = sqlite3_column_int64(s, 1);
    key.name = Text(s, 2);
    key.upperName = Text(s, 3);
  });
  if (rc != SQLITE_DONE) return false;
  for (std::size_t id = 1; id < keys_.size(); ++id) {
    if (Key* parent = keys_[id].parent >= 0 ? Slot(keys_[id].parent) : nullptr)
      parent->children.push_back(static_cast<std::int64_t>(id));
  }
  for (Key& key : keys_) {
    std::sort(key.children.begin(), key.children.end(), [&](std::int64_t a, std::int64_t b) {
      return keys_[static_cast<std::size_t>(a)].upperName < keys_[static_cast<std::size_t>(b)].upperName;
    });
    key.children.shrink_to_fit();
  }
  // The primary key's order: each key's values together, in creation order.
  Key* last = nullptr;
  rc = EachRow(db, "SELECT key, name, type, data FROM vals ORDER BY parent, key, seq",
               [&](sqlite3_stmt* s) {
                 Key* key = Slot(sqlite3_column_int64(s, 0));
                 if (key == nullptr) return;
                 if (key != last && last != nullptr) last->values.Trim();
                 last = key;
                 const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(s, 3));
                 const auto size = static_cast<std::size_t>(sqlite3_column_bytes(s, 3));
                 key->values.Add(Text(s, 1), static_cast<DWORD>(sqlite3_column_int64(s, 2)),
                                 std::span<const std::uint8_t>(data, data ? size : 0));
               });
  if (last != nullptr) last->values.Trim();
  return rc == SQLITE_DONE;
}

RegistryImage::Key* RegistryImage::Slot(std::int64_t id) {
  if (id < 0 || static_cast<std::size_t>(id) >= keys_.size()) return nullptr;
  Key& key = keys_[static_cast<std::size_t>(id)];
  return key.parent < 0 ? nullptr : &key;
}

const RegistryImage::Key* RegistryImage::Find(std::int64_t id) const {
  return const_cast<RegistryImage*>(this)->Slot(id);
}

std::optional<std::int64_t> RegistryImage::Child(std::int64_t parent,
                                                 const std::string& upperName) const {
  const Key* key = Find(parent);
  if (key == nullptr) return std::nullopt;
  const auto at = std::lower_bound(key->children.begin(), key->children.end(), upperName,
                                   [&](std::int64_t child, const std::string& name) {
                                     return keys_[static_cast<std::size_t>(child)].upperName < name;
                                   });
  if (at == key->children.end() || keys_[static_cast<std::size_t>(*at)].upperName != upperName)
    return std::nullopt;
  return *at;
}

void RegistryImage::AddChild(std::int64_t parent, std::int64_t id, std::string name,
                             std::string upperName) {
  if (id <= 0 || Slot(parent) == nullptr) return;
  if (static_cast<std::size_t>(id) >= keys_.size()) keys_.resize(static_cast<std::size_t>(id) + 1);
  Key& key = keys_[static_cast<std::size_t>(id)];
  key = Key{};
  key.parent = parent;
  key.name = std::move(name);
  key.upperName = std::move(upperName);
  auto& children = keys_[static_cast<std::size_t>(parent)].children;
  const auto at = std::lower_bound(children.begin(), children.end(), key.upperName,
                                   [&](std::int64_t child, const std::string& upper) {
                                     return keys_[static_cast<std::size_t>(child)].upperName < upper;
                                   });
  children.insert(at, id);
}

void RegistryImage::SetValue(std::int64_t key, const std::string& name,
                             const std::string& upperName, DWORD type,
                             const std::vector<std::uint8_t>& data) {
  Key* slot = Slot(key);
  if (slot == nullptr) return;
  RegistryCache::Values values;
  bool replaced = false;
  for (const auto& item : slot->values.items) {
    if (!replaced && slot->values.HasUpperName(item, upperName)) {
      values.Add(slot->values.Name(item), type, data);
      replaced = true;
    } else {
      values.Add(slot->values.Name(item), item.type, slot->values.Data(item));
    }
  }
  if (!replaced) values.Add(name, type, data);
  slot->values = std::move(values);
}

void RegistryImage::DeleteValue(std::int64_t key, const std::string& upperName) {
  Key* slot = Slot(key);
  if (slot == nullptr) return;
  RegistryCache::Values values;
  for (const auto& item : slot->values.items) {
    if (!slot->values.HasUpperName(item, upperName))
      values.Add(slot->values.Name(item), item.type, slot->values.Data(item));
  }
  slot->values = std::move(values);
}

void RegistryImage::DeleteTree(std::int64_t key) {
  Key* top = Slot(key);
  if (top == nullptr || key == 0) return;
  if (Key* parent = Slot(top->parent)) std::erase(parent->children, key);
  std::vector<std::int64_t> pending{key};
  while (!pending.empty()) {
    Key& gone = keys_[static_cast<std::size_t>(pending.back())];
    pending.pop_back();
    pending.insert(pending.end(), gone.children.begin(), gone.children.end());
    gone = Key{};
  }
}

}  // namespace win
