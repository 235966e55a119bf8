// The Windows software and Windows system finders: what each lists, the
// exclusion each compares, and what cleaning their findings removes.

#include <algorithm>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "privacy/ExclusionSignatureUnit.h"
#include "privacy/WindowSystemUnit.h"
#include "privacy/WindowsSoftWareUnit.h"

namespace privacy_test {
namespace {

using Finder = void (*)(TEvidenceTree&, int, TResultContents&, const TExcludeContents&);

const char* const kSoftware =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.bmp\"\n"
    "\"File2\"=\"C:\\\\b.bmp\"\n"
    "\"File3\"=\"C:\\\\kept.bmp\"\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List]\n"
    "\"File1\"=\"C:\\\\machine.bmp\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.doc\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList]\n"
    "\"File0\"=\"C:\\\\a.mp3\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\FrontPad\\FrontPage Editor\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.htm\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Microsoft Help Workshop\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.hpj\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\9.0\\Access\\Settings\\MRU1]\n"
    "\"1\"=\"C:\\\\db1.mdb\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\9.0\\Access\\Settings\\MRUFlags1]\n"
    "\"1\"=dword:00000001\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\10.0\\Access\\Settings\\MRU1]\n"
    "\"1\"=\"C:\\\\other version.mdb\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\9.0\\Publisher\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.pub\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Word\\Publisher\\Recent File List]\n"
    "\"File1\"=\"C:\\\\b.pub\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\9.0\\Common\\Open Find\\Microsoft FrontPage\\Settings\\Open File\\File Name MRU]\n"
    "\"Value\"=\"C:\\\\open90.htm\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Outlook\\Common\\Open Find\\Microsoft FrontPage\\Settings\\Open File\\File Name MRU]\n"
    "\"Value\"=\"C:\\\\openOutlook.htm\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\Recent Web List]\n"
    "\"Web1\"=\"http://web/\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\Access\\Common\\Open Find\\Microsoft FrontPage\\Settings\\Save As\\File Name MRU]\n"
    "\"Value\"=\"C:\\\\saved.htm\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\FrontPage\\Editor\\Insert Image\\Recently Used URLs]\n"
    "\"url1\"=\"http://img/\"\n"
    "[HKEY_CURRENT_USER\\UNICODE Program Groups]\n"
    "\"Accessories\"=hex:01\n"
    "\"Games\"=hex:02\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\MessengerService\\PhoneMRU]\n"
    "\"PhoneMRU1\"=\"555-0100\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\MSDN]\n"
    "\"Project1\"=\"C:\\\\p.vbp\"\n"
    "[HKEY_CURRENT_USER\\Software\\WinRAR\\ArcHistory]\n"
    "\"0\"=\"C:\\\\a.rar\"\n"
    "[HKEY_CURRENT_USER\\Software\\WinRAR\\DialogEditHistory\\ExtrPath]\n"
    "\"0\"=\"C:\\\\out\"\n"
    "[HKEY_CURRENT_USER\\Software\\Nico Mak Computing\\WinZip\\extract]\n"
    "\"extract1\"=\"C:\\\\x\"\n"
    "[HKEY_CURRENT_USER\\Software\\Nico Mak Computing\\WinZip\\filemenu]\n"
    "\"filemenu1\"=\"C:\\\\a.zip\"\n"
    "[HKEY_CURRENT_USER\\Software\\Nico Mak Computing\\WinZip\\directories]\n"
    "\"defdir\"=\"C:\\\\zips\"\n"
    "\"ExtractTo\"=\"C:\\\\unzipped\"\n"
    "\"AddDir\"=\"C:\\\\added\"\n"
    "\"Extract\"=\"C:\\\\last\"\n"
    "\"ExtractToX\"=\"C:\\\\no\"\n"
    "[HKEY_CURRENT_USER\\Software\\Mijenix\\ZipMagic\\CurrentVersion\\Recent]\n"
    "\"1\"=\"C:\\\\m.zip\"\n"
    "[HKEY_CURRENT_USER\\Software\\Mijenix\\ZipMagic\\CurrentVersion\\Zip To]\n"
    "\"1\"=\"C:\\\\to\"\n"
    "[HKEY_CURRENT_USER\\Software\\ASPack\\Options]\n"
    "\"OD_FileName\"=\"C:\\\\packed.exe\"\n"
    "\"Compression\"=dword:00000002\n"
    "[HKEY_CURRENT_USER\\Software\\ACD Systems\\ACDSee\\LastFolder]\n"
    "@=\"C:\\\\Photos\"\n"
    "[HKEY_CURRENT_USER\\Software\\ACD Systems\\ACDSee\\OpenFolder]\n"
    "\"0\"=\"C:\\\\Photos\\\\2008\"\n";

const char* const kExplorerKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";

const char* const kSystem =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
    "\"SendTo\"=\"C:\\\\Profile\\\\SendTo\"\n"
    "\"Recent\"=\"C:\\\\Profile\\\\Recent\\\\\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU]\n"
    "\"a\"=\"notepad\\\\1\"\n"
    "\"MRUList\"=\"a\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Telnet\\host1]\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Telnet\\LastMachine\\server]\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Map Network Drive MRU]\n"
    "\"a\"=\"\\\\\\\\SERVER\\\\share\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\otherFolder]\n"
    "\"notepad.exe\"=hex:01\n"
    "\"kept.exe\"=hex:01\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Microsoft Management Console\\Recent File List]\n"
    "\"File1\"=\"C:\\\\a.msc\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit]\n"
    "@=\"unnamed\"\n"
    "\"LastKey\"=\"My Computer\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit\\Favorites]\n"
    "\"Run\"=\"My Computer\\\\HKEY_CURRENT_USER\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{75048700-EF1F-11D0-9888-006097DEACF9}\\Count]\n"
    "\"HRZR_EHACNGU\"=hex:01\n"
    "\"HRZR_XRCG\"=hex:01\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\{5E6AB780-7743-11CF-A12B-00AA004AE837}\\Count]\n"
    "\"HRZR_PGYFRFFVBA\"=hex:01\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TrayNotify]\n"
    "\"IconStreams\"=hex:01\n"
    "\"PastIconsStream\"=hex:02\n"
    "\"BalloonTip\"=dword:00000003\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\WorkgroupCrawler\\Shares\\server/music]\n"
    "\"Filename\"=\"\\\\\\\\SERVER\\\\music\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\WorkgroupCrawler\\Shares\\server/kept]\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache]\n"
    "\"LangID\"=hex:09,04\n"
    "\"C:\\\\app.exe\"=\"App\"\n"
    "\"C:\\\\tool.exe\"=hex(2):25,00\n"
    "\"C:\\\\count.exe\"=dword:00000001\n";

const char* const kSystemFiles =
    "C:\\Profile\\SendTo\\Desktop (create shortcut).DeskLink\n"
    "C:\\Profile\\SendTo\\Mail Recipient.MAPIMail\n"
    "C:\\Profile\\SendTo\\My Documents.mydocs\n"
    "C:\\Profile\\SendTo\\Editor.lnk | text=12345\n"
    "C:\\Profile\\SendTo\\locked.lnk | attr=RA | text=x\n"
    "C:\\Profile\\Recent\\a.txt.lnk | text=abc\n"
    "C:\\Profile\\Recent\\Old\\\n"
    "C:\\Profile\\Recent\\Old\\inner.lnk\n"
    "C:\\Profile\\Recent\\kept.lnk\n";

void AddExcludes(TExcludeContents& excludes) {
  auto add = [&excludes](const char* item, const std::string& key, const char* data) {
    excludes.GetItem(excludes.Add()) = {item, key, "", data};
  };
  add("Paint", "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
      "C:\\kept.bmp");
  add("ACDSee History", "HKEY_CURRENT_USER\\Software\\ACD Systems\\ACDSee\\OpenFolder", "OpenFolder");
  add("Windows Explorer Open With History", std::string(kExplorerKey) + "otherFolder", "kept.exe");
  add("Start Menu Click History",
      std::string(kExplorerKey) + "UserAssist\\{75048700-EF1F-11D0-9888-006097DEACF9}\\Count", "HRZR_XRCG");
  add("TrayNotify", std::string(kExplorerKey) + "TrayNotify", "PasticonsStream");
  add("ShareFolder", std::string(kExplorerKey) + "WorkgroupCrawler\\Shares\\server/kept", "");
  add("Recent Files", "C:\\Profile\\Recent\\kept.lnk", "");
}

struct Case {
  Finder finder;
  int node;
  std::vector<std::string> shown;  // Name, else KeyName, of each finding
  int kind;
};

std::string Shown(const TResultContentItem& item) { return item.Name.empty() ? item.KeyName : item.Name; }

void Check(const Case& c, const TExcludeContents& excludes, const char* itemCategory) {
  Found found;
  found.Run(c.finder, c.node, excludes);
  std::vector<std::string> shown;
  for (int i = 0; i < found.results.Count(); ++i) shown.push_back(Shown(found.results.GetItem(i)));
  const std::string& itemName = found.tree.Nodes[c.node].Rec->ItemName;
  EXPECT_EQ(shown, c.shown) << itemName;
  EXPECT_EQ(found.tree.Nodes[c.node].Rec->Count, static_cast<int>(c.shown.size())) << itemName;
  for (int i = 0; i < found.results.Count(); ++i) {
    const TResultContentItem& item = found.results.GetItem(i);
    EXPECT_EQ(item.ItemName, itemName);
    EXPECT_EQ(item.Kind, c.kind) << itemName;
    EXPECT_EQ(item.Section, "Microsoft Windows");
    EXPECT_EQ(item.Filled, 1);
    EXPECT_EQ(item.Checked, 1);
    EXPECT_EQ(found.tree.Nodes[c.node].Rec->CategoryName, itemCategory);
  }
}

// Finding `index` of a finder run without exclusions.
TResultContentItem Scanned(Finder finder, int node, int index) {
  Found found;
  found.Run(finder, node, {});
  return found.results.GetItem(index);
}

class WindowsFindersTest : public PrivacyTest {};

TEST_F(WindowsFindersTest, SoftwareFindersListTheirKeysAndValues) {
  TestMachine m(kSoftware);
  const Case cases[] = {
      // One of three excluded by its data; the machine's own list is not read.
      {ScanPaintHistory, 12, {"File1", "File2"}, 2},
      {ScanWordPadHistory, 13, {"File1"}, 2},
      {ScanMediaPlayerHistory, 14, {"File0"}, 2},
      {ScanFrontPageExpressHistory, 15, {"File1"}, 2},
      {ScanHelpWorkshopHistory, 16, {"File1"}, 2},
      // MRUFlags1 before MRU1, each once; another version is left alone.
      {ScanOfficeHistory, 17, {"1", "1"}, 2},
      {ScanPublisherHistory, 18, {"File1", "File1"}, 2},
      // Every variant found, in key order, counted together.
      {ScanFrontPageHistory, 19, {"Value", "Value", "Web1", "Value", "url1"}, 2},
      {ScanNetmeetingHistory, 20, {"Accessories", "Games"}, 3},
      {ScanMsnMessengerHistory, 21, {"PhoneMRU1"}, 2},
      {ScanMsdnHistory, 22, {"Project1"}, 2},
      {ScanWinRarHistory, 23, {"0", "0"}, 2},
      // Of "directories" only DefDir, ExtractTo and extract, in any case.
      {ScanWinZipHistory, 24, {"extract1", "filemenu1", "defdir", "ExtractTo", "Extract"}, 2},
      {ScanZipMagicHistory, 25, {"1", "1"}, 2},
      {ScanASPackHistory, 26, {"OD_FileName"}, 2},
      // OpenFolder excluded by its name.
      {ScanACDSeeHistory, 27, {"LastFolder"}, 3},
  };
  TExcludeContents excludes;
  AddExcludes(excludes);
  for (const Case& c : cases) Check(c, excludes, "Windows Software");

  const auto flags = Scanned(ScanOfficeHistory, 17, 0);
  EXPECT_EQ(flags.Path, "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\9.0\\Access\\Settings\\MRUFlags1");
  EXPECT_EQ(flags.Data, "");  // not a string
  EXPECT_EQ(Scanned(ScanOfficeHistory, 17, 1).Data, "C:\\db1.mdb");
  const auto aspack = Scanned(ScanASPackHistory, 26, 0);
  EXPECT_EQ(aspack.Data, "C:\\packed.exe");
  EXPECT_EQ(aspack.Path, "HKEY_CURRENT_USER\\Software\\ASPack\\Options");
  const auto group = Scanned(ScanNetmeetingHistory, 20, 0);
  EXPECT_EQ(group.Path, "HKEY_CURRENT_USER\\UNICODE Program Groups");
  EXPECT_EQ(group.KeyName, "");
}

TEST_F(WindowsFindersTest, SystemFindersListTheirKeysValuesAndFolders) {
  TestMachine m(kSystem, kSystemFiles);
  const Case cases[] = {
      {ScanRunHistory, 29, {"a", "MRUList"}, 2},
      // The shell's own targets and an archived read-only file are left out.
      {ScanSendTo, 30, {"Editor.lnk"}, 0},
      {ScanRecentFiles, 31, {"a.txt.lnk", "Old"}, 0},
      {ScanTelnetHistory, 32, {"host1", "LastMachine"}, 3},
      {ScanNetworkPlaces, 33, {"server"}, 3},
      {ScanMapNetworkDriveHistory, 34, {"a"}, 2},
      {ScanOpenWithHistory, 35, {"notepad.exe"}, 3},
      {ScanMmcHistory, 36, {"File1"}, 2},
      {ScanRegeditHistory, 37, {"Favorites"}, 1},
      {ScanStartMenuClickHistory, 38, {"HRZR_EHACNGU"}, 3},
      {ScanStartMenuOrderHistory, 39, {"HRZR_PGYFRFFVBA"}, 1},
      {ScanTrayNotifyHistory, 40, {"IconStreams"}, 1},
      {ScanShareFolders, 41, {"server/music"}, 3},
      // Binary and number values are no names to show.
      {ScanMuiCache, 42, {"C:\\app.exe", "C:\\tool.exe"}, 2},
  };
  TExcludeContents excludes;
  AddExcludes(excludes);
  for (const Case& c : cases) Check(c, excludes, "Windows System");

  const auto sendTo = Scanned(ScanSendTo, 30, 0);
  EXPECT_EQ(sendTo.Path, "C:\\Profile\\SendTo\\Editor.lnk");
  EXPECT_EQ(sendTo.Size, 5);
  EXPECT_EQ(sendTo.EntryType, "File");
  const auto recent = Scanned(ScanRecentFiles, 31, 0);
  EXPECT_EQ(recent.Path, "C:\\Profile\\Recent\\a.txt.lnk");
  EXPECT_EQ(recent.Description, "Clean Windows Recent Documents Files");
  EXPECT_EQ(Scanned(ScanShareFolders, 41, 1).Path, std::string(kExplorerKey) + "WorkgroupCrawler\\Shares\\server/music");
  Found tray;
  tray.Run(ScanTrayNotifyHistory, 40, {});
  EXPECT_EQ(tray.Names(), (std::vector<std::string>{"IconStreams", "PasticonsStream"}));
  const auto regedit = Scanned(ScanRegeditHistory, 37, 0);
  EXPECT_EQ(regedit.Name, "");
  EXPECT_EQ(regedit.Path, "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit");
}

TEST_F(WindowsFindersTest, MissingOrUnsafeShellFoldersGiveNoFindings) {
  for (const char* folder : std::initializer_list<const char*>{nullptr, "", "C:\\\\", "D:", "C:\\\\WINDOWS\\\\", "c:\\\\windows\\\\system32"}) {
    std::string reg = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n";
    if (folder) reg += std::string("\"SendTo\"=\"") + folder + "\"\n\"Recent\"=\"" + folder + "\"\n";
    TestMachine m(reg, "C:\\WINDOWS\\system32\\x.dll\nC:\\WINDOWS\\notepad.exe\nC:\\boot.ini | text=x\n");
    Found found;
    found.Run(ScanSendTo, 30, {});
    found.Run(ScanRecentFiles, 31, {});
    EXPECT_EQ(found.results.Count(), 0) << (folder ? folder : "(none)");
  }
}

TEST_F(WindowsFindersTest, EachFindingExcludedByItsSignatureStaysAwayAtTheNextScan) {
  TestMachine m(std::string(kSoftware) + kSystem, kSystemFiles);
  for (int category : {1, 2}) {
    const auto finders = DefaultFinders(category);
    for (int p = 0; p < kCategoryItemCounts[category]; ++p) {
      if (category == 2 && p == 14) continue;  // the recycle bins hold nothing here
      const int node = kCategoryFirstNode[category] + p;
      const TEvidenceFinder& finder = finders[static_cast<std::size_t>(p)];
      Found first;
      finder(first.tree, node, first.results, {});
      ASSERT_GT(first.results.Count(), 0) << node;
      for (int i = 0; i < first.results.Count(); ++i) {
        const TResultContentItem& excluded = first.results.GetItem(i);
        const TExclusionSignature signature = ExclusionSignature(excluded);
        TExcludeContents excludes;
        excludes.GetItem(excludes.Add()) = {excluded.ItemName, signature.Key, Shown(excluded), signature.Data};
        Found again;
        finder(again.tree, node, again.results, excludes);
        for (int j = 0; j < again.results.Count(); ++j) {
          const TResultContentItem& item = again.results.GetItem(j);
          EXPECT_FALSE(item.Path == excluded.Path && item.Name == excluded.Name &&
                       item.KeyName == excluded.KeyName && item.Data == excluded.Data)
              << excluded.ItemName << " " << Shown(excluded);
        }
        EXPECT_EQ(again.tree.Nodes[node].Rec->Count, again.results.Count());
        EXPECT_LT(again.results.Count(), first.results.Count());
      }
    }
  }
}

bool KeyExists(const std::string& key) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.KeyExists(key);
}

bool ValueExists(const std::string& key, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.OpenKeyReadOnly(key) && registry.ValueExists(name);
}

// Scans both categories with every finder.
void ScanAll(Found& found, const TExcludeContents& excludes) {
  for (int category : {1, 2}) {
    const auto finders = DefaultFinders(category);
    for (std::size_t p = 0; p < finders.size(); ++p)
      finders[p](found.tree, kCategoryFirstNode[category] + static_cast<int>(p), found.results, excludes);
  }
}

TEST_F(WindowsFindersTest, CleaningAllRemovesEveryTraceAndTheRescanFindsNone) {
  TestMachine m(std::string(kSoftware) + kSystem, kSystemFiles);
  Found found;
  ScanAll(found, {});
  ASSERT_GT(found.results.Count(), 40);
  TCleanProgress progress;
  progress.Total = found.results.Count();
  CleanEvidences(found.results, progress);
  std::vector<std::string> left;
  for (int i = 0; i < found.results.Count(); ++i)
    if (found.results.GetItem(i).Cleaned != 1) left.push_back(Shown(found.results.GetItem(i)));
  // A folder is listed as a file: the wipe cannot take it.
  EXPECT_EQ(left, std::vector<std::string>{"Old"});
  Found again;
  ScanAll(again, {});
  EXPECT_EQ(again.Names(), std::vector<std::string>{"Old"});

  // What the findings did not name stays.
  EXPECT_TRUE(ValueExists("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", ""));
  EXPECT_TRUE(ValueExists("Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit", "LastKey"));
  EXPECT_TRUE(ValueExists("Software\\ASPack\\Options", "Compression"));
  EXPECT_TRUE(ValueExists("Software\\Nico Mak Computing\\WinZip\\directories", "AddDir"));
  EXPECT_TRUE(ValueExists("Software\\Microsoft\\Windows\\ShellNoRoam\\MUICache", "LangID"));
  EXPECT_TRUE(ValueExists("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TrayNotify", "BalloonTip"));
  EXPECT_TRUE(KeyExists("Software\\Microsoft\\Office\\10.0\\Access\\Settings\\MRU1"));
  EXPECT_TRUE(win::FileExists("C:\\Profile\\SendTo\\Mail Recipient.MAPIMail"));
  win::TRegistry machine(win::KEY_READ);
  machine.SetRootKey(win::HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(machine.KeyExists("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List"));
}

// The listed keys lose the subkeys and values of their ticked findings only;
// what the finder did not list, or the user left, stays, and a key goes
// once nothing else is left in it.
TEST_F(WindowsFindersTest, SharedKeysLoseOnlyTheEntriesOfTheirTickedFindings) {
  const std::string click = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\"
                            "{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";
  const std::string other = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\otherFolder";
  const std::string telnet = "Software\\Microsoft\\Telnet";
  const std::string groups = "UNICODE Program Groups";
  struct KeyCase {
    const char* what;
    const char* excludeData;  // a Click exclusion of this value name
    const char* untick;       // shown name of a finding to untick
    const char* addedValue;   // written into otherFolder after the scan
    std::vector<std::string> kept;  // shown names of the shared findings left
    std::vector<std::string> keys;  // the listed keys that stay
  };
  const KeyCase cases[] = {
      {"one Click value excluded", "HRZR_XRCG", nullptr, nullptr, {}, {click}},
      {"one Open With value unticked", nullptr, "kept.exe", nullptr, {"kept.exe"}, {other}},
      {"an Open With value added after the scan", nullptr, nullptr, "new.exe", {}, {other}},
      // Deleting LastMachine would take the unticked machine in it.
      {"the machine under LastMachine unticked", nullptr, "server", nullptr, {"LastMachine", "server"},
       {telnet, telnet + "\\LastMachine"}},
      {"one program group unticked", nullptr, "Games", nullptr, {"Games"}, {groups}},
      {"all ticked", nullptr, nullptr, nullptr, {}, {}},
  };
  for (const KeyCase& c : cases) {
    TestMachine m(std::string(kSoftware) + kSystem, kSystemFiles);
    TExcludeContents excludes;
    if (c.excludeData)
      excludes.GetItem(excludes.Add()) = {"Start Menu Click History", "HKEY_CURRENT_USER\\" + click, "", c.excludeData};
    Found found;
    ScanAll(found, excludes);
    for (int i = 0; i < found.results.Count(); ++i)
      if (c.untick && Shown(found.results.GetItem(i)) == c.untick) found.results.GetItem(i).Checked = 0;
    if (c.addedValue) {
      win::TRegistry registry;
      registry.SetRootKey(win::HKEY_CURRENT_USER);
      ASSERT_TRUE(registry.OpenKey(other, false));
      ASSERT_TRUE(registry.WriteString(c.addedValue, "x"));
    }
    TCleanProgress progress;
    CleanEvidences(found.results, progress);
    for (const std::string& key : {click, other, telnet, groups}) {
      const bool stays = std::find(c.keys.begin(), c.keys.end(), key) != c.keys.end();
      EXPECT_EQ(KeyExists(key), stays) << c.what << ": " << key;
    }
    for (int i = 0; i < found.results.Count(); ++i) {
      const TResultContentItem& item = found.results.GetItem(i);
      if (!item.Shared) continue;
      const std::string key = item.Path.substr(std::string("HKEY_CURRENT_USER\\").size());
      const std::string entry = Shown(item);
      const bool kept = std::find(c.kept.begin(), c.kept.end(), entry) != c.kept.end();
      EXPECT_EQ(item.Cleaned, kept ? 0 : 1) << c.what << ": " << entry;
      const bool there = item.Shared->Part == TSharedTarget::TPart::SubKey ? KeyExists(key + "\\" + entry)
                                                                            : ValueExists(key, entry);
      EXPECT_EQ(there, kept) << c.what << ": " << entry;
    }
    if (c.excludeData) {
      EXPECT_TRUE(ValueExists(click, c.excludeData)) << c.what;
    }
    if (c.addedValue) {
      EXPECT_TRUE(ValueExists(other, c.addedValue)) << c.what;
    }
  }
}

// Telnet's own settings are no finding: cleaning its machines keeps them,
// and the key goes only when nothing else is left in it.
TEST_F(WindowsFindersTest, TelnetMachinesGoAloneAndItsSettingsStay) {
  const std::string telnet = "Software\\Microsoft\\Telnet";
  const char* const settings = "\"Term\"=\"vt100\"\n\"LocalEcho\"=dword:00000000\n";
  struct TelnetCase {
    const char* what;
    bool withSettings;
    std::vector<std::string> ticked;
    std::vector<std::string> left;  // machines left
    bool keyLeft;
  };
  const TelnetCase cases[] = {
      {"one machine", true, {"alpha"}, {"beta"}, true},
      {"both machines", true, {"alpha", "beta"}, {}, true},
      {"both machines, no settings", false, {"alpha", "beta"}, {}, false},
      {"none", false, {}, {"alpha", "beta"}, true},
  };
  for (const TelnetCase& c : cases) {
    TestMachine m("[HKEY_CURRENT_USER\\" + telnet + "]\n" + (c.withSettings ? settings : "") + "[HKEY_CURRENT_USER\\" +
                  telnet + "\\alpha]\n\"Port\"=dword:00000017\n[HKEY_CURRENT_USER\\" + telnet + "\\beta]\n");
    Found found;
    found.Run(ScanTelnetHistory, 32);
    ASSERT_EQ(found.Field(&TResultContentItem::KeyName), (std::vector<std::string>{"alpha", "beta"})) << c.what;
    int cleaned = 0;
    for (int i = 0; i < found.results.Count(); ++i) {
      TResultContentItem& item = found.results.GetItem(i);
      item.Checked = std::find(c.ticked.begin(), c.ticked.end(), item.KeyName) != c.ticked.end();
    }
    TCleanProgress progress;
    progress.Total = static_cast<int>(c.ticked.size());
    CleanEvidences(found.results, progress);
    for (int i = 0; i < found.results.Count(); ++i) {
      const TResultContentItem& item = found.results.GetItem(i);
      EXPECT_EQ(item.Cleaned, item.Checked) << c.what << ": " << item.KeyName;
      cleaned += item.Cleaned;
    }
    EXPECT_EQ(progress.Cleaned, cleaned) << c.what;
    for (const char* machine : {"alpha", "beta"}) {
      const bool left = std::find(c.left.begin(), c.left.end(), machine) != c.left.end();
      EXPECT_EQ(KeyExists(telnet + "\\" + machine), left) << c.what << ": " << machine;
    }
    EXPECT_EQ(KeyExists(telnet), c.keyLeft) << c.what;
    EXPECT_EQ(ValueExists(telnet, "Term"), c.withSettings) << c.what;
    EXPECT_EQ(ValueExists(telnet, "LocalEcho"), c.withSettings) << c.what;
  }

  // A machine under LastMachine that the user excluded keeps LastMachine.
  TestMachine m("[HKEY_CURRENT_USER\\" + telnet + "\\alpha]\n[HKEY_CURRENT_USER\\" + telnet + "\\LastMachine\\server]\n");
  TExcludeContents excludes;
  excludes.GetItem(excludes.Add()) = {"My Network Places", "HKEY_CURRENT_USER\\" + telnet + "\\LastMachine", "", ""};
  Found found;
  found.Run(ScanTelnetHistory, 32, excludes).Run(ScanNetworkPlaces, 33, excludes);
  ASSERT_EQ(found.Field(&TResultContentItem::KeyName), (std::vector<std::string>{"alpha", "LastMachine"}));
  TCleanProgress progress;
  CleanEvidences(found.results, progress, {}, &excludes);
  EXPECT_EQ(found.results.GetItem(0).Cleaned, 1);
  EXPECT_EQ(found.results.GetItem(1).Cleaned, 0);
  EXPECT_FALSE(KeyExists(telnet + "\\alpha"));
  EXPECT_TRUE(KeyExists(telnet + "\\LastMachine\\server"));
}

TEST_F(WindowsFindersTest, CancelStopsTheListsAndTheKeysAfterThem) {
  std::string reg = "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
                    "\"Recent\"=\"C:\\\\Recent\"\n";
  std::string files;
  for (const char* key : {"Software\\Nico Mak Computing\\WinZip\\extract", "Software\\Nico Mak Computing\\WinZip\\filemenu",
                          "Software\\Microsoft\\Telnet"}) {
    reg += std::string("[HKEY_CURRENT_USER\\") + key + "]\n";
    for (int i = 0; i < 6; ++i) reg += "\"v" + std::to_string(i) + "\"=\"x\"\n";
  }
  for (int i = 0; i < 6; ++i) {
    reg += "[HKEY_CURRENT_USER\\Software\\Microsoft\\Telnet\\host" + std::to_string(i) + "]\n";
    files += "C:\\Recent\\f" + std::to_string(i) + ".lnk\n";
  }
  TestMachine m(reg, files);
  for (const auto& [finder, node] : std::vector<std::pair<Finder, int>>{
           {ScanWinZipHistory, 24}, {ScanTelnetHistory, 32}, {ScanRecentFiles, 31}}) {
    ScanState = 1;
    int pumped = 0;
    SetProcessMessagesHook([&pumped] {
      if (++pumped == 4) ScanState = 2;
    });
    Found found;
    found.Run(finder, node, {});
    EXPECT_EQ(found.results.Count(), 3) << node;
    EXPECT_EQ(found.tree.Nodes[node].Rec->Count, 3) << node;
  }
}

}  // namespace
}  // namespace privacy_test
