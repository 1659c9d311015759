#include "platform/file_in_use.h"

#include <windows.h>

#include "platform/windows_path.h"

namespace platform {

// An open that shares nothing fails while any other process has the file
// open, SQLite included; it is closed at once and never waits. The rename
// that sets a database aside refuses an open file by itself as well.
bool IsFileHeldByAnotherProcess(const char* path) {
    const HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return false;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

}  // namespace platform
