#include "platform/database_claim.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {

namespace {

// SQLite's lock bytes: the pending byte, the reserved byte and the 510 shared
// bytes that follow them, 1 GiB into the file whatever its size.
constexpr off_t kSqliteLockStart = 0x40000000;
constexpr off_t kSqliteLockLength = 512;
constexpr auto kRetryPause = std::chrono::milliseconds(10);
constexpr int kAttempts = 50;  // 500 ms in all

enum class Attempt { Granted, Held, Unknown };

Attempt LockSqliteBytes(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kSqliteLockStart;
    lock.l_len = kSqliteLockLength;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) return Attempt::Granted;
    return (errno == EAGAIN || errno == EACCES) ? Attempt::Held : Attempt::Unknown;
}

// Refused while any other descriptor of the file is open: this catches a
// recorder idle between two transactions. Refused to a non-owner, and
// unsupported on network file systems: then nobody can tell.
Attempt TakeWriteLease(int fd) {
    if (::fcntl(fd, F_SETLEASE, F_WRLCK) == 0) return Attempt::Granted;
    return (errno == EAGAIN || errno == EBUSY) ? Attempt::Held : Attempt::Unknown;
}

Attempt TryOnce(int fd) {
    const Attempt locked = LockSqliteBytes(fd, F_WRLCK);
    if (locked != Attempt::Granted) return locked;
    const Attempt leased = TakeWriteLease(fd);
    // The lock bytes are let go while waiting, so that the holder can finish.
    if (leased != Attempt::Granted) LockSqliteBytes(fd, F_UNLCK);
    return leased;
}

}  // namespace

DatabaseClaim::~DatabaseClaim() { Release(); }

ClaimOutcome DatabaseClaim::Take(const Folder& folder, const std::string& name) {
    Release();
    error_ = 0;
    // Non-blocking, so that a FIFO left under the name cannot stall the run.
    file_.Reset(::openat(folder.NativeHandle(), name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file_.IsOpen()) {
        const int error = errno;
        if (error == ENOENT) return ClaimOutcome::Missing;
        // Another process holds a lease on it.
        if (error == EWOULDBLOCK) return ClaimOutcome::InUse;
        if (error == ELOOP || error == EISDIR || error == ENXIO) return ClaimOutcome::NotAFile;
        // Not writable by this account, immutable, or on a read-only file
        // system: nothing could set it aside, whoever has it open.
        if (error == EACCES || error == EPERM || error == EROFS) {
            error_ = error;
            return ClaimOutcome::Refused;
        }
        return ClaimOutcome::CannotJudge;
    }
    facts_ = FactsOfOpenFile(file_.Get());
    if (facts_.kind != EntryKind::RegularFile) {
        Release();
        return ClaimOutcome::NotAFile;
    }
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(kRetryPause);
        const Attempt result = TryOnce(file_.Get());
        if (result == Attempt::Granted) return ClaimOutcome::Claimed;
        if (result == Attempt::Unknown) {
            Release();
            return ClaimOutcome::CannotJudge;
        }
    }
    Release();
    return ClaimOutcome::InUse;
}

bool DatabaseClaim::ReadAt(std::uint64_t offset, unsigned char* bytes, std::size_t size) const {
    return file_.IsOpen() &&
           ::pread(file_.Get(), bytes, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

// The lease and the lock stay with the descriptor, which does not care about
// the file's name.
int DatabaseClaim::MoveTo(const Folder& folder, const std::string& from, const std::string& to) const {
    return folder.MoveNoReplace(from, folder, to);
}

void DatabaseClaim::Release() {
    if (!file_.IsOpen()) return;
    ::fcntl(file_.Get(), F_SETLEASE, F_UNLCK);
    file_.Reset();  // the last descriptor of the description lets the lock bytes go
}

}  // namespace platform
