// Registry semantics through TRegistry and the store.

#include <functional>

#include "RegistryFixture.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

const std::string kSid = RegistryOptions().userSid;

std::vector<std::string> KeyNamesOf(TRegistry& reg) {
  std::vector<std::string> names;
  EXPECT_TRUE(reg.GetKeyNames(names));
  return names;
}

std::vector<std::string> ValueNamesOf(TRegistry& reg) {
  std::vector<std::string> names;
  EXPECT_TRUE(reg.GetValueNames(names));
  return names;
}

}  // namespace

using RegistryTest = RegistryFixture;

TEST_F(RegistryTest, NamesCompareWithoutCaseAndKeepTheirCase) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Software\\MyApp\\Straße", true));
  ASSERT_TRUE(reg.WriteString("InstallPath", "C:\\x"));
  struct Case {
    std::string path;
    bool found;
  };
  const Case cases[] = {
      {"\\SOFTWARE\\myapp\\STRAßE", true},
      {"\\software\\MYAPP\\straße", true},
      {"\\Software\\MyApp\\STRASSE", false},  // no case folding beyond upper case
      {"\\Software\\MyApp\\Stra", false},
  };
  for (const Case& c : cases) {
    TRegistry other(store());
    EXPECT_EQ(other.OpenKey(c.path, false), c.found) << c.path;
  }
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE", false));
  EXPECT_EQ(KeyNamesOf(reg), std::vector<std::string>{"MyApp"});
  ASSERT_TRUE(reg.OpenKey("MYAPP\\STRAßE", false));
  EXPECT_EQ(reg.ReadString("installpath"), "C:\\x");
  // Rewriting under another case keeps the first name and its place.
  ASSERT_TRUE(reg.WriteString("Second", "2"));
  ASSERT_TRUE(reg.WriteString("INSTALLPATH", "D:\\y"));
  EXPECT_EQ(ValueNamesOf(reg), (std::vector<std::string>{"InstallPath", "Second"}));
  EXPECT_EQ(reg.ReadString("InstallPath"), "D:\\y");
  // Creating an existing key under another case opens it.
  ASSERT_TRUE(reg.OpenKey("\\software\\myapp", true));
  ASSERT_TRUE(reg.OpenKey("\\Software", false));
  EXPECT_EQ(KeyNamesOf(reg), std::vector<std::string>{"MyApp"});
}

TEST_F(RegistryTest, SubkeysSortByUpperCasedNameValuesByCreation) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Order", true));
  for (const char* name : {"b", "_x", "A", "c", "B2", "a1", "Äpfel", "[z"}) {
    ASSERT_TRUE(reg.CreateKey(name)) << name;
  }
  // '[' and '_' lie between upper and lower case letters: they sort after
  // every letter once names are upper-cased.
  EXPECT_EQ(KeyNamesOf(reg),
            (std::vector<std::string>{"A", "a1", "b", "B2", "c", "[z", "_x", "Äpfel"}));

  for (const char* name : {"zeta", "alpha", "Mid", ""}) ASSERT_TRUE(reg.WriteInteger(name, 1));
  ASSERT_TRUE(reg.WriteInteger("ZETA", 2));  // keeps its place
  ASSERT_TRUE(reg.DeleteValue("alpha"));
  ASSERT_TRUE(reg.WriteInteger("Alpha", 3));  // a new value goes last
  EXPECT_EQ(ValueNamesOf(reg), (std::vector<std::string>{"zeta", "Mid", "", "Alpha"}));
  std::vector<std::string> names;
  for (const RegValue& v : store().Values(KeyId(store(), HKEY_CURRENT_USER, "order"))) {
    names.push_back(v.name);
  }
  EXPECT_EQ(names, ValueNamesOf(reg));
}

