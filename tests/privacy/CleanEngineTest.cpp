// The clean engine: removal by kind, the wipe, exclusion tests, the gauge.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/files/FileInPlace.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/registry/Registry.h"
#include "platform/shell/UrlCache.h"
#include "privacy/EvidenceCleanUnit.h"
#include "privacy/FinderSupportUnit.h"

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

// Shared targets: a key or file behind several findings.
const char* const kSharedReg =
    "[HKEY_CURRENT_USER\\Software\\Telnet\\a]\n"
    "[HKEY_CURRENT_USER\\Software\\Telnet\\b]\n"
    "[HKEY_CURRENT_USER\\Software\\Telnet\\LastMachine\\m1]\n"
    "[HKEY_CURRENT_USER\\Software\\Telnet\\LastMachine\\m2]\n"
    "[HKEY_CURRENT_USER\\Software\\Groups]\n"
    "\"g1\"=\"x\"\n"
    "\"g2\"=hex:01\n";

// The entries of a text file, one a line.
std::shared_ptr<const TSharedTarget> SharedLines(const std::string& path) {
  auto target = std::make_shared<TSharedTarget>();
  target->List = [path](std::vector<std::string>& entries) {
    std::vector<std::uint8_t> bytes;
    if (!win::ReadFileBytes(path, bytes)) return !win::FileExists(path);
    std::string line;
    for (std::uint8_t b : bytes) {
      if (b != '\n') {
        line += static_cast<char>(b);
        continue;
      }
      entries.push_back(line);
      line.clear();
    }
    return true;
  };
  return target;
}

std::vector<TResultContentItem> SharedFindings() {
  std::vector<TResultContentItem> findings;
  const auto telnet = SharedKey(true, &TResultContentItem::KeyName);
  const auto last = SharedKey(true, &TResultContentItem::KeyName);
  const auto groups = SharedKey(false, &TResultContentItem::Name);
  const auto history = SharedLines("C:\\P\\history.dat");
  auto add = [&](const std::shared_ptr<const TSharedTarget>& shared, int kind, const char* type,
                 const char* path, const char* entry) {
    TResultContentItem item = Finding(kind, type, "s", "", path);
    item.Shared = shared;
    item.*shared->Entry = entry;
    findings.push_back(item);
  };
  for (const char* name : {"a", "b", "LastMachine"})
    add(telnet, 3, "Reg", "HKEY_CURRENT_USER\\Software\\Telnet", name);
  for (const char* name : {"m1", "m2"})
    add(last, 3, "Reg", "HKEY_CURRENT_USER\\Software\\Telnet\\LastMachine", name);
  for (const char* name : {"g1", "g2"}) add(groups, 3, "Reg", "HKEY_CURRENT_USER\\Software\\Groups", name);
  for (const char* url : {"u1", "u2", "u1"}) add(history, 4, "File", "C:\\P\\history.dat", url);
  return findings;
}

std::string Label(const TResultContentItem& item) {
  return item.*item.Shared->Entry;
}

