#include "storage/move_entry.h"

#include <cerrno>

#include "platform/rename_no_replace.h"

namespace fs = boost::filesystem;

namespace {

[[noreturn]] void ThrowRenameError(const fs::path& from, const fs::path& to, int errorNumber) {
    throw fs::filesystem_error("boost::filesystem::rename", from, to,
                               boost::system::error_code(errorNumber, boost::system::system_category()));
}

}  // namespace

void MoveWithoutReplacing(const fs::path& from, const fs::path& to) {
    const int error = platform::RenameNoReplace(from.string().c_str(), to.string().c_str());
    if (error == 0) return;
    if (error != platform::kRenameCannotRefuse) ThrowRenameError(from, to, error);

    // The file system cannot refuse to replace by itself: look first, then
    // rename. Only another process racing us could slip in between.
    boost::system::error_code statusError;
    if (fs::exists(fs::symlink_status(to, statusError))) ThrowRenameError(from, to, platform::kAlreadyExistsError);
    fs::rename(from, to);
}
