#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "FileSystemFixture.h"
#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"

using namespace win;

namespace {

class PathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.File("WINDOWS/system32/Shell32.dll", "x");
    m.File("Program Files/App/app.exe", "x");
    m.Folder("Docs");
    // Host links: one to a folder inside the machine, one out of it.
    ASSERT_EQ(symlink(m.C("Program Files").c_str(), m.C("Inside").c_str()), 0);
    ASSERT_EQ(symlink("/etc", m.C("Outside").c_str()), 0);
    ASSERT_EQ(symlink("/etc/hostname", m.C("Docs/passwd.lnk").c_str()), 0);
  }
  HandMachine m;
};

struct Resolution {
  const char* path;
  const char* host;  // below drive C's folder; nullptr: no host path
};

TEST_F(PathTest, ResolvesEachComponentIgnoringCase) {
  const Resolution cases[] = {
      {"C:\\windows\\SYSTEM32\\shell32.DLL", "WINDOWS/system32/Shell32.dll"},
      {"c:/Windows/System32/Shell32.dll", "WINDOWS/system32/Shell32.dll"},
      {"C:\\WINDOWS\\\\system32\\.\\shell32.dll", "WINDOWS/system32/Shell32.dll"},
      {"C:\\WINDOWS\\Temp\\..\\system32", "WINDOWS/system32"},
      {"C:\\windows\\new folder\\New.txt", "WINDOWS/new folder/New.txt"},  // new parts as given
      // The folders as the host spells them, the last part otherwise or not there.
      {"C:\\WINDOWS\\system32\\shell32.dll", "WINDOWS/system32/Shell32.dll"},
      {"C:\\WINDOWS\\system32\\SHELL32.DLL -s", "WINDOWS/system32/SHELL32.DLL -s"},
      {"C:\\Program Files\\App\\APP.EXE", "Program Files/App/app.exe"},
      {"C:\\", ""},
      {"C:", ""},
      {"C:\\..", nullptr},               // above the drive's folder
      {"C:\\WINDOWS\\..\\..\\etc", nullptr},
      {"Q:\\x", nullptr},                // no such drive
      {"\\WINDOWS", nullptr},            // no drive at all
      {"relative.txt", nullptr},
      {"\\\\server\\share\\x", nullptr},
      {"", nullptr},
  };
  for (const auto& c : cases) {
    const std::string expected = c.host ? m.C(c.host) : "";
    std::string host = HostPath(c.path);
    if (!host.empty() && host.back() == '/' ) host.pop_back();
    std::string want = expected;
    if (!want.empty() && want.back() == '/') want.pop_back();
    EXPECT_EQ(host, want) << c.path;
  }
}

