#include "platform/durable_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

int WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return 0;
}

// Owner first: changing the owner may clear set-id bits that the mode then
// sets again. Refused to an ordinary account, which then keeps its own.
void TakeOwnership(int fd, const EntryFacts& ownership) {
    if (ownership.kind == EntryKind::Missing) return;
    if (::fchown(fd, ownership.owner, ownership.group) != 0) {
        // Not allowed to give the file away: the account's own is right then.
    }
    ::fchmod(fd, ownership.mode & 0777);
}

}  // namespace

int WriteNewFileDurably(const Folder& folder, const std::string& name, const std::string& bytes,
                        const EntryFacts& ownership) {
    OwnedHandle file(
        ::openat(folder.NativeHandle(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.IsOpen()) return errno;
    TakeOwnership(file.Get(), ownership);
    int error = WriteAll(file.Get(), bytes.data(), bytes.size());
    if (error == 0 && ::fsync(file.Get()) != 0) error = errno;
    // Closed here so that a failing close is seen: it can report a lost write.
    const int closeError = file.Close();
    if (error == 0) error = closeError;
    if (error != 0) ::unlinkat(folder.NativeHandle(), name.c_str(), 0);
    return error;
}

}  // namespace platform
