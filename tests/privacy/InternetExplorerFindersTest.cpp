// The Internet Explorer finders and the recycle-bin finder.

#include <sys/stat.h>
#include <unistd.h>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "privacy/IneterNetExploerUnit.h"
#include "privacy/WindowSystemUnit.h"

namespace privacy_test {
namespace {

const char* const kShellFolders =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"Cache\"=\"C:\\\\TIF\"\n"
    "\"Favorites\"=\"C:\\\\Fav\"\n";

class InternetExplorerFindersTest : public PrivacyTest {};

TEST_F(InternetExplorerFindersTest, RegistryFindersRecordValuesUnlessExcluded) {
  TestMachine m(std::string(kShellFolders) +
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer]\n"
                "\"Download Directory\"=\"C:\\\\Down\"\n"
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main]\n"
                "\"Save Directory\"=\"\"\n"
                "\"FavoritesExportFile\"=\"C:\\\\bm.htm\"\n"
                "\"FavoritesImportFolder\"=\"C:\\\\Imp\"\n"
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\n"
                "\"url1\"=\"http://a/\"\n"
                "\"url2\"=\"site.htm\"\n"
                "\"url3\"=hex:68,74,74,70\n"
                "\"url4\"=\"http://c/\"\n"
                "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\IntelliForms]\n"
                "\"AB12\"=hex:01,02\n"
                "\"CD34\"=hex:03\n");
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"Address Bar History",
                                      "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs",
                                      "any", "site.htm "};
  excludes.GetItem(excludes.Add()) = {"Download Directory",
                                      "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer", "",
                                      "C:\\Down"};
  struct Case {
    void (*finder)(TEvidenceTree&, int, TResultContents&, const TExcludeContents&);
    int node;
    std::vector<std::string> names;
    int kind;
  };
  const Case cases[] = {
      // A binary value is no text to show.
      {ScanIEAddressBarHistory, 3, {"url1", "url4"}, 2},
      {ScanIEAutoComplete, 8, {"AB12", "CD34"}, 1},
      {ScanIEDownloadDirectory, 9, {}, 2},
      {ScanIESaveDirectory, 10, {}, 2},  // empty text
      {ScanIEFavoritesExportFile, 6, {"FavoritesExportFile"}, 2},
      {ScanIEFavoritesImportFolder, 7, {"FavoritesImportFolder"}, 2},
  };
  for (const Case& c : cases) {
    Found found;
    found.Run(c.finder, c.node, excludes);
    EXPECT_EQ(found.Names(), c.names) << c.node;
    EXPECT_EQ(found.tree.Nodes[c.node].Rec->Count, static_cast<int>(c.names.size())) << c.node;
    EXPECT_EQ(found.tree.Nodes[0].Rec->Count, static_cast<int>(c.names.size())) << c.node;
    for (int i = 0; i < found.results.Count(); ++i) {
      const TResultContentItem& item = found.results.GetItem(i);
      EXPECT_EQ(item.Kind, c.kind);
      EXPECT_EQ(item.EntryType, "Reg");
      EXPECT_EQ(item.Checked, 1);
      EXPECT_EQ(item.Filled, 1);
      EXPECT_EQ(item.Path.rfind("HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer", 0), 0u);
    }
  }
  // An exclusion with empty data silences AutoComplete; Save Directory asks too.
  excludes.GetItem(excludes.Add()) = {"AutoCompleteData",
                                      "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\IntelliForms",
                                      "", ""};
  Found silenced;
  silenced.Run(ScanIEAutoComplete, 8, excludes);
  EXPECT_TRUE(silenced.Names().empty());
}

