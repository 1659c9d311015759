#include "platform/folder_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/owned_handle.h"

namespace platform {

namespace {

// What the path names before its last separator.
std::string FolderOf(const std::string& file) {
    const std::string::size_type separator = file.find_last_of('/');
    if (separator == std::string::npos) return ".";
    if (separator == 0) return "/";
    return file.substr(0, separator);
}

}  // namespace

int SyncFolderHolding(const std::string& file) {
    const OwnedHandle folder(::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int error = !folder.IsOpen() ? errno : ::fsync(folder.Get()) == 0 ? 0 : errno;
    // EINVAL: the file system keeps nothing of a folder to flush.
    return error == EINVAL ? 0 : error;
}

}  // namespace platform
