#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "GuiTestApp.h"
#include "TestMachine.h"
#include "ThisTestProgram.h"
#include "platform/machine/Machine.h"
#include "platform/registry/Registry.h"
#include "shell/Dialogs.h"
#include "shell/gui/MachineChooserDialog.h"
#include "shell/gui/QtDialogs.h"

namespace {

std::vector<std::string> ItemNames(const MachineChooserDialog& dialog) {
  std::vector<std::string> names;
  for (int i = 0; i < dialog.Entries->topLevelItemCount(); ++i) {
    names.push_back(dialog.Entries->topLevelItem(i)->text(0).toStdString());
  }
  return names;
}

QTreeWidgetItem* Item(const MachineChooserDialog& dialog, const QString& name) {
  const auto found = dialog.Entries->findItems(name, Qt::MatchExactly, 0);
  return found.isEmpty() ? nullptr : found.front();
}

const char* const kFiles = "C:\\boot.ini | text=[boot loader]\nC:\\WINDOWS\\win.ini\n";

}  // namespace

TEST(MachineChooserDialog, ShowsTheDrivesAndRefusesWhatLiesOffThem) {
  GuiApp();
  TestMachine machine("", kFiles);
  ScriptedDialogs dialogs;  // records the messages the chooser shows
  FileDialogRequest request;
  request.Title = "Open";
  request.Filter = "All Files (*.*)|*.*";
  MachineChooserDialog dialog(ChooserKind::Open, request);
  EXPECT_EQ(dialog.LookIn->text(), QStringLiteral("C:\\"));
  EXPECT_EQ(ItemNames(dialog), (std::vector<std::string>{"Program Files", "WINDOWS", "boot.ini"}));
  EXPECT_EQ(dialog.FileTypes->currentText(), QStringLiteral("All Files (*.*)"));

  dialog.UpButton->click();
  EXPECT_EQ(dialog.LookIn->text(), QStringLiteral("My Computer"));
  EXPECT_EQ(ItemNames(dialog), (std::vector<std::string>{"C:\\", "D:\\", "E:\\"}));
  EXPECT_FALSE(dialog.UpButton->isEnabled());
  EXPECT_FALSE(dialog.NewFolderButton->isEnabled());
  EXPECT_EQ(Item(dialog, "E:\\")->text(2), QStringLiteral("Removable Disk"));
  dialog.EntryActivated(Item(dialog, "E:\\"));  // no folder on disk
  ASSERT_EQ(dialogs.messages().size(), 1u);
  EXPECT_EQ(dialogs.messages()[0].text, "E:\\ is not accessible.\r\rThe device is not ready.");
  EXPECT_EQ(dialog.LookIn->text(), QStringLiteral("My Computer"));
  dialog.EntryActivated(Item(dialog, "C:\\"));
  EXPECT_EQ(dialog.LookIn->text(), QStringLiteral("C:\\"));
  EXPECT_TRUE(dialog.NewFolderButton->isEnabled());

  for (const char* outside : {"/etc/passwd", "\\\\server\\share\\x.txt", "Z:\\x.txt"}) {
    dialog.FileName->setText(QString::fromUtf8(outside));
    dialog.OkButton->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << outside;
    EXPECT_TRUE(dialog.ChosenPath().empty()) << outside;
  }
  ASSERT_EQ(dialogs.messages().size(), 4u);
  EXPECT_EQ(dialogs.messages()[1].text, "C:\\etc\\passwd\rPath does not exist.\rCheck the path and try again.");
  EXPECT_EQ(dialogs.messages()[1].caption, "Open");
  EXPECT_EQ(dialogs.messages()[1].flags, MB_OK | MB_ICONWARNING);

  dialog.FileName->setText("..\\..");
  dialog.OkButton->click();
  EXPECT_EQ(dialog.LookIn->text(), QStringLiteral("C:\\"));
  dialog.EntryActivated(Item(dialog, "WINDOWS"));
  dialog.Entries->setCurrentItem(Item(dialog, "win.ini"));
  EXPECT_EQ(dialog.FileName->text(), QStringLiteral("win.ini"));
  dialog.OkButton->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.ChosenPath(), "C:\\WINDOWS\\win.ini");
}

