#pragma once

#include <string>

namespace platform {

// Flushes the entries (names created, renamed or removed) of the folder that
// holds a file to the disk, by the file's path: for the plug-in, which knows
// its database only by path. Returns 0 or the system's error number; a file
// system that keeps nothing of a folder to flush counts as flushed.
int SyncFolderHolding(const std::string& file);

}  // namespace platform
