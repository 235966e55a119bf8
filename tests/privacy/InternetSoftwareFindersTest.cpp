// The "Internet Software" finders: the download managers' registry lists and
// the Firefox and Netscape profile files.


#include "PrivacyFixture.h"
#include "SampleMachineCopy.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "privacy/EvidenceCleanerUnit.h"
#include "privacy/ExclusionSignatureUnit.h"
#include "privacy/InternetSoftWareUnit.h"

namespace privacy_test {
namespace {

using Finder = Found::Finder;

// Check-tree nodes of the category's items.
constexpr int kRealDownload = 45, kGetRight = 46, kAccelerator = 47, kKazaa = 48;
constexpr int kFirefoxHistory = 49, kFirefoxCookies = 50, kFirefoxCache = 51;
constexpr int kNetscapeHistory = 52, kNetscapeCookies = 53, kNetscapeCache = 54;

const char* const kShellFolders =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"AppData\"=\"C:\\\\AD\"\n"
    "\"Local AppData\"=\"C:\\\\LAD\\\\\"\n";

constexpr const char* kFirefox = "C:\\AD\\Mozilla\\Firefox\\Profiles\\";
constexpr const char* kNetscape = "C:\\AD\\Netscape\\NSB\\Profiles\\";
constexpr const char* kFirefoxLocal = "C:\\LAD\\Mozilla\\Firefox\\Profiles\\";

// A file-list line holding text (escaped for the list).
std::string TextFile(const std::string& path, const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\r': escaped += "\\r"; break;
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      default: escaped += c;
    }
  }
  return path + " | text=" + escaped + "\n";
}

const std::string kHistory =
    "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n"
    "< <(a=c)> // (f=iso-8859-1)\n"
    "  (B8=Typed)(B0=LastVisitDate)(B6=URL)>\n"
    "<(80=http://www.example.com/)(81=http://news.example.org/today.html)(82=Example)>\n"
    "{1:^80 {(k^84:c)(s=9)} [1(^86^80)(^87=1236000000000000)]}\n";

const std::string kCookies =
    "# HTTP Cookie File\n"
    ".example.com\tTRUE\t/\tFALSE\t1300000000\tid\tabc\n"
    "www.site.org\tFALSE\t/\tFALSE\t1300000000\tsid\t1\n"
    ".news.example.org\ttrue\t/\tFALSE\t1300000000\tpref\tz\n";

std::vector<std::string> Walk(const std::string& text, bool cookies) {
  std::vector<std::string> entries;
  WalkProfileText(text, cookies, [&entries](std::string_view entry) {
    entries.emplace_back(entry);
    return true;
  });
  return entries;
}

class InternetSoftwareFindersTest : public PrivacyTest {};

