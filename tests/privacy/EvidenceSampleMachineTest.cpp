// The Evidence Cleaner end to end on the sample machine: the default scan
// finds what the table below expects of each item, "Clean" removes exactly
// the cleaned findings' values, keys, cache entries and files, a rescan
// finds nothing of them, and what the cleaner must leave alone stays; an
// exclusion of one finding of every item keeps out exactly what it names.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "PrivacyFixture.h"
#include "SampleMachineCopy.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/registry/RegFile.h"
#include "platform/text/TextCodec.h"
#include "platform/registry/Registry.h"
#include "platform/shell/UrlCache.h"
#include "privacy/ExclusionSignatureUnit.h"
#include "regclean/SectionContractUnit.h"

namespace privacy_test {
namespace {

// What the default scan finds of each item on the sample machine. Items
// without a row are left unticked by these tests; add a row when an item's
// finder finds things on the sample machine. A count of 0 for an item that
// is ticked by default means the sample machine holds none of its traces;
// "Favorites" is not ticked by default.
struct ItemCount {
  const char* item;
  int count;
  int kept = 0;  // folders listed as files: no wipe removes them
};
const ItemCount kDefaultScan[] = {
    {"Cache", 9},  // five files, two whose file is gone, two history entries
    {"Address Bar History", 4},
    {"Cookies", 3},
    {"Favorites", 0},
    {"Favorites Export File", 1},
    {"Favorites Import Folder", 1},
    {"AutoCompleteData", 2},
    {"Download Directory", 1},
    {"Save Directory", 1},
    {"Paint", 2},
    {"WordPad", 2},
    {"Media Player History_List", 3},
    {"Microsoft Frontpage Express", 1},
    {"Microsoft Help Workshop", 1},
    {"Microsoft Office", 2},
    {"Microsoft Publisher", 1},
    {"Microsoft FrontPage", 4},  // two "File Name MRU" variants, the web list and the URLs
    {"Microsoft Netmeeting", 2},
    {"Microsoft MSN_Messenger", 2},
    {"MSDN Project MRU_List", 1},
    {"WinRAR History", 2},
    {"WinZip History", 5},  // extract, filemenu and three of the five "directories"
    {"ZipMagic History", 2},
    {"ASPack History", 1},
    {"ACDSee History", 2},
    {"Run History", 6},
    {"Windows Send To", 1},  // not the shell's own three targets
    {"Recent Files", 4},
    {"Telnet Menu History", 3},  // two machines and "LastMachine"
    {"My Network Places", 1},
    {"Map Network Drive History", 3},
    {"Windows Explorer Open With History", 2},
    {"Microsoft Management Console MRU List", 4},
    {"Regedit32 History", 1},
    {"Start Menu Click History", 3},
    {"Start Menu Order History", 2},
    {"TrayNotify", 2},
    {"ShareFolder", 2},
    {"Exe MUICache", 8},  // not the binary "LangID"
    {"RecycleBin", 3},  // Dc1.txt, Dc2.jpg and the folder Dc3
    {"Real DownLoad", 3},  // two of the user's, one of HKEY_LOCAL_MACHINE\.default
    {"GetRight", 3},
    {"DownloadAccelerator", 3},
    {"KazaaHistory", 3},
    {"FireFoxHistory", 3},
    {"FireFoxCookies", 2},
    {"FireFoxCache", 4, 1},  // three files and the folder 0C
    {"NetscapeHistory", 2},
    {"NetscapeCookies", 2},
    {"NetscapeCache", 3, 1},  // two files and the folder 03
};

// The one machine-wide key a finder reads and cleans.
const char* const kRealDownloadMachineKey = "HKEY_LOCAL_MACHINE\\.DEFAULT\\SOFTWARE\\REALNETWORKS\\REALDOWNLOAD";

const std::string kOwner = "C:\\Documents and Settings\\Owner\\";

// Registry values as "key path" -> upper-cased value name -> type and data,
// and every key.
struct RegistryImage {
  std::set<std::string> keys;
  std::map<std::pair<std::string, std::string>, std::pair<win::DWORD, std::vector<std::uint8_t>>> values;
};

// Upper-cased, with the current user's key under its HKEY_CURRENT_USER name,
// as the findings name it.
std::string Upper(const std::string& path) {
  std::string upper = win::UpperName(path);
  const std::string user = win::UpperName("HKEY_USERS\\" + win::CurrentMachine()->Config().userSid);
  if (upper == user || upper.rfind(user + "\\", 0) == 0) upper = "HKEY_CURRENT_USER" + upper.substr(user.size());
  return upper;
}

RegistryImage ReadRegistry() {
  RegistryImage image;
  win::RegFileContent content;
  std::string error;
  EXPECT_TRUE(win::ReadRegistryTree(win::CurrentMachine()->Registry(), "", content, error)) << error;
  for (const auto& key : content.keys) {
    image.keys.insert(Upper(key.path));
    for (const auto& value : key.values)
      image.values[{Upper(key.path), win::UpperName(value.name)}] = {value.type, value.data};
  }
  return image;
}

// Host files and folders below a Windows folder of drive C:, with contents.
std::map<std::string, std::string> HostTree(const std::string& windowsFolder) {
  std::map<std::string, std::string> tree;
  std::string relative = windowsFolder.substr(3);
  for (char& c : relative)
    if (c == '\\') c = '/';
  const std::filesystem::path root = win::CurrentMachine()->DriveFolder('C') + "/" + relative;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().lexically_relative(root).string();
    if (it->is_directory(ec)) {
      tree[name + "/"] = "";
    } else {
      std::ifstream in(it->path(), std::ios::binary);
      tree[name] = std::string(std::istreambuf_iterator<char>(in), {});
    }
  }
  return tree;
}

// Windows paths that must stay as they are.
const char* const kLeftAloneFiles[] = {
    "Local Settings\\Temporary Internet Files\\Content.IE5\\desktop.ini",
    "Local Settings\\Temporary Internet Files\\Content.IE5\\index.dat",
    "Local Settings\\History\\desktop.ini",
    "Local Settings\\History\\History.IE5\\index.dat",
    "Cookies\\index.dat",
    "Favorites\\Links\\Customize Links.url",
    "Favorites\\Media\\Radio Station Guide.url",
    "Favorites\\Harbor Tone.url",
    "SendTo\\Desktop (create shortcut).DeskLink",
    "SendTo\\Mail Recipient.MAPIMail",
    "SendTo\\My Documents.mydocs",
    "Local Settings\\Application Data\\Harbor Tone\\TuneBox\\Cache\\cover0001.jpg",
    "Application Data\\Inkwell\\PageWriter\\Cache\\page0001.bin",
    "Application Data\\Mozilla\\Firefox\\profiles.ini",
    "Application Data\\Mozilla\\Firefox\\Profiles\\k3x9q2ab.default\\prefs.js",
};
const char* const kLeftAloneTrees[] = {
    "C:\\Documents and Settings\\Owner\\Local Settings\\Temp",
    "C:\\Documents and Settings\\Owner\\My Documents",
    "C:\\Documents and Settings\\Owner\\Favorites\\Links",
    "C:\\Documents and Settings\\Owner\\Favorites\\Media",
};

class EvidenceSampleMachineTest : public PrivacyTest {
 protected:
  void SetUp() override {
    PrivacyTest::SetUp();
    ASSERT_TRUE(sample.Ready());
    cleaner.SetView(&view);
    cleaner.FormShow();
  }

