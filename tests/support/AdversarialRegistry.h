#pragma once
// Registry content that .reg text can lose: names with line breaks, NULs,
// quotes, brackets and characters outside the code page, injection names
// that read as key or deletion lines, and data of every odd shape. Shared by
// the tests of every .reg backup; with a snapshot of the whole registry, its
// comparison, and a limit on the size of written files.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/text/TextCodec.h"

namespace adversarial {

using Bytes = std::vector<std::uint8_t>;

// One piece of content: a key name (the key holds the value "v") or a value
// name, with the value's type and data; and whether a .reg file of each form
// can hold it.
struct Case {
  std::string what;
  bool keyName = false;
  std::string name;
  win::DWORD type = win::REG_SZ;
  Bytes data;
  bool heldByVersion5 = true;
  bool heldByRegedit4 = true;
};

inline Bytes Text(const std::string& text) { return win::Utf8ToUtf16LeBytes(text, true); }

// A key line that turns into a deletion line, and one that makes a key of
// its own, when written unescaped. As a key name each is a key with keys
// below it (a key name holds no backslash); as a value name, one name.
inline const std::string kDeletionInjection = "a]\r\n[-HKEY_CURRENT_USER\\Victim";
inline const std::string kKeyInjection = "x\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X";

inline std::vector<Case> Cases() {
  const Bytes x = Text("x");
  Bytes megabyte(1 << 20);
  for (std::size_t i = 0; i < megabyte.size(); ++i) megabyte[i] = static_cast<std::uint8_t>(i * 7);
  std::vector<Case> cases;
  for (const bool key : {true, false}) {
    const std::string kind = key ? "key " : "value ";
    const auto add = [&](const std::string& what, const std::string& name, bool v5, bool r4) {
      cases.push_back({kind + what, key, name, win::REG_SZ, x, v5, r4});
    };
    add("CR", "a\rb", false, false);
    add("LF", "a\nb", false, false);
    add("CR LF", "a\r\nb", false, false);
    add("NUL", std::string("a\0b", 3), false, false);
    add("quote", "a\"b\"", true, true);
    add("brackets", "[a]b]", true, true);
    add("equals and semicolon", "a=b;c", true, true);
    add("blanks at the ends", "  a b  ", true, true);
    add("outside the code page", "\xE6\x97\xA5\xE6\x9C\xAC \xCE\xA9", true, false);
    add("of the code page", "caf\xC3\xA9 \xE2\x82\xAC", true, true);
    add("deletion injection", kDeletionInjection, false, false);
    add("key injection", kKeyInjection, false, false);
    if (key) add("of 255 characters", std::string(255, 'k'), true, true);
    if (!key) add("backslash", "a\\b\\\\", true, true);
    if (!key) add("of 16,383 characters", std::string(16383, 'n'), true, true);
  }
  const auto data = [&](const std::string& what, win::DWORD type, Bytes bytes, bool r4) {
    cases.push_back({"data " + what, false, "d", type, std::move(bytes), true, r4});
  };
  data("REG_SZ without terminator", win::REG_SZ, {0x41, 0, 0x42, 0}, true);
  data("REG_SZ of odd length", win::REG_SZ, {0x41, 0, 0x42}, false);
  data("REG_SZ with NULs inside", win::REG_SZ, {0x41, 0, 0, 0, 0x42, 0, 0, 0}, true);
  data("REG_SZ with a lone surrogate", win::REG_SZ, {0x41, 0, 0x00, 0xD8, 0x42, 0, 0, 0}, false);
  data("REG_SZ outside the code page", win::REG_SZ, Text("\xE6\x97\xA5"), false);
  data("REG_SZ with a line break", win::REG_SZ, Text("a\r\nb"), true);
  data("REG_EXPAND_SZ outside the code page", win::REG_EXPAND_SZ, Text("%\xCE\xA9%"), false);
  data("REG_MULTI_SZ without its double terminator", win::REG_MULTI_SZ, {0x61, 0, 0, 0, 0x62, 0, 0, 0}, true);
  data("REG_MULTI_SZ of 0 bytes", win::REG_MULTI_SZ, {}, true);
  data("REG_DWORD of 0 bytes", win::REG_DWORD, {}, true);
  data("REG_DWORD of 2 bytes", win::REG_DWORD, {1, 2}, true);
  data("REG_DWORD of 3 bytes", win::REG_DWORD, {1, 2, 3}, true);
  data("REG_DWORD of 5 bytes", win::REG_DWORD, {1, 2, 3, 4, 5}, true);
  data("REG_QWORD", win::REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}, true);
  data("REG_BINARY of 0 bytes", win::REG_BINARY, {}, true);
  data("REG_BINARY of 1 MB", win::REG_BINARY, megabyte, true);
  data("REG_NONE", win::REG_NONE, {0, 1}, true);
  data("type 11 of 3 bytes", 11, {1, 2, 3}, true);
  data("type 0xFFFFFFFF", 0xFFFFFFFFu, {0xFF}, true);
  return cases;
}

