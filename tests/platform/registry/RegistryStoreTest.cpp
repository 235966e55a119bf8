// The registry file: sharing, transactions, damage, root names.

#include <sqlite3.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <thread>

#include "RegistryFixture.h"
#include "ThisTestProgram.h"

using namespace win;

namespace {

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The subtree at path, one line per key: its path, then name=data of its
// string values in order.
std::string Dump(TRegistry& reg, const std::string& path) {
  if (!reg.OpenKeyReadOnly(path)) return path + " (gone)\n";
  std::string out = path;
  std::vector<std::string> names;
  EXPECT_TRUE(reg.GetValueNames(names));
  for (const auto& name : names) out += " " + name + "=" + reg.ReadString(name).value_or("?");
  out += "\n";
  EXPECT_TRUE(reg.GetKeyNames(names));
  for (const auto& name : names) out += Dump(reg, path + "\\" + name);
  return out;
}

// A value's line of a dump: its name, type and data (short data in hex, long
// data by size and a hash of it).
std::string ValueLine(const std::string& name, DWORD type, const std::vector<std::uint8_t>& data) {
  char text[64];
  std::snprintf(text, sizeof text, "%lu:%zu:", static_cast<unsigned long>(type), data.size());
  std::string out = "  [" + name + "] " + text;
  if (data.size() <= 16) {
    for (const std::uint8_t byte : data) {
      std::snprintf(text, sizeof text, "%02x", byte);
      out += text;
    }
  } else {
    std::uint64_t hash = 14695981039346656037ull;
    for (const std::uint8_t byte : data) hash = (hash ^ byte) * 1099511628211ull;
    std::snprintf(text, sizeof text, "#%016llx", static_cast<unsigned long long>(hash));
    out += text;
  }
  return out + "\n";
}

// The subtree at path as raw reads give it: each key in listing order with
// its values.
std::string RawDump(TRegistry& reg, const std::string& path) {
  if (!reg.OpenKeyReadOnly(path)) return path + " (gone)\n";
  std::string out = path + "\n";
  std::vector<std::string> names;
  EXPECT_TRUE(reg.GetValueNames(names));
  for (const auto& name : names) {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (!reg.ReadRaw(name, type, data)) {
      out += "  [" + name + "] unreadable\n";
      continue;
    }
    out += ValueLine(name, type, data);
  }
  EXPECT_TRUE(reg.GetKeyNames(names));
  for (const auto& name : names) out += RawDump(reg, path + "\\" + name);
  return out;
}

// RawDump with each key's values read at once, all into one list.
std::string ListDump(TRegistry& reg, const std::string& path, RegValueList& values) {
  if (!reg.OpenKeyReadOnly(path)) return path + " (gone)\n";
  std::string out = path + "\n";
  EXPECT_TRUE(reg.GetValues(values));
  for (std::size_t i = 0; i < values.count; ++i)
    out += ValueLine(values.items[i].name, values.items[i].type, values.items[i].data);
  std::vector<std::string> names;
  EXPECT_TRUE(reg.GetKeyNames(names));
  for (const auto& name : names) out += ListDump(reg, path + "\\" + name, values);
  return out;
}

RegistryOptions RowsOnly() {
  RegistryOptions options;
  options.rowReadsBeforeImage = std::numeric_limits<std::size_t>::max();
  return options;
}

}  // namespace

using RegistryStoreTest = RegistryFixture;