TEST_F(InternetSoftwareFindersTest, RegistryListsRecordBothKeysUnderOneItemUnlessExcluded) {
  TestMachine m(
      "[HKEY_CURRENT_USER\\Software\\RealNetworks\\RealDownload]\n"
      "\"File0\"=\"C:\\\\dl\\\\a.zip\"\n"
      "\"File1\"=\"C:\\\\dl\\\\b.zip\"\n"
      "[HKEY_LOCAL_MACHINE\\.default\\Software\\RealNetworks\\RealDownload]\n"
      "\"File0\"=\"C:\\\\dl\\\\c.zip\"\n"
      "[HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\MRU]\n"
      "\"1\"=\"http://a/x.zip\"\n"
      "\"2\"=\"http://a/y.zip\"\n"
      "[HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\TypedURLs]\n"
      "\"url1\"=\"http://b/\"\n"
      "[HKEY_CURRENT_USER\\Software\\SpeedBit\\Download Accelerator\\HistoryCombo]\n"
      "\"0\"=\"http://c/\"\n"
      "\"1\"=hex:01,02\n"
      "[HKEY_CURRENT_USER\\Software\\Kazaa\\Kazaa Lite\\Recent File List]\n"
      "\"File1\"=\"song.mp3\"\n"
      "[HKEY_CURRENT_USER\\Software\\Kazaa\\KaZaA Media Desktop\\Recent File List]\n"
      "\"File1\"=\"clip.avi\"\n"
      "\"File2\"=\"kept.avi\"\n");
  const std::string kazaa = "HKEY_CURRENT_USER\\Software\\Kazaa\\KaZaA Media Desktop\\Recent File List";
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"Real DownLoad",
                                      "HKEY_LOCAL_MACHINE\\.default\\Software\\RealNetworks\\RealDownload",
                                      "File0", " C:\\dl\\c.zip "};
  excludes.GetItem(excludes.Add()) = {"GetRight", "HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\MRU",
                                      "", "http://a/y.zip"};
  excludes.GetItem(excludes.Add()) = {"KazaaHistory", kazaa, "File2", "kept.avi"};
  // The same signature under another item or key excludes nothing.
  excludes.GetItem(excludes.Add()) = {"GetRight", kazaa, "File1", "clip.avi"};
  excludes.GetItem(excludes.Add()) = {"KazaaHistory", kazaa, "File1", "CLIP.AVI"};
  struct Case {
    Finder finder;
    int node;
    const char* itemName;
    const char* description;
    std::vector<std::string> data;
    std::vector<std::string> paths;
  };
  const std::string rd = "HKEY_CURRENT_USER\\Software\\RealNetworks\\RealDownload";
  const std::string mru = "HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\MRU";
  const std::string typed = "HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\TypedURLs";
  const std::string combo = "HKEY_CURRENT_USER\\Software\\SpeedBit\\Download Accelerator\\HistoryCombo";
  const Case cases[] = {
      {ScanRealDownload, kRealDownload, "Real DownLoad", "Clean RealDownload",
       {"C:\\dl\\a.zip", "C:\\dl\\b.zip"}, {rd, rd}},
      {ScanGetRight, kGetRight, "GetRight", "Clean GetRight MRU Info",
       {"http://a/x.zip", "http://b/"}, {mru, typed}},
      // A value without text is still a trace.
      {ScanDownloadAccelerator, kAccelerator, "DownloadAccelerator", "Clean Download Accelerator",
       {"http://c/", ""}, {combo, combo}},
      {ScanKazaa, kKazaa, "KazaaHistory", "Clean Kazaa History",
       {"song.mp3", "clip.avi"},
       {"HKEY_CURRENT_USER\\Software\\Kazaa\\Kazaa Lite\\Recent File List", kazaa}},
  };
  for (const Case& c : cases) {
    Found found;
    found.Run(c.finder, c.node, excludes);
    EXPECT_EQ(found.Field(&TResultContentItem::Data), c.data) << c.itemName;
    EXPECT_EQ(found.Field(&TResultContentItem::Path), c.paths) << c.itemName;
    EXPECT_EQ(found.Count(c.node), static_cast<int>(c.data.size())) << c.itemName;
    EXPECT_EQ(found.Count(44), static_cast<int>(c.data.size())) << c.itemName;
    for (int i = 0; i < found.results.Count(); ++i) {
      const TResultContentItem& item = found.results.GetItem(i);
      EXPECT_EQ(item.Kind, 2);
      EXPECT_EQ(item.EntryType, "Reg");
      EXPECT_EQ(item.Section, "Internet SoftWare");
      EXPECT_EQ(item.Description, c.description);
      EXPECT_EQ(item.ItemName, c.itemName);
      EXPECT_EQ(item.Filled, 1);
      EXPECT_EQ(item.Checked, 1);
      EXPECT_EQ(item.Size, 0);
    }
  }
  // Without the exclusion, the machine's own RealDownload list counts too.
  Found all;
  all.Run(ScanRealDownload, kRealDownload);
  ASSERT_EQ(all.results.Count(), 3);
  EXPECT_EQ(all.results.GetItem(2).Path,
            "HKEY_LOCAL_MACHINE\\.default\\Software\\RealNetworks\\RealDownload");
  EXPECT_EQ(all.results.GetItem(2).Name, "File0");
}

