#include "platform/rename_no_replace.h"

#include <windows.h>

#include "platform/windows_path.h"

namespace platform {

// Without MOVEFILE_REPLACE_EXISTING the system itself refuses an occupied
// destination, file or folder alike; the move is on the disk when it returns.
int RenameNoReplace(const char* from, const char* to) {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_WRITE_THROUGH)) return 0;
    const DWORD error = GetLastError();
    return static_cast<int>(error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error);
}

}  // namespace platform