// The whole registry in memory and the tables read row by row give the same:
// names in any case and script, empty and long names, empty, binary, large
// and unknown-type data; also after the image's own store changed keys and
// values, and when it is loaded from the changed file.
TEST_F(RegistryStoreTest, TheImageAndTheRowsReadTheSame) {
  const std::string longName(255, 'L');
  std::vector<std::uint8_t> big(600000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
  {
    TRegistry writer(store());
    for (const std::string& name : std::vector<std::string>{"zeta", "Alpha", "beta", "\xC3\x84rger", "_under", "\xC4\xB1", longName}) {
      ASSERT_TRUE(writer.CreateKey("\\Img\\" + name)) << name;
    }
    ASSERT_TRUE(writer.CreateKey("\\Img\\zeta\\Inner\\Deep"));
    ASSERT_TRUE(writer.OpenKey("\\Img\\Alpha", false));
    ASSERT_TRUE(writer.WriteString("", "d"));
    ASSERT_TRUE(writer.WriteBinaryData("Mixed", {0, 1, 0, 255}));
    ASSERT_TRUE(writer.WriteRaw("empty", REG_NONE, {}));
    ASSERT_TRUE(writer.WriteExpandString("Stra\xC3\x9F" "e", "%SystemRoot%\\x"));
    ASSERT_TRUE(writer.WriteBinaryData("big", big));
    ASSERT_TRUE(writer.WriteRaw("odd", 12345, {9, 8, 7}));
    ASSERT_TRUE(writer.OpenKey("\\Img\\zeta\\Inner", false));
    ASSERT_TRUE(writer.WriteString(longName, "long"));
  }
  auto image = OpenStore(ImageAtOnce());
  auto rows = OpenStore(RowsOnly());
  ASSERT_TRUE(image && rows);
  TRegistry fromImage(*image), fromRows(*rows);
  const std::string before = RawDump(fromRows, "\\Img");
  EXPECT_EQ(RawDump(fromImage, "\\Img"), before);
  // Keys of many values, of few and of none after each other in one list.
  RegValueList values;
  EXPECT_EQ(ListDump(fromRows, "\\Img", values), before);
  EXPECT_EQ(ListDump(fromImage, "\\Img", values), before);
  // Sorted by the upper-cased names' bytes.
  ASSERT_TRUE(fromImage.OpenKeyReadOnly("\\Img"));
  std::vector<std::string> names;
  ASSERT_TRUE(fromImage.GetKeyNames(names));
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", longName, "zeta", "_under", "\xC3\x84rger",
                                             "\xC4\xB1"}));

  {
    TRegistry writer(*image);
    ASSERT_TRUE(writer.CreateKey("\\Img\\Beta2"));
    ASSERT_TRUE(writer.CreateKey("\\Img\\AAA"));
    ASSERT_TRUE(writer.CreateKey("\\Img\\\xC3\x84rger\\Sub"));
    ASSERT_TRUE(writer.OpenKey("\\Img\\Alpha", false));
    ASSERT_TRUE(writer.WriteString("MIXED", "now a string"));  // keeps its place and name
    ASSERT_TRUE(writer.WriteString("new", "last"));
    ASSERT_TRUE(writer.DeleteValue("EMPTY"));
    ASSERT_TRUE(writer.WriteBinaryData("big", {1}));
    ASSERT_TRUE(writer.DeleteKey("\\Img\\zeta"));
    ASSERT_TRUE(writer.OpenKey("\\Img\\beta", false));
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(writer.WriteString("v" + std::to_string(i), std::to_string(i)));
  }
  const std::string after = RawDump(fromImage, "\\Img");
  EXPECT_NE(after, before);
  EXPECT_NE(after.find("  [Mixed] 1:26:"), std::string::npos) << after;
  EXPECT_EQ(after.find("zeta"), std::string::npos) << after;
  auto freshRows = OpenStore(RowsOnly());
  auto freshImage = OpenStore(ImageAtOnce());
  ASSERT_TRUE(freshRows && freshImage);
  TRegistry rowsAfter(*freshRows), imageAfter(*freshImage);
  EXPECT_EQ(RawDump(rowsAfter, "\\Img"), after);
  EXPECT_EQ(RawDump(imageAfter, "\\Img"), after);
  EXPECT_EQ(ListDump(fromImage, "\\Img", values), after);
  EXPECT_EQ(ListDump(rowsAfter, "\\Img", values), after);
}

