#include "platform/storage_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <sstream>

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

bool StorageLockHeld(const std::string& folder) {
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) return false;
    // Lines read "1: FLOCK  ADVISORY  WRITE 4711 08:01:123456 0 EOF"; waiters
    // ("1: -> FLOCK ...") hold nothing. The device numbers there need not be
    // the ones stat reports (subvolumes), so the inode decides.
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string ordinal, type, advisory, access, pid, where;
        if (!(fields >> ordinal >> type >> advisory >> access >> pid >> where)) continue;
        if (type != "FLOCK" || access != "WRITE") continue;
        const std::size_t colon = where.rfind(':');
        if (colon == std::string::npos) continue;
        if (where.substr(colon + 1) == std::to_string(static_cast<unsigned long long>(status.st_ino))) return true;
    }
    return false;
}

}  // namespace platform
