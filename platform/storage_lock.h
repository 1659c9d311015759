#pragma once

#include <string>

#include "platform/owned_handle.h"

namespace platform {

// An exclusive advisory lock on a storage folder, held for the lifetime of the
// object, so that two runs never work on one storage at once.
class StorageLock {
public:
    enum class Outcome { Locked, HeldByAnotherRun, NotLockable };

    StorageLock() = default;
    StorageLock(const StorageLock&) = delete;
    StorageLock& operator=(const StorageLock&) = delete;

    // Never waits. NotLockable: the folder cannot be opened or the file system
    // has no such locks; the run then goes on unguarded.
    Outcome Acquire(const std::string& folder);

private:
    OwnedHandle lock_;
};

// Whether a run holds a storage's lock now, exactly: a shared lock is asked
// for without waiting and let go at once. A run starting in that instant
// finds the storage held and ends, saying so; an audit that looks never waits.
bool StorageLockHeld(const std::string& folder);

}  // namespace platform
