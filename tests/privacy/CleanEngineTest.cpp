// The clean engine: removal by kind, the wipe, exclusion tests, the gauge.

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/UrlCache.h"
#include "privacy/EvidenceCleanUnit.h"

namespace privacy_test {
namespace {

const char* const kReg =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"Cache\"=\"C:\\\\TIF\"\n"
    "[HKEY_CURRENT_USER\\Software\\Test]\n"
    "@=\"unnamed\"\n"
    "\"default\"=\"named default\"\n"
    "\"v1\"=\"a\"\n"
    "\"v2\"=\"b\"\n"
    "[HKEY_CURRENT_USER\\Software\\Test\\Sub\\Deeper]\n"
    "\"x\"=\"y\"\n"
    "[HKEY_CURRENT_USER\\Software\\HKEY_CURRENT_USER\\Twice]\n"
    "\"t\"=\"1\"\n";

const char* const kFiles =
    "C:\\TIF\\page[1].htm | text=page\n"
    "C:\\TIF\\locked[1].gif | attr=R | text=gif\n"
    "C:\\Docs\\f.txt | text=hello\n"
    "C:\\Docs\\ro.txt | attr=R | text=keep\n";

const char* const kCache =
    "http://a.example/page.htm | file=C:\\TIF\\page[1].htm\n"
    "http://a.example/locked.gif | file=C:\\TIF\\locked[1].gif\n";

bool ValueExists(const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
}

bool KeyExists(const std::string& key) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.KeyExists(key);
}

TResultContentItem Finding(int kind, const char* entryType, const char* section, const char* name,
                           const char* path) {
  TResultContentItem item;
  item.Checked = 1;
  item.Kind = kind;
  item.EntryType = entryType;
  item.Section = section;
  item.Name = name;
  item.Path = path;
  return item;
}

class CleanEngineTest : public PrivacyTest {};

TEST_F(CleanEngineTest, EachKindIsCleanedOnlyWhenItIsGone) {
  TestMachine m(kReg, kFiles, "", kCache);
  struct Case {
    TResultContentItem finding;
    bool cleaned;
    std::function<bool()> remains;  // what must hold afterwards
  };
  const std::string hkcu = "HKEY_CURRENT_USER\\";
  const Case cases[] = {
      {Finding(1, "Reg", "Internet Explorer", "v1", "HKEY_CURRENT_USER\\Software\\Test"), true,
       [] { return !ValueExists("Software\\Test", "v1") && ValueExists("Software\\Test", "v2"); }},
      {Finding(1, "Reg", "Internet Explorer", "gone", "HKEY_CURRENT_USER\\Software\\Test"), false,
       [] { return true; }},
      {Finding(2, "Reg", "Internet Explorer", "v2", "HKEY_CURRENT_USER\\Software\\Test"), true,
       [] { return !ValueExists("Software\\Test", "v2"); }},
      // A value is deleted by its exact name: "default" is not the unnamed value.
      {Finding(1, "Reg", "Microsoft Windows", "default", "HKEY_CURRENT_USER\\Software\\Test"), true,
       [] { return !ValueExists("Software\\Test", "default") && ValueExists("Software\\Test", ""); }},
      {Finding(1, "Reg", "Microsoft Windows", "", "HKEY_CURRENT_USER\\Software\\Test"), true,
       [] { return !ValueExists("Software\\Test", ""); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "HKEY_CURRENT_USER\\Software\\Test\\Sub"), true,
       [] { return !KeyExists("Software\\Test\\Sub") && KeyExists("Software\\Test"); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "HKEY_CURRENT_USER\\Software\\Test\\Sub"), false,
       [] { return true; }},
      // Only the leading root name comes off the path.
      {Finding(1, "Reg", "Microsoft Windows", "t", "HKEY_CURRENT_USER\\Software\\HKEY_CURRENT_USER\\Twice"),
       true, [] { return !ValueExists("Software\\HKEY_CURRENT_USER\\Twice", "t"); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "HKEY_NOWHERE\\Software\\Test"), false,
       [] { return KeyExists("Software\\Test"); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "Software\\Test"), false,
       [] { return KeyExists("Software\\Test"); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "HKEY_CURRENT_USER\\"), false,
       [] { return KeyExists("Software\\Test"); }},
      {Finding(3, "Reg", "Microsoft Windows", "", "HKEY_CURRENT_USER"), false,
       [] { return KeyExists("Software\\Test"); }},
      {Finding(10, "File", "IE Cache", "http://a.example/page.htm", "C:\\TIF\\page[1].htm"), true,
       [] { return !win::UrlCacheEntryExists("http://a.example/page.htm") && !win::FileExists("C:\\TIF\\page[1].htm"); }},
      {Finding(11, "File", "IE Cookies", "Cookie:owner@gone/", ""), true, [] { return true; }},
      {Finding(10, "File", "IE Cache", "http://a.example/locked.gif", "C:\\TIF\\locked[1].gif"), false,
       [] { return win::UrlCacheEntryExists("http://a.example/locked.gif") && win::FileExists("C:\\TIF\\locked[1].gif"); }},
      {Finding(0, "File", "Favorites", "f.txt", "C:\\Docs\\f.txt"), true,
       [] { return !win::FileExists("C:\\Docs\\f.txt"); }},
      {Finding(0, "File", "Favorites", "missing.txt", "C:\\Docs\\missing.txt"), true,
       [] { return !win::FileExists("C:\\Docs\\missing.txt"); }},
      {Finding(0, "File", "Favorites", "ro.txt", "C:\\Docs\\ro.txt"), false,
       [] { return win::FileExists("C:\\Docs\\ro.txt"); }},
      {Finding(0, "File", "Favorites", "Docs", "C:\\Docs"), false,
       [] { return win::DirectoryExists("C:\\Docs"); }},
  };
  int n = 0;
  for (const Case& c : cases) {
    TResultContents results;
    results.GetItem(results.Add()) = c.finding;
    TCleanProgress progress;
    progress.Total = 1;
    CleanEvidences(results, progress);
    EXPECT_EQ(results.GetItem(0).Cleaned, c.cleaned ? 1 : 0) << "case " << n << " " << c.finding.Path;
    EXPECT_TRUE(c.remains()) << "case " << n << " " << c.finding.Path;
    ++n;
  }
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(win::ReadFileBytes("C:\\Docs\\ro.txt", bytes));
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "keep");
}

