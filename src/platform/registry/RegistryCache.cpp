#include "platform/registry/RegistryCache.h"

#include <algorithm>
#include <bit>

#include "platform/text/TextCodec.h"

namespace win {

namespace {

// Enough for the paths of a large registry; beyond it that part starts over.
constexpr std::size_t kMaxFound = 1 << 21;
// Sets of child lists kept, and the rows in them.
constexpr std::size_t kMaxSets = 64;
constexpr std::size_t kMaxRows = 1 << 18;

template <typename List>
auto FindName(List& list, const std::string& upperName) {
  return std::lower_bound(list.begin(), list.end(), upperName,
                          [](const auto& entry, const std::string& name) {
                            if constexpr (requires { entry.upperName; }) {
                              return entry.upperName < name;
                            } else {
                              return entry.first < name;
                            }
                          });
}

}  // namespace

void RegistryCache::Values::Add(std::string_view name, DWORD type,
                                std::span<const std::uint8_t> data) {
  items.push_back({bytes.size(), static_cast<std::uint32_t>(name.size()), type, data.size()});
  bytes.insert(bytes.end(), name.begin(), name.end());
  bytes.insert(bytes.end(), data.begin(), data.end());
}

std::string_view RegistryCache::Values::Name(const Item& item) const {
  return {reinterpret_cast<const char*>(bytes.data()) + item.offset, item.nameSize};
}

std::span<const std::uint8_t> RegistryCache::Values::Data(const Item& item) const {
  return std::span<const std::uint8_t>(bytes).subspan(item.offset + item.nameSize, item.size);
}

bool RegistryCache::Values::HasUpperName(const Item& item, const std::string& upperName) const {
  return NameUppersTo(Name(item), upperName);
}

void RegistryCache::Values::Trim() {
  items.shrink_to_fit();
  bytes.shrink_to_fit();
}

std::size_t RegistryCache::ParentTable::SlotOf(std::int64_t key) const {
  // Runs of four ids lie side by side: keys made together are read together.
  const auto id = static_cast<std::uint64_t>(key);
  return static_cast<std::size_t>(((id >> 2) * 0x9E3779B97F4A7C15ULL) >> shift_) << 2 | (id & 3);
}

std::optional<std::int64_t> RegistryCache::ParentTable::Find(std::int64_t key) const {
  if (slots_.empty() || key <= 0) return std::nullopt;
  for (std::size_t at = SlotOf(key);; at = (at + 1) & (slots_.size() - 1)) {
    if (slots_[at].key == key) return slots_[at].parent;
    if (slots_[at].key == 0) return std::nullopt;
  }
}

void RegistryCache::ParentTable::Set(std::int64_t key, std::int64_t parent) {
  if (key <= 0) return;
  if ((count_ + 1) * 4 > slots_.size() * 3) Grow();
  std::size_t at = SlotOf(key);
  while (slots_[at].key != 0 && slots_[at].key != key) at = (at + 1) & (slots_.size() - 1);
  if (slots_[at].key == 0) ++count_;
  slots_[at] = {key, parent};
}

void RegistryCache::ParentTable::Grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  shift_ = 66 - std::countr_zero(slots_.size());
  count_ = 0;
  for (const Slot& slot : old) {
    if (slot.key != 0) Set(slot.key, slot.parent);
  }
}

void RegistryCache::ParentTable::Clear() {
  slots_ = {};  // a fresh table: clearing a large one would cost its whole array
  count_ = 0;
  shift_ = 64;
}

template <typename List>
const List* RegistryCache::ListsByParent<List>::Find(std::int64_t parent, std::int64_t key) const {
  const auto set = sets_.find(parent);
  if (set == sets_.end()) return nullptr;
  const auto& lists = set->second.lists;
  const auto at = std::lower_bound(lists.begin(), lists.end(), key,
                                   [](const auto& entry, std::int64_t id) { return entry.first < id; });
  return at != lists.end() && at->first == key ? &at->second : &empty_;
}

template <typename List>
void RegistryCache::ListsByParent<List>::Hold(std::int64_t parent, Lists<List> lists,
                                               std::size_t rows,
                                               const std::vector<std::int64_t>& above) {
  const auto full = [&] { return order_.size() >= kMaxSets || rows_ + rows > kMaxRows; };
  const auto drop = [&](std::size_t at) {
    const auto set = sets_.find(order_[at]);
    rows_ -= set->second.rows;
    sets_.erase(set);
    order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(at));
  };
  if (sets_.count(parent)) drop(static_cast<std::size_t>(
      std::find(order_.begin(), order_.end(), parent) - order_.begin()));
  for (std::size_t at = 0; at < order_.size() && full();) {
    if (std::find(above.begin(), above.end(), order_[at]) == above.end()) {
      drop(at);
    } else {
      ++at;
    }
  }
  while (!order_.empty() && full()) drop(0);
  rows_ += rows;
  sets_[parent] = {std::move(lists), rows};
  order_.push_back(parent);
}

