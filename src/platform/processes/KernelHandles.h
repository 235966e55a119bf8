#pragma once
// Kernel object handles (process snapshots, processes): one table, closed
// with CloseHandle whatever the object is.

#include <cstdint>
#include <memory>

#include "platform/text/WinTypes.h"

namespace win {

using HANDLE = std::uintptr_t;  // 0 is no handle
constexpr HANDLE INVALID_HANDLE_VALUE = ~HANDLE{0};

class KernelObject {
 public:
  virtual ~KernelObject() = default;
};

// Enters an object and gives its new handle.
HANDLE AddKernelObject(std::shared_ptr<KernelObject> object);
// The object of a handle; null when the handle is not open.
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);

template <typename T>
std::shared_ptr<T> KernelObjectAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindKernelObject(handle));
}

// ERROR_INVALID_HANDLE for a handle that is not open.
bool CloseHandle(HANDLE handle);
// Handles open now.
std::size_t OpenKernelHandleCount();

}  // namespace win
