#include "regclean/PathRoutinesUnit.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "RegcleanFixture.h"
#include "platform/files/FileSystem.h"
#include "regclean/UninstallSectionUnit.h"

namespace regclean::test {
namespace {

std::string Repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) result += text;
  return result;
}

void ExpectAnswersAsTheFileSystem(FileProbe& probe, const std::string& path) {
  SCOPED_TRACE(path);
  const win::DWORD attributes = win::GetFileAttributes(path);
  EXPECT_EQ(probe.Exists(path), attributes != win::INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(probe.NonFolderExists(path),
            attributes != win::INVALID_FILE_ATTRIBUTES && !(attributes & win::FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(probe.FileExists(path), win::FileExists(path));
  EXPECT_EQ(probe.DirectoryExists(path), win::DirectoryExists(path));
}

class PathRoutinesTest : public RegcleanTest {
 protected:
  void SetUp() override {
    RegcleanTest::SetUp();
    UseMachine("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion]\n"
               "\"ProgramFilesDir\"=\"C:\\\\Program Files\"\n",
               "C:\\WINDOWS\\system32\\\n"
               "C:\\WINDOWS\\notepad.exe\n"
               "C:\\Tools\\a.b c\n");
  }
};

TEST_F(PathRoutinesTest, CutsTheProgramPathOutOfCommandLines) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\"C:\\Program Files\\App\\app.exe\" /min", "C:\\Program Files\\App\\app.exe"},
      // The first cut ends in ".exe C", too long for an extension: cut again.
      {"C:\\WINDOWS\\rundll32.exe C:\\x\\y.dll,Entry", "C:\\WINDOWS\\rundll32.exe"},
      {"C:\\a.dll,1 D:\\x", "C:\\a.dll"},
      {"C:\\App\\setup D:\\x", "C:\\App\\setup D"},  // no extension: kept as it is
      {"%SystemRoot%\\system32\\svc.exe -k", "C:\\WINDOWS\\SYSTEM32\\SVC.EXE"},
      {"\"%systemroot%\\gone.exe\"", "C:\\WINDOWS\\GONE.EXE"},
      {"%SystemRoot%system32\\a.exe", "%SystemRoot%system32\\a.exe"},  // no backslash after it
      {"@C:\\x\\res.dll,-101", "C:\\x\\res.dll"},
      {"rundll32 C:\\App\\x.dll,Remove", "C:\\App\\x.dll"},
      // Existing files are taken as they stand after the quotes and the
      // variable are dealt with.
      {"\"C:\\Tools\\a.b c\"", "C:\\Tools\\a.b c"},
      {"C:\\Tools\\a.b c d", "C:\\Tools\\a.b"},
      {"%SystemRoot%\\notepad.exe", "C:\\WINDOWS\\NOTEPAD.EXE"},
      {"notepad.exe /a", "notepad.exe"},
      {"C:\\App\\ x", "C:\\App\\"},  // no dot and no name character first: nothing kept
      {"C:\\App\\setup /remove", "C:\\App\\setup"},
      {"C:", "C:"},
      // A colon first, stray colons and empty texts end without a fault.
      {":\\App\\x.exe /y", ":\\App\\x.exe"},
      {":x:y", ":x"},
      {"::", ":"},
      {"@", ""},
      {"\"\"", ""},
      {"", ""},
  };
  const KnownFolders folders = KnownFolders::OfCurrentMachine();
  for (const auto& [command, path] : cases) {
    SCOPED_TRACE(command);
    EXPECT_EQ(ExtractCommandFilePath(command, folders), path);
    EXPECT_EQ(ExtractCommandFilePath(command), path);
  }
}

