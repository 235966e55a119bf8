#pragma once
// The one collection shape: a collection owns items of its own item class;
// Add appends an empty item and returns its index; items are reached by index.
// With shared holders an item may also be shared by several collections.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <vector>

template <class Item, class Holder = std::unique_ptr<Item>>
class TContents {
 public:
  TContents() = default;
  TContents(const TContents&) = delete;
  TContents& operator=(const TContents&) = delete;

  std::int32_t Add() {
    if constexpr (std::is_same_v<Holder, std::shared_ptr<Item>>)
      items_.push_back(std::make_shared<Item>());
    else
      items_.push_back(std::make_unique<Item>());
    return static_cast<std::int32_t>(items_.size() - 1);
  }
  // Appends the item at `index` of `from` itself (shared holders only).
  std::int32_t AddShared(const TContents& from, std::int32_t index)
    requires std::is_same_v<Holder, std::shared_ptr<Item>>
  {
    items_.push_back(from.items_.at(from.CheckedIndex(index)));
    return static_cast<std::int32_t>(items_.size() - 1);
  }
  // An index outside 0..Count-1 is a list-index error.
  Item& GetItem(std::int32_t index) { return *items_.at(CheckedIndex(index)); }
  const Item& GetItem(std::int32_t index) const { return *items_.at(CheckedIndex(index)); }
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  // Room for `count` items in all, so that adding up to there moves nothing.
  void Reserve(std::int32_t count) { items_.reserve(static_cast<std::size_t>(std::max(count, 0))); }
  void Clear() { items_.clear(); }
  void Delete(std::int32_t index) { items_.erase(items_.begin() + CheckedIndex(index)); }
  // Deletes every item that pred holds true for, in one pass, keeping the
  // order of the others; returns how many went.
  template <class Pred>
  std::int32_t DeleteIf(Pred pred) {
    const auto kept = std::remove_if(items_.begin(), items_.end(),
                                     [&pred](const Holder& item) { return pred(*item); });
    const auto removed = static_cast<std::int32_t>(items_.end() - kept);
    items_.erase(kept, items_.end());
    return removed;
  }

 private:
  std::size_t CheckedIndex(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
      throw std::out_of_range("List index out of bounds");
    return static_cast<std::size_t>(index);
  }
  std::vector<Holder> items_;
};