TEST_F(PathTest, BadPathsFailWithTheWindowsError) {
  const struct {
    const char* path;
    DWORD error;
  } cases[] = {
      {"C:\\nothing.txt", ERROR_FILE_NOT_FOUND},
      {"C:\\nothing\\x.txt", ERROR_PATH_NOT_FOUND},
      {"C:\\WINDOWS\\system32\\shell32.dll\\x", ERROR_PATH_NOT_FOUND},  // through a file
      {"C:\\Inside\\App\\app.exe", ERROR_PATH_NOT_FOUND},              // through a link
      {"C:\\Outside\\passwd", ERROR_PATH_NOT_FOUND},
      {"C:\\..\\x", ERROR_PATH_NOT_FOUND},
      {"Q:\\x", ERROR_PATH_NOT_FOUND},
      {"D:\\setup.exe", ERROR_NOT_READY},  // CD-ROM drive without a disc
      {"C:\\a<b", ERROR_INVALID_NAME},
      {"C:\\a|b", ERROR_INVALID_NAME},
      {"C:\\what?.txt", ERROR_INVALID_NAME},
      {"C:\\a:b", ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributes(c.path), INVALID_FILE_ATTRIBUTES) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(PathTest, OverLongPathsAreRefused) {
  const std::string name255(255, 'n');
  const std::string name256(256, 'n');
  SetLastError(0);
  EXPECT_FALSE(CreateDirectory("C:\\" + name256));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_TRUE(CreateDirectory("C:\\" + name255));
  // MAX_PATH: 259 characters and the terminator.
  const std::string folder = "C:\\" + std::string(200, 'f');
  ASSERT_TRUE(CreateDirectory(folder));
  const std::string longest = folder + "\\" + std::string(259 - folder.size() - 1, 'x');
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_TRUE(WriteFileBytes(longest, {}));
  EXPECT_FALSE(WriteFileBytes(longest + "y", {}));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST_F(PathTest, LinksAreReparsePointsAndNeverFollowed) {
  for (const char* link : {"C:\\Inside", "C:\\Outside", "C:\\Docs\\passwd.lnk"}) {
    EXPECT_EQ(GetFileAttributes(link), FILE_ATTRIBUTE_REPARSE_POINT) << link;
    EXPECT_FALSE(FileExists(link)) << link;
    EXPECT_FALSE(DirectoryExists(link)) << link;
  }
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(ReadFileBytes("C:\\Docs\\passwd.lnk", data));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(WriteFileBytes("C:\\Docs\\passwd.lnk", {'x'}));
  EXPECT_FALSE(AppendFileBytes("C:\\Docs\\passwd.lnk", {'x'}));
  FindData first;
  EXPECT_EQ(FindFirstFile("C:\\Outside\\*", first), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

  // Deleting a link deletes the link only.
  EXPECT_TRUE(DeleteFile("C:\\Docs\\passwd.lnk"));
  EXPECT_TRUE(RemoveDirectory("C:\\Inside"));
  EXPECT_FALSE(m.HostExists("Inside"));
  EXPECT_FALSE(m.HostExists("Docs/passwd.lnk"));
  EXPECT_TRUE(m.HostExists("Program Files/App/app.exe"));
  EXPECT_TRUE(std::filesystem::exists("/etc/hostname"));
}

// Each folder asked through its own spelling: in another case, as the host
// spells it, as the host spells it below a folder in another case, and the
// drive's root.
TEST_F(PathTest, CaseInsensitiveLookupSeesChangesToASettledFolder) {
  const struct {
    const char* host;
    const char* asked;
  } folders[] = {{"Settled", "C:\\SETTLED"}, {"Exact", "C:\\Exact"}, {"Outer/Inner", "C:\\OUTER\\Inner"}, {"", "C:"}};
  for (const auto& f : folders) m.File(std::string(f.host) + "/Alpha.txt");
  usleep(2'200'000);  // long enough for the folders' listings to be trusted
  for (const auto& f : folders) {
    SCOPED_TRACE(f.asked);
    const std::string asked = f.asked;
    EXPECT_TRUE(FileExists(asked + "\\ALPHA.TXT"));
    EXPECT_FALSE(FileExists(asked + "\\BETA.TXT"));
    m.File(std::string(f.host) + "/bEta.txt");
    ASSERT_EQ(unlink(m.C(std::string(f.host) + "/Alpha.txt").c_str()), 0);
    EXPECT_TRUE(FileExists(asked + "\\BETA.TXT"));
    EXPECT_FALSE(FileExists(asked + "\\ALPHA.TXT"));
  }
}

TEST_F(PathTest, ExistsTellsFilesFromFolders) {
  EXPECT_TRUE(FileExists("C:\\WINDOWS\\system32\\shell32.dll"));
  EXPECT_FALSE(DirectoryExists("C:\\WINDOWS\\system32\\shell32.dll"));
  EXPECT_TRUE(DirectoryExists("C:\\WINDOWS\\system32"));
  EXPECT_TRUE(DirectoryExists("C:\\windows\\system32\\"));
  EXPECT_FALSE(FileExists("C:\\WINDOWS\\system32"));
  EXPECT_TRUE(DirectoryExists("C:\\"));
  EXPECT_FALSE(FileExists("C:\\missing.dll"));
  EXPECT_FALSE(DirectoryExists("D:\\"));
}

TEST_F(PathTest, DriveTypesComeFromTheDriveTable) {
  const struct {
    const char* root;
    unsigned type;
  } cases[] = {
      {"C:\\", DRIVE_FIXED},     {"c:", DRIVE_FIXED},       {"C:/", DRIVE_FIXED},
      {"D:\\", DRIVE_CDROM},     {"E:\\", DRIVE_REMOVABLE}, {"N:\\", DRIVE_REMOTE},
      {"R:\\", DRIVE_RAMDISK},   {"F:\\", DRIVE_NO_ROOT_DIR}, {"A:\\", DRIVE_NO_ROOT_DIR},
      {"C:\\WINDOWS", DRIVE_NO_ROOT_DIR}, {"", DRIVE_NO_ROOT_DIR}, {"?:\\", DRIVE_NO_ROOT_DIR},
  };
  for (const auto& c : cases) EXPECT_EQ(GetDriveType(c.root), c.type) << c.root;
  EXPECT_EQ(GetLogicalDrives(), (std::vector<char>{'C', 'D', 'E', 'N', 'R'}));
}

TEST(PathWithoutMachine, EverythingFailsQuietly) {
  ASSERT_EQ(CurrentMachine(), nullptr);
  EXPECT_EQ(HostPath("C:\\x"), "");
  EXPECT_FALSE(FileExists("C:\\x"));
  EXPECT_EQ(GetDriveType("C:\\"), DRIVE_NO_ROOT_DIR);
  EXPECT_TRUE(GetLogicalDrives().empty());
  EXPECT_EQ(GetWindowsDirectory(), "C:\\WINDOWS");
}

TEST(PathNames, SplitLikeWindowsPaths) {
  const struct {
    const char* path;
    const char* name;
    const char* folder;
    const char* ext;
  } cases[] = {
      {"C:\\WINDOWS\\win.ini", "win.ini", "C:\\WINDOWS\\", ".ini"},
      {"C:\\a.dir\\file", "file", "C:\\a.dir\\", ""},
      {"C:file.txt", "file.txt", "C:", ".txt"},
      {"C:\\", "", "C:\\", ""},
      {"name.tar.gz", "name.tar.gz", "", ".gz"},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtractFileName(c.path), c.name) << c.path;
    EXPECT_EQ(ExtractFilePath(c.path), c.folder) << c.path;
    EXPECT_EQ(ExtractFileExt(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(IncludeTrailingBackslash("C:\\WINDOWS"), "C:\\WINDOWS\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\WINDOWS\\"), "C:\\WINDOWS\\");
}

}  // namespace

// Drive M is the machine folder itself and drive P its parent: no call on a
// Windows path opens, makes, moves or lists the machine's store files, or
// reaches the machine folder through P.
TEST(StoreFiles, NoWindowsPathReachesThem) {
  HandMachine m(HandMachine::DefaultConfig() + "M=fixed,.\nP=fixed,..\n");
  const std::string machineName = std::filesystem::path(m.folder()).filename().string();
  const std::string inP = "P:\\" + machineName;
  const struct {
    std::string path;
    bool reached;
  } cases[] = {
      {"M:\\machine.ini", true},         {"M:\\drives\\C", true},
      {"M:\\registry.db", false},        {"M:\\Registry.DB", false},
      {"M:\\registry.db-wal", false},    {"M:\\registry.db-shm", false},
      {"M:\\registry.db-checked", false},
      {"M:\\state.db", false},           {"M:\\state.db-journal", false},
      {"M:\\drives\\..\\state.db", false}, {inP, false},
      {inP + "\\machine.ini", false},    {inP + "\\registry.db", false},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(GetFileAttributes(c.path) != INVALID_FILE_ATTRIBUTES, c.reached) << c.path;
    if (!c.reached) {
      EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED) << c.path;
    }
    EXPECT_EQ(HostPath(c.path).empty(), !c.reached) << c.path;
  }

  const std::vector<std::uint8_t> bytes = {'x'};
  std::vector<std::uint8_t> read;
  EXPECT_FALSE(ReadFileBytes("M:\\registry.db", read));
  EXPECT_FALSE(WriteFileBytes("M:\\registry.db-journal", bytes));
  EXPECT_FALSE(AppendFileBytes("M:\\state.db", bytes));
  EXPECT_FALSE(CopyFile("M:\\registry.db", "M:\\copy.db", false));
  EXPECT_FALSE(CopyFile("M:\\machine.ini", "M:\\state.db-wal", false));
  EXPECT_FALSE(MoveFile("M:\\state.db", "M:\\moved.db"));
  EXPECT_FALSE(DeleteFile("M:\\registry.db"));
  EXPECT_FALSE(DeleteToRecycleBin("M:\\registry.db"));
  for (const char* name : {"copy.db", "moved.db", "registry.db-journal", "state.db-wal"}) {
    EXPECT_FALSE(std::filesystem::exists(m.folder() + "/" + name)) << name;
  }
  EXPECT_TRUE(std::filesystem::exists(m.folder() + "/registry.db"));
  EXPECT_TRUE(std::filesystem::exists(m.folder() + "/state.db"));

  const auto list = [](const std::string& pattern) {
    std::vector<std::string> names;
    FindData data;
    auto finder = FindFirstFile(pattern, data);
    if (finder) {
      do names.push_back(data.name);
      while (finder->Next(data));
    }
    return names;
  };
  const std::vector<std::string> names = list("M:\\*");
  EXPECT_NE(std::find(names.begin(), names.end(), "machine.ini"), names.end());
  for (const std::string& name : names) EXPECT_EQ(name.find(".db"), std::string::npos) << name;
  EXPECT_TRUE(list("M:\\registry.db*").empty());
  EXPECT_TRUE(list(inP).empty());
  const std::vector<std::string> siblings = list("P:\\" + machineName.substr(0, 3) + "*");
  EXPECT_EQ(std::find(siblings.begin(), siblings.end(), machineName), siblings.end());
}

namespace {

// What a path names, found one part at a time: the exact name first, else
// the first name equal to it but for case in byte order; the walk stops at
// anything that is not a real folder.
struct Walked {
  std::string host;
  PathKind kind = PathKind::None;
};

Walked WalkByHand(const std::string& driveHost, const std::string& windowsPath) {
  Walked walked;
  walked.host = driveHost;
  bool inFolder = true;
  std::string rest = windowsPath.substr(3);
  while (!rest.empty()) {
    const std::size_t cut = rest.find('\\');
    const std::string part = rest.substr(0, cut);
    rest = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    std::string name = part;
    walked.kind = PathKind::None;
    if (inFolder) {
      std::error_code error;
      const auto exact = std::filesystem::symlink_status(walked.host + "/" + part, error);
      if (!std::filesystem::exists(exact)) {
        std::vector<std::string> same;
        for (const auto& item : std::filesystem::directory_iterator(walked.host)) {
          const std::string found = item.path().filename().string();
          if (UpperName(found) == UpperName(part)) same.push_back(found);
        }
        if (!same.empty()) name = *std::min_element(same.begin(), same.end());
      }
      const auto status = std::filesystem::symlink_status(walked.host + "/" + name, error);
      if (std::filesystem::is_symlink(status)) walked.kind = PathKind::Link;
      else if (std::filesystem::is_directory(status)) walked.kind = PathKind::Folder;
      else if (std::filesystem::exists(status)) walked.kind = PathKind::File;
    }
    walked.host += "/" + name;
    inFolder = walked.kind == PathKind::Folder;
  }
  return walked;
}

}  // namespace

std::string PathTestDriveHost(HandMachine& m) {
  std::string host = m.C("");
  if (!host.empty() && host.back() == '/') host.pop_back();
  return host;
}

// Paths answered in one call and paths walked part by part give what the
// walk by hand gives.
TEST_F(PathTest, AnswersAsAWalkOfEachPart) {
  m.File("Mixed/Deep/Leaf.txt", "x");
  m.File("Twin/twin.txt", "x");   // a folder and a file "TWIN"
  m.File("TWIN", "x");
  m.File("Pair/abc.txt", "x");    // two files equal but for case
  m.File("Pair/ABC.txt", "x");
  ASSERT_EQ(symlink(m.C("Mixed").c_str(), m.C("Docs/Hop").c_str()), 0);
  const char* paths[] = {
      "C:\\Mixed\\Deep\\Leaf.txt", "C:\\MIXED\\deep\\LEAF.TXT", "C:\\mixed\\Deep\\leaf.txt",
      "C:\\Mixed\\DEEP\\Leaf.txt", "C:\\Mixed\\Deep\\Gone.txt", "C:\\Mixed\\Gone\\Leaf.txt",
      "C:\\Mixed\\Deep", "C:\\mixed\\deep", "C:\\Twin", "C:\\twin", "C:\\TWIN",
      "C:\\Twin\\twin.txt", "C:\\twin\\twin.txt", "C:\\TWIN\\twin.txt",
      "C:\\Pair\\abc.txt", "C:\\Pair\\ABC.txt", "C:\\Pair\\Abc.txt",
      "C:\\Inside", "C:\\Inside\\App\\app.exe", "C:\\inside\\App\\app.exe",
      "C:\\Outside\\hostname", "C:\\Docs\\Hop\\Deep\\Leaf.txt", "C:\\Docs\\passwd.lnk",
      "C:\\Program Files\\App\\app.exe\\more",
  };
  for (int round = 0; round < 2; ++round) {  // the second round from what was remembered
    for (const char* path : paths) {
      const Walked want = WalkByHand(PathTestDriveHost(m), path);
      EXPECT_EQ(GetPathKind(path), want.kind) << path;
      EXPECT_EQ(HostPath(path), want.host) << path;
    }
  }
}

// More folders than the listings kept: each still resolves, also after its
// listing went.
TEST_F(PathTest, FoldersPastTheListingsKeptStillResolve) {
  constexpr int kFolders = 4200;
  for (int i = 0; i < kFolders; ++i) m.File("Many/Dir" + std::to_string(i) + "/Item.txt", "x");
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kFolders; i += round ? 7 : 1) {
      const std::string path = "C:\\MANY\\DIR" + std::to_string(i) + "\\ITEM.TXT";
      ASSERT_EQ(HostPath(path), m.C("Many/Dir" + std::to_string(i) + "/Item.txt")) << path;
      ASSERT_EQ(GetPathKind(path), PathKind::File) << path;
    }
  }
}

// A host entry made or removed between two questions is seen by the second,
// whether the path is spelled as the host spells it or not.
TEST_F(PathTest, EntriesMadeOrRemovedBetweenTwoQuestionsAreSeen) {
  for (const char* path : {"C:\\Docs\\Note.txt", "C:\\DOCS\\NOTE.TXT"}) {
    EXPECT_EQ(GetPathKind(path), PathKind::None) << path;
    m.File("Docs/Note.txt", "x");
    EXPECT_EQ(GetPathKind(path), PathKind::File) << path;
    ASSERT_EQ(unlink(m.C("Docs/Note.txt").c_str()), 0);
    EXPECT_EQ(GetPathKind(path), PathKind::None) << path;
    m.Folder("Docs/Note.txt");
    EXPECT_EQ(GetPathKind(path), PathKind::Folder) << path;
    ASSERT_EQ(rmdir(m.C("Docs/Note.txt").c_str()), 0);
  }
}

// Folders first found spelled otherwise than the host spells them: a path
// through one asked again after the host changed it answers as the walk by
// hand does, at every level and in every case.
TEST_F(PathTest, FoldersFoundInOtherCaseFollowTheHostsChanges) {
  namespace fsys = std::filesystem;
  using Change = void (*)(const HandMachine& hand, const std::string& top);
  const struct {
    const char* what;
    Change change;
  } cases[] = {
      {"nothing", [](const HandMachine&, const std::string&) {}},
      {"deep folder renamed",
       [](const HandMachine& h, const std::string& t) {
         fsys::rename(h.C(t + "/Mixed/Deep"), h.C(t + "/Mixed/Gone"));
       }},
      {"top folder renamed in case only",
       [](const HandMachine& h, const std::string& t) { fsys::rename(h.C(t + "/Mixed"), h.C(t + "/mixed")); }},
      {"deep folder deleted",
       [](const HandMachine& h, const std::string& t) { fsys::remove_all(h.C(t + "/Mixed/Deep")); }},
      {"deep folder replaced by a file",
       [](const HandMachine& h, const std::string& t) {
         fsys::remove_all(h.C(t + "/Mixed/Deep"));
         h.File(t + "/Mixed/Deep", "x");
       }},
      {"deep folder replaced by a link to itself",
       [](const HandMachine& h, const std::string& t) {
         fsys::rename(h.C(t + "/Mixed/Deep"), h.C(t + "/Mixed/Real"));
         fsys::create_directory_symlink(h.C(t + "/Mixed/Real"), h.C(t + "/Mixed/Deep"));
       }},
      {"top folder replaced by a link out of the machine",
       [](const HandMachine& h, const std::string& t) {
         fsys::remove_all(h.C(t + "/Mixed"));
         fsys::create_directory_symlink("/etc", h.C(t + "/Mixed"));
       }},
      {"top folder given a twin spelled as asked",
       [](const HandMachine& h, const std::string& t) { h.File(t + "/MIXED/DEEP/LEAF.TXT", "x"); }},
      {"deep folder given a twin in other case",
       [](const HandMachine& h, const std::string& t) { h.File(t + "/Mixed/deep/Other.txt", "x"); }},
      {"leaf renamed in case",
       [](const HandMachine& h, const std::string& t) {
         fsys::rename(h.C(t + "/Mixed/Deep/Leaf.txt"), h.C(t + "/Mixed/Deep/LEAF.txt"));
       }},
      {"leaf made a folder",
       [](const HandMachine& h, const std::string& t) {
         fsys::remove(h.C(t + "/Mixed/Deep/Leaf.txt"));
         h.File(t + "/Mixed/Deep/Leaf.txt/Inner.txt", "x");
       }},
  };
  const char* const below[] = {
      "MIXED\\DEEP",          "mixed\\deep",           "Mixed\\Deep",          "MIXED\\DEEP\\LEAF.TXT",
      "mixed\\Deep\\leaf.txt", "Mixed\\DEEP\\Leaf.txt", "MIXED\\deep\\LEAF.txt", "MIXED\\DEEP\\NEW.TXT",
      "mixed\\deep\\other.txt", "MIXED\\DEEP\\LEAF.TXT\\INNER.TXT", "MIXED\\GONE",  "Mixed\\Real\\Leaf.txt",
  };
  std::vector<std::string> tops;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    tops.push_back("Case" + std::to_string(i));
    m.File(tops.back() + "/Mixed/Deep/Leaf.txt", "x");
  }
  // Both before the listings are trusted and after.
  for (int settled = 0; settled < 2; ++settled) {
    if (settled) {
      for (std::size_t i = 0; i < std::size(cases); ++i) {
        fsys::remove_all(m.C(tops[i]));
        tops[i] = "Settled" + std::to_string(i);
        m.File(tops[i] + "/Mixed/Deep/Leaf.txt", "x");
      }
      usleep(2'200'000);
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const std::string top = "C:\\" + UpperName(tops[i]) + "\\";
      for (int after = 0; after < 2; ++after) {
        if (after) cases[i].change(m, tops[i]);
        for (const char* path : below) {
          const Walked want = WalkByHand(PathTestDriveHost(m), top + path);
          EXPECT_EQ(GetPathKind(top + path), want.kind) << cases[i].what << ": " << top + path;
          EXPECT_EQ(HostPath(top + path), want.host) << cases[i].what << ": " << top + path;
        }
      }
    }
  }
}

// More folders spelled otherwise than are kept: each still resolves, also
// after it went.
TEST_F(PathTest, FoldersInOtherCasePastTheOnesKeptStillResolve) {
  constexpr int kFolders = 4200;
  // In groups, so that no folder holds many names.
  const auto host = [](int i) { return "Wide/G" + std::to_string(i / 100) + "/Dir" + std::to_string(i); };
  for (int i = 0; i < kFolders; ++i) m.File(host(i) + "/Item.txt", "x");
  usleep(2'200'000);  // the listings trusted, as on a settled drive
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < kFolders; i += round ? 13 : 1) {
      const std::string folder = "C:\\WIDE\\G" + std::to_string(i / 100) + "\\DIR" + std::to_string(i);
      ASSERT_EQ(GetPathKind(folder), PathKind::Folder) << folder;
      ASSERT_EQ(HostPath(folder + "\\ITEM.TXT"), m.C(host(i) + "/Item.txt")) << folder;
      ASSERT_EQ(GetPathKind(folder + "\\item.txt"), PathKind::File) << folder;
    }
  }
}
