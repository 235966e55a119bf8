// The exclusion list: the file's lines read and written byte for byte,
// "Exclude" on result rows from every view, the exclusion page with Modify
// and Remove, and the warning when the file cannot be written.

#include <set>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "platform/registry/Registry.h"
#include "privacy/ExclusionSignatureUnit.h"

namespace privacy_test {
namespace {

const std::string kFile = "C:\\Program Files\\Fernwick\\Exclude1Items.est";
const char* const kTyped = "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs";

std::string FileText() {
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(kFile, bytes)) return "(none)";
  return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& text) {
  ASSERT_TRUE(win::WriteFileBytes(kFile, std::vector<std::uint8_t>(text.begin(), text.end())));
}

using Entry = std::array<std::string, 4>;

Entry Fields(const TExcludeContentItem& e) { return {e.ItemName, e.Key, e.ValueName, e.Data}; }

std::vector<Entry> Entries(const TExcludeContents& list) {
  std::vector<Entry> entries;
  for (std::int32_t i = 0; i < list.Count(); ++i) entries.push_back(Fields(list.GetItem(i)));
  return entries;
}

class ExclusionListTest : public PrivacyTest {};

TEST_F(ExclusionListTest, LinesSplitAtEachSeparatorAfterThePreviousOne) {
  const std::pair<const char*, Entry> cases[] = {
      {"Cache|http://x/a.htm!<", {"Cache", "http://x/a.htm", "", ""}},
      {"Run History|HKEY_CURRENT_USER\\RunMRU!a<notepad", {"Run History", "HKEY_CURRENT_USER\\RunMRU", "a", "notepad"}},
      // A key holding "!" is cut there, as it always was.
      {"Paint|HKEY_CURRENT_USER\\A!B!c<d", {"Paint", "HKEY_CURRENT_USER\\A", "B!c", "d"}},
      {"A|k<d", {"A", "k<d", "", ""}},
      {"Cache|http://x", {"Cache", "http://x", "", ""}},
      {"Cache", {"Cache", "", "", ""}},
      {"|!<", {"", "", "", ""}},
      {"Paint|k!v<d<e", {"Paint", "k", "v", "d<e"}},
      {"Paint|k!v< d  ", {"Paint", "k", "v", " d  "}},  // blanks stay
      {"<a!b|c", {"<a!b", "c", "", ""}},
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(Fields(ParseExclusionLine(line)), expected) << line;
}

TEST_F(ExclusionListTest, LoadSkipsBlankLinesAndTakesEveryLineEnding) {
  TestMachine m("", "C:\\Program Files\\Fernwick\\\n");
  WriteText(std::string("Cache|u1!<\r\n\r\n   \t\r\nCookies|u2!<\nPaint|k!v<d \rA|k<d\r\n") + std::string(1, '\0') +
            "\r\nRun History|k2!n<x");
  TExcludeContents list;
  TExclusionFile(kFile).Load(list);
  EXPECT_EQ(Entries(list), (std::vector<Entry>{{"Cache", "u1", "", ""},
                                               {"Cookies", "u2", "", ""},
                                               {"Paint", "k", "v", "d "},
                                               {"A", "k<d", "", ""},
                                               {"Run History", "k2", "n", "x"}}));
  // A missing file is an empty list.
  ASSERT_TRUE(win::DeleteFile(kFile));
  TExclusionFile(kFile).Load(list);
  EXPECT_EQ(list.Count(), 0);
}

// Lines that differ only in bytes code page 1252 leaves undefined are told
// apart, and the one not removed stays byte for byte.
TEST_F(ExclusionListTest, RemovingALineKeepsTheOthersOfThe1252UndefinedBytes) {
  TestMachine m("", "C:\\Program Files\\Fernwick\\\n");
  WriteText("Cache|a\x81!<\r\nCache|a\x8D!<\r\n");
  TExcludeContents list;
  TExclusionFile(kFile).Load(list);
  ASSERT_EQ(list.Count(), 2);
  // Asked at a place that now holds the other line, the line of the entry goes.
  ASSERT_TRUE(TExclusionFile(kFile).Remove(0, list.GetItem(1)));
  EXPECT_EQ(FileText(), "Cache|a\x81!<\r\n");
}

TEST_F(ExclusionListTest, AppendsWriteExactBytesOnceAndMendAMissingLineBreak) {
  TestMachine m("", "C:\\Program Files\\Fernwick\\\n");
  TEvidenceCleaner cleaner;
  EXPECT_TRUE(cleaner.AddExclusion({"Cache", "http://x/", "", ""}));
  EXPECT_EQ(FileText(), "Cache|http://x/!<\r\n");
  EXPECT_TRUE(cleaner.AddExclusion({"Cache", "http://x/", "", ""}));  // already there
  EXPECT_TRUE(cleaner.AddExclusion({"Paint", "HKEY_CURRENT_USER\\P", "File1", "C:\\a b.bmp "}));
  EXPECT_EQ(FileText(), "Cache|http://x/!<\r\nPaint|HKEY_CURRENT_USER\\P!File1<C:\\a b.bmp \r\n");
  EXPECT_EQ(cleaner.ExcludeList.Count(), 2);

  WriteText("Paint|k!v<d");
  cleaner.LoadExclusions();
  EXPECT_TRUE(cleaner.AddExclusion({"Cookies", "Cookie:owner@x/", "", ""}));
  EXPECT_EQ(FileText(), "Paint|k!v<d\r\nCookies|Cookie:owner@x/!<\r\n");
  WriteText("Paint|k!v<d\n");
  cleaner.LoadExclusions();
  EXPECT_TRUE(cleaner.AddExclusion({"Cookies", "c", "", ""}));
  EXPECT_EQ(FileText(), "Paint|k!v<d\n\r\nCookies|c!<\r\n");
  // Texts the code page cannot hold, or a line break inside a field, are not
  // written at all.
  EXPECT_FALSE(cleaner.AddExclusion({"Paint", "HKEY_CURRENT_USER\\\xE4\xB8\xAD", "", ""}));
  EXPECT_FALSE(cleaner.AddExclusion({"Run History", "k", "a", "two\r\nlines"}));
  EXPECT_EQ(FileText(), "Paint|k!v<d\n\r\nCookies|c!<\r\n");
  EXPECT_EQ(cleaner.ExcludeList.Count(), 2);
}

// A view that answers the exclusion dialog from a queue.
class DialogView : public RecordingView {
 public:
  std::vector<std::string> answers;
  std::vector<std::pair<std::string, int>> asked;
  std::vector<std::string> shown;
  bool AskExcludeText(const std::string& title, int item, std::string& text) override {
    asked.emplace_back(title, item);
    shown.push_back(text);
    if (answers.empty()) return false;
    text = answers.front();
    answers.erase(answers.begin());
    return true;
  }
};

TEST_F(ExclusionListTest, ModifyAndRemoveActOnTheRowsOwnEntryAndLeaveOtherLinesAlone) {
  TestMachine m("", "C:\\Program Files\\Fernwick\\\n");
  const std::string head = "Cache|same!<\n\n  \r\nPaint|k!v<d\r";
  WriteText(head + "Address Bar History|" + kTyped + "!url1<same\r\nCache|same!<\r\nGetRight|g!<");
  TEvidenceCleaner cleaner;
  DialogView view;
  cleaner.SetView(&view);
  cleaner.FormShow();
  cleaner.ExcludeBtnClick();
  ASSERT_EQ(cleaner.ExcludeRows.size(), 5u);
  EXPECT_EQ(cleaner.ExcludeCounts[0], 5);
  EXPECT_EQ(cleaner.ExcludeCounts[1], 3);   // Internet Explorer
  EXPECT_EQ(cleaner.ExcludeCounts[2], 2);   // Cache
  EXPECT_EQ(cleaner.ExcludeCounts[11], 1);  // Windows Software
  EXPECT_EQ(cleaner.ExcludeCounts[46], 1);  // GetRight

  // The second "Cache" entry, shown as "same" like the first one.
  cleaner.tvExcludeChange(2);
  ASSERT_EQ(cleaner.ExcludeRows.size(), 2u);
  view.answers = {"http://changed/"};
  cleaner.ModifyBtnClick(1);
  EXPECT_EQ(view.asked.back(), std::make_pair(std::string("Modify Exclude Item"), -1));
  EXPECT_EQ(view.shown.back(), "same");
  EXPECT_EQ(FileText(), head + "Address Bar History|" + kTyped + "!url1<same\r\nCache|http://changed/!<\r\nGetRight|g!<");
  EXPECT_EQ(cleaner.ExcludeRowText(1), "http://changed/");
  EXPECT_EQ(cleaner.ExcludeRowText(0), "same");

  // An address-bar entry shows and changes its data; the dialog offers its item.
  cleaner.tvExcludeChange(3);
  ASSERT_EQ(cleaner.ExcludeRows.size(), 1u);
  view.answers = {"other"};
  cleaner.ModifyBtnClick(0);
  EXPECT_EQ(view.asked.back().second, 0);
  EXPECT_EQ(FileText(), head + "Address Bar History|" + kTyped + "!url1<other\r\nCache|http://changed/!<\r\nGetRight|g!<");
  cleaner.ModifyBtnClick(0);  // Cancel: nothing changes
  EXPECT_EQ(FileText(), head + "Address Bar History|" + kTyped + "!url1<other\r\nCache|http://changed/!<\r\nGetRight|g!<");

  cleaner.RemoveBtnClick(0);
  EXPECT_EQ(FileText(), head + "Cache|http://changed/!<\r\nGetRight|g!<");
  EXPECT_TRUE(cleaner.ExcludeRows.empty());
  EXPECT_EQ(cleaner.ExcludeCounts[3], 0);
  EXPECT_EQ(cleaner.ExcludeCounts[0], 4);

  // Reopened, every entry has all four parts.
  TEvidenceCleaner again;
  again.FormShow();
  EXPECT_EQ(Entries(again.ExcludeList), (std::vector<Entry>{{"Cache", "same", "", ""},
                                                             {"Paint", "k", "v", "d"},
                                                             {"Cache", "http://changed/", "", ""},
                                                             {"GetRight", "g", "", ""}}));
  // The check tree's counts are not the exclusion counts.
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 0);
}

TEST_F(ExclusionListTest, AFailedWriteWarnsAndChangesNothing) {
  TestMachine m("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\n\"url1\"=\"http://a/\"\n",
                "C:\\Program Files\\Fernwick\\Exclude1Items.est | attr=R | text=Cache|a!<\\r\\n\n");
  ScriptedDialogs dialogs;
  TEvidenceCleaner cleaner;
  DialogView view;
  cleaner.SetView(&view);
  cleaner.FormShow();
  cleaner.ScanNowBtnClick();
  ASSERT_EQ(cleaner.ResultRows.size(), 1u);
  cleaner.Exclude1Click(0);  // a read-only file
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "The exclusion list could not be saved.");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_OK | MB_ICONWARNING);
  EXPECT_EQ(cleaner.ResultRows.size(), 1u);
  EXPECT_EQ(cleaner.Results[0].Count(), 1);
  EXPECT_EQ(Entries(cleaner.ExcludeList), (std::vector<Entry>{{"Cache", "a", "", ""}}));
  EXPECT_EQ(cleaner.CheckTree.Nodes[3].Rec->Count, 1);
  EXPECT_EQ(FileText(), "Cache|a!<\r\n");
  cleaner.ExcludeBtnClick();
  ASSERT_EQ(cleaner.ExcludeRows.size(), 1u);
  cleaner.RemoveBtnClick(0);
  EXPECT_EQ(FileText(), "Cache|a!<\r\n");
  EXPECT_EQ(dialogs.messages().size(), 2u);

  // An entry whose line is gone from the file stays as it was.
  ASSERT_TRUE(win::SetFileAttributes(kFile, win::FILE_ATTRIBUTE_NORMAL));
  WriteText("Cache|b!<\r\n");
  cleaner.RemoveBtnClick(0);
  view.answers = {"c"};
  cleaner.ModifyBtnClick(0);
  EXPECT_EQ(dialogs.messages().size(), 4u);
  EXPECT_EQ(dialogs.messages().back().text, "The exclusion list could not be saved.");
  EXPECT_EQ(FileText(), "Cache|b!<\r\n");
  EXPECT_EQ(Entries(cleaner.ExcludeList), (std::vector<Entry>{{"Cache", "a", "", ""}}));
  EXPECT_EQ(cleaner.ExcludeRows.size(), 1u);
}

