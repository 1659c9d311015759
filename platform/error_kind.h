#pragma once

// What a system error number means to an operator, the same on every system:
// the résumé and the choice of a failure's message go by it.
namespace platform {

enum class ErrorKind {
    InUse,     // another process holds the file or folder
    Refused,   // the system does not allow it (permission, an immutable file)
    ReadOnly,  // the file system is read-only
    Exists,    // the destination is taken
    Full,      // no space left
    Other,
};

ErrorKind KindOfError(int error);

}  // namespace platform