TEST_F(InternetSoftwareFindersTest, ProfileTextWalk) {
  struct Case {
    const char* name;
    std::string text;  // as loaded: lines joined with CR LF
    bool cookies;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"mork atoms", "<(80=http://a.com/)(81=http://b.org/x.html)(82=T)>\r\n", false,
       {"http://a.com/", "http://b.org/x.html"}},
      {"one line of many", "http://1)http://2)http://3)http://4)http://5)\r\n", false,
       {"http://1", "http://2", "http://3", "http://4", "http://5"}},
      // The text loses its last character once, not once per entry: the
      // last URL of a file and the fifth of a line stay whole.
      {"nine at the end of the file",
       "<(80=http://a.example/1)(81=http://a.example/2)(82=http://a.example/3)\r\n"
       "(83=http://a.example/4)(84=http://a.example/5)(85=http://a.example/6)\r\n"
       "(86=http://a.example/7)(87=http://a.example/8)(88=http://a.example/9)\r\n",
       false,
       {"http://a.example/1", "http://a.example/2", "http://a.example/3", "http://a.example/4", "http://a.example/5",
        "http://a.example/6", "http://a.example/7", "http://a.example/8", "http://a.example/9"}},
      {"a last cookie line", "# HTTP\r\n.A.COM\tTRUE\t/\r\n.B.ORG\tTRUE\t/\r\n.LAST.NET\tTRUE\t/\tFALSE\r\n", true,
       {"\r\n.A.COM\t", "\r\n.B.ORG\t", "\r\n.LAST.NET\t"}},
      {"no url", "(B6=URL)(https://a/)\r\n", false, {}},
      {"closed at once", "(http://)\r\n", false, {"http://"}},
      {"url over lines", "(http://a\r\nb)\r\n", false, {"http://a\r\nb"}},
      // No ")": the URL runs to the end of the text and the walk ends.
      {"unclosed", "(http://a)(http://b\r\n", false, {"http://a", "http://b\r"}},
      {"unclosed, urls in it", "http://a http://b\r\n", false, {"http://a http://b\r"}},
      {"nul bytes", std::string("(http://a\0b)\r\n", 14), false, {std::string("http://a\0b", 10)}},
      {"empty", "", false, {}},
      {"cookies", "# HTTP\r\n.A.COM\tTRUE\t/\r\n.B.ORG\tTRUE\t/\r\n", true,
       {"\r\n.A.COM\t", "\r\n.B.ORG\t"}},
      // A first line has no line break before it; a host without a dot is
      // passed over, and a flag of FALSE reaches to the next TRUE.
      {"first line and hosts", ".A.COM\tTRUE\r\nWWW.C\tTRUE\r\n.D\tFALSE\t/\tFALSE\r\n.E\tTRUE\r\n", true,
       {"\r\n.D\tFALSE\t/\tFALSE\r\n.E\t"}},
      {"no TRUE", "X\r\n.A.COM\tFALSE\r\n", true, {"\r\n.A.COM\tFALSE\r"}},
      {"marker only", "\r\n.\r\n", true, {"\r\n.\r"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Walk(c.text, c.cookies), c.entries) << c.name;

  // The visitor can stop the walk.
  int seen = 0;
  WalkProfileText("http://a)http://b)\r\n", false, [&seen](std::string_view) { return ++seen < 1; });
  EXPECT_EQ(seen, 1);
}

TEST_F(InternetSoftwareFindersTest, HistoryAndCookieFindersReadTheLastProfileOfTheWalk) {
  TestMachine m(kShellFolders,
                TextFile(std::string(kFirefox) + "a1.default\\history.dat", "(http://old/)\n") +
                    TextFile(std::string(kFirefox) + "b2.default\\history.dat", kHistory) +
                    TextFile(std::string(kFirefox) + "b2.default\\cookies.txt", kCookies) +
                    TextFile(std::string(kFirefox) + "c3.default\\History.dat", "(http://case/)\n") +
                    TextFile(std::string(kNetscape) + "owner\\history.dat", "(http://ns/)\r(http://ns2/)") +
                    TextFile(std::string(kNetscape) + "owner\\cookies.txt",
                             "# x\r.ns.com\tTRUE\t/\r.ns.org\tTRUE\t/"));
  TotalEvidenceSize = 0;
  Found firefox;
  firefox.Run(ScanFirefoxHistory, kFirefoxHistory).Run(ScanFirefoxCookies, kFirefoxCookies);
  EXPECT_EQ(firefox.Field(&TResultContentItem::FirefoxUrl),
            (std::vector<std::string>{"http://www.example.com/", "http://news.example.org/today.html", "",
                                      ""}));
  EXPECT_EQ(firefox.Field(&TResultContentItem::FirefoxCookie),
            (std::vector<std::string>{"", "", "\r\n.EXAMPLE.COM\t", "\r\n.NEWS.EXAMPLE.ORG\t"}));
  EXPECT_EQ(firefox.Field(&TResultContentItem::ItemName),
            (std::vector<std::string>{"FireFoxHistory", "FireFoxHistory", "FireFox Cookies",
                                      "FireFox Cookies"}));
  const std::string profile = std::string(kFirefox) + "b2.default\\";
  EXPECT_EQ(firefox.Field(&TResultContentItem::Path),
            (std::vector<std::string>{profile + "history.dat", profile + "history.dat",
                                      profile + "cookies.txt", profile + "cookies.txt"}));
  const int sizes[] = {23, 34, 15, 20};
  for (int i = 0; i < 4; ++i) {
    const TResultContentItem& item = firefox.results.GetItem(i);
    EXPECT_EQ(item.Kind, i < 2 ? 4 : 5);
    EXPECT_EQ(item.EntryType, "File");
    EXPECT_EQ(item.Filled, 0);
    EXPECT_EQ(item.Checked, 1);
    EXPECT_TRUE(item.Section.empty() && item.Description.empty() && item.Name.empty());
    EXPECT_EQ(item.Size, sizes[i]);
  }
  EXPECT_EQ(TotalEvidenceSize, 23 + 34 + 15 + 20);
  EXPECT_EQ(firefox.Count(kFirefoxHistory), 2);
  EXPECT_EQ(firefox.Count(kFirefoxCookies), 2);
  EXPECT_EQ(firefox.Count(44), 4);

  // CR line ends; the names of the Netscape findings are their own.
  Found netscape;
  netscape.Run(ScanNetscapeHistory, kNetscapeHistory).Run(ScanNetscapeCookies, kNetscapeCookies);
  EXPECT_EQ(netscape.Field(&TResultContentItem::NetscapeUrl),
            (std::vector<std::string>{"http://ns/", "http://ns2/", "", ""}));
  EXPECT_EQ(netscape.Field(&TResultContentItem::NetscapeCookie),
            (std::vector<std::string>{"", "", "\r\n.NS.COM\t", "\r\n.NS.ORG\t"}));
  EXPECT_EQ(netscape.Field(&TResultContentItem::ItemName),
            (std::vector<std::string>{"Netscape History", "Netscape History", "Netscape Cookies",
                                      "Netscape Cookies"}));
  EXPECT_EQ(netscape.results.GetItem(0).Kind, 7);
  EXPECT_EQ(netscape.results.GetItem(2).Kind, 8);
}

TEST_F(InternetSoftwareFindersTest, ProfileFilesMissingExcludedOrOutOfReachFindNothing) {
  struct Case {
    const char* name;
    std::string reg;
    std::string files;
    bool excluded;
    int history;
    int cookies;
  };
  const std::string ff = kFirefox;
  const std::string history = TextFile(ff + "p\\history.dat", "(http://a/)(http://b/)");
  std::vector<Case> cases;
  cases.push_back({"cookies missing", kShellFolders, history, false, 2, 0});
  cases.push_back({"no AppData", "", history, false, 0, 0});
  cases.push_back({"AppData names a root",
                   "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                   "Shell Folders]\n\"AppData\"=\"C:\\\\\"\n",
                   TextFile("C:\\Mozilla\\Firefox\\Profiles\\p\\history.dat", "(http://a/)"), false, 0, 0});
  cases.push_back({"outside the profiles", kShellFolders,
                   TextFile("C:\\AD\\Mozilla\\Firefox\\history.dat", "(http://a/)") +
                       TextFile("C:\\AD\\Mozilla\\cookies.txt", "x\n.a\tTRUE\n"),
                   false, 0, 0});
  // Entries with other attribute words are passed over: an archived
  // read-only file, a hidden archived folder.
  cases.push_back({"attributes", kShellFolders,
                   ff + "p\\history.dat | attr=RA | text=(http://a/)\n" + ff + "q\\ | attr=HA\n" +
                       TextFile(ff + "q\\cookies.txt", "x\n.a\tTRUE\n"),
                   false, 0, 0});
  // A history exclusion keeps the whole profile file.
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"FireFoxHistory", ff + "p\\history.dat", "", ""};
  excludes.GetItem(excludes.Add()) = {"FireFox Cookies", ff + "p\\other.txt", "", ""};
  cases.push_back({"excluded", kShellFolders, history + TextFile(ff + "p\\cookies.txt", "x\n.a\tTRUE\n"),
                   true, 0, 1});
  // A profile tree that links back to itself.
  cases.push_back({"link loop", kShellFolders,
                   history + ff + "p\\loop | link=C:\\AD\\Mozilla\\Firefox\\Profiles\n" + ff +
                       "p\\up | link=C:\\AD\n",
                   false, 2, 0});
  for (const Case& c : cases) {
    TestMachine m(c.reg, c.files);
    const TExcludeContents none;
    const TExcludeContents& chosen = c.excluded ? excludes : none;
    Found found;
    found.Run(ScanFirefoxHistory, kFirefoxHistory, chosen).Run(ScanFirefoxCookies, kFirefoxCookies, chosen);
    EXPECT_EQ(found.Count(kFirefoxHistory), c.history) << c.name;
    EXPECT_EQ(found.Count(kFirefoxCookies), c.cookies) << c.name;
  }
}