// A key whose children hold more rows than one read of their lists takes is
// read child by child, with the same result, before and after a change.
TEST_F(RegistryStoreTest, ChildrenTooManyToReadAtOnceReadTheSame) {
  {
    TRegistry writer(store());
    for (int child = 0; child < 6; ++child) {
      const std::string key = "\\Wide\\C" + std::to_string(child);
      for (int sub = 0; sub < 3; ++sub) ASSERT_TRUE(writer.CreateKey(key + "\\S" + std::to_string(sub)));
      ASSERT_TRUE(writer.OpenKey(key, false));
      for (int value = 0; value < 3; ++value) {
        ASSERT_TRUE(writer.WriteString("v" + std::to_string(value), key + std::to_string(value)));
      }
    }
  }
  RegistryOptions few = RowsOnly();
  few.childListRows = 5;
  auto rows = OpenStore(RowsOnly());
  auto limited = OpenStore(few);
  ASSERT_TRUE(rows && limited);
  TRegistry fromRows(*rows), fromLimited(*limited);
  const std::string before = RawDump(fromRows, "\\Wide");
  EXPECT_NE(before.find("C5\\S2"), std::string::npos) << before;
  EXPECT_EQ(RawDump(fromLimited, "\\Wide"), before);
  EXPECT_EQ(RawDump(fromLimited, "\\Wide"), before);  // again, from what it holds

  {
    TRegistry writer(*limited);
    ASSERT_TRUE(writer.OpenKey("\\Wide\\C3", false));
    ASSERT_TRUE(writer.WriteString("added", "x"));
    ASSERT_TRUE(writer.DeleteKey("\\Wide\\C4\\S1"));
  }
  const std::string after = RawDump(fromRows, "\\Wide");
  EXPECT_NE(after, before);
  EXPECT_EQ(RawDump(fromLimited, "\\Wide"), after);
}

// Reads are served from what was read before while nothing changed: every
// kind of change, by another store or by this one inside a batch, must show.
TEST_F(RegistryStoreTest, WalksSeeEveryChangeMadeSinceTheLastWalk) {
  auto second = OpenStore();
  ASSERT_TRUE(second);
  {
    TRegistry setup(store());
    for (const char* path : {"\\Walk\\A\\X", "\\Walk\\A\\Y", "\\Walk\\B"}) {
      ASSERT_TRUE(setup.OpenKey(path, true));
      ASSERT_TRUE(setup.WriteString("v", path));
    }
  }
  TRegistry reader(store());
  EXPECT_EQ(Dump(reader, "\\Walk"),
            "\\Walk\n\\Walk\\A\n\\Walk\\A\\X v=\\Walk\\A\\X\n"
            "\\Walk\\A\\Y v=\\Walk\\A\\Y\n\\Walk\\B v=\\Walk\\B\n");
  // Keys and values added and changed, then a key deleted.
  const std::string grown =
      "\\Walk\n\\Walk\\A w=1\n\\Walk\\A\\X v=\\Walk\\A\\X\n\\Walk\\A\\Y v=changed\n"
      "\\Walk\\A\\Z\n\\Walk\\B v=\\Walk\\B\n\\Walk\\B\\New\n";
  const std::string pruned =
      "\\Walk\n\\Walk\\A w=1\n\\Walk\\A\\Y v=changed\n"
      "\\Walk\\A\\Z\n\\Walk\\B v=\\Walk\\B\n\\Walk\\B\\New\n";
  const auto grow = [](RegistryStore& on) {
    TRegistry writer(on);
    ASSERT_TRUE(writer.CreateKey("\\Walk\\A\\Z"));
    ASSERT_TRUE(writer.CreateKey("\\Walk\\B\\New"));
    ASSERT_TRUE(writer.OpenKey("\\Walk\\A\\Y", false));
    ASSERT_TRUE(writer.WriteString("v", "changed"));
    ASSERT_TRUE(writer.OpenKey("\\Walk\\A", false));
    ASSERT_TRUE(writer.WriteString("w", "1"));
  };
  const auto prune = [](RegistryStore& on) {
    TRegistry writer(on);
    ASSERT_TRUE(writer.DeleteKey("\\Walk\\A\\X"));
  };
  grow(*second);
  EXPECT_EQ(Dump(reader, "\\Walk"), grown);
  prune(*second);
  EXPECT_EQ(Dump(reader, "\\Walk"), pruned);

  const auto restart = [](RegistryStore& on) {
    TRegistry writer(on);
    ASSERT_TRUE(writer.DeleteKey("\\Walk"));
    for (const char* path : {"\\Walk\\A\\X", "\\Walk\\A\\Y", "\\Walk\\B"}) {
      ASSERT_TRUE(writer.OpenKey(path, true));
      ASSERT_TRUE(writer.WriteString("v", path));
    }
  };
  // The same again by this store: anew, read, grown, pruned.
  const auto again = [&] {
    restart(store());
    Dump(reader, "\\Walk");
    grow(store());
    EXPECT_EQ(Dump(reader, "\\Walk"), grown);
    prune(store());
    EXPECT_EQ(Dump(reader, "\\Walk"), pruned);
  };
  // Inside a batch.
  ASSERT_TRUE(store().BeginBatch());
  again();
  ASSERT_TRUE(store().CommitBatch());
  TRegistry other(*second);
  EXPECT_EQ(Dump(other, "\\Walk"), pruned);

  // Outside a batch, one write at a time.
  again();
  {
    TRegistry writer(store());
    ASSERT_TRUE(writer.OpenKey("\\Walk\\A", false));
    ASSERT_TRUE(writer.DeleteValue("W"));
  }
  std::string withoutW = pruned;
  withoutW.erase(withoutW.find(" w=1"), 4);
  EXPECT_EQ(Dump(reader, "\\Walk"), withoutW);
  EXPECT_EQ(Dump(other, "\\Walk"), withoutW);
}

