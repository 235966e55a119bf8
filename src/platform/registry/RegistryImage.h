#pragma once
// The whole key tree and its values in memory, loaded with one pass over each
// table of the registry store. The store keeps it in step with its own
// writes and drops it when another connection commits.
//
// Flat: one record per key in an array by id, the subkey ids and the values
// of each key as a run in one array each, and every name and data byte in
// blocks of a byte arena. A write that grows a run moves it to the end.
// A large registry is read by ranges in threads, each on a connection of its
// own, and on the store's.

#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <new>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/WinTypes.h"

namespace win {

namespace image_detail {

// Large blocks in huge pages where the host has them (filling the image
// costs mostly page faults); freed with std::free. Null when out of memory.
void* AllocateLarge(std::size_t bytes);

struct Free {
  void operator()(void* at) const { std::free(at); }
};

template <typename T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <typename U>
  LargeAllocator(const LargeAllocator<U>&) {}
  T* allocate(std::size_t count) {
    void* at = AllocateLarge(count * sizeof(T));
    if (at == nullptr) throw std::bad_alloc();
    return static_cast<T*>(at);
  }
  void deallocate(T* at, std::size_t) { std::free(at); }
  bool operator==(const LargeAllocator&) const = default;
};

}  // namespace image_detail

class RegistryImage {
 public:
  // One value: its name and then its data, side by side in the arena.
  struct Value {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t nameSize = 0;
    DWORD type = REG_NONE;
    std::size_t size = 0;  // of the data

    std::string_view Name() const { return {reinterpret_cast<const char*>(bytes), nameSize}; }
    std::span<const std::uint8_t> Data() const { return {bytes + nameSize, size}; }
  };

  // How the tables are read.
  struct Threads {
    // One thread for every so many keys, up to four; 0: none.
    std::size_t keysPerThread = 0;
    // Called once the threads have read: true when no connection has
    // committed since db's read transaction began. Without it, or when it
    // says no, the tables are read again on db alone.
    std::function<bool()> sameSnapshot;
  };

  // Reads both tables within db's read transaction; false (with the SQLite
  // result in rc) when a read fails.
  bool Load(sqlite3* db, int& rc, const Threads& threads);

  // True for a key that exists; id 0 is the parent of the two roots.
  bool Has(std::int64_t id) const { return Slot(id) != nullptr; }
  // Of a key that exists.
  std::int64_t Parent(std::int64_t id) const { return Slot(id)->parent; }
  std::string_view Name(std::int64_t id) const;
  std::span<const std::int64_t> Children(std::int64_t id) const;  // sorted by upper-cased name
  std::span<const Value> Values(std::int64_t id) const;          // in creation order
  std::optional<std::int64_t> Child(std::int64_t parent, const std::string& upperName) const;

  void AddChild(std::int64_t parent, std::int64_t id, const std::string& name,
                const std::string& upperName);
  // A rewritten value keeps its place and the name it was made with.
  void SetValue(std::int64_t key, const std::string& name, const std::string& upperName,
                DWORD type, const std::vector<std::uint8_t>& data);
  void DeleteValue(std::int64_t key, const std::string& upperName);
  void DeleteTree(std::int64_t key);

 private:
  struct Key {
    std::int64_t parent = -1;  // -1: no such key
    const char* name = nullptr;  // the name, then its upper-cased form
    std::uint32_t nameSize = 0;
    std::uint32_t upperSize = 0;
    std::uint32_t firstChild = 0;  // in children_
    std::uint32_t childCount = 0;
    std::uint32_t firstValue = 0;  // in values_
    std::uint32_t valueCount = 0;
  };

  // Bytes that stay where they are until the image goes.
  class Arena {
   public:
    std::uint8_t* Allocate(std::size_t size);
    // Takes over other's blocks; this one's current block goes on.
    void Adopt(Arena&& other);

   private:
    std::vector<std::unique_ptr<std::uint8_t, image_detail::Free>> blocks_;
    std::uint8_t* next_ = nullptr;
    std::size_t left_ = 0;
  };

  struct TableReads;

  // The passes on db alone; false when a read fails.
  bool LoadKeys(sqlite3* db, int& rc);
  bool LoadValues(sqlite3* db, int& rc);
  // Null when the tables are read on db alone.
  std::unique_ptr<TableReads> StartTableReads(sqlite3* db, const Threads& threads);
  void TakeParts(TableReads& reads);
  Key* Slot(std::int64_t id);
  const Key* Slot(std::int64_t id) const;
  std::string_view UpperOf(std::int64_t id) const;
  static void SetName(Arena& arena, Key& key, std::string_view name, std::string_view upperName);
  static const std::uint8_t* Copy(Arena& arena, std::string_view name, std::span<const std::uint8_t> data);
  // The value of a row of (key, name, type, data), its bytes put in arena.
  static Value ValueOf(Arena& arena, sqlite3_stmt* row);
  // Makes room for one more item at the end of a run, moving the run to the
  // end of its array unless it is there already.
  template <typename Item>
  using Array = std::vector<Item, image_detail::LargeAllocator<Item>>;
  template <typename Item>
  void GrowRun(Array<Item>& items, std::uint32_t& first, std::uint32_t& count);
  // Moves the parts into items, one after the other; where each begins.
  template <typename Item>
  static std::vector<std::uint32_t> Concatenate(Array<Item>& items, std::vector<Array<Item>*> parts);
  std::uint32_t ChildPosition(const Key& parent, std::string_view upperName) const;

  Array<Key> keys_;  // by id
  Array<std::int64_t> children_;
  Array<Value> values_;
  Arena arena_;
};

}  // namespace win
