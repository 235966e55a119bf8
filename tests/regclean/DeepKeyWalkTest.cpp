// The recursive registry walks on a tree deeper than Windows allows: they go
// down to the deepest level a Windows tree can have and no further, so that a
// hand-made store cannot exhaust the stack.

#include <optional>
#include <sstream>

#include "SectionScanFixture.h"
#include "platform/registry/RegistryStore.h"
#include "regclean/KeyWalkUnit.h"

namespace regclean::test {
namespace {

constexpr int kChain = kMaxKeyDepth + 80;  // keys "k" below each "Deep"
constexpr int kShallow = 100;              // where the reachable findings are

// "Deep\k\k...\k" with `levels` keys "k".
std::string ChainPath(int levels) {
  std::string path = "Deep";
  for (int i = 0; i < levels; ++i) path += "\\k";
  return path;
}

// The path with its run of keys "k" written as "k*N", for readable failures.
std::string Abbreviated(const std::string& path) {
  std::string result;
  int run = 0;
  auto endRun = [&] {
    if (run > 0) result += "\\k*" + std::to_string(run);
    run = 0;
  };
  std::istringstream names(path);
  for (std::string name; std::getline(names, name, '\\');) {
    if (name == "k") {
      ++run;
      continue;
    }
    endRun();
    result += (result.empty() ? "" : "\\") + name;
  }
  endRun();
  return result;
}

// Makes `parent`\Deep\k\...\k, kChain keys deep, one child at a time.
void MakeChain(win::HKEY root, const std::string& parent) {
  win::RegistryStore& store = *win::CurrentRegistry();
  ASSERT_TRUE(store.BeginBatch());
  std::optional<std::int64_t> key = store.RootId(root);
  for (const std::string& name : {parent, std::string("Deep")})
    if (key && !name.empty()) key = store.CreateChild(*key, name);
  for (int i = 0; key && i < kChain; ++i) key = store.CreateChild(*key, "k");
  ASSERT_TRUE(key.has_value());
  ASSERT_TRUE(store.CommitBatch());
}

class DeepKeyWalkTest : public SectionScanTest {
 protected:
  void SetUp() override {
    SectionScanTest::SetUp();
    UseMachine("", "");
    MakeChain(win::HKEY_CURRENT_USER, "Software");
    MakeChain(win::HKEY_CLASSES_ROOT, "");
    // The same findings near the top and at the bottom of each chain.
    for (const int levels : {kShallow, kChain}) {
      const std::string user = "Software\\" + ChainPath(levels);
      ASSERT_TRUE(WriteText(win::HKEY_CURRENT_USER, user, "v", "C:\\Gone\\x.exe"));
      win::TRegistry registry;
      registry.SetRootKey(win::HKEY_CURRENT_USER);
      ASSERT_TRUE(registry.CreateKey("\\" + user + "\\Empty"));
      ASSERT_TRUE(WriteText(win::HKEY_CLASSES_ROOT, ChainPath(levels) + "\\InprocServer32", "", ""));
    }
  }
};

TEST_F(DeepKeyWalkTest, WalksStopAtTheDeepestLevelWindowsAllows) {
  const std::string sid = "S-1-5-21-1000000000-1000000000-1000000000-1003";
  const std::string shallow = "Deep\\k*" + std::to_string(kShallow);
  const std::vector<std::pair<int, std::vector<std::string>>> cases = {
      {1, {"HKEY_CLASSES_ROOT\\" + shallow + "\\InprocServer32"}},
      {3, {"HKEY_USERS\\" + sid + "\\Software\\" + shallow + "\\Empty"}},
      {15, {"HKEY_USERS\\" + sid + "\\Software\\" + shallow}},
      {17, {"HKEY_CURRENT_USER\\Software\\" + shallow}},
  };
  for (const auto& [section, keyPaths] : cases) {
    SCOPED_TRACE(section);
    Scan(section);
    EXPECT_EQ(Lines([](const TRegistryContent& p) { return Abbreviated(p.KeyPath); }), keyPaths);
  }
}

}  // namespace
}  // namespace regclean::test