TEST_F(RegistryTest, AliasRootsAreTheSameTreesBothWays) {
  struct Alias {
    HKEY alias;
    std::string aliasPath;
    HKEY real;
    std::string realPath;
  };
  const Alias aliases[] = {
      {HKEY_CLASSES_ROOT, "\\.txt", HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Classes\\.txt"},
      {HKEY_CURRENT_USER, "\\Software\\X", HKEY_USERS, "\\" + kSid + "\\Software\\X"},
      {HKEY_CURRENT_CONFIG, "\\System\\Y", HKEY_LOCAL_MACHINE,
       "\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\Y"},
  };
  for (const Alias& a : aliases) {
    TRegistry viaAlias(store()), viaReal(store());
    viaAlias.SetRootKey(a.alias);
    viaReal.SetRootKey(a.real);
    ASSERT_TRUE(viaAlias.OpenKey(a.aliasPath, true)) << a.aliasPath;
    ASSERT_TRUE(viaAlias.WriteString("fromAlias", "1"));
    ASSERT_TRUE(viaReal.OpenKey(a.realPath, false)) << a.realPath;
    EXPECT_EQ(viaReal.ReadString("FROMALIAS"), "1");
    ASSERT_TRUE(viaReal.WriteString("fromReal", "2"));
    EXPECT_EQ(viaAlias.ReadString("fromreal"), "2");
    ASSERT_TRUE(viaReal.DeleteKey(a.realPath));
    EXPECT_FALSE(viaAlias.KeyExists(a.aliasPath));
  }
  EXPECT_EQ(store().KeyPath(*store().RootId(HKEY_CURRENT_USER)), "HKEY_USERS\\" + kSid);
  EXPECT_EQ(store().KeyPath(*store().RootId(HKEY_CLASSES_ROOT)),
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes");
  EXPECT_EQ(store().KeyPath(*store().RootId(HKEY_LOCAL_MACHINE)), "HKEY_LOCAL_MACHINE");
}

TEST_F(RegistryTest, EveryTypeKeepsItsRawBytesAcrossReopen) {
  struct Raw {
    std::string name;
    DWORD type;
    std::vector<std::uint8_t> data;
  };
  const std::vector<Raw> raws = {
      {"none", REG_NONE, {}},
      {"emptyString", REG_SZ, {}},
      {"oddString", REG_SZ, {'a', 0, 'b'}},
      {"noTerminator", REG_EXPAND_SZ, {'%', 0, 'X', 0}},
      {"binary", REG_BINARY, {0, 1, 2, 0xFF}},
      {"shortDword", REG_DWORD, {1, 2, 3}},
      {"bigEndian", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}},
      {"link", REG_LINK, {'x', 0}},
      {"multi", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
      {"resources", REG_RESOURCE_LIST, {9}},
      {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"odd type", 0x12345, {0xDE, 0xAD}},
      {"top type", 0xFFFFFFFF, {}},
      {"large", REG_BINARY, std::vector<std::uint8_t>(1 << 20, 0x5A)},
  };
  {
    TRegistry reg(store());
    ASSERT_TRUE(reg.OpenKey("\\Raw", true));
    for (const Raw& r : raws) ASSERT_TRUE(reg.WriteRaw(r.name, r.type, r.data)) << r.name;
  }
  Reopen();
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Raw"));
  for (const Raw& r : raws) {
    DWORD type = 0;
    std::vector<std::uint8_t> data{1};
    ASSERT_TRUE(reg.ReadRaw(r.name, type, data)) << r.name;
    EXPECT_EQ(type, r.type) << r.name;
    EXPECT_EQ(data, r.data) << r.name;
    EXPECT_EQ(reg.GetDataType(r.name), static_cast<std::int64_t>(r.type)) << r.name;
    EXPECT_EQ(reg.GetDataSize(r.name), static_cast<std::int64_t>(r.data.size())) << r.name;
    EXPECT_EQ(reg.ReadBinaryData(r.name), r.data) << r.name;
  }
  EXPECT_EQ(reg.GetDataType("missing"), -1);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);
}

TEST_F(RegistryTest, TypedReadsTakeOnlyTheirTypes) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Typed", true));
  using Opt = std::optional<std::string>;
  using Int = std::optional<std::int32_t>;
  using Multi = std::optional<std::vector<std::string>>;
  struct Case {
    DWORD type;
    std::vector<std::uint8_t> data;
    Opt text;
    Int number;
    Multi items;
  };
  const auto le = [](const std::string& s) { return Utf8ToUtf16LeBytes(s, false); };
  const auto cat = [](std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const std::vector<std::uint8_t> zero{0, 0};
  const Case cases[] = {
      {REG_SZ, cat(le("ab"), zero), "ab", {}, {}},
      {REG_SZ, cat(cat(le("ab"), zero), le("cd")), "ab", {}, {}},  // up to the first zero
      {REG_SZ, {}, "", {}, {}},
      {REG_SZ, {'a', 0, 'b'}, "a", {}, {}},  // odd length
      {REG_SZ, {'a'}, "", {}, {}},
      {REG_EXPAND_SZ, cat(le("%WINDIR%"), zero), "%WINDIR%", {}, {}},
      {REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, {}, -1, {}},
      {REG_DWORD, {1, 0, 0, 0}, {}, 1, {}},
      {REG_DWORD, {1, 0, 0}, {}, {}, {}},
      {REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, {}, {}, {}},
      {REG_QWORD, {1, 0, 0, 0}, {}, {}, {}},
      {REG_BINARY, cat(le("ab"), zero), {}, {}, {}},
      {REG_MULTI_SZ, cat(cat(cat(le("a"), zero), cat(le("bc"), zero)), zero),
       {}, {}, std::vector<std::string>{"a", "bc"}},
      {REG_MULTI_SZ, cat(cat(cat(le("a"), zero), zero), cat(le("b"), zero)),
       {}, {}, std::vector<std::string>{"a"}},  // an empty string ends the list
      {REG_MULTI_SZ, cat(le("a"), {'b'}), {}, {}, std::vector<std::string>{"a"}},
      {REG_MULTI_SZ, {}, {}, {}, std::vector<std::string>{}},
  };
  for (const Case& c : cases) {
    const std::string where = "type " + std::to_string(c.type) + " size " +
                              std::to_string(c.data.size());
    ASSERT_TRUE(reg.WriteRaw("v", c.type, c.data));
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(reg.ReadString("v"), c.text) << where;
    EXPECT_EQ(GetLastError(), c.text ? ERROR_SUCCESS : ERROR_INVALID_DATA) << where;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(reg.ReadInteger("v"), c.number) << where;
    EXPECT_EQ(GetLastError(), c.number ? ERROR_SUCCESS : ERROR_INVALID_DATA) << where;
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(reg.ReadMultiString("v"), c.items) << where;
    EXPECT_EQ(GetLastError(), c.items ? ERROR_SUCCESS : ERROR_INVALID_DATA) << where;
  }
  EXPECT_EQ(reg.ReadString("missing"), std::nullopt);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, TypedWritesStoreWindowsLayouts) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Written", true));
  const std::string text = "Grüße 日本 😀";
  ASSERT_TRUE(reg.WriteString("sz", text));
  ASSERT_TRUE(reg.WriteExpandString("expand", "%SystemRoot%"));
  ASSERT_TRUE(reg.WriteInteger("dword", -2));
  ASSERT_TRUE(reg.WriteMultiString("multi", {"one", "zwei"}));
  ASSERT_TRUE(reg.WriteMultiString("emptyMulti", {}));
  ASSERT_TRUE(reg.WriteBinaryData("bin", {}));
  ASSERT_TRUE(reg.WriteString("emptySz", ""));
  struct Case {
    std::string name;
    DWORD type;
    std::vector<std::uint8_t> data;
  };
  std::vector<std::uint8_t> multi = Utf8ToUtf16LeBytes("one");
  const auto zwei = Utf8ToUtf16LeBytes("zwei");
  multi.insert(multi.end(), zwei.begin(), zwei.end());
  multi.insert(multi.end(), {0, 0});
  const Case cases[] = {
      {"sz", REG_SZ, Utf8ToUtf16LeBytes(text)},
      {"expand", REG_EXPAND_SZ, Utf8ToUtf16LeBytes("%SystemRoot%")},
      {"dword", REG_DWORD, {0xFE, 0xFF, 0xFF, 0xFF}},
      {"multi", REG_MULTI_SZ, multi},
      {"emptyMulti", REG_MULTI_SZ, {0, 0}},
      {"bin", REG_BINARY, {}},
      {"emptySz", REG_SZ, {0, 0}},
  };
  for (const Case& c : cases) {
    DWORD type = 0;
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(reg.ReadRaw(c.name, type, data)) << c.name;
    EXPECT_EQ(type, c.type) << c.name;
    EXPECT_EQ(data, c.data) << c.name;
  }
  EXPECT_EQ(reg.ReadString("sz"), text);
  EXPECT_EQ(reg.GetDataSize("sz"), 2 * 11 + 2);  // 10 characters, one surrogate pair
  EXPECT_EQ(reg.ReadMultiString("multi"), (std::vector<std::string>{"one", "zwei"}));
  // An empty item would end the list early: refused, nothing written.
  EXPECT_FALSE(reg.WriteMultiString("multi", {"a", "", "b"}));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reg.ReadMultiString("multi"), (std::vector<std::string>{"one", "zwei"}));
}