  // Ticks exactly the items for which wanted(item name) holds.
  template <typename Wanted>
  void TickItems(Wanted wanted) {
    for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
      const TEvidenceNode& n = cleaner.CheckTree.Nodes[node];
      if (n.Level == 2 && (n.StateIndex == kStateTicked) != wanted(n.Rec->ItemName))
        cleaner.CheckNodeStateClick(node);
    }
  }
  // The items of the table, as ticked by default.
  void TickTableItems() {
    TickItems([](const std::string& item) {
      for (const ItemCount& row : kDefaultScan)
        if (item == row.item) return item != "Favorites";
      return false;
    });
  }

  int ItemCountOf(const std::string& item) const {
    for (const TEvidenceNode& n : cleaner.CheckTree.Nodes)
      if (n.Level == 2 && n.Rec->ItemName == item) return n.Rec->Count;
    return -1;
  }

  SampleMachineCopy sample;
  ScriptedDialogs dialogs;
  TEvidenceCleaner cleaner;
  RecordingView view;
};

TEST_F(EvidenceSampleMachineTest, DefaultScanCleanAndRescan) {
  TickTableItems();
  cleaner.ScanNowBtnClick();
  int total = 0;
  int kept = 0;
  for (const ItemCount& row : kDefaultScan) {
    EXPECT_EQ(ItemCountOf(row.item), row.count) << row.item;
    total += row.count;
    kept += row.kept;
  }
  EXPECT_EQ(cleaner.FoundCount, total);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, total);

  const RegistryImage before = ReadRegistry();
  std::map<std::string, std::map<std::string, std::string>> treesBefore;
  for (const char* folder : kLeftAloneTrees) treesBefore[folder] = HostTree(folder);
  std::map<std::string, std::string> recycledBefore = HostTree("C:\\Recycled");

  cleaner.CleanBtnClick();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text,
            std::to_string(kept) + " of " + std::to_string(total) + " evidences could not be cleaned.");

  // Every ticked finding but the folders listed as files was cleaned; the
  // registry lost exactly the cleaned values and the keys of the cleaned key
  // findings.
  std::set<std::pair<std::string, std::string>> goneValues;
  std::vector<std::string> goneKeys;
  std::vector<TResultContentItem> cleaned;
  for (const auto& results : cleaner.Results) {
    for (std::int32_t i = 0; i < results.Count(); ++i) {
      const TResultContentItem& f = results.GetItem(i);
      const bool folder = f.EntryType == "File" && win::DirectoryExists(f.Path);
      EXPECT_EQ(f.Cleaned, folder ? 0 : 1) << f.ItemName << " " << f.Name << " " << f.Path;
      if (f.Cleaned != 1) continue;
      cleaned.push_back(f);
      if (f.EntryType != "Reg") continue;
      if (f.Kind == kKindKey) goneKeys.push_back(Upper(f.Path));
      else if (f.Kind == kKindValue && !f.KeyName.empty()) goneKeys.push_back(Upper(f.Path + "\\" + f.KeyName));
      else goneValues.insert({Upper(f.Path), win::UpperName(f.Name)});
    }
  }
  const auto underGoneKey = [&](const std::string& key) {
    for (const std::string& gone : goneKeys)
      if (key == gone || key.rfind(gone + "\\", 0) == 0) return true;
    return false;
  };
  const RegistryImage after = ReadRegistry();
  for (const auto& [id, value] : before.values) {
    const bool removed = goneValues.count(id) > 0 || underGoneKey(id.first);
    const auto now = after.values.find(id);
    EXPECT_EQ(now == after.values.end(), removed) << id.first << " " << id.second;
    if (!removed && now != after.values.end()) {
      EXPECT_TRUE(now->second == value) << id.first << " " << id.second;
    }
    EXPECT_NE(id.first.rfind("HKEY_LOCAL_MACHINE", 0) == 0 && id.first != kRealDownloadMachineKey && removed, true)
        << id.first;
  }
  for (const auto& [id, value] : after.values) EXPECT_TRUE(before.values.count(id)) << id.first << " " << id.second;
  for (const std::string& key : before.keys) EXPECT_EQ(after.keys.count(key) == 0, underGoneKey(key)) << key;
  {
    win::TRegistry registry(win::KEY_READ);
    ASSERT_TRUE(registry.OpenKeyReadOnly("Software\\Microsoft\\Internet Explorer\\Main"));
    EXPECT_EQ(registry.ReadString("Start Page").value_or(""), "http://home.hijack.example/");
    EXPECT_EQ(registry.ReadString("Search Page").value_or(""), "http://search.example.com/");
  }

  // Files: the cache's own files, the bins' own files, Favorites' subfolders,
  // Temp and My Documents stay.
  for (const char* file : kLeftAloneFiles) EXPECT_TRUE(win::FileExists(kOwner + file)) << file;
  for (const char* folder : kLeftAloneTrees) EXPECT_EQ(HostTree(folder), treesBefore[folder]) << folder;
  const std::map<std::string, std::string> recycledAfter = HostTree("C:\\Recycled");
  EXPECT_EQ(recycledAfter.size(), 2u);
  EXPECT_EQ(recycledAfter.at("INFO2"), recycledBefore.at("INFO2"));
  EXPECT_EQ(recycledAfter.at("desktop.ini"), recycledBefore.at("desktop.ini"));
  EXPECT_TRUE(win::UrlCacheEntryExists("http://www.example.com/sticky.htm"));
  for (const TResultContentItem& f : cleaned) {
    if (f.Kind == kKindUrlCache || f.Kind == kKindUrlCookie) {
      EXPECT_FALSE(win::UrlCacheEntryExists(f.Name)) << f.Name;
      if (!f.Path.empty()) {
        EXPECT_FALSE(win::FileExists(f.Path)) << f.Path;
      }
    } else if (f.EntryType == "File") {
      EXPECT_EQ(win::GetFileAttributes(f.Path), win::INVALID_FILE_ATTRIBUTES) << f.Path;
    }
  }

  // Finish, then a rescan finds nothing of what was cleaned.
  cleaner.FinishBtnClick();
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, kept);
  TickTableItems();
  cleaner.ScanNowBtnClick();
  for (const ItemCount& row : kDefaultScan) EXPECT_EQ(ItemCountOf(row.item), row.kept) << row.item;
  for (const auto& results : cleaner.Results) {
    for (std::int32_t i = 0; i < results.Count(); ++i) {
      const TResultContentItem& f = results.GetItem(i);
      for (const TResultContentItem& c : cleaned) {
        EXPECT_FALSE(c.ItemName == f.ItemName && c.Name == f.Name && c.Path == f.Path && c.Data == f.Data &&
                     c.KeyName == f.KeyName)
            << f.ItemName << " " << f.Name << " " << f.Path;
      }
    }
  }
}