TEST(MachineChooserDialog, FolderChooserGivesTheWindowsPathOfTheFolder) {
  GuiApp();
  TestMachine machine("", kFiles);
  QtDialogs dialogs;
  // Types into the next chooser and presses OK.
  const auto answer = [](const QString& typed, std::vector<std::string> listed) {
    QTimer::singleShot(0, [typed, listed] {
      auto* dialog = dynamic_cast<MachineChooserDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Select Drive or Directory"));
      EXPECT_EQ(dialog->FileNameLabel->text(), QStringLiteral("Folder:"));
      EXPECT_TRUE(dialog->FileTypes->isHidden());
      EXPECT_EQ(ItemNames(*dialog), listed) << "folders only";
      dialog->FileName->setText(typed);
      dialog->OkButton->click();
      if (dialog->isVisible()) dialog->reject();
    });
  };
  std::string folder = "C:\\WINDOWS";
  answer("", {});
  ASSERT_TRUE(dialogs.BrowseForFolder("Select Drive or Directory", folder));
  EXPECT_EQ(folder, "C:\\WINDOWS");
  folder.clear();
  answer("C:\\", {"Program Files", "WINDOWS"});
  ASSERT_TRUE(dialogs.BrowseForFolder("Select Drive or Directory", folder));
  EXPECT_EQ(folder, "C:\\");
}

namespace {

// The store lock across processes. This test program runs again as the
// program (FW_CHOOSER_LOCK=walk: every chooser on every folder it reaches,
// then one registry write when told), as a second copy that opens and
// closes the machine (touch) and as a reader (read). Lines for the test
// start with "@"; the rest is the test framework's own output.

constexpr const char* kLockKey = "\\Software\\LockTest";

// True when this process holds a POSIX lock on the file (/proc/locks).
bool HoldsPosixLock(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) {
      if (word != "->") words.push_back(word);
    }
    if (words.size() < 6 || words[1] != "POSIX" || words[4] != std::to_string(getpid())) continue;
    const std::string& id = words[5];
    if (id.substr(id.rfind(':') + 1) == std::to_string(st.st_ino)) return true;
  }
  return false;
}

// Opens every folder below the one shown, as a user double-clicks them, and
// comes back up; counts the folders listed.
int WalkFolders(MachineChooserDialog& dialog, std::set<QString>& seen) {
  QCoreApplication::processEvents();
  const QString here = dialog.LookIn->text();
  if (!seen.insert(here).second) return 0;
  int listed = 1;
  std::vector<QString> folders;
  for (int i = 0; i < dialog.Entries->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = dialog.Entries->topLevelItem(i);
    if (MachineChooserDialog::IsFolderItem(item)) folders.push_back(item->text(0));
  }
  for (const QString& name : folders) {
    dialog.EntryActivated(Item(dialog, name));
    if (dialog.LookIn->text() == here) continue;  // refused
    listed += WalkFolders(dialog, seen);
    dialog.UpButtonClick();
  }
  return listed;
}

std::string ReadLockValue() {
  win::TRegistry reg;
  if (!reg.OpenKeyReadOnly(kLockKey)) return "(no key)";
  return reg.ReadString("after").value_or("(no value)");
}

