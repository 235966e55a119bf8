// .reg files against a registry store: export of trees, import in one
// transaction.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "RegFileTestSupport.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/StoreCheckStamp.h"
#include "platform/text/TextCodec.h"

using namespace win;
using regfiletest::Bytes;
using regfiletest::Describe;
using regfiletest::ToBytes;

namespace {

class TempStores {
 public:
  TempStores() {
    std::string pattern = (std::filesystem::temp_directory_path() / "fwregfile-XXXXXX").string();
    folder_ = mkdtemp(pattern.data()) != nullptr ? pattern : "";
  }
  ~TempStores() {
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  TempStores(const TempStores&) = delete;
  TempStores& operator=(const TempStores&) = delete;

  std::string Path(const std::string& name) const { return folder_ + "/" + name + ".db"; }

  std::unique_ptr<RegistryStore> Open(const std::string& name, const RegistryOptions& options = {}) {
    std::string error;
    auto store = RegistryStore::Open(Path(name), options, error);
    EXPECT_TRUE(store) << error;
    return store;
  }

 private:
  std::string folder_;
};

// The key at a full path, made when missing if `create`.
std::optional<std::int64_t> Walk(RegistryStore& store, const std::string& path, bool create) {
  const std::size_t slash = path.find('\\');
  std::optional<std::int64_t> id = store.RootId(RootFromName(path.substr(0, slash)));
  for (std::size_t start = slash; id && start != std::string::npos;) {
    const std::size_t next = path.find('\\', start + 1);
    const std::string name = path.substr(start + 1, next == std::string::npos ? next : next - start - 1);
    id = create ? store.CreateChild(*id, name) : store.FindChild(*id, name);
    start = next;
  }
  return id;
}

std::optional<std::int64_t> Find(RegistryStore& store, const std::string& path) {
  return Walk(store, path, false);
}

// Makes the keys and values of content with the store's own calls.
void Fill(RegistryStore& store, const RegFileContent& content) {
  ASSERT_TRUE(store.BeginBatch());
  for (const RegFileKey& key : content.keys) {
    const std::optional<std::int64_t> id = Walk(store, key.path, true);
    ASSERT_TRUE(id) << key.path;
    for (const RegFileValue& value : key.values) {
      ASSERT_TRUE(store.SetValue(*id, value.name, value.type, value.data)) << key.path;
    }
  }
  ASSERT_TRUE(store.CommitBatch());
}

RegFileContent Tree(RegistryStore& store, const std::string& path = "") {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ReadRegistryTree(store, path, content, error)) << error;
  return content;
}

RegFileContent Parse(const std::string& text) {
  RegFileContent content;
  std::string error;
  EXPECT_TRUE(ParseRegFile(ToBytes(text), "t.reg", 1252, content, error)) << error;
  return content;
}

// Export of a whole registry and import into an empty one give the same
// keys and values, byte for byte and in the same order.
TEST(RegFileStore, ExportThenImportReproducesTheRegistry) {
  for (RegFileFormat format : {RegFileFormat::Version5, RegFileFormat::Regedit4}) {
    for (unsigned seed = 1; seed <= 4; ++seed) {
      SCOPED_TRACE(testing::Message() << (format == RegFileFormat::Version5 ? "version 5" : "REGEDIT4")
                                      << " seed " << seed);
      TempStores stores;
      auto source = stores.Open("source");
      auto target = stores.Open("target");
      ASSERT_TRUE(source && target);
      const RegFileContent generated = regfiletest::TreeGenerator(seed, format).Generate(5);
      Fill(*source, generated);

      RegFileContent exported = Tree(*source);
      exported.format = format;
      RegFileContent imported;
      std::string error;
      ASSERT_TRUE(ParseRegFile(FormatRegFile(exported, 1252), "all.reg", 1252, imported, error)) << error;
      ASSERT_TRUE(ApplyRegFile(*target, imported, error)) << error;

      EXPECT_EQ(Describe(Tree(*target)), Describe(exported));
      for (const RegFileKey& key : generated.keys) {
        const auto id = Find(*target, key.path);
        ASSERT_TRUE(id) << key.path;
        const std::vector<RegValue> values = target->Values(*id);
        ASSERT_EQ(values.size(), key.values.size()) << key.path;
        for (std::size_t i = 0; i < values.size(); ++i) {
          EXPECT_EQ(values[i].name, key.values[i].name);
          EXPECT_EQ(values[i].type, key.values[i].type);
          EXPECT_EQ(values[i].data, key.values[i].data) << key.path << " " << key.values[i].name;
        }
      }
    }
  }
}

TEST(RegFileStore, ReadsOneKeyWithItsSubtreeInOrder) {
  TempStores stores;
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  Fill(*store, Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\b]\n\"v\"=dword:1\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\A\\x]\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\C]\n@=\"c\"\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n"));
  EXPECT_EQ(Describe(Tree(*store, "hkey_local_machine\\software\\FERNWICK\\")),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\A]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\A\\x]\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\b]\n"
            "v=4:01000000\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Fernwick\\C]\n"
            "@=1:63000000\n");

  RegFileContent content;
  std::string error;
  EXPECT_FALSE(ReadRegistryTree(*store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Nope", content, error));
  EXPECT_EQ(error, "key HKEY_LOCAL_MACHINE\\SOFTWARE\\Nope does not exist");
  EXPECT_FALSE(ReadRegistryTree(*store, "HKLM\\SOFTWARE", content, error));
  EXPECT_EQ(error, "bad key path \"HKLM\\SOFTWARE\"");
}

// A damaged page past the first ones: the file no longer opens, and a store
// that had it open before fails a tree read instead of giving part of the tree.
// 2,000 keys with a value each: a file of well over 64 kB.
RegFileContent ProductKeys() {
  std::string text = "REGEDIT4\n";
  for (int i = 0; i < 2000; ++i) {
    text += "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor" + std::to_string(i % 40) + "\\Product" +
            std::to_string(i) + "]\n\"Path\"=\"C:\\\\Program Files\\\\Product" + std::to_string(i) +
            "\\\\app.exe\"\n";
  }
  return Parse(text);
}

// Overwrites 16 kB in the middle of the file.
void DamageMiddle(const std::string& path) {
  const auto size = std::filesystem::file_size(path);
  ASSERT_GT(size, 64u * 1024);
  std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(static_cast<std::streamoff>(size / 2));
  for (std::size_t i = 0; i < 16 * 1024; ++i) file.put(static_cast<char>(i * 37));
}

TEST(RegFileStore, DamagedPagesAreRefusedNotSkipped) {
  TempStores stores;
  {
    auto store = stores.Open("s");
    ASSERT_TRUE(store);
    Fill(*store, ProductKeys());
  }
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  const std::string path = stores.Path("s");
  DamageMiddle(path);
  std::string error;
  EXPECT_FALSE(RegistryStore::Open(path, {}, error));
  EXPECT_EQ(error.rfind(path + ": the file is damaged (", 0), 0u) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;

  for (const std::string key : {"", "HKEY_LOCAL_MACHINE\\SOFTWARE"}) {
    RegFileContent content;
    EXPECT_FALSE(ReadRegistryTree(*store, key, content, error)) << key;
    EXPECT_NE(error.find(": the registry file is damaged"), std::string::npos) << error;
    EXPECT_EQ(GetLastError(), ERROR_REGISTRY_CORRUPT);
  }
}

// The whole-file check is skipped only for the very file a close found
// sound: any write after that close, a close that finds damage, or a close
// while another connection is open leaves no stamp that an open would take.
TEST(RegFileStore, OnlyAFileUnchangedSinceASoundCloseSkipsTheCheck) {
  RegistryOptions stamping;
  stamping.checkStamp = true;
  const auto utimesBack = [](const std::string& path, const std::function<void()>& change) {
    struct stat before;
    ASSERT_EQ(lstat(path.c_str(), &before), 0);
    change();
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
  };
  const struct {
    const char* name;
    // What happens between the stamping close and the next open.
    std::function<void(TempStores&, const std::string& path)> change;
  } cases[] = {
      {"damaged at once", [](TempStores&, const std::string& path) { DamageMiddle(path); }},
      {"damaged, times put back",
       [&](TempStores&, const std::string& path) { utimesBack(path, [&] { DamageMiddle(path); }); }},
      {"replaced by a damaged copy",
       [](TempStores&, const std::string& path) {
         std::filesystem::copy_file(path, path + ".copy");
         DamageMiddle(path + ".copy");
         std::filesystem::rename(path + ".copy", path);
       }},
      {"damaged while open, then closed",
       [&](TempStores& stores, const std::string& path) {
         auto store = stores.Open("s", stamping);
         ASSERT_TRUE(store);
         DamageMiddle(path);
       }},
      {"damaged while another connection closes, then closed",
       [&](TempStores& stores, const std::string& path) {
         auto first = stores.Open("s", stamping);
         auto second = stores.Open("s", stamping);
         ASSERT_TRUE(first && second);
         second.reset();
         EXPECT_FALSE(std::filesystem::exists(CheckStampPath(path)));
         DamageMiddle(path);
       }},
  };
  for (const auto& c : cases) {
    TempStores stores;
    const std::string path = stores.Path("s");
    {
      auto store = stores.Open("s", stamping);
      ASSERT_TRUE(store);
      Fill(*store, ProductKeys());
    }
    ASSERT_TRUE(std::filesystem::exists(CheckStampPath(path))) << c.name;
    c.change(stores, path);
    std::string error;
    EXPECT_FALSE(RegistryStore::Open(path, stamping, error)) << c.name;
    EXPECT_EQ(error.rfind(path + ": the file is damaged (", 0), 0u) << c.name << ": " << error;
  }

  // The stamp of a sound close is taken once; a log beside the file or a
  // changed stamp is not taken.
  TempStores stores;
  const std::string path = stores.Path("s");
  const auto closeSound = [&] {
    auto store = stores.Open("s", stamping);
    ASSERT_TRUE(store);
    Fill(*store, ProductKeys());
  };
  closeSound();
  EXPECT_TRUE(TakeCheckStamp(path));
  EXPECT_FALSE(std::filesystem::exists(CheckStampPath(path)));
  EXPECT_FALSE(TakeCheckStamp(path));
  closeSound();
  std::ofstream(path + "-wal").close();
  EXPECT_FALSE(TakeCheckStamp(path));
  std::filesystem::remove(path + "-wal");
  closeSound();
  {
    std::ofstream stamp(CheckStampPath(path), std::ios::app);
    stamp << "0";
  }
  EXPECT_FALSE(TakeCheckStamp(path));
  // An open that took the stamp leaves none while it is open.
  closeSound();
  {
    auto store = stores.Open("s", stamping);
    ASSERT_TRUE(store);
    EXPECT_FALSE(std::filesystem::exists(CheckStampPath(path)));
  }
  // What a stamp spares: a file stamped as it is now opens without the
  // check, even one damaged behind the stamp's back; its close finds the
  // damage and stamps nothing, so the next open refuses it.
  closeSound();
  DamageMiddle(path);
  LeaveCheckStamp(path);
  ASSERT_TRUE(std::filesystem::exists(CheckStampPath(path)));
  std::string error;
  EXPECT_TRUE(RegistryStore::Open(path, stamping, error)) << error;
  EXPECT_FALSE(std::filesystem::exists(CheckStampPath(path)));
  EXPECT_FALSE(RegistryStore::Open(path, stamping, error));
  EXPECT_EQ(error.rfind(path + ": the file is damaged (", 0), 0u) << error;
}

TEST(RegFileStore, AliasRootsReachTheirTrees) {
  TempStores stores;
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  std::string error;
  ASSERT_TRUE(ApplyRegFile(*store,
                           Parse("REGEDIT4\n[HKEY_CLASSES_ROOT\\.txt]\n@=\"txtfile\"\n"
                                 "[HKEY_CURRENT_USER\\Software\\Fernwick]\n\"a\"=dword:2\n"),
                           error))
      << error;
  EXPECT_EQ(Describe(Tree(*store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt")),
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.txt]\n@=1:74007800740066006900" "6c0065000000\n");
  const std::string user = "HKEY_USERS\\" + RegistryOptions().userSid + "\\Software\\Fernwick";
  EXPECT_EQ(Describe(Tree(*store, user)), "[" + user + "]\na=4:02000000\n");
  // An export through an alias names the alias.
  EXPECT_EQ(Describe(Tree(*store, "HKEY_CLASSES_ROOT\\.TXT")), "[HKEY_CLASSES_ROOT\\.txt]\n@=1:74007800740066006900" "6c0065000000\n");
}

TEST(RegFileStore, DeletesKeysAndValues) {
  TempStores stores;
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  Fill(*store, Parse("REGEDIT4\n[HKEY_USERS\\T\\Gone\\Deep\\Deeper]\n\"x\"=dword:1\n"
                     "[HKEY_USERS\\T\\Keep]\n@=\"d\"\n\"v\"=dword:1\n\"w\"=dword:2\n"
                     "[HKEY_CLASSES_ROOT\\Old.Class]\n"));
  std::string error;
  ASSERT_TRUE(ApplyRegFile(*store,
                           Parse("REGEDIT4\n[-HKEY_USERS\\t\\gone]\n[-HKEY_USERS\\T\\Never]\n"
                                 "[HKEY_USERS\\T\\Keep]\n\"V\"=-\n@=-\n\"missing\"=-\n"
                                 "[-HKEY_CLASSES_ROOT\\Old.Class]\n"),
                           error))
      << error;
  EXPECT_EQ(Describe(Tree(*store, "HKEY_USERS\\T")), "[HKEY_USERS\\T]\n[HKEY_USERS\\T\\Keep]\nw=4:02000000\n");
  EXPECT_FALSE(Find(*store, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\Old.Class"));
}

// A key line after a deletion of its parent is made again from the root.
TEST(RegFileStore, KeysAfterADeletionAreMadeAgain) {
  TempStores stores;
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  std::string error;
  ASSERT_TRUE(ApplyRegFile(*store,
                           Parse("REGEDIT4\n[HKEY_USERS\\A\\B]\n\"1\"=dword:1\n[-HKEY_USERS\\A]\n"
                                 "[HKEY_USERS\\A\\B]\n\"2\"=dword:2\n[HKEY_USERS\\a\\b\\C]\n"),
                           error))
      << error;
  EXPECT_EQ(Describe(Tree(*store, "HKEY_USERS\\A")),
            "[HKEY_USERS\\A]\n[HKEY_USERS\\A\\B]\n2=4:02000000\n[HKEY_USERS\\A\\B\\C]\n");
}

TEST(RegFileStore, ImportIsAllOrNothing) {
  TempStores stores;
  {
    auto store = stores.Open("s");
    ASSERT_TRUE(store);
    Fill(*store, Parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked]\n\"old\"=dword:1\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Open]\n\"keep\"=dword:1\n"));
  }
  RegistryOptions options;
  options.readOnlyKeys = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked"};
  auto store = stores.Open("s", options);
  ASSERT_TRUE(store);
  const RegFileContent before = Tree(*store);

  struct Case {
    std::string text;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n\"a\"=dword:1\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Open]\n\"keep\"=-\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked]\n\"b\"=dword:2\n",
       "line 8: cannot write value \"b\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked: access denied"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked\\Sub]\n",
       "line 3: cannot create key HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked\\Sub: access denied"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked]\n",
       "line 3: cannot delete key HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked: access denied"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\New]\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked]\n@=-\n\"old\"=-\n",
       "line 5: cannot delete value \"old\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked: access denied"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string error;
    EXPECT_FALSE(ApplyRegFile(*store, Parse(c.text), error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(Describe(Tree(*store)), Describe(before));
  }
}

TEST(RegFileStore, RefusesContentThatNoFileCouldHold) {
  TempStores stores;
  auto store = stores.Open("s");
  ASSERT_TRUE(store);
  const RegFileContent before = Tree(*store);
  const std::vector<std::pair<RegFileKey, std::string>> cases = {
      {{"HKEY_USERS\\A\\\\B", false, 0, {}}, "bad key path \"HKEY_USERS\\A\\\\B\""},
      {{"HKEY_ANY\\A", false, 0, {}}, "bad key path \"HKEY_ANY\\A\""},
      {{"HKEY_USERS", true, 4, {}}, "line 4: a root key cannot be deleted"},
      {{"HKEY_USERS\\" + std::string(256, 'k'), false, 2, {}},
       "line 2: cannot create key HKEY_USERS\\" + std::string(256, 'k') + ": invalid name"},
  };
  for (const auto& [key, expected] : cases) {
    RegFileContent content;
    content.keys = {{"HKEY_USERS\\First", false, 1, {{"v", false, REG_DWORD, {1, 0, 0, 0}, 0}}}, key};
    std::string error;
    EXPECT_FALSE(ApplyRegFile(*store, content, error));
    EXPECT_EQ(error, expected);
    EXPECT_EQ(Describe(Tree(*store)), Describe(before));
  }
}

}  // namespace
