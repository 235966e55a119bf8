// Temporary files of writes through a temporary file: hidden from listings,
// removed at the next such write into their folder once no process holds
// them.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
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
#include "platform/files/FileSystem.h"
#include "platform/files/HostFiles.h"
#include "platform/files/ShellFileOperation.h"

using namespace win;

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::string> HostNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder)) names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> Listed(const std::string& folder) {
  std::vector<std::string> names;
  FindData entry;
  const std::unique_ptr<FileFinder> finder = FindFirstFile(folder + "\\*.*", entry);
  if (!finder) return names;
  do names.push_back(entry.name);
  while (finder->Next(entry));
  return names;
}

// A temporary file as a killed write leaves it: full size, never renamed.
void LeaveStaleTemp(const std::string& host) { std::ofstream(host, std::ios::binary) << "a full copy of the file"; }

TEST(TemporaryFiles, EveryWriteThroughATemporaryFileClearsItsFolder) {
  struct Case {
    const char* what;
    std::function<bool()> write;  // into C:\Dest
  };
  HandMachine m;
  m.File("Dest/keep.txt", "keep");
  m.File("Source.txt", "source");
  m.File("Other/x.txt", "x");
  std::ofstream(m.folder() + "/drives/E/far.txt") << "far";
  const std::vector<Case> cases = {
      {"WriteFileBytes", [] { return WriteFileBytes("C:\\Dest\\new.txt", Bytes("new")); }},
      {"WriteFileWith",
       [] {
         return WriteFileWith("C:\\Dest\\new.txt", [](const ByteSink& write) {
           return write(reinterpret_cast<const std::uint8_t*>("piece"), 5);
         });
       }},
      {"CopyFile", [] { return CopyFile("C:\\Source.txt", "C:\\Dest\\copy.txt", false); }},
      {"SHFileOperation move from another drive",
       [] {
         SHFILEOPSTRUCT operation;
         operation.wFunc = FO_MOVE;
         operation.pFrom = "E:\\far.txt";
         operation.pTo = "C:\\Dest";
         return SHFileOperation(operation) == 0;
       }},
  };
  for (const Case& c : cases) {
    LeaveStaleTemp(m.C("Dest/.fw-Ab12Cd"));
    LeaveStaleTemp(m.C("Other/.fw-Qq99Rr"));
    std::ofstream(m.C("Dest/.fw-notes.txt")) << "not ours: another name";
    std::filesystem::create_directories(m.C("Dest/.fw-Dir123"));  // a folder is never one
    EXPECT_EQ(Listed("C:\\Dest"), (std::vector<std::string>{".", "..", ".fw-Dir123", ".fw-notes.txt", "keep.txt"}))
        << c.what;
    ASSERT_TRUE(c.write()) << c.what;
    EXPECT_FALSE(m.HostExists("Dest/.fw-Ab12Cd")) << c.what;
    EXPECT_TRUE(m.HostExists("Dest/.fw-notes.txt")) << c.what;
    EXPECT_TRUE(m.HostExists("Dest/.fw-Dir123")) << c.what;
    EXPECT_TRUE(m.HostExists("Other/.fw-Qq99Rr")) << c.what;  // another folder
    EXPECT_EQ(m.Content("Dest/keep.txt"), "keep") << c.what;
    for (const std::string& name : HostNames(m.C("Dest")))
      if (name != "keep.txt" && name != ".fw-notes.txt" && name != ".fw-Dir123")
        std::filesystem::remove(m.C("Dest/" + name));
  }
}

// A write still running holds its temporary file; killed, it leaves the file
// behind, and the next write into the folder takes it away.
TEST(TemporaryFiles, AKilledWriteLeavesOnlyWhatTheNextWriteRemoves) {
  HandMachine m;
  m.File("Startup/keep.txt", "keep");
  const std::string folder = m.C("Startup");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    fs_detail::ReplaceHostFile(folder + "/target.txt", std::nullopt, [&](int fd) {
      const std::string half(4096, 'x');
      if (write(fd, half.data(), half.size()) < 0 || write(ready[1], "!", 1) < 0) _exit(1);
      for (;;) pause();
      return true;
    });
    _exit(1);
  }
  close(ready[1]);
  char signal = 0;
  ASSERT_EQ(read(ready[0], &signal, 1), 1);
  close(ready[0]);
  const auto temps = [&] {
    std::vector<std::string> found;
    for (const std::string& name : HostNames(folder))
      if (fs_detail::IsTemporaryFileName(name)) found.push_back(name);
    return found;
  };
  ASSERT_EQ(temps().size(), 1u);
  const std::vector<std::string> shown{".", "..", "keep.txt"};
  EXPECT_EQ(Listed("C:\\Startup"), shown);
  ASSERT_TRUE(WriteFileBytes("C:\\Startup\\keep.txt", Bytes("kept")));
  EXPECT_EQ(temps().size(), 1u);  // the running write keeps its own

  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(temps().size(), 1u);
  EXPECT_EQ(Listed("C:\\Startup"), shown);
  EXPECT_FALSE(m.HostExists("Startup/target.txt"));

  ASSERT_TRUE(WriteFileBytes("C:\\Startup\\keep.txt", Bytes("kept again")));
  EXPECT_TRUE(temps().empty());
  EXPECT_EQ(HostNames(folder), std::vector<std::string>{"keep.txt"});
  EXPECT_EQ(m.Content("Startup/keep.txt"), "kept again");
}

// A temporary file locked as a running write holds it; -1 on failure.
int HoldAsARunningWrite(const std::string& host) {
  LeaveStaleTemp(host);
  const int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && flock(fd, LOCK_EX) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// A folder that lists empty can be removed, and emptying the bin takes no
// temporary file for an item: in both, the stale ones go and a running
// write keeps its own.
TEST(TemporaryFiles, RemovingAFolderAndEmptyingTheBinTakeOnlyStaleOnes) {
  HandMachine m;
  m.Folder("Gone");
  LeaveStaleTemp(m.C("Gone/.fw-Ab12Cd"));
  EXPECT_EQ(Listed("C:\\Gone"), (std::vector<std::string>{".", ".."}));
  EXPECT_TRUE(RemoveDirectory("C:\\Gone"));
  EXPECT_FALSE(m.HostExists("Gone"));

  m.Folder("Busy");
  const int busy = HoldAsARunningWrite(m.C("Busy/.fw-Bb12Cd"));
  ASSERT_GE(busy, 0);
  EXPECT_FALSE(RemoveDirectory("C:\\Busy"));
  EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
  EXPECT_TRUE(m.HostExists("Busy/.fw-Bb12Cd"));
  close(busy);

  m.File("Recycled/Dc1.txt", "old");
  LeaveStaleTemp(m.C("Recycled/.fw-Cc12Cd"));
  const int writing = HoldAsARunningWrite(m.C("Recycled/.fw-Dd12Cd"));
  ASSERT_GE(writing, 0);
  EXPECT_TRUE(EmptyRecycleBin("C:\\"));
  EXPECT_EQ(HostNames(m.C("Recycled")), std::vector<std::string>{".fw-Dd12Cd"});
  close(writing);
}

}  // namespace