TEST_F(InternetSoftwareFindersTest, CacheFindersListTheLastCacheFolderOfTheProfiles) {
  const std::string ff = kFirefoxLocal;
  const std::string ns = kNetscape;
  TestMachine m(kShellFolders,
                // Another program's cache outside the profiles is left alone.
                "C:\\LAD\\Other\\Cache\\keep.bin | text=k\n"
                "C:\\AD\\Cache\\keep.bin | text=k\n"
                "C:\\AD\\Netscape\\Cache\\keep.bin | text=k\n" +
                    ff + "a.default\\Cache\\old.bin | text=o\n" +
                    ff + "b.default\\Cache\\_CACHE_MAP_ | text=12345\n" +
                    ff + "b.default\\Cache\\0A\\\n" +
                    ff + "b.default\\Cache\\0A\\inner.bin | text=123\n" +
                    ff + "b.default\\Cache\\hidden.bin | attr=H | text=12\n" +
                    ff + "b.default\\Cache\\ro.bin | attr=RA | text=12\n" +
                    ff + "b.default\\Cache\\excluded.bin | text=12\n" +
                    ff + "b.default\\Cache\\link | link=C:\\LAD\n" +
                    ns + "owner\\cache\\0.bin | text=1\n" +  // names are compared exactly
                    ns + "owner\\x\\Cache\\1.bin | text=1234\n");
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"FireFoxCache", ff + "b.default\\Cache\\excluded.bin", "", ""};
  TotalEvidenceSize = 0;
  Found firefox;
  firefox.Run(ScanFirefoxCache, kFirefoxCache, excludes);
  const std::string cache = ff + "b.default\\Cache\\";
  EXPECT_EQ(firefox.Field(&TResultContentItem::Path),
            (std::vector<std::string>{cache + "0A", cache + "hidden.bin", cache + "_CACHE_MAP_"}));
  EXPECT_EQ(firefox.Field(&TResultContentItem::FirefoxCacheFile), firefox.Field(&TResultContentItem::Path));
  EXPECT_EQ(firefox.results.GetItem(0).Size, 0);
  EXPECT_EQ(firefox.results.GetItem(1).Size, 2);
  EXPECT_EQ(firefox.results.GetItem(2).Size, 5);
  EXPECT_EQ(TotalEvidenceSize, 7);
  EXPECT_EQ(firefox.Count(kFirefoxCache), 3);
  for (int i = 0; i < firefox.results.Count(); ++i) {
    const TResultContentItem& item = firefox.results.GetItem(i);
    EXPECT_EQ(item.Kind, 6);
    EXPECT_EQ(item.ItemName, "FireFoxCache");
    EXPECT_EQ(item.Filled, 0);
    EXPECT_TRUE(item.Section.empty() && item.Description.empty());
  }

  Found netscape;
  netscape.Run(ScanNetscapeCache, kNetscapeCache);
  ASSERT_EQ(netscape.results.Count(), 1);
  EXPECT_EQ(netscape.results.GetItem(0).NetscapeCacheFile, ns + "owner\\x\\Cache\\1.bin");
  EXPECT_EQ(netscape.results.GetItem(0).ItemName, "netscape Cache");
  EXPECT_EQ(netscape.results.GetItem(0).Kind, 9);
  EXPECT_EQ(netscape.results.GetItem(0).Size, 4);
}

