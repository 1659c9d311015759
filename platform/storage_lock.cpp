#include "platform/storage_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {

StorageLock::Outcome StorageLock::Acquire(const std::string& folder) {
    if (lock_.IsOpen()) return Outcome::Locked;
    OwnedHandle opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.IsOpen()) return Outcome::NotLockable;
    if (::flock(opened.Get(), LOCK_EX | LOCK_NB) != 0) {
        return errno == EWOULDBLOCK ? Outcome::HeldByAnotherRun : Outcome::NotLockable;
    }
    lock_ = std::move(opened);
    return Outcome::Locked;
}

// The run's own lock asked for, shared and without waiting: refused exactly
// while a run holds it. Taken and let go at once; in that instant a run
// starting on the same storage would find it held and end (it says so).
bool StorageLockHeld(const std::string& folder) {
    const OwnedHandle opened(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.IsOpen()) return false;
    // Closing the descriptor lets the shared lock go.
    return ::flock(opened.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

}  // namespace platform
