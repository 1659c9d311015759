#include "platform/small_file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

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

int ReadSmallFile(const Folder& folder, const std::string& name, std::size_t limit, std::string& bytes) {
    const OwnedHandle file(
        ::openat(folder.NativeHandle(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen()) return errno;
    return ReadAll(file.Get(), limit, bytes);
}

int ReadFileByPath(const std::string& path, std::size_t limit, std::string& bytes) {
    const OwnedHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.IsOpen()) return errno;
    return ReadAll(file.Get(), limit, bytes);
}

}  // namespace platform
