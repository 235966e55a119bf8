// The registry image: its tables read by ranges in threads, on connections
// of their own, give what one pass on the store's connection gives.

#include <sqlite3.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "RegistryFixture.h"
#include "platform/registry/RegistryImage.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

// Every key of the image up to lastId: parent and name, children in order
// (each looked up again by its upper-cased name), values with their data
// (long data by size and a hash of it).
std::string Dump(const RegistryImage& image, std::int64_t lastId) {
  std::string out;
  char text[64];
  for (std::int64_t id = 0; id <= lastId + 1; ++id) {
    if (!image.Has(id)) continue;
    out += std::to_string(id) + " in " + std::to_string(image.Parent(id)) + " [" + std::string(image.Name(id)) + "]\n";
    for (const std::int64_t child : image.Children(id)) {
      const auto found = image.Child(id, UpperName(std::string(image.Name(child))));
      out += "  child " + std::to_string(child) + (found == child ? "\n" : " not found by its name\n");
    }
    for (const RegistryImage::Value& value : image.Values(id)) {
      const auto data = value.Data();
      std::snprintf(text, sizeof text, "%lu:%zu:", static_cast<unsigned long>(value.type), data.size());
      out += "  [" + std::string(value.Name()) + "] " + text;
      std::uint64_t hash = 14695981039346656037ull;
      for (const std::uint8_t byte : data) hash = (hash ^ byte) * 1099511628211ull;
      std::snprintf(text, sizeof text, "#%016llx\n", static_cast<unsigned long long>(hash));
      out += text;
    }
  }
  return out;
}

// A read transaction of its own on the file, its snapshot taken.
class Reader {
 public:
  explicit Reader(const std::string& path) {
    EXPECT_EQ(sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db_, "SELECT max(id) FROM keys", -1, &statement, nullptr), SQLITE_OK);
    if (sqlite3_step(statement) == SQLITE_ROW) lastId_ = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
  }
  ~Reader() {
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db_);
  }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  std::string Load(const RegistryImage::Threads& threads) {
    RegistryImage image;
    int rc = SQLITE_OK;
    EXPECT_TRUE(image.Load(db_, rc, threads)) << rc;
    return Dump(image, lastId_);
  }

 private:
  sqlite3* db_ = nullptr;
  std::int64_t lastId_ = 0;
};

RegistryImage::Threads InThreads(std::size_t keysPerThread, bool sameSnapshot) {
  return RegistryImage::Threads{keysPerThread, [sameSnapshot] { return sameSnapshot; }};
}

void Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
  char* error = nullptr;
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

// Keys over several levels with values of every kind: empty, long and
// non-ASCII names, empty, large and odd-type data; keys without values,
// keys with many, and holes left by deleted trees.
void FillMixed(RegistryStore& store) {
  const std::string longName(255, 'L');
  std::vector<std::uint8_t> big(600000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
  ASSERT_TRUE(store.BeginBatch());
  TRegistry writer(store);
  const std::vector<std::string> names{"zeta", "Alpha", "", "\xC3\x84rger", "\xC4\xB1", "Stra\xC3\x9F" "e", longName};
  for (int i = 0; i < 120; ++i) {
    const std::string path =
        "\\Mix\\K" + std::to_string(i % 7) + "\\" + ("S" + std::to_string(i) + names[i % names.size()]).substr(0, 255);
    ASSERT_TRUE(writer.OpenKey(path, true)) << path;
    if (i % 5 == 0) continue;
    for (std::size_t v = 0; v < static_cast<std::size_t>(i % 9 == 0 ? 40 : 3); ++v)
      ASSERT_TRUE(writer.WriteString(names[(i + v) % names.size()] + std::to_string(v), std::to_string(i)));
    if (i % 11 == 0) {
      ASSERT_TRUE(writer.WriteBinaryData("big", big));
    }
    if (i % 13 == 0) {
      ASSERT_TRUE(writer.WriteRaw("empty", REG_NONE, {}));
    }
    if (i % 17 == 0) {
      ASSERT_TRUE(writer.WriteRaw("odd", 12345, {9, 8, 7}));
    }
  }
  ASSERT_TRUE(store.CommitBatch());
  ASSERT_TRUE(writer.DeleteKey("\\Mix\\K3"));
  ASSERT_TRUE(writer.OpenKey("\\Mix\\K1", false));
  ASSERT_TRUE(writer.WriteString("after the holes", "x"));
}

}  // namespace