TEST_F(EvidenceSampleMachineTest, FavoritesTickedListsTheFolderItselfButNotItsSubfoldersContents) {
  TickItems([](const std::string& item) { return item == "Favorites"; });
  cleaner.ScanNowBtnClick();
  std::set<std::string> names;
  for (std::int32_t i = 0; i < cleaner.Results[0].Count(); ++i) names.insert(cleaner.Results[0].GetItem(i).Name);
  // desktop.ini is hidden and system, "Harbor Tone.url" archived and read-only.
  EXPECT_EQ(names, (std::set<std::string>{"bookmark.htm", "Links", "Media", "MSN.com.url", "Weather.url"}));
  const std::map<std::string, std::string> links = HostTree(kOwner + "Favorites\\Links");
  cleaner.CleanBtnClick();
  // The two subfolders are no files to wipe: they stay, and say so.
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "2 of 5 evidences could not be cleaned.");
  EXPECT_FALSE(win::FileExists(kOwner + "Favorites\\bookmark.htm"));
  EXPECT_TRUE(win::FileExists(kOwner + "Favorites\\Harbor Tone.url"));
  EXPECT_TRUE(win::FileExists(kOwner + "Favorites\\desktop.ini"));
  EXPECT_EQ(HostTree(kOwner + "Favorites\\Links"), links);
}

