#include "platform/error_kind.h"

#include <cerrno>

namespace platform {

ErrorKind KindOfError(int error) {
    switch (error) {
        case EBUSY:
        case ETXTBSY:
        case EAGAIN:
            return ErrorKind::InUse;
        case EACCES:
        case EPERM:
            return ErrorKind::Refused;
        case EROFS:
            return ErrorKind::ReadOnly;
        case EEXIST:
        case ENOTEMPTY:
            return ErrorKind::Exists;
        case ENOSPC:
        case EDQUOT:
            return ErrorKind::Full;
        default:
            return ErrorKind::Other;
    }
}

}  // namespace platform