TEST_F(ExclusionListTest, SignatureIsWhatEachFinderCompares) {
  struct Case {
    const char* item;
    int kind;
    const char* name;
    const char* keyName;
    const char* data;
    std::string key;
    std::string expectedData;
  };
  const Case cases[] = {
      {"Cache", 10, "http://u/", "", "", "http://u/", ""},
      {"Cookies", 11, "Cookie:o@u/", "", "", "Cookie:o@u/", ""},
      {"Favorites", 0, "Links", "", "", "Links", ""},
      {"Address Bar History", 2, "url1", "", "http://a/", "P", "http://a/"},
      {"ASPack History", 2, "", "", "C:\\x.exe", "P", "C:\\x.exe"},
      {"Windows Explorer Open With History", 3, "", "a", "", "P", "a"},
      {"Start Menu Click History", 3, "", "HRZR_EHAPCY", "", "P", "HRZR_EHAPCY"},
      {"Start Menu Order History", 1, "HRZR_EHAPCY", "", "", "P", "HRZR_EHAPCY"},
      {"TrayNotify", 1, "PasticonsStream", "", "", "P", "PasticonsStream"},
      {"TrayNotify", 1, "IconStreams", "", "", "P", ""},
      {"ACDSee History", 3, "OpenFolder", "", "", "P", "OpenFolder"},
      {"ACDSee History", 3, "LastFolder", "", "", "P", ""},
      {"AutoCompleteData", 1, "AB12", "", "", "P", ""},
      {"Telnet Menu History", 3, "", "host1", "", "P", ""},
      {"Regedit32 History", 1, "", "Favorites", "", "P", ""},
      {"RecycleBin", 0, "Dc1.txt", "", "", "P", ""},
      {"Recent Files", 0, "a.lnk", "", "", "P", ""},
      {"FireFox Cookies", 5, "", "", "", "P", ""},
      {"netscape Cache", 9, "", "", "", "P", ""},
  };
  for (const Case& c : cases) {
    TResultContentItem f;
    f.ItemName = c.item;
    f.Kind = c.kind;
    f.Name = c.name;
    f.KeyName = c.keyName;
    f.Data = c.data;
    f.Path = "P";
    const TExclusionSignature signature = ExclusionSignature(f);
    EXPECT_EQ(signature.Key, c.key) << c.item << " " << c.name;
    EXPECT_EQ(signature.Data, c.expectedData) << c.item << " " << c.name;
  }
}

