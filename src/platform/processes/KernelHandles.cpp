#include "platform/processes/KernelHandles.h"

#include <map>
#include <mutex>

namespace win {

namespace {

std::mutex tableMutex;
std::map<HANDLE, std::shared_ptr<KernelObject>>& Table() {
  static std::map<HANDLE, std::shared_ptr<KernelObject>> table;
  return table;
}
HANDLE lastHandle = 0x1000;

}  // namespace

HANDLE AddKernelObject(std::shared_ptr<KernelObject> object) {
  std::lock_guard lock(tableMutex);
  lastHandle += 4;
  Table().emplace(lastHandle, std::move(object));
  return lastHandle;
}

std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle) {
  std::lock_guard lock(tableMutex);
  const auto it = Table().find(handle);
  return it == Table().end() ? nullptr : it->second;
}

bool CloseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> closing;  // freed outside the lock
  {
    std::lock_guard lock(tableMutex);
    const auto it = Table().find(handle);
    if (it == Table().end()) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    closing = std::move(it->second);
    Table().erase(it);
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}

std::size_t OpenKernelHandleCount() {
  std::lock_guard lock(tableMutex);
  return Table().size();
}

}  // namespace win
