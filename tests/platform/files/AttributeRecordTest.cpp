// Attribute records move and go with their entry in one step: a process
// killed before, during or after the host move or deletion leaves every
// entry with its own record, and nothing recorded where no entry is once
// the machine opens again.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemFixture.h"
#include "platform/files/FileRecords.h"
#include "platform/files/FileSystem.h"
#include "platform/machine/Machine.h"
#include "platform/machine/StateStore.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

constexpr DWORD kHiddenArchive = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;

// A machine folder that is open only while a test says so, so that a child
// process can open it with no connection of the parent's about.
class ClosableMachine {
 public:
  ClosableMachine() {
    std::string pattern = "/tmp/fwrecords-XXXXXX";
    folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
    std::filesystem::create_directories(folder_ + "/drives/C");
    std::ofstream(folder_ + "/machine.ini") << HandMachine::DefaultConfig();
  }
  ~ClosableMachine() {
    Close();
    std::error_code ec;
    std::filesystem::remove_all(folder_, ec);
  }
  ClosableMachine(const ClosableMachine&) = delete;
  ClosableMachine& operator=(const ClosableMachine&) = delete;

  Machine& Open() {
    std::string error;
    machine_ = Machine::Open(folder_, error);
    if (!machine_) throw std::runtime_error(error);
    SetCurrentMachine(machine_.get());
    return *machine_;
  }
  void Close() {
    SetCurrentMachine(nullptr);
    machine_.reset();
  }
  const std::string& folder() const { return folder_; }
  void File(const std::string& relative) const {
    const std::filesystem::path path = folder_ + "/drives/C/" + relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << relative;
  }

 private:
  std::string folder_;
  std::unique_ptr<Machine> machine_;
};

enum class Kill { None, BeforeTheHostChange, AfterTheHostChange };

// Runs change in a child process that opens the machine itself and, by
// kill, dies by SIGKILL at that point.
void RunInChild(const std::string& folder, Kill kill, const std::function<bool()>& change) {
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::string error;
    std::unique_ptr<Machine> machine = Machine::Open(folder, error);
    if (!machine) _exit(2);
    SetCurrentMachine(machine.get());
    fs_detail::SetFileChangeHook([kill](bool before) {
      if ((kill == Kill::BeforeTheHostChange && before) || (kill == Kill::AfterTheHostChange && !before))
        raise(SIGKILL);
    });
    _exit(change() ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (kill == Kill::None) {
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  } else {
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  }
}

// The one entry of C:\Recycled that is not the bin's own.
std::string RecycledEntry() {
  std::string found;
  FindData entry;
  const std::unique_ptr<FileFinder> finder = FindFirstFile("C:\\Recycled\\*.*", entry);
  if (!finder) return found;
  do {
    if (entry.name != "." && entry.name != ".." && !SameName(entry.name, "INFO2")) found = "C:\\Recycled\\" + entry.name;
  } while (finder->Next(entry));
  return found;
}

TEST(AttributeRecords, StayWithTheirEntryWhereverAKillFallsInAMoveOrDeletion) {
  struct Case {
    const char* what;
    std::function<bool()> change;
    std::string recorded;                   // below C:\, a file with Hidden and Archive
    std::function<std::string()> afterwards;  // where it is once the change happened; empty: gone
    std::string folder = {};                // recorded's folder, when the change takes that
  };
  const std::vector<Case> cases = {
      {"move", [] { return MoveFile("C:\\Docs\\a.txt", "C:\\Other\\b.txt"); }, "Docs\\a.txt",
       [] { return std::string("C:\\Other\\b.txt"); }},
      {"move a folder", [] { return MoveFile("C:\\Docs\\Sub", "C:\\Other\\Moved"); }, "Docs\\Sub\\in.txt",
       [] { return std::string("C:\\Other\\Moved\\in.txt"); }, "Docs\\Sub"},
      {"recycle", [] { return DeleteToRecycleBin("C:\\Docs\\a.txt"); }, "Docs\\a.txt", RecycledEntry},
      {"delete", [] { return DeleteFile("C:\\Docs\\a.txt"); }, "Docs\\a.txt", [] { return std::string(); }},
      {"empty the bin", [] { return EmptyRecycleBin("C:"); }, "Recycled\\old.txt", [] { return std::string(); }},
  };
  for (const Case& c : cases) {
    for (const Kill kill : {Kill::None, Kill::BeforeTheHostChange, Kill::AfterTheHostChange}) {
      SCOPED_TRACE(std::string(c.what) + ", kill " + std::to_string(static_cast<int>(kill)));
      ClosableMachine m;
      std::string host = c.recorded;
      std::replace(host.begin(), host.end(), '\\', '/');
      m.File(host);
      std::filesystem::create_directories(m.folder() + "/drives/C/Other");
      const std::string before = "C:\\" + c.recorded;
      m.Open();
      ASSERT_TRUE(SetFileAttributes(before, kHiddenArchive));
      if (!c.folder.empty()) {
        ASSERT_TRUE(SetFileAttributes("C:\\" + c.folder, FILE_ATTRIBUTE_SYSTEM));
      }
      m.Close();
      RunInChild(m.folder(), kill, c.change);

      Machine& machine = m.Open();  // ends what the child left halfway
      StateStore& state = machine.State();
      EXPECT_TRUE(state.PendingFileChanges().empty());
      const bool happened = kill != Kill::BeforeTheHostChange;
      const std::string now = happened ? c.afterwards() : before;
      const std::string left = happened ? before : "";
      if (!now.empty()) {
        EXPECT_EQ(GetFileAttributes(now), kHiddenArchive) << now;
        EXPECT_TRUE(state.FileAttributes(UpperName(now)).has_value()) << now;
      } else {
        EXPECT_EQ(GetFileAttributes(before), INVALID_FILE_ATTRIBUTES);
      }
      if (!left.empty()) {
        EXPECT_EQ(GetFileAttributes(left), INVALID_FILE_ATTRIBUTES) << left;
        EXPECT_FALSE(state.FileAttributes(UpperName(left)).has_value()) << left;
      }
      if (!c.folder.empty() && happened) {
        EXPECT_FALSE(state.FileAttributes(UpperName("C:\\" + c.folder)).has_value());
        EXPECT_EQ(GetFileAttributes("C:\\Other\\Moved"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
      }
      // Nothing recorded but for entries that are there.
      std::vector<StateRow> rows;
      ASSERT_TRUE(state.Query("SELECT path FROM file_attributes", {}, rows));
      for (const StateRow& row : rows) EXPECT_NE(GetFileAttributes(StateText(row[0])), INVALID_FILE_ATTRIBUTES) << StateText(row[0]);
    }
  }
}

}  // namespace