// A shared key loses the subkeys and values of its ticked findings, unless
// that takes an unticked finding, and goes itself once nothing is left in
// it; a profile file goes only with every entry it lists ticked.
TEST_F(CleanEngineTest, SharedKeysLoseTheirTickedEntriesAndFilesGoWithAllOfThem) {
  struct Case {
    const char* what;
    std::function<void(std::vector<TResultContentItem>&)> change;
    std::vector<std::string> cleaned;
    std::vector<const char*> keys;  // keys left
    std::vector<const char*> gone;  // keys gone
    bool historyLeft;
  };
  auto untick = [](const char* label, int nth = 0) {
    return [label, nth](std::vector<TResultContentItem>& findings) {
      int seen = 0;
      for (auto& item : findings)
        if (Label(item) == label && seen++ == nth) item.Checked = 0;
    };
  };
  auto drop = [](const char* label) {
    return [label](std::vector<TResultContentItem>& findings) {
      findings.erase(std::find_if(findings.begin(), findings.end(),
                                  [label](const TResultContentItem& item) { return Label(item) == label; }));
    };
  };
  const std::vector<std::string> all = {"a", "b", "LastMachine", "m1", "m2", "g1", "g2", "u1", "u2", "u1"};
  const Case cases[] = {
      {"all ticked", [](auto&) {}, all, {}, {"Software\\Telnet", "Software\\Groups"}, false},
      {"one Telnet entry unticked", untick("b"), {"a", "LastMachine", "m1", "m2", "g1", "g2", "u1", "u2", "u1"},
       {"Software\\Telnet\\b"}, {"Software\\Telnet\\a", "Software\\Telnet\\LastMachine", "Software\\Groups"}, false},
      // Deleting LastMachine would take the unticked machine below it.
      {"a machine below Telnet unticked", untick("m2"), {"a", "b", "m1", "g1", "g2", "u1", "u2", "u1"},
       {"Software\\Telnet\\LastMachine\\m2"}, {"Software\\Telnet\\a", "Software\\Telnet\\LastMachine\\m1"}, false},
      {"an excluded value (no finding)", drop("g2"), {"a", "b", "LastMachine", "m1", "m2", "g1", "u1", "u2", "u1"},
       {"Software\\Groups"}, {"Software\\Telnet"}, false},
      {"one of two equal lines unticked", untick("u1", 1), {"a", "b", "LastMachine", "m1", "m2", "g1", "g2"},
       {}, {"Software\\Telnet", "Software\\Groups"}, true},
      {"a repeated line without its second finding", drop("u1"),
       {"a", "b", "LastMachine", "m1", "m2", "g1", "g2"}, {}, {"Software\\Telnet"}, true},
      {"entries added after the scan",
       [](auto&) {
         win::TRegistry registry;
         registry.SetRootKey(win::HKEY_CURRENT_USER);
         ASSERT_TRUE(registry.CreateKey("\\Software\\Telnet\\new"));
         ASSERT_TRUE(registry.OpenKey("\\Software\\Groups", false));
         ASSERT_TRUE(registry.WriteString("g3", "y"));
         const std::string text = "u1\nu2\nu1\nu3\n";
         ASSERT_TRUE(win::WriteFileBytes("C:\\P\\history.dat", std::vector<std::uint8_t>(text.begin(), text.end())));
       },
       {"a", "b", "LastMachine", "m1", "m2", "g1", "g2"}, {"Software\\Telnet\\new", "Software\\Groups"},
       {"Software\\Telnet\\a", "Software\\Telnet\\LastMachine"}, true},
      {"an unticked value finding in the key",
       [](std::vector<TResultContentItem>& findings) {
         TResultContentItem value = Finding(1, "Reg", "s", "g1", "HKEY_CURRENT_USER\\Software\\Groups");
         value.Checked = 0;
         findings.push_back(value);
       },
       {"a", "b", "LastMachine", "m1", "m2", "g2", "u1", "u2", "u1"}, {"Software\\Groups"}, {"Software\\Telnet"},
       false},
  };
  for (const Case& c : cases) {
    TestMachine m(kSharedReg, "C:\\P\\history.dat | text=u1\\nu2\\nu1\\n\n");
    std::vector<TResultContentItem> findings = SharedFindings();
    c.change(findings);
    TResultContents results;
    for (const auto& item : findings) results.GetItem(results.Add()) = item;
    TCleanProgress progress;
    progress.Total = results.Count();
    CleanEvidences(results, progress);
    std::vector<std::string> cleaned;
    for (std::int32_t i = 0; i < results.Count(); ++i)
      if (results.GetItem(i).Cleaned == 1) cleaned.push_back(results.GetItem(i).Shared ? Label(results.GetItem(i)) : "");
    EXPECT_EQ(cleaned, c.cleaned) << c.what;
    EXPECT_EQ(progress.Cleaned, static_cast<int>(c.cleaned.size())) << c.what;
    for (const char* key : c.keys) EXPECT_TRUE(KeyExists(key)) << c.what << " " << key;
    for (const char* key : c.gone) EXPECT_FALSE(KeyExists(key)) << c.what << " " << key;
    EXPECT_EQ(ValueExists("Software\\Groups", "g1"), std::find(c.cleaned.begin(), c.cleaned.end(), "g1") == c.cleaned.end())
        << c.what;
    EXPECT_EQ(win::FileExists("C:\\P\\history.dat"), c.historyLeft) << c.what;
  }
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

// A kill in the middle of a large cache clean: state.db stays whole, and
// every entry is either cleaned (its row and its file gone) or still listed;
// a later clean finishes the work.
TEST_F(CleanEngineTest, AKillDuringALargeCacheCleanLeavesEveryEntryCleanedOrListed) {
  TestMachine m("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                "\"Cache\"=\"C:\\\\TIF\"\n",
                "C:\\TIF\\\n");
  const std::size_t count = 2 * win::kUrlCacheDeleteGroup + win::kUrlCacheDeleteGroup / 2;
  const std::size_t killedAt = win::kUrlCacheDeleteGroup + win::kUrlCacheDeleteGroup / 2;  // the n-th unlink
  const auto url = [](std::size_t i) { return "http://a.example/" + std::to_string(i); };
  const auto file = [](std::size_t i) { return "C:\\TIF\\f" + std::to_string(i) + ".htm"; };
  std::vector<win::UrlCacheEntryInfo> entries(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::ofstream(m.host("C:\\TIF") + "/f" + std::to_string(i) + ".htm") << "x";
    entries[i].SourceUrlName = url(i);
    entries[i].LocalFileName = file(i);
  }
  ASSERT_TRUE(win::AddUrlCacheEntries(m.machine().State(), entries));
  const auto findings = [&](TResultContents& results) {
    for (std::size_t i = 0; i < count; ++i) {
      TResultContentItem& item = results.GetItem(results.Add());
      item = Finding(kKindUrlCache, "File", "IE Cache", "", file(i).c_str());
      item.Name = url(i);
    }
  };

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The child opens the machine itself: no SQLite handle crosses a fork.
    close(ready[0]);
    std::string error;
    const std::unique_ptr<win::Machine> machine = win::Machine::Open(m.folder(), error);
    if (!machine) _exit(2);
    win::SetCurrentMachine(machine.get());
    std::size_t unlinks = 0;
    win::SetBeforeUnlinkHook([&](const std::string&) {
      if (++unlinks != killedAt) return;
      const char byte = 1;
      if (write(ready[1], &byte, 1) != 1) _exit(3);
      for (;;) pause();
    });
    TResultContents results;
    findings(results);
    TCleanProgress progress;
    CleanEvidences(results, progress);
    _exit(4);
  }
  close(ready[1]);
  char byte = 0;
  const bool reached = read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(reached) << "the child ended with " << status;

  std::vector<win::StateRow> rows;
  ASSERT_TRUE(m.machine().State().Query("PRAGMA integrity_check", {}, rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(win::StateText(rows[0][0]), "ok");
  std::size_t listed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const bool entry = win::UrlCacheEntryExists(url(i));
    listed += entry;
    if (!entry) {
      EXPECT_FALSE(win::FileExists(file(i))) << "cleaned but its file stays: " << i;
    }
  }
  EXPECT_GT(listed, 0u);
  EXPECT_LT(listed, count);

  TResultContents results;
  findings(results);
  TCleanProgress progress;
  CleanEvidences(results, progress);
  EXPECT_EQ(progress.Cleaned, static_cast<int>(count));
  for (std::size_t i = 0; i < count; i += 97) {
    EXPECT_FALSE(win::UrlCacheEntryExists(url(i))) << i;
    EXPECT_FALSE(win::FileExists(file(i))) << i;
  }
}

}  // namespace
}  // namespace privacy_test
