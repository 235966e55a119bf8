#include "recovery/ServerListUnit.h"

#include <cstdint>

#include "platform/files/FileSystem.h"
#include "platform/text/TextCodec.h"
#include "shell/Dialogs.h"
#include "shell/ShowLiveUpdateUnit.h"

namespace recovery {

const char* const kListWaitMessage = "Please wait while the related data is being loaded.";

namespace {

bool HoldsData(const std::string& path) {
  const auto info = win::GetFileInfo(path);
  return info && (info->attributes & win::FILE_ATTRIBUTE_DIRECTORY) == 0 && info->size > 0;
}

}  // namespace

std::string ServerListPath(const std::string& fileName) {
  return win::IncludeTrailingBackslash(win::ProgramFolder()) + fileName;
}

bool EnsureServerList(win::HttpClient& http, const std::string& fileName,
                      const std::string& serverPath, const std::string& title,
                      ListDownloadView* view) {
  const std::string path = ServerListPath(fileName);
  if (HoldsData(path)) return true;
  if (view) view->ShowWait(title, kListWaitMessage);
  DownloadFile(http, UpdateServerUrl(serverPath), path);
  if (view) view->CloseWait();
  return HoldsData(path);
}

std::vector<std::string> SplitTextLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

bool ReadServerList(const std::string& fileName, std::vector<std::string>& lines) {
  lines.clear();
  const std::string path = ServerListPath(fileName);
  std::vector<std::uint8_t> bytes;
  if (!win::ReadFileBytes(path, bytes) || bytes.empty()) {
    CurrentDialogs().MessageBox("Cannot open file \"" + path + "\".", "Fernwick", MB_OK | MB_ICONERROR);
    return false;
  }
  lines = SplitTextLines(win::AnsiToUtf8(std::string(bytes.begin(), bytes.end())));
  return true;
}

}  // namespace recovery
