#pragma once
// A temporary emulated machine for one test: made from a small .reg text and
// a file list, made current while it lives, removed afterwards.
//
// File list lines (blank lines and lines starting with '#' are skipped):
//   C:\WINDOWS\                          a folder (trailing backslash)
//   C:\WINDOWS\system32\shell32.dll      an empty file (parents are made)
//   C:\boot.ini | text=[boot loader]     options, each after " | ":
//        text=...   content up to the end of the line, so it comes last
//                   (\n, \r and \t as escapes, \\ for a backslash)
//        size=N     N zero bytes
//        attr=RHSA  read-only, hidden, system, archive
//        time=2008-03-07 14:05:09   last write time (UTC)
//        link=C:\elsewhere          a host symbolic link to that path
//        lnk=C:\App\app.exe         a shortcut file to that target
//        version=1.2.3.4;tr=040904b0;ProductName=App
//                                   a PE file with a version resource
//        exec                       an executable host file (scripts)

#include <memory>
#include <string>

#include "platform/machine/Machine.h"

class TestMachine {
 public:
  // regText may omit the header line ("REGEDIT4" is then assumed; its
  // hex(1), hex(2) and hex(7) lists are ANSI bytes, as regedit reads them,
  // so UTF-16LE lists need the version 5 header). An empty
  // configText gives the default test machine: Windows XP (5.1, NT), user
  // "Owner", code page 1252, C: fixed, D: CD-ROM, E: removable, no servers.
  // urlCache lists URL-cache entries, one per line:
  //   http://a.example/x.htm | file=C:\...\x[1].htm | type=1 | time=2009-03-01 19:12:00
  explicit TestMachine(const std::string& regText = "", const std::string& fileList = "",
                       const std::string& configText = "", const std::string& urlCache = "");
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  win::Machine& machine() { return *machine_; }
  const std::string& folder() const { return folder_; }
  // Host path of a Windows path on this machine (while it is current).
  std::string host(const std::string& windowsPath) const;

  static std::string DefaultConfigText();

 private:
  std::string folder_;
  std::unique_ptr<win::Machine> machine_;
};
