#pragma once
// The whole key tree and its values in memory, loaded with one pass over each
// table of the registry store. The store keeps it in step with its own
// writes and drops it when another connection commits.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryCache.h"

namespace win {

class RegistryImage {
 public:
  struct Key {
    std::int64_t parent = -1;  // -1: no such key
    std::string name;
    std::string upperName;
    std::vector<std::int64_t> children;  // sorted by upper-cased name
    RegistryCache::Values values;
  };

  // Reads both tables; false (with the SQLite result in rc) when a read fails.
  bool Load(sqlite3* db, int& rc);

  // Null when there is no such key; id 0 is the parent of the two roots.
  const Key* Find(std::int64_t id) const;
  std::optional<std::int64_t> Child(std::int64_t parent, const std::string& upperName) const;

  void AddChild(std::int64_t parent, std::int64_t id, std::string name, std::string upperName);
  // A rewritten value keeps its place and the name it was made with.
  void SetValue(std::int64_t key, const std::string& name, const std::string& upperName,
                DWORD type, const std::vector<std::uint8_t>& data);
  void DeleteValue(std::int64_t key, const std::string& upperName);
  void DeleteTree(std::int64_t key);

 private:
  Key* Slot(std::int64_t id);
  std::vector<Key> keys_;  // by id
};

}  // namespace win