// The cut as it was made with copies of the folder and the name.
std::string CutAsBefore(const std::string& text, ProgramPathOptions::CutAgainWhen cutAgainWhen) {
  if (win::FileExists(text)) return text;
  const std::size_t firstColon = text.find(':');
  const std::size_t driveLetter = firstColon == std::string::npos || firstColon == 0 ? 0 : firstColon - 1;
  const std::size_t secondColon = firstColon == std::string::npos ? std::string::npos : text.find(':', firstColon + 1);
  if (secondColon == std::string::npos) {
    const std::string folder = win::ExtractFilePath(text);
    std::string name = text.substr(folder.size());
    const std::size_t dot = name.find('.');
    for (std::size_t i = dot == std::string::npos ? 0 : dot; i < name.size(); ++i) {
      const char c = name[i];
      if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.')) {
        name = name.substr(0, i);
        break;
      }
    }
    const std::string program = folder + name;
    return program.substr(std::min(driveLetter, program.size()));
  }
  const std::string first = text.substr(driveLetter, secondColon - driveLetter);
  const std::string tail = cutAgainWhen == ProgramPathOptions::CutAgainWhen::FileNameLonger
                               ? win::ExtractFileName(first)
                               : win::ExtractFileExt(first);
  return tail.size() > 4 ? CutAsBefore(first, cutAgainWhen) : first;
}

TEST_F(PathRoutinesTest, CutsAsTheCopiesOfFolderAndNameDidOnManyShortTexts) {
  const std::vector<std::string> pieces = {"C", ":", "\\", ".", "a", "Z", "9", " ", ",", "-", "\xC3\xA9", "exe",
                                           "WINDOWS", "notepad"};
  std::mt19937 random(23);
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (std::size_t i = random() % 10; i > 0; --i) text += pieces[random() % pieces.size()];
    for (const auto when : {ProgramPathOptions::CutAgainWhen::ExtensionLonger,
                            ProgramPathOptions::CutAgainWhen::FileNameLonger}) {
      ProgramPathOptions options;
      options.cutAgainWhen = when;
      ASSERT_EQ(ExtractProgramPath(text, options), CutAsBefore(text, when)) << "\"" << text << "\"";
    }
  }
}

TEST_F(PathRoutinesTest, UninstallCommandsCutAgainOnTheFileName) {
  // The same extractor with the uninstall options: no variable expanded, and
  // a long file-name part (not extension) cuts again.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\App\\setup D:\\x", "C:\\App\\setup"},
      {"C:\\App\\u D:\\x", "C:\\App\\u D"},
      {"%SystemRoot%\\a.exe", "%SystemRoot%\\a.exe"},
  };
  for (const auto& [command, path] : cases) {
    SCOPED_TRACE(command);
    EXPECT_EQ(ExtractUninstallProgram(command), path);
  }
}

TEST_F(PathRoutinesTest, GuessesTheWindowsFolderFromTheSystemFolder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\WINDOWS\\system32", "C:\\WINDOWS\\"},
      {"D:\\WINNT\\system32", "D:\\WINNT\\"},
      {"C:\\Windows\\system32", "C:\\WINDOWS\\"},  // letter case does not matter
      {"E:\\OS\\system32", "E:\\WINNT\\"},
      {"", "WINNT\\"},
  };
  for (const auto& [system, windows] : cases) {
    SCOPED_TRACE(system);
    EXPECT_EQ(GuessWindowsFolder(system), windows);
  }
  EXPECT_EQ(GuessWindowsFolder(), "C:\\WINDOWS\\");
}

TEST_F(PathRoutinesTest, ExpandsFolderVariables) {
  KnownFolders folders;
  folders.windowsFolder = "C:\\Windows";
  folders.programFilesFolder = "D:\\Program Files";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"%ProgramFiles%\\App\\a.exe", "D:\\PROGRAM FILES\\APP\\A.EXE"},
      {"%SystemRoot%\\a.dll", "C:\\WINDOWS\\A.DLL"},
      {"%WINDIR%\\x;%systemroot%\\y", "C:\\WINDOWS\\X;C:\\WINDOWS\\Y"},
      {"\"%programfiles%\\B\" -x", "\"D:\\PROGRAM FILES\\B\" -X"},
      {"C:\\Keep\\Case.exe", "C:\\Keep\\Case.exe"},
      {"%USERPROFILE%\\x", "%USERPROFILE%\\x"},
      {"50% done", "50% done"},
      {"", ""},
  };
  for (const auto& [data, expanded] : cases) {
    SCOPED_TRACE(data);
    EXPECT_EQ(ExpandFolderVariables(data, folders), expanded);
  }
  EXPECT_EQ(KnownFolders::OfCurrentMachine().programFilesFolder, "C:\\Program Files");
}

