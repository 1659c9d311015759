#pragma once

#include <string>

namespace platform {

// An exclusive advisory lock on a storage folder, held for the lifetime of the
// object, so that two runs never work on one storage at once.
class StorageLock {
public:
    enum class Outcome { Locked, HeldByAnotherRun, NotLockable };

    StorageLock() = default;
    ~StorageLock();
    StorageLock(const StorageLock&) = delete;
    StorageLock& operator=(const StorageLock&) = delete;

    // Never waits. NotLockable: the folder cannot be opened or the file system
    // has no such locks; the run then goes on unguarded.
    Outcome Acquire(const std::string& folder);

private:
    int fd_ = -1;
};

}  // namespace platform
