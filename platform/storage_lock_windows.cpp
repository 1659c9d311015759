#include "platform/storage_lock.h"

#include <windows.h>

#include <boost/filesystem/path.hpp>
#include <utility>

namespace platform {

namespace {

// A folder cannot carry a byte-range lock, so a hidden lock file in it does.
// Every run opens it sharing everything and only the lock decides; the file
// goes with the last handle, also when a run is killed.
constexpr const wchar_t* kLockFileName = L"Tolvane2.lock";

HANDLE OpenLockFile(const std::string& folder) {
    const boost::filesystem::path lockFile = boost::filesystem::path(folder) / kLockFileName;
    return CreateFileW(lockFile.wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

}  // namespace

// The lock file a power cut left behind holds nothing: only a lock on its
// byte, refused to a shared request that does not wait, says a run holds it.
// In the instant the shared lock is held, a run starting on the same storage
// would find it held and end (it says so).
bool StorageLockHeld(const std::string& folder) {
    const boost::filesystem::path lockFile = boost::filesystem::path(folder) / kLockFileName;
    const OwnedHandle file(CreateFileW(lockFile.wstring().c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return false;
    OVERLAPPED at{};
    const bool held = !LockFileEx(file.Get(), LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at);
    if (!held) UnlockFileEx(file.Get(), 0, 1, 0, &at);
    return held;
}

StorageLock::Outcome StorageLock::Acquire(const std::string& folder) {
    if (lock_.IsOpen()) return Outcome::Locked;
    const DWORD attributes = GetFileAttributesW(boost::filesystem::path(folder).wstring().c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return Outcome::NotLockable;
    }
    OwnedHandle file(OpenLockFile(folder));
    if (!file.IsOpen()) return Outcome::NotLockable;
    OVERLAPPED at{};
    if (!LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD error = GetLastError();
        return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? Outcome::HeldByAnotherRun
                                                                          : Outcome::NotLockable;
    }
    lock_ = std::move(file);
    return Outcome::Locked;
}

}  // namespace platform