class StepView : public CleanProgressView {
 public:
  std::vector<std::string> names;
  std::vector<int> gauge;
  void ShowStepName(const std::string& name) override { names.push_back(name); }
  void SetCleanGauge(int position) override { gauge.push_back(position); }
};

TEST_F(CleanEngineTest, GaugeFollowsTheCleanedShareOfThisClean) {
  TestMachine m(kReg, kFiles);
  TResultContents results;
  results.GetItem(results.Add()) = Finding(1, "Reg", "s", "v1", "HKEY_CURRENT_USER\\Software\\Test");
  results.GetItem(results.Add()) = Finding(1, "Reg", "s", "none", "HKEY_CURRENT_USER\\Software\\Test");
  auto unticked = Finding(1, "Reg", "s", "v2", "HKEY_CURRENT_USER\\Software\\Test");
  unticked.Checked = 0;
  results.GetItem(results.Add()) = unticked;
  results.GetItem(results.Add()) = Finding(0, "File", "s", "f.txt", "C:\\Docs\\f.txt");
  StepView view;
  TCleanProgress progress;
  progress.Total = 3;
  progress.View = &view;
  CleanEvidences(results, progress);
  EXPECT_EQ(view.names, (std::vector<std::string>{"v1", "none", "f.txt"}));
  EXPECT_EQ(view.gauge, (std::vector<int>{33, 67}));
  EXPECT_EQ(progress.Cleaned, 2);
  EXPECT_TRUE(ValueExists("Software\\Test", "v2"));

  TCleanProgress empty;
  empty.View = &view;
  empty.Removed();
  EXPECT_EQ(view.gauge.back(), 0);  // a Total of 0 shows 0
}

struct WipeWatch {
  std::string host;
  ino_t inode = 0;
  std::string contentAtUnlink;
  std::string nameAtUnlink;
  ino_t inodeAtUnlink = 0;
  int flushes = 0;
};

ino_t InodeOf(const std::string& host) {
  struct stat info {};
  return lstat(host.c_str(), &info) == 0 ? info.st_ino : 0;
}

