#include "platform/page_cache.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/windows_path.h"

namespace platform {

namespace {

// Shared with everyone, deletion included, so that holding a recording here
// never stands in the way of the recorder or of a move. Only a file on a disk
// is kept: a device or a pipe holds nothing worth warming.
OwnedHandle OpenDiskFile(const std::string& path) {
    OwnedHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.IsOpen() && GetFileType(file.Get()) != FILE_TYPE_DISK) file.Reset();
    return file;
}

}  // namespace

CacheFile::CacheFile(const std::string& path) : file_(OpenDiskFile(path)) {}

std::int64_t CacheFile::Size() const {
    LARGE_INTEGER size;
    if (!IsOpen() || !GetFileSizeEx(file_.Get(), &size)) return -1;
    return static_cast<std::int64_t>(size.QuadPart);
}

std::int64_t CacheFile::ReadAt(void* buffer, std::size_t count, std::int64_t offset) const {
    if (!IsOpen() || offset < 0) return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    if (!::ReadFile(file_.Get(), buffer, wanted, &got, &at)) return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return static_cast<std::int64_t>(got);
}

// The system cache cannot be asked without reading: every range counts as one
// that must come from the disk.
bool CacheFile::IsCached(std::int64_t /*offset*/) const { return false; }

// There is no advice call for the system cache here: the range is read, on the
// warming thread that asks, and the cache keeps it for the reader that follows.
void CacheFile::WillNeed(std::int64_t offset, std::int64_t length) const {
    if (!IsOpen() || offset < 0 || length <= 0) return;
    std::vector<char> scratch(static_cast<std::size_t>(std::min<std::int64_t>(length, 256 * 1024)));
    while (length > 0) {
        const std::int64_t got =
            ReadAt(scratch.data(), static_cast<std::size_t>(std::min<std::int64_t>(length, scratch.size())), offset);
        if (got <= 0) return;
        offset += got;
        length -= got;
    }
}

// Only the cold-cache benchmark drops pages, and it runs on the build machine.
void CacheFile::DontNeed() const {}

}  // namespace platform
