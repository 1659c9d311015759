#include "platform/file_handle.h"

#include <windows.h>

#include <algorithm>

#include "platform/windows_path.h"

namespace platform {

namespace {

HANDLE ToHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

static_assert(sizeof(FileHandle) >= sizeof(HANDLE), "a handle fits the number");

// Shared for reading and writing, so a recorder may keep writing the file.
// A folder does not open without backup semantics, so it is refused here; a
// name that reaches a device or a pipe (CON.3gp, a pipe's path) is no
// recording either.
FileHandle OpenFileForReading(const std::string& path, std::int64_t* size) {
    const std::wstring wide = WidePath(path);
    if (wide.empty()) return kInvalidFileHandle;
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return kInvalidFileHandle;
    }
    if (size != nullptr) {
        LARGE_INTEGER bytes;
        *size = GetFileSizeEx(handle, &bytes) ? static_cast<std::int64_t>(bytes.QuadPart) : -1;
    }
    return reinterpret_cast<FileHandle>(handle);
}

bool CloseFile(FileHandle handle) { return CloseSystemHandle(ToHandle(handle)) == 0; }

OwnedHandle OwnFileHandle(FileHandle handle) { return OwnedHandle(ToHandle(handle)); }

FileHandle FileHandleOf(const OwnedHandle& owner) { return reinterpret_cast<FileHandle>(owner.Get()); }

std::int64_t ReadFile(FileHandle handle, void* buffer, std::size_t count) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD got = 0;
    if (::ReadFile(ToHandle(handle), buffer, wanted, &got, nullptr)) return static_cast<std::int64_t>(got);
    // A pipe whose writer has gone is the end of the data, not a failure.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    return -1;
}

// A read at an offset moves the handle's position here, so the position is
// put back afterwards.
std::int64_t ReadFileAt(FileHandle handle, void* buffer, std::size_t count, std::int64_t offset) {
    if (offset < 0) return -1;
    const std::int64_t position = SeekFile(handle, 0, SeekOrigin::Current);
    if (position < 0) return -1;
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
    DWORD got = 0;
    std::int64_t result = static_cast<std::int64_t>(got);
    if (::ReadFile(ToHandle(handle), buffer, wanted, &got, &at)) {
        result = static_cast<std::int64_t>(got);
    } else {
        const DWORD error = GetLastError();
        result = error == ERROR_HANDLE_EOF || error == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    if (SeekFile(handle, position, SeekOrigin::Begin) < 0) return -1;
    return result;
}

std::int64_t SeekFile(FileHandle handle, std::int64_t offset, SeekOrigin origin) {
    const DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                         : origin == SeekOrigin::Current ? FILE_CURRENT
                                                         : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(ToHandle(handle), distance, &position, method)) return -1;
    return static_cast<std::int64_t>(position.QuadPart);
}

}  // namespace platform
