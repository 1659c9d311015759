#include "platform/error_kind.h"

#include <windows.h>

namespace platform {

ErrorKind KindOfError(int error) {
    switch (static_cast<DWORD>(error)) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_BUSY:
            return ErrorKind::InUse;
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return ErrorKind::Refused;
        case ERROR_WRITE_PROTECT:
            return ErrorKind::ReadOnly;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
        case ERROR_DIR_NOT_EMPTY:
            return ErrorKind::Exists;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ErrorKind::Full;
        default:
            return ErrorKind::Other;
    }
}

}  // namespace platform