TEST_F(InternetSoftwareFindersTest, NoCacheFolderFindsNothing) {
  TestMachine m(kShellFolders, std::string(kFirefoxLocal) + "a.default\\Caches\\x.bin | text=1\n" +
                                   "C:\\LAD\\Cache\\y.bin | text=1\n");
  Found found;
  found.Run(ScanFirefoxCache, kFirefoxCache).Run(ScanNetscapeCache, kNetscapeCache);
  EXPECT_EQ(found.results.Count(), 0);
}

TEST_F(InternetSoftwareFindersTest, CancelStopsTheProfileWalks) {
  std::string urls;
  for (int i = 0; i < 20; ++i) urls += "(http://" + std::to_string(i) + "/)";
  TestMachine m(kShellFolders, TextFile(std::string(kFirefox) + "p\\history.dat", urls));
  int pumped = 0;
  SetProcessMessagesHook([&pumped] {
    if (++pumped == 8) ScanState = 2;
  });
  Found found;
  found.Run(ScanFirefoxHistory, kFirefoxHistory);
  EXPECT_GT(found.results.Count(), 0);
  EXPECT_LT(found.results.Count(), 8);
}

// A walk that stalls or goes back shows as a hang that the test runner's
// time limit ends; no figure of time is asserted here.
TEST_F(InternetSoftwareFindersTest, HugeAndBinaryHistoryFilesAreReadToTheirEnd) {
  TestMachine m(kShellFolders, std::string(kFirefox) + "p\\\n");
  const std::string file = std::string(kFirefox) + "p\\history.dat";
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int findings;
  };
  // 100 MB: binary noise with two URLs, and an endless unclosed URL.
  std::vector<std::uint8_t> noise(100u << 20);
  std::uint32_t state = 7;
  for (auto& byte : noise) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<std::uint8_t>(state >> 24);
    if (byte == 'h') byte = 0;
  }
  const std::string first = "(http://first/)";
  const std::string last = "(http://last/)";
  std::copy(first.begin(), first.end(), noise.begin());
  std::copy(last.begin(), last.end(), noise.end() - static_cast<std::ptrdiff_t>(last.size()));
  std::vector<std::uint8_t> unclosed(100u << 20, 'x');
  const std::string open = "http://";
  std::copy(open.begin(), open.end(), unclosed.begin());
  Case cases[] = {{"noise", std::move(noise), 2}, {"unclosed", std::move(unclosed), 1}};
  for (Case& c : cases) {
    ASSERT_TRUE(win::WriteFileBytes(file, c.bytes)) << c.name;
    c.bytes.clear();
    c.bytes.shrink_to_fit();
    Found found;
    found.Run(ScanFirefoxHistory, kFirefoxHistory);
    EXPECT_EQ(found.results.Count(), c.findings) << c.name;
    if (found.results.Count() == 2) {
      EXPECT_EQ(found.results.GetItem(1).FirefoxUrl, "http://last/");
    } else if (found.results.Count() == 1) {
      EXPECT_EQ(found.results.GetItem(0).Size, (100 << 20) + 1);
    }
  }
}

