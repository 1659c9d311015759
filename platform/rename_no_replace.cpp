#include "platform/rename_no_replace.h"

#include <fcntl.h>
#include <stdio.h>

#include <cerrno>

namespace platform {

int RenameNoReplace(const char* from, const char* to) {
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
    const int error = errno;
    return (error == EINVAL || error == ENOSYS) ? kRenameCannotRefuse : error;
}

}  // namespace platform
