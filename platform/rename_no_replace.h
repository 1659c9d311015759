#pragma once

namespace platform {

// Renames a file or folder only when nothing exists at the destination yet.
// Returns 0 on success, else the system's error number; ENOTSUP when the file
// system cannot refuse a replacement by itself (the caller then decides).
int RenameNoReplace(const char* from, const char* to);

}  // namespace platform
