#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/files/FileSystem.h"
#include "shell/MachineChooser.h"

namespace {

using Outcome = MachineChooser::Outcome;

// Drive M's folder is the machine folder itself, so its store files lie on
// a drive; C:\Outside is a host link out of the machine.
class MachineChooserTest : public ::testing::Test {
 protected:
  MachineChooserTest()
      : machine_("",
                 "C:\\boot.ini | text=[boot loader]\n"
                 "C:\\WINDOWS\\system32\\shell32.dll\n"
                 "C:\\Program Files\\App\\app.exe\n"
                 "C:\\Program Files\\App\\readme.txt\n",
                 TestMachine::DefaultConfigText() + "M=fixed,.\r\n") {
    EXPECT_EQ(symlink("/etc", machine_.host("C:\\Outside").c_str()), 0);
  }

  static std::vector<std::string> Names(const MachineChooser& chooser) {
    std::vector<std::string> names;
    for (const ChooserEntry& entry : chooser.Entries()) names.push_back(entry.name);
    return names;
  }

  TestMachine machine_;
};

TEST(ChooserFilter, FilterTextGivesDescriptionsAndPatterns) {
  const auto filters = ParseChooserFilter("Registry files (*.reg)|*.reg|Text|*.txt; *.log|lonely");
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].description, "Registry files (*.reg)");
  EXPECT_EQ(filters[0].patterns, std::vector<std::string>{"*.reg"});
  EXPECT_EQ(filters[1].description, "Text");
  EXPECT_EQ(filters[1].patterns, (std::vector<std::string>{"*.txt", "*.log"}));
  EXPECT_TRUE(ParseChooserFilter("").empty());
  EXPECT_TRUE(ParseChooserFilter("Nothing|").empty());
}

// Where each text typed into the name box leads, from each folder: nothing
// above a drive's folder, nothing off the drives, none of the machine's own
// files, no link followed.
TEST_F(MachineChooserTest, TypedPathsStayOnTheDrives) {
  const struct {
    ChooserKind kind;
    const char* start;  // "" is the drive list
    const char* typed;
    Outcome outcome;
    const char* result;  // the folder shown after Opened, the path Chosen, the message's start
  } cases[] = {
      {ChooserKind::Open, "C:\\WINDOWS", "..\\..\\..", Outcome::Opened, "C:\\"},
      {ChooserKind::Open, "C:\\", "C:\\WINDOWS\\..\\..\\Program Files", Outcome::Opened, "C:\\Program Files"},
      {ChooserKind::Open, "C:\\", "windows", Outcome::Opened, "C:\\WINDOWS"},
      {ChooserKind::Open, "C:\\Program Files\\App", "app.exe", Outcome::Chosen, "C:\\Program Files\\App\\app.exe"},
      {ChooserKind::Open, "C:\\WINDOWS", "\\boot.ini", Outcome::Chosen, "C:\\boot.ini"},
      {ChooserKind::Open, "", "C:\\boot.ini", Outcome::Chosen, "C:\\boot.ini"},
      {ChooserKind::Open, "C:\\", "/etc/passwd", Outcome::Refused, "C:\\etc\\passwd\rPath does not exist."},
      {ChooserKind::Open, "C:\\", "nothing.txt", Outcome::Refused, "C:\\nothing.txt\rFile not found."},
      {ChooserKind::Open, "C:\\", "\\\\server\\share\\x.txt", Outcome::Refused,
       "\\\\server\\share\\x.txt\rThis path is not on a drive of this computer."},
      {ChooserKind::Open, "C:\\", "Q:\\x.txt", Outcome::Refused, "Q:\\x.txt\rThis path is not on a drive"},
      {ChooserKind::Open, "", "boot.ini", Outcome::Refused, "boot.ini\rThis path is not on a drive"},
      {ChooserKind::Open, "C:\\", "E:\\", Outcome::Refused, "E:\\ is not accessible.\r\rThe device is not ready."},
      {ChooserKind::Open, "C:\\", "M:\\registry.db", Outcome::Refused, "M:\\registry.db is not accessible.\r\rAccess is denied."},
      {ChooserKind::Open, "M:\\", "STATE.DB", Outcome::Refused, "M:\\STATE.DB is not accessible."},
      {ChooserKind::Open, "M:\\", "registry.db-wal", Outcome::Refused, "M:\\registry.db-wal is not accessible."},
      {ChooserKind::Open, "C:\\", "Outside", Outcome::Refused, "C:\\Outside is not accessible."},
      {ChooserKind::Open, "C:\\", "Outside\\passwd", Outcome::Refused, "C:\\Outside\\passwd\rPath does not exist."},
      {ChooserKind::Open, "C:\\", "C:\\a|b.txt", Outcome::Refused, "C:\\a|b.txt\rThe file name is not valid."},
      {ChooserKind::Save, "C:\\", "backup", Outcome::Chosen, "C:\\backup.reg"},
      {ChooserKind::Save, "C:\\", "windows\\Backup.REG", Outcome::Chosen, "C:\\WINDOWS\\Backup.REG"},
      {ChooserKind::Save, "C:\\", "Missing\\backup.reg", Outcome::Refused, "C:\\Missing\\backup.reg\rPath does not exist."},
      {ChooserKind::Save, "C:\\", "M:\\state.db", Outcome::Refused, "M:\\state.db is not accessible."},
      {ChooserKind::Folder, "C:\\WINDOWS", "", Outcome::Chosen, "C:\\WINDOWS"},
      {ChooserKind::Folder, "C:\\", "program files\\app", Outcome::Chosen, "C:\\Program Files\\App"},
      {ChooserKind::Folder, "", "C:\\", Outcome::Chosen, "C:\\"},
      {ChooserKind::Folder, "", "", Outcome::Refused, "Choose a drive or a folder."},
      {ChooserKind::Folder, "C:\\", "..", Outcome::Chosen, "C:\\"},
      {ChooserKind::Folder, "C:\\", "boot.ini", Outcome::Refused, "C:\\boot.ini\rThis is not a folder."},
      {ChooserKind::Folder, "C:\\", "New", Outcome::Refused, "C:\\New\rPath does not exist."},
      {ChooserKind::Folder, "C:\\", "Outside", Outcome::Refused, "C:\\Outside is not accessible."},
  };
  for (const auto& c : cases) {
    FileDialogRequest request;
    request.DefaultExt = "reg";
    MachineChooser chooser(c.kind, request);
    std::string message;
    ASSERT_TRUE(chooser.GoTo(c.start, message)) << c.start << ": " << message;
    std::string chosen;
    const Outcome outcome = chooser.Accept(c.typed, chosen, message);
    EXPECT_EQ(outcome, c.outcome) << c.typed << " from " << c.start << ": " << message;
    switch (outcome) {
      case Outcome::Opened: EXPECT_EQ(chooser.Folder(), c.result) << c.typed; break;
      case Outcome::Chosen: EXPECT_EQ(chosen, c.result) << c.typed; break;
      case Outcome::Refused: EXPECT_EQ(message.rfind(c.result, 0), 0u) << c.typed << ": " << message; break;
    }
  }
}