// Everything a finding shows, to tell findings apart across scans.
using FindingId = std::vector<std::string>;
FindingId IdOf(const TResultContentItem& f) {
  return {f.ItemName,   std::to_string(f.Kind), f.Name,        f.KeyName,       f.Data,
          f.Path,       f.FirefoxUrl,           f.FirefoxCookie, f.FirefoxCacheFile, f.NetscapeUrl,
          f.NetscapeCookie, f.NetscapeCacheFile};
}

int FindingsIn(const TEvidenceCleaner& cleaner) {
  int count = 0;
  for (const auto& results : cleaner.Results) count += results.Count();
  return count;
}

bool UserKeyHas(const std::string& path, const std::string& value) {
  win::HKEY root = 0;
  std::string subKey;
  if (!regclean::SplitFullKeyPath(path, root, subKey)) return false;
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(root);
  return registry.OpenKeyReadOnly(subKey) && (value.empty() || registry.ValueExists(value));
}

// Whether what a finding names is still on the machine.
bool OnMachine(const TResultContentItem& f) {
  if (f.Kind == kKindUrlCache || f.Kind == kKindUrlCookie) return win::UrlCacheEntryExists(f.Name);
  if (f.EntryType == "File") return win::GetFileAttributes(f.Path) != win::INVALID_FILE_ATTRIBUTES;
  if (f.Kind == kKindValue && !f.KeyName.empty()) return UserKeyHas(f.Path + "\\" + f.KeyName, "");
  if (f.Shared && f.Shared->Part == TSharedTarget::TPart::SubKey) return UserKeyHas(f.Path + "\\" + f.KeyName, "");
  if (f.Shared && f.Shared->Part == TSharedTarget::TPart::Value) return UserKeyHas(f.Path, f.*f.Shared->Entry);
  if (f.Kind == kKindKey) return UserKeyHas(f.Path, "");
  return UserKeyHas(f.Path, f.Name);
}

