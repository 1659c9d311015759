#include "platform/file_in_use.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

// SQLite's lock bytes: the pending byte, the reserved byte and the 510 shared
// bytes that follow them, 1 GiB into the file whatever its size.
constexpr off_t kSqliteLockStart = 0x40000000;
constexpr off_t kSqliteLockLength = 512;

bool HoldsSqliteLock(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = kSqliteLockStart;
    probe.l_len = kSqliteLockLength;
    return ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// A write lease is granted only while no other descriptor has the file open,
// which catches a writer idle between two transactions. Taken and given back
// at once; where leases are not allowed (not the owner, or a file system
// without them) the answer is "not seen open".
bool OpenElsewhere(int fd) {
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) != 0) return errno == EAGAIN || errno == EBUSY;
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    return false;
}

}  // namespace

bool IsFileHeldByAnotherProcess(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    const bool held = HoldsSqliteLock(fd) || OpenElsewhere(fd);
    ::close(fd);
    return held;
}

}  // namespace platform