TEST_F(PathRoutinesTest, TellsFilePathsAndPlainFolderPaths) {
  const std::vector<std::pair<std::string, bool>> files = {
      {"c:\\a.exe", true},
      {"O:\\x.dll", true},
      {"C:\\Program Files\\App\\app.exe", true},
      {"C:\\dir\\file", false},            // no extension
      {"\\\\server\\share\\a.exe", false}, // no drive letter
      {"C:\\a.exe:stream", false},         // second colon
      {"C:\\a%.exe", false},
      {"C:\\a.e/x", false},
      {"C:\\a.exe,1", false},
      {"\"C:\\a.exe\"", false},  // the quote becomes a leading blank
      {"C:\\a.exe\"", true},     // a trailing blank
      {"C:\\a\".exe", true},
      {"C:\\a.exe\t", true},
      {"C:a.exe", true},
      {"C:\\a.", true},  // the dot alone is an extension
      {"C:\\a.<", false},
      {"C:\\dir\\", false},  // no file name
      {"C:\\dir.d\\file", false},  // the dot is the folder's
      {"1:\\a.exe", false},
      {"C:", false},
      {"", false},
  };
  for (const auto& [text, valid] : files) {
    SCOPED_TRACE(text);
    EXPECT_EQ(IsValidFilePath(text), valid);
  }
  const std::vector<std::pair<std::string, bool>> folders = {
      {"C:\\Program Files (x86)\\App", true},
      {"C:\\Program Files\\Gone", true},
      {"C:\\App-Data", false},
      {"C:\\a.b", false},
      {"C:\\a,b", false},
      {"C:\\" + std::string(257, 'x'), true},  // 260 characters
      {"C:\\" + std::string(258, 'x'), false},
      // Characters are counted, not bytes.
      {"C:\\" + std::string(197, 'x') + Repeated("\xC3\xA9", 60), true},
      {"C:\\" + std::string(198, 'x') + Repeated("\xC3\xA9", 60), false},
  };
  for (const auto& [text, plain] : folders) {
    SCOPED_TRACE(text);
    EXPECT_EQ(IsPlainFolderPath(text), plain);
  }
}