std::string Trimmed(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') --last;
  return text.substr(first, last - first);
}

// One finding of every item is excluded, from the root, the category and the
// item view in turn; the next scan leaves out exactly the findings that
// share an excluded finding's item and signature, and counts the rest.
TEST_F(EvidenceSampleMachineTest, AnExcludedFindingOfEveryItemStaysAwayAndNothingElseDoes) {
  TickItems([](const std::string&) { return true; });
  cleaner.ScanNowBtnClick();
  std::multiset<FindingId> before;
  for (const auto& results : cleaner.Results)
    for (std::int32_t i = 0; i < results.Count(); ++i) before.insert(IdOf(results.GetItem(i)));

  std::vector<std::tuple<std::string, std::string, std::string>> excluded;  // item, key, data
  std::vector<TResultContentItem> kept;  // the excluded findings
  int turn = 0;
  for (int node = 0; node < cleaner.CheckTree.Count(); ++node) {
    const TEvidenceNode& n = cleaner.CheckTree.Nodes[node];
    if (n.Level != 2 || n.Rec->Count < 1) continue;
    // The result-tree node of the root, the item's category or the item.
    const int wanted = turn % 3 == 0 ? 0 : turn % 3 == 1 ? n.Parent : node;
    ++turn;
    int resultNode = -1;
    for (std::size_t i = 0; i < cleaner.ResultNodes.size(); ++i)
      if (cleaner.ResultNodes[i] == wanted) resultNode = static_cast<int>(i);
    ASSERT_GE(resultNode, 0) << n.Rec->ItemName;
    cleaner.ResultTreeViewChange(resultNode);
    const TEvidenceItemInfo& info = *EvidenceItemInfo(n.Rec->Category, n.Rec->Index);
    int row = -1;
    for (std::size_t r = 0; r < cleaner.ResultRows.size(); ++r) {
      const TResultContentItem& f = *cleaner.ResultRows[r].Finding;
      const bool ofItem = info.Kind >= 0 ? f.Kind == info.Kind && f.Description.empty() : f.Description == info.Description;
      if (ofItem) row = static_cast<int>(r);  // the item's last finding
    }
    ASSERT_GE(row, 0) << n.Rec->ItemName;
    const TResultContentItem& f = *cleaner.ResultRows[static_cast<std::size_t>(row)].Finding;
    const TExclusionSignature signature = ExclusionSignature(f);
    excluded.emplace_back(f.ItemName, signature.Key, Trimmed(signature.Data));
    kept.push_back(f);
    const int found = cleaner.FoundCount;
    cleaner.Exclude1Click(row);
    EXPECT_EQ(cleaner.FoundCount, found - 1) << n.Rec->ItemName;
    EXPECT_EQ(cleaner.FoundCount, FindingsIn(cleaner)) << n.Rec->ItemName;
    EXPECT_EQ(n.Rec->Count, [&] {
      TSectionRec counted;
      cleaner.CountItemResults(n.Rec->Category, n.Rec->Index, counted);
      return counted.Count;
    }()) << n.Rec->ItemName;
  }
  ASSERT_GT(turn, 40);
  EXPECT_TRUE(dialogs.messages().empty());

  TEvidenceCleaner next;
  RecordingView nextView;
  next.SetView(&nextView);
  next.FormShow();
  for (int node = 0; node < next.CheckTree.Count(); ++node)
    if (next.CheckTree.Nodes[node].Level == 2 && next.CheckTree.Nodes[node].StateIndex != kStateTicked)
      next.CheckNodeStateClick(node);
  next.ScanNowBtnClick();
  std::multiset<FindingId> after;
  for (const auto& results : next.Results)
    for (std::int32_t i = 0; i < results.Count(); ++i) after.insert(IdOf(results.GetItem(i)));
  // Expected: every finding of the first scan unless an exclusion covers it.
  std::multiset<FindingId> expected;
  for (const FindingId& id : before) {
    TResultContentItem f;
    f.ItemName = id[0];
    f.Kind = std::stoi(id[1]);
    f.Name = id[2];
    f.KeyName = id[3];
    f.Data = id[4];
    f.Path = id[5];
    const TExclusionSignature signature = ExclusionSignature(f);
    const auto key = std::make_tuple(f.ItemName, signature.Key, Trimmed(signature.Data));
    if (std::find(excluded.begin(), excluded.end(), key) == excluded.end()) expected.insert(id);
  }
  EXPECT_EQ(after.size(), expected.size());
  EXPECT_LE(expected.size() + excluded.size(), before.size());  // each exclusion keeps at least its own finding away
  EXPECT_EQ(next.ExcludeList.Count(), turn);
  for (const FindingId& id : expected)
    if (!after.count(id)) ADD_FAILURE() << "missing " << id[0] << " " << id[2] << " " << id[5];
  for (const FindingId& id : after)
    if (!expected.count(id)) ADD_FAILURE() << "not excluded " << id[0] << " " << id[2] << " " << id[4] << " " << id[5];
  int total = 0;
  for (int node = 0; node < next.CheckTree.Count(); ++node) {
    const TEvidenceNode& n = next.CheckTree.Nodes[node];
    if (n.Level != 2) continue;
    TSectionRec counted;
    next.CountItemResults(n.Rec->Category, n.Rec->Index, counted);
    EXPECT_EQ(n.Rec->Count, counted.Count) << n.Rec->ItemName;
    total += n.Rec->Count;
  }
  EXPECT_EQ(next.CheckTree.Nodes[0].Rec->Count, total);
  EXPECT_EQ(next.FoundCount, static_cast<int>(after.size()));

  // A Clean of everything else left in the first results keeps every
  // excluded finding on the machine.
  for (const TResultContentItem& f : kept) {
    for (const auto& results : cleaner.Results)
      for (std::int32_t i = 0; i < results.Count(); ++i)
        EXPECT_NE(IdOf(results.GetItem(i)), IdOf(f)) << "still listed: " << f.ItemName << " " << f.Name;
  }
  cleaner.CleanBtnClick();
  for (const TResultContentItem& f : kept) EXPECT_TRUE(OnMachine(f)) << "cleaned: " << f.ItemName << " " << f.Name << " " << f.Path;
}

}  // namespace
}  // namespace privacy_test