// Thousands of keys: what a walk keeps of them grows and must still let go of
// everything when another store changes the tree.
TEST_F(RegistryStoreTest, AWalkOfThousandsOfKeysSeesChangesMadeElsewhere) {
  const auto name = [](int i) {
    std::string digits = std::to_string(i);
    return "\\Big\\K" + std::string(4 - digits.size(), '0') + digits;
  };
  std::string expected = "\\Big\n";
  {
    ASSERT_TRUE(store().BeginBatch());
    TRegistry writer(store());
    for (int i = 0; i < 1500; ++i) {
      ASSERT_TRUE(writer.OpenKey(name(i), true));
      ASSERT_TRUE(writer.WriteString("v", name(i)));
      ASSERT_TRUE(writer.CreateKey("Leaf"));
      expected += name(i) + " v=" + name(i) + "\n" + name(i) + "\\Leaf\n";
    }
    ASSERT_TRUE(store().CommitBatch());
  }
  TRegistry reader(store()), holder(store());
  EXPECT_EQ(Dump(reader, "\\Big"), expected);
  ASSERT_TRUE(holder.OpenKeyReadOnly(name(700) + "\\Leaf"));

  auto second = OpenStore();
  ASSERT_TRUE(second);
  TRegistry writer(*second);
  ASSERT_TRUE(writer.DeleteKey(name(700)));
  ASSERT_TRUE(writer.OpenKey(name(1400), false));
  ASSERT_TRUE(writer.WriteString("v", "changed"));
  for (const std::string& line : {name(700) + " v=" + name(700) + "\n", name(700) + "\\Leaf\n"}) {
    expected.erase(expected.find(line), line.size());
  }
  const std::string old = name(1400) + " v=" + name(1400);
  expected.replace(expected.find(old), old.size(), name(1400) + " v=changed");
  EXPECT_EQ(Dump(reader, "\\Big"), expected);
  std::vector<std::string> names;
  EXPECT_FALSE(holder.GetValueNames(names));
  EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED);
}

