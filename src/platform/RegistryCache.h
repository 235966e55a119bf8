#pragma once
// What the registry store remembers between calls while the database has not
// changed: child key ids by upper-cased name (as found, and whole lists of
// keys that were listed), the values of the key that was listed last, and
// the values of all children of recently visited keys (stored side by side,
// read in one pass).
// The store empties it whenever another connection commits, and keeps it in
// step with its own writes.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/RegistryStore.h"

namespace win {

class RegistryCache {
 public:
  // Children of one key: upper-cased name and id, sorted by name.
  using Children = std::vector<std::pair<std::string, std::int64_t>>;
  // Values of one key in creation order, each with its upper-cased name.
  using Values = std::vector<std::pair<std::string, RegValue>>;

  std::optional<std::int64_t> Child(std::int64_t parent, const std::string& upperName) const;
  void AddChild(std::int64_t parent, std::string upperName, std::int64_t id);
  // Every child of parent.
  void HoldChildren(std::int64_t parent, Children children);

  // The values of every child of one key, sorted by child id; children
  // without values are left out.
  using ChildValues = std::vector<std::pair<std::int64_t, Values>>;

  // Null unless the values of key are held; parent, when known, names the
  // key whose children's values may hold them.
  const Values* ValuesOf(std::int64_t key, std::optional<std::int64_t> parent) const;
  void HoldValues(std::int64_t key, Values values);
  void HoldChildValues(std::int64_t parent, ChildValues values);
  void ForgetValues();

  // The last key found exists in the current read transaction, below parent.
  void MarkAlive(std::int64_t key, std::int64_t parent);
  std::optional<std::int64_t> ParentOf(std::int64_t key) const;
  bool KnownAlive(std::int64_t key) const;

  void Clear();

 private:
  std::unordered_map<std::int64_t, Children> children_;  // by parent
  std::size_t childCount_ = 0;
  std::int64_t valuesKey_ = -1;
  Values values_;
  std::unordered_map<std::int64_t, ChildValues> childValues_;  // by parent
  std::vector<std::int64_t> childValueOrder_;  // parents, oldest first
  std::size_t childValueRows_ = 0;
  const Values noValues_;
  std::int64_t aliveKey_ = -1;
  std::int64_t aliveParent_ = -1;
  std::unordered_map<std::int64_t, std::int64_t> parentOf_;  // keys found, by id
};

}  // namespace win
