#include "platform/durable_copy.h"

#include <windows.h>

#include <vector>

#include "platform/windows_path.h"

namespace platform {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (IsOpen()) CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes now so that a failing close is seen.
    int Close() {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return CloseHandle(handle) ? 0 : static_cast<int>(GetLastError());
    }

private:
    HANDLE handle_;
};

int LastError() { return static_cast<int>(GetLastError()); }

int WriteAll(HANDLE to, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(to, bytes.data() + done, chunk, &written, nullptr)) return LastError();
        done += written;
    }
    return 0;
}

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

// CREATE_NEW fails on any existing entry, a link included, so nothing is
// ever written through one. Files take their folder's permissions here.
int WriteNewFileDurably(const Folder& folder, const std::string& name, const std::string& bytes, const EntryFacts&) {
    const std::wstring path = folder.WidePath() + L"\\" + platform::WidePath(name);
    Handle target(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target.IsOpen()) {
        const int error = LastError();
        return error == ERROR_FILE_EXISTS ? ERROR_ALREADY_EXISTS : error;
    }
    int error = WriteAll(target.get(), bytes);
    if (error == 0 && !FlushFileBuffers(target.get())) error = LastError();
    const int closeError = target.Close();
    if (error == 0) error = closeError;
    if (error != 0) DeleteFileW(path.c_str());
    return error;
}

int ReadSmallFile(const Folder& folder, const std::string& name, std::size_t limit, std::string& bytes) {
    const std::wstring path = folder.WidePath() + L"\\" + platform::WidePath(name);
    Handle file(OpenForReading(path, FILE_FLAG_OPEN_REPARSE_POINT));
    if (!file.IsOpen()) return LastError();
    if (FactsOfOpenFile(file.get()).kind != EntryKind::RegularFile) return ERROR_INVALID_PARAMETER;
    return ReadAll(file.get(), limit, bytes);
}

int ReadFileByPath(const std::string& path, std::size_t limit, std::string& bytes) {
    Handle file(OpenForReading(platform::WidePath(path), 0));
    if (!file.IsOpen()) return LastError();
    return ReadAll(file.get(), limit, bytes);
}

}  // namespace platform
