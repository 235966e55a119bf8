// The startup list: every source in order with its own entry and details,
// the disabled entries beside them, and what bad input gives.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StartupFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/files/LineFile.h"
#include "shell/BusyGuard.h"
#include "shell/MessagePump.h"
#include "tools/StartupManagerUnit.h"

using namespace tools;

namespace {

std::string ListingReg() {
  return StartupRegText(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Same\"=\"C:\\\\Apps\\\\a\\\\same.exe /min\"\n"
      "\"Expand\"=" + Hex2("%SystemRoot%\\system32\\exp.exe -q") + "\n"
      "\"Number\"=dword:00000005\n"
      "\"Bytes\"=hex:01,02\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
      "\"Once\"=\"C:\\\\Apps\\\\once.exe\"\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"Same\"=\"\\\"C:\\\\Apps\\\\b\\\\same.exe\\\"\"\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n"
      "\"UserOnce\"=\"C:\\\\Apps\\\\uonce.exe\"\n");
}

const char* const kListingFiles =
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\common.lnk | lnk=C:\\Apps\\once.exe\n"
    "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup\\Sub\\\n"
    "C:\\Documents and Settings\\Owner\\Start Menu\\Programs\\Startup\\user.lnk | lnk=C:\\Apps\\gone.exe\n"
    "C:\\Apps\\a\\same.exe | version=1.0.0.0;tr=040904b0;ProductName=Alpha;CompanyName= Alpha Co \n"
    "C:\\Apps\\b\\same.exe | version=2.0.0.0;tr=040904b0;ProductName=Beta\n"
    "C:\\WINDOWS\\system32\\exp.exe | version=5.1.2600.0;tr=040904b0;FileDescription=Expanded\n"
    "C:\\WINDOWS\\win.ini | text=[windows]\\r\\nload=C:\\\\old.exe\\r\\nrun=\\r\\n[Load]\\r\\nloader=C:\\\\l.exe\\r\\n"
    "[Run]\\r\\nrunner=C:\\\\r.exe\\r\\nempty=\\r\\n\n"
    "C:\\Program Files\\Fernwick\\Fernwick.exe\n";

struct Row {
  std::string caption;
  std::string path;
  std::string status;
  std::string type;
  std::string fourth;
  bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Row& row) {
  return out << row.caption << " | " << row.path << " | " << row.status << " | " << row.type << " | " << row.fourth;
}

std::vector<Row> RowsOf(const TStartupManager& manager) {
  std::vector<Row> rows;
  for (const TStartupRow& r : manager.Rows()) {
    Row row{r.Caption, r.SubItems.size() > 0 ? r.SubItems[0] : "", r.SubItems.size() > 1 ? r.SubItems[1] : "",
            r.SubItems.size() > 2 ? r.SubItems[2] : "", r.SubItems.size() > 3 ? r.SubItems[3] : ""};
    rows.push_back(row);
  }
  return rows;
}

int RowOf(const TStartupManager& manager, const std::string& caption, const std::string& fourth) {
  const auto& rows = manager.Rows();
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (rows[i].Caption == caption && rows[i].SubItems.size() > 3 && rows[i].SubItems[3] == fourth)
      return static_cast<int>(i);
  return -1;
}

const std::string kHklmRun = "HKEY_LOCAL_MACHINE\\" + std::string(kRun);
const std::string kHkcuRun = "HKEY_CURRENT_USER\\" + std::string(kRun);

TEST(StartupListingTest, EverySourceInOrder) {
  TestMachine machine(ListingReg(), kListingFiles);
  TStartupManager manager;
  manager.Prepare();
  const std::string common = std::string(kCommonStartup) + "\\";
  const std::string user = std::string(kUserStartup) + "\\";
  ResetProcessMessagesCount();
  manager.RefreshStartupList();
  EXPECT_GE(ProcessMessagesCount(), 3);
  const std::vector<Row> expected = {
      {"common.lnk", common + "common.lnk", "Enable", "Startup Folder", ""},
      {"Sub", common + "Sub", "Enable", "Startup Folder", ""},
      {"user.lnk", user + "user.lnk", "Enable", "Startup Folder", ""},
      {"Same", "C:\\Apps\\a\\same.exe /min", "Enable", "Registration", kHklmRun},
      {"Expand", "%SystemRoot%\\system32\\exp.exe -q", "Enable", "Registration", kHklmRun},
      {"Number", "5", "Enable", "Registration", kHklmRun},
      {"Bytes", "", "Enable", "Registration", kHklmRun},
      {"Once", "C:\\Apps\\once.exe", "Enable", "Registration", kHklmRun + "Once"},
      {"Same", "\"C:\\Apps\\b\\same.exe\"", "Enable", "Registration", kHkcuRun},
      {"UserOnce", "C:\\Apps\\uonce.exe", "Enable", "Registration", kHkcuRun + "Once"},
      {"loader", "C:\\l.exe", "Enable", "Win.ini", ""},
      {"runner", "C:\\r.exe", "Enable", "Win.ini", ""},
      {"empty", "", "Enable", "Win.ini", ""},
  };
  EXPECT_EQ(RowsOf(manager), expected);
  for (const TStartupRow& row : manager.Rows()) {
    EXPECT_EQ(row.ImageIndex, 0) << row.Caption;
    EXPECT_EQ(row.StateIndex, row.Source == TStartupSource::StartupFolder ? -1 : 2) << row.Caption;
  }
  // A second listing gives the same rows, not more.
  manager.RefreshStartupList();
  EXPECT_EQ(RowsOf(manager), expected);
}

TEST(StartupListingTest, EachRowShowsItsOwnDetails) {
  TestMachine machine(ListingReg(), kListingFiles);
  TStartupManager manager;
  manager.Prepare();
  manager.RefreshStartupList();
  const std::size_t listed = manager.Rows().size();

  struct Case {
    const char* caption;
    std::string location;
    std::vector<std::string> details;  // the seven texts
  };
  const std::vector<Case> cases = {
      {"Same", kHklmRun, {"Registry", kHklmRun, "Alpha", "Alpha Co", "", "", "C:\\Apps\\a\\same.exe"}},
      {"Same", kHkcuRun, {"Registry", kHkcuRun, "Beta", "", "", "", "C:\\Apps\\b\\same.exe"}},
      {"Expand", kHklmRun, {"Registry", kHklmRun, "", "", "", "Expanded", "C:\\WINDOWS\\SYSTEM32\\EXP.EXE"}},
  };
  const char* const captions[] = {"Type", "Postion", "Product Name", "Publish Name", "Version", "Description",
                                  "File Path"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    const int row = RowOf(manager, c.caption, c.location);
    ASSERT_GE(row, 0);
    const std::string below = manager.Rows()[static_cast<std::size_t>(row) + 1].Caption;
    manager.ToggleEntryDetails(row);
    ASSERT_EQ(manager.Rows().size(), listed + 7);
    EXPECT_EQ(manager.Rows()[static_cast<std::size_t>(row)].StateIndex, 3);
    for (int i = 0; i < 7; ++i) {
      const TStartupRow& detail = manager.Rows()[static_cast<std::size_t>(row + 1 + i)];
      EXPECT_EQ(detail.Caption, captions[i]);
      EXPECT_EQ(detail.SubItems[0], c.details[static_cast<std::size_t>(i)]) << captions[i];
      EXPECT_EQ(detail.ImageIndex, -1);
      EXPECT_EQ(detail.StateIndex, -1);
    }
    manager.ToggleEntryDetails(row);
    ASSERT_EQ(manager.Rows().size(), listed);
    EXPECT_EQ(manager.Rows()[static_cast<std::size_t>(row) + 1].Caption, below);
    EXPECT_EQ(manager.Rows()[static_cast<std::size_t>(row)].StateIndex, 2);
  }
  // A row whose program is missing has no details: only its state picture
  // changes.
  const int once = RowOf(manager, "Once", kHklmRun + "Once");
  manager.ToggleEntryDetails(once);
  EXPECT_EQ(manager.Rows().size(), listed);
  EXPECT_EQ(manager.Rows()[static_cast<std::size_t>(once)].StateIndex, 3);
}

TEST(StartupListingTest, DisabledEntriesAndTheirLines) {
  TestMachine machine(ListingReg(), kListingFiles);
  TStartupManager manager;
  manager.Prepare();
  const std::string del = DelFolder() + "\\";
  const std::string user = std::string(kUserStartup) + "\\";
  ASSERT_TRUE(win::WriteFileBytes(del + "back.lnk", {1}));
  ASSERT_TRUE(win::WriteFileBytes(del + "gone#1.lnk", {2}));
  ASSERT_TRUE(win::WriteFileBytes(user + "back.lnk", {1}));
  ASSERT_TRUE(win::WriteLineFile(StartupBackupPath(kDelFileName),
                                 {user + "back.lnk#" + del + "back.lnk|E",        // back in place: listed once
                                  user + "gone#1.lnk#" + del + "gone#1.lnk|E",    // "#" in the name
                                  user + "removed.lnk#" + del + "removed.lnk",    // removed: not here
                                  "no hash at all|E"}));
  ASSERT_TRUE(win::WriteLineFile(StartupBackupPath(kStartupFileName),
                                 {kHkcuRun + "#Old|C:\\old.exe /x", "broken line", kHklmRun + "#Number|5",
                                  "HKEY_USERS\\x#Odd|C:\\odd.exe"}));
  manager.RefreshStartupList();
  std::vector<Row> rows = RowsOf(manager);
  auto count = [&rows](const std::string& caption) {
    return std::count_if(rows.begin(), rows.end(), [&caption](const Row& r) { return r.caption == caption; });
  };
  EXPECT_EQ(count("back.lnk"), 1);
  EXPECT_EQ(count(user + "back.lnk"), 0);
  const Row gone{user + "gone#1.lnk", del + "gone#1.lnk", "Disable", "Startup Folder", ""};
  EXPECT_EQ(std::count(rows.begin(), rows.end(), gone), 1);
  EXPECT_EQ(count(user + "removed.lnk"), 0);
  // The live DWORD whose whole line is in startup.dat is listed once, live:
  // the line, which would bring back only what is there, is dropped.
  EXPECT_EQ(count("Number"), 1);
  EXPECT_NE(std::find(rows.begin(), rows.end(), Row{"Number", "5", "Enable", "Registration", kHklmRun}), rows.end());
  const std::vector<Row> tail(rows.end() - 2, rows.end());
  const std::vector<Row> disabled = {
      {"Old", "C:\\old.exe /x", "Disable", "Registration", kHkcuRun + "#Old|C:\\old.exe /x"},
      {"Odd", "C:\\odd.exe", "Disable", "Registration", "HKEY_USERS\\x#Odd|C:\\odd.exe"},
  };
  EXPECT_EQ(tail, disabled);
  std::vector<std::string> lines;
  ASSERT_TRUE(win::ReadLineFile(StartupBackupPath(kStartupFileName), lines));
  EXPECT_EQ(lines, (std::vector<std::string>{kHkcuRun + "#Old|C:\\old.exe /x", "broken line",
                                             "HKEY_USERS\\x#Odd|C:\\odd.exe"}));
}

TEST(StartupListingTest, MissingSourcesAndBadFilesGiveNoRows) {
  TestMachine machine(StartupRegText(), "C:\\Program Files\\Fernwick\\Fernwick.exe\nC:\\WINDOWS\\\n");
  TStartupManager manager;
  manager.Prepare();
  // Line files with LF ends, empty lines and no "#" are read, not shown.
  const std::string bad = "\n\nno hash\nHKEY_CURRENT_USER\\Run no bar#x\n";
  const std::string badDel = "\n\nno hash|E\nno hash\n";
  ASSERT_TRUE(win::WriteFileBytes(StartupBackupPath(kStartupFileName), std::vector<std::uint8_t>(bad.begin(), bad.end())));
  ASSERT_TRUE(win::WriteFileBytes(StartupBackupPath(kDelFileName), std::vector<std::uint8_t>(badDel.begin(), badDel.end())));
  manager.RefreshStartupList();
  EXPECT_TRUE(manager.Rows().empty());
  manager.ListRemovedEntries();
  EXPECT_TRUE(manager.RestoreRows().empty());
}

TEST(StartupListingTest, PrepareMakesTheBackupFolderAndFiles) {
  TestMachine machine(StartupRegText(), "C:\\Program Files\\Fernwick\\Fernwick.exe\n");
  TStartupManager manager;
  manager.Prepare();
  EXPECT_TRUE(win::DirectoryExists(DelFolder()));
  for (const char* name : {kStartupFileName, kRemoveStartupFileName, kDelFileName})
    EXPECT_TRUE(win::FileExists(StartupBackupPath(name))) << name;
  // Files that are there are kept.
  ASSERT_TRUE(win::WriteLineFile(StartupBackupPath(kStartupFileName), {"a#b|c"}));
  manager.Prepare();
  std::vector<std::string> lines;
  win::ReadLineFile(StartupBackupPath(kStartupFileName), lines);
  EXPECT_EQ(lines, std::vector<std::string>{"a#b|c"});
}

}  // namespace
