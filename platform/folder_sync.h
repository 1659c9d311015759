#pragma once

namespace platform {

// Flushes a folder's entries (names created, renamed or removed in it) to the
// disk, by path: for the plug-in, which knows its database only by path.
// Returns 0 or the system's error number.
int SyncFolder(const char* folder);

}  // namespace platform