TEST_F(RegistryTest, UnnamedValueIsNotTheValueNamedDefault) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Defaults", true));
  EXPECT_FALSE(reg.ValueExists(""));
  ASSERT_TRUE(reg.WriteString("", "unnamed"));
  ASSERT_TRUE(reg.WriteString("default", "named"));
  EXPECT_EQ(reg.ReadString(""), "unnamed");
  EXPECT_EQ(reg.ReadString("Default"), "named");
  EXPECT_EQ(ValueNamesOf(reg), (std::vector<std::string>{"", "default"}));
  ASSERT_TRUE(reg.DeleteValue(""));
  EXPECT_FALSE(reg.ValueExists(""));
  EXPECT_TRUE(reg.ValueExists("DEFAULT"));
  EXPECT_FALSE(reg.DeleteValue(""));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, PathsFollowRootOpenKeyAndBackslashRules) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.CreateKey("\\A\\B\\C"));
  EXPECT_FALSE(reg.HasOpenKey());  // CreateKey leaves the open key alone
  struct Step {
    std::string path;
    bool ok;
    std::string currentPath;  // after the step
  };
  // Doubled and trailing backslashes are ignored; a failed open keeps the
  // key that was open.
  const Step steps[] = {
      {"A", true, "A"},
      {"B\\", true, "A\\B"},
      {"\\\\A\\\\B\\\\C\\\\", true, "A\\B\\C"},
      {"Missing", false, "A\\B\\C"},
      {"\\A", true, "A"},
      {"", true, "A"},  // the open key itself
      {"b\\c", true, "A\\b\\c"},
      {"\\", true, ""},  // the root
  };
  for (const Step& s : steps) {
    EXPECT_EQ(reg.OpenKey(s.path, false), s.ok) << s.path;
    EXPECT_EQ(reg.CurrentPath(), s.currentPath) << s.path;
    EXPECT_TRUE(reg.HasOpenKey()) << s.path;
  }
  EXPECT_TRUE(reg.KeyExists("A\\\\B\\"));
  EXPECT_FALSE(reg.KeyExists("B"));
  ASSERT_TRUE(reg.OpenKey("\\A", false));
  EXPECT_TRUE(reg.KeyExists("B"));  // relative to the open key
  EXPECT_TRUE(reg.HasSubKeys());
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.HasOpenKey());
  EXPECT_FALSE(reg.KeyExists("\\A"));
}