inline bool Held(const Case& c, bool version5) { return version5 ? c.heldByVersion5 : c.heldByRegedit4; }

// Writes the case into `parent` (full path below its root): a key name
// below it holding "v", or the value under it.
inline bool WriteCase(win::HKEY root, const std::string& parent, const Case& c) {
  win::TRegistry registry;
  registry.SetRootKey(root);
  const std::string key = c.keyName ? parent + "\\" + c.name : parent;
  return registry.OpenKey("\\" + key, true) && registry.WriteRaw(c.keyName ? "v" : c.name, c.type, c.data);
}

// The key or value of the case, as it is now: "<missing>" when gone.
inline std::string CaseState(win::HKEY root, const std::string& parent, const Case& c) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  const std::string key = c.keyName ? parent + "\\" + c.name : parent;
  win::DWORD type = 0;
  Bytes data;
  if (!registry.OpenKeyReadOnly("\\" + key) || !registry.ReadRaw(c.keyName ? "v" : c.name, type, data))
    return "<missing>";
  return std::to_string(type) + ":" + std::string(data.begin(), data.end());
}

// Every key of the registry with its values: name -> type and data.
using Snapshot = std::map<std::string, std::map<std::string, std::pair<win::DWORD, Bytes>>>;

inline Snapshot TakeSnapshot() {
  Snapshot snapshot;
  win::RegFileContent content;
  std::string error;
  EXPECT_TRUE(win::ReadRegistryTree(win::CurrentMachine()->Registry(), "", content, error)) << error;
  for (win::RegFileKey& key : content.keys) {
    auto& values = snapshot[key.path];
    for (win::RegFileValue& value : key.values) values[value.name] = {value.type, std::move(value.data)};
  }
  return snapshot;
}

// String data that came back with the terminator regedit adds to data
// stored without one counts as the same.
inline bool SameData(win::DWORD type, const Bytes& before, const Bytes& after) {
  if (before == after) return true;
  const bool stringType = type == win::REG_SZ || type == win::REG_EXPAND_SZ || type == win::REG_MULTI_SZ;
  const std::size_t n = before.size();
  const bool unterminated = n % 2 == 0 && (n == 0 || before[n - 1] != 0 || before[n - 2] != 0);
  Bytes terminated = before;
  terminated.insert(terminated.end(), {0, 0});
  return stringType && unterminated && after == terminated;
}

inline std::string Printable(const std::string& text) { return win::ShownRegName(text); }

// The first few differences: keys and values missing, extra or changed.
inline std::vector<std::string> Differences(const Snapshot& before, const Snapshot& after) {
  std::vector<std::string> found;
  const auto note = [&found](const std::string& what) {
    if (found.size() < 8) found.push_back(Printable(what));
  };
  for (const auto& [path, values] : before) {
    const auto now = after.find(path);
    if (now == after.end()) {
      note("missing key " + path);
      continue;
    }
    for (const auto& [name, value] : values) {
      const auto other = now->second.find(name);
      if (other == now->second.end()) note("missing value " + path + " : " + name);
      else if (other->second.first != value.first || !SameData(value.first, value.second, other->second.second))
        note("changed value " + path + " : " + name);
    }
    for (const auto& [name, value] : now->second)
      if (!values.count(name)) note("extra value " + path + " : " + name);
  }
  for (const auto& [path, values] : after)
    if (!before.count(path)) note("extra key " + path);
  return found;
}

// Files written by this process may grow to `bytes` and no further while
// this lives: a write past it fails (EFBIG) as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit previous_{};
  sighandler_t previousHandler_ = SIG_DFL;
};

}  // namespace adversarial
