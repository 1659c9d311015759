#pragma once

#include <cerrno>

namespace platform {

// Renames a file or folder only when nothing exists at the destination yet.
// Returns 0 on success, else the system's error number (errno on POSIX,
// GetLastError on Windows, so that system_category describes it);
// kRenameCannotRefuse when the file system cannot refuse a replacement by
// itself (the caller then decides).
int RenameNoReplace(const char* from, const char* to);

constexpr int kRenameCannotRefuse = -1;
// The system's error number for "already exists": what RenameNoReplace
// returns for an occupied destination file.
#ifdef _WIN32
constexpr int kAlreadyExistsError = 183;  // ERROR_ALREADY_EXISTS
#else
constexpr int kAlreadyExistsError = EEXIST;
#endif

}  // namespace platform
