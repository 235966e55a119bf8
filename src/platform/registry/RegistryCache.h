#pragma once
// What the registry store remembers between calls while the database has not
// changed: child ids found by name, the parents of keys found, the lists of
// the keys listed last, and, read in one pass each, the subkey lists and the
// values of all children of the keys a walk passes through. The store
// empties it whenever anything is committed by another connection and keeps
// it in step with its own writes.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/registry/RegistryStore.h"

namespace win {

class RegistryCache {
 public:
  struct KnownChild {
    std::string upperName;
    std::string name;
    std::int64_t id;
  };
  using Children = std::vector<KnownChild>;  // sorted by upperName
  // The values of one key in creation order: each value's name and then its
  // data, side by side in one buffer.
  struct Values {
    struct Item {
      std::size_t offset;  // of the name in bytes
      std::uint32_t nameSize;
      DWORD type;
      std::size_t size;  // of the data, after the name
    };
    std::vector<Item> items;
    std::vector<std::uint8_t> bytes;

    void Add(std::string_view name, DWORD type, std::span<const std::uint8_t> data);
    std::string_view Name(const Item& item) const;
    std::span<const std::uint8_t> Data(const Item& item) const;
    // True when the item's name upper-cases to `upperName`.
    bool HasUpperName(const Item& item, const std::string& upperName) const;
    // Gives back the room the buffers have beyond what they hold.
    void Trim();
  };
  // Lists of several keys, sorted by key id; keys with an empty list may be
  // left out.
  template <typename List>
  using Lists = std::vector<std::pair<std::int64_t, List>>;

  std::optional<std::int64_t> Child(std::int64_t parent, const std::string& upperName) const;
  // Null unless the whole list of key is held.
  const Children* ChildrenOf(std::int64_t key) const;
  const Values* ValuesOf(std::int64_t key) const;

  // A child found by name or just made.
  void AddChild(std::int64_t parent, std::string upperName, std::int64_t id);
  void HoldChildren(std::int64_t key, Children children);
  void HoldValues(std::int64_t key, Values values);
  // The lists of every child of parent.
  void HoldChildLists(std::int64_t parent, Lists<Children> lists, std::size_t rows);
  void HoldChildValues(std::int64_t parent, Lists<Values> lists, std::size_t rows);
  void ForgetChildren();
  void ForgetValues();

  // A key found below parent: it exists in the current read transaction.
  void MarkAlive(std::int64_t key, std::int64_t parent);
  std::optional<std::int64_t> ParentOf(std::int64_t key) const;
  bool KnownAlive(std::int64_t key) const;

  void Clear();

 private:
  // Lists of the children of a few keys, by parent. A walk comes back to
  // the keys above the one it is in, so their sets are the last to go.
  template <typename List>
  class ListsByParent {
   public:
    // Null when the set of parent is not held.
    const List* Find(std::int64_t parent, std::int64_t key) const;
    void Hold(std::int64_t parent, Lists<List> lists, std::size_t rows,
              const std::vector<std::int64_t>& above);
    void Clear();

   private:
    struct Set {
      Lists<List> lists;
      std::size_t rows;
    };
    std::unordered_map<std::int64_t, Set> sets_;
    std::vector<std::int64_t> order_;  // oldest first
    std::size_t rows_ = 0;
    const List empty_{};
  };

  // The list found last, kept until the lists change: a key's list is
  // asked for several times in a row.
  template <typename List>
  struct LastFound {
    std::int64_t key = -1;
    const List* list = nullptr;
  };

  // Parents of key ids (which are positive), in one open-addressed table: a
  // walk adds one for every key it opens.
  class ParentTable {
   public:
    std::optional<std::int64_t> Find(std::int64_t key) const;
    void Set(std::int64_t key, std::int64_t parent);
    std::size_t Size() const { return count_; }
    void Clear();

   private:
    struct Slot {
      std::int64_t key = 0;  // 0: free
      std::int64_t parent = 0;
    };
    std::size_t SlotOf(std::int64_t key) const;
    void Grow();

    std::vector<Slot> slots_;  // a power of two of them
    std::size_t count_ = 0;
    int shift_ = 64;
  };

  std::vector<std::int64_t> Above(std::int64_t key) const;

  // Children found one by one: upper-cased name and id, by parent.
  std::unordered_map<std::int64_t, std::vector<std::pair<std::string, std::int64_t>>> found_;
  std::size_t foundCount_ = 0;
  ParentTable parentOf_;
  std::int64_t childrenKey_ = -1;
  Children children_;
  std::int64_t valuesKey_ = -1;
  Values values_;
  ListsByParent<Children> childLists_;
  ListsByParent<Values> childValues_;
  mutable LastFound<Children> lastChildren_;
  mutable LastFound<Values> lastValues_;
};

}  // namespace win
