#pragma once

namespace platform {

// The outcome of a copy: 0 or the system's error number, and whether the
// failure lay in reading the source (nothing was created) or in the target.
struct CopyResult {
    int error = 0;
    bool sourceFailed = false;
};

// Copies a file byte for byte into a new file that must not exist yet (created
// exclusively, never through a link) and flushes it to the disk before
// returning. Plain reads and writes, so it works across file systems. On
// failure the partial file is removed.
CopyResult CopyToNewFileDurably(const char* from, const char* to);

// Flushes a folder's entries (names created or renamed in it) to the disk.
// Returns 0 or the system's error number.
int SyncFolder(const char* folder);

}  // namespace platform