template <typename List>
void RegistryCache::ListsByParent<List>::Clear() {
  if (!sets_.empty()) sets_.clear();
  order_.clear();
  rows_ = 0;
}

std::optional<std::int64_t> RegistryCache::Child(std::int64_t parent,
                                                 const std::string& upperName) const {
  if (const auto known = found_.find(parent); known != found_.end()) {
    const auto at = FindName(known->second, upperName);
    if (at != known->second.end() && at->first == upperName) return at->second;
  }
  if (const Children* children = ChildrenOf(parent)) {
    const auto at = FindName(*children, upperName);
    if (at != children->end() && at->upperName == upperName) return at->id;
  }
  return std::nullopt;
}

const RegistryCache::Children* RegistryCache::ChildrenOf(std::int64_t key) const {
  if (key == childrenKey_) return &children_;
  if (key == lastChildren_.key) return lastChildren_.list;
  const auto parent = ParentOf(key);
  const Children* list = parent ? childLists_.Find(*parent, key) : nullptr;
  if (list) lastChildren_ = {key, list};
  return list;
}

const RegistryCache::Values* RegistryCache::ValuesOf(std::int64_t key) const {
  if (key == valuesKey_) return &values_;
  if (key == lastValues_.key) return lastValues_.list;
  const auto parent = ParentOf(key);
  const Values* list = parent ? childValues_.Find(*parent, key) : nullptr;
  if (list) lastValues_ = {key, list};
  return list;
}

void RegistryCache::AddChild(std::int64_t parent, std::string upperName, std::int64_t id) {
  if (++foundCount_ > kMaxFound) {
    found_ = {};
    foundCount_ = 1;
  }
  auto& list = found_[parent];
  const auto at = FindName(list, upperName);
  if (at == list.end() || at->first != upperName) list.emplace(at, std::move(upperName), id);
}

void RegistryCache::HoldChildren(std::int64_t key, Children children) {
  lastChildren_ = {};
  childrenKey_ = key;
  children_ = std::move(children);
}

void RegistryCache::HoldValues(std::int64_t key, Values values) {
  lastValues_ = {};
  valuesKey_ = key;
  values_ = std::move(values);
}

std::vector<std::int64_t> RegistryCache::Above(std::int64_t key) const {
  std::vector<std::int64_t> above;
  above.reserve(32);
  for (auto up = parentOf_.Find(key); up && above.size() < 512; up = parentOf_.Find(*up)) {
    above.push_back(*up);
  }
  return above;
}

void RegistryCache::HoldChildLists(std::int64_t parent, Lists<Children> lists, std::size_t rows) {
  lastChildren_ = {};
  childLists_.Hold(parent, std::move(lists), rows, Above(parent));
}

void RegistryCache::HoldChildValues(std::int64_t parent, Lists<Values> lists, std::size_t rows) {
  lastValues_ = {};
  childValues_.Hold(parent, std::move(lists), rows, Above(parent));
}

void RegistryCache::ForgetChildren() {
  lastChildren_ = {};
  childrenKey_ = -1;
  children_.clear();
  childLists_.Clear();
}

void RegistryCache::ForgetValues() {
  lastValues_ = {};
  valuesKey_ = -1;
  values_ = {};
  childValues_.Clear();
}

void RegistryCache::MarkAlive(std::int64_t key, std::int64_t parent) {
  if (parentOf_.Size() >= kMaxFound) {
    parentOf_.Clear();
    lastChildren_ = {};
    lastValues_ = {};
  }
  parentOf_.Set(key, parent);
}

std::optional<std::int64_t> RegistryCache::ParentOf(std::int64_t key) const {
  return parentOf_.Find(key);
}

bool RegistryCache::KnownAlive(std::int64_t key) const {
  // A key with a known child exists too: a tree goes as a whole.
  return key == childrenKey_ || key == valuesKey_ || parentOf_.Find(key) ||
         found_.count(key) != 0;
}

void RegistryCache::Clear() {
  // Fresh tables: clearing large ones would cost their whole bucket arrays.
  if (!found_.empty()) found_ = {};
  parentOf_.Clear();
  foundCount_ = 0;
  ForgetChildren();
  ForgetValues();
}

}  // namespace win
