#pragma once
// Text work on paths found in registry data: the folder variables such data
// holds, the program path of a command line, and the shapes of file and
// folder paths. One set for the registry-cleaner sections and the tools that
// read start-up and uninstall commands.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"
#include "platform/text/WinTypes.h"

namespace regclean {

struct ScanContext;

// File tests of one scan: each path is looked up once (in any letter case),
// and a folder found missing answers for everything below it without asking
// again. What it remembers is dropped when the file system changes anything.
class FileProbe {
 public:
  bool Exists(const std::string& path);           // anything there
  bool NonFolderExists(const std::string& path);  // a file or a host link
  bool FileExists(const std::string& path);       // a file, as win::FileExists
  bool DirectoryExists(const std::string& path);  // a folder

 private:
  // Kinds by upper-cased path, held as a tree of the parts between
  // backslashes: each part once, however many paths run through it.
  class Memo {
   public:
    static constexpr std::uint32_t kTop = 0xFFFFFFFFu;  // the parent of first parts
    // The part below parent, made (not yet known) when it is new.
    std::uint32_t PartOf(std::uint32_t parent, std::string_view part);
    const win::PathKind* KindOf(std::uint32_t part) const;
    void Learn(std::uint32_t part, win::PathKind kind);
    void Clear();

   private:
    struct Part {
      std::uint32_t parent;
      std::uint32_t offset;  // of the part's text
      std::uint32_t length;
      win::PathKind kind;
      bool known;
    };
    static std::uint32_t HashOf(std::uint32_t parent, std::string_view part);
    void Grow();

    std::vector<char> text_;
    std::vector<Part> parts_;
    struct Slot {
      std::uint32_t index;  // into parts_; kTop for a free slot
      std::uint32_t hash;   // the part's, so that others are passed without reading it
    };
    std::vector<Slot> slots_;
  };

  win::PathKind Kind(const std::string& path);
  win::PathKind LookUp(const std::string& path);

  Memo kinds_;
  std::uint64_t changes_ = win::FileSystemChangeCount();
  // The path asked last, byte for byte, and its kind: callers often ask one
  // path twice in a row.
  std::string lastPath_;
  win::PathKind lastKind_ = win::PathKind::None;
  bool lastKnown_ = false;
  std::string upper_;
  std::vector<std::size_t> lengths_;  // of the path and the folders it is filed under
  std::vector<std::uint32_t> walked_;  // the memo's part for each part of the path
};

// The file tests of one scanner call: the scan's probe, or one of its own
// when the scanner runs alone.
class ScanFiles {
 public:
  explicit ScanFiles(const ScanContext& context);
  FileProbe& operator*() { return probe_; }
  FileProbe* operator->() { return &probe_; }

 private:
  FileProbe own_;
  FileProbe& probe_;
};

// The folders the routines put in place of variables. Read once per scan.
struct KnownFolders {
  std::string windowsFolder;       // "C:\WINDOWS"
  std::string systemFolder;        // "C:\WINDOWS\system32"
  std::string programFilesFolder;  // "ProgramFilesDir" of the machine
  static KnownFolders OfCurrentMachine();
};

// The drive of the system folder with "WINDOWS\" when the system folder
// holds "WINDOWS" in any letter case, otherwise with "WINNT\":
// "C:\WINDOWS\system32" gives "C:\WINDOWS\".
std::string GuessWindowsFolder(const std::string& systemFolder);
std::string GuessWindowsFolder();

// "%systemroot%" and "%windir%" become the Windows folder, "%ProgramFiles%"
// the program-files folder (each found in any letter case). Data holding one
// of them comes back wholly upper-cased; other data unchanged.
std::string ExpandFolderVariables(const std::string& data, const KnownFolders& folders);

// How ExtractProgramPath cuts a command line.
struct ProgramPathOptions {
  bool dropLeadingAt = false;     // "@C:\x\res.dll,-101"
  bool removeQuotes = false;
  // Not empty: "%SYSTEMROOT%\" in any letter case becomes this folder and
  // the text is upper-cased.
  std::string systemRootFolder;
  // When a second drive colon follows the first, the text up to it is cut
  // once more if this part of it is longer than four characters.
  enum class CutAgainWhen { FileNameLonger, ExtensionLonger };
  CutAgainWhen cutAgainWhen = CutAgainWhen::ExtensionLonger;
  // Where files are looked up; null: the file system each time.
  FileProbe* probe = nullptr;
};

// The program or file path in a command line: the text itself when a file
// of that name exists; otherwise from the drive letter to where the file
// name's extension ends, or, when a second path follows, up to that path's
// drive letter.
std::string ExtractProgramPath(std::string text, const ProgramPathOptions& options);

// ExtractProgramPath as the software-settings sections and the startup
// manager use it: "@" dropped, quotes removed, "%SystemRoot%\" expanded.
std::string ExtractCommandFilePath(const std::string& text, const KnownFolders& folders,
                                   FileProbe* probe = nullptr);
std::string ExtractCommandFilePath(const std::string& text);
// The options ExtractCommandFilePath cuts with, for many texts.
ProgramPathOptions CommandFilePathOptions(const KnownFolders& folders, FileProbe* probe);

// A drive-letter path whose file name has an extension, with no reserved
// character and no second colon.
bool IsValidFilePath(const std::string& text);
// At most 260 characters and none of / * ? " < > | ; . + - & @ ! , %.
bool IsPlainFolderPath(const std::string& text);

// Small text helpers of the sections.
std::string WithoutQuotes(std::string text);
// Every occurrence of `from` replaced by `to`; an empty `from` replaces
// nothing.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
// Without the blanks and control characters at both ends (platform/text/TextCodec.h).
using win::Trim;
// True when the text has ":\" at its second position ("C:\...").
bool HasDriveRoot(std::string_view text);

}  // namespace regclean