TEST_F(InternetSoftwareFindersTest, AProfileFileIsWipedOnlyWithEveryEntryItListsTicked) {
  enum class Change { None, OneUnticked, OneExcluded, EntryAdded, FileGone, OtherFileUnticked };
  struct Case {
    const char* name;
    Change change;
    bool cookies;
    bool wiped;
  };
  const Case cases[] = {
      {"all ticked", Change::None, false, true},
      {"all ticked, cookies", Change::None, true, true},
      {"one unticked", Change::OneUnticked, false, false},
      {"one unticked, cookies", Change::OneUnticked, true, false},
      {"one excluded after the scan", Change::OneExcluded, false, false},
      {"an entry added after the scan", Change::EntryAdded, false, false},
      {"an entry added after the scan, cookies", Change::EntryAdded, true, false},
      {"file already gone", Change::FileGone, false, true},
      {"the other file unticked", Change::OtherFileUnticked, false, true},
  };
  const std::string profile = std::string(kFirefox) + "p\\";
  // The same URL twice: two findings, both needed.
  const std::string history = "(http://a/)(http://b/)(http://a/)";
  const std::string cookies = "#\n.a.com\tTRUE\t/\n.b.com\tTRUE\t/\n";
  const std::string added = "(http://c)\n.c\tTRUE\n";
  for (const Case& c : cases) {
    TestMachine m(kShellFolders,
                  TextFile(profile + "history.dat", history) + TextFile(profile + "cookies.txt", cookies));
    const std::string file = profile + (c.cookies ? "cookies.txt" : "history.dat");
    Found found;
    found.Run(ScanFirefoxHistory, kFirefoxHistory).Run(ScanFirefoxCookies, kFirefoxCookies);
    ASSERT_EQ(found.results.Count(), 5) << c.name;
    const int first = c.cookies ? 3 : 0;  // the first finding of the file
    switch (c.change) {
      case Change::OneUnticked: found.results.GetItem(first + 1).Checked = 0; break;
      case Change::OneExcluded: found.results.Delete(first + 1); break;
      case Change::EntryAdded:
        ASSERT_TRUE(win::AppendFileBytes(file, std::vector<std::uint8_t>(added.begin(), added.end())));
        break;
      case Change::FileGone: ASSERT_TRUE(win::DeleteFile(file)); break;
      case Change::OtherFileUnticked: found.results.GetItem(c.cookies ? 0 : 3).Checked = 0; break;
      case Change::None: break;
    }
    std::vector<std::uint8_t> before;
    win::ReadFileBytes(file, before);
    TCleanProgress progress;
    CleanEvidences(found.results, progress);
    EXPECT_EQ(!win::FileExists(file), c.wiped) << c.name;
    if (!c.wiped) {
      std::vector<std::uint8_t> after;
      win::ReadFileBytes(file, after);
      EXPECT_EQ(after, before) << c.name;
    }
    int cleaned = 0;
    for (int i = 0; i < found.results.Count(); ++i) {
      const TResultContentItem& item = found.results.GetItem(i);
      if (item.Path == file) {
        EXPECT_EQ(item.Cleaned, c.wiped ? 1 : 0) << c.name << " " << i;
      }
      cleaned += item.Cleaned;
    }
    EXPECT_EQ(progress.Cleaned, cleaned) << c.name;
  }
}