// A subkey opened by its parent's handle is the key its full path names,
// for reading only; bad names and parents fail and keep the key open before.
TEST_F(RegistryTest, SubkeysOpenByTheirParentsHandle) {
  TRegistry writer(store());
  writer.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(writer.OpenKey("\\A\\B", true));
  ASSERT_TRUE(writer.WriteString("v", "b"));
  TRegistry parent(store(), KEY_READ), sub(store());
  parent.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(sub.OpenSubKeyReadOnly(parent, "B"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  ASSERT_TRUE(parent.OpenKeyReadOnly("\\A"));
  struct Case {
    std::string name;
    bool ok;
    DWORD error;
    std::string currentPath;  // after the call
  };
  const Case cases[] = {
      {"B", true, ERROR_SUCCESS, "A\\B"},
      {"Missing", false, ERROR_FILE_NOT_FOUND, "A\\B"},
      {"B\\C", false, ERROR_INVALID_PARAMETER, "A\\B"},
      {"", false, ERROR_INVALID_PARAMETER, "A\\B"},
      {"b", true, ERROR_SUCCESS, "A\\b"},
  };
  for (const Case& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(sub.OpenSubKeyReadOnly(parent, c.name), c.ok) << c.name;
    EXPECT_EQ(GetLastError(), c.error) << c.name;
    EXPECT_EQ(sub.CurrentPath(), c.currentPath) << c.name;
    EXPECT_EQ(sub.RootKey(), HKEY_LOCAL_MACHINE) << c.name;
    EXPECT_EQ(sub.ReadString("v"), "b") << c.name;
  }
  ASSERT_TRUE(writer.WriteString("v", "changed"));
  EXPECT_EQ(sub.ReadString("v"), "changed");
  EXPECT_FALSE(sub.WriteString("v", "x"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

// Listed subkeys open as by their names: by the id listed while nothing
// changed, else by the name as it is then, in one list kept for other keys.
TEST_F(RegistryTest, ListedSubkeysOpenAsTheirNamesDo) {
  TRegistry writer(store());
  writer.SetRootKey(HKEY_LOCAL_MACHINE);
  for (const char* key : {"\\L\\One", "\\L\\Two", "\\L\\Three", "\\M\\Only"}) {
    ASSERT_TRUE(writer.OpenKey(key, true));
    ASSERT_TRUE(writer.WriteString("v", key));
  }
  TRegistry parent(store(), KEY_READ), sub(store(), KEY_READ);
  parent.SetRootKey(HKEY_LOCAL_MACHINE);
  RegKeyList list;
  const auto opened = [&](std::size_t index, std::uint64_t listedAt) {
    return sub.OpenListedSubKeyReadOnly(parent, list, index, listedAt) ? sub.CurrentPath() + "=" + sub.ReadString("v").value_or("?")
                                                                        : "failed";
  };
  ASSERT_TRUE(parent.OpenKeyReadOnly("\\L"));
  std::uint64_t listedAt = parent.ChangeCount();
  ASSERT_TRUE(parent.GetKeys(list));
  ASSERT_EQ(list.count, 3u);
  EXPECT_EQ(std::vector<std::string>(list.names.begin(), list.names.begin() + 3), KeyNamesOf(parent));
  EXPECT_EQ(opened(2, listedAt), "L\\Two=\\L\\Two");

  // Two deleted and made again: the list's id is gone, the name opens it.
  ASSERT_TRUE(writer.DeleteKey("\\L\\Two"));
  ASSERT_TRUE(writer.OpenKey("\\L\\Two", true));
  ASSERT_TRUE(writer.WriteString("v", "again"));
  EXPECT_EQ(opened(2, listedAt), "L\\Two=again");
  // Three deleted: it fails as its name does, and the key open stays.
  ASSERT_TRUE(writer.DeleteKey("\\L\\Three"));
  EXPECT_EQ(opened(1, listedAt), "failed");
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sub.CurrentPath(), "L\\Two");
  EXPECT_EQ(opened(3, listedAt), "failed");  // past the list
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // The same list for a key of fewer subkeys, and a list of another key.
  ASSERT_TRUE(parent.OpenKeyReadOnly("\\M"));
  listedAt = parent.ChangeCount();
  ASSERT_TRUE(parent.GetKeys(list));
  ASSERT_EQ(list.count, 1u);
  EXPECT_EQ(opened(0, listedAt), "M\\Only=\\M\\Only");
  EXPECT_EQ(opened(1, listedAt), "failed");
  ASSERT_TRUE(parent.OpenKeyReadOnly("\\L"));
  EXPECT_EQ(opened(0, parent.ChangeCount()), "failed");  // "Only" looked up below L: not there
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, FailuresAreResultsWithTheirErrorCodes) {
  TRegistry reg(store());
  struct Case {
    std::string what;
    std::function<bool()> call;
    DWORD error;
  };
  const Case cases[] = {
      {"open missing", [&] { return reg.OpenKey("\\No\\Such", false); }, ERROR_FILE_NOT_FOUND},
      {"read without key", [&] { return reg.ReadString("x").has_value(); }, ERROR_INVALID_HANDLE},
      {"write without key", [&] { return reg.WriteInteger("x", 1); }, ERROR_INVALID_HANDLE},
      {"names without key",
       [&] {
         std::vector<std::string> names{"stale"};
         const bool ok = reg.GetKeyNames(names);
         return ok || !names.empty();
       },
       ERROR_INVALID_HANDLE},
      {"delete missing key", [&] { return reg.DeleteKey("\\No\\Such"); }, ERROR_FILE_NOT_FOUND},
      {"raw read of a missing value, before and after a listing",
       [&] {
         if (!reg.OpenKey("\\Raw", true) || !reg.WriteInteger("there", 1)) return true;
         std::vector<std::string> names;
         for (int pass = 0; pass < 2; ++pass) {
           if (pass == 1 && !reg.GetValueNames(names)) return true;
           DWORD type = 77;
           std::vector<std::uint8_t> data{1, 2, 3};
           if (reg.ReadRaw("missing", type, data) || type != 77 ||
               data != std::vector<std::uint8_t>{1, 2, 3}) {
             return true;
           }
         }
         return false;
       },
       ERROR_FILE_NOT_FOUND},
      {"bad root",
       [&] {
         TRegistry bad(store());
         bad.SetRootKey(0x80000004u);
         return bad.OpenKey("\\x", true);
       },
       ERROR_INVALID_HANDLE},
      {"write through a read-only handle",
       [&] { return reg.OpenKeyReadOnly("\\") && reg.WriteString("x", "y"); },
       ERROR_ACCESS_DENIED},
      {"create through a read-only handle", [&] { return reg.OpenKey("New", true); },
       ERROR_ACCESS_DENIED},
      {"delete value through a read-only handle", [&] { return reg.DeleteValue("x"); },
       ERROR_ACCESS_DENIED},
      {"read through a write-only handle",
       [&] {
         reg.SetAccess(KEY_WRITE);
         const bool opened = reg.OpenKey("\\", false);
         reg.SetAccess(KEY_ALL_ACCESS);
         return opened && reg.ReadString("x").has_value();
       },
       ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(GetLastError(), c.error) << c.what;
  }
  EXPECT_FALSE(reg.KeyExists("\\New"));
}

TEST_F(RegistryTest, NameLimitsAreThoseOfWindows) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Limits", true));
  std::string wideKey;
  for (int i = 0; i < 255; ++i) wideKey += "é";  // 255 characters, 510 bytes
  std::string pairs;
  for (int i = 0; i < 128; ++i) pairs += "😀";  // 256 UTF-16 code units
  // Over-long names cannot be made (ERROR_INVALID_PARAMETER) and so are
  // never found (ERROR_FILE_NOT_FOUND).
  struct KeyCase {
    std::string name;
    bool fits;
  };
  const KeyCase keys[] = {
      {std::string(255, 'k'), true},
      {wideKey, true},
      {std::string(256, 'k'), false},
      {pairs, false},
  };
  for (const KeyCase& k : keys) {
    EXPECT_EQ(reg.CreateKey(k.name), k.fits) << k.name.size();
    if (!k.fits) {
      EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(reg.KeyExists(k.name), k.fits) << k.name.size();
    if (!k.fits) {
      EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    }
  }
  const std::string longest(MAX_VALUE_NAME, 'v');
  const std::string tooLong(MAX_VALUE_NAME + 1, 'v');
  EXPECT_TRUE(reg.WriteInteger(longest, 1));
  EXPECT_EQ(reg.ReadInteger(longest), 1);
  EXPECT_FALSE(reg.WriteInteger(tooLong, 1));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(reg.ReadInteger(tooLong));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  // A backslash is a separator in key paths and an ordinary character in
  // value names.
  EXPECT_TRUE(reg.WriteString("a\\b", "x"));
  EXPECT_EQ(reg.ReadString("A\\B"), "x");
  EXPECT_FALSE(store().CreateChild(*store().RootId(HKEY_CURRENT_USER), "a\\b"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheTreeAndRefusesRootsAndEmptyNames) {
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKey("\\Tree\\Sub\\Leaf", true));
  ASSERT_TRUE(reg.WriteString("v", "x"));
  ASSERT_TRUE(reg.OpenKey("\\Tree", false));
  ASSERT_TRUE(reg.WriteString("top", "x"));
  ASSERT_TRUE(reg.OpenKey("\\Keep", true));
  struct Refused {
    HKEY root;
    std::string path;
    DWORD error;
  };
  const Refused refused[] = {
      {HKEY_CURRENT_USER, "", ERROR_INVALID_PARAMETER},
      {HKEY_CURRENT_USER, "\\", ERROR_ACCESS_DENIED},
      {HKEY_CURRENT_USER, "\\\\\\", ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "\\", ERROR_ACCESS_DENIED},
      // Keys that the alias roots stand for, and their parents.
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Classes", ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "\\software", ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "\\SYSTEM\\CurrentControlSet\\Hardware Profiles",
       ERROR_ACCESS_DENIED},
      {HKEY_USERS, "\\" + kSid, ERROR_ACCESS_DENIED},
  };
  for (const Refused& r : refused) {
    TRegistry other(store());
    other.SetRootKey(r.root);
    EXPECT_FALSE(other.DeleteKey(r.path)) << r.path;
    EXPECT_EQ(GetLastError(), r.error) << r.path;
  }
  EXPECT_TRUE(reg.KeyExists("\\Tree\\Sub\\Leaf"));
  EXPECT_TRUE(reg.KeyExists("\\Keep"));

  // Relative to the open key; the open key stays open.
  ASSERT_TRUE(reg.OpenKey("\\Tree", false));
  EXPECT_FALSE(reg.DeleteKey(""));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(reg.DeleteKey("SUB"));
  EXPECT_EQ(KeyNamesOf(reg), std::vector<std::string>{});
  EXPECT_EQ(reg.ReadString("top"), "x");
  EXPECT_TRUE(reg.DeleteKey("\\tree"));
  EXPECT_FALSE(reg.KeyExists("\\Tree"));
  ASSERT_TRUE(reg.OpenKey("\\", false));
  EXPECT_EQ(KeyNamesOf(reg), std::vector<std::string>{"Keep"});
}

TEST_F(RegistryTest, KeyDeletedElsewhereFailsEveryCall) {
  TRegistry holder(store()), deleter(store());
  ASSERT_TRUE(holder.OpenKey("\\Gone\\Open", true));
  ASSERT_TRUE(holder.WriteString("v", "x"));
  ASSERT_TRUE(deleter.DeleteKey("\\Gone"));
  // The same path made again is another key: the handle stays dead.
  ASSERT_TRUE(deleter.CreateKey("\\Gone\\Open"));
  struct Case {
    std::string what;
    std::function<bool()> call;
  };
  std::vector<std::string> names;
  const Case cases[] = {
      {"read", [&] { return holder.ReadString("v").has_value(); }},
      {"exists", [&] { return holder.ValueExists("v"); }},
      {"write", [&] { return holder.WriteString("v", "y"); }},
      {"delete value", [&] { return holder.DeleteValue("v"); }},
      {"key names", [&] { return holder.GetKeyNames(names); }},
      {"value names", [&] { return holder.GetValueNames(names); }},
      {"open below", [&] { return holder.OpenKey("Child", false); }},
      {"create below", [&] { return holder.OpenKey("Child", true); }},
      {"reopen itself", [&] { return holder.OpenKey("", false); }},
      {"delete below", [&] { return holder.DeleteKey("Child"); }},
      {"open below by handle", [&] {
         TRegistry below(store());
         return below.OpenSubKeyReadOnly(holder, "Child");
       }},
  };
  for (const Case& c : cases) {
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(c.call()) << c.what;
    EXPECT_EQ(GetLastError(), ERROR_KEY_DELETED) << c.what;
  }
  EXPECT_TRUE(holder.OpenKey("\\Gone\\Open", false));
  EXPECT_FALSE(holder.ValueExists("v"));
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseChangesThroughEveryPath) {
  RegistryOptions options;
  options.readOnlyKeys = {"HKEY_CURRENT_USER\\Software\\Locked",
                          "hkey_classes_root\\LockedClass"};
  {
    TRegistry setup(store());
    ASSERT_TRUE(setup.OpenKey("\\Software\\Locked\\Sub", true));
    ASSERT_TRUE(setup.WriteString("v", "kept"));
    ASSERT_TRUE(setup.CreateKey("\\Software\\LockedOut"));
    setup.SetRootKey(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(setup.CreateKey("\\LockedClass"));
  }
  Reopen(options);
  struct Case {
    HKEY root;
    std::string path;
    bool writable;
  };
  const Case cases[] = {
      {HKEY_CURRENT_USER, "\\Software\\Locked", false},
      {HKEY_CURRENT_USER, "\\SOFTWARE\\locked\\Sub", false},
      {HKEY_USERS, "\\" + kSid + "\\Software\\Locked", false},
      {HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Classes\\LockedClass", false},
      {HKEY_CLASSES_ROOT, "\\LockedClass", false},
      {HKEY_CURRENT_USER, "\\Software\\LockedOut", true},  // a name, not a prefix
      {HKEY_CURRENT_USER, "\\Software", true},
  };
  for (const Case& c : cases) {
    TRegistry reg(store());
    reg.SetRootKey(c.root);
    EXPECT_EQ(reg.OpenKey(c.path, false), c.writable) << c.path;
    if (!c.writable) {
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << c.path;
    }
    EXPECT_EQ(reg.OpenKey(c.path, true), c.writable) << c.path;
    ASSERT_TRUE(reg.OpenKeyReadOnly(c.path)) << c.path;
    EXPECT_EQ(reg.Access(), KEY_ALL_ACCESS);
    EXPECT_EQ(store().Writable(KeyId(store(), c.root, c.path)), c.writable) << c.path;
    reg.SetAccess(KEY_READ);
    ASSERT_TRUE(reg.OpenKey(c.path, false)) << c.path;
    EXPECT_EQ(reg.WriteString("w", "x"), false) << c.path;  // read-only handle
  }
  TRegistry reg(store());
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Locked\\Sub"));
  EXPECT_EQ(reg.ReadString("v"), "kept");
  const struct Denied {
    std::string what;
    std::function<bool()> call;
  } denied[] = {
      {"create below", [&] { return reg.CreateKey("\\Software\\Locked\\New"); }},
      {"delete the key", [&] { return reg.DeleteKey("\\Software\\Locked\\Sub"); }},
      {"delete a parent", [&] { return reg.DeleteKey("\\Software"); }},
      {"store write",
       [&] {
         const std::int64_t id = KeyId(store(), HKEY_CURRENT_USER, "Software\\Locked\\Sub");
         return store().SetValue(id, "v", REG_SZ, {}) || store().DeleteValue(id, "v");
       }},
  };
  for (const Denied& d : denied) {
    EXPECT_FALSE(d.call()) << d.what;
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << d.what;
  }
  EXPECT_FALSE(reg.KeyExists("\\Software\\Locked\\New"));
  EXPECT_EQ(reg.ReadString("v"), "kept");
  EXPECT_TRUE(reg.KeyExists("\\Software\\LockedOut"));
  // A parent whose tree holds no read-only key may go.
  TRegistry writer(store());
  ASSERT_TRUE(writer.OpenKey("\\Software\\LockedOut\\Deep", true));
  EXPECT_TRUE(writer.DeleteKey("\\Software\\LockedOut"));
}
