#include "platform/durable_copy.h"

#include <fcntl.h>
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

int WriteAll(int fd, const char* data, ssize_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        data += written;
        size -= written;
    }
    return 0;
}

int CopyContent(int from, int to) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (got == 0) return 0;
        if (const int error = WriteAll(to, buffer.data(), got)) return error;
    }
}

int CopyAndFlush(int source, const char* to) {
    Descriptor target(::open(to, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (target.get() < 0) return errno;
    int error = CopyContent(source, target.get());
    if (error == 0 && ::fsync(target.get()) != 0) error = errno;
    const int closeError = target.Close();
    return error != 0 ? error : closeError;
}

}  // namespace

CopyResult CopyToNewFileDurably(const char* from, const char* to) {
    Descriptor source(::open(from, O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) return {errno, true};
    const int error = CopyAndFlush(source.get(), to);
    // EEXIST: the file there is someone else's, not a partial copy of ours.
    if (error != 0 && error != EEXIST) ::unlink(to);
    return {error, false};
}

int SyncFolder(const char* folder) {
    Descriptor handle(::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle.get() < 0) return errno;
    return ::fsync(handle.get()) == 0 ? 0 : errno;
}

}  // namespace platform
