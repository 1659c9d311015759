#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/folder.h"

namespace platform {

enum class ClaimOutcome {
    Claimed,      // nobody else has the file open or locked; held until released
    InUse,        // another process holds it (it stayed so for the whole wait)
    CannotJudge,  // the system would not say (not the file's owner, a network file system)
    Missing,
    NotAFile,  // a link, a folder or anything but a regular file
    Refused,   // the system does not let this account change it: Error() says why
};

// Holds a day database against every other process from the moment it is
// judged free until it and its companions have moved. POSIX: SQLite's lock
// bytes write-locked with an open-file-description lock (which survives other
// descriptors of the file being closed) and a write lease (refused while any
// other process has the file open) on one descriptor. Windows: an open that
// shares nothing, and the move made through it.
class DatabaseClaim {
public:
    DatabaseClaim() = default;
    ~DatabaseClaim();
    DatabaseClaim(const DatabaseClaim&) = delete;
    DatabaseClaim& operator=(const DatabaseClaim&) = delete;

    // Tries every 10 ms for up to 500 ms while the file is held.
    ClaimOutcome Take(const Folder& folder, const std::string& name);
    // Reads size bytes at the given offset of the claimed file; false when
    // the file is shorter.
    bool ReadAt(std::uint64_t offset, unsigned char* bytes, std::size_t size) const;
    const EntryFacts& Facts() const { return facts_; }
    // The system's error number of a refused claim.
    int Error() const { return error_; }
    // Moves the claimed file to a free name of its folder.
    int MoveTo(const Folder& folder, const std::string& from, const std::string& to) const;
    void Release();

private:
    OwnedHandle file_;
    EntryFacts facts_;
    int error_ = 0;
};

}  // namespace platform