const char* const kRecycled =
    "C:\\Program Files\\Fernwick\\\n"
    "C:\\Recycled\\Dc1.txt | text=one\n"
    "C:\\Recycled\\Dc2.txt | text=two\n"
    "C:\\Recycled\\Dc3.txt | text=three\n";
const char* const kCache =
    "http://a/ | type=1\n"
    "http://b/ | type=1\n"
    "Cookie:owner@a/ | type=0x100001\n"
    "Cookie:owner@b/ | type=0x100001\n";

TEST_F(ExclusionListTest, ExcludeFromEveryViewKeepsThatFindingAwayAndRecounts) {
  TestMachine m(std::string("[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\n") +
                    "\"url1\"=\"http://a/\"\n\"url2\"=\"http://b/\"\n\"url3\"=\"http://c/\"\n",
                kRecycled, "", kCache);
  TEvidenceCleaner cleaner;
  RecordingView view;
  cleaner.SetView(&view);
  cleaner.FormShow();
  cleaner.ScanNowBtnClick();
  ASSERT_EQ(cleaner.FoundCount, 10);
  const auto rowOf = [&](const std::string& name) {
    for (std::size_t i = 0; i < cleaner.ResultRows.size(); ++i)
      if (cleaner.ResultRows[i].Finding->Name == name) return static_cast<int>(i);
    return -1;
  };
  const auto nodeOf = [&](const std::string& text) {
    for (std::size_t i = 0; i < cleaner.ResultNodes.size(); ++i)
      if (cleaner.NodeText(cleaner.ResultNodes[i]) == text) return static_cast<int>(i);
    return -1;
  };
  // From the root view: a cookie, by its URL.
  cleaner.Exclude1Click(rowOf("Cookie:owner@a/"));
  EXPECT_EQ(cleaner.ResultRows.size(), 9u);
  EXPECT_EQ(view.count, "9");
  EXPECT_EQ(cleaner.CheckTree.Nodes[4].Rec->Count, 1);
  EXPECT_EQ(cleaner.CheckTree.Nodes[1].Rec->Count, 6);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 9);
  // From the category view: an address-bar value, by its key and data.
  cleaner.ResultTreeViewChange(nodeOf("Internet Explorer"));
  cleaner.Exclude1Click(rowOf("url2"));
  // From the item view: a recycled file, by its path.
  cleaner.ResultTreeViewChange(nodeOf("RecycleBin"));
  ASSERT_EQ(cleaner.ResultRows.size(), 3u);
  cleaner.Exclude1Click(rowOf("Dc2.txt"));
  EXPECT_EQ(cleaner.ResultRows.size(), 2u);
  EXPECT_EQ(cleaner.CheckTree.Nodes[43].Rec->Count, 2);
  EXPECT_EQ(cleaner.CheckTree.Nodes[28].Rec->Count, 2);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 7);
  EXPECT_EQ(FileText(), std::string("Cookies|Cookie:owner@a/!<\r\n") + "Address Bar History|" + kTyped +
                            "!url2<http://b/\r\nRecycleBin|C:\\Recycled\\Dc2.txt!Dc2.txt<\r\n");

  cleaner.ExcludeBtnClick();
  EXPECT_EQ(cleaner.ExcludeCounts[0], 3);
  EXPECT_EQ(cleaner.ExcludeCounts[1], 2);
  EXPECT_EQ(cleaner.ExcludeCounts[28], 1);
  EXPECT_EQ(cleaner.ExcludeCounts[43], 1);
  EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 7);

  // The next scan leaves out exactly the three.
  TEvidenceCleaner next;
  next.FormShow();
  next.ScanNowBtnClick();
  std::set<std::string> names;
  for (const auto& results : next.Results)
    for (std::int32_t i = 0; i < results.Count(); ++i) names.insert(results.GetItem(i).Name);
  EXPECT_EQ(names, (std::set<std::string>{"http://a/", "http://b/", "Cookie:owner@b/", "url1", "url3", "Dc1.txt",
                                          "Dc3.txt"}));
}