// Reads of listed values start where the last one was found: any order, any
// case and names that are not there must still give the right answer.
TEST_F(RegistryStoreTest, ListedValuesReadInAnyOrderAndCase) {
  TRegistry reg(store());
  for (const char* key : {"\\Order\\One", "\\Order\\Two"}) {
    ASSERT_TRUE(reg.OpenKey(key, true));
    for (const char* name : {"Alpha", "Beta", "Gamma", "Straße"}) {
      ASSERT_TRUE(reg.WriteString(name, std::string(key) + ":" + name));
    }
  }
  TRegistry one(store()), two(store());
  ASSERT_TRUE(one.OpenKeyReadOnly("\\Order\\One"));
  ASSERT_TRUE(two.OpenKeyReadOnly("\\Order\\Two"));
  std::vector<std::string> names;
  ASSERT_TRUE(one.GetValueNames(names));
  struct Read {
    TRegistry* reader;
    std::string key;
    std::string asked;
    std::string stored;
  };
  const Read reads[] = {
      {&one, "One", "Gamma", "Gamma"}, {&one, "One", "Alpha", "Alpha"},
      {&two, "Two", "Beta", "Beta"},   {&one, "One", "BETA", "Beta"},
      {&one, "One", "gamma", "Gamma"}, {&two, "Two", "STRAßE", "Straße"},
      {&one, "One", "Straße", "Straße"}, {&two, "Two", "Alpha", "Alpha"},
  };
  for (const Read& r : reads) {
    EXPECT_EQ(r.reader->ReadString(r.asked), "\\Order\\" + r.key + ":" + r.stored) << r.asked;
  }
  EXPECT_FALSE(one.ReadString("Delta"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(one.ReadString("STRASSE"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The same on a root, whose values are held key by key.
  TRegistry root(store());
  ASSERT_TRUE(root.OpenKey("\\", false));
  ASSERT_TRUE(root.WriteString("Mixed", "m"));
  ASSERT_TRUE(root.GetValueNames(names));
  EXPECT_EQ(root.ReadString("MIXED"), "m");
  EXPECT_EQ(root.ReadString("Mixed"), "m");
  EXPECT_FALSE(root.ReadString("Mixe"));
}

TEST_F(RegistryStoreTest, TwoStoresOnOneFileSeeEachOthersChanges) {
  auto second = OpenStore();
  ASSERT_TRUE(second);
  TRegistry one(store()), two(*second);
  ASSERT_TRUE(one.OpenKey("\\Shared", true));
  ASSERT_TRUE(one.WriteString("v", "1"));
  ASSERT_TRUE(two.OpenKey("\\SHARED", false));
  EXPECT_EQ(two.ReadString("v"), "1");
  ASSERT_TRUE(two.WriteString("v", "2"));
  EXPECT_EQ(one.ReadString("v"), "2");
  ASSERT_TRUE(two.DeleteKey("\\Shared"));
  EXPECT_FALSE(one.ReadString("v"));
  EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED);
}

// The other process of the next test: started with FW_REGISTRY_WRITER naming
// a store, it changes that store and ends.
TEST(RegistryOtherProcess, ChangesTheStoreItIsGiven) {
  const char* path = std::getenv("FW_REGISTRY_WRITER");
  if (path == nullptr) GTEST_SKIP() << "only runs as the other process of a store test";
  std::string error;
  auto store = RegistryStore::Open(path, RegistryOptions{}, error);
  ASSERT_TRUE(store) << error;
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Shared", false));
  ASSERT_TRUE(reg.WriteString("v", "2"));
  ASSERT_TRUE(reg.DeleteKey("Gone"));
}

TEST_F(RegistryStoreTest, AnotherProcessesChangesShowAtTheNextRead) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.CreateKey("\\Shared\\Gone"));
  ASSERT_TRUE(reg.OpenKey("\\Shared", false));
  ASSERT_TRUE(reg.WriteString("v", "1"));
  std::vector<std::string> names;
  // Read first, so that what follows could be served from memory.
  EXPECT_EQ(reg.ReadString("v"), "1");
  ASSERT_TRUE(reg.GetKeyNames(names));
  EXPECT_EQ(names, std::vector<std::string>{"Gone"});

  // A fresh process: a connection must not cross a fork.
  ASSERT_TRUE(EndedCleanly(StartThisTestProgram("RegistryOtherProcess.ChangesTheStoreItIsGiven",
                                                {"FW_REGISTRY_WRITER=" + dbPath_})));

  EXPECT_EQ(reg.ReadString("v"), "2");
  ASSERT_TRUE(reg.GetKeyNames(names));
  EXPECT_TRUE(names.empty());
}

// Another process of the next test: with FW_REGISTRY_READER naming a store
// and FW_REGISTRY_EXPECT a text, it opens the store, checks \Shared "v" and
// closes it again.
TEST(RegistryOtherProcess, ReadsTheStoreItIsGiven) {
  const char* path = std::getenv("FW_REGISTRY_READER");
  const char* expected = std::getenv("FW_REGISTRY_EXPECT");
  if (path == nullptr || expected == nullptr) GTEST_SKIP() << "only runs as the other process of a store test";
  std::string error;
  auto store = RegistryStore::Open(path, RegistryOptions{}, error);
  ASSERT_TRUE(store) << error;
  TRegistry reg(*store);
  ASSERT_TRUE(reg.OpenKey("\\Shared", false));
  EXPECT_EQ(reg.ReadString("v").value_or("(none)"), expected);
}

// Code of this process opens and closes the store's files (as a file dialog
// that sniffs file types does), which drops every POSIX lock SQLite holds
// on them. Another process that then opens and closes the store must still
// see this one, or it deletes the log this one goes on writing to.
TEST_F(RegistryStoreTest, AForeignCloseInTheProcessLosesNoWrite) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Shared", true));
  ASSERT_TRUE(reg.WriteString("v", "1"));
  for (const char* suffix : {"", "-wal", "-shm"}) {
    const int fd = open((dbPath_ + suffix).c_str(), O_RDONLY);
    ASSERT_GE(fd, 0) << suffix;
    close(fd);
  }
  const auto otherProcessReads = [this](const std::string& expected) {
    return EndedCleanly(StartThisTestProgram("RegistryOtherProcess.ReadsTheStoreItIsGiven",
                                             {"FW_REGISTRY_READER=" + dbPath_, "FW_REGISTRY_EXPECT=" + expected}));
  };
  EXPECT_TRUE(otherProcessReads("1"));
  ASSERT_TRUE(reg.WriteString("v", "2"));
  EXPECT_TRUE(otherProcessReads("2")) << "the write went where other processes read";
  EXPECT_TRUE(std::filesystem::exists(dbPath_ + "-wal"));
}