TEST_F(InternetExplorerFindersTest, CacheAndCookiesSplitTheNormalEntries) {
  TestMachine m(kShellFolders,
                "C:\\TIF\\a[1].htm | text=12345\nC:\\TIF\\dir[1]\\\nC:\\Cookies\\o@a[1].txt | text=c\n",
                "",
                "http://a/a.htm | file=C:\\TIF\\a[1].htm\n"
                "Cookie:o@a/ | file=C:\\Cookies\\o@a[1].txt | type=0x100001\n"
                "Visited: o@http://a/ | type=0x200001\n"
                "http://a/sticky | type=4\n"
                "http://a/dir | file=C:\\TIF\\dir[1]\n"
                "http://a/gone.htm | file=C:\\TIF\\gone[1].htm\n"
                "http://a/excluded.htm\n"
                " | file=C:\\TIF\\a[1].htm\n"
                "http://" + std::string(100000, 'x') + "/\n");
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"Cache", "http://a/excluded.htm", "", ""};
  Found cache;
  cache.Run(ScanIECache, 2, excludes);
  ASSERT_EQ(cache.results.Count(), 5);
  EXPECT_EQ(cache.Names()[0], "http://a/a.htm");
  EXPECT_EQ(cache.Names()[1], "Visited: o@http://a/");
  EXPECT_EQ(cache.results.GetItem(0).Size, 5);
  EXPECT_EQ(cache.results.GetItem(0).Path, "C:\\TIF\\a[1].htm");
  EXPECT_EQ(cache.results.GetItem(2).Size, 0);  // a folder
  EXPECT_EQ(cache.results.GetItem(3).Size, 0);  // missing
  EXPECT_EQ(cache.results.GetItem(4).Name.size(), 100008u);
  EXPECT_EQ(cache.results.GetItem(0).Kind, 10);
  EXPECT_EQ(cache.results.GetItem(0).Section, "IE Cache");
  EXPECT_EQ(cache.tree.Nodes[2].Rec->Count, 5);

  Found cookies;
  cookies.Run(ScanIECookies, 4, excludes);
  ASSERT_EQ(cookies.Names(), std::vector<std::string>{"Cookie:o@a/"});
  EXPECT_EQ(cookies.results.GetItem(0).Kind, 11);
  EXPECT_EQ(cookies.results.GetItem(0).Description, "Clean IE Cookies");
}

// The size is the length of the entry's file as opened for reading; a file
// that cannot be opened (no access, a host link) leaves 0, and the finding
// stays.
TEST_F(InternetExplorerFindersTest, ACacheFileThatCannotBeOpenedLeavesSizeZero) {
  TestMachine m(kShellFolders,
                "C:\\TIF\\open[1].htm | text=1234567\n"
                "C:\\TIF\\closed[1].htm | text=12345\n"
                "C:\\Elsewhere\\big.bin | size=4096\n"
                "C:\\TIF\\link[1].htm | link=C:\\Elsewhere\\big.bin\n",
                "",
                "http://a/open.htm | file=C:\\TIF\\open[1].htm\n"
                "http://a/closed.htm | file=C:\\TIF\\closed[1].htm\n"
                "http://a/link.htm | file=C:\\TIF\\link[1].htm\n");
  TotalEvidenceSize = 0;
  const bool root = geteuid() == 0;  // no file is closed to root
  ASSERT_EQ(chmod(m.host("C:\\TIF\\closed[1].htm").c_str(), 0), 0);
  Found cache;
  cache.Run(ScanIECache, 2);
  ASSERT_EQ(cache.Names(), (std::vector<std::string>{"http://a/open.htm", "http://a/closed.htm", "http://a/link.htm"}));
  EXPECT_EQ(cache.results.GetItem(0).Size, 7);
  if (!root) {
    EXPECT_EQ(cache.results.GetItem(1).Size, 0);
  }
  EXPECT_EQ(cache.results.GetItem(2).Size, 0);
  EXPECT_EQ(TotalEvidenceSize, root ? 12 : 7);
  EXPECT_EQ(cache.Count(2), 3);
}

TEST_F(InternetExplorerFindersTest, EmptyCacheFindsNothing) {
  TestMachine m(kShellFolders);
  Found found;
  found.Run(ScanIECache, 2, {});
  found.Run(ScanIECookies, 4, {});
  EXPECT_EQ(found.results.Count(), 0);
}