using RegistryImageTest = RegistryFixture;

// Any number of threads, and the pass on the store's connection when the
// snapshot is not the same, read what the pass alone reads. Rows that no
// store writes (values of a key that is not there, a key's values under two
// parents, its children under two grandparents) are read as that pass reads
// them too.
TEST_F(RegistryImageTest, TablesReadInThreadsAreWhatOnePassReads) {
  const std::string keyOfValues = "(SELECT max(key) FROM vals)";
  const struct {
    const char* name;
    std::function<void(RegistryStore&)> fill;
    std::string sql;  // run on the file afterwards
  } cases[] = {
      {"only the roots", [](RegistryStore&) {}, ""},
      {"mixed", FillMixed, ""},
      {"values of a key that is not there", FillMixed,
       "INSERT INTO vals(key, parent, seq, name, uname, type, data) VALUES (999999, 1, 1, 'n', 'N', 1, x'01');"
       "DELETE FROM keys WHERE id = (SELECT max(id) FROM keys WHERE name LIKE 'S%');"},
      {"a key's values under two parents", FillMixed,
       "INSERT INTO vals(key, parent, seq, name, uname, type, data) SELECT key, 0, 1, 'first', 'FIRST', 4,"
       " x'01000000' FROM vals WHERE key = " + keyOfValues + " LIMIT 1;"
       "INSERT INTO vals(key, parent, seq, name, uname, type, data) SELECT key, parent + 1000000, 1, 'last',"
       " 'LAST', 4, x'02000000' FROM vals WHERE key = " + keyOfValues + " LIMIT 1;"},
      {"a key's children under two grandparents", FillMixed,
       "UPDATE keys SET gparent = gparent + 1000000 WHERE id = (SELECT max(id) FROM keys WHERE parent ="
       " (SELECT parent FROM keys GROUP BY parent HAVING count(*) > 2 LIMIT 1));"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store_.reset();
    std::filesystem::remove(dbPath_);
    std::filesystem::remove(dbPath_ + "-wal");
    std::filesystem::remove(dbPath_ + "-shm");
    Reopen();
    c.fill(store());
    store_.reset();
    if (!c.sql.empty()) Exec(dbPath_, c.sql);
    Reopen();  // the store's connection keeps the file in its log mode
    Reader reader(dbPath_);
    const std::string onePass = reader.Load({});
    EXPECT_NE(onePass.find("[HKEY_LOCAL_MACHINE]"), std::string::npos) << onePass;
    for (const std::size_t keysPerThread : {std::size_t{1}, std::size_t{2}, std::size_t{1000}}) {
      for (const bool same : {true, false}) {
        EXPECT_EQ(reader.Load(InThreads(keysPerThread, same)), onePass) << keysPerThread << " " << same;
      }
    }
  }
}

// The threads' connections may see a commit that came after the snapshot of
// the store's connection; what they read then is left for that snapshot's.
TEST_F(RegistryImageTest, ValuesComeFromTheSnapshotOfTheStoresConnection) {
  TRegistry writer(store());
  ASSERT_TRUE(writer.OpenKey("\\Snap", true));
  ASSERT_TRUE(writer.WriteString("v", "before"));
  Reader reader(dbPath_);
  const std::string before = reader.Load({});
  ASSERT_TRUE(writer.WriteString("v", "after"));
  bool asked = false;
  RegistryImage::Threads threads{1, [&asked] {
                                   asked = true;
                                   return false;
                                 }};
  EXPECT_EQ(reader.Load(threads), before);
  if (std::thread::hardware_concurrency() > 1) {
    EXPECT_TRUE(asked);
  }
  EXPECT_NE(Reader(dbPath_).Load({}), before);
}