TEST_F(RegistryStoreTest, AWriterWaitsForAnotherStoresBatch) {
  auto second = OpenStore();
  ASSERT_TRUE(second);
  TRegistry one(store());
  ASSERT_TRUE(one.OpenKey("\\Busy", true));
  ASSERT_TRUE(store().BeginBatch());
  ASSERT_TRUE(one.WriteString("batch", "1"));
  std::atomic<bool> written{false};
  bool ok = false;
  std::thread writer([&] {
    TRegistry two(*second);
    ok = two.OpenKey("\\Busy", true) && two.WriteString("other", "2");
    written = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(written);  // blocked by the open batch
  ASSERT_TRUE(store().CommitBatch());
  writer.join();
  EXPECT_TRUE(ok);
  EXPECT_EQ(one.ReadString("other"), "2");
  EXPECT_EQ(one.ReadString("batch"), "1");
}

TEST_F(RegistryStoreTest, BatchesCommitOrRollBackAsOneAndNest) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Batch", true));
  ASSERT_TRUE(store().BeginBatch());
  ASSERT_TRUE(reg.WriteString("dropped", "x"));
  ASSERT_TRUE(reg.CreateKey("DroppedKey"));
  store().RollbackBatch();
  EXPECT_FALSE(reg.ValueExists("dropped"));
  EXPECT_FALSE(reg.KeyExists("DroppedKey"));

  ASSERT_TRUE(store().BeginBatch());
  ASSERT_TRUE(reg.WriteString("outer", "x"));
  ASSERT_TRUE(store().BeginBatch());
  ASSERT_TRUE(reg.WriteString("inner", "x"));
  store().RollbackBatch();  // only the inner batch
  ASSERT_TRUE(store().BeginBatch());
  ASSERT_TRUE(reg.DeleteKey("\\Batch\\Nothing") == false);
  ASSERT_TRUE(reg.WriteString("inner2", "x"));
  // A write to a key deleted meanwhile fails alone; the batch goes on.
  TRegistry stale(store());
  ASSERT_TRUE(stale.OpenKey("\\Batch\\Stale", true));
  ASSERT_TRUE(reg.DeleteKey("Stale"));
  EXPECT_FALSE(stale.WriteString("v", "x"));
  EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED);
  ASSERT_TRUE(store().CommitBatch());
  ASSERT_TRUE(store().CommitBatch());
  EXPECT_FALSE(store().CommitBatch());  // none open
  Reopen();
  TRegistry after(store());
  ASSERT_TRUE(after.OpenKey("\\Batch", false));
  std::vector<std::string> names;
  ASSERT_TRUE(after.GetValueNames(names));
  EXPECT_EQ(names, (std::vector<std::string>{"outer", "inner2"}));
}