TEST_F(InternetExplorerFindersTest, CancelStopsTheCacheWalk) {
  std::string cache;
  for (int i = 0; i < 20; ++i) cache += "http://a/" + std::to_string(i) + "\n";
  TestMachine m(kShellFolders, "", "", cache);
  int pumped = 0;
  SetProcessMessagesHook([&pumped] {
    if (++pumped == 5) ScanState = 2;
  });
  Found found;
  found.Run(ScanIECache, 2, {});
  EXPECT_EQ(found.results.Count(), 5);
}

TEST_F(InternetExplorerFindersTest, FavoritesListsTheFolderOwnEntriesByAttribute) {
  const std::string favorites = std::string(kShellFolders);
  TestMachine m(favorites,
                "C:\\Fav\\a.url | text=x\n"
                "C:\\Fav\\Links\\\n"
                "C:\\Fav\\Links\\inner.url | text=x\n"
                "C:\\Fav\\hidden.url | attr=H | text=x\n"
                "C:\\Fav\\archived-ro.url | attr=RA | text=x\n"
                "C:\\Fav\\excluded.url | text=x\n");
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"Favorites", "excluded.url", "", ""};
  Found found;
  found.Run(ScanIEFavorites, 5, excludes);
  EXPECT_EQ(found.Names(), (std::vector<std::string>{"a.url", "hidden.url", "Links"}));
  EXPECT_EQ(found.results.GetItem(2).Path, "C:\\Fav\\Links");
}

TEST_F(InternetExplorerFindersTest, FavoritesNamingARootOrTheWindowsFolderFindsNothing) {
  for (const char* folder : {"", "C:\\\\", "C:", "C:\\\\WINDOWS", "c:\\\\windows\\\\system32\\\\"}) {
    TestMachine m(std::string("[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                              "Shell Folders]\n\"Favorites\"=\"") + folder + "\"\n",
                  "C:\\WINDOWS\\system32\\x.dll\nC:\\boot.ini | text=x\n");
    Found found;
    found.Run(ScanIEFavorites, 5, {});
    EXPECT_EQ(found.results.Count(), 0) << folder;
  }
}

TEST_F(InternetExplorerFindersTest, RecycleBinListsRecycledEntriesOfFixedDrives) {
  const char* config =
      "[Machine]\r\nOSMajor=5\r\nOSMinor=1\r\nPlatformId=2\r\nUserName=Owner\r\n"
      "ComputerName=T\r\nAnsiCodePage=1252\r\n[Drives]\r\nC=fixed,drives/C\r\nF=fixed,drives/F\r\n"
      "E=removable,drives/E\r\n";
  TestMachine m("",
                "C:\\Recycled\\Dc1.txt | text=abc\n"
                "C:\\Recycled\\INFO2 | text=x\n"
                "C:\\Recycled\\Desktop.INI | text=x\n"
                "C:\\Recycled\\Dc2\\\n"
                "C:\\Recycled\\Dc2\\inner.txt | text=x\n"
                "C:\\Recycled\\kept.txt | text=x\n"
                "F:\\Recycled\\Df1.txt | text=12\n"
                "E:\\Recycled\\De1.txt | text=x\n",
                config);
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"RecycleBin", "C:\\Recycled\\kept.txt", "", ""};
  Found found;
  found.Run(ScanRecycleBin, 43, excludes);
  EXPECT_EQ(found.Names(), (std::vector<std::string>{"Dc1.txt", "Dc2", "Df1.txt"}));
  EXPECT_EQ(found.results.GetItem(2).Path, "F:\\Recycled\\Df1.txt");
  EXPECT_EQ(found.results.GetItem(2).Size, 2);
  EXPECT_EQ(found.tree.Nodes[43].Rec->Count, 3);
  EXPECT_EQ(found.tree.Nodes[28].Rec->Count, 3);
}

}  // namespace
}  // namespace privacy_test
