#include "platform/storage_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

StorageLock::~StorageLock() {
    if (fd_ >= 0) ::close(fd_);
}

StorageLock::Outcome StorageLock::Acquire(const std::string& folder) {
    if (fd_ >= 0) return Outcome::Locked;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return Outcome::NotLockable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Outcome::HeldByAnotherRun : Outcome::NotLockable;
    }
    fd_ = fd;
    return Outcome::Locked;
}

// The run's own lock asked for, shared and without waiting: refused exactly
// while a run holds it. Taken and let go at once; in that instant a run
// starting on the same storage would find it held and end (it says so).
bool StorageLockHeld(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);  // lets the shared lock go
    return held;
}

}  // namespace platform
