#include "platform/registry/RegistryImage.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/text/TextCodec.h"

namespace win {

namespace {

// Blocks of huge pages where the host has them: filling the image costs
// mostly page faults.
constexpr std::size_t kArenaBlock = std::size_t{2} << 20;

constexpr std::size_t kPage = 4096;

constexpr std::size_t kMostThreads = 4;
// Ranges per reader (each thread and the store's connection): a reader that
// is done takes the next.
constexpr std::size_t kKeyRangesPerReader = 2;
constexpr std::size_t kValueRangesPerReader = 4;

std::string_view Text(sqlite3_stmt* statement, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  return text ? std::string_view(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
              : std::string_view();
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

void* image_detail::AllocateLarge(std::size_t bytes) {
  if (bytes < kArenaBlock) return std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t rounded = (bytes + kArenaBlock - 1) / kArenaBlock * kArenaBlock;
  void* at = std::aligned_alloc(kArenaBlock, rounded);
  if (at != nullptr) madvise(at, rounded, MADV_HUGEPAGE);
  return at;
}

std::uint8_t* RegistryImage::Arena::Allocate(std::size_t size) {
  const auto block = [this](std::size_t bytes) {
    auto* at = static_cast<std::uint8_t*>(image_detail::AllocateLarge(bytes));
    if (at == nullptr) throw std::bad_alloc();
    blocks_.emplace_back(at);
    return at;
  };
  // A large one gets a block of its own; the current block goes on.
  if (size > kArenaBlock / 4) return block(size);
  if (size > left_) {
    next_ = block(kArenaBlock);
    left_ = kArenaBlock;
  }
  std::uint8_t* at = next_;
  next_ += size;
  left_ -= size;
  return at;
}

void RegistryImage::Arena::Adopt(Arena&& other) {
  // The rest of other's current block is never used: its pages go back.
  const auto start = (reinterpret_cast<std::uintptr_t>(other.next_) + kPage - 1) / kPage * kPage;
  const auto end = (reinterpret_cast<std::uintptr_t>(other.next_) + other.left_) / kPage * kPage;
  if (other.left_ != 0 && end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
  for (auto& block : other.blocks_) blocks_.push_back(std::move(block));
  other.blocks_.clear();
  other.next_ = nullptr;
  other.left_ = 0;
}

// Both tables by ranges, read in threads and on the store's connection, each
// into a part of its own: child ids, values and an arena. Key rows go by
// ranges of gparent, so that each key's children come in one range, in
// order; value rows by ranges of parent. Where a key's children and values
// lie is put in its record, the part in the top bits of the first index.
struct RegistryImage::TableReads {
  static constexpr int kPartShift = 29;
  static constexpr std::uint32_t kInPart = (std::uint32_t{1} << kPartShift) - 1;

  struct Part {
    Array<std::int64_t> children;
    Array<Value> values;
    Arena arena;
    bool ok = false;
  };

  std::string file;
  Key* keys = nullptr;  // not resized while the threads run
  std::size_t keyCount = 0;
  std::size_t keyRanges = 0;  // ranges before it are of keys, the rest of values
  std::vector<std::int64_t> keyBounds;    // key range i: gparent from keyBounds[i] to keyBounds[i + 1]
  std::vector<std::int64_t> valueBounds;  // the same by parent
  std::vector<Part> parts;  // by thread, the last the store's connection's
  std::vector<std::thread> threads;
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};

  ~TableReads() {
    stop = true;
    Join();
  }
  void Join() {
    for (std::thread& thread : threads)
      if (thread.joinable()) thread.join();
  }
  // True when every thread has read all it took.
  bool Finish() {
    Join();
    return std::all_of(parts.begin(), parts.end(), [](const Part& part) { return part.ok; });
  }
  // A thread's: on a connection of its own.
  void Read(std::uint32_t index);
  // Takes ranges until none is left, into parts[index].
  bool ReadRanges(sqlite3* db, std::uint32_t index);
  // Rows grouped by what column 0 names: each group a run of the items
  // make gives (false: none for this row), put in that key's first and count.
  template <typename Item, typename Make>
  bool ReadRuns(sqlite3_stmt* statement, Array<Item>& items, std::uint32_t Key::*first, std::uint32_t Key::*count,
                std::uint32_t window, Make make);
  bool ReadKeys(sqlite3_stmt* statement, Part& part, std::uint32_t window);
  bool ReadValues(sqlite3_stmt* statement, Part& part, std::uint32_t window);
  // Puts a run in a key's first and count; false when another was put there
  // already (rows that no store writes: the one pass orders those).
  bool Put(std::int64_t key, std::uint32_t Key::*first, std::uint32_t Key::*count, std::uint32_t at,
           std::uint32_t size);
};

bool RegistryImage::TableReads::Put(std::int64_t key, std::uint32_t Key::*first, std::uint32_t Key::*count,
                                    std::uint32_t at, std::uint32_t size) {
  if (size == 0 || key < 0 || static_cast<std::size_t>(key) >= keyCount) return true;
  Key& record = keys[static_cast<std::size_t>(key)];
  if (std::atomic_ref<std::uint32_t>(record.*count).exchange(size, std::memory_order_relaxed) != 0) return false;
  std::atomic_ref<std::uint32_t>(record.*first).store(at, std::memory_order_relaxed);
  return true;
}

template <typename Item, typename Make>
bool RegistryImage::TableReads::ReadRuns(sqlite3_stmt* statement, Array<Item>& items, std::uint32_t Key::*first,
                                         std::uint32_t Key::*count, std::uint32_t window, Make make) {
  std::int64_t owner = -1;
  std::uint32_t start = 0;
  std::uint32_t size = 0;
  bool ok = true;
  int rc = SQLITE_OK;
  while (ok && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
    Item item{};
    if (!make(statement, item)) continue;
    const std::int64_t at = sqlite3_column_int64(statement, 0);
    if (at != owner) {
      ok = Put(owner, first, count, start, size) && items.size() <= kInPart;
      owner = at;
      start = window | static_cast<std::uint32_t>(items.size());
      size = 0;
    }
    items.push_back(item);
    ++size;
  }
  return ok && rc == SQLITE_DONE && Put(owner, first, count, start, size);
}

// The keys pass's rules: rows of ids out of bounds are left out, children of
// parents out of bounds are not listed.
bool RegistryImage::TableReads::ReadKeys(sqlite3_stmt* statement, Part& part, std::uint32_t window) {
  return ReadRuns(statement, part.children, &Key::firstChild, &Key::childCount, window,
                  [&](sqlite3_stmt* row, std::int64_t& child) {
                    const auto parent = sqlite3_column_int64(row, 0);
                    child = sqlite3_column_int64(row, 1);
                    if (child <= 0 || static_cast<std::size_t>(child) >= keyCount) return false;
                    Key& key = keys[static_cast<std::size_t>(child)];
                    key.parent = parent;
                    SetName(part.arena, key, Text(row, 2), Text(row, 3));
                    return parent >= 0 && static_cast<std::size_t>(parent) < keyCount;
                  });
}

bool RegistryImage::TableReads::ReadValues(sqlite3_stmt* statement, Part& part, std::uint32_t window) {
  return ReadRuns(statement, part.values, &Key::firstValue, &Key::valueCount, window,
                  [&](sqlite3_stmt* row, Value& value) {
                    value = ValueOf(part.arena, row);
                    return true;
                  });
}

bool RegistryImage::TableReads::ReadRanges(sqlite3* db, std::uint32_t index) {
  Part& part = parts[index];
  sqlite3_stmt* keyRows = nullptr;
  sqlite3_stmt* valueRows = nullptr;
  bool ok = sqlite3_prepare_v2(db,
                               "SELECT parent, id, name, uname FROM keys WHERE gparent >= ?1 AND gparent < ?2"
                               " ORDER BY gparent, parent, uname",
                               -1, &keyRows, nullptr) == SQLITE_OK &&
            sqlite3_prepare_v2(db,
                               "SELECT key, name, type, data FROM vals WHERE parent >= ?1 AND parent < ?2"
                               " ORDER BY parent, key, seq",
                               -1, &valueRows, nullptr) == SQLITE_OK;
  try {
    // Only what is filled is touched.
    part.children.reserve(keyCount);
    part.values.reserve(keyCount * 4);
    const std::uint32_t window = index << kPartShift;
    const std::size_t ranges = keyRanges + valueBounds.size() - 1;
    for (std::size_t range = next++; ok && range < ranges && !stop; range = next++) {
      const bool ofKeys = range < keyRanges;
      const auto& bounds = ofKeys ? keyBounds : valueBounds;
      const std::size_t at = ofKeys ? range : range - keyRanges;
      sqlite3_stmt* statement = ofKeys ? keyRows : valueRows;
      sqlite3_bind_int64(statement, 1, bounds[at]);
      sqlite3_bind_int64(statement, 2, bounds[at + 1]);
      ok = ofKeys ? ReadKeys(statement, part, window) : ReadValues(statement, part, window);
      sqlite3_reset(statement);
    }
  } catch (...) {  // out of memory: all is read again in one pass
    ok = false;
  }
  sqlite3_finalize(keyRows);
  sqlite3_finalize(valueRows);
  part.ok = ok && !stop;
  return part.ok;
}

void RegistryImage::TableReads::Read(std::uint32_t index) {
  sqlite3* db = nullptr;
  // Pages are read once each: a small page cache.
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK &&
      sqlite3_exec(db, "PRAGMA cache_size=-256; BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {
    ReadRanges(db, index);
  }
  sqlite3_close(db);
}

std::unique_ptr<RegistryImage::TableReads> RegistryImage::StartTableReads(sqlite3* db, const Threads& threads) {
  if (threads.keysPerThread == 0 || !threads.sameSnapshot) return nullptr;
  const std::size_t cores = std::thread::hardware_concurrency();
  const std::size_t count =
      std::min({kMostThreads, cores > 1 ? cores - 1 : 0, keys_.size() / threads.keysPerThread});
  const char* file = sqlite3_db_filename(db, "main");
  if (count == 0 || file == nullptr || *file == '\0') return nullptr;
  auto reads = std::make_unique<TableReads>();
  reads->file = file;
  reads->keys = keys_.data();
  reads->keyCount = keys_.size();
  // Ids in equal ranges, the first and last open-ended.
  const auto split = [ids = static_cast<std::int64_t>(keys_.size())](std::size_t ranges) {
    std::vector<std::int64_t> bounds{std::numeric_limits<std::int64_t>::min()};
    for (std::size_t i = 1; i < ranges; ++i)
      bounds.push_back(ids * static_cast<std::int64_t>(i) / static_cast<std::int64_t>(ranges));
    bounds.push_back(std::numeric_limits<std::int64_t>::max());
    return bounds;
  };
  reads->keyBounds = split((count + 1) * kKeyRangesPerReader);
  reads->keyRanges = reads->keyBounds.size() - 1;
  reads->valueBounds = split((count + 1) * kValueRangesPerReader);
  reads->parts.resize(count + 1);
  reads->threads.reserve(count);
  try {
    for (std::uint32_t i = 0; i < count; ++i) reads->threads.emplace_back([at = reads.get(), i] { at->Read(i); });
  } catch (const std::system_error&) {
    return nullptr;  // stops and joins the threads that started
  }
  return reads;
}

template <typename Item>
std::vector<std::uint32_t> RegistryImage::Concatenate(Array<Item>& items, std::vector<Array<Item>*> parts) {
  std::vector<std::uint32_t> offsets;
  for (Array<Item>* part : parts) {
    offsets.push_back(static_cast<std::uint32_t>(items.size()));
    if (offsets.size() == 1) {
      items = std::move(*part);  // its room reserved
    } else {
      items.insert(items.end(), part->begin(), part->end());
    }
    Array<Item>().swap(*part);
  }
  return offsets;
}

void RegistryImage::TakeParts(TableReads& reads) {
  std::vector<Array<std::int64_t>*> children;
  std::vector<Array<Value>*> values;
  for (TableReads::Part& part : reads.parts) {
    children.push_back(&part.children);
    values.push_back(&part.values);
  }
  const std::vector<std::uint32_t> childOffsets = Concatenate(children_, children);
  const std::vector<std::uint32_t> valueOffsets = Concatenate(values_, values);
  for (TableReads::Part& part : reads.parts) arena_.Adopt(std::move(part.arena));
  const auto place = [](const std::vector<std::uint32_t>& offsets, std::uint32_t at) {
    return offsets[at >> TableReads::kPartShift] + (at & TableReads::kInPart);
  };
  for (Key& key : keys_) {
    if (key.parent < 0) {  // the children and values of a key that is not there
      key.childCount = 0;
      key.valueCount = 0;
    }
    if (key.childCount != 0) key.firstChild = place(childOffsets, key.firstChild);
    if (key.valueCount != 0) key.firstValue = place(valueOffsets, key.firstValue);
  }
}

bool RegistryImage::Load(sqlite3* db, int& rc, const Threads& threads) {
  keys_.clear();
  children_.clear();
  values_.clear();
  std::int64_t lastId = 0;
  rc = EachRow(db, "SELECT max(id) FROM keys", [&](sqlite3_stmt* s) { lastId = sqlite3_column_int64(s, 0); });
  if (rc != SQLITE_DONE) return false;
  keys_.resize(static_cast<std::size_t>(std::max<std::int64_t>(lastId, 0)) + 1);
  keys_[0].parent = 0;
  if (std::unique_ptr<TableReads> reads = StartTableReads(db, threads)) {
    if (reads->ReadRanges(db, static_cast<std::uint32_t>(reads->parts.size() - 1)) && reads->Finish() &&
        threads.sameSnapshot()) {
      TakeParts(*reads);
      return true;
    }
    reads.reset();
    std::fill(keys_.begin(), keys_.end(), Key{});  // what the threads put
    keys_[0].parent = 0;
  }
  return LoadKeys(db, rc) && LoadValues(db, rc);
}

bool RegistryImage::LoadKeys(sqlite3* db, int& rc) {
  // Room that is never filled is never touched either.
  children_.reserve(keys_.size());
  // The family index gives each key's children side by side, in order.
  bool scattered = false;
  rc = EachRow(db, "SELECT parent, id, name, uname FROM keys ORDER BY gparent, parent, uname",
               [&](sqlite3_stmt* s) {
                 const auto parent = sqlite3_column_int64(s, 0);
                 const auto id = sqlite3_column_int64(s, 1);
                 // Never past max(id) of the same snapshot.
                 if (id <= 0 || static_cast<std::size_t>(id) >= keys_.size()) return;
                 Key& key = keys_[static_cast<std::size_t>(id)];
                 key.parent = parent;
                 SetName(arena_, key, Text(s, 2), Text(s, 3));
                 if (parent < 0 || static_cast<std::size_t>(parent) >= keys_.size()) return;
                 Key& above = keys_[static_cast<std::size_t>(parent)];
                 if (above.childCount != 0 && above.firstChild + above.childCount != children_.size())
                   scattered = true;
                 GrowRun(children_, above.firstChild, above.childCount);
                 children_.back() = id;
               });
  if (rc != SQLITE_DONE) return false;
  for (Key& key : keys_) {
    if (key.parent < 0) key.childCount = 0;  // children of a key that is not there
    if (scattered && key.childCount > 1) {
      const auto run = children_.begin() + key.firstChild;
      std::sort(run, run + key.childCount,
                [&](std::int64_t a, std::int64_t b) { return UpperOf(a) < UpperOf(b); });
    }
  }
  return true;
}

RegistryImage::Value RegistryImage::ValueOf(Arena& arena, sqlite3_stmt* row) {
  const std::string_view name = Text(row, 1);
  const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(row, 3));
  const auto size = data ? static_cast<std::size_t>(sqlite3_column_bytes(row, 3)) : 0;
  return Value{Copy(arena, name, {data, size}), static_cast<std::uint32_t>(name.size()),
               static_cast<DWORD>(sqlite3_column_int64(row, 2)), size};
}

bool RegistryImage::LoadValues(sqlite3* db, int& rc) {
  values_.reserve(keys_.size() * 4);
  // The primary key's order: each key's values together, in creation order.
  rc = EachRow(db, "SELECT key, name, type, data FROM vals ORDER BY parent, key, seq",
               [&](sqlite3_stmt* s) {
                 Key* key = Slot(sqlite3_column_int64(s, 0));
                 if (key == nullptr) return;
                 GrowRun(values_, key->firstValue, key->valueCount);
                 values_.back() = ValueOf(arena_, s);
               });
  return rc == SQLITE_DONE;
}

RegistryImage::Key* RegistryImage::Slot(std::int64_t id) {
  return const_cast<Key*>(std::as_const(*this).Slot(id));
}

const RegistryImage::Key* RegistryImage::Slot(std::int64_t id) const {
  if (id < 0 || static_cast<std::size_t>(id) >= keys_.size()) return nullptr;
  const Key& key = keys_[static_cast<std::size_t>(id)];
  return key.parent < 0 ? nullptr : &key;
}

std::string_view RegistryImage::Name(std::int64_t id) const {
  const Key& key = keys_[static_cast<std::size_t>(id)];
  return {key.name, key.nameSize};
}

std::string_view RegistryImage::UpperOf(std::int64_t id) const {
  const Key& key = keys_[static_cast<std::size_t>(id)];
  return {key.name + key.nameSize, key.upperSize};
}

std::span<const std::int64_t> RegistryImage::Children(std::int64_t id) const {
  const Key& key = keys_[static_cast<std::size_t>(id)];
  return std::span<const std::int64_t>(children_).subspan(key.firstChild, key.childCount);
}

std::span<const RegistryImage::Value> RegistryImage::Values(std::int64_t id) const {
  const Key& key = keys_[static_cast<std::size_t>(id)];
  return std::span<const Value>(values_).subspan(key.firstValue, key.valueCount);
}

void RegistryImage::SetName(Arena& arena, Key& key, std::string_view name, std::string_view upperName) {
  auto* at = reinterpret_cast<char*>(arena.Allocate(name.size() + upperName.size()));
  if (!name.empty()) std::memcpy(at, name.data(), name.size());
  if (!upperName.empty()) std::memcpy(at + name.size(), upperName.data(), upperName.size());
  key.name = at;
  key.nameSize = static_cast<std::uint32_t>(name.size());
  key.upperSize = static_cast<std::uint32_t>(upperName.size());
}

const std::uint8_t* RegistryImage::Copy(Arena& arena, std::string_view name, std::span<const std::uint8_t> data) {
  std::uint8_t* at = arena.Allocate(name.size() + data.size());
  if (!name.empty()) std::memcpy(at, name.data(), name.size());
  if (!data.empty()) std::memcpy(at + name.size(), data.data(), data.size());
  return at;
}

template <typename Item>
void RegistryImage::GrowRun(Array<Item>& items, std::uint32_t& first, std::uint32_t& count) {
  if (count == 0) {
    first = static_cast<std::uint32_t>(items.size());
  } else if (first + count != items.size()) {
    const std::size_t to = items.size();
    items.resize(to + count);
    std::copy_n(items.begin() + first, count, items.begin() + static_cast<std::ptrdiff_t>(to));
    first = static_cast<std::uint32_t>(to);
  }
  items.emplace_back();
  ++count;
}

std::uint32_t RegistryImage::ChildPosition(const Key& parent, std::string_view upperName) const {
  const auto run = std::span<const std::int64_t>(children_).subspan(parent.firstChild, parent.childCount);
  const auto at = std::lower_bound(run.begin(), run.end(), upperName,
                                   [&](std::int64_t child, std::string_view name) { return UpperOf(child) < name; });
  return static_cast<std::uint32_t>(at - run.begin());
}

std::optional<std::int64_t> RegistryImage::Child(std::int64_t parent,
                                                 const std::string& upperName) const {
  const Key* key = Slot(parent);
  if (key == nullptr) return std::nullopt;
  const std::uint32_t at = ChildPosition(*key, upperName);
  if (at == key->childCount) return std::nullopt;
  const std::int64_t child = children_[key->firstChild + at];
  if (UpperOf(child) != upperName) return std::nullopt;
  return child;
}

void RegistryImage::AddChild(std::int64_t parent, std::int64_t id, const std::string& name,
                             const std::string& upperName) {
  if (id <= 0 || Slot(parent) == nullptr) return;
  if (static_cast<std::size_t>(id) >= keys_.size()) keys_.resize(static_cast<std::size_t>(id) + 1);
  Key& key = keys_[static_cast<std::size_t>(id)];
  key = Key{};
  key.parent = parent;
  SetName(arena_, key, name, upperName);
  Key& above = keys_[static_cast<std::size_t>(parent)];
  const std::uint32_t at = ChildPosition(above, upperName);
  GrowRun(children_, above.firstChild, above.childCount);
  const auto run = children_.begin() + above.firstChild;
  std::rotate(run + at, run + above.childCount - 1, run + above.childCount);
  run[at] = id;
}

void RegistryImage::SetValue(std::int64_t key, const std::string& name,
                             const std::string& upperName, DWORD type,
                             const std::vector<std::uint8_t>& data) {
  Key* slot = Slot(key);
  if (slot == nullptr) return;
  for (std::uint32_t i = 0; i < slot->valueCount; ++i) {
    Value& item = values_[slot->firstValue + i];
    if (NameUppersTo(item.Name(), upperName)) {
      item = Value{Copy(arena_, item.Name(), data), item.nameSize, type, data.size()};
      return;
    }
  }
  GrowRun(values_, slot->firstValue, slot->valueCount);
  values_.back() = Value{Copy(arena_, name, data), static_cast<std::uint32_t>(name.size()), type, data.size()};
}

void RegistryImage::DeleteValue(std::int64_t key, const std::string& upperName) {
  Key* slot = Slot(key);
  if (slot == nullptr) return;
  const auto run = values_.begin() + slot->firstValue;
  const auto end = run + slot->valueCount;
  const auto gone = std::find_if(run, end, [&](const Value& item) { return NameUppersTo(item.Name(), upperName); });
  if (gone == end) return;
  std::copy(gone + 1, end, gone);
  --slot->valueCount;
}

void RegistryImage::DeleteTree(std::int64_t key) {
  Key* top = Slot(key);
  if (top == nullptr || key == 0) return;
  if (Key* parent = Slot(top->parent)) {
    const auto run = children_.begin() + parent->firstChild;
    const auto end = run + parent->childCount;
    const auto gone = std::find(run, end, key);
    if (gone != end) {
      std::copy(gone + 1, end, gone);
      --parent->childCount;
    }
  }
  std::vector<std::int64_t> pending{key};
  while (!pending.empty()) {
    Key& dead = keys_[static_cast<std::size_t>(pending.back())];
    pending.pop_back();
    const auto run = children_.begin() + dead.firstChild;
    pending.insert(pending.end(), run, run + dead.childCount);
    dead = Key{};
  }
}

}  // namespace win