// What Exclude stores for a finding keeps it away at the next scan; a
// history or cookie exclusion keeps its whole profile file.
TEST_F(InternetSoftwareFindersTest, EachFindingExcludedByItsSignatureStaysAwayAtTheNextScan) {
  SampleMachineCopy sample;
  ASSERT_TRUE(sample.Ready());
  const auto finders = DefaultFinders(3);
  for (int p = 0; p < kCategoryItemCounts[3]; ++p) {
    const int node = kCategoryFirstNode[3] + p;
    const TEvidenceFinder& finder = finders[static_cast<std::size_t>(p)];
    Found first;
    finder(first.tree, node, first.results, {});
    ASSERT_GT(first.results.Count(), 1) << node;
    const bool wholeFile = first.results.GetItem(0).Shared != nullptr;
    for (int i = 0; i < first.results.Count(); ++i) {
      const TResultContentItem& excluded = first.results.GetItem(i);
      const TExclusionSignature signature = ExclusionSignature(excluded);
      TExcludeContents excludes;
      excludes.GetItem(excludes.Add()) = {excluded.ItemName, signature.Key, excluded.Name, signature.Data};
      Found again;
      finder(again.tree, node, again.results, excludes);
      EXPECT_EQ(again.results.Count(), wholeFile ? 0 : first.results.Count() - 1) << node << " " << i;
      for (int j = 0; j < again.results.Count(); ++j) {
        const TResultContentItem& item = again.results.GetItem(j);
        EXPECT_FALSE(item.Path == excluded.Path && item.Name == excluded.Name && item.Data == excluded.Data)
            << node << " " << i;
      }
      EXPECT_EQ(again.Count(node), again.results.Count());
    }
  }
}

