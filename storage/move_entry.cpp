#include "storage/move_entry.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>

namespace fs = boost::filesystem;

namespace {

[[noreturn]] void ThrowRenameError(const fs::path& from, const fs::path& to, int errorNumber) {
    throw fs::filesystem_error("boost::filesystem::rename", from, to,
                               boost::system::error_code(errorNumber, boost::system::system_category()));
}

}  // namespace

void MoveWithoutReplacing(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS) ThrowRenameError(from, to, error);

    // The file system cannot refuse to replace by itself: look first, then
    // rename. Only another process racing us could slip in between.
    boost::system::error_code statusError;
    if (fs::exists(fs::symlink_status(to, statusError))) ThrowRenameError(from, to, EEXIST);
    fs::rename(from, to);
}
