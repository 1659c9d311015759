#include "platform/page_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace platform {

namespace {

// Opened without waiting (a FIFO would wait for a writer), and kept only when
// it is a regular file: nothing else holds bytes worth warming.
int OpenRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

CacheFile::CacheFile(const std::string& path) : fd_(OpenRegularFile(path)) {}

CacheFile::~CacheFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::int64_t CacheFile::Size() const {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) return -1;
    return status.st_size;
}

std::int64_t CacheFile::ReadAt(void* buffer, std::size_t count, std::int64_t offset) const {
    if (fd_ < 0 || offset < 0) return -1;
    return ::pread(fd_, buffer, count, static_cast<off_t>(offset));
}

bool CacheFile::IsCached(std::int64_t offset) const {
    if (fd_ < 0 || offset < 0) return false;
#ifdef RWF_NOWAIT
    char byte;
    iovec into{&byte, 1};
    return ::preadv2(fd_, &into, 1, static_cast<off_t>(offset), RWF_NOWAIT) == 1;
#else
    return false;
#endif
}

void CacheFile::WillNeed(std::int64_t offset, std::int64_t length) const {
    if (fd_ < 0 || offset < 0 || length <= 0) return;
    ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

void CacheFile::DontNeed() const {
    if (fd_ >= 0) ::posix_fadvise(fd_, 0, 0, POSIX_FADV_DONTNEED);
}

}  // namespace platform