// Up ends at the drive list; folders are made only on a drive; what is
// listed is on the drives, without links or the machine's own files.
TEST_F(MachineChooserTest, NavigationEndsAtTheDriveList) {
  FileDialogRequest request;
  request.InitialDir = "c:\\windows\\SYSTEM32";
  request.Filter = "Text files|*.txt|Programs|*.exe";
  MachineChooser chooser(ChooserKind::Open, request);
  const char* ups[] = {"C:\\WINDOWS\\system32", "C:\\WINDOWS", "C:\\", "", ""};
  for (const char* folder : ups) {
    EXPECT_EQ(chooser.Folder(), folder);
    EXPECT_EQ(chooser.CanGoUp(), *folder != '\0');
    EXPECT_EQ(chooser.CanCreateFolder(), *folder != '\0');
    chooser.GoUp();
  }
  EXPECT_EQ(Names(chooser), (std::vector<std::string>{"C:\\", "D:\\", "E:\\", "M:\\"}));
  EXPECT_EQ(chooser.Entries()[3].driveType, win::DRIVE_FIXED);
  std::string message;
  EXPECT_TRUE(chooser.CreateFolder(message).empty());

  const struct {
    const char* folder;
    bool reached;
  } folders[] = {
      {"C:\\Program Files\\App", true}, {"E:\\", false}, {"C:\\Outside", false}, {"/etc", false},
      {"\\\\server\\share", false},      {"Q:\\", false}, {"C:\\boot.ini", false}, {"M:\\drives", true},
  };
  for (const auto& f : folders) {
    EXPECT_EQ(chooser.GoTo(f.folder, message), f.reached) << f.folder;
    if (!f.reached) {
      EXPECT_FALSE(message.empty()) << f.folder;
    }
  }
  ASSERT_TRUE(chooser.GoTo("C:\\Program Files\\App", message));
  EXPECT_EQ(Names(chooser), std::vector<std::string>{"readme.txt"});
  chooser.SetFilter(1);
  EXPECT_EQ(Names(chooser), std::vector<std::string>{"app.exe"});
  std::string chosen;
  EXPECT_EQ(chooser.Accept("*.txt;*.exe", chosen, message), Outcome::Opened);
  EXPECT_EQ(Names(chooser), (std::vector<std::string>{"app.exe", "readme.txt"}));

  ASSERT_TRUE(chooser.GoTo("C:\\", message));
  for (const ChooserEntry& entry : chooser.Entries()) EXPECT_NE(entry.name, "Outside");
  EXPECT_EQ(chooser.CreateFolder(message), "C:\\New Folder");
  EXPECT_EQ(chooser.CreateFolder(message), "C:\\New Folder (2)");
  EXPECT_TRUE(win::DirectoryExists("C:\\New Folder (2)"));

  EXPECT_EQ(chooser.Accept("*.*", chosen, message), Outcome::Opened);
  ASSERT_TRUE(chooser.GoTo("M:\\", message));
  const std::vector<std::string> names = Names(chooser);
  EXPECT_NE(std::find(names.begin(), names.end(), "machine.ini"), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), "drives"), names.end());
  for (const std::string& name : names) {
    EXPECT_EQ(name.find(".db"), std::string::npos) << name;
  }
}

}  // namespace