TEST_F(InternetSoftwareFindersTest, SampleMachineItemsAreFoundAndCleaned) {
  SampleMachineCopy sample;
  ASSERT_TRUE(sample.Ready());
  ScriptedDialogs dialogs;
  const std::string appData = "C:\\Documents and Settings\\Owner\\Application Data\\";
  const std::string localAppData = "C:\\Documents and Settings\\Owner\\Local Settings\\Application Data\\";
  const std::string leftAlone[] = {localAppData + "Harbor Tone\\TuneBox\\Cache\\cover0001.jpg",
                                   appData + "Inkwell\\PageWriter\\Cache\\page0001.bin",
                                   appData + "Mozilla\\Firefox\\Profiles\\k3x9q2ab.default\\prefs.js"};
  TEvidenceCleaner cleaner;
  RecordingView view;
  cleaner.SetView(&view);
  cleaner.FormShow();
  // Only the "Internet Software" category is scanned.
  for (int category = 0; category < 3; ++category)
    cleaner.CheckNodeStateClick(kCategoryFirstNode[category] - 1);
  cleaner.ScanNowBtnClick();
  EXPECT_EQ(cleaner.Results[0].Count() + cleaner.Results[1].Count() + cleaner.Results[2].Count(), 0);
  // Real DownLoad .. NetscapeCache; each cache holds one subfolder.
  const int counts[] = {3, 3, 3, 3, 3, 2, 4, 2, 2, 3};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(cleaner.CheckTree.Nodes[45 + i].Rec->Count, counts[i]) << i;
  EXPECT_EQ(cleaner.Results[3].Count(), 28);

  cleaner.CleanBtnClick();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "2 of 28 evidences could not be cleaned.");
  cleaner.FinishBtnClick();
  cleaner.ScanNowBtnClick();
  std::vector<std::string> remaining;
  for (int i = 0; i < cleaner.Results[3].Count(); ++i)
    remaining.push_back(cleaner.Results[3].GetItem(i).Path);
  EXPECT_EQ(remaining,
            (std::vector<std::string>{
                localAppData + "Mozilla\\Firefox\\Profiles\\k3x9q2ab.default\\Cache\\0C",
                appData + "Netscape\\NSB\\Profiles\\owner.default\\Cache\\03"}));
  for (const auto& path : leftAlone) EXPECT_TRUE(win::FileExists(path)) << path;
}

}  // namespace
}  // namespace privacy_test