std::string HostContent(const std::string& host) {
  std::ifstream in(host, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void Watch(WipeWatch& watch) {
  win::SetAfterFlushHook([&watch](const std::string&) { ++watch.flushes; });
  win::SetBeforeUnlinkHook([&watch](const std::string& host) {
    watch.nameAtUnlink = host.substr(host.rfind('/') + 1);
    watch.inodeAtUnlink = InodeOf(host);
    watch.contentAtUnlink = HostContent(host);
  });
}

std::string Pattern(std::size_t length) {
  std::string text(length, '0');
  for (std::size_t i = 1; i < length; i += 2) text[i] = '1';
  return text;
}

TEST_F(CleanEngineTest, WipeOverwritesInPlaceEveryPassThenRenamesAndDeletes) {
  const std::size_t big = 3 * 1024 * 1024 + 1;
  TestMachine m("", "C:\\Docs\\five.txt | text=abcde\nC:\\Docs\\four.txt | text=abcd\n"
                    "C:\\Docs\\empty.txt\nC:\\Docs\\big.bin | size=" + std::to_string(big) + "\n");
  win::SetRandomGenerator([](std::uint32_t range) {
    EXPECT_EQ(range, 100000u);
    return 4242u;
  });
  struct Case {
    const char* path;
    int passes;
    std::size_t written;
  };
  for (const Case& c : {Case{"C:\\Docs\\five.txt", 1, 6}, Case{"C:\\Docs\\four.txt", 2, 4},
                        Case{"C:\\Docs\\empty.txt", 1, 0}, Case{"C:\\Docs\\big.bin", 0, big + 1}}) {
    WipeWatch watch;
    const ino_t inode = InodeOf(m.host(c.path));
    Watch(watch);
    EXPECT_TRUE(WipeFile(c.path, c.passes)) << c.path;
    EXPECT_EQ(watch.nameAtUnlink, "4242") << c.path;
    EXPECT_EQ(watch.inodeAtUnlink, inode) << c.path;
    EXPECT_EQ(watch.contentAtUnlink, Pattern(c.written)) << c.path;
    EXPECT_EQ(watch.flushes, c.passes + 1) << c.path;
    EXPECT_FALSE(win::FileExists(c.path));
    EXPECT_FALSE(win::FileExists("C:\\Docs\\4242"));
  }
  // A missing file: nothing to do, nothing left behind.
  EXPECT_TRUE(WipeFile("C:\\Docs\\missing.txt", 1));
  EXPECT_FALSE(win::FileExists("C:\\Docs\\4242"));
}

TEST_F(CleanEngineTest, WipeNeverTouchesAFileThatBearsTheRandomName) {
  TestMachine m("", "C:\\Docs\\a.txt | text=abc\nC:\\Docs\\7 | text=mine\nC:\\Docs\\b.txt | text=abc\n");
  std::vector<std::uint32_t> draws = {7, 8};
  win::SetRandomGenerator([&draws](std::uint32_t) {
    const std::uint32_t value = draws.front();
    if (draws.size() > 1) draws.erase(draws.begin());
    return value;
  });
  WipeWatch watch;
  Watch(watch);
  EXPECT_TRUE(WipeFile("C:\\Docs\\a.txt", 1));
  EXPECT_EQ(watch.nameAtUnlink, "8");
  EXPECT_EQ(HostContent(m.host("C:\\Docs\\7")), "mine");

  // Every draw taken: the file goes under its own name.
  draws = {7};
  EXPECT_TRUE(WipeFile("C:\\Docs\\b.txt", 1));
  EXPECT_EQ(watch.nameAtUnlink, "b.txt");
  EXPECT_EQ(HostContent(m.host("C:\\Docs\\7")), "mine");
  EXPECT_FALSE(win::FileExists("C:\\Docs\\b.txt"));
}

TEST_F(CleanEngineTest, WipeNeverFollowsAHostLink) {
  TestMachine m("", "C:\\Keep\\precious.txt | text=keep\nC:\\Docs\\link.txt | link=C:\\Keep\\precious.txt\n");
  EXPECT_FALSE(WipeFile("C:\\Docs\\link.txt", 1));
  EXPECT_EQ(HostContent(m.host("C:\\Keep\\precious.txt")), "keep");
}

TEST_F(CleanEngineTest, ExclusionTestsCompareExactlyAndTrimOnlyTheData) {
  TExcludeContents list;
  auto& e = list.GetItem(list.Add());
  e = {"Address Bar History", "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs",
       "url1", "site.htm "};
  auto& c = list.GetItem(list.Add());
  c = {"Cookies", "Cookie:owner@a.example/", "", ""};
  const std::string key = e.Key;
  EXPECT_TRUE(IsExcludedValue("Address Bar History", key, list, "site.htm"));
  EXPECT_TRUE(IsExcludedValue("Address Bar History", key, list, "\t site.htm\r\n"));
  EXPECT_FALSE(IsExcludedValue("Address Bar History", key, list, "SITE.htm"));
  EXPECT_FALSE(IsExcludedValue("Run History", key, list, "site.htm"));
  EXPECT_FALSE(IsExcludedValue("Address Bar History", key + "\\x", list, "site.htm"));
  EXPECT_TRUE(IsExcludedEntry("Cookies", "Cookie:owner@a.example/", list));
  EXPECT_FALSE(IsExcludedEntry("Cookies", "cookie:owner@a.example/", list));
  EXPECT_FALSE(IsExcludedEntry("Cache", "Cookie:owner@a.example/", list));
}

}  // namespace
}  // namespace privacy_test
