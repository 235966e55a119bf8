#pragma once
// Lists that the update server supplies ("Code", "errorlist.txt"): a file in
// the program's folder, downloaded with DownloadFile when it is missing or
// empty, read as ANSI text lines. A tool that finds no list tells the user
// which file it could not open; the next opening tries the download again.

#include <string>
#include <vector>

#include "platform/net/Http.h"

namespace recovery {

// The "please wait" window around a download; the tool's window implements it.
class ListDownloadView {
 public:
  virtual ~ListDownloadView() = default;
  virtual void ShowWait(const std::string& title, const std::string& message) = 0;
  virtual void CloseWait() = 0;
};

extern const char* const kListWaitMessage;  // "Please wait while the related data is being loaded."

// The program's folder + fileName.
std::string ServerListPath(const std::string& fileName);

// Downloads the update server's serverPath ("/update/Code") into the program's
// folder as fileName when that file is missing or empty; the wait window
// (when given) shows with title meanwhile. DownloadFile replaces the file
// only after a complete answer. True when the file holds data afterwards.
bool EnsureServerList(win::HttpClient& http, const std::string& fileName,
                      const std::string& serverPath, const std::string& title,
                      ListDownloadView* view);

// The lines of the list file (CR LF, LF or CR ends a line; the code page's
// text as UTF-8). False, with no lines, when the file is missing or empty:
// then the error box `Cannot open file "<path>".` (caption "Fernwick") is
// shown.
bool ReadServerList(const std::string& fileName, std::vector<std::string>& lines);

// Splits text at CR LF, LF or CR; a last line without an end counts.
std::vector<std::string> SplitTextLines(const std::string& text);

}  // namespace recovery
