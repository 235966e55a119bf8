#include "platform/RegistryCache.h"

#include <algorithm>

namespace win {

namespace {

// Enough for the keys of a large registry; beyond it the cache starts over.
constexpr std::size_t kMaxChildren = 1 << 21;
// Enough for the keys on the way from a root to the deepest key.
constexpr std::size_t kMaxChildValueSets = 64;
constexpr std::size_t kMaxChildValueRows = 1 << 18;

template <typename Children>
auto Find(Children& children, const std::string& upperName) {
  return std::lower_bound(
      children.begin(), children.end(), upperName,
      [](const auto& child, const std::string& name) { return child.first < name; });
}

}  // namespace

std::optional<std::int64_t> RegistryCache::Child(std::int64_t parent,
                                                 const std::string& upperName) const {
  const auto known = children_.find(parent);
  if (known == children_.end()) return std::nullopt;
  const auto at = Find(known->second, upperName);
  if (at == known->second.end() || at->first != upperName) return std::nullopt;
  return at->second;
}

void RegistryCache::AddChild(std::int64_t parent, std::string upperName, std::int64_t id) {
  if (++childCount_ > kMaxChildren) {
    children_ = {};
    childCount_ = 1;
  }
  Children& children = children_[parent];
  const auto at = Find(children, upperName);
  if (at != children.end() && at->first == upperName) {
    at->second = id;
  } else {
    children.emplace(at, std::move(upperName), id);
  }
}

void RegistryCache::HoldChildren(std::int64_t parent, Children children) {
  childCount_ += children.size();
  if (childCount_ > kMaxChildren) {
    children_ = {};
    childCount_ = children.size();
  }
  children_[parent] = std::move(children);
}

const RegistryCache::Values* RegistryCache::ValuesOf(std::int64_t key,
                                                     std::optional<std::int64_t> parent) const {
  if (key == valuesKey_) return &values_;
  if (!parent) return nullptr;
  const auto set = childValues_.find(*parent);
  if (set == childValues_.end()) return nullptr;
  const auto at = std::lower_bound(set->second.begin(), set->second.end(), key,
                                   [](const auto& entry, std::int64_t id) { return entry.first < id; });
  return at != set->second.end() && at->first == key ? &at->second : &noValues_;
}

void RegistryCache::HoldValues(std::int64_t key, Values values) {
  valuesKey_ = key;
  values_ = std::move(values);
}

void RegistryCache::HoldChildValues(std::int64_t parent, ChildValues values) {
  std::size_t rows = 0;
  for (const auto& child : values) rows += child.second.size();
  const auto full = [&] {
    return childValueOrder_.size() >= kMaxChildValueSets ||
           childValueRows_ + rows > kMaxChildValueRows;
  };
  if (full()) {
    // A walk comes back to the keys above this one: their sets stay while
    // others go, oldest first.
    std::vector<std::int64_t> above;
    for (auto up = parentOf_.find(parent); up != parentOf_.end() && above.size() < 512;
         up = parentOf_.find(up->second)) {
      above.push_back(up->second);
    }
    const auto drop = [&](std::size_t at) {
      const auto set = childValues_.find(childValueOrder_[at]);
      for (const auto& child : set->second) childValueRows_ -= child.second.size();
      childValues_.erase(set);
      childValueOrder_.erase(childValueOrder_.begin() + static_cast<std::ptrdiff_t>(at));
    };
    for (std::size_t at = 0; at < childValueOrder_.size() && full();) {
      if (std::find(above.begin(), above.end(), childValueOrder_[at]) == above.end()) {
        drop(at);
      } else {
        ++at;
      }
    }
    while (!childValueOrder_.empty() && full()) drop(0);
  }
  childValueRows_ += rows;
  childValues_[parent] = std::move(values);
  childValueOrder_.push_back(parent);
}

void RegistryCache::MarkAlive(std::int64_t key, std::int64_t parent) {
  aliveKey_ = key;
  aliveParent_ = parent;
  if (parentOf_.size() >= kMaxChildren) parentOf_ = {};
  parentOf_[key] = parent;
}

void RegistryCache::ForgetValues() {
  valuesKey_ = -1;
  values_.clear();
  if (!childValues_.empty()) childValues_.clear();
  childValueOrder_.clear();
  childValueRows_ = 0;
}

std::optional<std::int64_t> RegistryCache::ParentOf(std::int64_t key) const {
  if (key == aliveKey_) return aliveParent_;
  if (const auto known = parentOf_.find(key); known != parentOf_.end()) return known->second;
  return std::nullopt;
}

bool RegistryCache::KnownAlive(std::int64_t key) const {
  // A key with a known child exists too: a tree goes as a whole.
  return key == aliveKey_ || key == valuesKey_ || children_.count(key) != 0;
}

void RegistryCache::Clear() {
  // A fresh table: clearing a large one would cost its whole bucket array.
  if (!children_.empty()) children_ = {};
  childCount_ = 0;
  ForgetValues();
  if (!parentOf_.empty()) parentOf_ = {};
  aliveKey_ = -1;
  aliveParent_ = -1;
}

}  // namespace win
