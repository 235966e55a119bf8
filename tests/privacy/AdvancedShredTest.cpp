// The file shredder's engine: what a shred overwrites, refuses, leaves in
// place and reports.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "PrivacyFixture.h"
#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "privacy/AdvancedShredUnit.h"
#include "shell/BusyGuard.h"

namespace {

using privacy_test::PrivacyTest;

class AdvancedShredTest : public PrivacyTest {};

std::string HostText(const std::string& host) {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::fopen(host.c_str(), "rb");
  if (file == nullptr) return "<missing>";
  std::string text;
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

// "0101..." of the length written over a file of that size.
std::string Overwritten(std::size_t size) {
  std::string text(size + size % 2, '0');
  for (std::size_t i = 1; i < text.size(); i += 2) text[i] = '1';
  return text;
}

const char* const kDrafts =
    "C:\\Docs\\drafts\\a.txt | text=first secret\n"
    "C:\\Docs\\drafts\\sub\\b.bin | size=70001\n"
    "C:\\Docs\\drafts\\sub\\deeper\\c.txt | text=x\n"
    "C:\\Docs\\drafts\\empty\\\n"
    "C:\\Docs\\single.txt | text=alone\n";

TEST_F(AdvancedShredTest, EveryByteOfEveryListedFileIsOverwrittenAtEachLevel) {
  const struct {
    int level;
    int writes;  // ShredPasses + 1
  } levels[] = {{0, 2}, {1, 3}, {2, 8}};
  for (const auto& level : levels) {
    TestMachine m("", kDrafts);
    ScriptedDialogs dialogs;
    const std::map<std::string, std::size_t> sizes = {
        {"a.txt", 12}, {"b.bin", 70001}, {"c.txt", 1}, {"single.txt", 5}};
    std::map<std::string, int> flushes;       // by the name written
    std::map<std::string, std::string> gone;  // content at unlink, by size
    win::SetAfterFlushHook([&](const std::string& host) { ++flushes[host.substr(host.rfind('/') + 1)]; });
    win::SetBeforeUnlinkHook([&](const std::string& host) {
      const std::string content = HostText(host);
      gone[std::to_string(content.size())] = content;
    });
    TAdvancedShred shred;
    shred.listAdd = {"C:\\Docs\\drafts", "C:\\Docs\\single.txt"};
    shred.ShredLevel = level.level;
    dialogs.setNextAnswer(IDYES);
    shred.btnShredClick();

    EXPECT_EQ(shred.ShredPasses + 1, level.writes);
    for (const auto& [name, size] : sizes) {
      EXPECT_EQ(flushes[name], level.writes) << name;
      EXPECT_EQ(gone[std::to_string(size + size % 2)], Overwritten(size)) << name;
    }
    EXPECT_EQ(gone.size(), sizes.size());
    EXPECT_FALSE(win::DirectoryExists("C:\\Docs\\drafts"));
    EXPECT_FALSE(win::FileExists("C:\\Docs\\single.txt"));
    EXPECT_TRUE(win::DirectoryExists("C:\\Docs"));
    EXPECT_FALSE(win::DirectoryExists("C:\\Recycled"));  // nothing went to the bin
    EXPECT_TRUE(shred.listAdd.empty());
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[0].text, kShredQuestion);
    EXPECT_EQ(dialogs.messages()[0].flags, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    EXPECT_EQ(dialogs.messages()[1].text, "File Shreds Completed Successfully!");
    EXPECT_EQ(dialogs.messages()[1].caption, "Evidence Cleaner");
    EXPECT_EQ(dialogs.messages()[1].flags, MB_OK);
    win::SetAfterFlushHook(nullptr);
    win::SetBeforeUnlinkHook(nullptr);
  }
}

TEST_F(AdvancedShredTest, SystemFoldersAndDriveRootsAreRefusedByEveryWayIn) {
  TestMachine m("", "C:\\WINDOWS\\system32\\kernel32.dll | text=k\nC:\\Program Files\\Other\\o.exe | text=o\n"
                    "C:\\WINDOWS2\\w.txt | text=w\nC:\\Docs\\d.txt | text=d\n");
  const struct {
    const char* path;
    bool refused;
  } cases[] = {
      {"C:\\", true},
      {"C:", true},
      {"D:\\", true},
      {"c:\\windows", true},
      {"C:\\WINDOWS\\", true},
      {"C:/WINDOWS", true},
      {"C:\\WINDOWS\\system32\\kernel32.dll", true},
      {"C:\\Docs\\..\\WINDOWS\\system32", true},
      {"C:\\Program Files", true},
      {"C:\\Program Files\\Fernwick\\..", true},
      {"C:\\Program Files\\Fernwick", true},
      {"C:\\Docs\\..", true},
      {"C:\\Program Files\\Other", false},
      {"C:\\Program Files\\Other\\o.exe", false},
      {"C:\\WINDOWS2", false},
      {"C:\\Docs\\d.txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsProtectedShredPath(c.path), c.refused) << c.path;
    ScriptedDialogs dialogs;
    TAdvancedShred shred;
    dialogs.setNextFileName(std::string(c.path));
    shred.AddFiles1Click();
    dialogs.setNextFileName(std::string(c.path));
    shred.BitBtn1Click();
    if (!c.refused) {
      EXPECT_EQ(shred.listAdd, (std::vector<std::string>{c.path, c.path})) << c.path;
      continue;
    }
    EXPECT_TRUE(shred.listAdd.empty()) << c.path;
    ASSERT_EQ(dialogs.messages().size(), 2u) << c.path;
    for (const auto& message : dialogs.messages()) {
      EXPECT_EQ(message.text, "System folders and drive roots cannot be shredded.");
      EXPECT_EQ(message.caption, "Fernwick");
      EXPECT_EQ(message.flags, MB_OK | MB_ICONWARNING);
    }
    // A list that holds one anyway shreds nothing and asks nothing.
    dialogs.clear();
    shred.listAdd = {"C:\\Docs\\d.txt", c.path};
    shred.btnShredClick();
    ASSERT_EQ(dialogs.messages().size(), 1u) << c.path;
    EXPECT_EQ(dialogs.messages()[0].text, "System folders and drive roots cannot be shredded.");
    EXPECT_EQ(shred.listAdd.size(), 2u);
    EXPECT_EQ(HostText(m.host("C:\\Docs\\d.txt")), "d");
  }
  EXPECT_EQ(HostText(m.host("C:\\WINDOWS\\system32\\kernel32.dll")), "k");
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  shred.BitBtn1Click();
  ASSERT_EQ(dialogs.fileRequests().size(), 1u);
  EXPECT_EQ(dialogs.fileRequests()[0].request.Title, "Select Drive or Directory");
  EXPECT_TRUE(shred.listAdd.empty());  // cancelled
}

TEST_F(AdvancedShredTest, RecentPathsReadOnlyFilesAndLinksStayAndAreReported) {
  TestMachine m("", "C:\\Docs\\drafts\\plain.txt | text=p\n"
                    "C:\\Docs\\drafts\\ro.txt | attr=RA | text=read-only\n"
                    "C:\\Docs\\drafts\\Recent\\r.txt | text=recent\n"
                    "C:\\Docs\\drafts\\later.txt | text=l\n"
                    "C:\\Docs\\drafts\\link.txt | link=C:\\Keep\\precious.txt\n"
                    "C:\\Docs\\drafts\\linkdir | link=C:\\Keep\n"
                    "C:\\Docs\\MyRecent\\m.txt | text=m\n"
                    "C:\\Docs\\listed | link=C:\\Keep\n"
                    "C:\\Keep\\precious.txt | text=keep\n"
                    "C:\\Docs\\gone.txt | text=g\n");
  EXPECT_EQ(win::GetFileAttributes("C:\\Docs\\drafts\\ro.txt"), 33u);
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  shred.listAdd = {"C:\\Docs\\drafts", "C:\\Docs\\MyRecent", "C:\\Docs\\listed", "C:\\Docs\\gone.txt",
                   "C:\\Docs\\never-there", "C:\\Docs\\drafts\\linkdir\\precious.txt"};
  dialogs.setNextAnswer(IDYES);
  shred.btnShredClick();

  EXPECT_FALSE(win::FileExists("C:\\Docs\\drafts\\plain.txt"));
  EXPECT_FALSE(win::FileExists("C:\\Docs\\drafts\\later.txt"));
  EXPECT_FALSE(win::FileExists("C:\\Docs\\gone.txt"));
  EXPECT_EQ(HostText(m.host("C:\\Docs\\drafts\\ro.txt")), "read-only");
  EXPECT_EQ(HostText(m.host("C:\\Docs\\drafts\\Recent\\r.txt")), "recent");
  EXPECT_EQ(HostText(m.host("C:\\Docs\\MyRecent\\m.txt")), "m");
  EXPECT_EQ(HostText(m.host("C:\\Keep\\precious.txt")), "keep");
  EXPECT_NE(win::GetFileAttributes("C:\\Docs\\drafts\\link.txt"), win::INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(win::DirectoryExists("C:\\Recycled"));
  // A path through a host link is never reached: it is not gone.
  EXPECT_EQ(shred.listAdd, (std::vector<std::string>{"C:\\Docs\\drafts", "C:\\Docs\\MyRecent", "C:\\Docs\\listed",
                                                     "C:\\Docs\\drafts\\linkdir\\precious.txt"}));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, "4 of 6 items could not be shredded.");
  EXPECT_EQ(dialogs.messages()[1].caption, "Evidence Cleaner");
  EXPECT_EQ(dialogs.messages()[1].flags, MB_OK | MB_ICONWARNING);
}

TEST_F(AdvancedShredTest, NoOrAnEmptyListChangesNothing) {
  TestMachine m("", kDrafts);
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  shred.btnShredClick();
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "You haven't added the files you want to deleted to the list!");
  EXPECT_EQ(dialogs.messages()[0].caption, "Fernwick");
  EXPECT_EQ(dialogs.messages()[0].flags, MB_OK | MB_ICONWARNING);

  dialogs.clear();
  shred.listAdd = {"C:\\Docs\\drafts", "C:\\Docs\\single.txt"};
  shred.btnShredClick();  // the default button is No
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(shred.listAdd.size(), 2u);
  EXPECT_EQ(HostText(m.host("C:\\Docs\\drafts\\a.txt")), "first secret");
  EXPECT_EQ(HostText(m.host("C:\\Docs\\single.txt")), "alone");
  EXPECT_TRUE(win::DirectoryExists("C:\\Docs\\drafts\\empty"));
}

TEST_F(AdvancedShredTest, AStaleStopIsClearedAndAStopDuringTheShredKeepsTheRest) {
  TestMachine m("", kDrafts);
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  ScanState = 2;  // left by an earlier Abort
  shred.listAdd = {"C:\\Docs\\drafts"};
  dialogs.setNextAnswer(IDYES);
  shred.btnShredClick();
  EXPECT_FALSE(win::DirectoryExists("C:\\Docs\\drafts"));
  EXPECT_TRUE(shred.listAdd.empty());

  // Abort at the third entry: the rest stays, and so does the list.
  TestMachine again("", kDrafts);
  dialogs.clear();
  int calls = 0;
  SetProcessMessagesHook([&] {
    EXPECT_TRUE(IsBusy());
    if (++calls == 3) ScanState = 2;
  });
  shred.listAdd = {"C:\\Docs\\drafts", "C:\\Docs\\single.txt"};
  dialogs.setNextAnswer(IDYES);
  shred.btnShredClick();
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(HostText(again.host("C:\\Docs\\single.txt")), "alone");
  EXPECT_EQ(HostText(again.host("C:\\Docs\\drafts\\sub\\deeper\\c.txt")), "x");
  EXPECT_EQ(shred.listAdd, (std::vector<std::string>{"C:\\Docs\\drafts", "C:\\Docs\\single.txt"}));
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, "2 of 2 items could not be shredded.");
}

TEST_F(AdvancedShredTest, RecycleFilesAndListRemoval) {
  TestMachine m("", "C:\\Recycled\\Dc1.txt | text=1\nC:\\Recycled\\INFO2 | text=i\n"
                    "C:\\Recycled\\desktop.ini | text=d\nC:\\Recycled\\dc2\\\nC:\\Recycled\\Dc3.txt | attr=H\n"
                    "C:\\Recycled\\Dc4.txt | attr=RHSA\n");
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  shred.AddAllRecycleFile1Click();
  EXPECT_EQ(shred.listAdd, (std::vector<std::string>{"C:\\Recycled\\Dc1.txt", "C:\\Recycled\\dc2",
                                                     "C:\\Recycled\\Dc3.txt", "C:\\Recycled\\Dc4.txt"}));
  shred.RemoveSelectedFilesfromthelist1Click({1});
  shred.RemoveSelectedFilesfromthelist1Click({-1});
  shred.RemoveSelectedFilesfromthelist1Click({9});
  shred.RemoveSelectedFilesfromthelist1Click({});
  EXPECT_EQ(shred.listAdd, (std::vector<std::string>{"C:\\Recycled\\Dc1.txt", "C:\\Recycled\\Dc3.txt",
                                                     "C:\\Recycled\\Dc4.txt"}));
  shred.RemoveSelectedFilesfromthelist1Click({2, 0, 2});
  EXPECT_EQ(shred.listAdd, (std::vector<std::string>{"C:\\Recycled\\Dc3.txt"}));
  shred.AddAllRecycleFile1Click();
  {
    BusyGuard busy;  // while a shred runs the list stays as it is
    shred.RemoveAllFilesfromthelist1Click();
    shred.RemoveSelectedFilesfromthelist1Click({0});
    shred.AddAllRecycleFile1Click();
    EXPECT_EQ(shred.listAdd.size(), 5u);
  }
  shred.RemoveAllFilesfromthelist1Click();
  EXPECT_TRUE(shred.listAdd.empty());
  EXPECT_TRUE(dialogs.messages().empty());
}

// A file overwritten and renamed that cannot then be deleted takes its own
// name back: it stays listed and is reported under that name.
TEST_F(AdvancedShredTest, AFileThatCannotBeDeletedIsReportedUnderItsOwnName) {
  TestMachine m("", "C:\\Docs\\single.txt | text=alone\n");
  ScriptedDialogs dialogs;
  TAdvancedShred shred;
  int flushes = 0;
  win::SetAfterFlushHook([&flushes](const std::string&) {
    if (++flushes == 2) {
      EXPECT_TRUE(win::SetFileAttributes("C:\\Docs\\single.txt", win::FILE_ATTRIBUTE_READONLY));
    }
  });
  shred.listAdd = {"C:\\Docs\\single.txt"};
  dialogs.setNextAnswer(IDYES);
  shred.btnShredClick();
  EXPECT_EQ(flushes, 2);
  EXPECT_EQ(HostText(m.host("C:\\Docs\\single.txt")), Overwritten(5));
  win::FindData entry;
  std::vector<std::string> names;
  if (auto finder = win::FindFirstFile("C:\\Docs\\*.*", entry)) {
    do names.push_back(entry.name);
    while (finder->Next(entry));
  }
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "single.txt"}));
  EXPECT_EQ(shred.listAdd, std::vector<std::string>{"C:\\Docs\\single.txt"});
  ASSERT_EQ(dialogs.messages().size(), 2u);
  EXPECT_EQ(dialogs.messages()[1].text, "1 of 1 items could not be shredded.");
}

}  // namespace
