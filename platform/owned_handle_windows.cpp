#include "platform/owned_handle.h"

#include <windows.h>

namespace platform {

static_assert(sizeof(SystemHandle) == sizeof(HANDLE), "the system's own handle");

int CloseSystemHandle(SystemHandle handle) { return CloseHandle(handle) ? 0 : static_cast<int>(GetLastError()); }

}  // namespace platform
