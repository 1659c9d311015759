#pragma once

namespace platform {

// True when another process holds the file: it holds one of SQLite's lock
// bytes on it, or it has the file open (where this process may test for that
// with a lease). Never waits. A file that cannot be opened is not in use.
bool IsFileHeldByAnotherProcess(const char* path);

}  // namespace platform
