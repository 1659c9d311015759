#pragma once

#include <string>

#include "platform/folder.h"
// The readers lived here once; their callers still find them through it.
#include "platform/small_file_reading.h"

namespace platform {

// Writes bytes into a new entry of a folder that must not exist yet (created
// exclusively, never through a link) and flushes them to the disk before
// returning. The file takes the owner, group and mode given where this
// process may set them, so that a copy placed by an administrator stays
// writable by the account that wrote the file it replaces. On failure the
// partial file is removed. Returns 0 or the system's error number.
int WriteNewFileDurably(const Folder& folder, const std::string& name, const std::string& bytes,
                        const EntryFacts& ownership);

}  // namespace platform