class Child {
 public:
  Child(const std::string& mode, const std::string& folder) {
    int toChild[2];
    int fromChild[2];
    // Close-on-exec: the child keeps only its own ends, as standard input and output.
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    pid_ = StartThisTestProgram("ChooserLockChild.*",
                                {"FW_CHOOSER_LOCK=" + mode, "FW_CHOOSER_MACHINE=" + folder}, toChild[0],
                                fromChild[1]);
    close(toChild[0]);
    close(fromChild[1]);
    in_ = toChild[1];
    out_ = fromChild[0];
  }
  ~Child() {
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The next line that starts with "@", without it; empty when the child
  // ended or said nothing for a minute.
  std::string Next() {
    for (;;) {
      const std::size_t end = buffer_.find('\n');
      if (end != std::string::npos) {
        const std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        if (line.rfind('@', 0) == 0) return line.substr(1);
        continue;
      }
      pollfd wait{out_, POLLIN, 0};
      if (poll(&wait, 1, 60000) <= 0) return {};
      char chunk[4096];
      const ssize_t got = read(out_, chunk, sizeof chunk);
      if (got <= 0) return {};
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }
  void Tell(const std::string& line) {
    const std::string text = line + "\n";
    EXPECT_EQ(write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  // Ends with SIGKILL, as a killed program ends.
  void Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Waits for the end; true for exit code 0.
  bool Finished() {
    const bool ok = EndedCleanly(pid_);
    pid_ = -1;
    return ok;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

}  // namespace

TEST(ChooserLockChild, Run) {
  const char* mode = std::getenv("FW_CHOOSER_LOCK");
  const char* folder = std::getenv("FW_CHOOSER_MACHINE");
  if (mode == nullptr || folder == nullptr) GTEST_SKIP() << "only runs as a process of the chooser lock test";
  std::string error;
  std::unique_ptr<win::Machine> machine = win::Machine::Open(folder, error);
  ASSERT_TRUE(machine) << error;
  win::SetCurrentMachine(machine.get());
  const std::string which = mode;
  if (which == "read") std::cout << "@value=" << ReadLockValue() << std::endl;
  if (which == "walk") {
    GuiApp();
    int listed = 0;
    for (ChooserKind kind : {ChooserKind::Open, ChooserKind::Save, ChooserKind::Folder}) {
      FileDialogRequest request;
      request.Filter = "All Files (*.*)|*.*";
      MachineChooserDialog dialog(kind, request);
      dialog.show();
      while (dialog.UpButton->isEnabled()) dialog.UpButtonClick();
      std::set<QString> seen;
      listed += WalkFolders(dialog, seen);
    }
    const std::string store = machine->Folder() + "/registry.db";
    std::cout << "@walked " << listed << " locked " << HoldsPosixLock(store) << HoldsPosixLock(store + "-shm")
              << std::endl;
    std::string line;
    ASSERT_TRUE(std::getline(std::cin, line));
    ASSERT_EQ(line, "write");
    win::TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kLockKey, true));
    ASSERT_TRUE(reg.WriteString("after", "1"));
    std::cout << "@written" << std::endl;
    std::getline(std::cin, line);  // killed while waiting
  }
  win::SetCurrentMachine(nullptr);
}

// Every chooser on every folder it reaches, a drive that is the machine
// folder itself included; then another process opens and closes the
// machine. The program still holds its locks, so its next write reaches
// the store that everyone reads and outlives a kill.
TEST(MachineChooserDialog, ChoosersLeaveTheStoreItsLock) {
  const std::string folder = (std::filesystem::temp_directory_path() /
                              ("fwchooserlock-" + std::to_string(getpid()))).string();
  std::filesystem::remove_all(folder);
  win::MachineRecipe recipe;
  recipe.configText = TestMachine::DefaultConfigText() + "M=fixed,.\r\n";
  recipe.regText = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\LockTest]\r\n\"before\"=\"1\"\r\n";
  recipe.fileList = kFiles;
  std::string error;
  ASSERT_TRUE(win::CreateMachine(folder, recipe, error)) << error;
  {
    Child program("walk", folder);
    const std::string walked = program.Next();
    EXPECT_EQ(walked.rfind("walked ", 0), 0u) << walked;
    EXPECT_NE(walked.find(" locked 11"), std::string::npos) << walked;
    // Each chooser: My Computer; C:\ with Program Files, its Fernwick and
    // WINDOWS; D:\; M:\, with drives and their folders again (8).
    EXPECT_EQ(walked.substr(0, walked.find(" locked")), "walked 39");

    Child second("touch", folder);
    EXPECT_TRUE(second.Finished());
    program.Tell("write");
    EXPECT_EQ(program.Next(), "written");
    Child third("read", folder);
    EXPECT_EQ(third.Next(), "value=1") << "the write reached the store that others read";
    EXPECT_TRUE(third.Finished());
    program.Kill();
  }
  Child after("read", folder);
  EXPECT_EQ(after.Next(), "value=1") << "the write outlived the kill";
  EXPECT_TRUE(after.Finished());
  std::filesystem::remove_all(folder);
}
