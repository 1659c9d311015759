#include "platform/folder_sync.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

int SyncFolder(const char* folder) {
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int error = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return error;
}

}  // namespace platform