// Three values of one item in each category.
const char* const kFourCategories =
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs]\n"
    "\"url1\"=\"http://a/\"\n\"url2\"=\"http://b/\"\n\"url3\"=\"http://c/\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List]\n"
    "\"File1\"=\"C:\\\\p1.bmp\"\n\"File2\"=\"C:\\\\p2.bmp\"\n\"File3\"=\"C:\\\\p3.bmp\"\n"
    "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU]\n"
    "\"a\"=\"notepad\\\\1\"\n\"b\"=\"calc\\\\1\"\n\"c\"=\"mspaint\\\\1\"\n"
    "[HKEY_CURRENT_USER\\Software\\Headlight\\GetRight\\MRU]\n"
    "\"g1\"=\"http://g1/\"\n\"g2\"=\"http://g2/\"\n\"g3\"=\"http://g3/\"\n";

bool UserValueExists(const std::string& keyPath, const std::string& name) {
  win::TRegistry registry(win::KEY_READ);
  registry.SetRootKey(win::HKEY_CURRENT_USER);
  return registry.OpenKeyReadOnly(keyPath.substr(std::string("HKEY_CURRENT_USER\\").size())) &&
         registry.ValueExists(name);
}

// The first, a middle and the last row of each category, excluded from the
// root, the category and the item view: the finding leaves the results at
// once, the counts follow, and the next Clean leaves it on the machine.
TEST_F(ExclusionListTest, AnExcludedRowLeavesTheResultsAndTheNextCleanKeepsIt) {
  const char* const items[kCategoryCount] = {"Address Bar History", "Paint", "Run History", "GetRight"};
  const char* const categories[kCategoryCount] = {"Internet Explorer", "Windows Software", "Windows System",
                                                  "Internet Software"};
  enum View { Root, Category, Item };
  for (const View shown : {Root, Category, Item}) {
    for (int category = 0; category < kCategoryCount; ++category) {
      for (int position = 0; position < 3; ++position) {
        const std::string what = std::to_string(shown) + " " + categories[category] + " " + std::to_string(position);
        TestMachine m(kFourCategories, "C:\\Program Files\\Fernwick\\\n");
        ScriptedDialogs dialogs;
        TEvidenceCleaner cleaner;
        RecordingView view;
        cleaner.SetView(&view);
        cleaner.FormShow();
        cleaner.ScanNowBtnClick();
        ASSERT_EQ(cleaner.FoundCount, 12) << what;
        const std::string node = shown == Root ? "My Computer" : shown == Category ? categories[category] : items[category];
        int resultNode = -1;
        for (std::size_t i = 0; i < cleaner.ResultNodes.size(); ++i)
          if (cleaner.NodeText(cleaner.ResultNodes[i]) == node) resultNode = static_cast<int>(i);
        ASSERT_GE(resultNode, 0) << what;
        cleaner.ResultTreeViewChange(resultNode);
        std::vector<int> rows;
        for (std::size_t i = 0; i < cleaner.ResultRows.size(); ++i)
          if (cleaner.ResultRows[i].Category == category) rows.push_back(static_cast<int>(i));
        ASSERT_EQ(rows.size(), 3u) << what;
        const int row = rows[static_cast<std::size_t>(position)];
        const std::string name = cleaner.ResultRows[static_cast<std::size_t>(row)].Finding->Name;
        const std::string path = cleaner.ResultRows[static_cast<std::size_t>(row)].Finding->Path;
        const std::size_t shownRows = cleaner.ResultRows.size();

        cleaner.Exclude1Click(row);
        EXPECT_EQ(cleaner.ResultRows.size(), shownRows - 1) << what;
        int left = 0;
        for (const auto& results : cleaner.Results) {
          for (std::int32_t i = 0; i < results.Count(); ++i) {
            EXPECT_FALSE(results.GetItem(i).Name == name && results.GetItem(i).Path == path) << what;
            ++left;
          }
        }
        EXPECT_EQ(left, 11) << what;
        EXPECT_EQ(cleaner.FoundCount, 11) << what;
        EXPECT_EQ(cleaner.CheckTree.Nodes[0].Rec->Count, 11) << what;
        EXPECT_EQ(cleaner.CheckTree.Nodes[TEvidenceTree::CategoryNode(category)].Rec->Count, 2) << what;

        cleaner.CleanBtnClick();
        ASSERT_EQ(dialogs.messages().size(), 1u) << what;
        EXPECT_EQ(dialogs.messages()[0].text, "Evidences were successfully cleaned!") << what;
        EXPECT_TRUE(UserValueExists(path, name)) << what;
        for (const auto& results : cleaner.Results) {
          for (std::int32_t i = 0; i < results.Count(); ++i) {
            const TResultContentItem& f = results.GetItem(i);
            EXPECT_FALSE(UserValueExists(f.Path, f.Name)) << what << " " << f.Name;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace privacy_test
