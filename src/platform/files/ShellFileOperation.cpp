#include "platform/files/ShellFileOperation.h"

#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/files/PathResolver.h"
#include "platform/text/TextCodec.h"

namespace win {

using namespace fs_detail;

namespace {

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> paths;
  std::size_t start = 0;
  while (start < list.size()) {
    const std::size_t end = list.find('\0', start);
    if (end == start) break;  // the closing NUL
    paths.push_back(list.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return paths;
}

int ErrorCode() {
  const DWORD code = GetLastError();
  return code ? static_cast<int>(code) : static_cast<int>(ERROR_INVALID_PARAMETER);
}

int FailCode(DWORD code) {
  SetLastError(code);
  return static_cast<int>(code);
}

bool DeleteOne(const std::string& path, bool toRecycleBin) {
  ResolvedPath source;
  if (!ResolveExisting(path, source)) return false;
  if (source.IsRoot() || source.entry.kind == EntryKind::Folder) return Fail(ERROR_ACCESS_DENIED);
  return toRecycleBin ? DeleteToRecycleBin(source.windows) : DeleteFile(source.windows);
}

// Moves one file into folder; DE_SAMEFILE when it is already there.
int MoveOne(const std::string& path, const ResolvedPath& folder) {
  ResolvedPath source;
  if (!ResolveExisting(path, source)) return ErrorCode();
  if (source.IsRoot() || source.entry.kind == EntryKind::Folder) return FailCode(ERROR_ACCESS_DENIED);
  if (source.drive == folder.drive && SameName(source.ParentWindows(), folder.windows)) return DE_SAMEFILE;
  const std::string target = folder.windows + "\\" + FreeNameIn(folder.windows, source.names.back());
  if (source.drive == folder.drive) return MoveFile(source.windows, target) ? 0 : ErrorCode();
  // Across drives: copy, then delete; a source that cannot go keeps its place
  // and leaves no copy.
  if (AttributesOf(source) & FILE_ATTRIBUTE_READONLY) return FailCode(ERROR_ACCESS_DENIED);
  if (!CopyFile(source.windows, target, true)) return ErrorCode();
  if (!DeleteFile(source.windows)) {
    const int code = ErrorCode();
    DeleteFile(target);
    return code;
  }
  return 0;
}

}  // namespace

int SHFileOperation(SHFILEOPSTRUCT& operation) {
  operation.fAnyOperationsAborted = false;
  const std::vector<std::string> sources = SplitPathList(operation.pFrom);
  if (sources.empty()) return FailCode(ERROR_INVALID_PARAMETER);
  switch (operation.wFunc) {
    case FO_DELETE:
      for (const std::string& path : sources) {
        if (!DeleteOne(path, (operation.fFlags & FOF_ALLOWUNDO) != 0)) return ErrorCode();
      }
      return 0;
    case FO_MOVE: {
      const std::vector<std::string> targets = SplitPathList(operation.pTo);
      ResolvedPath folder;
      if (targets.size() != 1) return FailCode(ERROR_PATH_NOT_FOUND);
      if (!ResolveExisting(targets[0], folder)) return ErrorCode();
      if (folder.entry.kind != EntryKind::Folder) return FailCode(ERROR_PATH_NOT_FOUND);
      for (const std::string& path : sources) {
        if (const int code = MoveOne(path, folder)) return code;
      }
      return 0;
    }
    default:
      return FailCode(ERROR_CALL_NOT_IMPLEMENTED);
  }
}

}  // namespace win
