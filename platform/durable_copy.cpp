#include "platform/durable_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now so that a failing close is seen (it can report a lost write).
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int fd_;
};

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

int ReadAll(int fd, std::size_t limit, std::string& bytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return errno;
    if (!S_ISREG(status.st_mode)) return EINVAL;
    bytes.clear();
    std::vector<char> buffer(64 * 1024);
    while (bytes.size() <= limit) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) break;
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
    }
    if (bytes.size() > limit + 1) bytes.resize(limit + 1);
    return 0;
}

}  // namespace

int WriteNewFileDurably(const Folder& folder, const std::string& name, const std::string& bytes,
                        const EntryFacts& ownership) {
    Descriptor file(
        ::openat(folder.NativeHandle(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (file.get() < 0) return errno;
    TakeOwnership(file.get(), ownership);
    int error = WriteAll(file.get(), bytes.data(), bytes.size());
    if (error == 0 && ::fsync(file.get()) != 0) error = errno;
    const int closeError = file.Close();
    if (error == 0) error = closeError;
    if (error != 0) ::unlinkat(folder.NativeHandle(), name.c_str(), 0);
    return error;
}

int ReadSmallFile(const Folder& folder, const std::string& name, std::size_t limit, std::string& bytes) {
    Descriptor file(::openat(folder.NativeHandle(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return errno;
    return ReadAll(file.get(), limit, bytes);
}

int ReadFileByPath(const std::string& path, std::size_t limit, std::string& bytes) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) return errno;
    return ReadAll(file.get(), limit, bytes);
}

}  // namespace platform