TEST_F(PathRoutinesTest, FileProbeAnswersAsTheFileSystemDoes) {
  // Links: one to a folder and one to a file, both inside the machine.
  UseMachine("",
             "C:\\WINDOWS\\system32\\\n"
             "C:\\WINDOWS\\system32\\x.dll\n"
             "C:\\WINDOWS\\notepad.exe\n"
             "C:\\WINDOWS\\boot.sys | attr=RHS\n"
             "C:\\WIN\\\n"
             "C:\\Tools\\a.b c\n"
             "C:\\Linked | link=C:\\WINDOWS\n"
             "C:\\Tools\\pad.lnk | link=C:\\WINDOWS\\notepad.exe\n");
  // Asked in this order, folders are learnt missing or present before the
  // paths inside them come up.
  const std::vector<std::string> paths = {
      "C:\\Gone\\a.exe", "C:\\Gone\\b.exe", "c:\\gone", "C:\\Gone\\..\\WINDOWS\\notepad.exe",
      "C:\\WINDOWS\\NOTEPAD.EXE", "C:\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\gone.exe", "C:\\WINDOWS",
      "C:\\WINDOWS\\", "C:\\WINDOWS\\system32\\", "C:\\", "C:", "C:notepad.exe", "notepad.exe",
      "C:\\Tools\\a.b c", "C:\\Tools\\a.b c\\x", "C:\\Gone\\Deeper\\x.exe", "E:\\x.exe", "Q:\\x.exe",
      "C:\\WIN*\\notepad.exe", "",
      // Below a folder learnt missing, and climbing out of one.
      "C:\\Gone\\Deeper\\More\\x.exe", "C:\\Gone\\Deeper\\..\\..\\WINDOWS\\notepad.exe",
      "C:\\Gone\\Deeper\\..\\..\\WINDOWS\\system32", "C:\\Gone\\..", "c:\\gone\\.\\x.exe",
      "C:\\WINDOWS\\system32\\..\\notepad.exe", "C:\\WINDOWS\\notepad.exe\\x.exe",
      "C:\\Tools\\a.b c\\..\\a.b c", "C:\\WINDOWS\\BOOT.SYS",
      // Links are there, neither files nor folders, and never gone through.
      "C:\\Linked", "C:\\LINKED\\notepad.exe", "C:\\Tools\\PAD.LNK", "C:\\Tools\\pad.lnk\\x",
      // Parts whose text begins another part's, empty parts, colons after
      // the drive, and names with no drive.
      "C:\\WINDOWS\\System32\\X.DLL", "c:\\GONE\\deeper", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS\\system3",
      "C:\\WINDOWS\\system32\\x.dll\\y", "C:\\WIN\\notepad.exe", "C:\\WIN", "C:\\WINDOWS\\notepad.ex",
      "C:\\\\WINDOWS\\notepad.exe", "C:\\WINDOWS\\\\notepad.exe", "C:\\WINDOWS:notepad.exe",
      "C:\\WINDOWS\\x:\\notepad.exe", "C:\\Gone:x\\y", "c:\\", "c:", "C:WINDOWS", "c:windows\\notepad.exe",
      "C:\\C:WINDOWS", "WINDOWS\\notepad.exe", "\\WINDOWS", "\\\\", "\\", "C:\\Tools\\A.B C", "C:\\Tools\\a.b",
  };
  // Then from the last one up, and the longest first: paths inside come up
  // before their folders.
  const std::vector<std::string> reversed(paths.rbegin(), paths.rend());
  std::vector<std::string> longestFirst = paths;
  std::stable_sort(longestFirst.begin(), longestFirst.end(),
                   [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  const std::vector<std::string>* const orders[] = {&paths, &reversed, &longestFirst};
  for (const std::vector<std::string>* order : orders) {
    FileProbe probe;
    for (int round = 0; round < 2; ++round)
      for (const std::string& path : *order) ExpectAnswersAsTheFileSystem(probe, path);
  }
}

TEST_F(PathRoutinesTest, FileProbeAnswersBelowWhatItLearntIsNoFolder) {
  FileProbe probe;
  EXPECT_FALSE(probe.DirectoryExists("C:\\Later"));
  EXPECT_FALSE(probe.Exists("C:\\WINDOWS\\notepad.exe\\x.exe"));
  EXPECT_FALSE(probe.Exists("C:\\WINDOWS\\notepad.exe\\"));  // filed under the file
  // Made on the host behind the file system's back: the probe answers from
  // the missing folder it learnt, a new one looks.
  std::filesystem::create_directories(machine().host("C:\\Later\\Deeper"));
  std::ofstream(machine().host("C:\\Later\\Deeper\\x.exe")) << "x";
  for (const char* path : {"C:\\Later\\Deeper\\x.exe", "c:\\later\\DEEPER", "C:\\LATER\\x.exe"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(probe.Exists(path));
  }
  EXPECT_TRUE(FileProbe().FileExists("C:\\Later\\Deeper\\x.exe"));
}

TEST_F(PathRoutinesTest, FileProbeSeesWhatTheFileSystemChanges) {
  // Each step changes the machine through the file system, then asks again
  // what the probe answered before the change.
  FileProbe probe;
  EXPECT_FALSE(probe.FileExists("C:\\Tools\\new.exe"));
  EXPECT_FALSE(probe.DirectoryExists("C:\\Made"));
  EXPECT_FALSE(probe.Exists("C:\\Made\\x.exe"));  // learnt through its missing folder
  ASSERT_TRUE(win::WriteFileBytes("C:\\Tools\\new.exe", {'x'}));
  EXPECT_TRUE(probe.FileExists("C:\\TOOLS\\NEW.EXE"));
  ASSERT_TRUE(win::CreateDirectory("C:\\Made"));
  ASSERT_TRUE(win::WriteFileBytes("C:\\Made\\x.exe", {}));
  EXPECT_TRUE(probe.DirectoryExists("C:\\Made"));
  EXPECT_TRUE(probe.Exists("C:\\Made\\x.exe"));
  ASSERT_TRUE(win::DeleteFile("C:\\WINDOWS\\notepad.exe"));
  EXPECT_FALSE(probe.FileExists("C:\\WINDOWS\\notepad.exe"));
  ASSERT_TRUE(win::MoveFile("C:\\Tools\\new.exe", "C:\\Tools\\moved.exe"));
  EXPECT_FALSE(probe.Exists("C:\\Tools\\new.exe"));
  EXPECT_TRUE(probe.NonFolderExists("C:\\Tools\\moved.exe"));
  // A new probe (the next scan) sees what changed on the host behind the
  // file system's back.
  ASSERT_EQ(std::remove(machine().host("C:\\Tools\\moved.exe").c_str()), 0);
  EXPECT_FALSE(FileProbe().Exists("C:\\Tools\\moved.exe"));
}

TEST_F(PathRoutinesTest, FileProbeAnswersAPathAskedAgainAsItIsNow) {
  // Each step makes its change (if any), then asks the path; most ask the
  // path asked just before, in the same or other letters, or one next to it.
  const auto host = [this](const char* path) {
    return [this, path] { return static_cast<bool>(std::ofstream(machine().host(path)) << "x"); };
  };
  struct Step {
    std::function<bool()> change;
    const char* path;
    win::PathKind kind;
  };
  const Step steps[] = {
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::None},
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::None},
      {[] { return win::WriteFileBytes("C:\\Tools\\new.exe", {'x'}); }, "C:\\Tools\\new.exe", win::PathKind::File},
      {nullptr, "C:\\Tools\\new.ex", win::PathKind::None},
      {nullptr, "C:\\Tools\\new.exe\\", win::PathKind::None},
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::File},
      {nullptr, "C:\\Tools", win::PathKind::Folder},
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::File},
      {nullptr, "c:\\tools\\NEW.EXE", win::PathKind::File},
      {[] { return win::DeleteFile("C:\\Tools\\new.exe"); }, "c:\\tools\\NEW.EXE", win::PathKind::None},
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::None},
      {[] { return win::CreateDirectory("C:\\Tools\\new.exe"); }, "C:\\Tools\\new.exe", win::PathKind::Folder},
      {nullptr, "C:\\Tools\\new.exe\\x.dll", win::PathKind::None},
      {[] { return win::RemoveDirectory("C:\\Tools\\new.exe"); }, "C:\\Tools\\new.exe\\x.dll", win::PathKind::None},
      {nullptr, "C:\\Tools\\new.exe", win::PathKind::None},
      // Behind the file system's back the answer stays until it changes
      // something.
      {nullptr, "C:\\Tools\\host.exe", win::PathKind::None},
      {host("C:\\Tools\\host.exe"), "C:\\Tools\\host.exe", win::PathKind::None},
      {nullptr, "C:\\Tools\\host.exe", win::PathKind::None},
      {[] { return win::CreateDirectory("C:\\Made"); }, "C:\\Tools\\host.exe", win::PathKind::File},
      {nullptr, "C:\\Made", win::PathKind::Folder},
      {nullptr, "C:\\Made", win::PathKind::Folder},
  };
  FileProbe probe;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.path);
    if (step.change) {
      ASSERT_TRUE(step.change());
    }
    const std::string path = step.path;
    EXPECT_EQ(probe.Exists(path), step.kind != win::PathKind::None);
    EXPECT_EQ(probe.FileExists(path), step.kind == win::PathKind::File);
    EXPECT_EQ(probe.NonFolderExists(path), step.kind == win::PathKind::File);
    EXPECT_EQ(probe.DirectoryExists(path), step.kind == win::PathKind::Folder);
  }
}

TEST_F(PathRoutinesTest, TextHelpers) {
  EXPECT_EQ(ReplaceAll("aXbXc", "X", "--"), "a--b--c");
  EXPECT_EQ(ReplaceAll("aaa", "a", "aa"), "aaaaaa");  // replacements are not searched again
  EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");      // an empty search text replaces nothing
  EXPECT_EQ(Trim(" \t C:\\x \r\n"), "C:\\x");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_TRUE(HasDriveRoot("C:\\"));
  EXPECT_FALSE(HasDriveRoot("C:"));
  EXPECT_FALSE(HasDriveRoot(" C:\\x"));
}

}  // namespace
}  // namespace regclean::test
