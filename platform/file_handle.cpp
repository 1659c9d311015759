#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

// Without O_NONBLOCK, opening a FIFO waits for a writer that may never come;
// only a regular file is read, and its reads then block as usual. O_NONBLOCK
// is the only status flag the descriptor has, so clearing them all clears it
// without a call to ask for them first.
FileHandle OpenFileForReading(const std::string& path, std::int64_t* size) {
    int handle;
    do {
        handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) return kInvalidFileHandle;
    struct stat status;
    if (::fstat(handle, &status) != 0 || !S_ISREG(status.st_mode) || ::fcntl(handle, F_SETFL, 0) != 0) {
        ::close(handle);
        return kInvalidFileHandle;
    }
    if (size != nullptr) *size = static_cast<std::int64_t>(status.st_size);
    return handle;
}

bool CloseFile(FileHandle handle) { return CloseSystemHandle(static_cast<SystemHandle>(handle)) == 0; }

OwnedHandle OwnFileHandle(FileHandle handle) { return OwnedHandle(static_cast<SystemHandle>(handle)); }

FileHandle FileHandleOf(const OwnedHandle& owner) { return owner.Get(); }

std::int64_t ReadFile(FileHandle handle, void* buffer, std::size_t count) {
    for (;;) {
        const ssize_t got = ::read(handle, buffer, count);
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        // A pipe whose writer has gone is the end of the data, not a failure.
        if (errno == EPIPE) return 0;
        return -1;
    }
}

std::int64_t ReadFileAt(FileHandle handle, void* buffer, std::size_t count, std::int64_t offset) {
    if (offset < 0) return -1;
    for (;;) {
        const ssize_t got = ::pread(handle, buffer, count, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno == EINTR) continue;
        return -1;
    }
}

std::int64_t SeekFile(FileHandle handle, std::int64_t offset, SeekOrigin origin) {
    const int whence = origin == SeekOrigin::Begin ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t result = ::lseek(handle, static_cast<off_t>(offset), whence);
    return result < 0 ? -1 : static_cast<std::int64_t>(result);
}

}  // namespace platform