TEST_F(RegistryStoreTest, DamagedFilesAreRefusedNamedAndLeftAlone) {
  store_.reset();
  std::mt19937 random(7);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  std::string header = FileBytes(dbPath_);
  ASSERT_GT(header.size(), 100u);
  std::string damagedPages = header;
  for (std::size_t i = 100; i < damagedPages.size(); ++i) damagedPages[i] = static_cast<char>(i * 7);

  const std::string foreign = folder_ + "/foreign.db";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string foreignBytes = FileBytes(foreign);

  struct Case {
    std::string what;
    std::string bytes;
  };
  const Case cases[] = {
      {"random bytes", noise},
      {"text", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\x]\r\n"},
      {"cut header", header.substr(0, 50)},
      {"damaged pages", damagedPages},
      {"another program's database", foreignBytes},
  };
  for (const Case& c : cases) {
    const std::string path = folder_ + "/damaged.db";
    std::filesystem::remove(path);
    WriteFile(path, c.bytes);
    std::string error;
    auto opened = RegistryStore::Open(path, {}, error);
    EXPECT_FALSE(opened) << c.what;
    EXPECT_NE(error.find(path), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(FileBytes(path), c.bytes) << c.what;
  }
  std::string error;
  const std::string noFolder = folder_ + "/missing/registry.db";
  EXPECT_FALSE(RegistryStore::Open(noFolder, {}, error));
  EXPECT_NE(error.find(noFolder), std::string::npos) << error;
}

TEST(RegistryRoots, NamesAndHandles) {
  struct Case {
    std::string name;
    HKEY root;
  };
  const Case cases[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RootFromName(c.name), c.root);
    std::string lower = c.name;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(RootFromName(lower), c.root);
    EXPECT_EQ(RootName(c.root), c.name);
  }
  for (const char* other : {"", "HKLM", "HKEY_LOCAL_MACHINE\\", "HKEY_PERFORMANCE_DATA"}) {
    EXPECT_EQ(RootFromName(other), 0u) << other;
  }
  EXPECT_EQ(RootName(0x80000004u), "");
  EXPECT_EQ(RootName(0), "");
}

TEST(RegistryCurrent, TRegistryWithoutAStoreFails) {
  RegistryStore* before = CurrentRegistry();
  SetCurrentRegistry(nullptr);
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("\\x", true));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(reg.KeyExists(""));
  SetCurrentRegistry(before);
}
