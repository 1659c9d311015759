#include "platform/page_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace platform {

namespace {

// Opened without waiting (a FIFO would wait for a writer), and kept only when
// it is a regular file: nothing else holds bytes worth warming.
OwnedHandle OpenRegularFile(const std::string& path) {
    OwnedHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat status {};
    if (file.IsOpen() && (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))) file.Reset();
    return file;
}

}  // namespace

CacheFile::CacheFile(const std::string& path) : file_(OpenRegularFile(path)) {}

std::int64_t CacheFile::Size() const {
    struct stat status {};
    if (!IsOpen() || ::fstat(file_.Get(), &status) != 0) return -1;
    return status.st_size;
}

std::int64_t CacheFile::ReadAt(void* buffer, std::size_t count, std::int64_t offset) const {
    if (!IsOpen() || offset < 0) return -1;
    return ::pread(file_.Get(), buffer, count, static_cast<off_t>(offset));
}

bool CacheFile::IsCached(std::int64_t offset) const {
    if (!IsOpen() || offset < 0) return false;
#ifdef RWF_NOWAIT
    char byte;
    iovec into{&byte, 1};
    return ::preadv2(file_.Get(), &into, 1, static_cast<off_t>(offset), RWF_NOWAIT) == 1;
#else
    return false;
#endif
}

void CacheFile::WillNeed(std::int64_t offset, std::int64_t length) const {
    if (!IsOpen() || offset < 0 || length <= 0) return;
    ::posix_fadvise(file_.Get(), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

void CacheFile::DontNeed() const {
    if (IsOpen()) ::posix_fadvise(file_.Get(), 0, 0, POSIX_FADV_DONTNEED);
}

}  // namespace platform
