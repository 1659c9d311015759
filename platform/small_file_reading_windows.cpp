#include "platform/small_file_reading.h"

#include <windows.h>

#include <vector>

#include "platform/windows_path.h"

namespace platform {

namespace {

int LastError() { return static_cast<int>(GetLastError()); }

int ReadAll(HANDLE from, std::size_t limit, std::string& bytes) {
    if (GetFileType(from) != FILE_TYPE_DISK) return ERROR_INVALID_PARAMETER;
    bytes.clear();
    std::vector<char> buffer(64 * 1024);
    while (bytes.size() <= limit) {
        DWORD got = 0;
        if (!::ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return LastError();
        if (got == 0) break;
        bytes.append(buffer.data(), got);
    }
    if (bytes.size() > limit + 1) bytes.resize(limit + 1);
    return 0;
}

HANDLE OpenForReading(const std::wstring& path, DWORD flags) {
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | flags, nullptr);
}

}  // namespace

int ReadSmallFile(const Folder& folder, const std::string& name, std::size_t limit, std::string& bytes) {
    const OwnedHandle file(OpenForReading(folder.Child(name), FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file.IsOpen()) return LastError();
    if (FactsOfOpenFile(file.Get()).kind != EntryKind::RegularFile) return ERROR_INVALID_PARAMETER;
    return ReadAll(file.Get(), limit, bytes);
}

int ReadFileByPath(const std::string& path, std::size_t limit, std::string& bytes) {
    const OwnedHandle file(OpenForReading(platform::WidePath(path), 0));
    if (!file.IsOpen()) return LastError();
    return ReadAll(file.Get(), limit, bytes);
}

}  // namespace platform
